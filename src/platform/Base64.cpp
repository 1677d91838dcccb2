#include "platform/Base64.h"

#include <cstdint>

namespace linkhaul::platform {
namespace {
constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}
}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16 |
                                static_cast<std::uint8_t>(bytes[i + 1]) << 8 |
                                static_cast<std::uint8_t>(bytes[i + 2]);
        out.push_back(ALPHABET[v >> 18]);
        out.push_back(ALPHABET[(v >> 12) & 63]);
        out.push_back(ALPHABET[(v >> 6) & 63]);
        out.push_back(ALPHABET[v & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        }
        out.push_back(ALPHABET[v >> 18]);
        out.push_back(ALPHABET[(v >> 12) & 63]);
        out.push_back(rest == 2 ? ALPHABET[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=') {
            return std::nullopt;
        }
        std::uint32_t v = 0;
        for (int k = 0; k < 4 - pad; ++k) {
            const int s = sextet(text[i + k]);
            if (s < 0) {
                return std::nullopt;
            }
            v |= static_cast<std::uint32_t>(s) << (18 - 6 * k);
        }
        out.push_back(static_cast<char>(v >> 16));
        if (pad < 2)
            out.push_back(static_cast<char>((v >> 8) & 0xFF));
        if (pad < 1)
            out.push_back(static_cast<char>(v & 0xFF));
    }
    return out;
}

}  // namespace linkhaul::platform
