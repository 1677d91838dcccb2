// The share client against linkhaul-sim over real sockets: the result texts it
// returns, the entry list and context it leaves, and, from the sim's request
// log, the exact requests that went out.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ShareResult.h"
#include "SimProcess.h"
#include "platform/Base64.h"
#include "platform/CodePage.h"
#include "shareapi/ShareClient.h"

namespace linkhaul {
namespace {

using testsupport::SimProcess;
using testsupport::SimRequest;

// A target's shape: the literal text with the random parts as placeholders.
// {T13}: a 13-digit time stamp; {R16}: "0." and 16 digits; {LOGID}: 44 Base64
// characters; {ANY}: anything up to the next literal.
bool matchesShape(const std::string& text, const std::string& shape) {
    static const std::vector<std::pair<std::string, std::string>> holes = {
        {"{T13}", "[0-9]{13}"},
        {"{R16}", "0\\.[0-9]{16}"},
        {"{LOGID}", "[A-Za-z0-9+/]{44}"},
        {"{ANY}", ".*?"}};
    std::string pattern;
    for (std::size_t i = 0; i < shape.size();) {
        bool hole = false;
        for (const auto& [name, regex] : holes) {
            if (shape.compare(i, name.size(), name) == 0) {
                pattern += regex;
                i += name.size();
                hole = true;
                break;
            }
        }
        if (!hole) {
            const char c = shape[i++];
            if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
                pattern += '\\';
            }
            pattern += c;
        }
    }
    return std::regex_match(text, std::regex(pattern));
}

std::string queryValue(const std::string& target, const std::string& key) {
    const std::size_t query = target.find('?');
    std::size_t at = target.find(key + "=", query);
    while (at != std::string::npos && target[at - 1] != '?' && target[at - 1] != '&') {
        at = target.find(key + "=", at + 1);
    }
    if (at == std::string::npos) {
        return {};
    }
    at += key.size() + 1;
    return target.substr(at, target.find('&', at) - at);
}

std::string hostOf(const SimRequest& request) {
    std::string host = request.header("Host");
    return host.substr(0, host.find(':'));
}

std::vector<std::string> targetsOf(const std::vector<SimRequest>& log) {
    std::vector<std::string> targets;
    for (const auto& request : log) {
        targets.push_back(request.method + " " + request.scheme + "://" + hostOf(request) +
                          request.target);
    }
    return targets;
}

ShareEntry sentinelEntry() {
    ShareEntry entry;
    entry.fs_id = -5;
    entry.server_filename = "left alone";
    return entry;
}

class ShareClientSim : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>(SHARE_CLIENT_CATALOGUE); }
    static void TearDownTestSuite() { sim_.reset(); }

    void SetUp() override {
        sim_->clearRequestLog();
        ASSERT_TRUE(client_.setConnectTo(sim_->connectTo()));
    }

    static std::vector<SimRequest> log() { return sim_->requestLog(); }

    // Opens a share and forgets its requests, for cases about later requests.
    void open(const std::string& id, std::optional<std::string> code = std::nullopt) {
        // A share with a code is reached through the address that names its surl.
        const std::string link =
            code ? "https://pan.baidu.com/share/init?surl=" + id : "https://pan.baidu.com/s/1" + id;
        const Outcome opened = readResult(client_.openShare(entries_, link, code));
        ASSERT_TRUE(opened.state) << id << ": " << opened.reason;
        sim_->clearRequestLog();
    }

    static std::unique_ptr<SimProcess> sim_;
    ShareClient client_;
    ShareEntryList entries_;
};

std::unique_ptr<SimProcess> ShareClientSim::sim_;

// ---- opening shares -------------------------------------------------------

