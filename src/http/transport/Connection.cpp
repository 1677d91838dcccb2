#include "http/transport/Connection.h"

#include <curl/curl.h>

#include "http/transport/Session.h"

namespace linkhaul::transport {

Connection::Connection(Session& session, std::string host, std::int32_t port)
    : session_(session), host_(std::move(host)), port_(port) {
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
}

Connection::~Connection() {
    // The multi handle's cache holds the live connection; cleaning it up
    // closes the socket.
    if (multi_ != nullptr) {
        curl_multi_cleanup(static_cast<CURLM*>(multi_));
    }
    if (easy_ != nullptr) {
        curl_easy_cleanup(static_cast<CURL*>(easy_));
    }
}

bool Connection::setCredentials(std::string user, std::string password) {
    if (user.find(':') != std::string::npos) {
        return false;
    }
    user_ = std::move(user);
    password_ = std::move(password);
    return true;
}

void Connection::setProxyCredentials(std::string user, std::string password) {
    proxyUser_ = std::move(user);
    proxyPassword_ = std::move(password);
}

}  // namespace linkhaul::transport
