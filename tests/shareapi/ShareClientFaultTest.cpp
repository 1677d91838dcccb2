// The share client against a simulator that misbehaves: torn replies, a reset
// picture download, a request that hangs until it is aborted.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "ShareResult.h"
#include "SimProcess.h"
#include "shareapi/ShareClient.h"

namespace linkhaul {
namespace {

using testsupport::SimProcess;

class ShareClientFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>(SHARE_CLIENT_FAULTS); }
    static void TearDownTestSuite() { sim_.reset(); }

    void SetUp() override { ASSERT_TRUE(client_.setConnectTo(sim_->connectTo())); }

    static std::unique_ptr<SimProcess> sim_;
    ShareClient client_;
    ShareEntryList entries_;
};

std::unique_ptr<SimProcess> ShareClientFaults::sim_;

TEST_F(ShareClientFaults, CaptchaTokenIsKeptWhenThePictureFailsAndOnlyThen) {
    // First round: the token arrives, the picture's connection is reset (twice,
    // as the transport retries a reused connection that dies once).
    std::string image = "old picture";
    const Outcome first = readResult(client_.fetchCaptcha(image));
    EXPECT_TRUE(first.state) << first.reason;
    EXPECT_TRUE(image.empty()) << image.size() << " bytes";
    const std::string token = client_.context().vcode_str;
    EXPECT_EQ(token.size(), 36u);

    // Second round: the token reply is torn; neither token nor picture change.
    image = "kept picture";
    const Outcome second = readResult(client_.fetchCaptcha(image));
    EXPECT_FALSE(second.state);
    EXPECT_EQ(second.reason, "Json解析失败.");
    EXPECT_EQ(image, "kept picture");
    EXPECT_EQ(client_.context().vcode_str, token);
}

TEST_F(ShareClientFaults, TornReplyReasonsKeepTheirSpelling) {
    const Outcome links = readResult(client_.requestDownloadLinks({1, 2}, false));
    EXPECT_FALSE(links.state);
    EXPECT_EQ(links.reason, "JOSN解析失败.");

    entries_.resize(2);
    const Outcome opened = readResult(
        client_.openShare(entries_, "https://pan.baidu.com/share/init?surl=codedV2", "abcd"));
    EXPECT_FALSE(opened.state);
    EXPECT_EQ(opened.reason, "Json解析失败.");
    EXPECT_EQ(entries_.size(), 2u);
    EXPECT_EQ(client_.context(), ShareContext{});
}

TEST_F(ShareClientFaults, AbortFromAnotherThreadEndsAHangingListingPromptly) {
    ASSERT_TRUE(readResult(client_.openShare(entries_, "https://pan.baidu.com/s/1slowS3")).state);

    std::thread aborter([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        client_.abortTransfers();
    });
    const auto start = std::chrono::steady_clock::now();
    const Outcome listed = readResult(client_.listDirectory("/", entries_));
    const auto took = std::chrono::steady_clock::now() - start;
    aborter.join();

    EXPECT_FALSE(listed.state);
    EXPECT_EQ(listed.reason, "凭据JSON解析失败.");
    EXPECT_LT(took, std::chrono::milliseconds(1500));

    client_.resumeTransfers();
    EXPECT_TRUE(readResult(client_.openShare(entries_, "https://pan.baidu.com/s/1slowS3")).state);
}

}  // namespace
}  // namespace linkhaul