TEST_F(ShareClientSim, ShareWithoutCodeIsOneGetAndFillsContextAndEntries) {
    const std::string text = client_.openShare(entries_, "https://pan.baidu.com/s/1plainA1");

    EXPECT_EQ(text, ansi("{\r\n    \"state\" : true,\r\n    \"文件数量\" : \"3\"\r\n}"));
    EXPECT_EQ(targetsOf(log()), std::vector<std::string>{"GET https://pan.baidu.com/s/1plainA1"});

    const ShareContext context = client_.context();
    EXPECT_EQ(context.uk, 3300000001);
    EXPECT_EQ(context.shareid, 77000000001);
    EXPECT_EQ(context.sign, "5f1e0c9b7d");
    EXPECT_EQ(context.timestamp, 1710000000);
    EXPECT_EQ(context.bdstoken, "tokenplain");
    EXPECT_EQ(context.vcode_str, "");

    ASSERT_EQ(entries_.size(), 3u);
    EXPECT_EQ(entries_[2].server_filename, ansi("照片"));
    EXPECT_EQ(entries_[2].path, ansi("/照片"));
    EXPECT_EQ(entries_[2].parent_path, "/");
    EXPECT_EQ(entries_[2].isdir, 1);
    EXPECT_EQ(entries_[2].fs_id, 41);
    EXPECT_EQ(entries_[2].server_mtime, 1600000789);
    EXPECT_EQ(entries_[0].isdir, 0);
}

TEST_F(ShareClientSim, ShortLinkWithoutCodeFollowsOneRedirectByHand) {
    const Outcome result =
        readResult(client_.openShare(entries_, "https://pan.baidu.com/s/1shortB2"));

    EXPECT_TRUE(result.state) << result.reason;
    EXPECT_EQ(result.count, "1");
    EXPECT_EQ(targetsOf(log()),
              (std::vector<std::string>{"GET https://pan.baidu.com/s/1shortB2",
                                        "GET https://pan.baidu.com/share/init?surl=shortB2"}));
    for (const auto& request : log()) {
        EXPECT_FALSE(request.target.find("logid=") != std::string::npos) << request.target;
    }
}

TEST_F(ShareClientSim, LinkHoldingSurlChecksTheCodeThenFetchesThePageWithTheCookie) {
    const std::string link = "https://pan.baidu.com/share/init?surl=codedC3";
    const Outcome result = readResult(client_.openShare(entries_, link, std::string("a b/")));

    ASSERT_TRUE(result.state) << result.reason;
    EXPECT_EQ(result.count, "2");
    const auto requests = log();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(targetsOf(requests)[0], "GET " + link);

    const SimRequest& verify = requests[1];
    EXPECT_EQ(verify.method, "POST");
    EXPECT_EQ(verify.scheme, "https");
    EXPECT_EQ(hostOf(verify), "pan.baidu.com");
    EXPECT_TRUE(matchesShape(verify.target,
                             "/share/verify?surl=codedC3&t={T13}&bdstoken=null&channel=chunlei"
                             "&clienttype=0&web=1&app_id=250528&logid={LOGID}"))
        << verify.target;
    EXPECT_EQ(verify.body, "pwd=a+b%2F&vcode=&vcode_str=");
    EXPECT_EQ(verify.header("Referer"), link);
    EXPECT_EQ(verify.header("Content-Type"), "application/x-www-form-urlencoded");

    // The log id is the Base64 of a time stamp, a dot and 19 digits.
    const auto logId = platform::base64Decode(queryValue(verify.target, "logid"));
    ASSERT_TRUE(logId.has_value());
    EXPECT_TRUE(std::regex_match(*logId, std::regex("[0-9]{13}\\.[0-9]{19}"))) << *logId;

    EXPECT_EQ(targetsOf(requests)[2], "GET https://pan.baidu.com/s/1codedC3");
    EXPECT_NE(requests[2].header("Cookie").find("BDCLND=c3cookie%2Bvalue"), std::string::npos)
        << requests[2].header("Cookie");
}

