#include "Certificate.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>
#include <string>

namespace linkhaul::sim {
namespace {

[[noreturn]] void openSslFailed(const char* what) {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof(text));
    throw std::runtime_error(std::string(what) + ": " + text);
}

struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ExtensionDeleter {
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, ExtensionDeleter> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1)
        openSslFailed("certificate extension");
}

}  // namespace

SslContext makeSelfSignedContext() {
    // An EC key is made in a millisecond, where RSA would slow every test's start.
    std::unique_ptr<EVP_PKEY, KeyDeleter> key(EVP_EC_gen("P-256"));
    if (!key)
        openSslFailed("key generation");
    std::unique_ptr<X509, X509Deleter> certificate(X509_new());
    if (!certificate)
        openSslFailed("certificate");
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -86400);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 86400L * 365);
    X509_set_pubkey(certificate.get(), key.get());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("pan.baidu.com"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("linkhaul-sim"), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    addExtension(certificate.get(), NID_subject_alt_name,
                 "DNS:pan.baidu.com,DNS:yun.baidu.com,DNS:*.baidu.com,DNS:d.pcs.baidu.com,"
                 "DNS:qdall01.baidupcs.com,DNS:*.baidupcs.com,DNS:localhost,IP:127.0.0.1");
    addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE");
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0)
        openSslFailed("certificate signature");

    SslContext context(SSL_CTX_new(TLS_server_method()));
    if (!context)
        openSslFailed("TLS context");
    SSL_CTX_set_options(context.get(), SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_mode(context.get(), SSL_MODE_AUTO_RETRY);
    if (SSL_CTX_use_certificate(context.get(), certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1)
        openSslFailed("TLS certificate");
    return context;
}

}  // namespace linkhaul::sim
