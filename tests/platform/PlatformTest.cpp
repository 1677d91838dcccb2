#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "platform/Base64.h"
#include "platform/Clock.h"
#include "platform/RandomDigits.h"

using namespace linkhaul::platform;

TEST(Base64, Rfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xFF\x00\xFE", 3), "/wD+"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(plain), encoded);
        EXPECT_EQ(base64Decode(encoded), plain);
    }
}

TEST(Base64, LongInputHasNoLineBreaks) {
    const std::string encoded = base64Encode(std::string(300, 'x'));
    EXPECT_EQ(encoded.size(), 400u);
    EXPECT_EQ(encoded.find('\n'), std::string::npos);
}

TEST(Base64, DecodeRejectsMalformedText) {
    for (const char* bad : {"Zg=", "Z===", "Zm9v!A==", "Zg==Zg=="}) {
        EXPECT_FALSE(base64Decode(bad).has_value()) << bad;
    }
}

TEST(RandomDigits, DrawsEveryDigitRoughlyEvenly) {
    EXPECT_EQ(randomDigits(0), "");
    std::array<int, 10> counts{};
    for (int round = 0; round < 200; ++round) {
        const std::string digits = randomDigits(100);
        ASSERT_EQ(digits.size(), 100u);
        for (char c : digits) {
            ASSERT_TRUE(c >= '0' && c <= '9');
            ++counts[c - '0'];
        }
    }
    for (int n : counts) {
        EXPECT_GT(n, 1600);  // 2000 expected for each digit
        EXPECT_LT(n, 2400);
    }
}

TEST(RandomDigits, CallsInQuickSuccessionDiffer) {
    EXPECT_NE(randomDigits(19), randomDigits(19));
}

TEST(Clock, ReadingIsConsistent) {
    const ClockReading r = readClock();
    EXPECT_GE(r.millisecond, 0);
    EXPECT_LE(r.millisecond, 999);
    EXPECT_GT(r.unixSeconds, 1500000000);
    ClockReading again;
    ASSERT_TRUE(localTimeOf(r.unixSeconds, again));
    EXPECT_EQ(again.year, r.year);
    EXPECT_EQ(again.day, r.day);
    EXPECT_EQ(again.second, r.second);
}
