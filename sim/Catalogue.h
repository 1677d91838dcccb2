#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace linkhaul::sim {

// One file or folder of a share, as the list endpoints describe it.
struct CatalogueEntry {
    std::int64_t fsId = 0;
    std::string name;  // UTF-8
    std::string path;  // UTF-8, full path inside the share
    std::string parentPath;
    std::int64_t mtime = 0;
    std::int64_t size = 0;
    bool isDir = false;
    std::vector<std::size_t> children;  // indexes into Share::entries, in listing order
};

enum class CaptchaPolicy { never, always, afterCount };

enum class ShareState { ok, linkMissing, pageMissing };

struct Share {
    std::string id;  // the surl: the share link is /s/1<id>
    std::int64_t uk = 0;
    std::int64_t shareId = 0;
    std::optional<std::string> code;  // UTF-8 extraction code
    bool shortLink = false;
    ShareState state = ShareState::ok;
    std::string cookie;  // BDCLND value handed out by the code check
    std::string sign;
    std::int64_t timestamp = 0;
    nlohmann::json bdstoken;
    std::string root;  // folder path that holds the top-level entries, "/" by default
    bool escapeUnicode = true;
    bool escapeSlashes = true;
    CaptchaPolicy captcha = CaptchaPolicy::never;
    int captchaAfter = 0;
    std::vector<CatalogueEntry> entries;  // entries[0] is the share's root folder
    std::map<std::int64_t, std::size_t> byFsId;
    std::map<std::string, std::size_t> byPath;  // folders only
};

enum class FaultKind { delay, reset, malformed, oversized, redirectLoop, status };

struct Fault {
    std::string endpoint;  // share_page, share_init, verify, list, getcaptcha, genimage,
                           // sharedownload, download, packed, or "*"
    std::optional<std::string> share;  // share id, or every share when absent
    FaultKind kind = FaultKind::delay;
    int delayMs = 0;
    int status = 500;
    std::uint64_t oversizedBytes = 80ull << 20;
    int skip = 0;    // matching requests answered normally before the fault starts
    int times = -1;  // how many matching requests get the fault; -1 = all
};

struct Catalogue {
    std::vector<Share> shares;
    std::vector<Fault> faults;
    std::optional<std::string> captchaAnswer;  // fixes the answer of every captcha token
};

// Reads a catalogue file; throws std::runtime_error with a readable message on bad input.
[[nodiscard]] Catalogue loadCatalogue(const std::string& fileName);
[[nodiscard]] Catalogue parseCatalogue(const nlohmann::json& document, std::int64_t startTime);

}  // namespace linkhaul::sim
