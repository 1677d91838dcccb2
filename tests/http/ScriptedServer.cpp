#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <stdexcept>

namespace linkhaul::testing {
namespace {

// A fresh self-signed certificate for "localhost" on every server start.
SSL_CTX* makeTlsContext() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_sign(cert, key, EVP_sha256());
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx, cert);
    SSL_CTX_use_PrivateKey(ctx, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    return ctx;
}

void resetAndClose(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

std::size_t contentLengthOf(const std::string& head) {
    std::string lower = head;
    for (char& ch : lower) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    const std::size_t p = lower.find("\r\ncontent-length:");
    if (p == std::string::npos) {
        return 0;
    }
    return std::strtoull(lower.c_str() + p + 17, nullptr, 10);
}

}  // namespace

// A connection's byte stream, plain or TLS.
struct ScriptedServer::Stream {
    int fd;
    SSL* ssl = nullptr;
    const std::atomic<bool>& stop;

    ~Stream() {
        if (ssl != nullptr) {
            SSL_free(ssl);
        }
    }
    // Waits for readable data; false on stop or time-out.
    bool waitReadable() const {
        if (ssl != nullptr && SSL_pending(ssl) > 0) {
            return true;
        }
        pollfd p{fd, POLLIN, 0};
        while (!stop.load()) {
            const int ready = ::poll(&p, 1, 50);
            if (ready > 0) {
                return true;
            }
            if (ready < 0) {
                return false;
            }
        }
        return false;
    }
    // Appends what arrives; false on end of stream, error or stop.
    bool readSome(std::string& into) const {
        if (!waitReadable()) {
            return false;
        }
        char buffer[16384];
        const long got = ssl != nullptr ? SSL_read(ssl, buffer, sizeof buffer)
                                        : ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        into.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    bool writeAll(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size() && !stop.load()) {
            const long put =
                ssl != nullptr
                    ? SSL_write(ssl, bytes.data() + done, static_cast<int>(bytes.size() - done))
                    : ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (put <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(put);
        }
        return done == bytes.size();
    }
};

ScriptedServer::ScriptedServer(Mode mode) : mode_(mode) {
    std::signal(SIGPIPE, SIG_IGN);
    if (mode_ == Mode::Tls) {
        sslContext_ = makeTlsContext();
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        throw std::runtime_error("scripted server cannot listen on 127.0.0.1");
    }
    socklen_t length = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    stop_.store(true);
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (int fd : openFds_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    for (std::thread& worker : workers_) {
        worker.join();
    }
    ::close(listenFd_);
    if (sslContext_ != nullptr) {
        SSL_CTX_free(static_cast<SSL_CTX*>(sslContext_));
    }
}

void ScriptedServer::script(std::vector<ScriptedReply> replies) {
    std::lock_guard lock(mutex_);
    replies_.assign(replies.begin(), replies.end());
}

void ScriptedServer::add(ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(reply));
}

std::vector<RecordedRequest> ScriptedServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool ScriptedServer::waitForRequests(std::size_t n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= n; });
}

ScriptedReply ScriptedServer::nextReply() {
    std::lock_guard lock(mutex_);
    if (replies_.empty()) {
        return {reply("500 Unscripted", "", ""), After::Close};
    }
    ScriptedReply next = std::move(replies_.front());
    replies_.pop_front();
    return next;
}

void ScriptedServer::acceptLoop() {
    pollfd p{listenFd_, POLLIN, 0};
    while (!stopping()) {
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            continue;
        }
        const int number = ++accepted_;
        {
            std::lock_guard lock(mutex_);
            if (!replies_.empty() && replies_.front().resetOnAccept) {
                replies_.pop_front();
                resetAndClose(fd);
                continue;
            }
            openFds_.push_back(fd);
        }
        workers_.emplace_back([this, fd, number] { serve(fd, number); });
    }
}

void ScriptedServer::serve(int fd, int number) {
    {
        Stream stream{fd, nullptr, stop_};
        bool usable = true;
        std::string serverName;
        if (mode_ == Mode::Tls) {
            stream.ssl = SSL_new(static_cast<SSL_CTX*>(sslContext_));
            SSL_set_fd(stream.ssl, fd);
            usable = SSL_accept(stream.ssl) == 1;
            if (const char* name = SSL_get_servername(stream.ssl, TLSEXT_NAMETYPE_host_name)) {
                serverName = name;
            }
        }
        std::string in;
        bool reset = false;
        while (usable && !stopping()) {
            std::size_t headEnd;
            while ((headEnd = in.find("\r\n\r\n")) == std::string::npos) {
                if (!stream.readSome(in)) {
                    usable = false;
                    break;
                }
            }
            if (!usable) {
                break;
            }
            const std::size_t total = headEnd + 4 + contentLengthOf(in.substr(0, headEnd + 2));
            while (in.size() < total && (usable = stream.readSome(in))) {
            }
            if (!usable) {
                break;
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back({number, in.substr(0, total), serverName});
            }
            arrived_.notify_all();
            in.erase(0, total);

            const ScriptedReply answer = nextReply();
            if (answer.silent) {
                std::string ignored;
                while (stream.readSome(ignored)) {
                }
                break;
            }
            if (!stream.writeAll(answer.bytes) || answer.after == After::Close) {
                break;
            }
            if (answer.after == After::Reset) {
                reset = true;
                break;
            }
            if (answer.after == After::Endless) {
                const std::string chunk(65536, 'x');
                while (!stopping() && stream.writeAll(chunk)) {
                }
                break;
            }
        }
        if (stream.ssl != nullptr && usable && !reset) {
            SSL_shutdown(stream.ssl);
        }
        std::lock_guard lock(mutex_);
        std::erase(openFds_, fd);
        if (reset) {
            resetAndClose(fd);
        } else {
            ::close(fd);
        }
    }
}

std::string reply(const std::string& status, const std::string& headers, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace linkhaul::testing
