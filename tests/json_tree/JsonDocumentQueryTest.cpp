#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "json/JsonDocument.h"
#include "platform/CodePage.h"

namespace linkhaul {
namespace {

std::string renderSteps(const std::vector<JsonPathStep>& steps) {
    std::string out;
    for (const JsonPathStep& step : steps) {
        out += (out.empty() ? "" : "|") + std::string(step.isIndex ? "i:" : "n:") + step.text;
    }
    return out;
}

TEST(JsonPathTest, SplitsPathsIntoSteps) {
    struct Case {
        std::string path;
        bool valid;
        std::string steps;
    };
    const Case cases[] = {
        {"a", true, "n:a"},
        {"file_list.list[3].fs_id", true, "n:file_list|n:list|i:3|n:fs_id"},
        {"a[1]b", true, "n:a|i:1|n:b"},
        {"a[1]..b", true, "n:a|i:1|n:b"},
        {"a[1] b", true, "n:a|i:1|n:b"},
        {"[2]", true, "i:2"},
        {"a[1][02]", true, "n:a|i:1|i:02"},
        {"o['a.b']", true, "n:o|n:a.b"},
        {"o[\"a[b\"]", true, "n:o|n:a[b"},
        {"o['k'xx]", true, "n:o|n:k"},
        {"o['']", true, "n:o|n:"},
        {"['x'].y", true, "n:x|n:y"},
        {".a", true, "n:|n:a"},
        {"a..b", true, "n:a|n:|n:b"},
        {" \ta", true, "n:a"},
        {"a b", true, "n:a b"},
        {"\xD6\xD0", true, "n:\xD6\xD0"},
        {"", false, ""},
        {"  ", false, ""},
        {"list.", false, ""},
        {"list[1", false, ""},
        {"list[1].", false, ""},
        {"list[", false, ""},
        {"a[x]", false, ""},
        {"a[-1]", false, ""},
        {"a[ 1]", false, ""},
        {"a[]", false, ""},
        {"a[1 ]", false, ""},
        {"o['a", false, ""},
        {"o['a']", true, "n:o|n:a"},
        {"o['a'", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<JsonPathStep> steps;
        ASSERT_EQ(JsonTree::splitPath(c.path, steps), c.valid);
        if (c.valid) {
            EXPECT_EQ(renderSteps(steps), c.steps);
        }
    }
}

// The reply shape the share client reads.
constexpr const char* REPLY =
    "{\"state\":true,\"errno\":0,\"n\":\"12abc\",\"list\":[{\"dlink\":\"x\"},{\"dlink\":\"y\"}],"
    "\"o\":{\"a.b\":1}}";

TEST(JsonDocumentQueryTest, PathsOverAReply) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(REPLY));
    struct Case {
        std::string path;
        std::string text;
    };
    const Case cases[] = {
        {"state", "true"},
        {"errno", "0"},
        {"list[1].dlink", "x"},
        {"list[2].dlink", "y"},
        {"list[1]dlink", "x"},
        {"list[0].dlink", ""},
        {"list[3].dlink", ""},
        {"list[99999999999].dlink", ""},
        {"list", "[Array]"},
        {"o", "[Object]"},
        {"", "[Object]"},
        {"o['a.b']", "1"},
        {"o[\"a.b\"]", "1"},
        {"o.a.b", ""},
        {"list.", ""},
        {"list[1", ""},
        {"list.dlink", ""},  // a name step on an array
        {"state[1]", ""},    // an index step on a boolean
        {"[1]", ""},         // an index step on the root object
        {"STATE", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(doc.textAt(c.path), c.text);
        EXPECT_EQ(doc.textViewAt(c.path), c.text);
    }
    EXPECT_TRUE(doc.boolAt("state"));
    EXPECT_EQ(doc.integerAt("state"), 0);
    EXPECT_EQ(doc.integerAt("errno"), 0);
    EXPECT_TRUE(doc.existsAt("errno"));
    EXPECT_EQ(doc.integerAt("missing"), 0);
    EXPECT_FALSE(doc.existsAt("missing"));
    EXPECT_TRUE(doc.isNullAt("missing"));
    EXPECT_EQ(doc.kindAt("missing"), -1);
    EXPECT_EQ(doc.integerAt("n"), 12);
    EXPECT_FALSE(doc.boolAt("n"));
    EXPECT_EQ(doc.countAt("list"), 2);

    std::vector<std::string> keys{"stale"};
    EXPECT_EQ(doc.keysAt("o", 0, keys), 1);
    EXPECT_EQ(keys, std::vector<std::string>{"a.b"});
    keys = {"stale"};
    EXPECT_EQ(doc.keysAt("list", 0, keys), 0);
    EXPECT_TRUE(keys.empty());
    keys = {"stale"};
    EXPECT_EQ(doc.keysAt("none", 0, keys), -1);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(doc.keysAt("", 0, keys), 5);
    EXPECT_EQ(keys, (std::vector<std::string>{"errno", "n", "o", "state", "list"}));
}

TEST(JsonDocumentQueryTest, StartValuesAndDirectSteps) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(REPLY));
    const std::int32_t second = doc.locate("list[2]");
    ASSERT_NE(second, 0);
    EXPECT_EQ(doc.elementAt("list", 0, 2), second);
    EXPECT_EQ(doc.elementAt("list", 0, 3), 0);
    EXPECT_EQ(doc.elementAt("list", 0, 0), 0);
    EXPECT_EQ(doc.elementAt("o", 0, 1), 0);
    EXPECT_EQ(doc.memberAt("o", 0, "a.b"), doc.locate("o['a.b']"));
    EXPECT_EQ(doc.memberAt("list", 0, "dlink"), 0);
    EXPECT_EQ(doc.memberAt("", 0, "nothing"), 0);
    EXPECT_EQ(doc.textAt("dlink", second), "y");
    EXPECT_EQ(doc.tree().locate("", second), second);
    EXPECT_EQ(doc.kindAt("", second), JsonKind::Object);
    // Starts outside the value table find nothing.
    const std::int32_t count = doc.tree().valueCount();
    EXPECT_EQ(doc.tree().locate("", count + 1), 0);
    EXPECT_EQ(doc.tree().locate("", -1), 0);
    EXPECT_EQ(doc.tree().resolvePath(0, "state"), 0);
    EXPECT_EQ(doc.textAt("", -5), "");
    EXPECT_EQ(doc.kindAt("", count), JsonKind::Integer);  // o's member, stored last
}

