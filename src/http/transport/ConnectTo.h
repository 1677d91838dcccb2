#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linkhaul::transport {

// Environment variable holding the default connect-to mapping.
inline constexpr const char* CONNECT_TO_VARIABLE = "LINKHAUL_CONNECT_TO";

// Parses comma-separated HOST:PORT:TARGET_HOST:TARGET_PORT entries (blanks
// around entries ignored, empty entries skipped). nullopt when any entry is
// malformed, so a typo never half-applies.
[[nodiscard]] std::optional<std::vector<std::string>> parseConnectTo(std::string_view text);

}  // namespace linkhaul::transport
