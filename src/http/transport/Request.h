#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linkhaul::transport {

class Connection;

// Why a send failed. The first two are the connection errors a caller may
// retry; the rest end a send.
enum class SendError {
    None,
    CannotConnect,
    ConnectionReset,
    TimedOut,
    Aborted,
    Failed,
};

struct RequestFlags {
    bool secure = false;         // https
    bool noAutoRedirect = true;  // never follow Location in the transport
    bool noCookies = true;       // no transport cookie store
    bool ignoreCertErrors = false;
    bool decoding = false;  // decode gzip/deflate replies
};

// One request on a connection: verb, path, header lines as composed, a body.
// send() runs the whole exchange; the reply's header block and body are then
// held here. Only the headers added here go out, besides Host, User-Agent,
// credentials and Content-Length, which the protocol needs.
class Request {
public:
    // Body bytes kept per reply; a longer body marks the reply as too large.
    static constexpr std::int64_t MAX_BODY = 64LL * 1024 * 1024;
    static constexpr std::size_t MAX_HEADER_BLOCK = 1024 * 1024;

    Request(Connection& connection, std::string verb, std::string path, RequestFlags flags);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // One or more "Name:value" lines separated by CR LF, with the add/replace
    // modifiers (HeaderModifiers.h). False when nothing could be applied.
    bool addHeaders(std::string_view lines, std::uint32_t modifiers);
    [[nodiscard]] const std::vector<std::string>& headerLines() const { return lines_; }

    void setIgnoreCertErrors(bool on) { flags_.ignoreCertErrors = on; }
    void setDecoding(bool on) { flags_.decoding = on; }
    [[nodiscard]] const RequestFlags& flags() const { return flags_; }

    // True when a reply's headers arrived (even if its body was then cut).
    [[nodiscard]] bool send(std::string_view body);
    [[nodiscard]] SendError lastError() const { return error_; }
    [[nodiscard]] const std::string& errorText() const { return errorText_; }

    // Status line and header lines of the final reply, each ended by CR LF.
    [[nodiscard]] const std::string& headerBlock() const { return headerBlock_; }
    [[nodiscard]] std::int32_t statusCode() const;
    [[nodiscard]] std::string statusText() const;

    // Copies up to size body bytes. 0 at the end; -1 when the body is too
    // large or was cut by a broken connection (after its bytes were read).
    [[nodiscard]] std::int64_t read(char* destination, std::int64_t size);
    [[nodiscard]] bool bodyTooLarge() const { return tooLarge_; }

    // Called from curl's callbacks.
    std::size_t onHeader(const char* data, std::size_t size);
    std::size_t onBody(const char* data, std::size_t size);
    void onProgress(std::int64_t up, std::int64_t down);
    void onConnected();

private:
    void configure(std::string_view body, void* headerList, void* connectToList);

    Connection& connection_;
    std::string verb_;
    std::string path_;
    RequestFlags flags_;
    std::vector<std::string> lines_;
    SendError error_ = SendError::None;
    std::string errorText_;
    std::string headerBlock_;
    bool headersDone_ = false;
    bool inFinalReply_ = false;
    bool tooLarge_ = false;
    bool bodyCut_ = false;
    std::string body_;
    std::int64_t readOffset_ = 0;
    std::int64_t lastUp_ = 0;
    std::int64_t lastDown_ = 0;
    std::int64_t uploadSize_ = 0;
    bool progressed_ = false;
    bool connected_ = false;
};

}  // namespace linkhaul::transport
