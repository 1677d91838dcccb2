#pragma once

// The client of the share service's web protocol: opening a share (with its
// extraction code), listing folders, asking for download addresses and
// fetching captchas. Every request goes through one HttpClient, whose cookie
// jar carries the service's cookies from one request to the next.
//
// Each request operation returns a result text: indented JSON with "state"
// (bool) and, on failure, "原因" (the reason); a listing adds "文件数量" (the
// entry count as a digit text), download addresses add "dlink" (joined by
// "|"). All texts in and out are ANSI bytes.
//
// One caller at a time: every operation holds the client's mutex while it
// runs, so a second caller waits. abortTransfers()/resumeTransfers() take no
// lock and may be called from any thread, e.g. to end a request at shutdown.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shareapi/ShareContext.h"
#include "shareapi/ShareEntry.h"

namespace linkhaul {

class HttpClient;
class JsonValueCodec;

class ShareClient {
public:
    ShareClient();
    ~ShareClient();
    ShareClient(const ShareClient&) = delete;
    ShareClient& operator=(const ShareClient&) = delete;

    // digits random decimal digits (19 when omitted or 0); with base64 the
    // Base64 of a time stamp, "." and those digits.
    [[nodiscard]] std::string makeLogId(bool base64,
                                        std::optional<int> digits = std::nullopt) const;
    // The message for one of the service's error numbers.
    [[nodiscard]] std::string errnoText(std::int32_t errnoValue) const;

    // Keys of a result text (ANSI), for the callers that read one back.
    [[nodiscard]] static const std::string& reasonKey();
    [[nodiscard]] static const std::string& countKey();

    // Asks for a new captcha, stores its token in the context (also when the
    // picture then fails to arrive) and puts the picture's bytes into image.
    // On failure neither the token nor image changes.
    [[nodiscard]] std::string fetchCaptcha(std::string& image);

    // Opens the share at link (used unchanged), checking code when the page
    // asks for one (omitted counts as empty). On success the context holds
    // the share's identity and entries its top-level listing; on failure
    // both are left as they were.
    [[nodiscard]] std::string openShare(ShareEntryList& entries, std::string_view link,
                                        std::optional<std::string_view> code = std::nullopt);

    // Download addresses for the files ids of the opened share, or one packed
    // archive of all of them. captchaAnswer (omitted counts as empty) is sent
    // with the token of the latest captcha; replaceHost rewrites the download
    // host prefix of every address.
    [[nodiscard]] std::string requestDownloadLinks(
        const std::vector<std::int64_t>& ids, bool packed,
        std::optional<std::string_view> captchaAnswer = std::nullopt, bool replaceHost = false);

    // Lists folder dir of the opened share page by page into entries (emptied
    // first; dir may be the path of one of entries' own items). A reply that
    // does not parse fails, keeping the entries of the pages before it.
    [[nodiscard]] std::string listDirectory(std::string_view dir, ShareEntryList& entries);

    // A copy of the share state, taken between operations.
    [[nodiscard]] ShareContext context() const;
    void setContext(const ShareContext& context);

    // The cookie jar's entries ("a=1; b=2"), for diagnostics.
    [[nodiscard]] std::string cookieJarText() const;

    // Sends connections for HOST:PORT to TARGET_HOST:TARGET_PORT (comma-
    // separated entries, "" clears), like curl's --connect-to; requests keep
    // the service's real host names. False, changing nothing, when malformed.
    bool setConnectTo(std::string_view mapping);
    [[nodiscard]] std::string connectTo() const;

    // Time-outs in milliseconds for every later request (omitted: the HTTP
    // client's defaults; 0: no limit).
    bool setTimeouts(std::optional<std::int32_t> connectMs = std::nullopt,
                     std::optional<std::int32_t> sendMs = std::nullopt,
                     std::optional<std::int32_t> receiveMs = std::nullopt);

    // Thread-safe and lock-free: ends the transfer in flight at once and makes
    // every later request fail promptly until resumeTransfers().
    void abortTransfers();
    void resumeTransfers();

private:
    // Declared in this order: the codec, the HTTP client, the context.
    std::unique_ptr<JsonValueCodec> codec_;
    std::unique_ptr<HttpClient> http_;
    ShareContext context_;
    mutable std::mutex mutex_;
};

}  // namespace linkhaul
