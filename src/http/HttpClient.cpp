#include "http/HttpClient.h"

#include <algorithm>
#include <new>

#include "http/UrlParts.h"
#include "http/transport/AbortSignal.h"
#include "http/transport/ConnectTo.h"
#include "http/transport/Connection.h"
#include "http/transport/Request.h"
#include "http/transport/Session.h"
#include "platform/CodePage.h"

namespace linkhaul {

// The transport stops keeping a body at its own limit and marks the reply,
// which readBody turns into empty bytes; the two limits are one.
static_assert(MAX_BODY_BYTES == transport::Request::MAX_BODY);
namespace {

using transport::HTTP_ADDREQ_FLAG_ADD;
using transport::HTTP_ADDREQ_FLAG_ADD_IF_NEW;
using transport::HTTP_ADDREQ_FLAG_REPLACE;

constexpr std::uint32_t ADD_OR_REPLACE = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;
constexpr std::int64_t FIRST_BUFFER = 10240;
constexpr std::int64_t BODY_STEP = 10240;
constexpr std::int64_t BIG_STEP = 1048576;
constexpr int MAX_REDIRECTS = 20;

char lower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
}

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from = 0) {
    if (what.empty() || text.size() < what.size()) {
        return std::string_view::npos;
    }
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        std::size_t j = 0;
        while (j < what.size() && lower(text[i + j]) == lower(what[j])) {
            ++j;
        }
        if (j == what.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

// A header found at the start of a line of the block, so "Content-Location:"
// is never taken for "Location:".
std::size_t findHeaderNoCase(std::string_view block, std::string_view nameColon) {
    if (findNoCase(block.substr(0, nameColon.size()), nameColon) == 0) {
        return 0;
    }
    const std::string key = "\r\n" + std::string(nameColon);
    const std::size_t at = findNoCase(block, key);
    return at == std::string_view::npos ? at : at + 2;
}

// The rest of the header line whose key was found at keyAt (npos: not
// found); nullopt when the key is absent or its line has no CR LF.
std::optional<std::string_view> lineAfterKey(std::string_view block, std::size_t keyAt,
                                             std::size_t keySize) {
    if (keyAt == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t start = keyAt + keySize;
    const std::size_t end = block.find("\r\n", start);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return block.substr(start, end - start);
}

std::string_view trimLeading(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view trimBoth(std::string_view s) {
    s = trimLeading(s);
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// Decimal value after leading blanks up to the first non-digit, saturating.
std::int64_t leadingNumber(std::string_view text) {
    text = trimLeading(text);
    std::int64_t value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            break;
        }
        value = std::min<std::int64_t>(value * 10 + (ch - '0'), 1'000'000'000'000'000LL);
    }
    return value;
}

bool isDeletion(std::string_view cookie) {
    if (cookie.size() < 8) {
        return false;
    }
    const std::string_view tail = cookie.substr(cookie.size() - 8);
    return tail == "=deleted" || tail == "=DELETED" || tail == "=Deleted";
}

// Walks the "Set-Cookie:" lines of a header block, calling visit with each
// line's cookie text (up to its first ";", leading blanks removed). A line
// without CR LF ends the walk.
template <typename Visit>
void forEachSetCookie(std::string_view block, Visit visit) {
    constexpr std::string_view KEY = "Set-Cookie:";
    std::size_t from = 0;
    while (true) {
        const std::size_t p = findNoCase(block, KEY, from);
        const std::optional<std::string_view> line = lineAfterKey(block, p, KEY.size());
        if (!line) {
            return;
        }
        const std::string_view cookie = line->substr(0, line->find(';'));
        from = p + KEY.size() + cookie.size();
        visit(trimLeading(cookie));
    }
}

// Calls visit for each ";"-separated part with leading blanks removed.
template <typename Visit>
void forEachPart(std::string_view text, Visit visit) {
    while (true) {
        const std::size_t semi = text.find(';');
        visit(trimLeading(text.substr(0, semi)));
        if (semi == std::string_view::npos) {
            return;
        }
        text.remove_prefix(semi + 1);
    }
}

// Where the jar entry for nameEq ("name=") stands: from the "; " before it to
// the "; " after it (end npos when none follows). nullopt when absent.
struct JarEntry {
    std::size_t at;
    std::size_t end;
};

std::optional<JarEntry> findJarEntry(const std::string& jar, std::string_view nameEq) {
    const std::string key = "; " + std::string(nameEq);
    const std::size_t at = jar.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return JarEntry{at, jar.find("; ", at + key.size())};
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& ch : out) {
        if (ch >= 'a' && ch <= 'z') {
            ch = static_cast<char>(ch - 32);
        }
    }
    return out;
}

}  // namespace

HttpClient::HttpClient() : abort_(std::make_shared<transport::AbortSignal>()) {
    initialize();
    resetDefaults();
}

HttpClient::~HttpClient() {
    close();
}

// --- life cycle -----------------------------------------------------------

void HttpClient::initialize(std::optional<std::string_view> userAgent) {
    // A request or connection of an earlier session must not outlive it.
    request_.reset();
    connection_.reset();
    connectedHost_.clear();
    connectedPort_ = 0;
    session_ = std::make_unique<transport::Session>(
        std::string(userAgent.value_or(DEFAULT_USER_AGENT)), abort_);
    if (connectToOverride_) {
        (void)session_->setConnectTo(*connectToOverride_);
    }
    bodyBuffer_.assign(FIRST_BUFFER, '\0');
}

void HttpClient::close() {
    request_.reset();
    connection_.reset();
    session_.reset();
    bodyBuffer_.clear();
    bodyBuffer_.shrink_to_fit();
    bodyLength_ = 0;
    contentLength_ = 0;
    connectedPort_ = 0;
    redirectsOff_ = false;
    proxyCredentialsPending_ = false;
    replyHeaders_.clear();
    proxyUser_.clear();
    proxyPassword_.clear();
    connectedHost_.clear();
    currentUrl_.clear();
}

void HttpClient::resetDefaults() {
    autoDefaultHeaders_ = true;
    cookieMode_ = 1;
    httpDecoding_ = true;
    ignoreCertErrors_ = true;
    cookieJar_ = "; ";
    (void)setTimeouts();
}

void HttpClient::reinitialize(std::optional<std::string_view> userAgent) {
    close();
    initialize(userAgent);
    resetDefaults();
}

// --- requests -------------------------------------------------------------

bool HttpClient::openRequest(std::string_view verb, std::string_view url) {
    if (!session_) {
        return false;
    }
    currentUrl_ = normaliseUrl(url);
    UrlParts parts = splitUrl(currentUrl_);
    currentScheme_ = parts.scheme;
    bodyLength_ = 0;
    contentLength_ = 0;
    replyHeaders_.clear();
    request_.reset();

    if (!connection_ || parts.host != connectedHost_ || parts.port != connectedPort_) {
        connection_.reset();
        connectedHost_.clear();
        connectedPort_ = 0;
        if (parts.host.empty()) {
            return false;
        }
        auto fresh = std::make_unique<transport::Connection>(*session_, parts.host, parts.port);
        if (!fresh->valid()) {
            return false;
        }
        connection_ = std::move(fresh);
        connectedHost_ = parts.host;
        connectedPort_ = parts.port;
    }

    // An omitted verb (a redirect hop) is a GET and no longer a form post.
    const std::string method = verb.empty() ? std::string("GET") : upper(verb);
    if (autoDefaultHeaders_) {
        isPost_ = method == "POST";
    }

    transport::RequestFlags flags;
    flags.secure = currentScheme_ == "https://";
    flags.noAutoRedirect = cookieMode_ == 1 || redirectsOff_;
    flags.noCookies = cookieMode_ == 1;
    request_ = std::make_unique<transport::Request>(*connection_, method, parts.path, flags);
    return true;
}

bool HttpClient::sendText(std::string_view body, bool keepExisting, std::int32_t retries) {
    return send(body, keepExisting, retries);
}

bool HttpClient::sendBytes(std::string_view body, bool keepExisting, std::int32_t retries) {
    return send(body, keepExisting, retries);
}

bool HttpClient::send(std::string_view body, bool keepExisting, std::int32_t retries) {
    if (!request_) {
        return false;
    }
    applyPendingOptions();
    if (autoDefaultHeaders_) {
        addDefaultHeaders(!body.empty());
    }
    const std::int64_t attempts = std::int64_t{std::max(retries, 0)} + 1;
    bool sent = false;
    for (std::int64_t attempt = 0; attempt < attempts && !sent; ++attempt) {
        sent = request_->send(body);
        if (!sent) {
            const transport::SendError error = request_->lastError();
            if (error != transport::SendError::CannotConnect &&
                error != transport::SendError::ConnectionReset) {
                return false;
            }
        }
    }
    if (!sent) {
        return false;
    }
    (void)readReplyHeaders(keepExisting);
    followRedirect(keepExisting, retries);
    return true;
}

bool HttpClient::readReplyHeaders(bool keepExisting) {
    if (!request_ || request_->headerBlock().empty()) {
        contentLength_ = -1;
        return false;
    }
    replyHeaders_ = request_->headerBlock();
    constexpr std::string_view KEY = "Content-Length:";
    // The transport ends every header line with CR LF, so a found key always
    // has its line.
    const std::optional<std::string_view> value =
        lineAfterKey(replyHeaders_, findHeaderNoCase(replyHeaders_, KEY), KEY.size());
    const std::int64_t length = value ? leadingNumber(*value) : 0;
    contentLength_ = length == 0 ? -1 : length;
    if (cookieMode_ == 1) {
        mergeReplyCookies(keepExisting);
    }
    return true;
}

void HttpClient::followRedirect(bool keepExisting, std::int32_t retries) {
    if (cookieMode_ != 1 || redirectsOff_) {
        return;
    }
    const std::string location = redirectLocation(true);
    if (location.empty()) {
        redirectCount_ = 0;
        return;
    }
    if (++redirectCount_ > MAX_REDIRECTS) {
        redirectCount_ = 0;
        return;
    }
    if (openRequest({}, location)) {
        (void)sendText({}, keepExisting, retries);
    }
}

// --- the reply ------------------------------------------------------------

std::string HttpClient::readBody() {
    if (!request_ || contentLength_ == 0) {
        return {};
    }
    if (bodyLength_ != 0) {
        return bodyBuffer_.substr(0, static_cast<std::size_t>(bodyLength_));
    }
    if (request_->bodyTooLarge()) {
        return {};
    }
    std::int64_t size =
        contentLength_ == -1 ? FIRST_BUFFER : std::min<std::int64_t>(contentLength_, BIG_STEP);
    try {
        bodyBuffer_.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return {};
    }
    std::int64_t total = 0;
    std::int64_t got = request_->read(bodyBuffer_.data(), size);
    while (got > 0) {
        total += got;
        if (total > contentLength_ || contentLength_ == -1) {
            size = total + BODY_STEP;
        } else if (contentLength_ - got > BIG_STEP) {
            size = total + BIG_STEP;
        } else {
            size = contentLength_;
        }
        try {
            bodyBuffer_.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            break;
        }
        got = request_->read(bodyBuffer_.data() + total, size - total);
    }
    if (request_->bodyTooLarge()) {
        total = 0;
    }
    bodyLength_ = total;
    return bodyBuffer_.substr(0, static_cast<std::size_t>(total));
}

std::string HttpClient::readBodyText() {
    std::string body = readBody();
    if (const std::size_t zero = body.find('\0'); zero != std::string::npos) {
        body.resize(zero);
    }
    return body;
}

std::string HttpClient::readBodyUtf8() {
    const std::string body = readBody();
    if (body.empty()) {
        return {};
    }
    return platform::utf8ToAnsi(body);
}

std::int32_t HttpClient::statusCode() const {
    if (!request_ || contentLength_ == 0) {
        return 0;
    }
    return request_->statusCode();
}

std::string HttpClient::statusText() const {
    if (!request_ || contentLength_ == 0) {
        return {};
    }
    return request_->statusText();
}

std::string HttpClient::replyHeader(std::string_view name) const {
    if (replyHeaders_.empty() || name.empty()) {
        return {};
    }
    const std::string key = "\r\n" + std::string(name) + ":";
    const std::optional<std::string_view> value =
        lineAfterKey(replyHeaders_, findNoCase(replyHeaders_, key), key.size());
    return value ? std::string(trimLeading(*value)) : std::string{};
}

std::string HttpClient::redirectLocation(bool absolute) const {
    if (replyHeaders_.empty()) {
        return {};
    }
    constexpr std::string_view KEY = "Location:";
    const std::optional<std::string_view> raw =
        lineAfterKey(replyHeaders_, findHeaderNoCase(replyHeaders_, KEY), KEY.size());
    if (!raw) {
        return {};
    }
    const std::string value(trimBoth(*raw));
    if (value.empty() || !absolute) {
        return value;
    }
    if (value.front() == '/') {
        return currentScheme_ + connectedHost_ + ":" + std::to_string(connectedPort_) + value;
    }
    if (findNoCase(value.substr(0, 7), "http://") == 0 ||
        findNoCase(value.substr(0, 8), "https://") == 0) {
        return value;
    }
    // Relative: replace the last path segment. The "//" of the scheme is no
    // segment, so "http://host" gains a "/" first.
    const std::size_t hostStart = currentUrl_.find("://");
    const std::size_t q = currentUrl_.rfind('/');
    if (q == std::string::npos || (hostStart != std::string::npos && q < hostStart + 3)) {
        return currentUrl_ + "/" + value;
    }
    return currentUrl_.substr(0, q + 1) + value;
}

// --- cookies --------------------------------------------------------------

void HttpClient::setCookieMode(std::int32_t mode) {
    cookieMode_ = mode < 1 || mode > 2 ? 1 : mode;
}

void HttpClient::mergeReplyCookies(bool keepExisting) {
    forEachSetCookie(replyHeaders_, [&](std::string_view cookie) {
        const std::size_t k = cookie.find('=');
        if (k == std::string_view::npos) {
            return;
        }
        const std::optional<JarEntry> entry = findJarEntry(cookieJar_, cookie.substr(0, k + 1));
        if (!entry) {
            if (!isDeletion(cookie)) {
                cookieJar_.append(cookie).append("; ");
            }
            return;
        }
        if ((keepExisting && cookie.back() == '=') || entry->end == std::string::npos) {
            return;
        }
        if (isDeletion(cookie)) {
            if (!keepExisting) {
                cookieJar_.erase(entry->at, entry->end - entry->at);
            }
            return;
        }
        cookieJar_.replace(entry->at + 2, entry->end - (entry->at + 2), cookie);
    });
}

bool HttpClient::addCookieHeader() {
    if (!request_) {
        return false;
    }
    std::string line = "Cookie:";
    if (cookieJar_.size() > 4) {
        line.append(cookieJar_, 2, cookieJar_.size() - 4);
    }
    return request_->addHeaders(line, ADD_OR_REPLACE);
}

bool HttpClient::storePlatformCookies(std::string_view cookies) {
    if (cookies.empty() || !session_) {
        return false;
    }
    bool handedOn = false;
    forEachPart(cookies, [&](std::string_view part) {
        const std::size_t eq = part.find('=');
        if (eq != std::string_view::npos) {
            (void)session_->storeCookie(currentUrl_, part.substr(0, eq), part.substr(eq + 1));
            handedOn = true;
        }
    });
    return handedOn;
}

std::string HttpClient::replyCookies() const {
    std::string joined;
    forEachSetCookie(replyHeaders_, [&](std::string_view cookie) {
        if (cookie.find('=') == std::string_view::npos || isDeletion(cookie)) {
            return;
        }
        if (!joined.empty()) {
            joined += "; ";
        }
        joined += cookie;
    });
    return joined;
}

std::string HttpClient::replyCookie(std::string_view name) const {
    if (replyHeaders_.empty()) {
        return {};
    }
    std::string key = "Set-Cookie: " + std::string(name) + "=";
    std::size_t p = findNoCase(replyHeaders_, key);
    if (p == std::string::npos) {
        key = "Set-Cookie:" + std::string(name) + "=";
        p = findNoCase(replyHeaders_, key);
    }
    const std::optional<std::string_view> line = lineAfterKey(replyHeaders_, p, key.size());
    return line ? std::string(line->substr(0, line->find(';'))) : std::string{};
}

bool HttpClient::setCookies(std::string_view cookies) {
    if (cookieMode_ == 1) {
        return addJarCookies(cookies);
    }
    if (cookieMode_ == 2) {
        return storePlatformCookies(cookies);
    }
    return false;
}

std::string HttpClient::cookieJarText(std::string_view jar) {
    std::string text(jar);
    // Trailing blanks would leave the jar ending in " ;", where later
    // entries could no longer be found by name.
    while (!text.empty() && text.back() == ' ' && !text.ends_with("; ")) {
        text.pop_back();
    }
    if (!text.starts_with("; ")) {
        text.insert(0, "; ");
    }
    if (!text.ends_with("; ")) {
        const char last = text.back();
        if (last != ';') {
            text.push_back(';');
        }
        text.push_back(' ');
    }
    cookieJar_ = std::move(text);
    return std::string(jar);
}

std::string HttpClient::cookieJarText() const {
    return cookieJar_.size() > 4 ? cookieJar_.substr(2, cookieJar_.size() - 4) : std::string{};
}

std::string HttpClient::jarCookie(std::string_view name, bool withName) const {
    if (name.empty()) {
        return {};
    }
    // The whole name with its "=", so "BDCLND" never matches "BDCLNDX=".
    const std::string key = "; " + std::string(name) + "=";
    const std::size_t f = cookieJar_.find(key);
    if (f == std::string::npos) {
        return {};
    }
    const std::size_t a = f + 2;
    const std::size_t c = cookieJar_.find(';', a + name.size());
    if (c == std::string::npos) {
        return {};
    }
    if (withName) {
        return cookieJar_.substr(a, c - a);
    }
    const std::size_t valueStart = a + name.size() + 1;
    return cookieJar_.substr(valueStart, c - valueStart);
}

bool HttpClient::addJarCookies(std::string_view cookies) {
    if (cookies.empty()) {
        return false;
    }
    const std::string before = cookieJar_;
    forEachPart(cookies, [&](std::string_view part) {
        const std::size_t k = part.find('=');
        if (k == std::string_view::npos) {
            return;
        }
        const std::optional<JarEntry> entry = findJarEntry(cookieJar_, part.substr(0, k + 1));
        if (!entry) {
            cookieJar_.append(part).append("; ");
        } else if (entry->end != std::string::npos) {
            cookieJar_.replace(entry->at + 2, entry->end - (entry->at + 2), part);
        }
    });
    return cookieJar_ != before;
}

bool HttpClient::deleteJarCookies(std::string_view names) {
    if (names.empty()) {
        return false;
    }
    const std::string before = cookieJar_;
    forEachPart(names, [&](std::string_view part) {
        const std::string nameEq = std::string(part.substr(0, part.find('='))) + "=";
        const std::optional<JarEntry> entry = findJarEntry(cookieJar_, nameEq);
        if (entry && entry->end != std::string::npos) {
            cookieJar_.erase(entry->at, entry->end - entry->at);
        }
    });
    return cookieJar_ != before;
}

// --- headers --------------------------------------------------------------

void HttpClient::addDefaultHeaders(bool hasBody) {
    if (!request_) {
        return;
    }
    (void)request_->addHeaders("Accept:*/*", HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    (void)request_->addHeaders("Accept-Language:zh-cn", HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (isPost_ || hasBody) {
        (void)request_->addHeaders("Content-Type:application/x-www-form-urlencoded",
                                   HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    }
}

void HttpClient::applyPendingOptions() {
    if (proxyCredentialsPending_) {
        if (connection_) {
            connection_->setProxyCredentials(proxyUser_, proxyPassword_);
        }
        proxyCredentialsPending_ = false;
        proxyUser_.clear();
        proxyPassword_.clear();
    }
    if (!request_) {
        return;
    }
    if (ignoreCertErrors_) {
        request_->setIgnoreCertErrors(true);
    }
    if (httpDecoding_) {
        request_->setDecoding(true);
    }
    if (cookieMode_ == 1) {
        (void)addCookieHeader();
    }
}

bool HttpClient::setHeader(std::string_view name, std::string_view value,
                           std::optional<std::uint32_t> modifiers) {
    if (!request_ || name.empty()) {
        return false;
    }
    std::string line(name);
    line.append(":").append(value);
    return request_->addHeaders(line, modifiers.value_or(ADD_OR_REPLACE));
}

bool HttpClient::removeHeader(std::string_view name) {
    if (!request_ || name.empty()) {
        return false;
    }
    return request_->addHeaders(std::string(name) + ":", HTTP_ADDREQ_FLAG_REPLACE);
}

bool HttpClient::setUserAgent(std::optional<std::string_view> value) {
    return setHeader("User-Agent", value.value_or(DEFAULT_USER_AGENT));
}

bool HttpClient::setReferer(std::optional<std::string_view> value) {
    const std::string current = currentUrl_;
    return setHeader("Referer", value.value_or(current));
}

bool HttpClient::setAccept(std::optional<std::string_view> value) {
    return setHeader("Accept", value.value_or("*/*"));
}

bool HttpClient::setAcceptLanguage(std::optional<std::string_view> value) {
    return setHeader("Accept-Language", value.value_or("zh-cn"));
}

bool HttpClient::setContentType(std::optional<std::string_view> value) {
    return setHeader("Content-Type", value.value_or("application/x-www-form-urlencoded"));
}

bool HttpClient::setRequestedWith() {
    return setHeader("x-requested-with", "XMLHttpRequest");
}

bool HttpClient::setClientAddress(std::string_view address) {
    std::string lines(address);
    for (const char* name : {"CLIENT_IP:", "VIA:", "REMOTE_ADDR:"}) {
        lines.append("\r\n").append(name).append(address);
    }
    return setHeader("X-Forwarded-For", lines);
}

// --- options --------------------------------------------------------------

void HttpClient::setAutoDefaultHeaders(bool on) {
    autoDefaultHeaders_ = on;
}
void HttpClient::setFollowRedirects(bool follow) {
    redirectsOff_ = !follow;
}
void HttpClient::setIgnoreCertErrors(bool on) {
    ignoreCertErrors_ = on;
}
void HttpClient::setHttpDecoding(bool on) {
    httpDecoding_ = on;
}

bool HttpClient::setTimeouts(std::optional<std::int32_t> connectMs,
                             std::optional<std::int32_t> sendMs,
                             std::optional<std::int32_t> receiveMs) {
    if (!session_) {
        return false;
    }
    transport::Timeouts timeouts;
    timeouts.connectMs = connectMs.value_or(15000);
    timeouts.sendMs = sendMs.value_or(120000);
    timeouts.receiveMs = receiveMs.value_or(300000);
    session_->setTimeouts(timeouts);
    return true;
}

std::optional<TimeoutValues> HttpClient::timeouts() const {
    if (!session_) {
        return std::nullopt;
    }
    const transport::Timeouts& t = session_->timeouts();
    return TimeoutValues{t.connectMs, t.sendMs, t.receiveMs};
}

bool HttpClient::setProxy(std::string_view address, std::string_view user,
                          std::string_view password) {
    if (!session_) {
        return false;
    }
    if (address.empty()) {
        session_->setProxy({});
        return true;
    }
    if (request_ && connection_) {
        connection_->setProxyCredentials(std::string(user), std::string(password));
    } else {
        proxyUser_ = user;
        proxyPassword_ = password;
        proxyCredentialsPending_ = true;
    }
    session_->setProxy(std::string(address));
    return true;
}

bool HttpClient::setServerCredentials(std::string_view user, std::string_view password) {
    if (!connection_) {
        return false;
    }
    return connection_->setCredentials(std::string(user), std::string(password));
}

bool HttpClient::setOption(std::optional<std::int32_t> target, std::int32_t option,
                           std::int32_t value) {
    const std::int32_t where = target.value_or(0);
    if ((where == 1 && !connection_) || (where == 2 && !request_) ||
        (where != 1 && where != 2 && !session_)) {
        return false;
    }
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
        case INTERNET_OPTION_SEND_TIMEOUT:
        case INTERNET_OPTION_RECEIVE_TIMEOUT: {
            if (!session_) {
                return false;
            }
            transport::Timeouts timeouts = session_->timeouts();
            (option == INTERNET_OPTION_CONNECT_TIMEOUT ? timeouts.connectMs
             : option == INTERNET_OPTION_SEND_TIMEOUT  ? timeouts.sendMs
                                                       : timeouts.receiveMs) = value;
            session_->setTimeouts(timeouts);
            return true;
        }
        case INTERNET_OPTION_SECURITY_FLAGS:
            if (where != 2) {
                return false;
            }
            // The unknown-authority bit is what turns peer verification off.
            request_->setIgnoreCertErrors((value & 0x100) != 0);
            return true;
        case INTERNET_OPTION_HTTP_DECODING:
            if (where != 2) {
                return false;
            }
            request_->setDecoding(value != 0);
            return true;
        default:
            return false;
    }
}

bool HttpClient::setOption(std::optional<std::int32_t> target, std::int32_t option,
                           std::string_view value) {
    if (target.value_or(0) != 1 || !connection_) {
        return false;
    }
    switch (option) {
        case INTERNET_OPTION_USERNAME:
            if (value.find(':') != std::string_view::npos) {
                return false;
            }
            connection_->setUser(std::string(value));
            return true;
        case INTERNET_OPTION_PASSWORD:
            connection_->setPassword(std::string(value));
            return true;
        case INTERNET_OPTION_PROXY_USERNAME:
            connection_->setProxyUser(std::string(value));
            return true;
        case INTERNET_OPTION_PROXY_PASSWORD:
            connection_->setProxyPassword(std::string(value));
            return true;
        default:
            return false;
    }
}

bool HttpClient::setConnectTo(std::string_view mapping) {
    // The session parses the mapping itself; without one it is only checked.
    const bool accepted =
        session_ ? session_->setConnectTo(mapping) : transport::parseConnectTo(mapping).has_value();
    if (accepted) {
        connectToOverride_ = std::string(mapping);
    }
    return accepted;
}

std::string HttpClient::connectTo() const {
    std::string joined;
    if (session_) {
        for (const std::string& entry : session_->connectTo()) {
            if (!joined.empty()) {
                joined += ",";
            }
            joined += entry;
        }
    }
    return joined;
}

void HttpClient::abortTransfers() {
    abort_->abort();
}
void HttpClient::resumeTransfers() {
    abort_->resume();
}

}  // namespace linkhaul
