#include "http/UrlParts.h"

#include <algorithm>

namespace linkhaul {
namespace {

bool startsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == (t >= 'A' && t <= 'Z' ? static_cast<char>(t + 32) : t);
           });
}

// Decimal value after leading blanks, up to the first non-digit; saturates
// rather than overflowing on absurd digit runs.
std::int64_t leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), 1'000'000'000'000LL);
    }
    return value;
}

}  // namespace

std::string normaliseUrl(std::string_view url) {
    if (url.size() < 8 || (!startsNoCase(url, "https://") && !startsNoCase(url, "http://"))) {
        return "http://" + std::string(url);
    }
    return std::string(url);
}

UrlParts splitUrl(std::string_view url) {
    UrlParts parts;
    std::size_t hostStart = 0;
    if (url.size() >= 8 && startsNoCase(url, "https://")) {
        parts.scheme = "https://";
        hostStart = 8;
    } else if (url.size() >= 8 && startsNoCase(url, "http://")) {
        parts.scheme = "http://";
        hostStart = 7;
    } else {
        parts.scheme = "http://";
    }
    std::size_t slash = url.find('/', hostStart);
    if (slash == std::string_view::npos) {
        slash = url.size();
    }
    parts.path = slash < url.size() ? std::string(url.substr(slash)) : std::string(1, '/');
    // The port separator is looked for inside the host part only, so a short
    // host never meets the scheme's own colon.
    const std::size_t colon = url.find(':', hostStart);
    std::size_t hostEnd = slash;
    if (colon != std::string_view::npos && colon < slash) {
        const std::int64_t port = leadingNumber(url.substr(colon + 1, slash - colon - 1));
        parts.port =
            port <= 10 ? 80 : static_cast<std::int32_t>(std::min<std::int64_t>(port, 99999));
        hostEnd = colon;
    } else {
        parts.port = parts.scheme == "https://" ? 443 : 80;
    }
    if (hostEnd > hostStart) {
        parts.host = std::string(url.substr(hostStart, hostEnd - hostStart));
    }
    return parts;
}

}  // namespace linkhaul
