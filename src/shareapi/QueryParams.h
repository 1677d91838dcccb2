#pragma once

// A query string or form body built key by key. The accumulated text is the
// only state: a key added again is rewritten in place, which fixes the order
// of the parameters on the wire.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace linkhaul {

// The text strictly between the first `left` and the next `right` after it;
// empty when either is missing.
[[nodiscard]] std::string textBetween(std::string_view text, std::string_view left,
                                      std::string_view right);

// The text after the last `marker`; empty when it does not occur, the whole
// text for an empty marker.
[[nodiscard]] std::string textAfterLast(std::string_view text, std::string_view marker);

class QueryParams {
public:
    // Replaces the whole text; one trailing "&" is dropped.
    void setText(std::string_view text);

    // Adds key=value, or rewrites the value in place when "key=" already
    // occurs anywhere in the text. The presence test is a plain substring
    // search, so "id" finds the "id=" inside "fs_id=". Nothing is encoded.
    void addText(std::string_view key, std::string_view value = {});
    void addInt(std::string_view key, std::int32_t value);
    // "true" for true, "false" for false, an empty value when omitted.
    void addBool(std::string_view key, std::optional<bool> value = std::nullopt);

    [[nodiscard]] std::string getText(std::string_view key) const;
    [[nodiscard]] std::int32_t getInt(std::string_view key) const;
    [[nodiscard]] bool getBool(std::string_view key) const;

    // Hands out the text and leaves the object empty.
    [[nodiscard]] std::string takeText();

    [[nodiscard]] const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace linkhaul