TEST(JsonDocumentQueryTest, AccessorsByValueKind) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(
        "{\"z\":null,\"o\":{\"k\":1,\"j\":2},\"a\":[1,2,3],\"s\":\"str\",\"i\":42,\"d\":-2.5,"
        "\"t\":true,\"f\":false,\"st\":\"true\",\"e\":\"\"}"));
    struct Case {
        std::string path;
        std::int32_t kind;
        std::int32_t count;
        std::string text;
        std::int64_t integer;
        double number;
        bool boolean;
        bool isNull;
        bool exists;
        std::int32_t keys;
    };
    const Case cases[] = {
        {"z", JsonKind::Null, 0, "null", 0, 0, false, true, true, 0},
        {"o", JsonKind::Object, 0, "[Object]", 0, 0, false, false, true, 2},
        {"a", JsonKind::Array, 3, "[Array]", 0, 0, false, false, true, 0},
        {"s", JsonKind::String, 0, "str", 0, 0, false, false, true, 0},
        {"e", JsonKind::String, 0, "", 0, 0, false, false, true, 0},
        {"i", JsonKind::Integer, 0, "42", 42, 42, false, false, true, 0},
        {"d", JsonKind::Decimal, 0, "-2.5", -2, -2.5, false, false, true, 0},
        {"t", JsonKind::Boolean, 0, "true", 0, 0, true, false, true, 0},
        {"f", JsonKind::Boolean, 0, "false", 0, 0, false, false, true, 0},
        {"st", JsonKind::String, 0, "true", 0, 0, false, false, true, 0},
        {"none", -1, 0, "", 0, 0, false, true, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(doc.kindAt(c.path), c.kind);
        EXPECT_EQ(doc.countAt(c.path), c.count);
        EXPECT_EQ(doc.textAt(c.path), c.text);
        EXPECT_EQ(doc.integerAt(c.path), c.integer);
        EXPECT_EQ(doc.numberAt(c.path), c.number);
        EXPECT_EQ(doc.boolAt(c.path), c.boolean);
        EXPECT_EQ(doc.isNullAt(c.path), c.isNull);
        EXPECT_EQ(doc.existsAt(c.path), c.exists);
        std::vector<std::string> keys;
        EXPECT_EQ(doc.keysAt(c.path, 0, keys), c.keys);
    }
}

