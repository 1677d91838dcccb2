// The share service's answers as a client sees them, over real sockets against test.json.

#include "CurlRun.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace linkhaul::testsupport {
namespace {

using nlohmann::json;

class SimServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim_ = std::make_unique<SimProcess>("test.json"); }
    static void TearDownTestSuite() { sim_.reset(); }
    void SetUp() override { sim_->clearRequestLog(); }

    static CurlReply get(const std::string& url, const std::vector<std::string>& extra = {}) {
        return curl(*sim_, url, extra);
    }
    static CurlReply post(const std::string& url, const std::string& body,
                          const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--data-binary", body};
        args.insert(args.end(), extra.begin(), extra.end());
        return curl(*sim_, url, args);
    }

    // The share page's data block, parsed.
    static json shareData(const std::string& id, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"-L"};  // through a short link's redirect
        args.insert(args.end(), extra.begin(), extra.end());
        CurlReply page = get("https://pan.baidu.com/s/1" + id, args);
        return json::parse(dataBlock(page.body), nullptr, false);
    }

    static std::string cookieOf(const std::string& id, const std::string& code) {
        CurlReply reply = post("https://pan.baidu.com/share/verify?surl=" + id + "&t=1",
                               "pwd=" + code + "&vcode=&vcode_str=");
        std::string cookie = reply.header("Set-Cookie");
        return cookie.substr(0, cookie.find(';'));  // BDCLND=...
    }

    static std::string listUrl(long long uk, long long shareid, int page, const std::string& dir,
                               int num = 100) {
        return "http://pan.baidu.com/share/list?uk=" + std::to_string(uk) +
               "&shareid=" + std::to_string(shareid) +
               "&order=other&desc=1&showempty=0&web=1&page=" + std::to_string(page) +
               "&num=" + std::to_string(num) + "&dir=" + dir +
               "&t=0.1234567890123456&bdstoken=x&channel=chunlei&clienttype=0&app_id=250528&logid="
               "x";
    }

    // A download-address request the way the client builds it.
    static CurlReply shareDownload(const std::string& id, const std::string& fids,
                                   const std::string& extraValue, bool batch = false,
                                   const std::string& answer = "", const std::string& token = "",
                                   const std::string& cookie = "") {
        std::vector<std::string> withCookie;
        if (!cookie.empty())
            withCookie = {"-H", "Cookie: " + cookie};
        json data = shareData(id, withCookie);
        std::string url =
            "http://yun.baidu.com/api/sharedownload?sign=" + data["sign"].get<std::string>() +
            "&timestamp=" + std::to_string(data["timestamp"].get<long long>()) +
            "&bdstoken=x&channel=chunlei&clienttype=0&web=1&app_id=250528&logid=x";
        std::string body =
            "encrypt=0&product=share&uk=" + std::to_string(data["uk"].get<long long>()) +
            "&primaryid=" + std::to_string(data["shareid"].get<long long>()) +
            "&vcode_input=" + answer;
        if (!answer.empty())
            body += "&vcode_str=" + token;
        body += "&extra=" + extraValue + "&fid_list=%5B" + fids + "%5D";
        if (batch)
            body += "&type=batch";
        return post(url, body, withCookie);
    }

    static std::string extraFor(const std::string& sekey) {
        return "{\r\n    \"sekey\" : \"" + sekey + "\"\r\n}";
    }

    static std::unique_ptr<SimProcess> sim_;
};

std::unique_ptr<SimProcess> SimServiceTest::sim_;

