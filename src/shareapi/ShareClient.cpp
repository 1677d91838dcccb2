#include "shareapi/ShareClient.h"

#include <string_view>
#include <utility>

#include "http/HttpClient.h"
#include "json/JsonBuilder.h"
#include "json/JsonDocument.h"
#include "json/JsonValueCodec.h"
#include "platform/CodePage.h"
#include "shareapi/ErrnoText.h"
#include "shareapi/QueryParams.h"
#include "shareapi/RequestIds.h"
#include "shareapi/ServiceHosts.h"

namespace linkhaul {

namespace {

// The service lists at most this many pages of a folder, 100 entries each.
constexpr int MAX_LIST_PAGES = 1000;

// The Chinese texts of results and page checks, converted once from this
// file's UTF-8 into the program's ANSI code page.
struct ShareTexts {
    std::string reasonKey = platform::utf8ToAnsi("原因");
    std::string countKey = platform::utf8ToAnsi("文件数量");
    std::string pageMissingMark = platform::utf8ToAnsi("页面不存在");
    std::string linkMissingMark = platform::utf8ToAnsi("链接不存在");
    std::string codeWantedMark = platform::utf8ToAnsi("入提取密码");
    std::string pageOpenFailed = platform::utf8ToAnsi("打开网页失败.");
    std::string pageMissing = platform::utf8ToAnsi("页面不存在.");
    std::string linkMissing = platform::utf8ToAnsi("链接不存在.");
    std::string codeWanted = platform::utf8ToAnsi("请输入提取密码.");
    std::string jsonFailed = platform::utf8ToAnsi("Json解析失败.");
    // Spelled this way by the service's own tooling; callers compare it.
    std::string downloadJsonFailed = platform::utf8ToAnsi("JOSN解析失败.");
    std::string credentialsFailed = platform::utf8ToAnsi("凭据JSON解析失败.");
};

const ShareTexts& texts() {
    static const ShareTexts instance;
    return instance;
}

std::string httpAddress(const char* host, std::string_view pathAndFirstKey) {
    return std::string("http://") + host + std::string(pathAndFirstKey);
}

std::string httpsAddress(const char* host, std::string_view pathAndFirstKey) {
    return std::string("https://") + host + std::string(pathAndFirstKey);
}

// The six pairs every API address ends with; an earlier "web" keeps its place.
void addCommonTail(QueryParams& params, std::string_view bdstoken) {
    params.addText("bdstoken", bdstoken);
    params.addText("channel", "chunlei");
    params.addText("clienttype", "0");
    params.addText("web", "1");
    params.addText("app_id", "250528");
    params.addText("logid", makeLogId(true));
}

std::string randomT() {
    return "0." + makeLogId(false, 16);
}

// One request with no body unless given; the reply as text, "" when no reply
// arrived.
std::string exchangeText(HttpClient& http, std::string_view verb, std::string_view url,
                         std::string_view body = {}) {
    if (!http.openRequest(verb, url)) {
        return {};
    }
    if (!http.sendText(body)) {
        return {};
    }
    return http.readBodyUtf8();
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return;
    }
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

// Reads the entries of the array at listPath and appends them in reply order.
void appendEntries(const JsonDocument& doc, std::string_view listPath, std::int32_t count,
                   ShareEntryList& entries) {
    // No reserve here: listing calls this once per page, and an exact reserve
    // each time would copy the whole list per page instead of growing it
    // geometrically.
    for (std::int32_t i = 1; i <= count; ++i) {
        const std::int32_t node = doc.elementAt(listPath, 0, i);
        ShareEntry entry;
        entry.fs_id = doc.integerAt("fs_id", node);
        entry.server_filename = doc.textAt("server_filename", node);
        entry.parent_path = doc.textAt("parent_path", node);
        entry.server_mtime = doc.integerAt("server_mtime", node);
        entry.size = doc.integerAt("size", node);
        entry.isdir = static_cast<std::int32_t>(doc.integerAt("isdir", node));
        entry.path = doc.textAt("path", node);
        entries.push_back(std::move(entry));
    }
}

class ResultWriter {
public:
    explicit ResultWriter(const JsonValueCodec& codec) : codec_(codec) {}

