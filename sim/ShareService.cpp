#include "ShareService.h"

#include "CaptchaImage.h"
#include "Digest.h"
#include "RequestLog.h"
#include "SimServer.h"
#include "ZipWriter.h"

#include <nlohmann/json.hpp>

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <thread>

namespace linkhaul::sim {

using nlohmann::json;

namespace {

constexpr const char* WEB_HOSTS[] = {"pan.baidu.com", "yun.baidu.com"};
constexpr const char* DOWNLOAD_HOST = "d.pcs.baidu.com";
constexpr const char* DOWNLOAD_HOSTS[] = {"d.pcs.baidu.com", "qdall01.baidupcs.com"};
constexpr std::size_t MAX_PACKED_BYTES = 64u << 20;
constexpr std::size_t MAX_PACKED_MEMBERS = 60000;
constexpr std::size_t MAX_REMEMBERED = 100000;

enum class HostRole { web, download, any };

HostRole roleOf(const std::string& host) {
    for (const char* web : WEB_HOSTS) {
        if (host == web)
            return HostRole::web;
    }
    for (const char* download : DOWNLOAD_HOSTS) {
        if (host == download)
            return HostRole::download;
    }
    return HostRole::any;  // 127.0.0.1, localhost: a browser pointed straight at us
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Form and query decoding: "+" is a space, %XX a byte; a broken escape stays as it is.
std::string percentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string percentEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// key -> (raw value, decoded value); the first occurrence of a key wins.
struct Pairs {
    std::map<std::string, std::pair<std::string, std::string>> values;

    explicit Pairs(const std::string& text) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t end = text.find('&', pos);
            if (end == std::string::npos)
                end = text.size();
            std::string part = text.substr(pos, end - pos);
            std::size_t eq = part.find('=');
            std::string key = percentDecode(part.substr(0, eq));
            std::string raw = eq == std::string::npos ? "" : part.substr(eq + 1);
            if (!key.empty())
                values.emplace(key, std::make_pair(raw, percentDecode(raw)));
            pos = end + 1;
        }
    }

    [[nodiscard]] bool has(const std::string& key) const { return values.count(key) != 0; }
    [[nodiscard]] std::string get(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? "" : it->second.second;
    }
    [[nodiscard]] std::string raw(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? "" : it->second.first;
    }
};

bool parseInt(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 20)
        return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    for (std::size_t j = i; j < text.size(); ++j) {
        if (!std::isdigit(static_cast<unsigned char>(text[j])))
            return false;
    }
    try {
        value = std::stoll(text);
    } catch (...) {
        return false;
    }
    return true;
}

std::string dumpFor(const json& value, bool escapeUnicode, bool escapeSlashes) {
    std::string text = value.dump(-1, ' ', escapeUnicode, json::error_handler_t::replace);
    if (!escapeSlashes)
        return text;
    // "/" occurs only inside strings in JSON text, so this is the service's "\/" escaping.
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '/')
            out += "\\/";
        else
            out += c;
    }
    return out;
}

json entryJson(const CatalogueEntry& entry) {
    json item;
    item["fs_id"] = entry.fsId;
    item["server_filename"] = entry.name;
    item["parent_path"] = entry.parentPath;
    item["path"] = entry.path;
    item["server_mtime"] = entry.mtime;
    item["server_ctime"] = entry.mtime;
    item["local_mtime"] = entry.mtime;
    item["local_ctime"] = entry.mtime;
    item["size"] = entry.size;
    item["isdir"] = entry.isDir ? 1 : 0;
    item["category"] = entry.isDir ? 6 : 4;
    if (!entry.isDir)
        item["md5"] = hexDigest("md5:" + std::to_string(entry.fsId), 32);
    return item;
}

std::string htmlPage(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body>\n" + body + "\n</body></html>\n";
}

std::string dlinkSign(const Share& share, std::int64_t fsId) {
    return hexDigest("dlink:" + std::to_string(share.uk) + ":" + std::to_string(share.shareId) +
                         ":" + std::to_string(fsId),
                     32);
}