TEST_F(SimServiceTest, SharePagesAnswerByStateOfTheShare) {
    struct Case {
        const char* url;
        int status;
        const char* holds;
        const char* location;
    };
    const Case cases[] = {
        {"https://pan.baidu.com/s/1open", 200, "yunData.setData(", ""},
        {"https://yun.baidu.com/s/1open", 200, "yunData.setData(", ""},
        {"http://pan.baidu.com/s/1open", 200, "yunData.setData(", ""},
        {"https://pan.baidu.com/s/1gone", 200, "页面不存在", ""},
        {"https://pan.baidu.com/s/1deleted", 200, "链接不存在", ""},
        {"https://pan.baidu.com/s/1nosuchshare", 200, "链接不存在", ""},
        {"https://pan.baidu.com/share/init?surl=nosuchshare", 200, "链接不存在", ""},
        {"https://pan.baidu.com/s/1direct", 200, "请输入提取密码", ""},
        {"https://pan.baidu.com/s/1coded", 302, "", "/share/init?surl=coded"},
        {"https://pan.baidu.com/share/init?surl=coded", 200, "请输入提取密码", ""},
        {"https://pan.baidu.com/s/1short", 302, "", "/share/init?surl=short"},
        {"https://pan.baidu.com/share/init?surl=short", 200, "yunData.setData(", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        CurlReply reply = get(c.url);
        EXPECT_EQ(reply.exitCode, 0);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_NE(reply.body.find(c.holds), std::string::npos);
        EXPECT_EQ(reply.header("Location"), c.location);
        if (std::string(c.holds) != "yunData.setData(") {
            EXPECT_EQ(reply.body.find("yunData.setData("), std::string::npos);
        }
    }
}

TEST_F(SimServiceTest, DataBlockHoldsIdentityAndExactTopLevelEntries) {
    CurlReply page = get("https://pan.baidu.com/s/1open");
    std::string block = dataBlock(page.body);
    // The service escapes non-ASCII and slashes; the parsed names must still be exact.
    EXPECT_NE(block.find("\\u6587\\u4ef6\\u5939"), std::string::npos);
    EXPECT_NE(block.find("\\ud83d\\ude00"), std::string::npos);
    EXPECT_NE(block.find("\"path\":\"\\/"), std::string::npos);
    json data = json::parse(block);
    EXPECT_EQ(data["uk"], 1001);
    EXPECT_EQ(data["shareid"], 2001);
    EXPECT_EQ(data["sign"].get<std::string>().size(), 40u);
    EXPECT_TRUE(data["timestamp"].is_number_integer());
    EXPECT_TRUE(data["bdstoken"].is_string());
    const json& list = data["file_list"]["list"];
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[0]["server_filename"], "文件夹");
    EXPECT_EQ(list[0]["isdir"], 1);
    EXPECT_EQ(list[0]["path"], "/文件夹");
    EXPECT_EQ(list[0]["parent_path"], "/");
    EXPECT_EQ(list[1]["server_filename"], "😀 emoji.txt");
    EXPECT_EQ(list[2]["server_filename"], "한국어 문서.pdf");
    EXPECT_EQ(list[3]["fs_id"].get<long long>(), 9007199254740993LL);
    EXPECT_EQ(list[3]["size"].get<long long>(), 5368709120LL);
    EXPECT_EQ(list[4]["server_mtime"], 1600000700);
    for (const auto& entry : list) {
        for (const char* key :
             {"fs_id", "server_filename", "parent_path", "server_mtime", "size", "isdir", "path"})
            EXPECT_TRUE(entry.contains(key)) << key;
    }
}

TEST_F(SimServiceTest, RawShareSendsUnescapedUtf8) {
    CurlReply page = get("https://pan.baidu.com/s/1raw");
    std::string block = dataBlock(page.body);
    EXPECT_NE(block.find("原样 UTF-8 😀.txt"), std::string::npos);
    EXPECT_NE(block.find("\"/我的分享/目录\""), std::string::npos);
    EXPECT_EQ(block.find("\\u"), std::string::npos);
    EXPECT_EQ(json::parse(block)["file_list"]["list"][1]["parent_path"], "/我的分享");

    json sub =
        get(listUrl(1005, 2005, 1, "%2F%E6%88%91%E7%9A%84%E5%88%86%E4%BA%AB%2F%E7%9B%AE%E5%BD%95"))
            .json();
    ASSERT_EQ(sub["list"].size(), 1u);
    EXPECT_EQ(sub["list"][0]["server_filename"], "안녕.txt");
}

