#include <gtest/gtest.h>

#include <string>

#include "TreeDump.h"
#include "json/JsonDocument.h"
#include "json/JsonMemberMap.h"
#include "json/JsonTree.h"
#include "platform/CodePage.h"

namespace linkhaul {
namespace {

using testing::dumpTree;

std::string ansi(std::string_view utf8) {
    return platform::utf8ToAnsi(utf8);
}

TEST(JsonTreeParseTest, AcceptedTextsGiveTheseTrees) {
    struct Case {
        std::string text;
        std::string tree;
    };
    const Case cases[] = {
        // Nothing after the first complete value is examined.
        {"{}xyz", "{}"},
        {"{\"a\":1}xyz", "{a:#1}"},
        {"truex", "true"},
        {"7", "#7"},
        {"1.5", "~1.5"},
        {" \t\r\n 1", "#1"},
        {"[true,false,null]", "[true,false,null]"},
        // Containers nested in arrays keep their parent's elements.
        {"[[1],2]", "[[#1],#2]"},
        {"[1,[]]", "[#1,[]]"},
        {"[[[]],[[1],[2,3]],{\"a\":[4,[5]]}]", "[[[]],[[#1],[#2,#3]],{a:[#4,[#5]]}]"},
        // Lenient commas.
        {"{\"a\":1,}", "{a:#1}"},
        {"{,\"a\":1,,}", "{a:#1}"},
        {"{\"a\":1 \"b\":2}", "{a:#1,b:#2}"},
        {"[1 2]", "[#1,#2]"},
        {"[,1]", "[#1]"},
        // Keys list in bucket order, repeated keys once per occurrence.
        {"{\"b\":1,\"a\":2}", "{a:#2,b:#1}"},
        {"{\"state\":true,\"errno\":0,\"list\":[]}", "{errno:#0,state:true,list:[]}"},
        {"{\"a\":1,\"a\":2}", "{a:#1,a:#1}"},
        // Comments: skipped in arrays, standing in for a value elsewhere.
        {"[1,/*c*/2]", "[#1,#2]"},
        {"[1,//c\n2]", "[#1,#2]"},
        {"[1,//c\r\n2]", "[#1,#2]"},
        {"[/*a*/1/*b*/,/*c*/]", "[#1]"},
        {"[//c\r1]", "[]"},  // CR ends a line comment together with the next byte
        {"{\"a\":/*c*/}", "{}"},
        {"/*x*/{\"a\":1}", ""},
        {"//x\n[1]", ""},
        // Numbers: the scanner's accepted forms.
        {"[-]", "[#-]"},
        {"[1-2]", "[#1-2]"},
        {"[01]", "[#01]"},
        {"[.5]", "[~.5]"},
        {"[-.5]", "[~-.5]"},
        {"[1E+5]", "[#1e+5]"},
        {"[1e-5]", "[#1e-5]"},
        {"[1.5E-3]", "[~1.5e-3]"},
        {"[1.2.3]", "[~1.2,~.3]"},
        {"[-1,-0.25]", "[#-1,~-0.25]"},
        {"[1,2]3", "[#1,#2]"},
        // Nesting.
        {"{\"o\":{\"a\":[1,{\"b\":[]}]},\"s\":\"x\"}", "{o:{a:[#1,{b:[]}]},s:'x'}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JsonTree tree;
        std::string error = "untouched";
        ASSERT_TRUE(tree.parse(c.text, error));
        EXPECT_EQ(error, "untouched");
        EXPECT_EQ(dumpTree(tree), c.tree);
    }
}

TEST(JsonTreeParseTest, RejectedTextsReportMessageLineAndColumn) {
    struct Case {
        std::string text;
        std::string message;  // UTF-8
        std::int32_t line;
        std::int32_t column;
    };
    const Case cases[] = {
        {"", "JSON内容不完整", 1, 1},
        {"  \n  ", "JSON内容不完整", 2, 2},
        {"[1,", "JSON内容不完整", 1, 4},
        {"[1,]", "无法解析的内容", 1, 4},
        {"[1,,2]", "无法解析的内容", 1, 4},
        {"@", "无法解析的内容", 1, 1},
        {"\f1", "无法解析的内容", 1, 1},  // form feed is no blank
        {"nul", "解析空值出错", 1, 1},
        {"[tru]", "解析逻辑型出错", 1, 2},
        {"fals", "解析逻辑型出错", 1, 1},
        // Number scanner's rejected forms.
        {"[1e5]", "解析数值出错", 1, 4},
        {"[1E5]", "解析数值出错", 1, 4},
        {"1.", "解析数值出错", 1, 3},
        {"[1.]", "解析数值出错", 1, 4},
        {"[1e+]", "解析数值出错", 1, 5},
        {"1e+", "解析数值出错", 1, 4},
        {"-", "解析数值出错", 1, 2},
        // Strings.
        {"\"a\nb\"", "解析文本出错：文本定义包含换行", 1, 3},
        {"\"a\rb\"", "解析文本出错：文本定义包含换行", 1, 3},
        {"\"\\x\"", "解析文本出错：未知的转义符", 1, 3},
        {"\"\\u12G4\"", "解析文本出错：Unicode定义出错", 1, 6},
        {"\"abc", "解析文本出错：文本定义未正确收尾", 1, 5},
        {"\"\xB0", "解析文本出错：文本定义未正确收尾", 1, 3},
        {"\"\\", "解析文本出错：文本定义未正确收尾", 1, 3},
        {"\"\\u12", "解析文本出错：文本定义未正确收尾", 1, 6},
        // Objects; a failing key replaces the string scanner's message.
        {"{\"a}", "无法读取对象名称", 1, 5},
        {"{\"\\q\":1}", "无法读取对象名称", 1, 4},
        {"{a:1}", "对象格式错误", 1, 2},
        {"{/*c*/}", "对象格式错误", 1, 2},
        {"{\"a\":/*c*/1}", "对象格式错误", 1, 11},
        {"{\"a\" 1}", "对象键值定义形式错误", 1, 6},
        {"{\"a\"/*c*/:1}", "对象键值定义形式错误", 1, 5},
        {"{", "对象定义格式不完整", 1, 2},
        {"{\"a\":1", "对象定义格式不完整", 1, 7},
        {"[", "数组定义格式不完整", 1, 2},
        // Comments.
        {"/x", "解析注释文本出错", 1, 2},
        {"/", "解析注释文本出错", 1, 2},
        {"//c", "解析注释文本出错", 1, 4},
        {"//c\r", "解析注释文本出错", 1, 5},
        {"/*c*", "解析注释文本出错", 1, 5},
        {"/*/", "解析注释文本出错", 1, 4},
        // Later lines: the first byte of a line is column 0; CR counts no line.
        {"{\n  \"a\": tru\n}", "解析逻辑型出错", 2, 7},
        {"[1,\r\n2,\r\n@]", "无法解析的内容", 3, 0},
        {"[/*\n\n*/ @]", "无法解析的内容", 3, 3},
        {"[//c\r\n@]", "无法解析的内容", 2, 0},
        {"{\"a\":\n\"x\ny\"}", "解析文本出错：文本定义包含换行", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JsonTree tree;
        std::string error;
        ASSERT_FALSE(tree.parse(c.text, error));
        EXPECT_EQ(error, ansi(c.message) + "(" + std::to_string(c.line) + ":" +
                             std::to_string(c.column) + ")");
        EXPECT_EQ(tree.errorText(), ansi(c.message));
        EXPECT_EQ(tree.errorLine(), c.line);
        EXPECT_EQ(tree.errorColumn(), c.column);
    }
}

TEST(JsonTreeParseTest, StringsDecodeToAnsiBytes) {
    struct Case {
        std::string literal;  // the JSON string with its quotes
        std::string bytes;
    };
    const Case cases[] = {
        {"\"\"", ""},
        {"\"\\u4e2d\"", "\xD6\xD0"},
        {"\"\\u4E2D\\u6587\"", "\xD6\xD0\xCE\xC4"},
        {"\"\\u0041\"", "A"},
        {"\"\\u0000\"", ""},
        {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\/\b\f\n\r\t"},
        // Second byte of a double-byte character is taken literally, even a
        // backslash or a quote.
        {"\"\x95\x5C\"", "\x95\x5C"},
        {"\"\x95\x5Cn\"", "\x95\x5Cn"},
        {"\"\xB0\"\"", "\xB0\""},
        {"\"\x80x\"", "\x80x"},  // 0x80 is an ordinary byte
        {"\"a\tb\x01\"", "a\tb\x01"},
        {"\"\xD6\xD0\\u6587\"", "\xD6\xD0\xCE\xC4"},
        // Surrogate pairs make one character; lone halves become "?".
        {"\"\\uD83D\\uDE00\"", platform::codePointToAnsi(0x1F600)},
        {"\"x\\ud83d\\ude00.txt\"", "x" + platform::codePointToAnsi(0x1F600) + ".txt"},
        {"\"\\uD83D\"", "?"},
        {"\"\\uDE00\"", "?"},
        {"\"\\uD83Dx\"", "?x"},
        {"\"\\uD83D\\u0041\"", "?A"},
        {"\"\\uDE00\\uD83D\"", "??"},
        {"\"\\uD83D\\uD83D\\uDE00\"", "?" + platform::codePointToAnsi(0x1F600)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literal);
        JsonTree tree;
        std::string error;
        ASSERT_TRUE(tree.parse("[" + c.literal + "," + c.literal + "]", error)) << error;
        EXPECT_EQ(tree.kindAt("[1]"), JsonKind::String);
        EXPECT_EQ(tree.textAt("[1]"), c.bytes);
        EXPECT_EQ(tree.textAt("[2]"), c.bytes);
        // Decoded keys are found by their decoded bytes.
        ASSERT_TRUE(tree.parse("{" + c.literal + ":1}", error)) << error;
        EXPECT_EQ(tree.existsAt("[\"" + c.bytes + "\"]"), c.bytes.find('"') == std::string::npos);
    }
}

TEST(JsonTreeParseTest, ScalarsAreStoredAfterTheirContainer) {
    JsonTree tree;
    ASSERT_TRUE(tree.parse("{\"a\":1}xyz"));
    EXPECT_EQ(tree.valueCount(), 2);
    EXPECT_EQ(tree.kindAt("", 1), JsonKind::Object);
    EXPECT_EQ(tree.kindAt("", 2), JsonKind::Integer);
    EXPECT_EQ(tree.locate("a"), 2);
}

TEST(JsonTreeParseTest, ACommentInPlaceOfTheDocumentLeavesNoValues) {
    JsonTree tree;
    ASSERT_TRUE(tree.parse("/*x*/{\"a\":1}"));
    EXPECT_EQ(tree.valueCount(), 0);
    EXPECT_EQ(tree.locateFromRoot(""), 0);
    EXPECT_FALSE(tree.existsAt(""));
    EXPECT_EQ(tree.textAt(""), "");
    EXPECT_EQ(tree.kindAt("a"), -1);
}

TEST(JsonTreeParseTest, NestingPastTheLimitIsRefusedWithoutCrashing) {
    struct Case {
        std::string open;
        std::string close;
    };
    const Case shapes[] = {{"[", "]"}, {"{\"a\":", "}"}};
    for (const Case& shape : shapes) {
        SCOPED_TRACE(shape.open);
        std::string atLimit;
        for (int i = 1; i < JsonTree::MAX_DEPTH; ++i) {
            atLimit += shape.open;
        }
        atLimit += "[]";
        for (int i = 1; i < JsonTree::MAX_DEPTH; ++i) {
            atLimit += shape.close;
        }
        JsonTree tree;
        std::string error;
        EXPECT_TRUE(tree.parse(atLimit, error)) << error;

        std::string deep;
        for (int i = 0; i < 100000; ++i) {
            deep += shape.open;
        }
        ASSERT_FALSE(tree.parse(deep, error));
        const auto column = static_cast<std::int32_t>(shape.open.size()) * JsonTree::MAX_DEPTH + 1;
        EXPECT_EQ(error, ansi("JSON嵌套层数超出限制") + "(1:" + std::to_string(column) + ")");
    }
}

TEST(JsonTreeParseTest, EachParseStartsAfresh) {
    JsonTree tree;
    std::string error;
    ASSERT_FALSE(tree.parse("\n\n{\"a\":[1,@", error));
    EXPECT_EQ(error, ansi("无法解析的内容") + "(3:8)");
    ASSERT_FALSE(tree.parse("@", error));
    EXPECT_EQ(error, ansi("无法解析的内容") + "(1:1)");
    ASSERT_TRUE(tree.parse("[7]", error));
    EXPECT_EQ(tree.valueCount(), 2);
    EXPECT_EQ(tree.countAt(""), 1);
    EXPECT_EQ(tree.textAt("[1]"), "7");

    // clear keeps the last error but empties the tree.
    ASSERT_FALSE(tree.parse("[1,]"));
    tree.clear();
    EXPECT_EQ(tree.valueCount(), 0);
    EXPECT_FALSE(tree.existsAt(""));
    EXPECT_EQ(tree.errorText(), ansi("无法解析的内容"));
    EXPECT_EQ(tree.errorPosition(), 4);
}

TEST(JsonTreeParseTest, AFailedParseKeepsWhatWasStored) {
    JsonTree tree;
    ASSERT_FALSE(tree.parse("{\"a\":[1,2],\"b\":{\"c\":\"x\"},\"d\":@"));
    EXPECT_EQ(tree.countAt("a"), 2);
    EXPECT_EQ(tree.textAt("b.c"), "x");
}

TEST(JsonTreeParseTest, TextEndsAtAZeroByteButBytesDoNot) {
    const std::string text("[\"a\0b\"]", 7);
    JsonTree tree;
    std::string error;
    EXPECT_FALSE(tree.parse(text, error));
    EXPECT_EQ(error, ansi("解析文本出错：文本定义未正确收尾") + "(1:4)");
    ASSERT_TRUE(tree.parseBytes(text));
    // Text results end at the first zero byte.
    EXPECT_EQ(tree.textAt("[1]"), "a");
}

TEST(JsonTreeParseTest, KeptKeyOrderListsMembersAsWritten) {
    JsonTree tree;
    std::string error;
    ASSERT_TRUE(
        tree.parse("{\"state\":1,\"b\":2,\"a\":/*none*/,\"errno\":3,\"b\":4}", error, true));
    std::vector<std::string> keys;
    EXPECT_EQ(tree.keysAt("", 0, keys), 5);
    EXPECT_EQ(keys, (std::vector<std::string>{"state", "b", "a", "errno", "b"}));
    EXPECT_FALSE(tree.existsAt("a"));
    EXPECT_EQ(tree.integerAt("b"), 2);
    EXPECT_EQ(tree.integerAt("errno"), 3);
}

TEST(JsonTreeParseTest, LargeObjectsFindEveryKeyAndTheFirstOfRepeats) {
    std::string text = "{";
    for (int i = 0; i < 200; ++i) {
        text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
    }
    text += "\"k7\":-1,\"\":5}";
    JsonTree tree;
    ASSERT_TRUE(tree.parse(text));
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(tree.integerAt("k" + std::to_string(i)), i);
    }
    EXPECT_EQ(tree.integerAt("[\"\"]"), 5);
    EXPECT_FALSE(tree.existsAt("k200"));
    std::vector<std::string> keys;
    EXPECT_EQ(tree.keysAt("", 0, keys), 202);
    // Bucket order: non-decreasing bucket numbers.
    for (std::size_t i = 1; i < keys.size(); ++i) {
        EXPECT_LE(JsonMemberMap::bucketOf(JsonMemberMap::hashKey(keys[i - 1])),
                  JsonMemberMap::bucketOf(JsonMemberMap::hashKey(keys[i])));
    }
}

TEST(JsonTreeParseTest, CopiesAndMovesAreIndependentTrees) {
    std::string text = "{\"list\":[";
    for (int i = 0; i < 20000; ++i) {
        text += std::string(i == 0 ? "" : ",") + "{\"fs_id\":" + std::to_string(i) +
                ",\"name\":\"n" + std::to_string(i) + "\"}";
    }
    text += "]}";
    JsonTree original;
    ASSERT_TRUE(original.parse(text));
    JsonTree copy = original;
    ASSERT_TRUE(original.parse("[1]"));
    EXPECT_EQ(copy.countAt("list"), 20000);
    EXPECT_EQ(copy.integerAt("list[20000].fs_id"), 19999);
    EXPECT_EQ(copy.textAt("list[12345].name"), "n12344");
    JsonTree moved = std::move(copy);
    EXPECT_EQ(moved.textAt("list[1].name"), "n0");
    EXPECT_EQ(original.countAt(""), 1);
}

TEST(JsonTreeParseTest, UnitToAnsiConvertsOneCodeUnit) {
    EXPECT_EQ(JsonTree::unitToAnsi(0x2D, 0x4E), "\xD6\xD0");
    EXPECT_EQ(JsonTree::unitToAnsi(0x41, 0x00), "A");
    EXPECT_EQ(JsonTree::unitToAnsi(0x00, 0x00), "");
    EXPECT_EQ(JsonTree::unitToAnsi(0x3D, 0xD8), "?");
}

TEST(JsonDocumentTest, ParseForwardsToTheTree) {
    JsonDocument doc;
    std::string error;
    EXPECT_FALSE(doc.parse("[1,]", error));
    EXPECT_EQ(error, ansi("无法解析的内容") + "(1:4)");
    EXPECT_EQ(doc.errorReport(), error);
    ASSERT_TRUE(doc.parse("{\"errno\":-3}"));
    EXPECT_EQ(doc.integerAt("errno"), -3);
    doc.clear();
    EXPECT_FALSE(doc.existsAt("errno"));
}

}  // namespace
}  // namespace linkhaul
