#pragma once

#include <string>

namespace linkhaul::platform {

// count decimal digits, each drawn uniformly from "0".."9" by a generator
// seeded afresh on every call.
[[nodiscard]] std::string randomDigits(int count);

}  // namespace linkhaul::platform
