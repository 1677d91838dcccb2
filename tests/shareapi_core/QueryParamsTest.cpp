#include "shareapi/QueryParams.h"

#include <gtest/gtest.h>

#include <functional>

using linkhaul::QueryParams;
using linkhaul::textAfterLast;
using linkhaul::textBetween;

TEST(QueryParams, AddSequences) {
    struct Case {
        const char* name;
        std::function<void(QueryParams&)> steps;
        const char* expected;
    };
    const Case cases[] = {
        {"address as first key",
         [](QueryParams& q) {
             q.addText("http://pan.baidu.com/api/getcaptcha?prod", "pan");
             q.addText("web", "1");
         },
         "http://pan.baidu.com/api/getcaptcha?prod=pan&web=1"},
        {"re-adding web keeps its place",
         [](QueryParams& q) {
             q.addText("a?prod", "pan");
             q.addText("web", "1");
             q.addText("t", "0.5");
             q.addText("channel", "chunlei");
             q.addText("web", "1");
             q.addText("app_id", "250528");
         },
         "a?prod=pan&web=1&t=0.5&channel=chunlei&app_id=250528"},
        {"empty values",
         [](QueryParams& q) {
             q.setText("pwd=x");
             q.addText("vcode");
             q.addText("vcode_str", "");
         },
         "pwd=x&vcode=&vcode_str="},
        {"replacement rewrites the value in place",
         [](QueryParams& q) {
             q.addText("page", "1");
             q.addText("num", "100");
             q.addText("page", "12");
         },
         "page=12&num=100"},
        {"last pair replaced",
         [](QueryParams& q) {
             q.addText("a", "1");
             q.addText("b", "2");
             q.addText("b", "3");
         },
         "a=1&b=3"},
        {"substring key rewrites the longer key (intended)",
         [](QueryParams& q) {
             q.addText("fs_id", "5");
             q.addText("id", "7");
         },
         "fs_id=7"},
        {"ints and bools",
         [](QueryParams& q) {
             q.addInt("n", -42);
             q.addBool("yes", true);
             q.addBool("no", false);
             q.addBool("none");
         },
         "n=-42&yes=true&no=false&none="},
        {"setText drops one trailing ampersand", [](QueryParams& q) { q.setText("a=1&&"); },
         "a=1&"},
    };
    for (const Case& c : cases) {
        QueryParams q;
        c.steps(q);
        EXPECT_EQ(q.text(), c.expected) << c.name;
    }
}

TEST(QueryParams, Getters) {
    QueryParams q;
    q.setText("a=1&flag=True&ok=true&n=12.9&neg=-3.5&word=abc&empty=&tail=end");
    EXPECT_EQ(q.getText("a"), "1");
    EXPECT_EQ(q.getText("tail"), "end");
    EXPECT_EQ(q.getText("missing"), "");
    // A pair with an empty value in the middle yields the rest of the text.
    EXPECT_EQ(q.getText("empty"), "&tail=end");
    EXPECT_FALSE(q.getBool("flag"));
    EXPECT_TRUE(q.getBool("ok"));
    EXPECT_EQ(q.getInt("n"), 12);
    EXPECT_EQ(q.getInt("neg"), -3);
    EXPECT_EQ(q.getInt("word"), 0);
    EXPECT_EQ(q.getInt("missing"), 0);
}

TEST(QueryParams, TakeTextEmptiesTheObject) {
    QueryParams q;
    EXPECT_EQ(q.takeText(), "");
    EXPECT_EQ(q.takeText(), "");
    q.addText("x", "1");
    EXPECT_EQ(q.takeText(), "x=1");
    EXPECT_EQ(q.takeText(), "");
    q.addText("y", "2");
    EXPECT_EQ(q.text(), "y=2") << "a taken object starts afresh, without a leading &";
}

TEST(TextRoutines, BetweenAndAfterLast) {
    const std::string page = "x yunData.setData({\"a\":1});\n yunData.setData({\"b\":2});";
    EXPECT_EQ(textBetween(page, "yunData.setData(", ");"), "{\"a\":1}");
    EXPECT_EQ(textBetween("yunData.setData({\"a\":1}", "yunData.setData(", ");"), "");
    EXPECT_EQ(textBetween("no markers", "yunData.setData(", ");"), "");
    EXPECT_EQ(textBetween("a);b(c);", "(", ");"), "c");

    EXPECT_EQ(textAfterLast("http://h/share/init?surl=abc&surl=def", "surl="), "def");
    EXPECT_EQ(textAfterLast("no marker here", "surl="), "");
    EXPECT_EQ(textAfterLast("", "surl="), "");
    EXPECT_EQ(textAfterLast("whole", ""), "whole");
}
