// Requests through a real proxy: Debian's tinyproxy, started on a free
// loopback port with its own configuration and stopped with the fixture.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ScriptedServer.h"
#include "http/HttpClient.h"

namespace linkhaul {
namespace {

using testing::reply;
using testing::ScriptedServer;

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class HttpTinyproxy : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binary = "/usr/bin/tinyproxy";
        if (::access(binary, X_OK) != 0) {
            GTEST_SKIP() << "tinyproxy is not installed";
        }
        char dir[] = "/tmp/linkhaul-tinyproxy-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        directory_ = dir;
        port_ = freePort();
        const std::string config = directory_ + "/tinyproxy.conf";
        std::ofstream(config) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 10\n"
                              << "MaxClients 10\nAllow 127.0.0.1\nBasicAuth user pass\n"
                              << "DisableViaHeader Yes\nLogLevel Critical\n"
                              << "LogFile \"" << directory_ << "/log\"\n";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(binary, binary, "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(pid_, 0);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!accepts(port_) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(accepts(port_)) << "tinyproxy did not start";
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (!directory_.empty()) {
            std::filesystem::remove_all(directory_);
        }
    }
    std::string proxy() const { return "127.0.0.1:" + std::to_string(port_); }

    std::string directory_;
    int port_ = 0;
    pid_t pid_ = -1;
};

TEST_F(HttpTinyproxy, PlainRequestWithCredentials) {
    ScriptedServer origin;
    origin.add({reply("200 OK", "Set-Cookie: p=1\r\n", "through")});
    HttpClient client;
    ASSERT_TRUE(client.setProxy(proxy(), "user", "pass"));
    ASSERT_TRUE(
        client.openRequest("GET", "http://127.0.0.1:" + std::to_string(origin.port()) + "/via"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 200);
    EXPECT_EQ(client.readBody(), "through");
    EXPECT_EQ(client.cookieJar(), "; p=1; ");
    ASSERT_TRUE(origin.waitForRequests(1));
    const std::string seen = origin.requests()[0].raw;
    EXPECT_EQ(seen.substr(0, seen.find("\r\n")), "GET /via HTTP/1.1");
    EXPECT_EQ(seen.find("Proxy-Authorization"), std::string::npos);
}

TEST_F(HttpTinyproxy, WrongCredentialsGetTheProxysRefusal) {
    ScriptedServer origin;
    HttpClient client;
    ASSERT_TRUE(client.setProxy(proxy(), "user", "wrong"));
    ASSERT_TRUE(
        client.openRequest("GET", "http://127.0.0.1:" + std::to_string(origin.port()) + "/via"));
    ASSERT_TRUE(client.sendText());
    // tinyproxy answers a failed Basic check with 401 rather than 407.
    EXPECT_TRUE(client.statusCode() == 401 || client.statusCode() == 407) << client.statusCode();
    EXPECT_TRUE(origin.requests().empty());
}

TEST_F(HttpTinyproxy, HttpsThroughATunnel) {
    ScriptedServer origin(ScriptedServer::Mode::Tls);
    origin.add({reply("200 OK", "", "secret")});
    HttpClient client;
    ASSERT_TRUE(client.setProxy(proxy(), "user", "pass"));
    ASSERT_TRUE(
        client.openRequest("GET", "https://127.0.0.1:" + std::to_string(origin.port()) + "/tls"));
    ASSERT_TRUE(client.sendText());
    EXPECT_EQ(client.statusCode(), 200);
    EXPECT_EQ(client.readBody(), "secret");
    // Only the origin's reply is in the header block, not the tunnel's.
    EXPECT_EQ(client.replyHeaderBlock().find("Connection established"), std::string::npos);
}

}  // namespace
}  // namespace linkhaul