    [[nodiscard]] std::string failed(const std::string& reason) {
        result_.reset();
        result_.setMember("state", codec_.makeBool(false));
        result_.setMember(texts().reasonKey, codec_.makeText(reason));
        return write();
    }
    [[nodiscard]] std::string succeeded() {
        result_.reset();
        result_.setMember("state", codec_.makeBool(true));
        return write();
    }
    [[nodiscard]] std::string succeededWith(const std::string& key, std::string value) {
        result_.reset();
        result_.setMember("state", codec_.makeBool(true));
        result_.setMember(key, codec_.makeText(std::move(value)));
        return write();
    }
    [[nodiscard]] std::string counted(std::size_t count) {
        return succeededWith(texts().countKey, std::to_string(count));
    }
    // The builder doubles as the holder of the "extra" form value.
    JsonBuilder& builder() { return result_; }

private:
    [[nodiscard]] std::string write() const { return codec_.toText(result_, true, true, 0); }

    const JsonValueCodec& codec_;
    JsonBuilder result_;
};

}  // namespace

ShareClient::ShareClient()
    : codec_(std::make_unique<JsonValueCodec>()), http_(std::make_unique<HttpClient>()) {
    http_->setAutoDefaultHeaders(true);
    http_->setCookieMode(1);
}

ShareClient::~ShareClient() = default;

std::string ShareClient::makeLogId(bool base64, std::optional<int> digits) const {
    return linkhaul::makeLogId(base64, digits);
}

std::string ShareClient::errnoText(std::int32_t errnoValue) const {
    return linkhaul::errnoText(errnoValue);
}

const std::string& ShareClient::reasonKey() {
    return texts().reasonKey;
}

const std::string& ShareClient::countKey() {
    return texts().countKey;
}

std::string ShareClient::fetchCaptcha(std::string& image) {
    const std::lock_guard lock(mutex_);
    ResultWriter result(*codec_);
    JsonDocument doc;

    QueryParams params;
    params.addText(httpAddress(hosts::SHARE_WEB_HOST, "/api/getcaptcha?prod"), "pan");
    params.addText("web", "1");
    params.addText("t", randomT());
    addCommonTail(params, "null");

    if (!doc.parse(exchangeText(*http_, "GET", params.takeText()))) {
        return result.failed(texts().jsonFailed);
    }
    const auto errnoValue = static_cast<std::int32_t>(doc.integerAt("errno"));
    if (errnoValue != 0) {
        return result.failed(linkhaul::errnoText(errnoValue));
    }
    // The token is the one the next download request must send, whether or
    // not its picture arrives.
    context_.vcode_str = doc.textAt("vcode_str");
    const std::string pictureUrl = doc.textAt("vcode_img");

    std::string picture;
    if (http_->openRequest("GET", pictureUrl) && http_->sendText()) {
        picture = http_->readBody();
    }
    image = std::move(picture);
    return result.succeeded();
}

std::string ShareClient::openShare(ShareEntryList& entries, std::string_view link,
                                   std::optional<std::string_view> code) {
    const std::lock_guard lock(mutex_);
    const ShareTexts& t = texts();
    ResultWriter result(*codec_);
    JsonDocument doc;

    std::string surlSource;
    if (link.find("surl=") != std::string_view::npos) {
        surlSource = std::string(link);
    }

    // The short link answers 302 to the address that names the share; that
    // address is needed for the code check, so it is followed by hand, once.
    http_->setFollowRedirects(false);
    std::string page;
    if (http_->openRequest("GET", link) && http_->sendText()) {
        if (http_->statusCode() == 302) {
            surlSource = http_->redirectLocation(true);
            page = exchangeText(*http_, "GET", surlSource);
        } else {
            page = http_->readBodyUtf8();
        }
    }

    if (page.empty()) {
        return result.failed(t.pageOpenFailed);
    }
    if (page.find(t.pageMissingMark) != std::string::npos) {
        return result.failed(t.pageMissing);
    }
    if (page.find(t.linkMissingMark) != std::string::npos) {
        return result.failed(t.linkMissing);
    }
    if (page.find(t.codeWantedMark) != std::string::npos) {
        const std::string_view codeText = code.value_or(std::string_view{});
        if (codeText.empty()) {
            return result.failed(t.codeWanted);
        }
        const std::string surl = textAfterLast(surlSource, "surl=");

        QueryParams params;
        params.addText(httpsAddress(hosts::SHARE_WEB_HOST, "/share/verify?surl"), surl);
        params.addText("t", makeTimestamp());
        addCommonTail(params, "null");
        const std::string verifyUrl = params.takeText();
        params.addText("pwd", urlEncodeUtf8(codeText));
        params.addText("vcode", "");
        params.addText("vcode_str", "");

        http_->setFollowRedirects(true);
        std::string reply;
        if (http_->openRequest("POST", verifyUrl)) {
            http_->setReferer(surlSource);
            if (http_->sendText(params.takeText())) {
                reply = http_->readBodyUtf8();
            }
        }
        if (!doc.parse(reply)) {
            return result.failed(t.jsonFailed);
        }
        const auto errnoValue = static_cast<std::int32_t>(doc.integerAt("errno"));
        if (errnoValue != 0) {
            return result.failed(linkhaul::errnoText(errnoValue));
        }
        // The check's reply put the share's cookie into the jar; the page
        // fetched with it now carries the data block.
        page = exchangeText(*http_, "GET", httpsAddress(hosts::SHARE_WEB_HOST, "/s/1") + surl);
    }

    const std::string block = textBetween(page, "yunData.setData(", ");");
    doc.clear();
    if (block.empty() || !doc.parse(block)) {
        return result.failed(t.credentialsFailed);
    }

    context_.uk = doc.integerAt("uk");
    context_.sign = doc.textAt("sign");
    context_.shareid = doc.integerAt("shareid");
    context_.timestamp = doc.integerAt("timestamp");
    context_.bdstoken = doc.textAt("bdstoken");

    const std::int32_t count = doc.countAt("file_list.list");
    ShareEntryList listed;
    appendEntries(doc, "file_list.list", count, listed);
    entries = std::move(listed);
    return result.counted(entries.size());
}

std::string ShareClient::listDirectory(std::string_view dir, ShareEntryList& entries) {
    const std::lock_guard lock(mutex_);
    ResultWriter result(*codec_);
    JsonDocument doc;

    QueryParams params;
    params.addText(httpAddress(hosts::SHARE_WEB_HOST, "/share/list?uk"),
                   std::to_string(context_.uk));
    params.addText("shareid", std::to_string(context_.shareid));
    params.addText("order", "other");
    params.addText("desc", "1");
    params.addText("showempty", "0");
    params.addText("web", "1");
    params.addText("page", "1");
    params.addText("num", "100");
    // dir may point into entries, so it is encoded before the list is emptied.
    params.addText("dir", urlEncodeUtf8(dir));
    params.addText("t", randomT());
    addCommonTail(params, context_.bdstoken);
    std::string address = params.takeText();

    entries.clear();
    for (int page = 1; page <= MAX_LIST_PAGES; ++page) {
        replaceAll(address, "page=" + std::to_string(page - 1), "page=" + std::to_string(page));
        doc.clear();
        if (!doc.parse(exchangeText(*http_, "GET", address))) {
            return result.failed(texts().credentialsFailed);
        }
        const std::int32_t count = doc.countAt("list");
        if (count == 0) {
            break;
        }
        appendEntries(doc, "list", count, entries);
    }
    return result.counted(entries.size());
}

std::string ShareClient::requestDownloadLinks(const std::vector<std::int64_t>& ids, bool packed,
                                              std::optional<std::string_view> captchaAnswer,
                                              bool replaceHost) {
    const std::lock_guard lock(mutex_);
    ResultWriter result(*codec_);
    JsonDocument doc;

    QueryParams params;
    params.addText(httpAddress(hosts::ALTERNATE_SHARE_WEB_HOST, "/api/sharedownload?sign"),
                   context_.sign);
    params.addText("timestamp", std::to_string(context_.timestamp));
    addCommonTail(params, context_.bdstoken);
    const std::string address = params.takeText();

    JsonBuilder& extra = result.builder();
    extra.reset();
    extra.setMember("sekey", codec_->makeText(http_->jarCookie("BDCLND")));
    const std::string extraText = codec_->toText(extra, true, true, 0);

    std::string fidList = "%5B";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) {
            fidList += ',';
        }
        fidList += std::to_string(ids[i]);
    }
    fidList += "%5D";

    // The answer is user text inside a form body: encoded, so that "&", "="
    // or "%" cannot split or rewrite the other pairs. Letters and digits, the
    // only characters of a real answer, go out unchanged.
    const std::string answer = urlEncodeUtf8(captchaAnswer.value_or(std::string_view{}));

    QueryParams form;
    form.addText("encrypt", "0");
    form.addText("product", "share");
    form.addText("uk", std::to_string(context_.uk));
    form.addText("primaryid", std::to_string(context_.shareid));
    form.addText("vcode_input", answer);
    if (!answer.empty()) {
        form.addText("vcode_str", context_.vcode_str);
    }
    form.addText("extra", extraText);
    form.addText("fid_list", fidList);
    if (packed) {
        form.addText("type", "batch");
    }

    if (!doc.parse(exchangeText(*http_, "POST", address, form.takeText()))) {
        return result.failed(texts().downloadJsonFailed);
    }
    const auto errnoValue = static_cast<std::int32_t>(doc.integerAt("errno"));
    if (errnoValue != 0) {
        return result.failed(linkhaul::errnoText(errnoValue));
    }

    std::string links;
    const std::int32_t count = doc.countAt("list");
    for (std::int32_t i = 1; i <= count; ++i) {
        const std::int32_t node = doc.elementAt("list", 0, i);
        if (!links.empty()) {
            links += '|';
        }
        links += doc.textAt("dlink", node);
    }
    if (links.empty()) {
        links = doc.textAt("dlink");
    }
    if (replaceHost) {
        replaceAll(links, hosts::FIRST_DOWNLOAD_PREFIX, hosts::REPLACEMENT_DOWNLOAD_PREFIX);
    }
    return result.succeededWith("dlink", std::move(links));
}

ShareContext ShareClient::context() const {
    const std::lock_guard lock(mutex_);
    return context_;
}

void ShareClient::setContext(const ShareContext& context) {
    const std::lock_guard lock(mutex_);
    context_ = context;
}

std::string ShareClient::cookieJarText() const {
    const std::lock_guard lock(mutex_);
    return http_->cookieJarText();
}

bool ShareClient::setConnectTo(std::string_view mapping) {
    const std::lock_guard lock(mutex_);
    return http_->setConnectTo(mapping);
}

std::string ShareClient::connectTo() const {
    const std::lock_guard lock(mutex_);
    return http_->connectTo();
}

bool ShareClient::setTimeouts(std::optional<std::int32_t> connectMs,
                              std::optional<std::int32_t> sendMs,
                              std::optional<std::int32_t> receiveMs) {
    const std::lock_guard lock(mutex_);
    return http_->setTimeouts(connectMs, sendMs, receiveMs);
}

void ShareClient::abortTransfers() {
    http_->abortTransfers();
}

void ShareClient::resumeTransfers() {
    http_->resumeTransfers();
}

}  // namespace linkhaul
