#pragma once

// Makes single JsonBuilder values, writes any JsonBuilder as JSON text, and
// reads JSON text back into JsonBuilder values (through JsonTree, or with a
// small token reader of its own).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "json/JsonBuilder.h"

namespace linkhaul {

class JsonTree;

struct JsonParseResult {
    bool ok = false;
    std::string error;  // "" on success
    JsonBuilder value;  // null after a failure
};

class JsonValueCodec {
public:
    // The token reader's input: the bytes of one text with a read position.
    class ByteStream {
    public:
        explicit ByteStream(std::string bytes = {}) : bytes_(std::move(bytes)) {}
        // The next byte, or nothing at the end.
        [[nodiscard]] std::optional<char> read() {
            if (pos_ >= bytes_.size()) {
                return std::nullopt;
            }
            return bytes_[pos_++];
        }
        void back() {
            if (pos_ > 0) {
                --pos_;
            }
        }

    private:
        std::string bytes_;
        std::size_t pos_ = 0;
    };

    JsonValueCodec() = default;

    void setIndentUnit(std::string unit) { indentUnit_ = std::move(unit); }

    [[nodiscard]] JsonBuilder makeInteger(std::int64_t value) const;
    [[nodiscard]] JsonBuilder makeDouble(double value) const;
    [[nodiscard]] JsonBuilder makeText(std::string value) const;
    [[nodiscard]] JsonBuilder makeBool(bool value) const;
    [[nodiscard]] JsonBuilder makeNull() const;

    // Parses with a fresh JsonTree. On failure result carries the tree's
    // message with its (line:column) and a null value. Returns result.value.
    JsonBuilder parseWithTree(std::string_view text, JsonParseResult& result) const;
    // Copies the tree's value at node (the root when omitted), with all its
    // children, into target. False for a kind it does not handle.
    bool fromTree(const JsonTree& tree, JsonBuilder& target,
                  std::optional<std::int32_t> node = std::nullopt) const;

    // Parses with the token reader; a lone scalar is read as a one-element
    // array. Returns result.value.
    JsonBuilder parseText(std::string_view text, JsonParseResult& result) const;
    [[nodiscard]] JsonParseResult readValue(ByteStream& stream) const;
    [[nodiscard]] bool isNumberToken(std::string_view token) const;
    // The next token: a structural byte, a number, a quoted string with its
    // quotes and escapes, or a word with its blanks dropped; "" at the end or
    // for a string cut by a line break or the end.
    [[nodiscard]] std::string nextToken(ByteStream& stream) const;
    // The next byte that is not blank, as a one-byte text, or "" at the end.
    [[nodiscard]] std::string nextChar(ByteStream& stream) const;

    // JSON text of value: CR LF line ends and indentUnit steps when pretty,
    // member names sorted when sortKeys.
    [[nodiscard]] std::string toText(const JsonBuilder& value, bool pretty = true,
                                     bool sortKeys = true, std::int32_t level = 0) const;
    // Appends the text of value to out; returns the whole of out when nested is
    // false, otherwise "".
    std::string writeValue(const JsonBuilder& value, bool pretty, bool sortKeys, std::int32_t level,
                           std::string& out, bool nested) const;
    [[nodiscard]] std::string quoteText(std::string_view text) const;
    [[nodiscard]] std::string unescapeText(std::string_view text) const;
    [[nodiscard]] std::string indent(bool pretty, std::int32_t level) const;
    [[nodiscard]] std::string newline(bool pretty) const { return pretty ? "\r\n" : ""; }

private:
    [[nodiscard]] JsonParseResult readValueAt(ByteStream& stream, int depth) const;
    bool fromTreeAt(const JsonTree& tree, JsonBuilder& target, std::int32_t node, int depth) const;
    void appendIndent(std::string& out, bool pretty, std::int32_t level) const;

    std::string structuralChars_ = "{[]},:";
    std::string numberChars_ = "-0123456789.";
    std::string blankBytes_ = "\x08\x09\x0A\x0C\x0D\x20";
    std::string indentUnit_ = "    ";
};

}  // namespace linkhaul