bool hasShareCookie(const Share& share) {
    Connection* connection = currentConnection();
    if (!connection)
        return false;
    for (const auto& [name, value] : rawHeaders(connection->captured)) {
        if (name.size() != 6 || strncasecmp(name.c_str(), "cookie", 6) != 0)
            continue;
        std::size_t pos = 0;
        while (pos < value.size()) {
            std::size_t end = value.find(';', pos);
            if (end == std::string::npos)
                end = value.size();
            std::string part = value.substr(pos, end - pos);
            std::size_t start = part.find_first_not_of(' ');
            if (start != std::string::npos && part.compare(start, 7, "BDCLND=") == 0 &&
                part.substr(start + 7) == share.cookie)
                return true;
            pos = end + 1;
        }
    }
    return false;
}

std::string httpDate(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof(text), "%a, %d-%b-%Y %H:%M:%S GMT", &parts);
    return text;
}

// The one range of a "Range: bytes=..." header, if it holds exactly one well-formed range.
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool satisfiable = true;
};

std::optional<ByteRange> requestedRange(const std::string& header, std::uint64_t size) {
    const std::string unit = "bytes=";
    if (header.compare(0, unit.size(), unit) != 0)
        return std::nullopt;
    std::string rangeText = header.substr(unit.size());
    rangeText.erase(std::remove(rangeText.begin(), rangeText.end(), ' '), rangeText.end());
    auto dash = rangeText.find('-');
    if (rangeText.find(',') != std::string::npos || dash == std::string::npos)
        return std::nullopt;  // several ranges: the whole body is a valid answer
    std::string from = rangeText.substr(0, dash);
    std::string to = rangeText.substr(dash + 1);
    auto number = [](const std::string& text, std::uint64_t& value) {
        if (text.empty() || text.size() > 19 ||
            text.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = std::stoull(text);
        return true;
    };
    ByteRange range;
    if (from.empty()) {
        std::uint64_t suffix = 0;
        if (!number(to, suffix))
            return std::nullopt;
        if (suffix == 0 || size == 0) {
            range.satisfiable = false;
            return range;
        }
        range.first = suffix >= size ? 0 : size - suffix;
        range.last = size - 1;
        return range;
    }
    if (!number(from, range.first))
        return std::nullopt;
    if (to.empty()) {
        range.last = size == 0 ? 0 : size - 1;
    } else if (!number(to, range.last) || range.last < range.first) {
        return std::nullopt;
    }
    if (range.first >= size) {
        range.satisfiable = false;
        return range;
    }
    range.last = std::min(range.last, size - 1);
    return range;
}

// Answers a download body of `size` bytes made by `fill`, honouring one Range.
void serveBytes(httplib::Response& response, std::uint64_t size, const std::string& contentType,
                std::function<void(std::uint64_t, char*, std::size_t)> fill) {
    std::string rangeHeader;
    if (Connection* connection = currentConnection()) {
        for (const auto& [name, value] : rawHeaders(connection->captured)) {
            if (strcasecmp(name.c_str(), "Range") == 0)
                rangeHeader = value;
        }
    }
    response.set_header("Accept-Ranges", "bytes");
    std::uint64_t first = 0;
    std::uint64_t length = size;
    if (auto range = requestedRange(rangeHeader, size)) {
        if (!range->satisfiable) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        first = range->first;
        length = range->last - range->first + 1;
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(range->first) + "-" +
                                                 std::to_string(range->last) + "/" +
                                                 std::to_string(size));
    }
    if (length == 0) {
        // cpp-httplib takes a zero-length provider for an endless chunked one.
        response.set_content("", contentType);
        return;
    }
    response.set_content_provider(
        static_cast<size_t>(length), contentType,
        [first, fill](size_t offset, size_t chunkLength, httplib::DataSink& sink) {
            char chunk[65536];
            size_t n = std::min(chunkLength, sizeof(chunk));
            fill(first + offset, chunk, n);
            return sink.write(chunk, n);
        });
}

}  // namespace

struct ShareService::Call {
    const httplib::Request& request;
    std::string host;  // lower case, without a port
    std::string endpoint;
    const Share* share = nullptr;
    Pairs query;
    Pairs form;

