// The client against the scripted loopback server: the exact bytes it sends,
// how it reads replies, follows redirects, merges cookies, reuses connections
// and retries. Hosts are real-looking names sent to 127.0.0.1 through the
// connect-to mapping, so Host headers are checked as the service sees them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "ScriptedServer.h"
#include "http/HttpClient.h"

namespace linkhaul {
namespace {

using testing::After;
using testing::reply;
using testing::ScriptedReply;
using testing::ScriptedServer;

const std::string UA = "User-Agent: Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)\r\n";
const std::string OK_HELLO = reply("200 OK", "", "hello");

std::string gzip(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(text.size() + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

class HttpWire : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string port = std::to_string(server.port());
        ASSERT_TRUE(client.setConnectTo("host.example:80:127.0.0.1:" + port +
                                        ",other.example:80:127.0.0.1:" + port +
                                        ",host.example:8080:127.0.0.1:" + port));
    }
    std::string request(std::size_t i) const {
        const auto all = server.requests();
        return i < all.size() ? all[i].raw : std::string("<no request>");
    }

    ScriptedServer server;
    HttpClient client;
};

// --- exact requests ---------------------------------------------------------

struct RequestCase {
    const char* name;
    const char* verb;
    const char* url;
    const char* body;
    std::function<void(HttpClient&)> beforeSend;
    std::string expected;
};

TEST_F(HttpWire, SendsExactlyTheComposedRequest) {
    const std::string host = "Host: host.example\r\n";
    const std::vector<RequestCase> cases = {
        {"get", "GET", "host.example/s/1abc", "", nullptr,
         "GET /s/1abc HTTP/1.1\r\n" + host + UA +
             "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"form post", "post", "http://host.example/share/verify?x=1", "pwd=abcd&vcode=", nullptr,
         "POST /share/verify?x=1 HTTP/1.1\r\n" + host + UA +
             "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n"
             "Content-Type:application/x-www-form-urlencoded\r\nContent-Length: 15\r\n\r\n"
             "pwd=abcd&vcode="},
        {"post without body still declares the form", "POST", "http://host.example/p", "", nullptr,
         "POST /p HTTP/1.1\r\n" + host + UA +
             "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n"
             "Content-Type:application/x-www-form-urlencoded\r\nContent-Length: 0\r\n\r\n"},
        {"setAccept wins over the default", "GET", "http://host.example/a", "",
         [](HttpClient& c) { EXPECT_TRUE(c.setAccept("text/html")); },
         "GET /a HTTP/1.1\r\n" + host + UA +
             "Accept:text/html\r\nCookie:\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"removeHeader brings the default back", "GET", "http://host.example/a", "",
         [](HttpClient& c) {
             EXPECT_TRUE(c.setAccept("text/html"));
             EXPECT_TRUE(c.removeHeader("Accept"));
         },
         "GET /a HTTP/1.1\r\n" + host + UA +
             "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"referer without a value is the current url", "GET", "host.example/a/b.html", "",
         [](HttpClient& c) { EXPECT_TRUE(c.setReferer()); },
         "GET /a/b.html HTTP/1.1\r\n" + host + UA +
             "Referer:http://host.example/a/b.html\r\nCookie:\r\nAccept:*/*\r\n"
             "Accept-Language:zh-cn\r\n\r\n"},
        {"referer given empty is sent empty", "GET", "host.example/a", "",
         [](HttpClient& c) { EXPECT_TRUE(c.setReferer("")); },
         "GET /a HTTP/1.1\r\n" + host + UA +
             "Referer:\r\nCookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"named setters and the client address", "GET", "host.example/a", "",
         [](HttpClient& c) {
             EXPECT_TRUE(c.setRequestedWith());
             EXPECT_TRUE(c.setUserAgent("agent/1"));
             EXPECT_TRUE(c.setClientAddress("10.0.0.1"));
         },
         "GET /a HTTP/1.1\r\n" + host +
             "x-requested-with:XMLHttpRequest\r\nUser-Agent:agent/1\r\n"
             "X-Forwarded-For:10.0.0.1\r\nCLIENT_IP:10.0.0.1\r\nVIA:10.0.0.1\r\n"
             "REMOTE_ADDR:10.0.0.1\r\nCookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"jar goes out as one Cookie line", "GET", "host.example:8080/x", "",
         [](HttpClient& c) { (void)c.cookieJarText("a=1; BDCLND=x%2F"); },
         "GET /x HTTP/1.1\r\nHost: host.example:8080\r\n" + UA +
             "Cookie:a=1; BDCLND=x%2F\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"without default headers only the cookie line is added", "GET", "host.example/x", "",
         [](HttpClient& c) { c.setAutoDefaultHeaders(false); },
         "GET /x HTTP/1.1\r\n" + host + UA + "Cookie:\r\n\r\n"},
        {"an explicit port of 10 or less is port 80", "GET", "http://host.example:5/x", "", nullptr,
         "GET /x HTTP/1.1\r\n" + host + UA +
             "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
        {"spaces and ANSI bytes in the path are escaped", "GET", "host.example/a b\xC4\xE3", "",
         nullptr,
         "GET /a%20b%C4%E3 HTTP/1.1\r\n" + host + UA +
             "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const RequestCase& c = cases[i];
        SCOPED_TRACE(c.name);
        server.add({OK_HELLO});
        client.setAutoDefaultHeaders(true);
        (void)client.cookieJarText("");
        ASSERT_TRUE(client.openRequest(c.verb, c.url));
        if (c.beforeSend) {
            c.beforeSend(client);
        }
        ASSERT_TRUE(client.sendText(c.body));
        EXPECT_EQ(request(i), c.expected);
        EXPECT_EQ(client.readBody(), "hello");
    }
}

TEST_F(HttpWire, ReinitializeTakesANewUserAgent) {
    server.script({{OK_HELLO}, {OK_HELLO}});
    client.reinitialize("agent/2");
    ASSERT_TRUE(client.setConnectTo("host.example:80:127.0.0.1:" + std::to_string(server.port())));
    ASSERT_TRUE(client.openRequest("GET", "host.example/ua"));
    ASSERT_TRUE(client.sendText());
    EXPECT_NE(request(0).find("\r\nUser-Agent: agent/2\r\n"), std::string::npos) << request(0);
    client.reinitialize();
    ASSERT_TRUE(client.openRequest("GET", "host.example/ua"));
    ASSERT_TRUE(client.sendText());
    EXPECT_NE(request(1).find("\r\n" + UA), std::string::npos) << request(1);
}

TEST_F(HttpWire, HeaderOperationsNeedAnOpenRequest) {
    EXPECT_FALSE(client.setHeader("X-A", "1"));
    EXPECT_FALSE(client.removeHeader("Accept"));
    EXPECT_FALSE(client.setReferer());
    EXPECT_FALSE(client.sendText());
    EXPECT_EQ(client.statusCode(), 0);
    ASSERT_TRUE(client.openRequest("GET", "host.example/"));
    EXPECT_FALSE(client.setHeader("", "1"));
    EXPECT_FALSE(client.setHeader("X-A", "1\nInjected: yes"));
    EXPECT_FALSE(client.setHeader("X-A", "1", transport::HTTP_ADDREQ_FLAG_REPLACE));
    EXPECT_TRUE(client.setHeader("X-A", "1", transport::HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_FALSE(client.setHeader("x-a", "2", transport::HTTP_ADDREQ_FLAG_ADD_IF_NEW));
    EXPECT_EQ(client.statusCode(), 0);
}

// --- connections ------------------------------------------------------------

TEST_F(HttpWire, ConnectionIsReusedWhileHostAndPortStay) {
    for (int i = 0; i < 6; ++i) {
        server.add({OK_HELLO});
    }
    const char* urls[] = {"host.example/1",  "http://host.example/2", "other.example/3",
                          "other.example/4", "host.example:8080/5",   "host.example:8080/6"};
    for (const char* url : urls) {
        ASSERT_TRUE(client.openRequest("GET", url));
        ASSERT_TRUE(client.sendText()) << url;
        EXPECT_EQ(client.readBody(), "hello");
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 6u);
    const int expectedConnection[] = {1, 1, 2, 2, 3, 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(requests[i].connection, expectedConnection[i]) << urls[i];
    }
    EXPECT_EQ(server.acceptedConnections(), 3);
    EXPECT_EQ(client.connectedHost(), "host.example");
    EXPECT_EQ(client.connectedPort(), 8080);
}

TEST_F(HttpWire, ClosedConnectionIsReplacedOnTheNextRequest) {
    server.script({{OK_HELLO, After::Close}, {OK_HELLO}});
    ASSERT_TRUE(client.openRequest("GET", "host.example/1"));
    ASSERT_TRUE(client.sendText());
    ASSERT_TRUE(client.openRequest("GET", "host.example/2"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBody(), "hello");
    EXPECT_EQ(server.acceptedConnections(), 2);
}

// --- replies and bodies -----------------------------------------------------

struct BodyCase {
    const char* name;
    std::string raw;
    After after;
    std::int64_t contentLength;
    std::string body;
};

TEST_F(HttpWire, ReadsEveryBodyShape) {
    const std::string big(3 * 1048576 + 17, 'b');
    std::string chunked;
    const std::string unknownLength(25000, 'u');
    const std::vector<BodyCase> cases = {
        {"declared", reply("200 OK", "", "abc"), After::Keep, 3, "abc"},
        {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", After::Keep, -1, ""},
        {"no length, ended by close", "HTTP/1.1 200 OK\r\n\r\n" + unknownLength, After::Close, -1,
         unknownLength},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n"
         "0\r\n\r\n",
         After::Keep, -1, "hello world"},
        {"gzip decoded",
         "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
             std::to_string(gzip("packed text packed text").size()) + "\r\n\r\n" +
             gzip("packed text packed text"),
         After::Keep, static_cast<std::int64_t>(gzip("packed text packed text").size()),
         "packed text packed text"},
        {"larger than one buffer step", reply("200 OK", "", big), After::Keep,
         static_cast<std::int64_t>(big.size()), big},
        {"binary with zero bytes", reply("200 OK", "", std::string("a\0b", 3)), After::Keep, 3,
         std::string("a\0b", 3)},
    };
    for (const BodyCase& c : cases) {
        SCOPED_TRACE(c.name);
        server.add({c.raw, c.after});
        ASSERT_TRUE(client.openRequest("GET", "host.example/body"));
        ASSERT_TRUE(client.sendText());
        EXPECT_EQ(client.statusCode(), 200);
        EXPECT_EQ(client.statusText(), "OK");
        EXPECT_EQ(client.contentLength(), c.contentLength);
        EXPECT_EQ(client.readBody(), c.body);
        EXPECT_EQ(client.readBody(), c.body);  // served again from the buffer
    }
}

TEST_F(HttpWire, BodyIsEmptyAgainAfterTheNextOpenRequest) {
    server.script({{OK_HELLO}, {reply("404 Not Found", "", "gone")}});
    ASSERT_TRUE(client.openRequest("GET", "host.example/1"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBody(), "hello");
    ASSERT_TRUE(client.openRequest("GET", "host.example/2"));
    EXPECT_EQ(client.readBody(), "");
    EXPECT_EQ(client.statusCode(), 0);
    EXPECT_EQ(client.replyHeaderBlock(), "");
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 404);
    EXPECT_EQ(client.statusText(), "Not Found");
    EXPECT_EQ(client.readBodyText(), "gone");
}

TEST_F(HttpWire, BodyTextAndUtf8Decoding) {
    server.script({{reply("200 OK", "", std::string("ab\0cd", 5))},
                   {reply("200 OK", "", "\xE4\xBD\xA0")},
                   {reply("200 OK", "", "ok\xFFgo")}});
    ASSERT_TRUE(client.openRequest("GET", "host.example/1"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBodyText(), "ab");
    ASSERT_TRUE(client.openRequest("GET", "host.example/2"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBodyUtf8(), "\xC4\xE3");
    // An invalid byte is replaced; the rest of the text survives.
    ASSERT_TRUE(client.openRequest("GET", "host.example/3"));
    ASSERT_TRUE(client.sendText());
    const std::string text = client.readBodyUtf8();
    EXPECT_EQ(text.substr(0, 2), "ok");
    EXPECT_EQ(text.substr(text.size() - 2), "go");
    EXPECT_GT(text.size(), 4u);
}

TEST_F(HttpWire, ReplyHeaderLookups) {
    server.add(
        {"HTTP/1.1 200 OK\r\nX-Thing:   spaced  \r\nContent-Location: /wrong\r\n"
         "location:  /right \r\nContent-Length: 0\r\n\r\n"});
    client.setFollowRedirects(false);
    ASSERT_TRUE(client.openRequest("GET", "host.example/h"));
    ASSERT_TRUE(client.sendText({}, false, 0));
    EXPECT_EQ(client.replyHeader("x-thing"), "spaced  ");
    EXPECT_EQ(client.replyHeader("Missing"), "");
    EXPECT_EQ(client.replyHeader("HTTP/1.1 200 OK"), "");
    EXPECT_EQ(client.redirectLocation(), "/right");
    EXPECT_EQ(client.redirectLocation(true), "http://host.example:80/right");
    EXPECT_EQ(client.replyHeaderBlock().substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

// --- redirects --------------------------------------------------------------

TEST_F(HttpWire, FollowsRelativeAndAbsoluteLocations) {
    server.script({
        {reply("302 Found", "Location: next.html\r\nSet-Cookie: a=1; path=/\r\n", "")},
        {reply("301 Moved", "Location: /c\r\nSet-Cookie: b=2\r\n", "")},
        {reply("302 Found", "Location: http://other.example/d?e=1\r\n", "")},
        {reply("200 OK", "", "landed")},
    });
    ASSERT_TRUE(client.openRequest("POST", "http://host.example/a/b.html"));
    ASSERT_TRUE(client.sendText("x=1"));
    EXPECT_EQ(client.statusCode(), 200);
    EXPECT_EQ(client.readBody(), "landed");
    EXPECT_EQ(client.currentUrl(), "http://other.example/d?e=1");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(request(1), "GET /a/next.html HTTP/1.1\r\nHost: host.example\r\n" + UA +
                              "Cookie:a=1\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n");
    EXPECT_EQ(request(2), "GET /c HTTP/1.1\r\nHost: host.example\r\n" + UA +
                              "Cookie:a=1; b=2\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n");
    EXPECT_EQ(request(3), "GET /d?e=1 HTTP/1.1\r\nHost: other.example\r\n" + UA +
                              "Cookie:a=1; b=2\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n");
    EXPECT_EQ(client.cookieJar(), "; a=1; b=2; ");
}

TEST_F(HttpWire, StopsAfterTwentyFollowUps) {
    for (int i = 0; i < 30; ++i) {
        server.add({reply("302 Found", "Location: /hop" + std::to_string(i + 1) + "\r\n", "")});
    }
    ASSERT_TRUE(client.openRequest("GET", "host.example/hop0"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(server.requests().size(), 21u);
    EXPECT_EQ(client.statusCode(), 302);
    EXPECT_EQ(client.currentUrl(), "http://host.example:80/hop20");
    EXPECT_EQ(client.redirectLocation(), "/hop21");
    // The counter starts again for the next chain.
    server.script({{reply("302 Found", "Location: /again\r\n", "")}, {OK_HELLO}});
    ASSERT_TRUE(client.openRequest("GET", "host.example/start"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 200);
    EXPECT_EQ(server.requests().size(), 23u);
}

TEST_F(HttpWire, FollowingOffKeepsTheRedirect) {
    server.add({reply("302 Found", "Location: /s/1abc?surl=1\r\n", "")});
    client.setFollowRedirects(false);
    ASSERT_TRUE(client.openRequest("GET", "http://host.example/short"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 302);
    EXPECT_EQ(client.redirectLocation(true), "http://host.example:80/s/1abc?surl=1");
    EXPECT_EQ(server.requests().size(), 1u);
    client.setFollowRedirects();
    server.script({{reply("302 Found", "Location: /s/1abc\r\n", "")}, {OK_HELLO}});
    ASSERT_TRUE(client.openRequest("GET", "http://host.example/short"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 200);
}

TEST_F(HttpWire, RelativeLocationOnAUrlWithoutPath) {
    server.script({{reply("302 Found", "Location: next\r\n", "")}, {OK_HELLO}});
    ASSERT_TRUE(client.openRequest("GET", "http://host.example"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.currentUrl(), "http://host.example/next");
    EXPECT_EQ(client.readBody(), "hello");
}

// --- cookies from replies ---------------------------------------------------

struct MergeCase {
    const char* name;
    const char* jarBefore;
    std::string setCookieLines;
    bool keepExisting;
    const char* jarAfter;
};

TEST_F(HttpWire, MergesReplyCookiesIntoTheJar) {
    const std::vector<MergeCase> cases = {
        {"first cookie drops attributes", "",
         "Set-Cookie: SID=AB:FG=1; expires=Thu, 31-Dec-37 23:55:55 GMT; path=/\r\n", false,
         "; SID=AB:FG=1; "},
        {"new value replaces in place", "SID=AB:FG=1; z=9", "Set-Cookie: SID=XY; path=/\r\n", false,
         "; SID=XY; z=9; "},
        {"new cookie appended", "SID=XY", "Set-Cookie: N=1\r\n", false, "; SID=XY; N=1; "},
        {"deletion removes", "a=1; BDCLND=x; b=2", "Set-Cookie: BDCLND=deleted; path=/\r\n", false,
         "; a=1; b=2; "},
        {"deletion of an unknown cookie", "a=1", "Set-Cookie: BDCLND=DELETED; path=/\r\n", false,
         "; a=1; "},
        {"keepExisting keeps a value against an empty one", "A=1", "Set-Cookie: A=\r\n", true,
         "; A=1; "},
        {"empty value replaces without keepExisting", "A=1", "Set-Cookie: A=\r\n", false, "; A=; "},
        {"keepExisting ignores deletions", "A=1", "Set-Cookie: A=Deleted\r\n", true, "; A=1; "},
        {"line without semicolon ends at its CR LF", "", "Set-Cookie: A=1\r\nX-After: leak\r\n",
         false, "; A=1; "},
        {"names are whole and case-sensitive", "ab=1; B=2",
         "Set-Cookie: b=3\r\nset-cookie: B=4\r\n", false, "; ab=1; B=4; b=3; "},
        {"a line without = is skipped", "a=1", "Set-Cookie: flag; path=/\r\n", false, "; a=1; "},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        (void)client.cookieJarText(c.jarBefore);
        server.add({reply("200 OK", c.setCookieLines, "")});
        ASSERT_TRUE(client.openRequest("GET", "host.example/c"));
        ASSERT_TRUE(client.sendText({}, c.keepExisting));
        EXPECT_EQ(client.cookieJar(), c.jarAfter);
    }
}

TEST_F(HttpWire, ReplyCookiesAndReplyCookie) {
    server.add({reply("200 OK",
                      "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=deleted\r\n"
                      "Set-Cookie:c=3\r\nSet-Cookie: d= spaced ; x\r\n",
                      "")});
    ASSERT_TRUE(client.openRequest("GET", "host.example/c"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.replyCookies(), "a=1; c=3; d= spaced ");
    EXPECT_EQ(client.replyCookie("a"), "1");
    EXPECT_EQ(client.replyCookie("c"), "3");
    EXPECT_EQ(client.replyCookie("d"), " spaced ");
    EXPECT_EQ(client.replyCookie("zz"), "");
    // The next request carries everything but the deleted one.
    server.add({OK_HELLO});
    ASSERT_TRUE(client.openRequest("GET", "host.example/next"));
    ASSERT_TRUE(client.sendText());
    EXPECT_NE(request(1).find("\r\nCookie:a=1; c=3; d= spaced \r\n"), std::string::npos)
        << request(1);
}

// --- retries ----------------------------------------------------------------

TEST_F(HttpWire, RetriesResetConnectionsOnly) {
    ScriptedReply resetAtOnce;
    resetAtOnce.resetOnAccept = true;
    server.script({resetAtOnce, resetAtOnce, resetAtOnce, resetAtOnce});
    ASSERT_TRUE(client.openRequest("GET", "host.example/r"));
    EXPECT_FALSE(client.sendText({}, false, 2));
    EXPECT_EQ(server.acceptedConnections(), 3);

    // Two resets, then an answer: the third attempt succeeds.
    server.script({resetAtOnce, resetAtOnce, {OK_HELLO}});
    ASSERT_TRUE(client.openRequest("GET", "other.example/r"));
    EXPECT_TRUE(client.sendText({}, false, 2));
    EXPECT_EQ(client.readBody(), "hello");

    // A reply that is no HTTP at all is not retried.
    const int before = server.acceptedConnections();
    server.script({{"\x01\x02 not http\r\n\r\n", After::Close}, {OK_HELLO}, {OK_HELLO}});
    ASSERT_TRUE(client.openRequest("GET", "host.example:8080/r"));
    EXPECT_FALSE(client.sendText({}, false, 2));
    EXPECT_EQ(server.acceptedConnections(), before + 1);
}

TEST_F(HttpWire, LargePostGoesOutWithoutExpect) {
    const std::string body(3 * 1024 * 1024, 'p');
    server.add({OK_HELLO});
    ASSERT_TRUE(client.openRequest("POST", "host.example/upload"));
    ASSERT_TRUE(client.sendBytes(body));
    const std::string sent = request(0);
    const std::string head = sent.substr(0, sent.find("\r\n\r\n") + 4);
    EXPECT_EQ(head.find("Expect"), std::string::npos) << head;
    EXPECT_EQ(head.find("Transfer-Encoding"), std::string::npos) << head;
    EXPECT_EQ(sent.size() - head.size(), body.size());
}

TEST_F(HttpWire, RefusedConnectionFailsEveryAttempt) {
    int closedPort;
    {
        ScriptedServer gone;
        closedPort = gone.port();
    }
    ASSERT_TRUE(client.setConnectTo("host.example:80:127.0.0.1:" + std::to_string(closedPort)));
    ASSERT_TRUE(client.openRequest("GET", "host.example/x"));
    EXPECT_FALSE(client.sendText({}, false, 2));
    EXPECT_EQ(client.statusCode(), 0);
    EXPECT_EQ(client.readBody(), "");
}

// --- TLS --------------------------------------------------------------------

TEST(HttpTls, HttpsWithASelfSignedCertificate) {
    ScriptedServer tls(ScriptedServer::Mode::Tls);
    tls.script({{OK_HELLO}, {OK_HELLO}, {OK_HELLO}});
    HttpClient client;
    ASSERT_TRUE(client.setConnectTo("host.example:443:127.0.0.1:" + std::to_string(tls.port())));
    ASSERT_TRUE(client.openRequest("GET", "HTTPS://host.example/a?b=1"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBody(), "hello");
    ASSERT_TRUE(client.openRequest("GET", "https://host.example/b"));
    ASSERT_TRUE(client.sendText());
    ASSERT_TRUE(tls.waitForRequests(2));
    const auto requests = tls.requests();
    EXPECT_EQ(requests[0].raw, "GET /a?b=1 HTTP/1.1\r\nHost: host.example\r\n" + UA +
                                   "Cookie:\r\nAccept:*/*\r\nAccept-Language:zh-cn\r\n\r\n");
    EXPECT_EQ(requests[0].serverName, "host.example");
    EXPECT_EQ(requests[1].connection, 1);
    // With certificate checks on, the self-signed certificate is refused.
    client.setIgnoreCertErrors(false);
    ASSERT_TRUE(client.openRequest("GET", "https://host.example/c"));
    EXPECT_FALSE(client.sendText());
}

// --- proxy ------------------------------------------------------------------

TEST(HttpProxy, CredentialsWaitForTheNextSend) {
    ScriptedServer proxy;
    proxy.script({{OK_HELLO}, {OK_HELLO}, {OK_HELLO}});
    HttpClient client;
    const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
    ASSERT_TRUE(client.setProxy(address, "user", "pass"));
    ASSERT_TRUE(client.openRequest("GET", "http://far.example/x"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBody(), "hello");
    ASSERT_TRUE(proxy.waitForRequests(1));
    const std::string first = proxy.requests()[0].raw;
    EXPECT_EQ(first.substr(0, first.find("\r\n")), "GET http://far.example/x HTTP/1.1");
    EXPECT_NE(first.find("\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n"), std::string::npos)
        << first;

    // With a request open the credentials apply at once.
    ASSERT_TRUE(client.openRequest("GET", "http://far.example/y"));
    ASSERT_TRUE(client.setProxy(address, "other", "secret"));
    ASSERT_TRUE(client.sendText());
    const std::string second = proxy.requests()[1].raw;
    EXPECT_NE(second.find("\r\nProxy-Authorization: Basic b3RoZXI6c2VjcmV0\r\n"), std::string::npos)
        << second;

    // "" goes direct again: the proxy sees nothing more.
    ScriptedServer direct;
    direct.add({OK_HELLO});
    ASSERT_TRUE(client.setProxy("", "ignored", "ignored"));
    ASSERT_TRUE(
        client.openRequest("GET", "http://127.0.0.1:" + std::to_string(direct.port()) + "/z"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(proxy.requests().size(), 2u);
    EXPECT_EQ(direct.requests().size(), 1u);
}

// --- options ----------------------------------------------------------------

TEST(HttpOptions, TimeoutsAndConnectToNeedASession) {
    HttpClient client;
    EXPECT_TRUE(client.setTimeouts(5000));
    EXPECT_FALSE(client.setConnectTo("bad-entry"));
    EXPECT_FALSE(client.setConnectTo("a:80:b"));
    EXPECT_FALSE(client.setConnectTo("a:0:b:1"));
    EXPECT_TRUE(client.setConnectTo(" a.example:80:127.0.0.1:1 , b.example:443:127.0.0.1:2 "));
    EXPECT_EQ(client.connectTo(), "a.example:80:127.0.0.1:1,b.example:443:127.0.0.1:2");
    EXPECT_FALSE(client.setConnectTo("a:80:b:99999"));
    EXPECT_EQ(client.connectTo(), "a.example:80:127.0.0.1:1,b.example:443:127.0.0.1:2");
    client.close();
    EXPECT_FALSE(client.setTimeouts());
    EXPECT_FALSE(client.setProxy("127.0.0.1:1"));
    EXPECT_FALSE(client.openRequest("GET", "host.example/"));
    client.reinitialize();
    EXPECT_EQ(client.connectTo(), "a.example:80:127.0.0.1:1,b.example:443:127.0.0.1:2");
    EXPECT_FALSE(client.setServerCredentials("u", "p"));  // no connection yet
    ASSERT_TRUE(client.openRequest("GET", "a.example/"));
    EXPECT_TRUE(client.setServerCredentials("u", "p"));
    EXPECT_FALSE(client.setServerCredentials("u:x", "p"));
}

TEST(HttpOptions, ServerCredentialsGoOutAsBasic) {
    ScriptedServer server;
    server.add({OK_HELLO});
    HttpClient client;
    ASSERT_TRUE(
        client.openRequest("GET", "http://127.0.0.1:" + std::to_string(server.port()) + "/p"));
    ASSERT_TRUE(client.setServerCredentials("user", "pass"));
    ASSERT_TRUE(client.sendText());
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_NE(server.requests()[0].raw.find("\r\nAuthorization: Basic dXNlcjpwYXNz\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace linkhaul

namespace linkhaul {
namespace {

TEST(HttpOptions, TimeoutDefaultsAndOptionNumbers) {
    HttpClient client;
    auto t = client.timeouts();
    ASSERT_TRUE(t);
    EXPECT_EQ(t->connectMs, 15000);
    EXPECT_EQ(t->sendMs, 120000);
    EXPECT_EQ(t->receiveMs, 300000);
    EXPECT_TRUE(client.setTimeouts(5000));
    t = client.timeouts();
    EXPECT_EQ(t->connectMs, 5000);
    EXPECT_EQ(t->sendMs, 120000);
    EXPECT_EQ(t->receiveMs, 300000);
    EXPECT_TRUE(client.setTimeouts(0, 0, 0));
    EXPECT_EQ(client.timeouts()->receiveMs, 0);
    EXPECT_TRUE(client.setOption(std::nullopt, INTERNET_OPTION_RECEIVE_TIMEOUT, 700));
    EXPECT_EQ(client.timeouts()->receiveMs, 700);
    // Request and connection options need their handle.
    EXPECT_FALSE(client.setOption(2, INTERNET_OPTION_HTTP_DECODING, 1));
    EXPECT_FALSE(client.setOption(1, INTERNET_OPTION_USERNAME, "u"));
    EXPECT_FALSE(client.setOption(std::nullopt, 12345, 1));
    ASSERT_TRUE(client.openRequest("GET", "host.example/"));
    EXPECT_TRUE(client.setOption(2, INTERNET_OPTION_HTTP_DECODING, 1));
    EXPECT_TRUE(client.setOption(2, INTERNET_OPTION_SECURITY_FLAGS, IGNORE_CERT_ERROR_FLAGS));
    EXPECT_TRUE(client.setOption(1, INTERNET_OPTION_USERNAME, "u"));
    EXPECT_TRUE(client.setOption(1, INTERNET_OPTION_PROXY_PASSWORD, "p"));
    client.resetDefaults();
    EXPECT_EQ(client.timeouts()->receiveMs, 300000);
    client.close();
    EXPECT_FALSE(client.timeouts());
}

TEST(HttpOptions, ConnectToComesFromTheEnvironment) {
    ::setenv("LINKHAUL_CONNECT_TO", "pan.example:443:127.0.0.1:18443", 1);
    {
        HttpClient client;
        EXPECT_EQ(client.connectTo(), "pan.example:443:127.0.0.1:18443");
    }
    ::setenv("LINKHAUL_CONNECT_TO", "pan.example:443", 1);
    {
        ::testing::internal::CaptureStderr();
        HttpClient client;
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(client.connectTo(), "");
        EXPECT_NE(message.find("LINKHAUL_CONNECT_TO"), std::string::npos);
    }
    ::unsetenv("LINKHAUL_CONNECT_TO");
}

TEST(HttpOptions, DecodingOffHandsOutTheCompressedBytes) {
    ScriptedServer server;
    const std::string packed = gzip("plain words");
    server.script({{"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                    std::to_string(packed.size()) + "\r\n\r\n" + packed}});
    HttpClient client;
    client.setHttpDecoding(false);
    ASSERT_TRUE(client.openRequest("GET", "http://127.0.0.1:" + std::to_string(server.port())));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.readBody(), packed);
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(server.requests()[0].raw.find("Accept-Encoding"), std::string::npos);
}

TEST(HttpOptions, CookieModeTwoLeavesCookiesAndRedirectsToTheTransport) {
    ScriptedServer server;
    server.script({{reply("302 Found", "Set-Cookie: t=1; path=/\r\nLocation: /next\r\n", "")},
                   {reply("200 OK", "", "there")},
                   {OK_HELLO}});
    HttpClient client;
    client.setCookieMode(2);
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    ASSERT_TRUE(client.openRequest("GET", base + "/first"));
    ASSERT_TRUE(client.setCookies("given=2"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 200);
    EXPECT_EQ(client.readBody(), "there");
    EXPECT_EQ(client.cookieJar(), "; ");
    ASSERT_TRUE(client.openRequest("GET", base + "/third"));
    ASSERT_TRUE(client.sendText());
    ASSERT_TRUE(server.waitForRequests(3));
    const auto requests = server.requests();
    EXPECT_EQ(requests[1].raw.substr(0, 14), "GET /next HTTP");
    EXPECT_NE(requests[0].raw.find("Cookie: given=2"), std::string::npos) << requests[0].raw;
    EXPECT_NE(requests[2].raw.find("t=1"), std::string::npos) << requests[2].raw;
    EXPECT_EQ(requests[2].raw.find("\r\nCookie:\r\n"), std::string::npos);
}

}  // namespace
}  // namespace linkhaul