TEST_F(ShareClientSim, ShortLinkWithCodeTakesSurlAndRefererFromTheRedirect) {
    const Outcome result =
        readResult(client_.openShare(entries_, "https://pan.baidu.com/s/1shortcodedD4", "k3x9"));

    ASSERT_TRUE(result.state) << result.reason;
    EXPECT_EQ(result.count, "1");
    const auto requests = log();
    ASSERT_EQ(requests.size(), 4u);
    const auto targets = targetsOf(requests);
    EXPECT_EQ(targets[0], "GET https://pan.baidu.com/s/1shortcodedD4");
    EXPECT_EQ(targets[1], "GET https://pan.baidu.com/share/init?surl=shortcodedD4");
    EXPECT_TRUE(matchesShape(targets[2],
                             "POST https://pan.baidu.com/share/verify?surl=shortcodedD4"
                             "&t={T13}&bdstoken=null{ANY}"))
        << targets[2];
    EXPECT_EQ(requests[2].header("Referer"),
              "https://pan.baidu.com:443/share/init?surl=shortcodedD4");
    EXPECT_EQ(requests[2].body, "pwd=k3x9&vcode=&vcode_str=");
    EXPECT_EQ(targets[3], "GET https://pan.baidu.com/s/1shortcodedD4");
    EXPECT_NE(requests[3].header("Cookie").find("BDCLND=d4cookie"), std::string::npos);
}

struct FailedOpen {
    const char* name;
    std::string link;
    std::optional<std::string> code;
    const char* reason;  // UTF-8
    std::size_t requests;
};

TEST_F(ShareClientSim, FailedOpenReportsTheReasonAndChangesNothing) {
    const std::vector<FailedOpen> cases = {
        {"wrong code", "https://pan.baidu.com/share/init?surl=codedC3", "zzzz", "访问密码错误", 2},
        {"omitted code", "https://pan.baidu.com/share/init?surl=codedC3", std::nullopt,
         "请输入提取密码.", 1},
        {"empty code", "https://pan.baidu.com/share/init?surl=codedC3", "", "请输入提取密码.", 1},
        {"link missing", "https://pan.baidu.com/s/1goneE5", std::nullopt, "链接不存在.", 1},
        {"page missing", "https://pan.baidu.com/s/1goneF6", std::nullopt, "页面不存在.", 1},
        {"unknown share", "https://pan.baidu.com/s/1nosuchshare", std::nullopt, "链接不存在.", 1},
        {"torn data block", "https://pan.baidu.com/s/1brokenG7", std::nullopt, "凭据JSON解析失败.",
         1},
        {"no data block", "https://pan.baidu.com/s/1blocklessH8", std::nullopt, "凭据JSON解析失败.",
         1},
    };
    const ShareContext before{1, "s", 2, "b", 3, "v"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim_->clearRequestLog();
        client_.setContext(before);
        entries_ = {sentinelEntry()};

        const std::string text = client_.openShare(entries_, c.link, c.code);

        const Outcome result = readResult(text);
        EXPECT_TRUE(result.parsed);
        EXPECT_FALSE(result.state);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(log().size(), c.requests);
        EXPECT_EQ(client_.context(), before);
        EXPECT_EQ(entries_, ShareEntryList{sentinelEntry()});
    }
}

TEST_F(ShareClientSim, FailureResultTextIsTheIndentedObject) {
    const std::string text = client_.openShare(entries_, "https://pan.baidu.com/s/1goneF6");
    EXPECT_EQ(text, ansi("{\r\n    \"state\" : false,\r\n    \"原因\" : \"页面不存在.\"\r\n}"));
}

TEST_F(ShareClientSim, UnreachableServiceGivesAnEmptyPage) {
    ASSERT_TRUE(client_.setConnectTo("pan.baidu.com:443:127.0.0.1:1"));
    entries_ = {sentinelEntry()};
    const Outcome result =
        readResult(client_.openShare(entries_, "https://pan.baidu.com/s/1plainA1"));
    EXPECT_FALSE(result.state);
    EXPECT_EQ(result.reason, "打开网页失败.");
    EXPECT_EQ(entries_, ShareEntryList{sentinelEntry()});
}

// ---- listing folders ------------------------------------------------------