    Call(const httplib::Request& r, std::string h)
        : request(r), host(std::move(h)), query(queryOf(r.target)), form(r.body) {}

    static std::string queryOf(const std::string& target) {
        auto q = target.find('?');
        return q == std::string::npos ? "" : target.substr(q + 1);
    }

    [[nodiscard]] bool escapeUnicode() const { return share ? share->escapeUnicode : true; }
    [[nodiscard]] bool escapeSlashes() const { return share ? share->escapeSlashes : true; }
};

ShareService::ShareService(Catalogue catalogue, RequestLog& log)
    : catalogue_(std::move(catalogue)),
      log_(log),
      fixedAnswer_(catalogue_.captchaAnswer.value_or("")),
      requestIds_(8'300'000'000'000'000'000ull),
      tokenSeed_(
          std::random_device{}() ^
          static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())),
      faultHits_(catalogue_.faults.size(), 0),
      downloadRequests_(catalogue_.shares.size(), 0) {}

void ShareService::install(httplib::Server& server) {
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        dispatch(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Patch(".*", handler);
    server.Delete(".*", handler);
    server.Options(".*", handler);
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response,
                                    std::exception_ptr) {
        response.status = 500;
        response.set_content("{\"errno\":-1,\"err_msg\":\"internal error\"}", "application/json");
    });
}

std::string ShareService::answerOfToken(const std::string& token) {
    return token.size() >= 4 ? token.substr(token.size() - 4) : "";
}

std::uint64_t ShareService::nextRequestId() {
    return requestIds_.fetch_add(7919);
}

const Share* ShareService::shareById(const std::string& id) const {
    for (const auto& share : catalogue_.shares) {
        if (share.id == id)
            return &share;
    }
    return nullptr;
}

const Share* ShareService::shareByKeys(const std::string& uk, const std::string& shareId) const {
    std::int64_t ukValue = 0;
    std::int64_t shareValue = 0;
    if (!parseInt(uk, ukValue) || !parseInt(shareId, shareValue))
        return nullptr;
    for (const auto& share : catalogue_.shares) {
        if (share.uk == ukValue && share.shareId == shareValue)
            return &share;
    }
    return nullptr;
}

void ShareService::dispatch(const httplib::Request& request, httplib::Response& response) {
    if (Connection* connection = currentConnection())
        log_.write(*connection, request.method, request.target, request.body);

    // cpp-httplib 0.11 serves ranges past the end of a body (reading beyond it for a text
    // body), so no request reaches it with ranges; the download hosts answer Range themselves.
    // The request object is the server's own non-const one.
    const_cast<httplib::Request&>(request).ranges.clear();

    std::string host = request.get_header_value("Host");
    if (auto colon = host.find(':'); colon != std::string::npos)
        host.resize(colon);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    Call call(request, host);
    HostRole role = roleOf(host);
    bool web = role != HostRole::download;
    bool downloads = role != HostRole::web;
    const std::string& path = request.path;
    // cpp-httplib answers HEAD through the GET handlers and leaves out the body.
    const std::string method = request.method == "HEAD" ? "GET" : request.method;

    void (ShareService::*answer)(Call&, httplib::Response&) = nullptr;
    if (web && method == "GET" && path.rfind("/s/1", 0) == 0) {
        call.endpoint = "share_page";
        call.share = shareById(path.substr(4));
        answer = &ShareService::sharePage;
    } else if (web && method == "GET" && path == "/share/init") {
        call.endpoint = "share_init";
        call.share = shareById(call.query.get("surl"));
        answer = &ShareService::sharePage;
    } else if (web && method == "POST" && path == "/share/verify") {
        call.endpoint = "verify";
        call.share = shareById(call.query.get("surl"));
        answer = &ShareService::verify;
    } else if (web && method == "GET" && path == "/share/list") {
        call.endpoint = "list";
        call.share = shareByKeys(call.query.get("uk"), call.query.get("shareid"));
        answer = &ShareService::list;
    } else if (web && method == "GET" && path == "/api/getcaptcha") {
        call.endpoint = "getcaptcha";
        answer = &ShareService::getCaptcha;
    } else if (web && method == "GET" && path == "/genimage") {
        call.endpoint = "genimage";
        answer = &ShareService::genImage;
    } else if (web && method == "POST" && path == "/api/sharedownload") {
        call.endpoint = "sharedownload";
        call.share = shareByKeys(call.form.get("uk"), call.form.get("primaryid"));
        answer = &ShareService::shareDownload;
    } else if (downloads && method == "GET" && path.rfind("/file/", 0) == 0) {
        call.endpoint = "download";
        std::string fid = call.query.get("fid");
        call.share = shareByKeys(fid.substr(0, fid.find('-')), call.query.get("shareid"));
        answer = &ShareService::download;
    } else if (downloads && method == "GET" && path.rfind("/packed/", 0) == 0) {
        call.endpoint = "packed";
        answer = &ShareService::packed;
    } else {
        response.status = 404;
        response.set_content(htmlPage("404", "<p>页面不存在</p>"), "text/html; charset=utf-8");
        return;
    }

    if (!applyFaults(call, response))
        (this->*answer)(call, response);
}

