#include "http/transport/Request.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "http/transport/Connection.h"
#include "http/transport/HeaderModifiers.h"
#include "http/transport/Session.h"

namespace linkhaul::transport {
namespace {

using Clock = std::chrono::steady_clock;

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::string_view nameOf(std::string_view line) {
    return line.substr(0, line.find(':'));
}

std::string_view valueOf(std::string_view line) {
    const std::size_t colon = line.find(':');
    std::string_view value =
        colon == std::string_view::npos ? std::string_view{} : line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    return value;
}

// Bytes that may not stand in a URL as they are; spaces and ANSI bytes in a
// composed path are sent percent-encoded.
std::string encodePath(std::string_view path) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (unsigned char ch : path) {
        if (ch <= 0x20 || ch >= 0x7F || ch == '"' || ch == '<' || ch == '>' || ch == '\\' ||
            ch == '^' || ch == '`' || ch == '{' || ch == '|' || ch == '}') {
            out.push_back('%');
            out.push_back(HEX[ch >> 4]);
            out.push_back(HEX[ch & 15]);
        } else {
            out.push_back(static_cast<char>(ch));
        }
    }
    return out;
}

std::size_t headerCallback(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<Request*>(self)->onHeader(data, size * count);
}

std::size_t bodyCallback(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<Request*>(self)->onBody(data, size * count);
}

int prereqCallback(void* self, char*, char*, int, int) {
    static_cast<Request*>(self)->onConnected();
    return CURL_PREREQFUNC_OK;
}

int progressCallback(void* self, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    static_cast<Request*>(self)->onProgress(up, down);
    return 0;
}

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const std::string& line) {
        if (curl_slist* grown = curl_slist_append(list, line.c_str()); grown != nullptr) {
            list = grown;
        }
    }
};

// The request's lines as curl must be given them, plus an empty entry for
// each header curl would otherwise add on its own.
void fillHeaderList(HeaderList& headers, const std::vector<std::string>& lines) {
    auto has = [&](std::string_view name) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return equalsNoCase(nameOf(l), name); });
    };
    for (const std::string& line : lines) {
        if (valueOf(line).empty()) {
            // curl drops "Name:" lines; "Name;" is its way to send a bare one.
            std::string bare(nameOf(line));
            bare.push_back(';');
            headers.add(bare);
        } else {
            headers.add(line);
        }
    }
    for (const char* name : {"Accept", "Expect", "Content-Type", "Accept-Encoding", "Connection",
                             "Proxy-Connection", "Transfer-Encoding"}) {
        if (!has(name)) {
            headers.add(std::string(name) + ":");
        }
    }
}

SendError classify(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
            return SendError::CannotConnect;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            return SendError::ConnectionReset;
        case CURLE_OPERATION_TIMEDOUT:
            return SendError::TimedOut;
        default:
            return SendError::Failed;
    }
}

}  // namespace

Request::Request(Connection& connection, std::string verb, std::string path, RequestFlags flags)
    : connection_(connection), verb_(std::move(verb)), path_(std::move(path)), flags_(flags) {}

Request::~Request() = default;

bool Request::addHeaders(std::string_view text, std::uint32_t modifiers) {
    bool applied = false;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
        if (line.empty()) {
            continue;
        }
        // A bare CR or LF would let a value start a header of its own.
        if (line.find_first_of("\r\n") != std::string_view::npos) {
            return false;
        }
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) {
            return false;
        }
        const std::string_view name = line.substr(0, colon);
        auto existing = std::find_if(lines_.begin(), lines_.end(), [&](const std::string& l) {
            return equalsNoCase(nameOf(l), name);
        });
        const bool present = existing != lines_.end();
        if ((modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) != 0) {
            if (present) {
                continue;
            }
            lines_.emplace_back(line);
        } else if ((modifiers & HTTP_ADDREQ_FLAG_REPLACE) != 0) {
            if (present) {
                if (valueOf(line).empty() && (modifiers & HTTP_ADDREQ_FLAG_ADD) == 0) {
                    lines_.erase(existing);
                } else {
                    *existing = line;
                }
            } else if ((modifiers & HTTP_ADDREQ_FLAG_ADD) != 0) {
                lines_.emplace_back(line);
            } else {
                continue;
            }
        } else {
            lines_.emplace_back(line);
        }
        applied = true;
    }
    return applied;
}

