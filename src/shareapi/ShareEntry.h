#pragma once

// One file or folder of a share as the service lists it. The field names are
// the service's own keys; texts are ANSI bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace linkhaul {

struct ShareEntry {
    std::int64_t fs_id = 0;
    std::string parent_path;
    std::int64_t server_mtime = 0;
    std::string server_filename;
    std::int64_t size = 0;
    std::int32_t isdir = 0;  // 1 for a folder
    std::string path;        // sent as "dir" when the folder is listed

    bool operator==(const ShareEntry&) const = default;
};

// The listing the UI shows, in the order of the service's replies.
using ShareEntryList = std::vector<ShareEntry>;

}  // namespace linkhaul
