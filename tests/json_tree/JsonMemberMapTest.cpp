#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "json/JsonElementList.h"
#include "json/JsonMemberMap.h"

namespace linkhaul {
namespace {

TEST(JsonMemberMapTest, HashesAndBucketsMatchTheFixedTable) {
    struct Case {
        std::string key;
        std::int32_t hash;
        std::int32_t bucket;
    };
    const Case cases[] = {
        {"a", 97, 2},
        {"b", 98, 3},
        {"ab", 3105, 2},
        {"state", 109757585, 18},
        {"errno", 96784870, 7},
        {"list", 3322014, 31},
        {"fs_id", 97719757, 14},
        // Negative hash: |h| mod 32, not the low five bits (which give 4).
        {"server_filename", -1663774845, 30},
        // Bytes count as signed.
        {"\xB0", -80, 17},
        {"", 0, 1},
        // A zero byte ends the key.
        {std::string("a\0b", 3), 97, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(JsonMemberMap::hashKey(c.key), c.hash);
        EXPECT_EQ(JsonMemberMap::bucketOf(c.hash), c.bucket);
    }
    // |INT32_MIN| = 2^31 is a multiple of 32.
    EXPECT_EQ(JsonMemberMap::bucketOf(std::numeric_limits<std::int32_t>::min()), 1);
}

TEST(JsonMemberMapTest, RepeatedKeyIsFiledTwiceAndFoundFirst) {
    JsonMemberMap map;
    map.beginMember("a");
    map.bindMember(2);
    map.beginMember("a");
    map.bindMember(5);
    EXPECT_EQ(map.lookupMember("a"), 2);
    std::vector<std::string> keys;
    EXPECT_EQ(map.listKeys(keys), 2);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "a"}));
}

TEST(JsonMemberMapTest, MissingKeysGiveZero) {
    JsonMemberMap map;
    EXPECT_EQ(map.lookupMember("a"), 0);
    map.beginMember("State");
    map.bindMember(3);
    EXPECT_EQ(map.lookupMember("state"), 0);
    EXPECT_EQ(map.lookupMember("State"), 3);
    // Same bucket as "a" but a different key.
    map.beginMember("a");
    map.bindMember(4);
    EXPECT_EQ(map.lookupMember("ab"), 0);
}

TEST(JsonMemberMapTest, ListsKeysInBucketOrderAppendingToTheList) {
    struct Case {
        std::vector<std::string> filed;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {{"b", "a"}, {"a", "b"}},
        {{"state", "errno", "list"}, {"errno", "state", "list"}},
        // Same bucket keeps arrival order.
        {{"ab", "a"}, {"ab", "a"}},
        {{"server_filename", "fs_id", "\xB0"}, {"fs_id", "\xB0", "server_filename"}},
    };
    for (const Case& c : cases) {
        JsonMemberMap map;
        std::int32_t value = 1;
        for (const std::string& key : c.filed) {
            map.beginMember(key);
            map.bindMember(++value);
        }
        std::vector<std::string> keys{"kept"};
        EXPECT_EQ(map.listKeys(keys), static_cast<std::int32_t>(c.listed.size()));
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), c.listed.begin(), c.listed.end());
        EXPECT_EQ(keys, expected);
    }
}

TEST(JsonMemberMapTest, KeptKeyOrderListsArrivalOrderIncludingUnboundKeys) {
    JsonMemberMap map;
    map.setKeepKeyOrder(true);
    std::vector<std::string> expected;
    for (int i = 0; i < 101; ++i) {
        const std::string key = "k" + std::to_string(100 - i);
        map.beginMember(key);
        if (i != 50) {
            map.bindMember(i + 2);
        }
        expected.push_back(key);
    }
    EXPECT_EQ(map.keyOrderCapacity(), 200);
    std::vector<std::string> keys{"replaced"};
    EXPECT_EQ(map.listKeys(keys), 101);
    EXPECT_EQ(keys, expected);
    // Begun but never bound: listed, not found.
    EXPECT_EQ(map.lookupMember("k50"), 0);
    EXPECT_EQ(map.lookupMember("k51"), 51);
}

TEST(JsonElementListTest, CountsFromOneAndGivesZeroOutOfRange) {
    JsonElementList list;
    EXPECT_EQ(list.elementIndex(1), 0);
    list.appendElement(7);
    list.appendElement(9);
    EXPECT_EQ(list.elementCount(), 2);
    EXPECT_EQ(list.elementIndex(0), 0);
    EXPECT_EQ(list.elementIndex(1), 7);
    EXPECT_EQ(list.elementIndex(2), 9);
    EXPECT_EQ(list.elementIndex(3), 0);
    EXPECT_EQ(list.elementIndex(-1), 0);
}

}  // namespace
}  // namespace linkhaul
