// Each injected fault, as a client meets it.

#include "CurlRun.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <memory>

namespace linkhaul::testsupport {
namespace {

using nlohmann::json;

class SimFaultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>("test.json"); }
    static void TearDownTestSuite() { sim_.reset(); }

    static CurlReply get(const std::string& url, const std::vector<std::string>& extra = {}) {
        return curl(*sim_, url, extra);
    }

    static std::string listUrl(int uk, int shareid, int page) {
        return "http://pan.baidu.com/share/list?uk=" + std::to_string(uk) +
               "&shareid=" + std::to_string(shareid) + "&page=" + std::to_string(page) +
               "&num=100&dir=";
    }

    static std::string downloadBody(int uk, int shareid) {
        return "encrypt=0&product=share&uk=" + std::to_string(uk) +
               "&primaryid=" + std::to_string(shareid) + "&vcode_input=&extra={}&fid_list=%5B1%5D";
    }

    static std::string downloadUrl(const std::string& id) {
        json data = json::parse(dataBlock(get("https://pan.baidu.com/s/1" + id).body));
        return "http://yun.baidu.com/api/sharedownload?sign=" + data["sign"].get<std::string>() +
               "&timestamp=" + std::to_string(data["timestamp"].get<long long>());
    }

    static std::unique_ptr<SimProcess> sim_;
};

std::unique_ptr<SimProcess> SimFaultTest::sim_;

constexpr int CURL_PARTIAL_FILE = 18;
constexpr int CURL_TOO_MANY_REDIRECTS = 47;
constexpr int CURL_RECV_ERROR = 56;

TEST_F(SimFaultTest, SharePageFaults) {
    CurlReply slow = get("https://pan.baidu.com/s/1slowpage");
    EXPECT_GE(slow.seconds, 0.3);
    EXPECT_NE(slow.body.find("yunData.setData("), std::string::npos);

    CurlReply reset = get("https://pan.baidu.com/s/1resetpage");
    EXPECT_EQ(reset.exitCode, CURL_RECV_ERROR);
    EXPECT_EQ(reset.body, "");
    CurlReply resetPlain = get("http://pan.baidu.com/s/1resetpage");
    EXPECT_EQ(resetPlain.exitCode, CURL_RECV_ERROR);

    CurlReply broken = get("https://pan.baidu.com/s/1brokenpage");
    EXPECT_EQ(broken.status, 200);
    std::string block = dataBlock(broken.body);
    EXPECT_FALSE(block.empty());
    EXPECT_TRUE(json::parse(block, nullptr, false).is_discarded());

    CurlReply huge =
        get("https://pan.baidu.com/s/1hugepage", {"-o", "/dev/null", "-w", "%{size_download}"});
    EXPECT_EQ(huge.exitCode, 0);
    EXPECT_EQ(huge.body, "83886080");

    CurlReply loop = get("https://pan.baidu.com/s/1looppage", {"-L", "--max-redirs", "5"});
    EXPECT_EQ(loop.exitCode, CURL_TOO_MANY_REDIRECTS);
    CurlReply once = get("https://pan.baidu.com/s/1looppage");
    EXPECT_EQ(once.status, 302);
    EXPECT_EQ(once.header("Location"), "/s/1looppage");

    EXPECT_EQ(get("https://pan.baidu.com/s/1statuspage").status, 503);
    // Faults stay with their own share.
    EXPECT_EQ(get("https://pan.baidu.com/s/1open").status, 200);
}

TEST_F(SimFaultTest, ListFaults) {
    // Broken once, on the second page only.
    EXPECT_EQ(get(listUrl(1101, 2101, 1)).json()["list"].size(), 100u);
    CurlReply second = get(listUrl(1101, 2101, 2));
    EXPECT_EQ(second.status, 200);
    EXPECT_TRUE(second.json().is_discarded());
    EXPECT_EQ(get(listUrl(1101, 2101, 2)).json()["list"].size(), 50u);

    EXPECT_EQ(get(listUrl(1102, 2102, 1)).exitCode, CURL_RECV_ERROR);

    CurlReply huge = get(listUrl(1103, 2103, 1), {"-o", "/dev/null", "-w", "%{size_download}"});
    EXPECT_EQ(huge.body, "83886080");
}

TEST_F(SimFaultTest, VerifyAndDownloadFaults) {
    CurlReply verify = get("https://pan.baidu.com/share/verify?surl=brokenverify",
                           {"--data-binary", "pwd=1234&vcode=&vcode_str="});
    EXPECT_TRUE(verify.json().is_discarded());
    EXPECT_EQ(verify.header("Set-Cookie"), "");

    CurlReply broken =
        get(downloadUrl("brokendownload"), {"--data-binary", downloadBody(1105, 2105)});
    EXPECT_EQ(broken.status, 200);
    EXPECT_TRUE(broken.json().is_discarded());

    CurlReply reset =
        get(downloadUrl("resetdownload"), {"--data-binary", downloadBody(1106, 2106)});
    EXPECT_EQ(reset.exitCode, CURL_RECV_ERROR);

    json links = get(downloadUrl("truncfile"), {"--data-binary", downloadBody(1107, 2107)}).json();
    ASSERT_EQ(links["errno"], 0);
    CurlReply cut = get(links["list"][0]["dlink"].get<std::string>());
    EXPECT_EQ(cut.exitCode, CURL_PARTIAL_FILE);
    EXPECT_LT(cut.body.size(), 4096u);
}

}  // namespace
}  // namespace linkhaul::testsupport