bool ShareService::applyFaults(Call& call, httplib::Response& response) {
    for (std::size_t i = 0; i < catalogue_.faults.size(); ++i) {
        const Fault& fault = catalogue_.faults[i];
        if (fault.endpoint != "*" && fault.endpoint != call.endpoint)
            continue;
        if (fault.share && (!call.share || call.share->id != *fault.share))
            continue;
        int hit;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            hit = ++faultHits_[i];
        }
        if (hit <= fault.skip || (fault.times >= 0 && hit > fault.skip + fault.times))
            continue;

        bool json = call.endpoint != "share_page" && call.endpoint != "share_init" &&
                    call.endpoint != "genimage" && call.endpoint != "download" &&
                    call.endpoint != "packed";
        switch (fault.kind) {
            case FaultKind::delay:
                for (int waited = 0; waited < fault.delayMs && !stopping_; waited += 20)
                    std::this_thread::sleep_for(
                        std::chrono::milliseconds(std::min(20, fault.delayMs - waited)));
                continue;  // then answer as usual, or with a later fault
            case FaultKind::reset:
                resetCurrentConnection();
                return true;
            case FaultKind::status:
                response.status = fault.status;
                response.set_content("{\"errno\":-1,\"err_msg\":\"injected status\"}",
                                     "application/json");
                return true;
            case FaultKind::redirectLoop: {
                std::string here = call.request.target;
                response.set_redirect(here, 302);
                return true;
            }
            case FaultKind::malformed:
                if (json) {
                    response.set_content("{\"errno\":0,\"request_id\":1,\"list\":[{\"fs_id\":",
                                         "application/json");
                } else if (call.endpoint == "genimage") {
                    response.set_content("this is not a picture", "image/png");
                } else if (call.endpoint == "download" || call.endpoint == "packed") {
                    // A body cut short: the length promises more than ever arrives.
                    response.set_content_provider(
                        4096, "application/octet-stream",
                        [](size_t offset, size_t, httplib::DataSink& sink) {
                            if (offset > 0)
                                return false;
                            std::string half(1000, 'x');
                            sink.write(half.data(), half.size());
                            return true;
                        });
                } else {
                    response.set_content(
                        htmlPage("broken",
                                 "<script>yunData.setData({\"uk\":1,\"file_list\":{"
                                 "\"list\":[{\"fs_id\":);</script>"),
                        "text/html; charset=utf-8");
                }
                return true;
            case FaultKind::oversized: {
                std::uint64_t total = fault.oversizedBytes;
                std::string head = json ? "{\"errno\":0,\"pad\":\"" : "<!DOCTYPE html><!--";
                std::string tail = json ? "\"}" : "-->";
                if (total < head.size() + tail.size())
                    total = head.size() + tail.size();
                response.set_content_provider(
                    total, json ? "application/json" : "text/html; charset=utf-8",
                    [head, tail, total](size_t offset, size_t length, httplib::DataSink& sink) {
                        std::string chunk(std::min<size_t>(length, 65536), ' ');
                        for (size_t k = 0; k < chunk.size(); ++k) {
                            std::uint64_t at = offset + k;
                            if (at < head.size())
                                chunk[k] = head[at];
                            else if (at >= total - tail.size())
                                chunk[k] = tail[at - (total - tail.size())];
                        }
                        return sink.write(chunk.data(), chunk.size());
                    });
                return true;
            }
        }
    }
    return false;
}

