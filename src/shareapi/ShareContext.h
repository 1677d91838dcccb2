#pragma once

// What the later requests need to know about the share opened last, plus the
// token of the latest captcha picture. Texts are ANSI bytes.
#include <cstdint>
#include <string>

namespace linkhaul {

struct ShareContext {
    std::int64_t uk = 0;
    std::string sign;
    std::int64_t shareid = 0;
    std::string bdstoken;
    std::int64_t timestamp = 0;
    std::string vcode_str;

    bool operator==(const ShareContext&) const = default;
};

}  // namespace linkhaul
