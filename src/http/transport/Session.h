#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/transport/AbortSignal.h"

namespace linkhaul::transport {

// Time-outs in milliseconds; 0 means no limit. send and receive bound the
// time without any progress while the request goes out or the reply comes in.
struct Timeouts {
    std::int32_t connectMs = 15000;
    std::int32_t sendMs = 120000;
    std::int32_t receiveMs = 300000;
};

// The root of all transfers: user agent, time-outs, proxy, connect-to mapping,
// the abort signal and the transport's own cookie store (used only when a
// request asks for automatic cookies).
class Session {
public:
    Session(std::string userAgent, std::shared_ptr<AbortSignal> abort);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    [[nodiscard]] const std::string& userAgent() const { return userAgent_; }
    void setTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }
    [[nodiscard]] const Timeouts& timeouts() const { return timeouts_; }
    // "" goes direct; proxy variables of the environment are never used.
    void setProxy(std::string address) { proxy_ = std::move(address); }
    [[nodiscard]] const std::string& proxy() const { return proxy_; }

    // Refuses (false, nothing changed) a malformed mapping.
    bool setConnectTo(std::string_view mapping);
    [[nodiscard]] const std::vector<std::string>& connectTo() const { return connectTo_; }
    // The same entries as the curl_slist* every request hands to curl, built
    // once per mapping rather than per send; nullptr when empty.
    [[nodiscard]] void* connectToList() const { return connectToList_; }

    [[nodiscard]] AbortSignal& abortSignal() { return *abort_; }

    // Puts name=value into the transport's cookie store for url's host.
    bool storeCookie(std::string_view url, std::string_view name, std::string_view value);
    // The CURLSH* of that store.
    [[nodiscard]] void* cookieShare() const { return cookieShare_; }

private:
    std::string userAgent_;
    std::shared_ptr<AbortSignal> abort_;
    Timeouts timeouts_;
    std::string proxy_;
    std::vector<std::string> connectTo_;
    void* connectToList_ = nullptr;
    void* cookieShare_ = nullptr;
};

}  // namespace linkhaul::transport
