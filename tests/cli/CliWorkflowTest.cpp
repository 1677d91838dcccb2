// linkhaul-cli as a user runs it: a real process against linkhaul-sim.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "RunProcess.h"
#include "SimProcess.h"

using linkhaul::test::ProcessResult;
using linkhaul::test::runProcess;
using linkhaul::testsupport::SimProcess;

namespace {

const std::string OPEN_LINK = "https://pan.baidu.com/s/1cliopen";
const std::string CODED_LINK = "https://pan.baidu.com/s/1clicoded";
const std::string CAPTCHA_LINK = "https://pan.baidu.com/s/1clicaptcha";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class CliWorkflow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim = std::make_unique<SimProcess>(LINKHAUL_CLI_CATALOGUE); }
    static void TearDownTestSuite() { sim.reset(); }

    ProcessResult cli(const std::vector<std::string>& args, const std::string& input = {}) {
        return runProcess(LINKHAUL_CLI_PATH, args,
                          {{"LINKHAUL_CONNECT_TO", sim->connectTo()}, {"TZ", "UTC"}}, input);
    }

    static std::unique_ptr<SimProcess> sim;
};

std::unique_ptr<SimProcess> CliWorkflow::sim;

}  // namespace

TEST_F(CliWorkflow, OpenPrintsAlignedColumns) {
    const ProcessResult r = cli({"open", OPEN_LINK});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "文件夹  2018年3月10日2时20分5秒  /文档\n"
              "  5 GB  2018年3月10日1时         /big.iso\n"
              "文件夹  2018年3月10日            /many\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliWorkflow, JsonLinesKeepEveryFieldExactly) {
    const ProcessResult r = cli({"--json", "ls", OPEN_LINK, "/文档"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"fs_id\":11,\"parent_path\":\"/文档\",\"server_mtime\":1520640000,"
              "\"server_filename\":\"报告.pdf\",\"size\":1536,\"isdir\":0,"
              "\"path\":\"/文档/报告.pdf\"}\n"
              "{\"fs_id\":12,\"parent_path\":\"/文档\",\"server_mtime\":1520641800,"
              "\"server_filename\":\"노트 😀.txt\",\"size\":2621440,\"isdir\":0,"
              "\"path\":\"/文档/노트 😀.txt\"}\n");

    const ProcessResult top = cli({"open", "--json", OPEN_LINK});
    ASSERT_EQ(top.exitCode, 0) << top.err;
    EXPECT_NE(top.out.find("\"fs_id\":9007199254740993,"), std::string::npos) << top.out;
    EXPECT_NE(top.out.find("\"size\":5368709120,"), std::string::npos);
}

TEST_F(CliWorkflow, ListsAFolderOf250EntriesInOrder) {
    const ProcessResult r = cli({"ls", "--json", OPEN_LINK, "/many"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 250u);
    EXPECT_NE(rows.front().find("\"server_filename\":\"item 001.dat\""), std::string::npos);
    EXPECT_NE(rows.back().find("\"server_filename\":\"item 250.dat\""), std::string::npos);
    EXPECT_EQ(lines(cli({"ls", OPEN_LINK, "/many"}).out).size(), 250u);
}

TEST_F(CliWorkflow, CodedShareNeedsTheRightCode) {
    const ProcessResult right = cli({"open", CODED_LINK, "-c", "ab12"});
    ASSERT_EQ(right.exitCode, 0) << right.err;
    EXPECT_EQ(lines(right.out).size(), 2u);

    const ProcessResult wrong = cli({"open", "--code", "zzzz", CODED_LINK});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "访问密码错误\n");

    const ProcessResult none = cli({"open", CODED_LINK});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "请输入提取密码.\n");
}

TEST_F(CliWorkflow, MissingShareAndUsageErrors) {
    const ProcessResult gone = cli({"open", "https://pan.baidu.com/s/1cligone"});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.out, "");
    EXPECT_FALSE(gone.err.empty());

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"open"}, {"links", OPEN_LINK}, {"links", OPEN_LINK, "x1"}, {"dance"}}) {
        const ProcessResult r = cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    const ProcessResult help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
    EXPECT_EQ(cli({"--version"}).exitCode, 0);
}

TEST_F(CliWorkflow, LinksForFilesAndPacked) {
    const ProcessResult two = cli({"links", "-c", "ab12", CODED_LINK, "30", "31"});
    ASSERT_EQ(two.exitCode, 0) << two.err;
    const auto addresses = lines(two.out);
    ASSERT_EQ(addresses.size(), 2u);
    for (const auto& a : addresses) {
        EXPECT_EQ(a.rfind("http://d.pcs.baidu.com/", 0), 0u) << a;
    }

    const ProcessResult replaced = cli({"links", "--replace-host", "-c", "ab12", CODED_LINK, "30"});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(replaced.out.rfind("http://qdall01.baidupcs.com/", 0), 0u) << replaced.out;

    const ProcessResult packed = cli({"links", "--packed", "-c", "ab12", CODED_LINK, "30", "31"});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(lines(packed.out).size(), 1u);
}

TEST_F(CliWorkflow, CaptchaWrongThenRightThroughStandardInput) {
    const std::string picture = ::testing::TempDir() + "cli-captcha.png";
    const ProcessResult r =
        cli({"links", CAPTCHA_LINK, "40", "--captcha-image", picture}, "AAAA\nK7QX\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u);
    // Two rounds: the wrong answer brings a second picture.
    const auto prompts = lines(r.err);
    ASSERT_EQ(prompts.size(), 4u) << r.err;
    EXPECT_EQ(prompts[0], picture);
    EXPECT_EQ(prompts[1], "请输入验证码");
    std::ifstream file(picture, std::ios::binary);
    std::string magic(4, '\0');
    file.read(magic.data(), 4);
    EXPECT_EQ(magic, "\x89PNG");

    const auto before = sim->requestLog().size();
    const ProcessResult ended = cli({"links", CAPTCHA_LINK, "40"}, "AAAA\n");
    EXPECT_EQ(ended.exitCode, 1);
    EXPECT_EQ(ended.out, "");
    const auto errLines = lines(ended.err);
    ASSERT_GE(errLines.size(), 2u);
    EXPECT_TRUE(std::regex_match(errLines[0], std::regex(".*linkhaul-captcha-.*\\.png")))
        << errLines[0];
    EXPECT_GT(sim->requestLog().size(), before);
}

TEST_F(CliWorkflow, InterruptEndsARequestInFlightAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r =
        runProcess(LINKHAUL_CLI_PATH, {"open", "https://pan.baidu.com/s/1clislow"},
                   {{"LINKHAUL_CONNECT_TO", sim->connectTo()}}, {}, std::chrono::seconds(15),
                   std::chrono::milliseconds(300));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.out, "");
    EXPECT_LT(took, std::chrono::seconds(2));
}
