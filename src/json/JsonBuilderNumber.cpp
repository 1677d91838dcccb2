#include "json/JsonBuilderNumber.h"

#include "json/JsonTreeText.h"

#include <charconv>
#include <optional>

namespace linkhaul::detail {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
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
    return json_text::textToNumber(text);
}

std::int64_t leadingInteger(std::string_view text) {
    // A file id beyond 2^53 must survive, so a plain integer skips the double.
    if (const auto exact = plainInteger(text)) {
        return *exact;
    }
    return json_text::truncateToInt64(leadingNumber(text));
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
