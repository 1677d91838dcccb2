#pragma once

// The one HTTP(S) client of the program: requests, its own redirect following,
// the reply body, a cookie jar kept as one text, the request headers and the
// options. All texts are ANSI bytes; reply text arrives as UTF-8 and is handed
// out converted (readBodyUtf8).
//
// One thread at a time drives a client. The only exception is
// abortTransfers()/resumeTransfers(), which any thread may call at any time.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "http/transport/HeaderModifiers.h"

namespace linkhaul {

namespace transport {
class Session;
class Connection;
class Request;
class AbortSignal;
}  // namespace transport

inline constexpr const char* DEFAULT_USER_AGENT =
    "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)";

// Option numbers for setOption (the original internet API's numbers).
inline constexpr std::int32_t INTERNET_OPTION_CONNECT_TIMEOUT = 2;
inline constexpr std::int32_t INTERNET_OPTION_SEND_TIMEOUT = 5;
inline constexpr std::int32_t INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
inline constexpr std::int32_t INTERNET_OPTION_USERNAME = 28;
inline constexpr std::int32_t INTERNET_OPTION_PASSWORD = 29;
inline constexpr std::int32_t INTERNET_OPTION_SECURITY_FLAGS = 31;
inline constexpr std::int32_t INTERNET_OPTION_PROXY_USERNAME = 43;
inline constexpr std::int32_t INTERNET_OPTION_PROXY_PASSWORD = 44;
inline constexpr std::int32_t INTERNET_OPTION_HTTP_DECODING = 65;

// Security flags that ignore every certificate error.
inline constexpr std::int32_t IGNORE_CERT_ERROR_FLAGS = 0x1F380;

// A reply body larger than this reads as empty bytes, so a hostile or broken
// server cannot exhaust memory.
inline constexpr std::int64_t MAX_BODY_BYTES = 64LL * 1024 * 1024;

struct TimeoutValues {
    std::int32_t connectMs;
    std::int32_t sendMs;
    std::int32_t receiveMs;
};

class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // --- life cycle -------------------------------------------------------
    // Opens the internet session (omitted agent: DEFAULT_USER_AGENT).
    void initialize(std::optional<std::string_view> userAgent = std::nullopt);
    // Drops request, connection and session; the jar and flags stay.
    void close();
    // Flags on, cookie mode 1, empty jar, default time-outs.
    void resetDefaults();
    void reinitialize(std::optional<std::string_view> userAgent = std::nullopt);

    // --- requests ---------------------------------------------------------
    // Normalises and splits url, reuses the connection while host and port
    // stay the same, and opens a new request. An empty verb means GET.
    [[nodiscard]] bool openRequest(std::string_view verb, std::string_view url);
    [[nodiscard]] bool openRequest(std::string_view url) { return openRequest({}, url); }
    // Sends the open request (an empty body sends none), retrying `retries`
    // times after a refused or reset connection, reads the reply headers,
    // merges cookies and follows redirects. True when a reply arrived.
    [[nodiscard]] bool sendText(std::string_view body = {}, bool keepExisting = false,
                                std::int32_t retries = 0);
    [[nodiscard]] bool sendBytes(std::string_view body = {}, bool keepExisting = false,
                                 std::int32_t retries = 0);

    // Internal steps of a send; callable from outside.
    bool readReplyHeaders(bool keepExisting = false);
    void followRedirect(bool keepExisting = false, std::int32_t retries = 0);
    void addDefaultHeaders(bool hasBody);
    void applyPendingOptions();

    // --- the reply --------------------------------------------------------
    // The whole body (at most MAX_BODY_BYTES; larger reads as empty). Read
    // from the network once per request, then served from the buffer.
    [[nodiscard]] std::string readBody();
    // The body as ANSI text, up to its first zero byte.
    [[nodiscard]] std::string readBodyText();
    // The body decoded from UTF-8 to ANSI; invalid sequences become U+FFFD's
    // ANSI form rather than emptying the text.
    [[nodiscard]] std::string readBodyUtf8();
    // 0 / "" before a reply's headers were read.
    [[nodiscard]] std::int32_t statusCode() const;
    [[nodiscard]] std::string statusText() const;
    // Status line and header lines, each ended by CR LF.
    [[nodiscard]] std::string replyHeaderBlock() const { return replyHeaders_; }
    [[nodiscard]] std::string replyHeader(std::string_view name) const;
    // The Location of the last reply; made absolute when absolute is true.
    [[nodiscard]] std::string redirectLocation(bool absolute = false) const;
    // Declared length of the reply: -1 none, 0 no reply headers read yet.
    [[nodiscard]] std::int64_t contentLength() const { return contentLength_; }

    // --- cookies ----------------------------------------------------------
    // 1 (own jar, own redirects) or 2 (the transport's store and redirects);
    // anything else means 1.
    void setCookieMode(std::int32_t mode = 1);
    void mergeReplyCookies(bool keepExisting = false);
    bool addCookieHeader();
    bool storePlatformCookies(std::string_view cookies);
    [[nodiscard]] std::string replyCookies() const;
    [[nodiscard]] std::string replyCookie(std::string_view name) const;
    bool setCookies(std::string_view cookies);
    // Replaces the jar ("a=1; b=2" or "; a=1; b=2; ") and returns the text.
    std::string cookieJarText(std::string_view jar);
    // The jar's entries without the outer "; ", e.g. "a=1; b=2".
    [[nodiscard]] std::string cookieJarText() const;
    // One cookie's value (or name=value); "" when absent. Matches whole names.
    [[nodiscard]] std::string jarCookie(std::string_view name, bool withName = false) const;
    bool addJarCookies(std::string_view cookies);
    bool deleteJarCookies(std::string_view names);
    // The raw jar text, "; " when empty.
    [[nodiscard]] const std::string& cookieJar() const { return cookieJar_; }

