#pragma once

#include <openssl/ssl.h>

#include <memory>

namespace linkhaul::sim {

struct SslContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using SslContext = std::unique_ptr<SSL_CTX, SslContextDeleter>;

// A TLS server context with a fresh self-signed certificate for the service's host names
// (made at every start, so no key material lives in the repository).
// Throws std::runtime_error when OpenSSL refuses.
[[nodiscard]] SslContext makeSelfSignedContext();

}  // namespace linkhaul::sim
