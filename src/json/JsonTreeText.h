#pragma once

// Readings of value and key texts, shared by the tree, its member map and
// its accessors.
#include <cstdint>
#include <cstring>
#include <string_view>

namespace linkhaul::json_text {

// Texts are C-style for hashing, comparing and reading: a zero byte ends them.
// Inline: every key lookup passes through it.
[[nodiscard]] inline std::string_view untilZero(std::string_view text) {
    if (text.empty()) {
        return text;
    }
    const void* zero = std::memchr(text.data(), 0, text.size());
    if (zero == nullptr) {
        return text;
    }
    return text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
}

// True when text is an optional sign and digits only and fits in 64 bits.
[[nodiscard]] bool plainInteger(std::string_view text, std::int64_t& value);

// Full-width forms (0xA3 0xA1..0xFE, 0xA1 0xA1) read as their ASCII
// counterparts, then the longest leading decimal number: blanks, an optional
// sign, digits with an optional fraction, an optional exponent. 0 without one.
[[nodiscard]] double textToNumber(std::string_view text);

// Truncation toward zero, clamped to the 64-bit range (NaN gives 0).
[[nodiscard]] std::int64_t truncateToInt64(double value);

}  // namespace linkhaul::json_text
