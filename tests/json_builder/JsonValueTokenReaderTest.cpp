#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AnsiText.h"
#include "json/JsonValueCodec.h"

namespace linkhaul {
namespace {

using testing::ansi;

class JsonValueTokenReader : public ::testing::Test {
protected:
    JsonParseResult parse(const std::string& text) const {
        JsonParseResult result;
        const JsonBuilder returned = codec.parseText(text, result);
        EXPECT_EQ(codec.toText(returned, false), codec.toText(result.value, false));
        return result;
    }

    JsonValueCodec codec;
};

TEST_F(JsonValueTokenReader, AcceptedTexts) {
    struct Case {
        std::string text;
        std::string compact;  // the value read, written back compactly
    };
    const std::vector<Case> cases = {
        {"42", "[42]"},
        {"4.5", "[4.5]"},
        {"-", "[0]"},
        {"\"x\"", "[\"x\"]"},
        {"true", "[true]"},
        {"[]", "[]"},
        {"{}", "{}"},
        {"[1,]", "[1]"},
        {"{\"a\":1,}", "{\"a\":1}"},
        {" \r\n\t[ 1 , 2.25 , null ]", "[1,2.25,null]"},
        {"[tr ue, f alse]", "[true,false]"},
        {"{\"b\":{\"c\":[1,\"x\\/y\"]},\"a\":-3}", "{\"a\":-3,\"b\":{\"c\":[1,\"x\\/y\"]}}"},
        {"[\"a\\\"b\\\\c\\td\"]", "[\"a\\\"b\\\\c\\td\"]"},
        {"[1-2, 1.2.3, .5]", "[1,1.2,0.5]"},
        {"[1]xyz", "[1]"},  // nothing after the first value is read
        {"[9007199254740993]", "[9007199254740993]"},
        {"[\"\\u4e2d\"]", "[\"\\\\u4e2d\"]"},  // \u stays as written
        {ansi("{\"名\":\"中文\"}"), ansi("{\"名\":\"中文\"}")},
        {"[\"\x95\x5C\"]", "[\"\x95\x5C\"]"},  // trail byte 0x5C is no escape
        {"{\"a\":1,\"a\":2}", "{\"a\":2}"},
        {"[[],{}]", "[[],{}]"},
    };
    for (const auto& c : cases) {
        const JsonParseResult r = parse(c.text);
        EXPECT_TRUE(r.ok) << c.text << ": " << r.error;
        EXPECT_EQ(r.error, "") << c.text;
        EXPECT_EQ(codec.toText(r.value, false), c.compact) << c.text;
    }
}

TEST_F(JsonValueTokenReader, NumbersKeepTheirType) {
    const JsonParseResult r = parse("[42, 4.5, 3.0, -]");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value.element(1).typeName(), "long");
    EXPECT_EQ(r.value.element(2).typeName(), "double");
    EXPECT_EQ(r.value.element(3).typeName(), "double");
    EXPECT_EQ(r.value.element(4).typeName(), "long");
    EXPECT_EQ(r.value.element(4).getLong(), 0);
}

TEST_F(JsonValueTokenReader, RejectedTextsAndMessages) {
    struct Case {
        std::string text;
        std::string error;  // UTF-8
    };
    const std::vector<Case> cases = {
        {"", "要解析的JSON内容为空"},
        {" \t\r\n", "要解析的JSON内容为空"},
        {"[1 2]", "未知的符号“2”"},
        {"[,1]", "未知的符号“,”"},
        {"{a:1}", "解析出错，对象名称必须带引号"},
        {"{\"a\" 1}", "解析出错，未找到分割符 \":\""},
        {"{\"a\":1", "解析出错，JSON格式不正确"},
        {"{\"a\":1 \"b\":2}", "解析出错，JSON格式不正确"},
        {"[1.5e3]", "未知的符号“e3”"},
        {"\"a\nb\"", "JSON文本格式不正确"},
        {"\"abc", "JSON文本格式不正确"},
        {"[", "JSON文本格式不正确"},
        {"{", "解析出错，JSON格式不正确"},
        {"[1,2", "解析出错，JSON格式不正确"},
        {"[1:2]", "未知的符号“:”"},
        {"xyz", "未知的符号“xyz”"},
        {"[[xyz]]", "未知的符号“xyz”"},
        {"{\"a\":[1 2]}", "未知的符号“2”"},
        // A stray word or bracket as a member value is no object either.
        {"{\"a\":xyz}", "未知的符号“xyz”"},
        {"{\"a\":]}", "未知的符号“]”"},
        {"{\"a\":}", "未知的符号“}”"},
        {std::string(5000, '['), "解析出错，JSON嵌套层数超出限制"},
        {std::string(5000, '[') + std::string(5000, ']'), "解析出错，JSON嵌套层数超出限制"},
        {std::string(1001, '[') + "7" + std::string(1001, ']'), "解析出错，JSON嵌套层数超出限制"},
    };
    for (const auto& c : cases) {
        JsonParseResult result;
        result.value.setMember("old", codec.makeInteger(1));
        const JsonBuilder returned = codec.parseText(c.text, result);
        const std::string shown = c.text.substr(0, 20);
        EXPECT_FALSE(result.ok) << shown;
        EXPECT_EQ(result.error, ansi(c.error.c_str())) << shown;
        EXPECT_TRUE(result.value.isNull()) << shown;
        EXPECT_TRUE(returned.isNull()) << shown;
    }
}

TEST_F(JsonValueTokenReader, DeepButBoundedNestingIsRead) {
    const int depth = 1000;
    const JsonParseResult r = parse(std::string(depth, '[') + "7" + std::string(depth, ']'));
    ASSERT_TRUE(r.ok) << r.error;
    JsonBuilder v = r.value;
    for (int i = 1; i < depth; ++i) {
        v = v.element(1);
    }
    EXPECT_EQ(v.element(1).getLong(), 7);
}

TEST_F(JsonValueTokenReader, Tokens) {
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    };
    const std::vector<Case> cases = {
        {"tr ue]", {"true", "]"}},
        {"  12.5,-3 x", {"12.5", ",", "-3", "x"}},
        {"12abc:", {"12", "abc", ":"}},
        {"\"a\\\"b\" }", {"\"a\\\"b\"", "}"}},
        {"\"a\tb\"", {"\"a\tb\""}},
        {"\"\x95\"\" ]", {"\"\x95\"\"", "]"}},  // the byte after a lead byte is taken unread
        {"\"a\\\nb\"", {"\"a\\\nb\""}},         // an escaped line feed is no line break
        {"\"abc", {""}},
        {"\"a\rb\" 1", {"", "b\"1", ""}},  // the rest reads as one word
        {"", {""}},
        {"\x08\x0c", {""}},
        {"a\"b{", {"a\"b", "{"}},
    };
    for (const auto& c : cases) {
        JsonValueCodec::ByteStream stream(c.text);
        std::vector<std::string> got;
        for (std::size_t i = 0; i < c.tokens.size(); ++i) {
            got.push_back(codec.nextToken(stream));
        }
        EXPECT_EQ(got, c.tokens) << c.text;
    }
}

