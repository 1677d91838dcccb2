#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace linkhaul {

// A request URL taken apart the way HttpClient opens it.
struct UrlParts {
    std::string scheme;  // "http://" or "https://"
    std::string host;
    std::int32_t port = 80;
    std::string path;  // always begins with "/", carries the query
};

// Puts "http://" in front of a URL that starts with neither scheme (letters
// compared without case).
[[nodiscard]] std::string normaliseUrl(std::string_view url);

// Splits a normalised URL. An explicit port of 10 or less becomes 80.
[[nodiscard]] UrlParts splitUrl(std::string_view url);

}  // namespace linkhaul