void ShareService::sharePage(Call& call, httplib::Response& response) {
    const std::string html = "text/html; charset=utf-8";
    const Share* share = call.share;
    if (!share || share->state == ShareState::linkMissing) {
        response.set_content(
            htmlPage("百度网盘-链接不存在",
                     "<div class=\"error\">啊哦，你来晚了，分享的文件已经被删除了，"
                     "下次要早点哟。</div><p>链接不存在</p>"),
            html);
        return;
    }
    if (share->state == ShareState::pageMissing) {
        response.set_content(htmlPage("百度网盘-页面不存在",
                                      "<div class=\"error\">啊哦，你所访问的页面不存在了。</div>"),
                             html);
        return;
    }
    // A short link sends a visitor without the share's cookie to the code page first.
    bool hasCookie = hasShareCookie(*share);
    if (call.endpoint == "share_page" && share->shortLink && !hasCookie) {
        response.set_redirect("/share/init?surl=" + share->id, 302);
        return;
    }
    if (share->code && !hasCookie) {
        response.set_content(
            htmlPage("百度网盘 请输入提取码",
                     "<div class=\"verify-form\"><label>请输入提取密码：</label>"
                     "<input id=\"accessCode\" maxlength=\"4\"><a id=\"submitBtn\">提取文件</a>"
                     "</div>"),
            html);
        return;
    }

    json list = json::array();
    for (std::size_t index : share->entries[0].children)
        list.push_back(entryJson(share->entries[index]));
    json data;
    data["uk"] = share->uk;
    data["share_uk"] = std::to_string(share->uk);
    data["shareid"] = share->shareId;
    data["sign"] = share->sign;
    data["timestamp"] = share->timestamp;
    data["bdstoken"] = share->bdstoken;
    data["surl"] = share->id;
    data["file_list"] = {{"errno", 0}, {"list", list}};
    std::string title = share->entries[0].children.empty()
                            ? std::string("百度网盘")
                            : share->entries[share->entries[0].children[0]].name + "_免费高速下载";
    response.set_content(
        htmlPage(title,
                 "<div id=\"layoutMain\"></div>\n<script type=\"text/javascript\">\n"
                 "window.yunData = window.yunData || {};\nyunData.setData(" +
                     dumpFor(data, share->escapeUnicode, share->escapeSlashes) + ");\n</script>"),
        html);
}

void ShareService::verify(Call& call, httplib::Response& response) {
    json answer;
    answer["request_id"] = nextRequestId();
    answer["err_msg"] = "";
    const Share* share = call.share;
    std::string pwd = call.form.get("pwd");
    if (!share || share->state != ShareState::ok) {
        answer["errno"] = 2;
        answer["err_msg"] = "unknown surl";
    } else if (share->code && pwd.empty()) {
        answer["errno"] = -12;
    } else if (share->code && pwd != *share->code) {
        answer["errno"] = -9;
    } else {
        answer["errno"] = 0;
        answer["randsk"] = share->cookie;
        response.set_header("Set-Cookie", "BDCLND=" + share->cookie +
                                              "; expires=" + httpDate(std::time(nullptr) + 86400) +
                                              "; path=/; domain=.baidu.com");
    }
    response.set_content(dumpFor(answer, call.escapeUnicode(), call.escapeSlashes()),
                         "application/json");
}

