#include "http/transport/Session.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "http/transport/ConnectTo.h"

namespace linkhaul::transport {
namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string hostOf(std::string_view url) {
    std::size_t start = url.find("://");
    start = start == std::string_view::npos ? 0 : start + 3;
    const std::size_t end = url.find_first_of(":/?#", start);
    return std::string(url.substr(start, end == std::string_view::npos ? end : end - start));
}

curl_slist* buildList(const std::vector<std::string>& entries) {
    curl_slist* list = nullptr;
    for (const std::string& entry : entries) {
        if (curl_slist* grown = curl_slist_append(list, entry.c_str()); grown != nullptr) {
            list = grown;
        }
    }
    return list;
}

}  // namespace

Session::Session(std::string userAgent, std::shared_ptr<AbortSignal> abort)
    : userAgent_(std::move(userAgent)), abort_(std::move(abort)) {
    initCurlOnce();
    if (!abort_) {
        abort_ = std::make_shared<AbortSignal>();
    }
    if (const char* mapping = std::getenv(CONNECT_TO_VARIABLE); mapping != nullptr) {
        if (!setConnectTo(mapping)) {
            std::fprintf(stderr,
                         "linkhaul: ignoring %s: expected comma-separated "
                         "HOST:PORT:TARGET_HOST:TARGET_PORT entries, got \"%s\"\n",
                         CONNECT_TO_VARIABLE, mapping);
        }
    }
    CURLSH* share = curl_share_init();
    if (share != nullptr) {
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        cookieShare_ = share;
    }
}

Session::~Session() {
    curl_slist_free_all(static_cast<curl_slist*>(connectToList_));
    if (cookieShare_ != nullptr) {
        curl_share_cleanup(static_cast<CURLSH*>(cookieShare_));
    }
}

bool Session::setConnectTo(std::string_view mapping) {
    auto entries = parseConnectTo(mapping);
    if (!entries) {
        return false;
    }
    connectTo_ = std::move(*entries);
    curl_slist_free_all(static_cast<curl_slist*>(connectToList_));
    connectToList_ = buildList(connectTo_);
    return true;
}

bool Session::storeCookie(std::string_view url, std::string_view name, std::string_view value) {
    if (cookieShare_ == nullptr || name.empty()) {
        return false;
    }
    CURL* easy = curl_easy_init();
    if (easy == nullptr) {
        return false;
    }
    // The shared store is the cookie engine here; a cookie file list would
    // only be released by a transfer this handle never makes.
    curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(cookieShare_));
    std::string line = "Set-Cookie: ";
    line.append(name).append("=").append(value).append("; domain=").append(hostOf(url));
    line.append("; path=/");
    const bool stored = curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
    curl_easy_cleanup(easy);
    return stored;
}

}  // namespace linkhaul::transport
