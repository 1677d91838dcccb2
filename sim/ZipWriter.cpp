#include "ZipWriter.h"

#include <zlib.h>

#include <ctime>

namespace linkhaul::sim {
namespace {

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// MS-DOS date and time (UTC), the format zip members carry.
void dosTime(std::int64_t mtime, std::uint16_t& time, std::uint16_t& date) {
    std::time_t t = static_cast<std::time_t>(mtime);
    std::tm parts{};
    gmtime_r(&t, &parts);
    if (parts.tm_year < 80) {
        time = 0;
        date = (1 << 5) | 1;  // 1980-01-01
        return;
    }
    time = static_cast<std::uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) |
                                      (parts.tm_sec / 2));
    date = static_cast<std::uint16_t>(((parts.tm_year - 80) << 9) | ((parts.tm_mon + 1) << 5) |
                                      parts.tm_mday);
}

}  // namespace

void ZipWriter::addFolder(const std::string& name, std::int64_t mtime) {
    addMember(name + "/", mtime, "", true);
}

void ZipWriter::addFile(const std::string& name, std::int64_t mtime, const std::string& content) {
    addMember(name, mtime, content, false);
}

void ZipWriter::addMember(const std::string& name, std::int64_t mtime, const std::string& content,
                          bool folder) {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    dosTime(mtime, time, date);
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(
        0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    std::uint32_t size = static_cast<std::uint32_t>(content.size());
    std::uint32_t offset = static_cast<std::uint32_t>(body_.size());
    const std::uint16_t utf8Names = 1 << 11;

    put32(body_, 0x04034B50);
    put16(body_, 20);
    put16(body_, utf8Names);
    put16(body_, 0);  // stored
    put16(body_, time);
    put16(body_, date);
    put32(body_, crc);
    put32(body_, size);
    put32(body_, size);
    put16(body_, static_cast<std::uint32_t>(name.size()));
    put16(body_, 0);
    body_ += name;
    body_ += content;

    put32(directory_, 0x02014B50);
    put16(directory_, (3 << 8) | 20);  // made by Unix, so the modes below count
    put16(directory_, 20);
    put16(directory_, utf8Names);
    put16(directory_, 0);
    put16(directory_, time);
    put16(directory_, date);
    put32(directory_, crc);
    put32(directory_, size);
    put32(directory_, size);
    put16(directory_, static_cast<std::uint32_t>(name.size()));
    put16(directory_, 0);
    put16(directory_, 0);
    put16(directory_, 0);
    put16(directory_, 0);
    put32(directory_, (folder ? 040755u : 0100644u) << 16 | (folder ? 0x10 : 0));
    put32(directory_, offset);
    directory_ += name;
    ++count_;
}

std::string ZipWriter::finish() {
    std::string out = body_;
    std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory_;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, count_);
    put16(out, count_);
    put32(out, static_cast<std::uint32_t>(directory_.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

}  // namespace linkhaul::sim