void ShareService::list(Call& call, httplib::Response& response) {
    json answer;
    answer["request_id"] = nextRequestId();
    const Share* share = call.share;
    std::int64_t page = 1;
    std::int64_t num = 100;
    bool pageOk = !call.query.has("page") || parseInt(call.query.get("page"), page);
    bool numOk = !call.query.has("num") || parseInt(call.query.get("num"), num);
    std::string dir = call.query.get("dir");
    auto folder = share ? share->byPath.find(dir.empty() ? share->root : dir)
                        : std::map<std::string, std::size_t>::const_iterator();
    if (share && folder == share->byPath.end() && dir == "/")
        folder = share->byPath.find(share->root);

    if (!share || share->state != ShareState::ok) {
        answer["errno"] = -7;
    } else if (!pageOk || !numOk || page < 1 || num < 1) {
        answer["errno"] = 2;
        answer["err_msg"] = "page and num must be positive integers";
    } else if (share->code && !hasShareCookie(*share)) {
        answer["errno"] = -11;
    } else if (folder == share->byPath.end()) {
        answer["errno"] = -3;
    } else {
        num = std::min<std::int64_t>(num, 1000);
        const auto& children = share->entries[folder->second].children;
        json list = json::array();
        // Pages past the end are empty; tested by division so that no product overflows.
        std::uint64_t perPage = static_cast<std::uint64_t>(num);
        std::uint64_t before = static_cast<std::uint64_t>(page - 1);
        if (before <= children.size() / perPage) {
            std::uint64_t first = before * perPage;
            for (std::uint64_t k = first; k < children.size() && k < first + perPage; ++k)
                list.push_back(entryJson(share->entries[children[k]]));
        }
        answer["errno"] = 0;
        answer["list"] = list;
        answer["server_time"] = static_cast<std::int64_t>(std::time(nullptr));
    }
    response.set_content(dumpFor(answer, call.escapeUnicode(), call.escapeSlashes()),
                         "application/json");
}

void ShareService::getCaptcha(Call& call, httplib::Response& response) {
    static const char hex[] = "0123456789ABCDEF";
    std::uint64_t n = ++tokenCounter_;
    std::uint64_t a = mix64(tokenSeed_ + n);
    std::uint64_t b = mix64(a ^ n);
    std::string token;
    for (int i = 0; i < 16; ++i)
        token += hex[(a >> (4 * i)) & 15];
    for (int i = 0; i < 16; ++i)
        token += hex[(b >> (4 * i)) & 15];
    std::string answer = fixedAnswer_;
    if (answer.empty()) {
        std::uint64_t c = mix64(b + 1);
        for (int i = 0; i < 4; ++i)
            answer += CAPTCHA_ALPHABET[(c >> (5 * i)) & 31];
    }
    token += answer;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        issuedTokens_[token] = true;
        tokenOrder_.push_back(token);
        if (tokenOrder_.size() > MAX_REMEMBERED) {
            issuedTokens_.erase(tokenOrder_.front());
            tokenOrder_.pop_front();
        }
    }
    std::string host = call.request.get_header_value("Host");
    if (host.empty())
        host = WEB_HOSTS[0];
    json reply;
    reply["errno"] = 0;
    reply["request_id"] = nextRequestId();
    reply["vcode_str"] = token;
    reply["vcode_img"] = "http://" + host + "/genimage?" + token;
    response.set_content(dumpFor(reply, true, true), "application/json");
}

void ShareService::genImage(Call& call, httplib::Response& response) {
    std::string token = Call::queryOf(call.request.target);
    if (token.size() != 36 || !validCaptchaAnswer(answerOfToken(token))) {
        response.status = 404;
        return;
    }
    response.set_content(drawCaptchaPng(answerOfToken(token), hashText(token)), "image/png");
}

bool ShareService::takeCaptcha(const std::string& token, const std::string& input) {
    std::string upper = input;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = issuedTokens_.find(token);
    if (it == issuedTokens_.end() || !it->second || upper != answerOfToken(token))
        return false;
    it->second = false;  // one picture, one use
    return true;
}

