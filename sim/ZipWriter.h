#pragma once

#include <cstdint>
#include <string>

namespace linkhaul::sim {

// Builds a zip archive in memory with stored (uncompressed) members and UTF-8 names;
// enough for a packed download that any unzip tool lists and extracts.
class ZipWriter {
public:
    void addFolder(const std::string& name, std::int64_t mtime);
    void addFile(const std::string& name, std::int64_t mtime, const std::string& content);
    [[nodiscard]] std::string finish();

private:
    void addMember(const std::string& name, std::int64_t mtime, const std::string& content,
                   bool folder);

    std::string body_;
    std::string directory_;
    std::uint16_t count_ = 0;
};

}  // namespace linkhaul::sim