TEST_F(JsonValueTokenReader, NextCharSkipsBlankBytes) {
    JsonValueCodec::ByteStream stream("\x08\x09\x0a\x0c\x0d\x20x \x0b");
    EXPECT_EQ(codec.nextChar(stream), "x");
    EXPECT_EQ(codec.nextChar(stream), "\x0b");  // vertical tab is no blank
    EXPECT_EQ(codec.nextChar(stream), "");
}

TEST_F(JsonValueTokenReader, NumberTokens) {
    for (const char* yes : {"-", "1-2", "1.2.3", ".", "0", "-12.5"}) {
        EXPECT_TRUE(codec.isNumberToken(yes)) << yes;
    }
    for (const char* no : {"", "1e3", "+1", " 1", "1 "}) {
        EXPECT_FALSE(codec.isNumberToken(no)) << no;
    }
}

TEST_F(JsonValueTokenReader, Unescaping) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"\\\"\\/\\r\\n\\t\\b\\f\\\\", "\"/\r\n\t\b\f\\"},
        {"\\\\n", "\\n"},  // left to right: an escaped backslash, then n
        {"\\u4e2d", "\\u4e2d"},
        {"\\x", "\\x"},
        {"end\\", "end\\"},
        {"\x95\\n", "\x95\\n"},  // 0x95 0x5C is one character
        {"plain", "plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codec.unescapeText(c.in), c.out) << c.in;
    }
}

TEST_F(JsonValueTokenReader, WrittenTextReadsBack) {
    JsonBuilder o;
    o.setMember("state", codec.makeBool(false));
    o.setMember(ansi("原因"), codec.makeText(ansi("路径 a/b \"c\"\t\x95\x5C")));
    JsonBuilder list;
    list.append(codec.makeInteger(-9007199254740993LL));
    list.append(codec.makeDouble(0.1));
    list.append(codec.makeNull());
    o.setMember("list", list);
    const std::string text = codec.toText(o);
    JsonParseResult r;
    codec.parseText(text, r);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(codec.toText(r.value), text);
}

}  // namespace
}  // namespace linkhaul
