#include "Digest.h"

#include <cstring>

namespace linkhaul::sim {

void fillContent(std::int64_t fsId, std::uint64_t offset, char* out, std::size_t length) {
    std::size_t done = 0;
    // Head bytes up to the next word boundary, then whole words.
    while (done < length && ((offset + done) & 7) != 0) {
        out[done] = static_cast<char>(contentByte(fsId, offset + done));
        ++done;
    }
    std::uint64_t base = static_cast<std::uint64_t>(fsId) << 32;
    while (length - done >= 8) {
        std::uint64_t word = mix64(base + ((offset + done) >> 3));
        for (int b = 0; b < 8; ++b)
            out[done + b] = static_cast<char>(word >> (8 * b));
        done += 8;
    }
    while (done < length) {
        out[done] = static_cast<char>(contentByte(fsId, offset + done));
        ++done;
    }
}

std::uint64_t hashText(const std::string& text) {
    std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return mix64(h);
}

std::string hexDigest(const std::string& text, std::size_t digits) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    std::uint64_t word = hashText(text);
    for (std::size_t i = 0; i < digits; ++i) {
        if (i > 0 && i % 16 == 0)
            word = mix64(word);
        out += hex[(word >> (4 * (i % 16))) & 15];
    }
    return out;
}

std::string cookieFor(const std::string& shareId) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint64_t word = hashText("BDCLND:" + shareId);
    for (int i = 0; i < 43; ++i) {
        if (i % 10 == 0)
            word = mix64(word + static_cast<std::uint64_t>(i));
        char c = alphabet[(word >> (6 * (i % 10))) & 63];
        if (c == '+')
            out += "%2B";
        else if (c == '/')
            out += "%2F";
        else
            out += c;
    }
    return out + "%3D";
}

bool validCaptchaAnswer(const std::string& answer) {
    if (answer.size() != 4)
        return false;
    for (char c : answer) {
        if (!std::strchr(CAPTCHA_ALPHABET, c) || c == '\0')
            return false;
    }
    return true;
}

}  // namespace linkhaul::sim