    // --- headers of the open request -------------------------------------
    // Adds name + ":" + value; omitted modifiers: add or replace.
    bool setHeader(std::string_view name, std::string_view value,
                   std::optional<std::uint32_t> modifiers = std::nullopt);
    bool removeHeader(std::string_view name);
    // Omitted values: DEFAULT_USER_AGENT, the current URL, "*/*", "zh-cn",
    // "application/x-www-form-urlencoded". A given value, even "", is used.
    bool setUserAgent(std::optional<std::string_view> value = std::nullopt);
    bool setReferer(std::optional<std::string_view> value = std::nullopt);
    bool setAccept(std::optional<std::string_view> value = std::nullopt);
    bool setAcceptLanguage(std::optional<std::string_view> value = std::nullopt);
    bool setContentType(std::optional<std::string_view> value = std::nullopt);
    bool setRequestedWith();
    // X-Forwarded-For, CLIENT_IP, VIA and REMOTE_ADDR, all carrying address.
    bool setClientAddress(std::string_view address);

    // --- options ----------------------------------------------------------
    void setAutoDefaultHeaders(bool on = true);
    void setFollowRedirects(bool follow = true);
    void setIgnoreCertErrors(bool on = true);
    void setHttpDecoding(bool on = true);
    // Omitted values take 15000, 120000, 300000 ms. A send or receive value of
    // 0 means no limit; a connect value of 0 leaves curl its own 300 s.
    bool setTimeouts(std::optional<std::int32_t> connectMs = std::nullopt,
                     std::optional<std::int32_t> sendMs = std::nullopt,
                     std::optional<std::int32_t> receiveMs = std::nullopt);
    // nullopt without a session.
    [[nodiscard]] std::optional<TimeoutValues> timeouts() const;
    // address "" goes direct; otherwise "host:port" of an HTTP proxy. The
    // credentials apply to the open request's connection at once, or, with no
    // request open, to the next send.
    bool setProxy(std::string_view address, std::string_view user = {},
                  std::string_view password = {});
    bool setServerCredentials(std::string_view user, std::string_view password);
    // target 1 = connection, 2 = request, else the session. Numeric options:
    // the time-outs, security flags, decoding.
    bool setOption(std::optional<std::int32_t> target, std::int32_t option, std::int32_t value);
    // Text options: user name / password, proxy user name / password.
    bool setOption(std::optional<std::int32_t> target, std::int32_t option, std::string_view value);

    // Sends connections for HOST:PORT to TARGET_HOST:TARGET_PORT, like curl's
    // --connect-to; the Host header and TLS server name keep the real host.
    // Comma-separated entries; "" clears. A malformed text is refused (false)
    // and changes nothing. The session starts from LINKHAUL_CONNECT_TO.
    bool setConnectTo(std::string_view mapping);
    [[nodiscard]] std::string connectTo() const;

    // Thread-safe: cancels every transfer in flight at once; the cancelled
    // send returns false promptly, and so does every later send until
    // resumeTransfers(). Used at shutdown.
    void abortTransfers();
    void resumeTransfers();

    // --- state of the current request ------------------------------------
    [[nodiscard]] const std::string& currentUrl() const { return currentUrl_; }
    [[nodiscard]] const std::string& currentScheme() const { return currentScheme_; }
    [[nodiscard]] const std::string& connectedHost() const { return connectedHost_; }
    [[nodiscard]] std::int32_t connectedPort() const { return connectedPort_; }
    [[nodiscard]] bool isPost() const { return isPost_; }
    [[nodiscard]] bool hasSession() const { return session_ != nullptr; }
    [[nodiscard]] bool hasConnection() const { return connection_ != nullptr; }
    [[nodiscard]] bool hasRequest() const { return request_ != nullptr; }

private:
    bool send(std::string_view body, bool keepExisting, std::int32_t retries);

    // Outlives sessions, so an abort issued between close() and initialize()
    // still holds.
    std::shared_ptr<transport::AbortSignal> abort_;

    std::unique_ptr<transport::Session> session_;
    std::unique_ptr<transport::Connection> connection_;
    std::unique_ptr<transport::Request> request_;
    std::string connectedHost_;
    std::int32_t connectedPort_ = 0;
    std::string currentUrl_;
    std::string currentScheme_;
    bool isPost_ = false;
    std::string bodyBuffer_;
    std::int64_t bodyLength_ = 0;
    std::int64_t contentLength_ = 0;
    std::string replyHeaders_;
    bool autoDefaultHeaders_ = true;
    std::int32_t cookieMode_ = 1;
    std::string cookieJar_ = "; ";
    bool redirectsOff_ = false;
    std::int32_t redirectCount_ = 0;
    bool proxyCredentialsPending_ = false;
    std::string proxyUser_;
    std::string proxyPassword_;
    bool httpDecoding_ = true;
    bool ignoreCertErrors_ = true;
    std::optional<std::string> connectToOverride_;
};

}  // namespace linkhaul