TEST_F(ShareClientSim, FolderOf250EntriesTakesFourPagesInReplyOrder) {
    open("foldersJ9");
    const std::string text = client_.listDirectory("/big", entries_);

    EXPECT_EQ(text, ansi("{\r\n    \"state\" : true,\r\n    \"文件数量\" : \"250\"\r\n}"));
    const auto requests = log();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(matchesShape(requests[0].target,
                             "/share/list?uk=3300000009&shareid=77000000009&order=other&desc=1"
                             "&showempty=0&web=1&page=1&num=100&dir=%2Fbig&t={R16}"
                             "&bdstoken=tokenfolders&channel=chunlei&clienttype=0&app_id=250528"
                             "&logid={LOGID}"))
        << requests[0].target;
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.scheme, "http");
        EXPECT_EQ(hostOf(request), "pan.baidu.com");
    }
    ASSERT_EQ(entries_.size(), 250u);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        ASSERT_EQ(entries_[i].fs_id, 100001 + static_cast<std::int64_t>(i));
    }
    EXPECT_EQ(entries_[249].server_filename, "item 250.bin");
    EXPECT_EQ(entries_[249].path, "/big/item 250.bin");
    EXPECT_EQ(entries_[249].parent_path, "/big");
}

TEST_F(ShareClientSim, PagesDifferOnlyInTheirPageNumberPastTen) {
    struct Folder {
        const char* share;
        const char* dir;
        std::size_t entries;
        std::size_t requests;
    };
    for (const Folder& folder :
         {Folder{"foldersJ9", "/big", 250, 4}, Folder{"pagesP14", "/many", 1050, 12}}) {
        SCOPED_TRACE(folder.dir);
        open(folder.share);
        ASSERT_TRUE(readResult(client_.listDirectory(folder.dir, entries_)).state);
        EXPECT_EQ(entries_.size(), folder.entries);

        // "t" and "logid" stay the same for every page of one listing.
        const auto requests = log();
        ASSERT_EQ(requests.size(), folder.requests);
        const std::string first = requests[0].target;
        for (std::size_t p = 0; p < requests.size(); ++p) {
            std::string expected = first;
            expected.replace(expected.find("&page=1&"), 8, "&page=" + std::to_string(p + 1) + "&");
            EXPECT_EQ(requests[p].target, expected);
        }
    }
}

TEST_F(ShareClientSim, EmptyFolderIsOneRequestAndEmptiesTheList) {
    open("foldersJ9");
    entries_ = {sentinelEntry()};
    const Outcome result = readResult(client_.listDirectory("/empty", entries_));
    EXPECT_TRUE(result.state);
    EXPECT_EQ(result.count, "0");
    EXPECT_TRUE(entries_.empty());
    EXPECT_EQ(log().size(), 1u);
}

TEST_F(ShareClientSim, DirIsSentAsUtf8PercentEncodedAndMayComeFromTheListItself) {
    open("foldersJ9");
    ASSERT_TRUE(readResult(client_.listDirectory(ansi("/资料 2024"), entries_)).state);
    ASSERT_EQ(entries_.size(), 1u);
    ASSERT_EQ(entries_[0].path, ansi("/资料 2024/子 目录"));
    sim_->clearRequestLog();

    // The path lives inside the list that the call empties first.
    const Outcome result = readResult(client_.listDirectory(entries_[0].path, entries_));

    EXPECT_TRUE(result.state);
    ASSERT_EQ(entries_.size(), 1u);
    EXPECT_EQ(entries_[0].server_filename, ansi("深.txt"));
    EXPECT_EQ(entries_[0].fs_id, 555);
    const auto requests = log();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(queryValue(requests[0].target, "dir"),
              "%2F%E8%B5%84%E6%96%99+2024%2F%E5%AD%90+%E7%9B%AE%E5%BD%95");
}

TEST_F(ShareClientSim, UnparsablePageTwoFailsAndKeepsTheFirstHundred) {
    open("tornK10");
    const Outcome result = readResult(client_.listDirectory("/torn", entries_));
    EXPECT_FALSE(result.state);
    EXPECT_EQ(result.reason, "凭据JSON解析失败.");
    ASSERT_EQ(entries_.size(), 100u);
    EXPECT_EQ(entries_.front().fs_id, 300001);
    EXPECT_EQ(entries_.back().fs_id, 300100);
    EXPECT_EQ(log().size(), 2u);
}

// ---- names and ids that must survive the trip ----------------------------

