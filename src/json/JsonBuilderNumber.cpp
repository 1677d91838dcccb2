#include "json/JsonBuilderNumber.h"

#include "json/JsonTreeText.h"

#include <charconv>

namespace linkhaul::detail {

double leadingNumber(std::string_view text) {
    return json_text::textToNumber(text);
}

std::int64_t leadingInteger(std::string_view text) {
    // A file id beyond 2^53 must survive, so a plain integer skips the double.
    if (std::int64_t exact = 0; json_text::plainInteger(text, exact)) {
        return exact;
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
