#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace linkhaul::sim {

struct Connection;

// One JSON line per request received, flushed at once, so a test can read what a client
// sent as soon as the answer arrived.
class RequestLog {
public:
    RequestLog() = default;
    explicit RequestLog(const std::string& fileName);
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    [[nodiscard]] bool isOpen() const { return file_ != nullptr; }

    // The head is taken from connection.captured, the bytes read for the request; body: the
    // decoded body.
    void write(const Connection& connection, const std::string& method, const std::string& target,
               const std::string& body);

private:
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

}  // namespace linkhaul::sim
