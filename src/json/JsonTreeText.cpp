#include "json/JsonTreeText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <system_error>

#include <locale.h>

namespace linkhaul::json_text {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Full-width ASCII forms count as their one-byte characters; other two-byte
// characters are kept whole so their trail bytes never read as digits.
std::string normaliseFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x81 || c == 0xFF || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (c == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.push_back(static_cast<char>(trail - 0x80));
        } else if (c == 0xA1 && trail == 0xA1) {
            out.push_back(' ');
        } else {
            out.push_back(text[i]);
            out.push_back(text[i + 1]);
        }
        ++i;
    }
    return out;
}

// Length of the decimal number at the start of text (after blanks), 0 if none.
std::size_t numberPrefix(std::string_view text, std::size_t i) {
    const std::size_t begin = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fraction = 0;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        const std::size_t exponentStart = j;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
        }
        if (j > exponentStart) {
            i = j;
        }
    }
    return i - begin;
}

// Overflow and underflow: the C library decides (HUGE_VAL or 0), read in the
// "C" locale whatever locale the window toolkit installed.
double readOutOfRange(const std::string& number) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(number.c_str(), nullptr, cLocale);
}

double readDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    const std::size_t length = numberPrefix(text, i);
    if (length == 0) {
        return 0;
    }
    std::string_view number = text.substr(i, length);
    bool negative = false;
    if (number.front() == '+' || number.front() == '-') {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        value = readOutOfRange(std::string(number));
    } else if (error != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

}  // namespace

bool plainInteger(std::string_view text, std::int64_t& value) {
    // from_chars takes a minus but no plus.
    const bool plus = !text.empty() && text.front() == '+';
    const std::string_view number = plus ? text.substr(1) : text;
    const std::size_t digitsStart = !plus && !number.empty() && number.front() == '-' ? 1 : 0;
    if (digitsStart == number.size()) {
        return false;
    }
    for (std::size_t i = digitsStart; i < number.size(); ++i) {
        if (!isDigit(number[i])) {
            return false;
        }
    }
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    return error == std::errc() && end == number.data() + number.size();
}

double textToNumber(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x81) {
            return readDecimal(normaliseFullWidth(text));
        }
    }
    return readDecimal(text);
}

std::int64_t truncateToInt64(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value < -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(std::trunc(value));
}

}  // namespace linkhaul::json_text