TEST_F(SimServiceTest, CodeCheckSetsTheCookieThatOpensTheShare) {
    struct Case {
        const char* body;
        int errnoValue;
    };
    const Case cases[] = {
        {"pwd=zz00&vcode=&vcode_str=", -9},
        {"pwd=&vcode=&vcode_str=", -12},
        {"pwd=AB12&vcode=&vcode_str=", -9},
        {"pwd=ab12&vcode=&vcode_str=", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        CurlReply reply = post(
            "https://pan.baidu.com/share/verify?surl=coded&t=1700000000000"
            "&bdstoken=null&channel=chunlei&clienttype=0&web=1&app_id=250528&logid=x",
            c.body);
        EXPECT_EQ(reply.json()["errno"], c.errnoValue);
        std::string cookie = reply.header("Set-Cookie");
        if (c.errnoValue == 0) {
            EXPECT_EQ(cookie.rfind("BDCLND=", 0), 0u);
            EXPECT_NE(cookie.find("path=/"), std::string::npos);
            EXPECT_NE(cookie.find("domain=.baidu.com"), std::string::npos);
        } else {
            EXPECT_EQ(cookie, "");
        }
    }
    EXPECT_EQ(post("https://pan.baidu.com/share/verify?surl=unknown", "pwd=ab12").json()["errno"],
              2);

    std::string cookie = cookieOf("coded", "ab12");
    CurlReply page = get("https://pan.baidu.com/s/1coded", {"-H", "Cookie:" + cookie});
    EXPECT_EQ(page.status, 200);
    json data = json::parse(dataBlock(page.body));
    EXPECT_EQ(data["file_list"]["list"][0]["server_filename"], "秘密");

    EXPECT_EQ(get(listUrl(1002, 2002, 1, "")).json()["errno"], -11);
    json listed = get(listUrl(1002, 2002, 1, ""), {"-H", "Cookie: other=1; " + cookie}).json();
    EXPECT_EQ(listed["errno"], 0);
    EXPECT_EQ(listed["list"].size(), 2u);
}

TEST_F(SimServiceTest, CodeIsComparedAfterFormDecoding) {
    // "a b/" travels as a+b%2F.
    CurlReply reply =
        post("https://pan.baidu.com/share/verify?surl=codedspace", "pwd=a+b%2F&vcode=&vcode_str=");
    EXPECT_EQ(reply.json()["errno"], 0);
    EXPECT_EQ(
        post("https://pan.baidu.com/share/verify?surl=codedspace", "pwd=a%2Bb%2F").json()["errno"],
        -9);
}

TEST_F(SimServiceTest, ListPagesUntilAnEmptyPage) {
    std::vector<std::string> names;
    int requests = 0;
    for (int page = 1; page < 10; ++page) {
        json reply = get(listUrl(1001, 2001, page, "%2Fpaging")).json();
        ++requests;
        ASSERT_EQ(reply["errno"], 0);
        if (reply["list"].empty())
            break;
        EXPECT_LE(reply["list"].size(), 100u);
        for (const auto& entry : reply["list"]) {
            names.push_back(entry["server_filename"]);
            EXPECT_EQ(entry["parent_path"], "/paging");
        }
    }
    EXPECT_EQ(requests, 4);
    ASSERT_EQ(names.size(), 250u);
    EXPECT_EQ(names.front(), "item 001.dat");
    EXPECT_EQ(names[100], "item 101.dat");
    EXPECT_EQ(names.back(), "item 250.dat");

    EXPECT_EQ(get(listUrl(1001, 2001, 2, "%2Fpaging", 7)).json()["list"][0]["server_filename"],
              "item 008.dat");
}

TEST_F(SimServiceTest, ListAnswersErrorsForUnknownShareOrFolder) {
    struct Case {
        std::string url;
        int errnoValue;
        size_t entries;
    };
    const Case cases[] = {
        {listUrl(1001, 2001, 1, ""), 0, 8},
        {listUrl(1001, 2001, 1, "%2F"), 0, 8},
        {listUrl(1001, 2001, 1, "%2F%E6%96%87%E4%BB%B6%E5%A4%B9"), 0, 2},
        {listUrl(1001, 2001, 1, "%2Fwith+space+%26+%E7%AC%A6%E5%8F%B7"), 0, 1},
        {listUrl(1001, 2001, 1, "%2Fempty+folder"), 0, 0},
        {listUrl(1001, 2001, 1, "%2Fnot-there"), -3, 0},
        {listUrl(1001, 2001, 1, "%2Fsmall.bin"), -3, 0},
        {listUrl(1001, 9999, 1, ""), -7, 0},
        {listUrl(1001, 2001, 0, ""), 2, 0},
        {"http://pan.baidu.com/share/list?uk=1001&shareid=2001&page=x", 2, 0},
        // (page - 1) * num is 2^64 here: a wrapping product would give the first page again.
        {"http://pan.baidu.com/share/list?uk=1001&shareid=2001&page=72057594037927937&num=256"
         "&dir=%2Fpaging",
         0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        json reply = get(c.url).json();
        EXPECT_EQ(reply["errno"], c.errnoValue);
        EXPECT_EQ(reply.contains("list"), c.errnoValue == 0);
        if (c.errnoValue == 0) {
            EXPECT_EQ(reply["list"].size(), c.entries);
        }
    }
}

TEST_F(SimServiceTest, CaptchaRoundTripWithWrongThenRightAnswer) {
    EXPECT_EQ(shareDownload("captcha", "300", "{}").json()["errno"], -20);

    json captcha =
        get("http://pan.baidu.com/api/getcaptcha?prod=pan&web=1&t=0.1&bdstoken=null").json();
    ASSERT_EQ(captcha["errno"], 0);
    std::string token = captcha["vcode_str"];
    EXPECT_EQ(captcha["vcode_img"], "http://pan.baidu.com/genimage?" + token);
    std::string answer = SimProcess::captchaAnswer(token);
    ASSERT_EQ(answer.size(), 4u);

    CurlReply picture = get(captcha["vcode_img"].get<std::string>());
    EXPECT_EQ(picture.status, 200);
    EXPECT_EQ(picture.header("Content-Type"), "image/png");
    EXPECT_EQ(picture.body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    std::string wrong = answer == "AAAA" ? "BBBB" : "AAAA";
    EXPECT_EQ(shareDownload("captcha", "300", "{}", false, wrong, token).json()["errno"], -20);
    std::string lower;
    for (char c : answer)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    json right = shareDownload("captcha", "300", "{}", false, lower, token).json();
    EXPECT_EQ(right["errno"], 0);
    EXPECT_EQ(right["list"].size(), 1u);
    // One picture, one use.
    EXPECT_EQ(shareDownload("captcha", "300", "{}", false, answer, token).json()["errno"], -20);
    EXPECT_EQ(
        shareDownload("captcha", "300", "{}", false, "ABCD", "ABCDEFABCDEFABCDEFABCDEFABCDEFABABCD")
            .json()["errno"],
        -20);
}

TEST_F(SimServiceTest, CaptchaAfterNRequests) {
    EXPECT_EQ(shareDownload("captchaafter", "400", "{}").json()["errno"], 0);
    EXPECT_EQ(shareDownload("captchaafter", "400", "{}").json()["errno"], 0);
    EXPECT_EQ(shareDownload("captchaafter", "400", "{}").json()["errno"], -20);
    std::string token = get("http://pan.baidu.com/api/getcaptcha?prod=pan").json()["vcode_str"];
    EXPECT_EQ(
        shareDownload("captchaafter", "400", "{}", false, SimProcess::captchaAnswer(token), token)
            .json()["errno"],
        0);
}

TEST_F(SimServiceTest, GenimageRefusesMalformedTokens) {
    EXPECT_EQ(get("http://pan.baidu.com/genimage?short").status, 404);
    EXPECT_EQ(get("http://pan.baidu.com/genimage").status, 404);
}

TEST_F(SimServiceTest, DownloadRequestChecksWhatTheSharePageGave) {
    std::string cookie = cookieOf("coded", "ab12");
    std::string sekey = cookie.substr(std::string("BDCLND=").size());
    struct Case {
        const char* share;
        std::string fids;
        std::string extra;
        int errnoValue;
    };
    const Case cases[] = {
        {"open", "555,9007199254740993", "{}", 0},
        {"open", "", "{}", 2},
        {"open", "abc", "{}", 2},
        {"open", "777", "{}", -3},
        {"open", "100", "{}", 2},  // a folder needs type=batch
        {"coded", "202", extraFor(sekey), 0},
        {"coded", "202", extraFor(""), -11},
        {"coded", "202", extraFor("wrong"), -11},
        {"coded", "202", "not json", -11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.share) + " " + c.fids + " " + c.extra);
        EXPECT_EQ(shareDownload(c.share, c.fids, c.extra, false, "", "", cookie).json()["errno"],
                  c.errnoValue);
    }

    // sign and timestamp must be the page's.
    CurlReply stale = post("http://yun.baidu.com/api/sharedownload?sign=00&timestamp=1",
                           "encrypt=0&product=share&uk=1001&primaryid=2001&vcode_input=&extra={}"
                           "&fid_list=%5B555%5D");
    EXPECT_EQ(stale.json()["errno"], 112);
    EXPECT_EQ(post("http://yun.baidu.com/api/sharedownload?sign=00&timestamp=1", "encrypt=0")
                  .json()["errno"],
              2);
}

TEST_F(SimServiceTest, DlinksServeTheFilesBytesWithRanges) {
    json reply = shareDownload("open", "555,9007199254740993", "{}").json();
    ASSERT_EQ(reply["list"].size(), 2u);
    EXPECT_EQ(reply["list"][0]["fs_id"], 555);
    EXPECT_EQ(reply["list"][1]["fs_id"].get<long long>(), 9007199254740993LL);
    std::string small = reply["list"][0]["dlink"];
    std::string big = reply["list"][1]["dlink"];
    ASSERT_EQ(small.rfind("http://d.pcs.baidu.com/file/", 0), 0u);

    CurlReply whole = get(small);
    EXPECT_EQ(whole.status, 200);
    ASSERT_EQ(whole.body.size(), 1000u);
    for (size_t i = 0; i < whole.body.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(whole.body[i]), SimProcess::contentByte(555, i)) << i;

    // The replacement host serves the same address.
    std::string replaced =
        "http://qdall01.baidupcs.com" + small.substr(std::string("http://d.pcs.baidu.com").size());
    EXPECT_EQ(get(replaced).body, whole.body);

    const unsigned long long size = 5368709120ull;
    struct Case {
        unsigned long long first;
        unsigned long long last;
    };
    const Case ranges[] = {{0, 15}, {4294967290ull, 4294967301ull}, {size - 10, size - 1}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.first);
        CurlReply part = get(big, {"-r", std::to_string(r.first) + "-" + std::to_string(r.last)});
        EXPECT_EQ(part.status, 206);
        EXPECT_EQ(part.header("Content-Range"), "bytes " + std::to_string(r.first) + "-" +
                                                    std::to_string(r.last) + "/" +
                                                    std::to_string(size));
        ASSERT_EQ(part.body.size(), r.last - r.first + 1);
        for (size_t i = 0; i < part.body.size(); ++i)
            EXPECT_EQ(static_cast<unsigned char>(part.body[i]),
                      SimProcess::contentByte(9007199254740993LL, r.first + i));
    }
    EXPECT_EQ(get(big, {"-I"}).header("Content-Length"), std::to_string(size));

    // Ranges reaching past the end are cut at the end; ranges starting past it are refused.
    struct Edge {
        const char* range;
        int status;
        const char* contentRange;
        size_t offset;
        size_t length;
    };
    const Edge edges[] = {
        {"900-3000", 206, "bytes 900-999/1000", 900, 100},
        {"-10", 206, "bytes 990-999/1000", 990, 10},
        {"-5000", 206, "bytes 0-999/1000", 0, 1000},
        {"990-", 206, "bytes 990-999/1000", 990, 10},
        {"1000-", 416, "bytes */1000", 0, 0},
        {"2000-3000", 416, "bytes */1000", 0, 0},
        {"0-1,5-6", 200, "", 0, 1000},  // several ranges: the whole file is a valid answer
    };
    for (const auto& e : edges) {
        SCOPED_TRACE(e.range);
        CurlReply part = get(small, {"-r", e.range});
        EXPECT_EQ(part.status, e.status);
        EXPECT_EQ(part.header("Content-Range"), e.contentRange);
        EXPECT_EQ(part.body, whole.body.substr(e.offset, e.length));
    }

    json zero = shareDownload("short", "601", "{}").json();
    CurlReply empty = get(zero["list"][0]["dlink"].get<std::string>());
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.header("Content-Length"), "0");
    EXPECT_EQ(empty.body, "");

    std::string forged = small;
    forged.replace(forged.find("sign=") + 5, 4, "ffff");
    EXPECT_EQ(get(forged).status, 403);
    EXPECT_EQ(get("http://d.pcs.baidu.com/file/x?fid=1001-250528-99999&shareid=2001").status, 404);
    // Download paths are not served on the share web host.
    EXPECT_EQ(
        get("http://pan.baidu.com" + small.substr(std::string("http://d.pcs.baidu.com").size()))
            .status,
        404);
}

