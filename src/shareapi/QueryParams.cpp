#include "shareapi/QueryParams.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace linkhaul {

std::string textBetween(std::string_view text, std::string_view left, std::string_view right) {
    const std::size_t start = text.find(left);
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t from = start + left.size();
    const std::size_t end = text.find(right, from);
    if (end == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(from, end - from));
}

std::string textAfterLast(std::string_view text, std::string_view marker) {
    if (marker.empty()) {
        return std::string(text);
    }
    const std::size_t at = text.rfind(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(at + marker.size()));
}

void QueryParams::setText(std::string_view text) {
    text_.assign(text);
    if (!text_.empty() && text_.back() == '&') {
        text_.pop_back();
    }
}

void QueryParams::addText(std::string_view key, std::string_view value) {
    std::string pair(key);
    pair += '=';
    if (text_.find(pair) != std::string::npos) {
        const std::string old = pair + getText(key);
        const std::size_t at = text_.find(old);
        if (at != std::string::npos) {
            text_.replace(at, old.size(), pair.append(value));
        }
        return;
    }
    if (!text_.empty()) {
        text_ += '&';
    }
    text_ += pair;
    text_ += value;
}

void QueryParams::addInt(std::string_view key, std::int32_t value) {
    addText(key, std::to_string(value));
}

void QueryParams::addBool(std::string_view key, std::optional<bool> value) {
    addText(key, !value ? "" : (*value ? "true" : "false"));
}

std::string QueryParams::getText(std::string_view key) const {
    std::string marker(key);
    marker += '=';
    std::string value = textBetween(text_, marker, "&");
    if (value.empty()) {
        value = textAfterLast(text_, marker);
    }
    return value;
}

std::int32_t QueryParams::getInt(std::string_view key) const {
    const std::string text = getText(key);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(v)) {
        return 0;
    }
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::trunc(v < lo ? lo : (v > hi ? hi : v)));
}

bool QueryParams::getBool(std::string_view key) const {
    return getText(key) == "true";
}

std::string QueryParams::takeText() {
    std::string out;
    out.swap(text_);
    return out;
}

}  // namespace linkhaul
