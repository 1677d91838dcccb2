#include "platform/CodePage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace linkhaul::platform {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
constexpr int TWO_BYTE_TRAILS = 191;        // trail bytes 0x40..0xFE
constexpr int FOUR_BYTE_BMP_CODES = 39420;  // 0x81308130..0x8431A439

struct Encoded {
    std::uint8_t length = 0;
    std::array<char, 4> bytes{};
};

// GB18030 for the whole Basic Multilingual Plane, computed once from glibc's
// converter: per-character iconv calls would dominate JSON parsing and body
// decoding, so every later conversion is a table look-up.
struct Tables {
    std::vector<Encoded> forward = std::vector<Encoded>(0x10000);
    std::vector<char16_t> twoByte = std::vector<char16_t>(126 * TWO_BYTE_TRAILS, 0);
    std::vector<char16_t> fourByte = std::vector<char16_t>(FOUR_BYTE_BMP_CODES, 0);

    Tables() {
        buildForward();
        buildReverse();
    }

    void buildForward() {
        iconv_t cd = iconv_open("GB18030", "UTF-32LE");
        for (char32_t cp = 1; cp < 0x10000; ++cp) {
            Encoded& e = forward[cp];
            if (cp < 0x80) {
                e.length = 1;
                e.bytes[0] = static_cast<char>(cp);
                continue;
            }
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                continue;  // surrogates have no encoding of their own
            }
            if (cd == reinterpret_cast<iconv_t>(-1)) {
                continue;
            }
            std::array<char, 4> in{static_cast<char>(cp & 0xFF),
                                   static_cast<char>((cp >> 8) & 0xFF), 0, 0};
            char* inPtr = in.data();
            std::size_t inLeft = in.size();
            char* outPtr = e.bytes.data();
            std::size_t outLeft = e.bytes.size();
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
                e.length = static_cast<std::uint8_t>(e.bytes.size() - outLeft);
            }
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd);
        }
    }

    void buildReverse() {
        for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
            const Encoded& e = forward[cp];
            const auto b = [&](int i) { return static_cast<std::uint8_t>(e.bytes[i]); };
            if (e.length == 2) {
                char16_t& slot = twoByte[(b(0) - 0x81) * TWO_BYTE_TRAILS + (b(1) - 0x40)];
                if (slot == 0) {
                    slot = static_cast<char16_t>(cp);
                }
            } else if (e.length == 4) {
                const int linear = fourByteLinear(b(0), b(1), b(2), b(3));
                if (linear >= 0 && linear < FOUR_BYTE_BMP_CODES && fourByte[linear] == 0) {
                    fourByte[linear] = static_cast<char16_t>(cp);
                }
            }
        }
    }

    static int fourByteLinear(int b1, int b2, int b3, int b4) {
        return (((b1 - 0x81) * 10 + (b2 - 0x30)) * 126 + (b3 - 0x81)) * 10 + (b4 - 0x30);
    }
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at text[i]; advances i past it. An ill-formed
// sequence yields U+FFFD and consumes its maximal valid prefix (at least one
// byte), the usual replacement practice.
char32_t decodeUtf8(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int need = 0;
    char32_t cp = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;  // bounds of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            lo = 0xA0;
        if (lead == 0xED)
            hi = 0x9F;  // no UTF-8 encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            lo = 0x90;
        if (lead == 0xF4)
            hi = 0x8F;
    } else {
        ++i;
        return REPLACEMENT;
    }
    ++i;
    for (int k = 0; k < need; ++k) {
        if (i >= text.size()) {
            return REPLACEMENT;
        }
        const std::uint8_t c = byte(i);
        if (c < lo || c > hi) {
            return REPLACEMENT;
        }
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (c & 0x3F);
        ++i;
    }
    return cp;
}

// Decodes one GB18030 sequence at text[i]; advances i past it.
char32_t decodeAnsi(std::string_view text, std::size_t& i) {
    const Tables& t = tables();
    const auto byte = [&](std::size_t k) {
        return k < text.size() ? static_cast<std::uint8_t>(text[k]) : std::uint8_t{0};
    };
    const std::uint8_t b1 = byte(i);
    if (b1 < 0x80) {
        ++i;
        return b1;
    }
    if (b1 == 0x80 || b1 == 0xFF) {
        ++i;
        return REPLACEMENT;
    }
    const std::uint8_t b2 = byte(i + 1);
    if (b2 >= 0x40 && b2 <= 0xFE && b2 != 0x7F) {
        const char16_t cp = t.twoByte[(b1 - 0x81) * TWO_BYTE_TRAILS + (b2 - 0x40)];
        i += 2;
        return cp != 0 ? cp : REPLACEMENT;
    }
    const std::uint8_t b3 = byte(i + 2), b4 = byte(i + 3);
    if (b2 >= 0x30 && b2 <= 0x39 && b3 >= 0x81 && b3 <= 0xFE && b4 >= 0x30 && b4 <= 0x39) {
        i += 4;
        if (b1 <= 0x84) {
            const int linear = Tables::fourByteLinear(b1, b2, b3, b4);
            if (linear < FOUR_BYTE_BMP_CODES && t.fourByte[linear] != 0) {
                return t.fourByte[linear];
            }
            return REPLACEMENT;
        }
        if (b1 >= 0x90 && b1 <= 0xE3) {
            const int linear = Tables::fourByteLinear(b1 - 0x90 + 0x81, b2, b3, b4);
            const char32_t cp = 0x10000 + static_cast<char32_t>(linear);
            return cp <= 0x10FFFF ? cp : REPLACEMENT;
        }
        return REPLACEMENT;
    }
    ++i;
    return REPLACEMENT;
}

}  // namespace

void appendCodePointAnsi(std::string& out, char32_t cp) {
    if (cp == 0) {
        return;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    if (cp < 0x10000) {
        const Encoded& e = tables().forward[cp];
        if (e.length == 0) {
            out.push_back('?');
        } else {
            out.append(e.bytes.data(), e.length);
        }
        return;
    }
    if (cp > 0x10FFFF) {
        out.push_back('?');
        return;
    }
    // Supplementary planes follow a fixed arithmetic layout in GB18030.
    std::uint32_t linear = cp - 0x10000;
    const char b4 = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    const char b3 = static_cast<char>(0x81 + linear % 126);
    linear /= 126;
    const char b2 = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    const char b1 = static_cast<char>(0x90 + linear);
    out.push_back(b1);
    out.push_back(b2);
    out.push_back(b3);
    out.push_back(b4);
}

std::string codePointToAnsi(char32_t codePoint) {
    std::string out;
    appendCodePointAnsi(out, codePoint);
    return out;
}

std::string utf16UnitToAnsi(char16_t unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return "?";
    }
    return codePointToAnsi(unit);
}

std::string utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        // ASCII runs are the bulk of every reply; copy them without decoding.
        std::size_t run = i;
        while (run < utf8.size() && static_cast<std::uint8_t>(utf8[run]) < 0x80) {
            ++run;
        }
        out.append(utf8.data() + i, run - i);
        i = run;
        if (i < utf8.size()) {
            const char32_t cp = decodeUtf8(utf8, i);
            if (cp == 0) {
                out.push_back('\0');
            } else {
                appendCodePointAnsi(out, cp);
            }
        }
    }
    return out;
}

std::string ansiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 2);
    std::size_t i = 0;
    while (i < ansi.size()) {
        appendUtf8(out, decodeAnsi(ansi, i));
    }
    return out;
}

}  // namespace linkhaul::platform