void Request::configure(std::string_view body, void* headerList, void* connectToList) {
    CURL* easy = static_cast<CURL*>(connection_.easy());
    const Session& session = connection_.session();
    curl_easy_reset(easy);

    std::string url = flags_.secure ? "https://" : "http://";
    const bool ipv6 = connection_.host().find(':') != std::string::npos;
    if (ipv6) {
        url.push_back('[');
    }
    url.append(connection_.host());
    if (ipv6) {
        url.push_back(']');
    }
    url.push_back(':');
    url.append(std::to_string(connection_.port())).append(encodePath(path_));
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, session.userAgent().c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(headerList));
    curl_easy_setopt(easy, CURLOPT_CONNECT_TO, static_cast<curl_slist*>(connectToList));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max(0, session.timeouts().connectMs)));

    // "" also keeps http_proxy and friends of the environment out.
    curl_easy_setopt(easy, CURLOPT_PROXY, session.proxy().c_str());
    if (!session.proxy().empty()) {
        curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        if (!connection_.proxyUser().empty()) {
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, connection_.proxyUser().c_str());
            curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, connection_.proxyPassword().c_str());
        }
    }
    if (!connection_.user().empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, connection_.user().c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, connection_.password().c_str());
    }

    // Name mismatches are always ignored; the rest only when asked.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, flags_.ignoreCertErrors ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_PROXY_SSL_VERIFYPEER, flags_.ignoreCertErrors ? 0L : 1L);
    if (flags_.decoding) {
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    }
    if (!flags_.noAutoRedirect) {
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 20L);
    }
    if (!flags_.noCookies && session.cookieShare() != nullptr) {
        curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(session.cookieShare()));
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    }

    const bool hasBody = !body.empty();
    if (verb_ == "POST" || hasBody) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
        if (verb_ != "POST") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str());
        }
    } else if (verb_ == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        if (verb_ != "GET") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str());
        }
    }
    uploadSize_ = static_cast<std::int64_t>(body.size());

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, headerCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, bodyCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, prereqCallback);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, progressCallback);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
}

bool Request::send(std::string_view body) {
    error_ = SendError::None;
    errorText_.clear();
    headerBlock_.clear();
    headersDone_ = false;
    inFinalReply_ = false;
    tooLarge_ = false;
    bodyCut_ = false;
    body_.clear();
    readOffset_ = 0;
    lastUp_ = lastDown_ = 0;
    progressed_ = false;
    connected_ = false;

    if (!connection_.valid()) {
        error_ = SendError::Failed;
        errorText_ = "no transfer handle";
        return false;
    }
    Session& session = connection_.session();
    AbortSignal& abort = session.abortSignal();
    if (abort.aborted()) {
        error_ = SendError::Aborted;
        errorText_ = "transfers aborted";
        return false;
    }

    HeaderList headers;
    fillHeaderList(headers, lines_);
    configure(body, headers.list, session.connectToList());

    CURL* easy = static_cast<CURL*>(connection_.easy());
    CURLM* multi = static_cast<CURLM*>(connection_.multi());
    const Timeouts timeouts = session.timeouts();
    // Until the connection stands only curl's connect time-out applies; the
    // idle clock starts when the request is about to go out.
    auto lastActivity = Clock::now();

    abort.attach(multi);
    curl_multi_add_handle(multi, easy);
    CURLcode result = CURLE_OK;
    bool finished = false;
    while (!finished) {
        if (abort.aborted()) {
            error_ = SendError::Aborted;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                finished = true;
            }
        }
        if (finished || running == 0) {
            break;
        }
        const auto now = Clock::now();
        if (!connected_) {
            lastActivity = now;
        }
        if (progressed_) {
            progressed_ = false;
            lastActivity = std::max(lastActivity, now);
        }
        const bool sending = lastUp_ < uploadSize_;
        const std::int32_t idleMs = sending ? timeouts.sendMs : timeouts.receiveMs;
        int waitMs = 1000;
        if (idleMs > 0) {
            const auto deadline = lastActivity + std::chrono::milliseconds(idleMs);
            if (now >= deadline) {
                error_ = SendError::TimedOut;
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            waitMs = static_cast<int>(std::clamp<long long>(left + 1, 1, 1000));
        }
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    abort.detach(multi);
    if (!flags_.noCookies) {
        // Drops the handle's cookie-file list, which curl_easy_reset keeps
        // and never releases; the shared store itself stays.
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, nullptr);
        curl_easy_setopt(easy, CURLOPT_SHARE, nullptr);
    }

    if (error_ == SendError::Aborted) {
        errorText_ = "transfer aborted";
        return false;
    }
    if (error_ == SendError::None && result != CURLE_OK) {
        error_ = classify(result);
        errorText_ = curl_easy_strerror(result);
    } else if (error_ == SendError::TimedOut) {
        errorText_ = "no progress within the time-out";
    }
    if (error_ != SendError::None && headersDone_) {
        // The reply's headers arrived; the cut only shortens its body.
        bodyCut_ = true;
        error_ = SendError::None;
    }
    return error_ == SendError::None;
}

