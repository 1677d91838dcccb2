#pragma once

#include <cstdint>
#include <string>

namespace linkhaul::transport {

class Session;

// One keep-alive connection to a host and port. It owns a curl easy handle
// and its own multi handle, whose connection cache holds the TCP (or TLS)
// connection between requests; destroying the Connection closes it.
class Connection {
public:
    Connection(Session& session, std::string host, std::int32_t port);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] bool valid() const { return easy_ != nullptr && multi_ != nullptr; }
    [[nodiscard]] const std::string& host() const { return host_; }
    [[nodiscard]] std::int32_t port() const { return port_; }
    [[nodiscard]] Session& session() const { return session_; }

    // Server (Basic) credentials; refused when the user name holds a colon,
    // which Basic authentication cannot carry.
    bool setCredentials(std::string user, std::string password);
    void setProxyCredentials(std::string user, std::string password);
    void setProxyUser(std::string user) { proxyUser_ = std::move(user); }
    void setProxyPassword(std::string password) { proxyPassword_ = std::move(password); }
    void setUser(std::string user) { user_ = std::move(user); }
    void setPassword(std::string password) { password_ = std::move(password); }
    [[nodiscard]] const std::string& user() const { return user_; }
    [[nodiscard]] const std::string& password() const { return password_; }
    [[nodiscard]] const std::string& proxyUser() const { return proxyUser_; }
    [[nodiscard]] const std::string& proxyPassword() const { return proxyPassword_; }

    // CURL* and CURLM*, opaque here so callers need no curl headers.
    [[nodiscard]] void* easy() const { return easy_; }
    [[nodiscard]] void* multi() const { return multi_; }

private:
    Session& session_;
    std::string host_;
    std::int32_t port_;
    std::string user_;
    std::string password_;
    std::string proxyUser_;
    std::string proxyPassword_;
    void* easy_ = nullptr;
    void* multi_ = nullptr;
};

}  // namespace linkhaul::transport
