#include "json/JsonBuilderNumber.h"

#include <locale.h>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

namespace linkhaul::detail {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLeadingBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Normalises the beginning of text up to the first character that can never be
// part of a number. Only that prefix matters, and walking character by
// character keeps a trail byte from being mistaken for the start of a
// full-width form.
std::string normalisedPrefix(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) {
            break;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (c == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.push_back(static_cast<char>(trail - 0x80));
        } else if (c == 0xA1 && trail == 0xA1) {
            out.push_back(' ');
        } else {
            break;
        }
        i += 2;
    }
    return out;
}

// Length of the number at the front of s (after blanks were skipped), 0 when
// there is none.
std::size_t numberLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) {
                ++j;
            }
            i = j;
        }
    }
    return i;
}

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::optional<std::int64_t> plainInteger(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    for (char c : digits) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
    }
    // from_chars takes a minus but no plus.
    const std::string_view number = text.front() == '-' ? text : digits;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

double leadingNumber(std::string_view text) {
    const std::string s = normalisedPrefix(text);
    std::size_t start = 0;
    while (start < s.size() && isLeadingBlank(s[start])) {
        ++start;
    }
    const std::size_t length = numberLength(std::string_view(s).substr(start));
    if (length == 0) {
        return 0.0;
    }
    // strtod over exactly the validated digits: correct rounding, overflow to
    // infinity and underflow to zero as atof gives them.
    const std::string number = s.substr(start, length);
    return strtod_l(number.c_str(), nullptr, cLocale());
}

std::int64_t leadingInteger(std::string_view text) {
    // A file id beyond 2^53 must survive, so a plain integer skips the double.
    if (const auto exact = plainInteger(text)) {
        return *exact;
    }
    const double number = leadingNumber(text);
    constexpr double limit = 9223372036854775808.0;  // 2^63
    if (std::isnan(number)) {
        return 0;
    }
    if (number >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (number <= -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(number);
}

std::string formatDouble13g(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    if (ec != std::errc()) {
        return "0";
    }
    return std::string(buffer, end);
}

}  // namespace linkhaul::detail
