// Parse and per-entry path reads of a large folder listing, against
// RapidJSON parsing the same listing and reading the same fields from its
// DOM. Also the peak heap the tree takes while parsing.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "json/JsonDocument.h"
#include "platform/CodePage.h"

namespace {

// ---- heap accounting: every allocation carries its size in a header ----

std::size_t currentBytes = 0;
std::size_t peakBytes = 0;
constexpr std::size_t HEADER = 16;  // keeps the 16-byte alignment of malloc

void* countedMalloc(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + HEADER));
    if (block == nullptr) {
        return nullptr;
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    currentBytes += size;
    peakBytes = std::max(peakBytes, currentBytes);
    return block + HEADER;
}

void countedFree(void* p) {
    if (p == nullptr) {
        return;
    }
    auto* block = static_cast<unsigned char*>(p) - HEADER;
    currentBytes -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

void* countedRealloc(void* p, std::size_t size) {
    if (p == nullptr) {
        return countedMalloc(size);
    }
    auto* old = static_cast<unsigned char*>(p) - HEADER;
    const std::size_t oldSize = *reinterpret_cast<std::size_t*>(old);
    auto* block = static_cast<unsigned char*>(std::realloc(old, size + HEADER));
    if (block == nullptr) {
        return nullptr;
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    currentBytes = currentBytes - oldSize + size;
    peakBytes = std::max(peakBytes, currentBytes);
    return block + HEADER;
}

// RapidJSON's pool takes its chunks from here, so both sides are counted alike.
class CountingAllocator {
public:
    static const bool kNeedFree = true;
    void* Malloc(size_t size) { return size != 0 ? countedMalloc(size) : nullptr; }
    void* Realloc(void* p, size_t, size_t newSize) {
        if (newSize == 0) {
            countedFree(p);
            return nullptr;
        }
        return countedRealloc(p, newSize);
    }
    static void Free(void* p) { countedFree(p); }
};

using RapidDocument =
    rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<CountingAllocator>,
                               CountingAllocator>;

// ---- the listing ----

constexpr int ENTRIES = 100000;
constexpr int RUNS = 5;

const char* const KEYS[] = {"fs_id", "server_filename", "parent_path", "server_mtime",
                            "size",  "isdir",           "path"};

struct Listing {
    std::string ansi;  // what the share client parses (reply converted to ANSI)
    std::string utf8;  // the reply as the service sends it, for RapidJSON
};

std::string escapeUtf8AsU(const std::string& utf8) {
    // The names here are all in the BMP, so one \u per code point.
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const char32_t cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(cp));
        out += buffer;
        i += 3;
    }
    return out;
}

Listing makeListing() {
    // Common characters of Chinese file names; three UTF-8 bytes each.
    const std::vector<std::string> syllables = {
        "资", "料", "文", "件", "视", "频", "照", "片", "音", "乐", "学", "习",
        "工", "作", "项", "目", "备", "份", "电", "影", "课", "程", "笔", "记",
        "报", "告", "合", "同", "图", "纸", "新", "建", "夹", "压", "缩", "包"};
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    std::string utf8 = "{\"errno\":0,\"guid_info\":\"\",\"list\":[";
    std::string ansi = utf8;
    for (int n = 0; n < ENTRIES; ++n) {
        std::string folder = "/";
        for (int k = 0; k < 4; ++k) {
            folder += syllables[next() % syllables.size()];
        }
        folder += std::to_string(n % 97);
        std::string name;
        for (int k = 0; k < 6; ++k) {
            name += syllables[next() % syllables.size()];
        }
        name += "_" + std::to_string(n) + ".mp4";
        const bool escaped = n % 2 == 0;
        const auto text = [escaped](const std::string& s) {
            return escaped ? escapeUtf8AsU(s) : s;
        };
        const std::string isdir = n % 10 == 0 ? "1" : "0";
        std::string entry =
            std::string(n == 0 ? "" : ",") +
            "{\"fs_id\":" + std::to_string(900000000000000ull + next()) +
            ",\"server_filename\":\"" + text(name) + "\",\"parent_path\":\"" + text(folder) +
            "\",\"server_mtime\":" + std::to_string(1500000000 + next() % 100000000) +
            ",\"size\":" + std::to_string(next() % 5000000000ull) + ",\"isdir\":" + isdir +
            ",\"path\":\"" + text(folder + "/" + name) + "\"}";
        utf8 += entry;
        ansi += linkhaul::platform::utf8ToAnsi(entry);
    }
    utf8 += "],\"request_id\":6751287374836295512}";
    ansi += "],\"request_id\":6751287374836295512}";
    return {std::move(ansi), std::move(utf8)};
}

