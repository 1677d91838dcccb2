// Jar operations that need no reply: setting and reading the whole jar, one
// cookie, adding and deleting by name. Merging replies is in WireTest.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/HttpClient.h"

namespace linkhaul {
namespace {

TEST(HttpCookieJar, StartsEmpty) {
    HttpClient client;
    EXPECT_EQ(client.cookieJar(), "; ");
    EXPECT_EQ(client.cookieJarText(), "");
}

struct JarTextCase {
    const char* given;
    const char* jar;
    const char* entries;
};

TEST(HttpCookieJar, CookieJarTextSetsWholeJar) {
    const JarTextCase cases[] = {
        {"a=1", "; a=1; ", "a=1"},
        {"a=1;", "; a=1; ", "a=1"},
        {"a=1; ", "; a=1; ", "a=1"},
        {"; a=1; b=2; ", "; a=1; b=2; ", "a=1; b=2"},
        {"a=1; b=2", "; a=1; b=2; ", "a=1; b=2"},
        {"", "; ", ""},
        // Trailing blanks are dropped so the jar still ends in "; ".
        {"a=1  ", "; a=1; ", "a=1"},
    };
    for (const JarTextCase& c : cases) {
        SCOPED_TRACE(c.given);
        HttpClient client;
        EXPECT_EQ(client.cookieJarText(c.given), c.given);
        EXPECT_EQ(client.cookieJar(), c.jar);
        EXPECT_EQ(client.cookieJarText(), c.entries);
    }
}

TEST(HttpCookieJar, TrailingBlankJarStillFindsLaterEntries) {
    HttpClient client;
    (void)client.cookieJarText("a=1 ");
    EXPECT_TRUE(client.addJarCookies("b=2"));
    EXPECT_TRUE(client.addJarCookies("b=3"));
    EXPECT_EQ(client.cookieJar(), "; a=1; b=3; ");
}

struct JarCookieCase {
    const char* jar;
    const char* name;
    bool withName;
    const char* expected;
};

TEST(HttpCookieJar, JarCookieMatchesWholeNames) {
    const JarCookieCase cases[] = {
        {"; x=1; BDCLND=abc%2Fd; ", "BDCLND", false, "abc%2Fd"},
        {"; x=1; BDCLND=abc%2Fd; ", "BDCLND", true, "BDCLND=abc%2Fd"},
        {"; x=1; ", "BDCLND", false, ""},
        {"; x=1; ", "", false, ""},
        // A longer name that merely begins with the asked one is not it.
        {"; BDCLNDX=wrong; BDCLND=right; ", "BDCLND", false, "right"},
        {"; BDCLNDX=wrong; ", "BDCLND", false, ""},
        {"; ab=1; b=2; ", "b", false, "2"},
        {"; a=; ", "a", false, ""},
        {"; a=; ", "a", true, "a="},
    };
    for (const JarCookieCase& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + " / " + c.name);
        HttpClient client;
        (void)client.cookieJarText(c.jar);
        EXPECT_EQ(client.jarCookie(c.name, c.withName), c.expected);
    }
}

struct EditCase {
    const char* jar;
    const char* argument;
    const char* after;
    bool changed;
};

// Runs edit with each case's argument on a client holding the case's jar.
void expectEdits(const std::vector<EditCase>& cases, const char* sign,
                 bool (HttpClient::*edit)(std::string_view)) {
    for (const EditCase& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + sign + c.argument);
        HttpClient client;
        (void)client.cookieJarText(c.jar);
        EXPECT_EQ((client.*edit)(c.argument), c.changed);
        EXPECT_EQ(client.cookieJar(), c.after);
    }
}

TEST(HttpCookieJar, AddJarCookies) {
    expectEdits(
        {
            {"; a=1; b=2; ", "a=2; c=3", "; a=2; b=2; c=3; ", true},
            {"; ", "a=1", "; a=1; ", true},
            {"; a=1; ", "a=1", "; a=1; ", false},
            {"; a=1; ", "", "; a=1; ", false},
            {"; a=1; ", "novalue; ;", "; a=1; ", false},
            // Deletion markers mean nothing here.
            {"; a=1; ", "a=deleted", "; a=deleted; ", true},
            {"; ab=1; ", "b=2", "; ab=1; b=2; ", true},
        },
        " + ", &HttpClient::addJarCookies);
}

TEST(HttpCookieJar, DeleteJarCookies) {
    expectEdits(
        {
            {"; a=1; b=2; c=3; ", "b; c=9", "; a=1; ", true},
            {"; a=1; b=2; c=3; ", "z", "; a=1; b=2; c=3; ", false},
            {"; a=1; b=2; ", "", "; a=1; b=2; ", false},
            {"; a=1; b=2; ", "a", "; b=2; ", true},
            {"; ab=1; b=2; ", "b", "; ab=1; ", true},
        },
        " - ", &HttpClient::deleteJarCookies);
}

TEST(HttpCookieJar, SetCookiesFollowsTheMode) {
    HttpClient client;
    EXPECT_TRUE(client.setCookies("a=1"));
    EXPECT_EQ(client.cookieJar(), "; a=1; ");
    client.setCookieMode(2);
    EXPECT_TRUE(client.setCookies("b=2"));  // handed to the transport's store instead
    EXPECT_EQ(client.cookieJar(), "; a=1; ");
    EXPECT_FALSE(client.setCookies("novalue"));
    client.setCookieMode(7);  // out of range means 1
    EXPECT_TRUE(client.setCookies("c=3"));
    EXPECT_EQ(client.cookieJar(), "; a=1; c=3; ");
}

TEST(HttpCookieJar, ResetDefaultsEmptiesCloseKeeps) {
    HttpClient client;
    (void)client.cookieJarText("a=1");
    client.close();
    EXPECT_EQ(client.cookieJarText(), "a=1");
    client.reinitialize();
    EXPECT_EQ(client.cookieJar(), "; ");
}

}  // namespace
}  // namespace linkhaul