TEST_F(SimServiceTest, PackedSelectionIsARealZip) {
    json reply = shareDownload("open", "100,555", "{}", true).json();
    ASSERT_EQ(reply["errno"], 0);
    EXPECT_FALSE(reply.contains("list"));
    std::string dlink = reply["dlink"];
    ASSERT_EQ(dlink.rfind("http://d.pcs.baidu.com/", 0), 0u);
    std::string zipFile = sim_->requestLogPath() + ".zip";
    CurlReply fetched = get(dlink, {"-o", zipFile});
    EXPECT_EQ(fetched.status, 200);
    EXPECT_EQ(fetched.header("Content-Type"), "application/zip");

    CommandResult listing = runCommand({LINKHAUL_UNZIP, "-Z1", zipFile});
    EXPECT_EQ(listing.exitCode, 0) << listing.err;
    EXPECT_EQ(listing.out,
              "文件夹/\n文件夹/子文件夹/\n文件夹/子文件夹/深层.txt\n文件夹/说明.txt\nsmall.bin\n");
    CommandResult member = runCommand({LINKHAUL_UNZIP, "-p", zipFile, "small.bin"});
    ASSERT_EQ(member.out.size(), 1000u);
    for (size_t i = 0; i < member.out.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(member.out[i]), SimProcess::contentByte(555, i));
    EXPECT_EQ(runCommand({LINKHAUL_UNZIP, "-tq", zipFile}).exitCode, 0);
    std::remove(zipFile.c_str());

    // Too big to pack in memory: refused with an errno instead of a huge answer.
    EXPECT_EQ(shareDownload("open", "9007199254740993", "{}", true).json()["errno"], 2);
}