// What one listing read keeps, so that the reads cannot be optimised away.
struct Entry {
    std::int64_t fs_id = 0;
    std::string server_filename;
    std::string parent_path;
    std::int64_t server_mtime = 0;
    std::int64_t size = 0;
    std::int32_t isdir = 0;
    std::string path;
};

std::uint64_t checksum(const std::vector<Entry>& entries) {
    std::uint64_t sum = 0;
    for (const Entry& e : entries) {
        sum += static_cast<std::uint64_t>(e.fs_id) + static_cast<std::uint64_t>(e.size) +
               static_cast<std::uint64_t>(e.server_mtime) + static_cast<std::uint64_t>(e.isdir) +
               e.server_filename.size() + e.parent_path.size() + e.path.size();
    }
    return sum;
}

// The share client's way: count the list, then seven reads by path per entry.
std::uint64_t readTree(const linkhaul::JsonDocument& doc) {
    std::vector<Entry> entries;
    const std::int32_t count = doc.countAt("list");
    entries.reserve(static_cast<std::size_t>(count));
    for (std::int32_t n = 1; n <= count; ++n) {
        const std::string prefix = "list[" + std::to_string(n) + "].";
        Entry e;
        e.fs_id = doc.integerAt(prefix + "fs_id");
        e.server_filename = doc.textAt(prefix + "server_filename");
        e.parent_path = doc.textAt(prefix + "parent_path");
        e.server_mtime = doc.integerAt(prefix + "server_mtime");
        e.size = doc.integerAt(prefix + "size");
        e.isdir = static_cast<std::int32_t>(doc.integerAt(prefix + "isdir"));
        e.path = doc.textAt(prefix + "path");
        entries.push_back(std::move(e));
    }
    return checksum(entries);
}

// The same fields read from each entry's value index, as the share client's
// listing loop does, instead of walking the whole path every time.
std::uint64_t readTreeByNode(const linkhaul::JsonDocument& doc) {
    std::vector<Entry> entries;
    const std::int32_t count = doc.countAt("list");
    entries.reserve(static_cast<std::size_t>(count));
    for (std::int32_t n = 1; n <= count; ++n) {
        const std::int32_t node = doc.elementAt("list", 0, n);
        Entry e;
        e.fs_id = doc.integerAt("fs_id", node);
        e.server_filename = doc.textAt("server_filename", node);
        e.parent_path = doc.textAt("parent_path", node);
        e.server_mtime = doc.integerAt("server_mtime", node);
        e.size = doc.integerAt("size", node);
        e.isdir = static_cast<std::int32_t>(doc.integerAt("isdir", node));
        e.path = doc.textAt("path", node);
        entries.push_back(std::move(e));
    }
    return checksum(entries);
}

// RapidJSON reads the UTF-8 reply, so its texts are converted for the
// comparison with the tree's ANSI texts (not in the timed runs).
std::uint64_t readRapid(const RapidDocument& doc, bool asAnsi = false) {
    std::vector<Entry> entries;
    const auto& list = doc["list"];
    entries.reserve(list.Size());
    for (rapidjson::SizeType n = 0; n < list.Size(); ++n) {
        const auto& item = list[n];
        Entry e;
        e.fs_id = item["fs_id"].GetInt64();
        e.server_filename.assign(item["server_filename"].GetString(),
                                 item["server_filename"].GetStringLength());
        e.parent_path.assign(item["parent_path"].GetString(),
                             item["parent_path"].GetStringLength());
        e.server_mtime = item["server_mtime"].GetInt64();
        e.size = item["size"].GetInt64();
        e.isdir = item["isdir"].GetInt();
        e.path.assign(item["path"].GetString(), item["path"].GetStringLength());
        if (asAnsi) {
            e.server_filename = linkhaul::platform::utf8ToAnsi(e.server_filename);
            e.parent_path = linkhaul::platform::utf8ToAnsi(e.parent_path);
            e.path = linkhaul::platform::utf8ToAnsi(e.path);
        }
        entries.push_back(std::move(e));
    }
    return checksum(entries);
}

