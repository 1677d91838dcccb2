#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

using namespace linkhaul::platform;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

std::string utf8Of(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

}  // namespace

TEST(CodePage, GbkTextKeepsItsBytes) {
    // 中文文件.txt in code page 936, plus the trail byte 0x5C of 昞 (95 5C).
    const std::string gbk =
        bytes({0xD6, 0xD0, 0xCE, 0xC4, 0xCE, 0xC4, 0xBC, 0xFE, '.', 't', 'x', 't', 0x95, 0x5C});
    const std::string utf8 = ansiToUtf8(gbk);
    EXPECT_EQ(utf8, "中文文件.txt昞");
    EXPECT_EQ(utf8ToAnsi(utf8), gbk);
}

TEST(CodePage, CharactersOutsideGbkSurviveTheRoundTrip) {
    for (const std::string text : {"😀", "한국어", "𠀀", "a😀b한c"}) {
        const std::string ansi = utf8ToAnsi(text);
        EXPECT_EQ(ansiToUtf8(ansi), text) << text;
        EXPECT_EQ(ansi.find('?'), std::string::npos) << text;
    }
    EXPECT_EQ(utf8ToAnsi("😀한"), bytes({0x94, 0x39, 0xFC, 0x36, 0x83, 0x36, 0x84, 0x33}));
}

TEST(CodePage, EveryBmpCharacterRoundTrips) {
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const std::string ansi = codePointToAnsi(cp);
        ASSERT_FALSE(ansi.empty()) << std::hex << static_cast<unsigned>(cp);
        // glibc leaves a few private-use code points without GB18030 bytes.
        if (ansi == "?" && cp >= 0xE000 && cp <= 0xF8FF)
            continue;
        ASSERT_EQ(ansiToUtf8(ansi), utf8Of(cp)) << std::hex << static_cast<unsigned>(cp);
    }
}

TEST(CodePage, InvalidUtf8BecomesReplacementAndKeepsTheRest) {
    const std::string replacement = utf8ToAnsi("\xEF\xBF\xBD");
    ASSERT_EQ(replacement, bytes({0x84, 0x31, 0xA4, 0x37}));
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"a\xFF"
         "b",
         "a" + replacement + "b"},
        {"\xC0\xAF", replacement + replacement},                           // overlong slash
        {"\xED\xA0\x80!", replacement + replacement + replacement + "!"},  // encoded surrogate
        {"\xE4\xB8", replacement},                                         // truncated 中
        {"\xE4\xB8x", replacement + "x"},
        {"ok\xF4\x90\x80\x80", "ok" + replacement + replacement + replacement + replacement},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToAnsi(c.input), c.expected);
    }
    EXPECT_EQ(utf8ToAnsi(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, InvalidAnsiBecomesReplacement) {
    EXPECT_EQ(ansiToUtf8(bytes({'a', 0xFF, 'b'})),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(ansiToUtf8(bytes({0xD6})), "\xEF\xBF\xBD");  // lead byte at the end
}

TEST(CodePage, SingleUtf16Units) {
    EXPECT_EQ(utf16UnitToAnsi(0), "");
    EXPECT_EQ(utf16UnitToAnsi(u'A'), "A");
    EXPECT_EQ(utf16UnitToAnsi(0x4E2D), bytes({0xD6, 0xD0}));
    EXPECT_EQ(utf16UnitToAnsi(0xD83D), "?");
    EXPECT_EQ(utf16UnitToAnsi(0xDE00), "?");
    EXPECT_EQ(codePointToAnsi(0x1F600), bytes({0x94, 0x39, 0xFC, 0x36}));
    EXPECT_EQ(codePointToAnsi(0x110000), "?");
    EXPECT_EQ(codePointToAnsi(0), "");
}