void ShareService::shareDownload(Call& call, httplib::Response& response) {
    json answer;
    answer["request_id"] = nextRequestId();
    auto reply = [&](int errnoValue, const char* message) {
        answer["errno"] = errnoValue;
        if (message)
            answer["err_msg"] = message;
        response.set_content(dumpFor(answer, call.escapeUnicode(), call.escapeSlashes()),
                             "application/json");
    };
    const Share* share = call.share;
    if (!call.form.has("uk") || !call.form.has("primaryid") || !call.form.has("fid_list"))
        return reply(2, "uk, primaryid and fid_list are required");
    if (!share || share->state != ShareState::ok)
        return reply(-7, nullptr);
    std::int64_t timestamp = 0;
    if (call.query.get("sign") != share->sign ||
        !parseInt(call.query.get("timestamp"), timestamp) || timestamp != share->timestamp)
        return reply(112, "sign or timestamp differ from the share page");
    if (share->code) {
        // "extra" travels unencoded; accept it decoded too, as a lenient server would.
        bool sekeyOk = false;
        for (const std::string& text : {call.form.raw("extra"), call.form.get("extra")}) {
            json extra = json::parse(text, nullptr, false);
            if (extra.is_object() && extra.contains("sekey") && extra["sekey"].is_string()) {
                std::string sekey = extra["sekey"].get<std::string>();
                if (sekey == share->cookie || sekey == percentDecode(share->cookie))
                    sekeyOk = true;
            }
        }
        if (!sekeyOk)
            return reply(-11, "extra must be {\"sekey\": BDCLND}");
    }
    json ids = json::parse(call.form.get("fid_list"), nullptr, false);
    if (!ids.is_array() || ids.empty())
        return reply(2, "fid_list must be a non-empty JSON array of file ids");
    if (ids.size() > 999)
        return reply(-33, nullptr);
    std::vector<std::size_t> entries;
    for (const auto& id : ids) {
        if (!id.is_number_integer())
            return reply(2, "fid_list must hold integers");
        std::int64_t fsId = id.is_number_unsigned()
                                ? static_cast<std::int64_t>(id.get<std::uint64_t>())
                                : id.get<std::int64_t>();
        auto it = share->byFsId.find(fsId);
        if (it == share->byFsId.end())
            return reply(-3, nullptr);
        entries.push_back(it->second);
    }
    bool batch = call.form.get("type") == "batch";
    if (!batch) {
        for (std::size_t index : entries) {
            if (share->entries[index].isDir)
                return reply(2, "a folder can only be fetched packed (type=batch)");
        }
    }

    std::size_t shareIndex = static_cast<std::size_t>(share - catalogue_.shares.data());
    bool captchaNeeded;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        int count = ++downloadRequests_[shareIndex];
        captchaNeeded =
            share->captcha == CaptchaPolicy::always ||
            (share->captcha == CaptchaPolicy::afterCount && count > share->captchaAfter);
    }
    if (captchaNeeded && !takeCaptcha(call.form.get("vcode_str"), call.form.get("vcode_input")))
        return reply(-20, nullptr);

    std::string prefix = std::string("http://") + DOWNLOAD_HOST;
    if (batch) {
        // Sizes first: a pack is built in memory when it is fetched.
        std::uint64_t total = 0;
        std::size_t members = 0;
        std::vector<std::size_t> pending(entries);
        while (!pending.empty()) {
            const CatalogueEntry& entry = share->entries[pending.back()];
            pending.pop_back();
            total += static_cast<std::uint64_t>(entry.size);
            ++members;
            pending.insert(pending.end(), entry.children.begin(), entry.children.end());
        }
        if (total > MAX_PACKED_BYTES || members > MAX_PACKED_MEMBERS)
            return reply(2, "the simulator packs at most 64 MiB and 60000 entries");
        std::vector<std::int64_t> fsIds;
        for (std::size_t index : entries)
            fsIds.push_back(share->entries[index].fsId);
        std::string token = hexDigest("pack:" + std::to_string(nextRequestId()), 32);
        {
            std::lock_guard<std::mutex> guard(mutex_);
            packs_[token] = {shareIndex, fsIds};
            packOrder_.push_back(token);
            if (packOrder_.size() > 1000) {
                packs_.erase(packOrder_.front());
                packOrder_.pop_front();
            }
        }
        answer["dlink"] = prefix + "/packed/" + token +
                          ".zip?shareid=" + std::to_string(share->shareId) +
                          "&uk=" + std::to_string(share->uk);
        return reply(0, nullptr);
    }
    json list = json::array();
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    for (std::size_t index : entries) {
        const CatalogueEntry& entry = share->entries[index];
        std::string fid = std::to_string(share->uk) + "-250528-" + std::to_string(entry.fsId);
        json item;
        item["fs_id"] = entry.fsId;
        item["server_filename"] = entry.name;
        item["size"] = entry.size;
        item["dlink"] =
            prefix + "/file/" + hexDigest("md5:" + std::to_string(entry.fsId), 32) + "?fid=" + fid +
            "&dstime=" + std::to_string(now) + "&rt=sh&sign=" + dlinkSign(*share, entry.fsId) +
            "&expires=8h&chkv=1&chkbd=0&chkpc=&shareid=" + std::to_string(share->shareId) +
            "&r=" + std::to_string(nextRequestId() % 1000000000);
        list.push_back(item);
    }
    answer["list"] = list;
    reply(0, nullptr);
}