double bestSeconds(const std::function<void()>& run) {
    double best = 1e30;
    for (int i = 0; i < RUNS; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

void fail(const char* what) {
    std::fprintf(stderr, "bench-json: %s\n", what);
    std::exit(1);
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = countedMalloc(size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    countedFree(p);
}
void operator delete[](void* p) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    countedFree(p);
}

int main() {
    const Listing listing = makeListing();
    (void)KEYS;

    // Correctness first: both sides must read the same listing.
    std::uint64_t ours = 0;
    std::uint64_t theirs = 0;
    {
        linkhaul::JsonDocument doc;
        if (!doc.parse(listing.ansi)) {
            fail("the tree rejected the listing");
        }
        if (doc.countAt("list") != ENTRIES) {
            fail("the tree lost entries");
        }
        ours = readTree(doc);
        if (readTreeByNode(doc) != ours) {
            fail("reads by value index differ from reads by path");
        }
        RapidDocument rapid;
        rapid.Parse(listing.utf8.c_str(), listing.utf8.size());
        if (rapid.HasParseError()) {
            fail("RapidJSON rejected the listing");
        }
        theirs = readRapid(rapid, true);
    }

    // Peak heap of one parse, over what was allocated before it.
    std::size_t treePeak = 0;
    std::size_t treeKept = 0;
    {
        linkhaul::JsonDocument doc;
        const std::size_t base = currentBytes;
        peakBytes = currentBytes;
        if (!doc.parse(listing.ansi)) {
            fail("the tree rejected the listing");
        }
        treePeak = peakBytes - base;
        treeKept = currentBytes - base;
    }
    std::size_t rapidPeak = 0;
    {
        const std::size_t base = currentBytes;
        peakBytes = currentBytes;
        RapidDocument rapid;
        rapid.Parse(listing.utf8.c_str(), listing.utf8.size());
        rapidPeak = peakBytes - base;
    }

    const double treeParse = bestSeconds([&] {
        linkhaul::JsonDocument doc;
        if (!doc.parse(listing.ansi)) {
            fail("parse failed");
        }
    });
    const double rapidParse = bestSeconds([&] {
        RapidDocument rapid;
        rapid.Parse(listing.utf8.c_str(), listing.utf8.size());
    });
    std::uint64_t sink = 0;
    const double treeTotal = bestSeconds([&] {
        linkhaul::JsonDocument doc;
        if (!doc.parse(listing.ansi)) {
            fail("parse failed");
        }
        sink += readTree(doc);
    });
    const double treeByNode = bestSeconds([&] {
        linkhaul::JsonDocument doc;
        if (!doc.parse(listing.ansi)) {
            fail("parse failed");
        }
        sink += readTreeByNode(doc);
    });
    const double rapidTotal = bestSeconds([&] {
        RapidDocument rapid;
        rapid.Parse(listing.utf8.c_str(), listing.utf8.size());
        sink += readRapid(rapid);
    });

    const double mb = 1024.0 * 1024.0;
    std::printf("entries: %d\n", ENTRIES);
    std::printf("document_ansi_bytes: %zu\n", listing.ansi.size());
    std::printf("document_utf8_bytes: %zu\n", listing.utf8.size());
    std::printf("same_fields_read: %s\n", ours == theirs ? "yes" : "no");
    std::printf("tree_parse_ms: %.2f\n", treeParse * 1000);
    std::printf("rapidjson_parse_ms: %.2f\n", rapidParse * 1000);
    std::printf("parse_ratio: %.2f\n", treeParse / rapidParse);
    std::printf("tree_parse_reads_ms: %.2f\n", treeTotal * 1000);
    std::printf("tree_parse_reads_by_entry_index_ms: %.2f\n", treeByNode * 1000);
    std::printf("rapidjson_parse_reads_ms: %.2f\n", rapidTotal * 1000);
    std::printf("tree_peak_mib: %.1f\n", static_cast<double>(treePeak) / mb);
    std::printf("tree_retained_mib: %.1f\n", static_cast<double>(treeKept) / mb);
    std::printf("rapidjson_peak_mib: %.1f\n", static_cast<double>(rapidPeak) / mb);
    std::printf("tree_peak_over_document: %.2f\n",
                static_cast<double>(treePeak) / static_cast<double>(listing.ansi.size()));
    std::printf("checksum: %llu\n", static_cast<unsigned long long>(sink % 1000000007ull));
    std::printf("ratio: %.2f\n", treeTotal / rapidTotal);
    return ours == theirs ? 0 : 1;
}
