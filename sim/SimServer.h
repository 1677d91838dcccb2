#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace linkhaul::sim {

// What a handler may learn about, and do to, the connection it is answering on.
struct Connection {
    std::uint64_t number = 0;
    std::string scheme;    // "http" or "https"
    std::string captured;  // the raw bytes of the current request, as read from the socket
    bool resetRequested = false;
};

// The lines of a raw request head without their line ends, up to the empty line that ends
// it: the request line first, then the header lines. Empty before a whole line has arrived.
[[nodiscard]] std::vector<std::string> headLines(const std::string& head);

// A header line as (name, value); the value is what follows the colon without leading blanks.
[[nodiscard]] std::pair<std::string, std::string> splitHeaderLine(const std::string& line);

// The header lines of a raw request head as (name, value) in arrival order. (cpp-httplib's own
// header map percent-decodes values, which would change cookie values such as "abc%3D".)
[[nodiscard]] std::vector<std::pair<std::string, std::string>> rawHeaders(const std::string& head);

// The connection the calling handler runs on; handlers run on their connection's thread.
[[nodiscard]] Connection* currentConnection();

// Asks for the connection to be reset (RST, no answer) once the handler returns.
void resetCurrentConnection();

// cpp-httplib's server with our own per-connection loop, so that we see the raw request
// bytes (header lines in arrival order), number the connections and can reset one.
// With a TLS context it speaks HTTPS.
class SimServer : public httplib::Server {
public:
    SimServer(std::string scheme, SSL_CTX* tls, std::atomic<std::uint64_t>& connectionCounter);

private:
    bool process_and_close_socket(socket_t sock) override;
    [[nodiscard]] bool waitForRequest(int fd, SSL* ssl, const std::string& buffered) const;
    // False once stop() was called. (is_running() stays true until every connection has
    // ended, so it cannot tell a connection to end.)
    [[nodiscard]] bool accepting() const { return svr_sock_ != INVALID_SOCKET; }

    std::string scheme_;
    SSL_CTX* tls_;
    std::atomic<std::uint64_t>& connectionCounter_;
};

}  // namespace linkhaul::sim
