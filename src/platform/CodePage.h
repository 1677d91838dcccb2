#pragma once

// The program's "ANSI" code page is GB18030: a superset of code page 936 in
// which every GBK character keeps its bytes, while characters GBK lacks
// (emoji, Hangul, rare CJK) still survive a round trip.
#include <string>
#include <string_view>

namespace linkhaul::platform {

// UTF-8 to ANSI. Each invalid UTF-8 sequence becomes U+FFFD; the rest of the
// text is kept.
[[nodiscard]] std::string utf8ToAnsi(std::string_view utf8);

// ANSI to UTF-8. A byte that starts no valid GB18030 sequence becomes U+FFFD.
[[nodiscard]] std::string ansiToUtf8(std::string_view ansi);

// One UTF-16 code unit to ANSI: 0, 1 or 2 bytes (4 for the few BMP characters
// outside GBK). U+0000 gives nothing; a lone surrogate gives "?".
[[nodiscard]] std::string utf16UnitToAnsi(char16_t unit);

// One Unicode code point to ANSI (1, 2 or 4 bytes). U+0000 gives nothing; a
// surrogate or a value past U+10FFFF gives "?".
[[nodiscard]] std::string codePointToAnsi(char32_t codePoint);

// Appends the ANSI bytes of a code point to out; the allocation-free form of
// codePointToAnsi for hot loops.
void appendCodePointAnsi(std::string& out, char32_t codePoint);

}  // namespace linkhaul::platform
