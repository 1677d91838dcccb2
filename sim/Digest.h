#pragma once

#include <cstdint>
#include <string>

namespace linkhaul::sim {

// Captcha answers use letters and digits that cannot be mistaken for one another.
inline constexpr const char* CAPTCHA_ALPHABET = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";

// splitmix64's finaliser: cheap, well mixed, and easy to restate in a test.
[[nodiscard]] constexpr std::uint64_t mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Byte i of the file with the given fs_id: byte (i mod 8) of the little-endian
// word mix64(fs_id * 2^32 + i / 8) (all arithmetic modulo 2^64).
[[nodiscard]] constexpr unsigned char contentByte(std::int64_t fsId, std::uint64_t offset) {
    std::uint64_t word = mix64((static_cast<std::uint64_t>(fsId) << 32) + (offset >> 3));
    return static_cast<unsigned char>(word >> (8 * (offset & 7)));
}

// Fills out[0..length) with the file's bytes from offset on.
void fillContent(std::int64_t fsId, std::uint64_t offset, char* out, std::size_t length);

[[nodiscard]] std::uint64_t hashText(const std::string& text);
[[nodiscard]] std::string hexDigest(const std::string& text, std::size_t digits);

// The default BDCLND value of a share: Base64-looking and percent-encoded like the real one.
[[nodiscard]] std::string cookieFor(const std::string& shareId);

[[nodiscard]] bool validCaptchaAnswer(const std::string& answer);

}  // namespace linkhaul::sim
