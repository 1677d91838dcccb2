#pragma once

// A loopback HTTP(S) server for the client's tests: it records every raw
// request and answers each with the next scripted raw reply, byte for byte.
// It listens on 127.0.0.1 at an OS-picked port and stops with its owner.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linkhaul::testing {

// What the server does with a connection once it has written a reply.
enum class After {
    Keep,     // wait for the next request on the connection
    Close,    // close the connection
    Reset,    // close with an RST
    Endless,  // keep sending body bytes until the client goes away
};

struct ScriptedReply {
    std::string bytes;
    After after = After::Keep;
    // Answer nothing at all; hold the connection open until the server stops.
    bool silent = false;
    // Reset the connection as soon as it is accepted, before reading.
    bool resetOnAccept = false;
};

struct RecordedRequest {
    int connection = 0;      // 1-based number of the accepted connection
    std::string raw;         // request line, header lines and body, as received
    std::string serverName;  // TLS server name the client asked for, if any
};

class ScriptedServer {
public:
    enum class Mode { Plain, Tls };

    explicit ScriptedServer(Mode mode = Mode::Plain);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    [[nodiscard]] int port() const { return port_; }

    // Replies are used in order; when none is left a request gets a 500.
    void script(std::vector<ScriptedReply> replies);
    void add(ScriptedReply reply);

    [[nodiscard]] std::vector<RecordedRequest> requests() const;
    [[nodiscard]] int acceptedConnections() const { return accepted_.load(); }
    // Waits until n requests arrived (or the time is up).
    bool waitForRequests(std::size_t n, int timeoutMs = 5000) const;

private:
    struct Stream;
    void acceptLoop();
    void serve(int fd, int number);
    ScriptedReply nextReply();
    bool stopping() const { return stop_.load(); }

    Mode mode_;
    int listenFd_ = -1;
    int port_ = 0;
    void* sslContext_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::deque<ScriptedReply> replies_;
    std::vector<RecordedRequest> requests_;
    std::vector<int> openFds_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// "HTTP/1.1 <status>\r\n" + header lines + "Content-Length" + body, the usual
// shape of a scripted reply.
[[nodiscard]] std::string reply(const std::string& status, const std::string& headers,
                                const std::string& body);

}  // namespace linkhaul::testing