std::string readReply(int fd) {
    // Enough for the small answers here: read until the body's Content-Length is in.
    std::string reply;
    char buffer[4096];
    while (true) {
        auto headEnd = reply.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            auto length = reply.find("Content-Length: ");
            size_t want = length == std::string::npos ? 0 : std::stoul(reply.substr(length + 16));
            if (reply.size() >= headEnd + 4 + want)
                return reply;
        }
        ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return reply;
        reply.append(buffer, static_cast<size_t>(n));
    }
}

TEST_F(SimServiceTest, RequestLogKeepsHeaderLinesInArrivalOrderPerConnection) {
    int first = connectToLoopback(sim_->httpPort());
    ASSERT_GE(first, 0);
    std::string one =
        "POST /share/verify?surl=coded&t=1 HTTP/1.1\r\nHost: pan.baidu.com\r\nZ-Last: z\r\n"
        "Cookie:a=1; BDCLND=abc%2Fd\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Accept:*/*\r\nContent-Length: 8\r\n\r\npwd=ab12";
    std::string two = "GET /s/1open HTTP/1.1\r\nHost: pan.baidu.com\r\nA-First: a\r\n\r\n";
    ASSERT_EQ(send(first, one.data(), one.size(), 0), static_cast<ssize_t>(one.size()));
    EXPECT_NE(readReply(first).find("\"errno\":0"), std::string::npos);
    ASSERT_EQ(send(first, two.data(), two.size(), 0), static_cast<ssize_t>(two.size()));
    EXPECT_NE(readReply(first).find("yunData"), std::string::npos);
    close(first);
    EXPECT_EQ(get("https://pan.baidu.com/s/1open").status, 200);

    auto log = sim_->requestLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].target, "/share/verify?surl=coded&t=1");
    EXPECT_EQ(log[0].scheme, "http");
    EXPECT_EQ(log[0].body, "pwd=ab12");
    std::vector<std::pair<std::string, std::string>> expected = {
        {"Host", "pan.baidu.com"},
        {"Z-Last", "z"},
        {"Cookie", "a=1; BDCLND=abc%2Fd"},
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"Accept", "*/*"},
        {"Content-Length", "8"}};
    EXPECT_EQ(log[0].headers, expected);
    EXPECT_EQ(log[0].headerLines[2], "Cookie:a=1; BDCLND=abc%2Fd");
    EXPECT_EQ(log[0].header("cookie"), "a=1; BDCLND=abc%2Fd");
    EXPECT_EQ(log[1].path(), "/s/1open");
    EXPECT_EQ(log[1].headers.back().first, "A-First");
    EXPECT_EQ(log[0].connection, log[1].connection);
    EXPECT_NE(log[2].connection, log[1].connection);
    EXPECT_EQ(log[2].scheme, "https");
    EXPECT_EQ(log[2].header("Host"), "pan.baidu.com");
}

TEST_F(SimServiceTest, RequestLogKeepsBodiesThatAreNotUtf8) {
    const std::string gbk = "pwd=\xce\xc4\xbc\xfe&x=\xff";  // GBK bytes, not UTF-8
    CurlReply reply = post("https://pan.baidu.com/share/verify?surl=coded", gbk);
    EXPECT_EQ(reply.json()["errno"], -9);
    auto log = sim_->requestLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].body, gbk);
}

TEST_F(SimServiceTest, UnknownPathsAndMethodsAreLoggedAndRefused) {
    EXPECT_EQ(get("http://pan.baidu.com/nothing/here").status, 404);
    EXPECT_EQ(get("http://pan.baidu.com/share/verify?surl=coded").status, 404);  // GET, not POST
    EXPECT_EQ(curl(*sim_, "http://pan.baidu.com/s/1open", {"-X", "DELETE"}).status, 404);
    EXPECT_EQ(sim_->requestLog().size(), 3u);
}

}  // namespace
}  // namespace linkhaul::testsupport
