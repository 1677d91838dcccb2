#pragma once

// The values that every request to the share service carries: time stamps,
// log ids and percent-encoded user text.
#include <optional>
#include <string>
#include <string_view>

namespace linkhaul {

// The Unix time in seconds followed by the three millisecond digits
// ("1520648405007").
[[nodiscard]] std::string makeTimestamp();

// digits random decimal digits (19 when omitted or 0). With base64, the
// Base64 of makeTimestamp() + "." + those digits.
[[nodiscard]] std::string makeLogId(bool base64, std::optional<int> digits = std::nullopt);

// Percent-encodes the UTF-8 form of an ANSI text: letters and digits stay, a
// space becomes "+", every other byte "%XX" (so "/" becomes "%2F").
[[nodiscard]] std::string urlEncodeUtf8(std::string_view ansi);

}  // namespace linkhaul
