#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace linkhaul::platform {

// Standard Base64 (RFC 4648 alphabet, "=" padding) without line breaks.
[[nodiscard]] std::string base64Encode(std::string_view bytes);

// The inverse; nullopt when the text is not canonical padded Base64.
[[nodiscard]] std::optional<std::string> base64Decode(std::string_view text);

}  // namespace linkhaul::platform