void ShareService::download(Call& call, httplib::Response& response) {
    auto refuse = [&](int status, int code, const char* message) {
        response.status = status;
        json body = {{"error_code", code}, {"error_msg", message}};
        response.set_content(body.dump(), "application/json");
    };
    const Share* share = call.share;
    std::string fid = call.query.get("fid");
    std::int64_t fsId = 0;
    auto dash = fid.rfind('-');
    if (!share || dash == std::string::npos || !parseInt(fid.substr(dash + 1), fsId))
        return refuse(404, 31066, "file does not exist");
    auto it = share->byFsId.find(fsId);
    if (it == share->byFsId.end() || share->entries[it->second].isDir)
        return refuse(404, 31066, "file does not exist");
    if (call.query.get("sign") != dlinkSign(*share, fsId))
        return refuse(403, 31326, "the address is not signed for this file");
    const CatalogueEntry& entry = share->entries[it->second];
    response.set_header("Content-Disposition",
                        "attachment;filename=\"" + percentEncode(entry.name) + "\"");
    response.set_header("Content-MD5", hexDigest("md5:" + std::to_string(fsId), 32));
    serveBytes(response, static_cast<std::uint64_t>(entry.size), "application/octet-stream",
               [fsId](std::uint64_t offset, char* out, std::size_t n) {
                   fillContent(fsId, offset, out, n);
               });
}

void ShareService::packed(Call& call, httplib::Response& response) {
    std::string name = call.request.path.substr(std::strlen("/packed/"));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0)
        name.resize(name.size() - 4);
    std::pair<std::size_t, std::vector<std::int64_t>> pack;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto it = packs_.find(name);
        if (it == packs_.end()) {
            response.status = 404;
            response.set_content("{\"error_code\":31066,\"error_msg\":\"no such pack\"}",
                                 "application/json");
            return;
        }
        pack = it->second;
    }
    const Share& share = catalogue_.shares[pack.first];
    ZipWriter zip;
    std::vector<std::pair<std::size_t, std::string>> pending;  // entry, name inside the zip
    for (auto it = pack.second.rbegin(); it != pack.second.rend(); ++it) {
        std::size_t index = share.byFsId.at(*it);
        pending.emplace_back(index, share.entries[index].name);
    }
    while (!pending.empty()) {
        auto [index, inside] = pending.back();
        pending.pop_back();
        const CatalogueEntry& entry = share.entries[index];
        if (entry.isDir) {
            zip.addFolder(inside, entry.mtime);
            for (auto child = entry.children.rbegin(); child != entry.children.rend(); ++child)
                pending.emplace_back(*child, inside + "/" + share.entries[*child].name);
        } else {
            std::string content(static_cast<size_t>(entry.size), '\0');
            fillContent(entry.fsId, 0, content.data(), content.size());
            zip.addFile(inside, entry.mtime, content);
        }
    }
    response.set_header("Content-Disposition", "attachment;filename=\"packed.zip\"");
    auto archive = std::make_shared<const std::string>(zip.finish());
    serveBytes(response, archive->size(), "application/zip",
               [archive](std::uint64_t offset, char* out, std::size_t n) {
                   std::memcpy(out, archive->data() + offset, n);
               });
}

}  // namespace linkhaul::sim
