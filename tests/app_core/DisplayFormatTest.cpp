#include "app/DisplayFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>

#include "platform/CodePage.h"

using linkhaul::formatMtime;
using linkhaul::formatSize;
using linkhaul::logTimestamp;
using linkhaul::platform::ansiToUtf8;

namespace {

class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (saved_.empty()) {
            unsetenv("TZ");
        } else {
            setenv("TZ", saved_.c_str(), 1);
        }
        tzset();
    }

private:
    std::string saved_;
};

}  // namespace

TEST(FormatSize, Table) {
    const std::pair<double, const char*> cases[] = {
        {0, "0 B"},
        {500, "500 B"},
        {1023, "1023 B"},
        {1024, "1 KB"},
        {1025, "1 KB"},
        {1536, "1.5 KB"},
        {1048575, "1024 KB"},
        {1048576, "1 MB"},
        {2621440, "2.5 MB"},
        {1073740775, "1024 MB"},
        {1073741824, "1 GB"},
        {1073741825, "1 GB"},
        {4288524845, "3.99 GB"},
        {4294967296, "4 GB"},
        {5000000000, "4.66 GB"},
        {1099511627776.0 * 3, "3072 GB"},
        {-5, "-5 B"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(formatSize(bytes), text) << bytes;
    }
}

TEST(FormatMtime, UtcGivesTheServiceTimesAsWritten) {
    ZoneGuard zone("UTC");
    const std::pair<std::int64_t, const char*> cases[] = {
        {1520648405, "2018年3月10日2时20分5秒"},
        {1520641800, "2018年3月10日0时30分"},
        {1520643600, "2018年3月10日1时"},
        {1520640000, "2018年3月10日"},
        {0, "1970年1月1日"},
        {1520640005, "2018年3月10日0时0分5秒"},
        // Past 2038: all 64 bits of the seconds count.
        {4102444800, "2100年1月1日"},
        {-86400, "1969年12月31日"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(ansiToUtf8(formatMtime(seconds)), text) << seconds;
    }
}

TEST(FormatMtime, ShowsLocalTime) {
    ZoneGuard zone("Asia/Shanghai");
    EXPECT_EQ(ansiToUtf8(formatMtime(1520648405)), "2018年3月10日10时20分5秒");
    EXPECT_EQ(ansiToUtf8(formatMtime(1520611200)), "2018年3月10日");  // local midnight
    EXPECT_EQ(ansiToUtf8(formatMtime(0)), "1970年1月1日8时");
}

TEST(LogTimestamp, PadsEveryFieldButTheYear) {
    const std::string stamp = logTimestamp();
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}\.\d\d\.\d\d-\d\d\.\d\d\.\d\d)")))
        << stamp;
}
