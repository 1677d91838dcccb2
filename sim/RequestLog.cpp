#include "RequestLog.h"

#include "SimServer.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace linkhaul::sim {
namespace {

using nlohmann::json;

bool validUtf8(const std::string& text) {
    try {
        (void)json(text).dump();
        return true;
    } catch (const json::exception&) {
        return false;
    }
}

std::string base64(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// Adds a text member; bytes that are not UTF-8 are kept exactly in a "<key>_base64" member.
void putText(json& record, const std::string& key, const std::string& text) {
    record[key] = text;  // invalid UTF-8 becomes U+FFFD when the line is written
    if (!validUtf8(text))
        record[key + "_base64"] = base64(text);
}

}  // namespace

RequestLog::RequestLog(const std::string& fileName) {
    // Appending lets a test truncate the file between cases while we keep writing.
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot open the request log " + fileName);
    file_ = fdopen(fd, "a");
    if (!file_) {
        ::close(fd);
        throw std::runtime_error("cannot open the request log " + fileName);
    }
}

RequestLog::~RequestLog() {
    if (file_)
        std::fclose(file_);
}

void RequestLog::write(const Connection& connection, const std::string& method,
                       const std::string& target, const std::string& body) {
    if (!file_)
        return;
    json record;
    record["connection"] = connection.number;
    record["scheme"] = connection.scheme;
    record["method"] = method;
    putText(record, "target", target);

    // Header lines exactly as they arrived, up to the empty line that ends the head.
    std::vector<std::string> head = headLines(connection.captured);
    json lines = json::array();
    json headers = json::array();
    if (!head.empty())
        putText(record, "request_line", head[0]);
    for (size_t i = 1; i < head.size(); ++i) {
        lines.push_back(head[i]);
        auto [name, value] = splitHeaderLine(head[i]);
        headers.push_back(json::array({name, value}));
    }
    record["header_lines"] = lines;
    record["headers"] = headers;
    putText(record, "body", body);

    std::string line = record.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    std::lock_guard<std::mutex> guard(mutex_);
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

}  // namespace linkhaul::sim
