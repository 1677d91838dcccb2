#pragma once

// Number <-> text conversions shared by JsonBuilder and JsonValueCodec. They
// never consult the process locale: the Qt front end switches LC_NUMERIC to the
// user's locale, which would otherwise turn "0.1" into "0,1" on the wire.
#include <cstdint>
#include <string>
#include <string_view>

namespace linkhaul::detail {

// The longest leading decimal number of text, as atof reads it: leading blanks,
// an optional sign, digits with an optional fraction, an optional exponent.
// Full-width ASCII forms (0xA3 0xA1..0xFE) and the full-width space (0xA1 0xA1)
// count as their one-byte counterparts. No number gives 0.
[[nodiscard]] double leadingNumber(std::string_view text);

// A plain integer text (optional sign, decimal digits, nothing else) that fits
// in 64 bits is read exactly; every other text goes through leadingNumber and
// is truncated toward zero, saturating at the 64-bit limits.
[[nodiscard]] std::int64_t leadingInteger(std::string_view text);

// printf's "%.13g", always with a decimal point.
[[nodiscard]] std::string formatDouble13g(double value);

}  // namespace linkhaul::detail
