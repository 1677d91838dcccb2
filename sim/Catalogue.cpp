#include "Catalogue.h"

#include "Digest.h"

#include <cctype>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace linkhaul::sim {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
}

std::int64_t intField(const json& object, const char* key, std::int64_t fallback,
                      const std::string& where) {
    auto it = object.find(key);
    if (it == object.end())
        return fallback;
    if (!it->is_number_integer())
        fail(where, std::string("\"") + key + "\" must be an integer");
    return it->is_number_unsigned() ? static_cast<std::int64_t>(it->get<std::uint64_t>())
                                    : it->get<std::int64_t>();
}

bool boolField(const json& object, const char* key, bool fallback, const std::string& where) {
    auto it = object.find(key);
    if (it == object.end())
        return fallback;
    if (!it->is_boolean())
        fail(where, std::string("\"") + key + "\" must be true or false");
    return it->get<bool>();
}

std::optional<std::string> textField(const json& object, const char* key,
                                     const std::string& where) {
    auto it = object.find(key);
    if (it == object.end())
        return std::nullopt;
    if (!it->is_string())
        fail(where, std::string("\"") + key + "\" must be a string");
    return it->get<std::string>();
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

class ShareBuilder {
public:
    ShareBuilder(Share& share, std::int64_t firstAutoId, std::int64_t firstMtime)
        : share_(share), nextId_(firstAutoId), nextMtime_(firstMtime) {}

    void addChildren(std::size_t folder, const json& item, const std::string& where) {
        if (auto files = item.find("files"); files != item.end())
            addList(folder, *files, where + ".files");
        if (auto children = item.find("children"); children != item.end())
            addList(folder, *children, where + ".children");
        if (auto generate = item.find("generate"); generate != item.end())
            addGenerated(folder, *generate, where + ".generate");
    }

    void finish() {
        for (std::size_t i = 1; i < share_.entries.size(); ++i) {
            const auto& entry = share_.entries[i];
            if (!share_.byFsId.emplace(entry.fsId, i).second)
                fail("share " + share_.id, "duplicate fs_id " + std::to_string(entry.fsId));
        }
    }

private:
    void addList(std::size_t folder, const json& list, const std::string& where) {
        if (!list.is_array())
            fail(where, "must be an array");
        for (std::size_t i = 0; i < list.size(); ++i)
            addEntry(folder, list[i], where + "[" + std::to_string(i) + "]");
    }

    std::size_t append(std::size_t folder, const std::string& name, const std::string& where) {
        if (name.empty() || name.find('/') != std::string::npos)
            fail(where, "a name must be non-empty and hold no \"/\"");
        std::string path = joinPath(share_.entries[folder].path, name);
        if (!names_.insert(path).second)
            fail(where, "two entries named \"" + path + "\"");
        CatalogueEntry entry;
        entry.name = name;
        entry.path = path;
        entry.parentPath = share_.entries[folder].path;
        share_.entries.push_back(std::move(entry));
        std::size_t index = share_.entries.size() - 1;
        share_.entries[folder].children.push_back(index);
        return index;
    }

    void addEntry(std::size_t folder, const json& item, const std::string& where) {
        if (!item.is_object())
            fail(where, "an entry must be an object");
        auto name = textField(item, "name", where);
        if (!name)
            fail(where, "an entry needs a \"name\"");
        std::size_t index = append(folder, *name, where);
        bool isDir =
            boolField(item, "isdir", item.contains("children") || item.contains("generate"), where);
        std::int64_t fsId = intField(item, "fs_id", 0, where);
        std::int64_t mtime = intField(item, "mtime", 0, where);
        std::int64_t size = intField(item, "size", 0, where);
        if (size < 0)
            fail(where, "\"size\" must not be negative");
        {
            auto& entry = share_.entries[index];
            entry.isDir = isDir;
            entry.fsId = item.contains("fs_id") ? fsId : nextId_++;
            entry.mtime = item.contains("mtime") ? mtime : nextMtime_;
            entry.size = isDir ? 0 : size;
            nextMtime_ += 61;
            if (isDir)
                share_.byPath.emplace(entry.path, index);
        }
        if (isDir)
            addChildren(index, item, where);
    }

    // Expands {"count": N, "name": "file {n}.txt", ...} into N files, so that paging and
    // benchmarks need no catalogue of thousands of lines.
    void addGenerated(std::size_t folder, const json& item, const std::string& where) {
        if (!item.is_object())
            fail(where, "must be an object");
        std::int64_t count = intField(item, "count", 0, where);
        if (count < 0 || count > 200'000)
            fail(where, "\"count\" must be between 0 and 200000");
        std::string pattern = textField(item, "name", where).value_or("file {n}.bin");
        int pad = static_cast<int>(intField(item, "pad", 5, where));
        std::int64_t size = intField(item, "size", 1024, where);
        std::int64_t mtime = intField(item, "mtime", 1'600'000'000, where);
        std::int64_t fsId = intField(item, "first_fs_id", 0, where);
        bool explicitIds = item.contains("first_fs_id");
        if (size < 0 || pad < 0 || pad > 18)
            fail(where, "\"size\" must not be negative and \"pad\" must be 0 to 18");
        auto marker = pattern.find("{n}");
        if (marker == std::string::npos)
            fail(where, "\"name\" must hold {n}");
        for (std::int64_t n = 1; n <= count; ++n) {
            std::string number = std::to_string(n);
            if (number.size() < static_cast<std::size_t>(pad))
                number.insert(0, static_cast<std::size_t>(pad) - number.size(), '0');
            std::string name = pattern.substr(0, marker) + number + pattern.substr(marker + 3);
            std::size_t index = append(folder, name, where);
            auto& entry = share_.entries[index];
            entry.fsId = explicitIds ? fsId + n - 1 : nextId_++;
            entry.mtime = mtime + n;
            entry.size = size;
        }
    }

    Share& share_;
    std::int64_t nextId_;
    std::int64_t nextMtime_;
    std::set<std::string> names_;
};

CaptchaPolicy parseCaptcha(const json& share, int& after, const std::string& where) {
    auto it = share.find("captcha");
    if (it == share.end())
        return CaptchaPolicy::never;
    if (it->is_string()) {
        if (*it == "never")
            return CaptchaPolicy::never;
        if (*it == "always")
            return CaptchaPolicy::always;
    } else if (it->is_object() && it->contains("after")) {
        std::int64_t n = intField(*it, "after", 0, where + ".captcha");
        if (n < 0 || n > 1'000'000)
            fail(where, "\"captcha.after\" must be between 0 and 1000000");
        after = static_cast<int>(n);
        return CaptchaPolicy::afterCount;
    }
    fail(where, "\"captcha\" must be \"never\", \"always\" or {\"after\": N}");
}

ShareState parseState(const json& share, const std::string& where) {
    auto state = textField(share, "state", where).value_or("ok");
    if (state == "ok")
        return ShareState::ok;
    if (state == "link_missing")
        return ShareState::linkMissing;
    if (state == "page_missing")
        return ShareState::pageMissing;
    fail(where, "\"state\" must be \"ok\", \"link_missing\" or \"page_missing\"");
}

bool validShareId(const std::string& id) {
    if (id.empty() || id.size() > 64)
        return false;
    for (unsigned char c : id) {
        if (!std::isalnum(c) && c != '-' && c != '_')
            return false;
    }
    return true;
}

Share parseShare(const json& item, std::size_t ordinal, const json& document,
                 std::int64_t startTime) {
    std::string where = "shares[" + std::to_string(ordinal) + "]";
    if (!item.is_object())
        fail(where, "a share must be an object");
    Share share;
    share.id = textField(item, "id", where).value_or("");
    if (!validShareId(share.id))
        fail(where, "\"id\" must be 1 to 64 letters, digits, \"-\" or \"_\"");
    where += " (" + share.id + ")";
    std::int64_t base = static_cast<std::int64_t>(ordinal + 1);
    share.uk = intField(item, "uk", 1'100'000'000 + base, where);
    share.shareId = intField(item, "shareid", 4'200'000'000 + base, where);
    share.code = textField(item, "code", where);
    share.shortLink = boolField(item, "short_link", false, where);
    share.state = parseState(item, where);
    share.cookie = textField(item, "cookie", where).value_or(cookieFor(share.id));
    share.sign = textField(item, "sign", where).value_or(hexDigest("sign:" + share.id, 40));
    share.timestamp = intField(item, "timestamp", startTime, where);
    share.bdstoken =
        item.contains("bdstoken") ? item["bdstoken"] : json(hexDigest("bdstoken:" + share.id, 32));
    share.root = textField(item, "root", where).value_or("/");
    if (share.root.empty() || share.root[0] != '/' ||
        (share.root.size() > 1 && share.root.back() == '/'))
        fail(where, "\"root\" must start with \"/\" and not end with one (except \"/\")");
    share.escapeUnicode = boolField(
        item, "escape_unicode", boolField(document, "escape_unicode", true, "catalogue"), where);
    share.escapeSlashes = boolField(
        item, "escape_slashes", boolField(document, "escape_slashes", true, "catalogue"), where);
    share.captcha = parseCaptcha(item, share.captchaAfter, where);
    for (char c : share.cookie) {
        if (c == ';' || c == ',' || c == ' ' || c == '"' || c == '\\' ||
            static_cast<unsigned char>(c) < 0x21)
            fail(where, "\"cookie\" must be a plain cookie value");
    }

    CatalogueEntry root;
    root.isDir = true;
    root.path = share.root;
    root.name = share.root;
    share.entries.push_back(root);
    share.byPath.emplace(share.root, 0);
    ShareBuilder builder(share, base * 1'000'000'000LL + 1, 1'700'000'000);
    builder.addChildren(0, item, where);
    builder.finish();
    return share;
}

std::optional<FaultKind> faultKind(const std::string& name) {
    if (name == "delay")
        return FaultKind::delay;
    if (name == "reset")
        return FaultKind::reset;
    if (name == "malformed_json")
        return FaultKind::malformed;
    if (name == "oversized")
        return FaultKind::oversized;
    if (name == "redirect_loop")
        return FaultKind::redirectLoop;
    if (name == "status")
        return FaultKind::status;
    return std::nullopt;
}

Fault parseFault(const json& item, std::size_t ordinal) {
    static const std::set<std::string> endpoints = {
        "*",          "share_page", "share_init",    "verify",   "list",
        "getcaptcha", "genimage",   "sharedownload", "download", "packed"};
    std::string where = "faults[" + std::to_string(ordinal) + "]";
    if (!item.is_object())
        fail(where, "a fault must be an object");
    Fault fault;
    fault.endpoint = textField(item, "endpoint", where).value_or("");
    if (!endpoints.count(fault.endpoint))
        fail(where, "unknown \"endpoint\" \"" + fault.endpoint + "\"");
    fault.share = textField(item, "share", where);
    auto kind = faultKind(textField(item, "kind", where).value_or(""));
    if (!kind)
        fail(where,
             "\"kind\" must be delay, reset, malformed_json, oversized, redirect_loop or status");
    fault.kind = *kind;
    fault.delayMs = static_cast<int>(intField(item, "delay_ms", 1000, where));
    fault.status = static_cast<int>(intField(item, "status", 500, where));
    fault.oversizedBytes = static_cast<std::uint64_t>(intField(item, "bytes", 80LL << 20, where));
    fault.skip = static_cast<int>(intField(item, "skip", 0, where));
    fault.times = static_cast<int>(intField(item, "times", -1, where));
    if (fault.delayMs < 0 || fault.delayMs > 600'000 || fault.status < 100 || fault.status > 599 ||
        fault.skip < 0)
        fail(where, "\"delay_ms\" (0 to 600000), \"status\" (100 to 599) or \"skip\" out of range");
    return fault;
}

}  // namespace

Catalogue parseCatalogue(const json& document, std::int64_t startTime) {
    if (!document.is_object())
        fail("catalogue", "the top level must be an object");
    Catalogue catalogue;
    catalogue.captchaAnswer = textField(document, "captcha_answer", "catalogue");
    if (catalogue.captchaAnswer && !validCaptchaAnswer(*catalogue.captchaAnswer))
        fail("catalogue", "\"captcha_answer\" must be four of " + std::string(CAPTCHA_ALPHABET));
    auto shares = document.find("shares");
    if (shares == document.end() || !shares->is_array())
        fail("catalogue", "\"shares\" must be an array");
    std::set<std::string> ids;
    std::set<std::pair<std::int64_t, std::int64_t>> keys;
    for (std::size_t i = 0; i < shares->size(); ++i) {
        Share share = parseShare((*shares)[i], i, document, startTime);
        if (!ids.insert(share.id).second)
            fail("catalogue", "two shares with the id \"" + share.id + "\"");
        if (!keys.insert({share.uk, share.shareId}).second)
            fail("catalogue", "two shares with the same uk and shareid");
        catalogue.shares.push_back(std::move(share));
    }
    if (auto faults = document.find("faults"); faults != document.end()) {
        if (!faults->is_array())
            fail("catalogue", "\"faults\" must be an array");
        for (std::size_t i = 0; i < faults->size(); ++i)
            catalogue.faults.push_back(parseFault((*faults)[i], i));
    }
    return catalogue;
}

Catalogue loadCatalogue(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open the catalogue " + fileName);
    std::ostringstream text;
    text << in.rdbuf();
    json document = json::parse(text.str(), nullptr, false);
    if (document.is_discarded())
        throw std::runtime_error(fileName + " is not valid JSON");
    return parseCatalogue(document, static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace linkhaul::sim
