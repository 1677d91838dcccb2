#include "json/JsonBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "AnsiText.h"

namespace linkhaul {
namespace {

using testing::ansi;

JsonBuilder longValue(std::int64_t v) {
    JsonBuilder b;
    b.setLong(v);
    return b;
}

JsonBuilder textValue(const std::string& v) {
    JsonBuilder b;
    b.setString(v);
    return b;
}

// The binary form of a value, as its parent stores it.
std::string binaryOf(const JsonBuilder& value) {
    JsonBuilder holder;
    holder.append(value);
    std::vector<std::string> list;
    holder.elements(list);
    return list.at(0);
}

std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

std::vector<std::string> keysOf(const JsonBuilder& b) {
    std::vector<std::string> keys;
    b.memberKeys(keys);
    return keys;
}

TEST(JsonBuilderMembers, OrderIsShorterKeyFirstThenUnsignedBytes) {
    struct Case {
        std::vector<std::string> inserted;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {{"b", "a", "ab"}, {"a", "b", "ab"}},
        // 0x80 sorts after 'z' only when bytes compare as unsigned.
        {{"\x80", "z", "A"}, {"A", "z", "\x80"}},
        {{ansi("原因"), "state", ansi("文件数量")}, {ansi("原因"), "state", ansi("文件数量")}},
        {{ansi("文件数量"), ansi("原因"), "state"}, {ansi("原因"), "state", ansi("文件数量")}},
        {{"abc", "abd", "ab", "b"}, {"b", "ab", "abc", "abd"}},
    };
    for (const auto& c : cases) {
        JsonBuilder b;
        for (const auto& key : c.inserted) {
            EXPECT_TRUE(b.setMember(key, longValue(1)));
        }
        std::vector<std::string> keys;
        EXPECT_EQ(b.memberKeys(keys), static_cast<std::int32_t>(c.expected.size()));
        EXPECT_EQ(keys, c.expected) << "first inserted: " << c.inserted.front();
    }
}

TEST(JsonBuilderMembers, SettingAnExistingKeyReplacesItInPlace) {
    JsonBuilder b;
    b.setMember("a", longValue(1));
    b.setMember("bb", longValue(2));
    b.setMember("a", textValue("second"));
    EXPECT_EQ(keysOf(b), (std::vector<std::string>{"a", "bb"}));
    EXPECT_EQ(b.member("a").typeName(), "string");
    EXPECT_EQ(b.member("a").getString(), "second");
}

TEST(JsonBuilderMembers, EmptyKeyAbsentKeyAndRemoval) {
    JsonBuilder b;
    EXPECT_FALSE(b.setMember("", longValue(1)));
    EXPECT_TRUE(b.isNull()) << "an empty key must not turn the value into an object";
    b.setMember("a", longValue(1));
    b.setMember("b", longValue(2));
    EXPECT_FALSE(b.hasMember(""));
    EXPECT_FALSE(b.hasMember("c"));
    EXPECT_TRUE(b.member("c").isNull());
    EXPECT_EQ(b.memberBytes("c"), "");
    EXPECT_FALSE(b.removeMember("c"));
    EXPECT_TRUE(b.removeMember("a"));
    EXPECT_EQ(keysOf(b), (std::vector<std::string>{"b"}));
}

TEST(JsonBuilderMembers, MemberKeysOfANonObjectLeavesTheListAlone) {
    std::vector<std::string> keys = {"kept"};
    EXPECT_EQ(longValue(3).memberKeys(keys), 0);
    EXPECT_EQ(keys, (std::vector<std::string>{"kept"}));
    EXPECT_TRUE(longValue(3).member("x").isNull());
}

TEST(JsonBuilderMembers, ChildrenAreCopiedInAndOut) {
    JsonBuilder child;
    child.setMember("x", longValue(1));
    JsonBuilder parent;
    parent.setMember("c", child);
    child.setMember("y", longValue(2));  // after storing: the parent keeps the old copy
    EXPECT_EQ(keysOf(parent.member("c")), (std::vector<std::string>{"x"}));

    JsonBuilder readOut = parent.member("c");
    readOut.setMember("z", longValue(3));
    EXPECT_EQ(keysOf(parent.member("c")), (std::vector<std::string>{"x"}));

    JsonBuilder copy = parent;
    copy.setMember("d", longValue(4));
    EXPECT_FALSE(parent.hasMember("d"));
}

TEST(JsonBuilderMembers, AValueCanBeStoredIntoItself) {
    JsonBuilder b;
    b.setMember("a", longValue(1));
    b.setMember("self", b);
    EXPECT_EQ(keysOf(b.member("self")), (std::vector<std::string>{"a"}));
    JsonBuilder list;
    list.append(longValue(1));
    list.append(list);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.element(2).count(), 1);
}

TEST(JsonBuilderElements, PositionsCountFromOne) {
    JsonBuilder b;
    for (int i = 1; i <= 3; ++i) {
        b.append(longValue(i * 10));
    }
    EXPECT_EQ(b.count(), 3);
    EXPECT_TRUE(b.element(0).isNull());
    EXPECT_TRUE(b.element(4).isNull());
    EXPECT_EQ(b.element(1).getLong(), 10);
    EXPECT_FALSE(b.removeElement(0));
    EXPECT_FALSE(b.removeElement(4));
    EXPECT_TRUE(b.removeElement(2));
    ASSERT_EQ(b.count(), 2);
    EXPECT_EQ(b.element(2).getLong(), 30);
}

TEST(JsonBuilderTypes, SettersChangeTheType) {
    struct Case {
        const char* name;
        void (*prepare)(JsonBuilder&);
        void (*act)(JsonBuilder&);
        const char* type;
        const char* scalar;
        std::int32_t count;
        std::int32_t memberCount;
    };
    const Case cases[] = {
        {"setMember on a long resets it", [](JsonBuilder& b) { b.setLong(5); },
         [](JsonBuilder& b) { b.setMember("k", textValue("v")); }, "object", "", 0, 1},
        {"append on an object empties it first",
         [](JsonBuilder& b) { b.setMember("k", longValue(1)); },
         [](JsonBuilder& b) { b.append(longValue(2)); }, "array", "", 1, 0},
        {"setMember on an array drops the elements", [](JsonBuilder& b) { b.append(longValue(1)); },
         [](JsonBuilder& b) { b.setMember("k", longValue(1)); }, "object", "", 0, 1},
        {"setLong on an object", [](JsonBuilder& b) { b.setMember("k", longValue(1)); },
         [](JsonBuilder& b) { b.setLong(-7); }, "long", "-7", 0, 0},
        {"setString on a long", [](JsonBuilder& b) { b.setLong(9); },
         [](JsonBuilder& b) { b.setString("t"); }, "string", "t", 0, 0},
        {"setBool on an array", [](JsonBuilder& b) { b.append(longValue(1)); },
         [](JsonBuilder& b) { b.setBool(false); }, "bool", "false", 0, 0},
        {"setDouble on a bool", [](JsonBuilder& b) { b.setBool(true); },
         [](JsonBuilder& b) { b.setDouble(2.5); }, "double", "2.5", 0, 0},
        {"setNull on an object", [](JsonBuilder& b) { b.setMember("k", longValue(1)); },
         [](JsonBuilder& b) { b.setNull(); }, "null", "", 0, 0},
        {"typeName keeps the value", [](JsonBuilder& b) { b.setLong(12); },
         [](JsonBuilder& b) { b.typeName("string"); }, "string", "12", 0, 0},
        // setLong compares the type exactly, so "LONG" is replaced; setBool
        // ignores case, so "BOOL" stays.
        {"setLong on LONG", [](JsonBuilder& b) { b.typeName("LONG"); },
         [](JsonBuilder& b) { b.setLong(1); }, "long", "1", 0, 0},
        {"setBool on BOOL", [](JsonBuilder& b) { b.typeName("BOOL"); },
         [](JsonBuilder& b) { b.setBool(true); }, "BOOL", "true", 0, 0},
        {"appendBytes keeps the scalar", [](JsonBuilder& b) { b.setString("s"); },
         [](JsonBuilder& b) { b.appendBytes(std::string()); }, "array", "s", 1, 0},
        {"reset", [](JsonBuilder& b) { b.setString("s"); }, [](JsonBuilder& b) { b.reset(); },
         "null", "", 0, 0},
    };
    for (const auto& c : cases) {
        JsonBuilder b;
        c.prepare(b);
        c.act(b);
        EXPECT_EQ(b.typeName(), c.type) << c.name;
        EXPECT_EQ(b.getString(), c.scalar) << c.name;
        EXPECT_EQ(b.count(), c.count) << c.name;
        EXPECT_EQ(static_cast<std::int32_t>(keysOf(b).size()), c.memberCount) << c.name;
    }
}

TEST(JsonBuilderTypes, CountNeedsTheExactTypeName) {
    JsonBuilder b;
    b.typeName("ARRAY");
    b.appendBytes(binaryOf(longValue(1)));
    EXPECT_EQ(b.typeName(), "ARRAY");
    EXPECT_EQ(b.count(), 0);
    EXPECT_TRUE(b.element(1).isNull());

    JsonBuilder o;
    o.typeName("Object");
    o.setMemberBytes("k", binaryOf(longValue(4)));
    EXPECT_TRUE(o.hasMember("k"));
    EXPECT_EQ(o.member("k").getLong(), 4);
}

TEST(JsonBuilderScalars, TextsReadAsNumbers) {
    struct Case {
        std::string scalar;
        std::int64_t asLong;
        double asDouble;
    };
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    const std::int64_t min = std::numeric_limits<std::int64_t>::min();
    const std::vector<Case> cases = {
        {"42", 42, 42.0},
        {"", 0, 0.0},
        {"abc", 0, 0.0},
        {"12abc", 12, 12.0},
        {"  -2.9", -2, -2.9},
        {"2.9", 2, 2.9},
        {"1e+5", 100000, 100000.0},
        {"1e", 1, 1.0},
        {"1-2", 1, 1.0},
        {"-", 0, 0.0},
        {".5", 0, 0.5},
        {"+8", 8, 8.0},
        {ansi("１２"), 12, 12.0},
        {ansi("－３．５"), -3, -3.5},
        {ansi("　7"), 7, 7.0},
        {ansi("数7"), 0, 0.0},
        // Plain integer texts are exact beyond 2^53.
        {"9007199254740993", 9007199254740993LL, 9007199254740992.0},
        {"+9007199254740993", 9007199254740993LL, 9007199254740992.0},
        {"+-5", 0, 0.0},
        {"-9223372036854775808", min, -9223372036854775808.0},
        {"9223372036854775807", max, 9223372036854775807.0},
        // Out of range: saturated instead of undefined.
        {"99999999999999999999", max, 1e20},
        {"-1e300", min, -1e300},
    };
    for (const auto& c : cases) {
        const JsonBuilder b = textValue(c.scalar);
        EXPECT_EQ(b.getLong(), c.asLong) << c.scalar;
        EXPECT_DOUBLE_EQ(b.getDouble(), c.asDouble) << c.scalar;
    }
}

TEST(JsonBuilderScalars, LongsAndDoublesAsText) {
    EXPECT_EQ(longValue(std::numeric_limits<std::int64_t>::min()).getString(),
              "-9223372036854775808");
    EXPECT_EQ(longValue(std::numeric_limits<std::int64_t>::max()).getLong(),
              std::numeric_limits<std::int64_t>::max());
    const std::vector<std::pair<double, std::string>> doubles = {
        {0.1, "0.1"},
        {1.0, "1"},
        {1e20, "1e+20"},
        {1.0 / 3, "0.3333333333333"},
        {-2.5, "-2.5"},
        {1e-7, "1e-07"},
        {123456789012345.0, "1.234567890123e+14"},
    };
    for (const auto& [value, text] : doubles) {
        JsonBuilder b;
        b.setDouble(value);
        EXPECT_EQ(b.getString(), text);
    }
}

TEST(JsonBuilderScalars, BoolIsExactlyTrue) {
    EXPECT_TRUE(textValue("true").getBool());
    EXPECT_FALSE(textValue("TRUE").getBool());
    EXPECT_FALSE(textValue("1").getBool());
    EXPECT_EQ(JsonBuilder().emptyText(), "");
}

TEST(JsonBuilderBinary, FormsByteForByte) {
    JsonBuilder t;
    t.setBool(true);
    const std::string boolTrue = bytes({4, 0, 0, 0}) + "bool" + bytes({4, 0, 0, 0}) + "true";
    EXPECT_EQ(binaryOf(t), boolTrue);
    EXPECT_EQ(boolTrue.size(), 16u);

    const std::string long5 = bytes({4, 0, 0, 0}) + "long" + bytes({5, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(binaryOf(longValue(5)), long5);

    JsonBuilder o;
    o.setMember("a", longValue(5));
    const std::string object = bytes({6, 0, 0, 0}) + "object" + bytes({1, 0, 0, 0, 1, 0, 0, 0}) +
                               "a" + bytes({16, 0, 0, 0}) + long5;
    EXPECT_EQ(binaryOf(o).size(), 39u);
    EXPECT_EQ(binaryOf(o), object);

    EXPECT_EQ(binaryOf(longValue(-2)), bytes({4, 0, 0, 0}) + "long" +
                                           bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    JsonBuilder d;
    d.setDouble(1.0);  // 0x3FF0000000000000
    EXPECT_EQ(binaryOf(d), bytes({6, 0, 0, 0}) + "double" + bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(binaryOf(textValue("hi")),
              bytes({6, 0, 0, 0}) + "string" + bytes({2, 0, 0, 0}) + "hi");
    EXPECT_EQ(binaryOf(JsonBuilder()), bytes({4, 0, 0, 0}) + "null");

    JsonBuilder list;
    list.append(t);
    EXPECT_EQ(binaryOf(list),
              bytes({5, 0, 0, 0}) + "array" + bytes({1, 0, 0, 0, 16, 0, 0, 0}) + boolTrue);
}

TEST(JsonBuilderBinary, ReadingBackRebuildsTheValue) {
    JsonBuilder inner;
    inner.append(textValue(ansi("中文")));
    inner.append(JsonBuilder());
    JsonBuilder root;
    root.setMember("list", inner);
    root.setMember("n", longValue(9007199254740993LL));
    JsonBuilder half;
    half.setDouble(0.5);
    root.setMember("d", half);

    const JsonBuilder list = root.member("list");
    EXPECT_EQ(list.typeName(), "array");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.element(1).getString(), ansi("中文"));
    EXPECT_TRUE(list.element(2).isNull());
    EXPECT_EQ(root.member("n").getLong(), 9007199254740993LL);
    EXPECT_EQ(root.member("d").getString(), "0.5");
}

TEST(JsonBuilderBinary, StoredFormsAreReadLeniently) {
    const auto rebuilt = [](const std::string& form) {
        JsonBuilder holder;
        holder.appendBytes(form);
        return holder.element(1);
    };
    // A bool stored in capitals reads as true.
    EXPECT_TRUE(rebuilt(bytes({4, 0, 0, 0}) + "bool" + bytes({4, 0, 0, 0}) + "TRUE").getBool());
    EXPECT_TRUE(rebuilt("").isNull());
    // An unknown type name is kept without content.
    EXPECT_EQ(rebuilt(bytes({3, 0, 0, 0}) + "odd").typeName(), "odd");
    // Cut-off forms stop cleanly.
    EXPECT_TRUE(rebuilt(bytes({200, 0, 0, 0}) + "null").isNull());
    const JsonBuilder cut = rebuilt(bytes({6, 0, 0, 0}) + "string" + bytes({50, 0, 0, 0}) + "ab");
    EXPECT_EQ(cut.typeName(), "string");
    EXPECT_EQ(cut.getString(), "");
    EXPECT_EQ(rebuilt(bytes({5, 0, 0, 0}) + "array" + bytes({9, 0, 0, 0})).count(), 0);
}

}  // namespace
}  // namespace linkhaul
