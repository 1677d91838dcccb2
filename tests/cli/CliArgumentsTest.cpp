#include "cli/CliArguments.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/EntryOutput.h"
#include "platform/CodePage.h"

using namespace linkhaul;
using namespace linkhaul::cli;

namespace {

ParseOutcome parse(std::vector<std::string> words) {
    words.insert(words.begin(), "linkhaul-cli");
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    return parseArguments(static_cast<int>(words.size()), argv.data());
}

}  // namespace

TEST(CliArguments, AcceptedCommandLines) {
    {
        const auto r = parse({"--json", "open", "-c", "ab12", "https://pan.baidu.com/s/1x"});
        ASSERT_TRUE(r.arguments) << r.error;
        EXPECT_EQ(r.arguments->command, Command::Open);
        EXPECT_TRUE(r.arguments->json);
        EXPECT_EQ(r.arguments->code, "ab12");
        EXPECT_EQ(r.arguments->link, "https://pan.baidu.com/s/1x");
    }
    {
        // Options after the operands, and --json after the command word.
        const auto r = parse({"ls", "LINK", "/我的 文件", "--code=xyz9", "--json"});
        ASSERT_TRUE(r.arguments) << r.error;
        EXPECT_EQ(r.arguments->command, Command::List);
        EXPECT_EQ(r.arguments->dir, "/我的 文件");
        EXPECT_EQ(r.arguments->code, "xyz9");
        EXPECT_TRUE(r.arguments->json);
    }
    {
        const auto r = parse({"links", "LINK", "9007199254740993", "--packed", "5",
                              "--replace-host", "--captcha-image", "/tmp/c.png"});
        ASSERT_TRUE(r.arguments) << r.error;
        EXPECT_EQ(r.arguments->ids, (std::vector<std::int64_t>{9007199254740993LL, 5}));
        EXPECT_TRUE(r.arguments->packed);
        EXPECT_TRUE(r.arguments->replaceHost);
        EXPECT_EQ(r.arguments->captchaImage, "/tmp/c.png");
        EXPECT_FALSE(r.arguments->code.has_value());
    }
    EXPECT_EQ(parse({"--help"}).arguments->command, Command::Help);
    EXPECT_EQ(parse({"--version"}).arguments->command, Command::Version);
    EXPECT_EQ(parse({"open", "--help"}).arguments->command, Command::Help);
}

TEST(CliArguments, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate", "LINK"},
        {"open"},
        {"open", "LINK", "extra"},
        {"open", ""},
        {"ls", "LINK"},
        {"links", "LINK"},
        {"links", "LINK", "12x"},
        {"links", "LINK", "99999999999999999999"},
        {"open", "LINK", "--packed"},
        {"open", "LINK", "--code"},
        {"links", "--json", "LINK", "1"},
        {"--bogus", "open", "LINK"},
    };
    for (const auto& words : bad) {
        const auto r = parse(words);
        std::string joined;
        for (const auto& w : words)
            joined += w + " ";
        EXPECT_FALSE(r.arguments) << joined;
        EXPECT_FALSE(r.error.empty()) << joined;
    }
}

TEST(EntryOutput, WidthsAndQuoting) {
    EXPECT_EQ(displayWidth("abc"), 3u);
    EXPECT_EQ(displayWidth("文件夹"), 6u);
    EXPECT_EQ(displayWidth("한a😀"), 5u);
    EXPECT_EQ(jsonQuote("a\"b\\c\n\x01/文"), "\"a\\\"b\\\\c\\n\\u0001/文\"");
}

TEST(EntryOutput, ColumnsLineUpAndJsonKeepsEveryField) {
    using platform::utf8ToAnsi;
    const ShareEntryList entries = {
        {9007199254740993LL, utf8ToAnsi("/"), 1520648405, utf8ToAnsi("文档"), 0, 1,
         utf8ToAnsi("/文档")},
        {42, utf8ToAnsi("/"), 1520640000, utf8ToAnsi("a \"b\".txt"), 1536, 0,
         utf8ToAnsi("/a \"b\".txt")},
    };
    setenv("TZ", "UTC", 1);
    tzset();
    std::ostringstream human;
    printEntries(human, entries);
    EXPECT_EQ(human.str(),
              "文件夹  2018年3月10日2时20分5秒  /文档\n"
              "1.5 KB  2018年3月10日            /a \"b\".txt\n");

    std::ostringstream json;
    printEntriesJson(json, entries);
    EXPECT_EQ(json.str(),
              "{\"fs_id\":9007199254740993,\"parent_path\":\"/\",\"server_mtime\":1520648405,"
              "\"server_filename\":\"文档\",\"size\":0,\"isdir\":1,\"path\":\"/文档\"}\n"
              "{\"fs_id\":42,\"parent_path\":\"/\",\"server_mtime\":1520640000,"
              "\"server_filename\":\"a \\\"b\\\".txt\",\"size\":1536,\"isdir\":0,"
              "\"path\":\"/a \\\"b\\\".txt\"}\n");
}
