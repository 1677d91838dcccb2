#include "shareapi/RequestIds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "platform/Base64.h"
#include "platform/CodePage.h"

using namespace linkhaul;

TEST(UrlEncodeUtf8, Cases) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a b", "a+b"},
        {"/dir/x", "%2Fdir%2Fx"},
        {"AZaz09", "AZaz09"},
        {"-._~!*'()", "%2D%2E%5F%7E%21%2A%27%28%29"},
        {platform::utf8ToAnsi("文件"), "%E6%96%87%E4%BB%B6"},
        {platform::utf8ToAnsi("😀"), "%F0%9F%98%80"},
    };
    for (const auto& [ansi, encoded] : cases) {
        EXPECT_EQ(urlEncodeUtf8(ansi), encoded) << encoded;
    }
}

TEST(MakeLogId, DigitShapes) {
    const std::regex digits16(R"(\d{16})"), digits19(R"(\d{19})");
    EXPECT_TRUE(std::regex_match(makeLogId(false, 16), digits16));
    EXPECT_TRUE(std::regex_match(makeLogId(false), digits19));
    EXPECT_TRUE(std::regex_match(makeLogId(false, 0), digits19));
    EXPECT_EQ(makeLogId(false, 3).size(), 3u);
}

TEST(MakeLogId, Base64FormDecodesToTimestampDotDigits) {
    const std::string id = makeLogId(true);
    EXPECT_EQ(id.size(), 44u);
    const auto decoded = platform::base64Decode(id);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(std::regex_match(*decoded, std::regex(R"(\d{13}\.\d{19})"))) << *decoded;
}

TEST(MakeTimestamp, IsUnixTimeWithMilliseconds) {
    const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const std::string stamp = makeTimestamp();
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    ASSERT_TRUE(std::regex_match(stamp, std::regex(R"(\d{13})"))) << stamp;
    const long long value = std::stoll(stamp);
    EXPECT_GE(value, before);
    EXPECT_LE(value, after);
}
