#include "SimServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>

namespace linkhaul::sim {
namespace {

thread_local Connection* activeConnection = nullptr;

void addressOf(int fd, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                  : getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (rc != 0 || address.ss_family != AF_INET)
        return;
    auto* in = reinterpret_cast<sockaddr_in*>(&address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
    ip = text;
    port = ntohs(in->sin_port);
}

bool pollFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

// A socket (or TLS) stream that keeps a small read buffer and records every byte it hands
// to the HTTP parser, and that swallows the reply once a reset was asked for.
class RecordingStream : public httplib::Stream {
public:
    RecordingStream(int fd, SSL* ssl, Connection& connection)
        : fd_(fd), ssl_(ssl), connection_(connection) {}

    bool is_readable() const override {
        return pos_ < buffer_.size() || (ssl_ && SSL_pending(ssl_) > 0) ||
               pollFor(fd_, POLLIN, 10'000);
    }
    bool is_writable() const override {
        return !connection_.resetRequested && pollFor(fd_, POLLOUT, 10'000);
    }

    ssize_t read(char* ptr, size_t size) override {
        if (pos_ >= buffer_.size() && !fill())
            return -1;
        size_t n = std::min(size, buffer_.size() - pos_);
        std::memcpy(ptr, buffer_.data() + pos_, n);
        connection_.captured.append(ptr, n);
        pos_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (connection_.resetRequested)
            return -1;
        if (ssl_) {
            int n = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
            return n > 0 ? n : -1;
        }
        ssize_t n;
        do {
            n = send(fd_, ptr, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        addressOf(fd_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        addressOf(fd_, false, ip, port);
    }
    socket_t socket() const override { return fd_; }

    [[nodiscard]] const std::string& buffered() const {
        static const std::string none;
        return pos_ < buffer_.size() ? buffer_ : none;
    }

private:
    bool fill() {
        buffer_.resize(16384);
        pos_ = 0;
        ssize_t n;
        if (ssl_) {
            if (SSL_pending(ssl_) == 0 && !pollFor(fd_, POLLIN, 10'000)) {
                buffer_.clear();
                return false;
            }
            n = SSL_read(ssl_, buffer_.data(), static_cast<int>(buffer_.size()));
        } else {
            if (!pollFor(fd_, POLLIN, 10'000)) {
                buffer_.clear();
                return false;
            }
            do {
                n = recv(fd_, buffer_.data(), buffer_.size(), 0);
            } while (n < 0 && errno == EINTR);
        }
        if (n <= 0) {
            buffer_.clear();
            return false;
        }
        buffer_.resize(static_cast<size_t>(n));
        return true;
    }

    int fd_;
    SSL* ssl_;
    Connection& connection_;
    std::string buffer_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> headLines(const std::string& head) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < head.size()) {
        size_t end = head.find('\n', pos);
        if (end == std::string::npos)
            break;
        std::string line = head.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() && !lines.empty())
            break;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::pair<std::string, std::string> splitHeaderLine(const std::string& line) {
    size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    size_t start = value.find_first_not_of(" \t");
    return {line.substr(0, colon), start == std::string::npos ? "" : value.substr(start)};
}

std::vector<std::pair<std::string, std::string>> rawHeaders(const std::string& head) {
    std::vector<std::string> lines = headLines(head);
    std::vector<std::pair<std::string, std::string>> headers;
    for (size_t i = 1; i < lines.size(); ++i)
        headers.push_back(splitHeaderLine(lines[i]));
    return headers;
}

Connection* currentConnection() {
    return activeConnection;
}

void resetCurrentConnection() {
    if (activeConnection)
        activeConnection->resetRequested = true;
}

SimServer::SimServer(std::string scheme, SSL_CTX* tls,
                     std::atomic<std::uint64_t>& connectionCounter)
    : scheme_(std::move(scheme)), tls_(tls), connectionCounter_(connectionCounter) {
    // Keep-alive connections hold a worker each; tests and the demo open a handful.
    new_task_queue = [] { return new httplib::ThreadPool(64); };
    set_keep_alive_max_count(1000);
    set_keep_alive_timeout(10);
    set_payload_max_length(16u << 20);
    // cpp-httplib's default also sets SO_REUSEPORT, which would let a second sim share a
    // fixed port with the first and take half its connections.
    set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
}

bool SimServer::waitForRequest(int fd, SSL* ssl, const std::string& buffered) const {
    // Poll in short slices so that stopping the server does not wait for idle clients.
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    while (accepting()) {
        if (!buffered.empty() || (ssl && SSL_pending(ssl) > 0) || pollFor(fd, POLLIN, 100))
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    }
    return false;
}

bool SimServer::process_and_close_socket(socket_t sock) {
    Connection connection;
    connection.number = ++connectionCounter_;
    connection.scheme = scheme_;
    timeval timeout{10, 0};
    // Without it every small reply waits out the peer's delayed acknowledgement
    // (about 40 ms a request on loopback).
    int noDelay = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));

    SSL* ssl = nullptr;
    if (tls_) {
        ssl = SSL_new(tls_);
        if (!ssl || SSL_set_fd(ssl, sock) != 1 || SSL_accept(ssl) != 1) {
            if (ssl)
                SSL_free(ssl);
            shutdown(sock, SHUT_RDWR);
            close(sock);
            return false;
        }
    }

    activeConnection = &connection;
    RecordingStream stream(sock, ssl, connection);
    bool ok = true;
    for (size_t served = 0; served < keep_alive_max_count_; ++served) {
        if (!waitForRequest(sock, ssl, stream.buffered()))
            break;
        connection.captured.clear();
        bool closed = false;
        bool last = served + 1 == keep_alive_max_count_ || !accepting();
        ok = process_request(stream, last, closed,
                             [ssl](httplib::Request& request) { request.ssl = ssl; });
        if (!ok || closed || connection.resetRequested)
            break;
    }
    activeConnection = nullptr;

    if (connection.resetRequested) {
        // A zero linger time makes close() send RST instead of FIN.
        linger hard{1, 0};
        setsockopt(sock, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    } else if (ssl) {
        SSL_shutdown(ssl);
    }
    if (ssl)
        SSL_free(ssl);
    if (!connection.resetRequested)
        shutdown(sock, SHUT_RDWR);
    close(sock);
    return ok;
}

}  // namespace linkhaul::sim
