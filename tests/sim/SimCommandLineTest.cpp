// Start-up, refusal of bad catalogues and options, and stopping.

#include "CurlRun.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

namespace linkhaul::testsupport {
namespace {

bool accepts(int port) {
    int fd = connectToLoopback(port);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

TEST(SimCommandLineTest, PrintsTheMappingForEveryHostAndStopsWithItsOwner) {
    int http = 0;
    {
        SimProcess sim(SimProcess::cataloguePath("demo.json"));
        http = sim.httpPort();
        std::string expected;
        for (const char* host :
             {"pan.baidu.com", "yun.baidu.com", "d.pcs.baidu.com", "qdall01.baidupcs.com"}) {
            if (!expected.empty())
                expected += ",";
            expected += std::string(host) + ":80:127.0.0.1:" + std::to_string(sim.httpPort()) +
                        "," + host + ":443:127.0.0.1:" + std::to_string(sim.httpsPort());
        }
        EXPECT_EQ(sim.connectTo(), expected);
        EXPECT_NE(sim.httpPort(), sim.httpsPort());
        EXPECT_TRUE(accepts(http));
        // The demo share fixes its captcha answer.
        std::string token =
            curl(sim, "http://pan.baidu.com/api/getcaptcha?prod=pan").json()["vcode_str"];
        EXPECT_EQ(SimProcess::captchaAnswer(token), "LH26");
    }
    EXPECT_FALSE(accepts(http));
}

TEST(SimCommandLineTest, StopsPromptlyWhileADelayedAnswerWaits) {
    std::string file = "/tmp/linkhaul-sim-slow-" + std::to_string(getpid()) + ".json";
    std::ofstream(file) << R"({"shares":[{"id":"slow","files":[{"name":"a.txt","size":1}]}],
        "faults":[{"endpoint":"share_page","kind":"delay","delay_ms":10000}]})";
    auto sim = std::make_unique<SimProcess>(file);
    std::remove(file.c_str());
    int fd = connectToLoopback(sim->httpPort());
    ASSERT_GE(fd, 0);
    const std::string request = "GET /s/1slow HTTP/1.1\r\nHost: pan.baidu.com\r\n\r\n";
    ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    // The sim logs a request before its handler starts waiting.
    for (int i = 0; i < 100 && sim->requestLog().empty(); ++i)
        usleep(10'000);
    ASSERT_EQ(sim->requestLog().size(), 1u);

    // Neither the waiting handler nor the connection the client keeps open may hold the stop.
    auto start = std::chrono::steady_clock::now();
    sim.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    close(fd);
}

TEST(SimCommandLineTest, StopsWhenTheProcessThatStartedItEnds) {
    // A shell starts the sim in the background and exits without stopping it.
    std::string out = "/tmp/linkhaul-sim-orphan-" + std::to_string(getpid()) + ".txt";
    CommandResult run =
        runCommand({"/bin/sh", "-c", "\"$0\" --catalogue \"$1\" > \"$2\" 2>/dev/null & sleep 0.5",
                    LINKHAUL_SIM_PATH, SimProcess::cataloguePath("demo.json"), out});
    ASSERT_EQ(run.exitCode, 0);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    std::remove(out.c_str());
    auto at = line.find("pan.baidu.com:80:127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << line;
    int port = std::atoi(line.c_str() + at + 27);
    bool stopped = false;
    for (int i = 0; i < 100 && !stopped; ++i) {
        stopped = !accepts(port);
        if (!stopped)
            usleep(20'000);
    }
    EXPECT_TRUE(stopped);
}

TEST(SimCommandLineTest, RefusesBadCatalogueWithAMessage) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"not json", "not valid JSON"},
        {"{}", "\"shares\" must be an array"},
        {R"({"shares":[{"id":"a b"}]})", "\"id\""},
        {R"({"shares":[{"id":"a"},{"id":"a"}]})", "two shares with the id"},
        {R"({"shares":[{"id":"a","files":[{"name":"x","fs_id":1},{"name":"y","fs_id":1}]}]})",
         "duplicate fs_id"},
        {R"({"shares":[{"id":"a","files":[{"name":"x/y"}]}]})", "no \"/\""},
        {R"({"shares":[{"id":"a","files":[{"name":"x","size":-1}]}]})", "negative"},
        {R"({"shares":[{"id":"a","captcha":"sometimes"}]})", "\"captcha\""},
        {R"({"shares":[{"id":"a","generate":{"count":3,"name":"no marker"}}]})", "{n}"},
        {R"({"shares":[],"faults":[{"endpoint":"nowhere","kind":"reset"}]})", "endpoint"},
        {R"({"shares":[],"faults":[{"endpoint":"list","kind":"explode"}]})", "\"kind\""},
        {R"({"shares":[],"captcha_answer":"ab"})", "captcha_answer"},
    };
    std::string file = "/tmp/linkhaul-sim-bad-" + std::to_string(getpid()) + ".json";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(file) << c.text;
        CommandResult run = runCommand({LINKHAUL_SIM_PATH, "--catalogue", file});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    std::remove(file.c_str());
    EXPECT_EQ(runCommand({LINKHAUL_SIM_PATH, "--catalogue", "/nonexistent.json"}).exitCode, 1);
}

TEST(SimCommandLineTest, RefusesAPortThatIsTaken) {
    SimProcess first(SimProcess::cataloguePath("demo.json"));
    for (const char* option : {"--http-port", "--https-port"}) {
        SCOPED_TRACE(option);
        int port = std::string(option) == "--http-port" ? first.httpPort() : first.httpsPort();
        CommandResult second =
            runCommand({LINKHAUL_SIM_PATH, "--catalogue", SimProcess::cataloguePath("demo.json"),
                        option, std::to_string(port)});
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_EQ(second.out, "");
        EXPECT_NE(second.err.find("cannot listen"), std::string::npos);
    }
}

TEST(SimCommandLineTest, RefusesBadOptions) {
    std::string catalogue = SimProcess::cataloguePath("demo.json");
    const std::vector<std::vector<std::string>> cases = {
        {LINKHAUL_SIM_PATH},
        {LINKHAUL_SIM_PATH, "--catalogue"},
        {LINKHAUL_SIM_PATH, "--catalogue", catalogue, "--http-port", "70000"},
        {LINKHAUL_SIM_PATH, "--catalogue", catalogue, "--https-port", "x"},
        {LINKHAUL_SIM_PATH, "--catalogue", catalogue, "--colour", "blue"},
    };
    for (const auto& args : cases) {
        CommandResult run = runCommand(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("usage: linkhaul-sim"), std::string::npos);
    }
}

}  // namespace
}  // namespace linkhaul::testsupport
