#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "json/JsonValueCodec.h"

namespace linkhaul {
namespace {

using testing::ansi;

class JsonValueWriter : public ::testing::Test {
protected:
    JsonValueCodec codec;
};

TEST_F(JsonValueWriter, ResultTextLayout) {
    JsonBuilder result;
    result.setMember("state", codec.makeBool(true));
    result.setMember(ansi("文件数量"), codec.makeInteger(12));
    result.setMember(ansi("原因"), codec.makeText(""));
    EXPECT_EQ(codec.toText(result), ansi("{\r\n"
                                         "    \"state\" : true,\r\n"
                                         "    \"文件数量\" : 12,\r\n"
                                         "    \"原因\" : \"\"\r\n"
                                         "}"));
}

TEST_F(JsonValueWriter, ShareClientResultTexts) {
    JsonBuilder listed;
    listed.setMember("state", codec.makeBool(true));
    listed.setMember(ansi("文件数量"), codec.makeText("3"));
    EXPECT_EQ(codec.toText(listed, true, true, 0),
              ansi("{\r\n    \"state\" : true,\r\n    \"文件数量\" : \"3\"\r\n}"));

    JsonBuilder failed;
    failed.setMember(ansi("原因"), codec.makeText(ansi("分享不存在/已过期")));
    failed.setMember("state", codec.makeBool(false));
    EXPECT_EQ(codec.toText(failed, true, true, 0),
              ansi("{\r\n    \"state\" : false,\r\n    \"原因\" : \"分享不存在\\/已过期\"\r\n}"));

    JsonBuilder links;
    links.setMember("state", codec.makeBool(true));
    links.setMember("dlink", codec.makeText("http://d/a|http://d/b"));
    EXPECT_EQ(codec.toText(links),
              "{\r\n    \"dlink\" : \"http:\\/\\/d\\/a|http:\\/\\/d\\/b\",\r\n"
              "    \"state\" : true\r\n}");
}

TEST_F(JsonValueWriter, ExtraObjectEscapesTheSlash) {
    JsonBuilder extra;
    extra.setMember("sekey", codec.makeText("abc/d%2F"));
    EXPECT_EQ(codec.toText(extra), "{\r\n    \"sekey\" : \"abc\\/d%2F\"\r\n}");

    JsonBuilder empty;
    empty.setMember("sekey", codec.makeText(""));
    EXPECT_EQ(codec.toText(empty), "{\r\n    \"sekey\" : \"\"\r\n}");
}

TEST_F(JsonValueWriter, CompactOutputHasNoWhitespace) {
    JsonBuilder list;
    list.append(codec.makeInteger(1));
    list.append(codec.makeDouble(2.5));
    JsonBuilder o;
    o.setMember("b", list);
    o.setMember("a", codec.makeNull());
    EXPECT_EQ(codec.toText(o, false), "{\"a\":null,\"b\":[1,2.5]}");
    // Level does not indent compact output.
    EXPECT_EQ(codec.toText(o, false, true, 3), "{\"a\":null,\"b\":[1,2.5]}");
}

TEST_F(JsonValueWriter, NestedIndentation) {
    JsonBuilder list;
    list.append(codec.makeInteger(1));
    list.append(codec.makeText("x"));
    JsonBuilder inner;
    inner.setMember("k", codec.makeBool(false));
    list.append(inner);
    JsonBuilder o;
    o.setMember("list", list);
    JsonBuilder empty;
    empty.typeName("array");
    o.setMember("e", empty);
    EXPECT_EQ(codec.toText(o),
              "{\r\n"
              "    \"e\" : [\r\n"
              "\r\n"
              "    ],\r\n"
              "    \"list\" : [\r\n"
              "        1,\r\n"
              "        \"x\",\r\n"
              "        {\r\n"
              "            \"k\" : false\r\n"
              "        }\r\n"
              "    ]\r\n"
              "}");
}

TEST_F(JsonValueWriter, LevelAndIndentUnit) {
    JsonBuilder o;
    o.setMember("a", codec.makeInteger(1));
    EXPECT_EQ(codec.toText(o, true, true, 1), "    {\r\n        \"a\" : 1\r\n    }");
    JsonBuilder emptyObject;
    emptyObject.typeName("object");
    EXPECT_EQ(codec.toText(emptyObject), "{\r\n\r\n}");
    EXPECT_EQ(codec.toText(emptyObject, true, true, 1), "    {\r\n\r\n    }");

    JsonValueCodec tabs;
    tabs.setIndentUnit("\t");
    EXPECT_EQ(tabs.toText(o), "{\r\n\t\"a\" : 1\r\n}");
    EXPECT_EQ(codec.indent(true, 2), "        ");
    EXPECT_EQ(codec.indent(true, -1), "");
    EXPECT_EQ(codec.indent(false, 2), "");
    EXPECT_EQ(codec.newline(true), "\r\n");
    EXPECT_EQ(codec.newline(false), "");
}

TEST_F(JsonValueWriter, Scalars) {
    struct Case {
        JsonBuilder value;
        std::string text;
    };
    JsonBuilder oddCase;
    oddCase.setLong(5);
    oddCase.typeName("LONG");
    JsonBuilder unknown;
    unknown.setString("x");
    unknown.typeName("unknow");
    const std::vector<Case> cases = {
        {codec.makeDouble(0.1), "0.1"},
        {codec.makeDouble(1e20), "1e+20"},
        {codec.makeDouble(-0.000012345), "-1.2345e-05"},
        {codec.makeInteger(-7), "-7"},
        {codec.makeInteger(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {codec.makeInteger(9007199254740993LL), "9007199254740993"},
        {codec.makeBool(true), "true"},
        {codec.makeBool(false), "false"},
        {codec.makeNull(), "null"},
        {codec.makeText("a\"b\t"), "\"a\\\"b\\t\""},
        {oddCase, "5"},  // type names are compared ignoring case
        {unknown, ""},   // any other type writes nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codec.toText(c.value), c.text) << c.text;
        EXPECT_EQ(codec.toText(c.value, false), c.text) << c.text;
    }
}

TEST_F(JsonValueWriter, QuotingTable) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"", "\"\""},
        {"\\", "\"\\\\\""},
        {"\"", "\"\\\"\""},
        {"/", "\"\\/\""},
        {"\r\n\t\b\f", "\"\\r\\n\\t\\b\\f\""},
        {"\\n", "\"\\\\n\""},  // a backslash and an n stay two characters
        {"\x01\x1f\x7f", "\"\x01\x1f\x7f\""},
        {"\x80", "\"\x80\""},
        {ansi("中文/"), ansi("\"中文\\/\"")},
        // The trail byte 0x5C of a double-byte character is not a backslash.
        {"\x95\x5C", "\"\x95\x5C\""},
        {"\x95\x5C\\", "\"\x95\x5C\\\\\""},
        {ansi("😀"), ansi("\"😀\"")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codec.quoteText(c.in), c.out) << c.in;
    }
}

TEST_F(JsonValueWriter, SortKeysOffKeepsTheMemberOrder) {
    JsonBuilder o;
    o.setMember("b", codec.makeInteger(1));
    o.setMember("ab", codec.makeInteger(2));
    o.setMember("a", codec.makeInteger(3));
    EXPECT_EQ(codec.toText(o, false, false), "{\"a\":3,\"b\":1,\"ab\":2}");
    EXPECT_EQ(codec.toText(o, false, true), "{\"a\":3,\"ab\":2,\"b\":1}");
    // Sorting compares bytes as unsigned: ASCII before double-byte characters.
    JsonBuilder mixed;
    mixed.setMember(ansi("原因"), codec.makeInteger(1));
    mixed.setMember("z", codec.makeInteger(2));
    mixed.setMember(ansi("文"), codec.makeInteger(3));
    EXPECT_EQ(codec.toText(mixed, false), ansi("{\"z\":2,\"文\":3,\"原因\":1}"));
}

TEST_F(JsonValueWriter, WriteValueAppendsToTheCallersText) {
    std::string out = "prefix:";
    EXPECT_EQ(codec.writeValue(codec.makeInteger(4), true, true, 1, out, false), "prefix:    4");
    EXPECT_EQ(codec.writeValue(codec.makeInteger(5), true, true, 1, out, true), "");
    EXPECT_EQ(out, "prefix:    45");
}

}  // namespace
}  // namespace linkhaul
