#pragma once

// Number readings of value texts, shared by the tree's accessors.
#include <cstdint>
#include <string_view>

namespace linkhaul::json_text {

// True when text is an optional minus and digits only and fits in 64 bits.
[[nodiscard]] bool plainInteger(std::string_view text, std::int64_t& value);

// Full-width forms (0xA3 0xA1..0xFE, 0xA1 0xA1) read as their ASCII
// counterparts, then the longest leading decimal number: blanks, an optional
// sign, digits with an optional fraction, an optional exponent. 0 without one.
[[nodiscard]] double textToNumber(std::string_view text);

// Truncation toward zero, clamped to the 64-bit range (NaN gives 0).
[[nodiscard]] std::int64_t truncateToInt64(double value);

}  // namespace linkhaul::json_text