TEST_F(ShareClientSim, EmojiHangulAndLargeIdsSurviveFromReplyToEntryList) {
    const auto check = [](const ShareEntryList& entries) {
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(platform::ansiToUtf8(entries[0].server_filename), "旅行 😀 notes.txt");
        EXPECT_EQ(entries[0].fs_id, 9007199254740993);  // 2^53 + 1
        EXPECT_EQ(entries[0].size, 4294967297);
        EXPECT_EQ(entries[0].server_mtime, 1600000123);
        EXPECT_EQ(platform::ansiToUtf8(entries[1].server_filename), "한국어 노트.md");
        EXPECT_EQ(platform::ansiToUtf8(entries[1].path), "/한국어 노트.md");
        EXPECT_EQ(entries[1].fs_id, INT64_MAX);
    };
    for (const char* id : {"plainA1", "rawN13"}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(
            readResult(client_.openShare(entries_, std::string("https://pan.baidu.com/s/1") + id))
                .state);
        check(entries_);
        ASSERT_TRUE(readResult(client_.listDirectory("/", entries_)).state);
        check(entries_);
    }
}

// ---- download addresses --------------------------------------------------

struct DownloadCase {
    const char* name;
    bool packed;
    bool replaceHost;
    const char* bodyTail;
    std::size_t links;
    const char* prefix;
};

TEST_F(ShareClientSim, DownloadRequestSendsTheExactFormAndJoinsTheAddresses) {
    const std::vector<DownloadCase> cases = {
        {"per file", false, false, "&fid_list=%5B111,222%5D", 2, "http://d.pcs.baidu.com/file/"},
        {"per file, host rewritten", false, true, "&fid_list=%5B111,222%5D", 2,
         "http://qdall01.baidupcs.com/file/"},
        {"packed", true, false, "&fid_list=%5B111,222%5D&type=batch", 1,
         "http://d.pcs.baidu.com/packed/"},
        {"packed, host rewritten", true, true, "&fid_list=%5B111,222%5D&type=batch", 1,
         "http://qdall01.baidupcs.com/packed/"},
    };
    open("downL11", "9q9q");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim_->clearRequestLog();

        const Outcome result = readResult(
            client_.requestDownloadLinks({111, 222}, c.packed, std::nullopt, c.replaceHost));

        ASSERT_TRUE(result.state) << result.reason;
        const auto requests = log();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].scheme, "http");
        EXPECT_EQ(hostOf(requests[0]), "yun.baidu.com");
        EXPECT_TRUE(matchesShape(requests[0].target,
                                 "/api/sharedownload?sign=signdown&timestamp=1720000000"
                                 "&bdstoken=tokendown&channel=chunlei&clienttype=0&web=1"
                                 "&app_id=250528&logid={LOGID}"))
            << requests[0].target;
        EXPECT_EQ(requests[0].body,
                  std::string("encrypt=0&product=share&uk=3300000011&primaryid=77000000011"
                              "&vcode_input=&extra={\r\n    \"sekey\" : \"L11%2Fsekey%3D\"\r\n}") +
                      c.bodyTail);
        EXPECT_NE(requests[0].header("Cookie").find("BDCLND=L11%2Fsekey%3D"), std::string::npos);

        std::vector<std::string> links;
        for (std::size_t from = 0;;) {
            const std::size_t bar = result.dlink.find('|', from);
            links.push_back(result.dlink.substr(from, bar - from));
            if (bar == std::string::npos) {
                break;
            }
            from = bar + 1;
        }
        ASSERT_EQ(links.size(), c.links) << result.dlink;
        for (const auto& link : links) {
            EXPECT_EQ(link.rfind(c.prefix, 0), 0u) << link;
        }
    }
}