std::size_t Request::onHeader(const char* data, std::size_t size) {
    progressed_ = true;
    std::string_view line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
        // Each status line starts a new reply (interim 1xx, redirect hops);
        // only the last one's headers are kept.
        headerBlock_.clear();
        headersDone_ = false;
        inFinalReply_ = true;
    }
    if (line.empty()) {
        if (inFinalReply_) {
            const std::int32_t code = statusCode();
            headersDone_ = code >= 200 || code == 0;
        }
        return size;
    }
    if (headerBlock_.size() + line.size() + 2 > MAX_HEADER_BLOCK) {
        errorText_ = "reply header block too large";
        return 0;
    }
    headerBlock_.append(line).append("\r\n");
    return size;
}

std::size_t Request::onBody(const char* data, std::size_t size) {
    progressed_ = true;
    if (static_cast<std::int64_t>(body_.size() + size) > MAX_BODY) {
        tooLarge_ = true;
        body_.clear();
        body_.shrink_to_fit();
        return CURL_WRITEFUNC_ERROR;
    }
    body_.append(data, size);
    return size;
}

void Request::onConnected() {
    connected_ = true;
    progressed_ = true;
}

void Request::onProgress(std::int64_t up, std::int64_t down) {
    if (up != lastUp_ || down != lastDown_) {
        lastUp_ = up;
        lastDown_ = down;
        progressed_ = true;
    }
}

std::int32_t Request::statusCode() const {
    const std::size_t blank = headerBlock_.find(' ');
    if (blank == std::string::npos || headerBlock_.compare(0, 5, "HTTP/") != 0) {
        return 0;
    }
    std::int32_t code = 0;
    for (std::size_t i = blank + 1; i < headerBlock_.size() && i < blank + 4; ++i) {
        const char ch = headerBlock_[i];
        if (ch < '0' || ch > '9') {
            break;
        }
        code = code * 10 + (ch - '0');
    }
    return code;
}

std::string Request::statusText() const {
    const std::size_t end = headerBlock_.find("\r\n");
    const std::string_view statusLine = std::string_view(headerBlock_).substr(0, end);
    std::size_t blank = statusLine.find(' ');
    if (blank == std::string_view::npos) {
        return {};
    }
    blank = statusLine.find(' ', blank + 1);
    return blank == std::string_view::npos ? std::string{}
                                           : std::string(statusLine.substr(blank + 1));
}

std::int64_t Request::read(char* destination, std::int64_t size) {
    if (tooLarge_) {
        return -1;
    }
    const std::int64_t available = static_cast<std::int64_t>(body_.size()) - readOffset_;
    if (available <= 0) {
        if (!body_.empty()) {
            body_.clear();
            body_.shrink_to_fit();
        }
        return bodyCut_ ? -1 : 0;
    }
    const std::int64_t count = std::min(available, size);
    std::memcpy(destination, body_.data() + readOffset_, static_cast<std::size_t>(count));
    readOffset_ += count;
    return count;
}

}  // namespace linkhaul::transport
