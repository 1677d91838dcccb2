#include "cli/EntryOutput.h"

#include <algorithm>
#include <cstdint>

#include "app/DisplayFormat.h"
#include "platform/CodePage.h"

namespace linkhaul::cli {
namespace {

bool isWide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
           (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
           (cp >= 0x1F900 && cp <= 0x1F9FF) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

void pad(std::ostream& out, std::size_t width, std::size_t used) {
    for (std::size_t i = used; i < width; ++i)
        out.put(' ');
}

struct Row {
    std::string size;
    std::string date;
    std::string path;
};

}  // namespace

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        width += isWide(cp) ? 2 : 1;
        i += length;
    }
    return width;
}

std::string jsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    static constexpr char HEX[] = "0123456789abcdef";
                    out += "\\u00";
                    out += HEX[c >> 4];
                    out += HEX[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

void printEntries(std::ostream& out, const std::vector<ShareEntry>& entries) {
    static const std::string folder = "文件夹";
    std::vector<Row> rows;
    rows.reserve(entries.size());
    std::size_t sizeWidth = 0, dateWidth = 0;
    for (const ShareEntry& e : entries) {
        Row row{
            e.isdir == 1 ? folder : platform::ansiToUtf8(formatSize(static_cast<double>(e.size))),
            platform::ansiToUtf8(formatMtime(e.server_mtime)), platform::ansiToUtf8(e.path)};
        sizeWidth = std::max(sizeWidth, displayWidth(row.size));
        dateWidth = std::max(dateWidth, displayWidth(row.date));
        rows.push_back(std::move(row));
    }
    for (const Row& row : rows) {
        pad(out, sizeWidth, displayWidth(row.size));  // sizes right-aligned
        out << row.size << "  " << row.date;
        pad(out, dateWidth, displayWidth(row.date));
        out << "  " << row.path << '\n';
    }
}

void printEntriesJson(std::ostream& out, const std::vector<ShareEntry>& entries) {
    for (const ShareEntry& e : entries) {
        out << "{\"fs_id\":" << e.fs_id
            << ",\"parent_path\":" << jsonQuote(platform::ansiToUtf8(e.parent_path))
            << ",\"server_mtime\":" << e.server_mtime
            << ",\"server_filename\":" << jsonQuote(platform::ansiToUtf8(e.server_filename))
            << ",\"size\":" << e.size << ",\"isdir\":" << e.isdir
            << ",\"path\":" << jsonQuote(platform::ansiToUtf8(e.path)) << "}\n";
    }
}

}  // namespace linkhaul::cli