TEST(JsonDocumentQueryTest, NumbersFromValueTexts) {
    constexpr std::int64_t MAX = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t MIN = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::string value;  // as written in the document
        std::int64_t integer;
        double number;
    };
    const Case cases[] = {
        // Plain integers are exact; beyond 2^53 a double would change them.
        {"9007199254740993", 9007199254740993, 9007199254740992.0},
        {"-9007199254740993", -9007199254740993, -9007199254740992.0},
        {"9223372036854775807", MAX, 9223372036854775807.0},
        {"-9223372036854775808", MIN, -9223372036854775808.0},
        {"99999999999999999999", MAX, 1e20},
        {"-99999999999999999999", MIN, -1e20},
        {"007", 7, 7},
        {"-", 0, 0},
        {"1-2", 1, 1},
        {"1e+5", 100000, 100000},
        {"1e+999", MAX, HUGE_VAL},
        {"1e-999", 0, 0},
        {"2.9", 2, 2.9},
        {"-2.9", -2, -2.9},
        {".5", 0, 0.5},
        {"-.5", 0, -0.5},
        {"1.5e+3", 1500, 1500},
        // Strings go through the decimal prefix reading.
        {"\"12abc\"", 12, 12},
        {"\" \\t 7\"", 7, 7},
        {"\"+3\"", 3, 3},
        {"\"-\"", 0, 0},
        {"\".\"", 0, 0},
        {"\"abc\"", 0, 0},
        {"\"1e5\"", 100000, 100000},
        {"\"1e\"", 1, 1},
        {"\"1e+\"", 1, 1},
        {"\"5.\"", 5, 5},
        {"\"0x1A\"", 0, 0},
        {"\"inf\"", 0, 0},
        {"\"nan\"", 0, 0},
        {"\"9007199254740993\"", 9007199254740992, 9007199254740992.0},
        // Full-width digits, signs and points count; other double-byte
        // characters end the number.
        {"\"\xA3\xB1\xA3\xB2\"", 12, 12},
        {"\"\xA3\xAD\xA3\xB3\xA3\xAE\xA3\xB5\"", -3, -3.5},
        {"\"\xA1\xA1"
         "8\"",
         8, 8},
        {"\"4\xD6\xD0"
         "5\"",
         4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        JsonDocument doc;
        ASSERT_TRUE(doc.parse("{\"v\":" + c.value + "}"));
        EXPECT_EQ(doc.integerAt("v"), c.integer);
        EXPECT_EQ(doc.numberAt("v"), c.number);
    }
}

TEST(JsonDocumentQueryTest, ListingEntriesReadBackUnchanged) {
    const std::string name = platform::utf8ToAnsi("照片😀.jpg");
    JsonDocument doc;
    ASSERT_TRUE(
        doc.parse("{\"errno\":0,\"list\":[{\"fs_id\":9007199254740993,\"server_filename\":"
                  "\"\\u7167\\u7247\\ud83d\\ude00.jpg\",\"size\":5368709120,\"isdir\":0},"
                  "{\"fs_id\":1,\"server_filename\":\"" +
                  name + "\",\"isdir\":1}]}"));
    EXPECT_EQ(doc.countAt("list"), 2);
    EXPECT_EQ(doc.integerAt("list[1].fs_id"), 9007199254740993);
    EXPECT_EQ(doc.textAt("list[1].server_filename"), name);
    EXPECT_EQ(doc.textAt("list[2].server_filename"), name);
    EXPECT_EQ(platform::ansiToUtf8(doc.textAt("list[1].server_filename")), "照片😀.jpg");
    EXPECT_EQ(doc.integerAt("list[1].size"), 5368709120);
    EXPECT_EQ(doc.integerAt("list[2].isdir"), 1);
}

}  // namespace
}  // namespace linkhaul