TEST_F(ShareClientSim, CaptchaIsDemandedRefusedWhenWrongAndAcceptedWithTheLatestToken) {
    open("captchaM12");

    Outcome result = readResult(client_.requestDownloadLinks({333}, false));
    EXPECT_FALSE(result.state);
    EXPECT_EQ(result.reason, "下载验证码错误");
    EXPECT_EQ(log().back().body.find("vcode_str"), std::string::npos);

    std::string image;
    ASSERT_TRUE(readResult(client_.fetchCaptcha(image)).state);
    const std::string firstToken = client_.context().vcode_str;
    EXPECT_EQ(SimProcess::captchaAnswer(firstToken), "K7PX");
    EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1a\n");
    auto requests = log();
    ASSERT_GE(requests.size(), 3u);
    const SimRequest& captcha = requests[requests.size() - 2];
    EXPECT_TRUE(matchesShape("GET " + captcha.scheme + "://" + hostOf(captcha) + captcha.target,
                             "GET http://pan.baidu.com/api/getcaptcha?prod=pan&web=1&t={R16}"
                             "&bdstoken=null&channel=chunlei&clienttype=0&app_id=250528"
                             "&logid={LOGID}"))
        << captcha.target;
    EXPECT_EQ(requests.back().target, "/genimage?" + firstToken);

    result = readResult(client_.requestDownloadLinks({333}, false, "ZZZZ"));
    EXPECT_EQ(result.reason, "下载验证码错误");
    EXPECT_NE(log().back().body.find("&vcode_input=ZZZZ&vcode_str=" + firstToken + "&extra="),
              std::string::npos)
        << log().back().body;

    ASSERT_TRUE(readResult(client_.fetchCaptcha(image)).state);
    const std::string secondToken = client_.context().vcode_str;
    EXPECT_NE(secondToken, firstToken);

    result = readResult(client_.requestDownloadLinks({333}, false, "K7PX"));
    EXPECT_TRUE(result.state) << result.reason;
    EXPECT_EQ(result.dlink.rfind("http://d.pcs.baidu.com/file/", 0), 0u) << result.dlink;
    EXPECT_NE(log().back().body.find("&vcode_input=K7PX&vcode_str=" + secondToken + "&extra="),
              std::string::npos)
        << log().back().body;
}

TEST_F(ShareClientSim, CaptchaAnswerCannotSplitOrRewriteOtherFormPairs) {
    open("downL11", "9q9q");
    ShareContext context = client_.context();
    context.vcode_str = "TOKEN";
    client_.setContext(context);

    (void)client_.requestDownloadLinks({111}, false, "a&type=x", false);

    const auto requests = log();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& body = requests[0].body;
    EXPECT_NE(body.find("&vcode_input=a%26type%3Dx&vcode_str=TOKEN&extra="), std::string::npos)
        << body;
    EXPECT_EQ(body.find("type=batch"), std::string::npos);
    EXPECT_TRUE(body.ends_with("&fid_list=%5B111%5D")) << body;
}

// ---- one caller at a time ------------------------------------------------

TEST_F(ShareClientSim, ConcurrentCallersAreServedOneAtATime) {
    open("foldersJ9");
    constexpr int ROUNDS = 5;
    ShareEntryList otherEntries;
    std::vector<std::string> bigResults;
    std::vector<std::string> openResults;
    std::thread lister([&] {
        for (int i = 0; i < ROUNDS; ++i) {
            bigResults.push_back(readResult(client_.listDirectory("/big", entries_)).count);
        }
    });
    std::thread opener([&] {
        for (int i = 0; i < ROUNDS; ++i) {
            openResults.push_back(
                readResult(client_.openShare(otherEntries, "https://pan.baidu.com/s/1foldersJ9"))
                    .count);
        }
    });
    lister.join();
    opener.join();

    EXPECT_EQ(bigResults, std::vector<std::string>(ROUNDS, "250"));
    EXPECT_EQ(openResults, std::vector<std::string>(ROUNDS, "3"));
    // Each listing's four pages went out back to back.
    const auto requests = log();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (requests[i].target.find("page=1&") != std::string::npos) {
            ASSERT_LE(i + 3, requests.size() - 1);
            for (int p = 2; p <= 4; ++p) {
                EXPECT_NE(requests[i + p - 1].target.find("page=" + std::to_string(p) + "&"),
                          std::string::npos);
            }
        }
    }
}

}  // namespace
}  // namespace linkhaul
