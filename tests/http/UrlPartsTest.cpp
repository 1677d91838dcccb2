#include <gtest/gtest.h>

#include "http/UrlParts.h"

namespace linkhaul {
namespace {

struct UrlCase {
    const char* given;
    const char* normalised;
    const char* scheme;
    const char* host;
    int port;
    const char* path;
};

const UrlCase URL_CASES[] = {
    {"host.example/s/1abc", "http://host.example/s/1abc", "http://", "host.example", 80, "/s/1abc"},
    {"HTTPS://Host.example/a?b=1", "HTTPS://Host.example/a?b=1", "https://", "Host.example", 443,
     "/a?b=1"},
    {"Http://host.example/x", "Http://host.example/x", "http://", "host.example", 80, "/x"},
    {"http://host.example:8080/x", "http://host.example:8080/x", "http://", "host.example", 8080,
     "/x"},
    {"http://host.example:5/x", "http://host.example:5/x", "http://", "host.example", 80, "/x"},
    {"https://host.example:0/x", "https://host.example:0/x", "https://", "host.example", 80, "/x"},
    {"https://host.example:11/x", "https://host.example:11/x", "https://", "host.example", 11,
     "/x"},
    {"https://host.example:8443", "https://host.example:8443", "https://", "host.example", 8443,
     "/"},
    {"http://host.example", "http://host.example", "http://", "host.example", 80, "/"},
    {"http://host.example:abc/x", "http://host.example:abc/x", "http://", "host.example", 80, "/x"},
    {"http://host.example: 81/x", "http://host.example: 81/x", "http://", "host.example", 81, "/x"},
    // A colon after the path's "/" is no port separator.
    {"http://host.example/a:b", "http://host.example/a:b", "http://", "host.example", 80, "/a:b"},
    // Short hosts keep their name; the scheme's colon is never the separator.
    {"http://a.b/x", "http://a.b/x", "http://", "a.b", 80, "/x"},
    {"abc", "http://abc", "http://", "abc", 80, "/"},
    {"", "http://", "http://", "http", 80, "//"},
    {"http://", "http://http://", "http://", "http", 80, "//"},
};

TEST(HttpUrlParts, NormaliseAndSplit) {
    for (const UrlCase& c : URL_CASES) {
        SCOPED_TRACE(c.given);
        const std::string url = normaliseUrl(c.given);
        EXPECT_EQ(url, c.normalised);
        const UrlParts parts = splitUrl(url);
        EXPECT_EQ(parts.scheme, c.scheme);
        EXPECT_EQ(parts.host, c.host);
        EXPECT_EQ(parts.port, c.port);
        EXPECT_EQ(parts.path, c.path);
    }
}

TEST(HttpUrlParts, AbsurdPortDigitsDoNotOverflow) {
    const UrlParts parts = splitUrl("http://host.example:99999999999999999999999/x");
    EXPECT_EQ(parts.host, "host.example");
    EXPECT_GT(parts.port, 65535);  // refused later when connecting, never wrapped
}

}  // namespace
}  // namespace linkhaul
