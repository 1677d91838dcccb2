#include "json/JsonValueCodec.h"

#include <algorithm>
#include <vector>

#include "json/JsonBuilderNumber.h"
#include "platform/CodePage.h"

namespace linkhaul {

namespace {

// Deeper input is refused rather than risking the stack; real replies nest a
// handful of levels.
constexpr int MAX_DEPTH = 1000;

// The reader's messages, converted once from the UTF-8 source to ANSI.
struct Messages {
    std::string empty = platform::utf8ToAnsi("要解析的JSON内容为空");
    std::string badText = platform::utf8ToAnsi("JSON文本格式不正确");
    std::string unquotedName = platform::utf8ToAnsi("解析出错，对象名称必须带引号");
    std::string noColon = platform::utf8ToAnsi("解析出错，未找到分割符 \":\"");
    std::string badFormat = platform::utf8ToAnsi("解析出错，JSON格式不正确");
    std::string unknownOpen = platform::utf8ToAnsi("未知的符号“");
    std::string unknownClose = platform::utf8ToAnsi("”");
    std::string tooDeep = platform::utf8ToAnsi("解析出错，JSON嵌套层数超出限制");
};

const Messages& messages() {
    static const Messages table;
    return table;
}

std::string unknownSymbol(const std::string& token) {
    return messages().unknownOpen + token + messages().unknownClose;
}

bool isLeadByte(char c) {
    return static_cast<unsigned char>(c) > 0x80;
}

// Copies the double-byte character starting at text[i] whole and steps i onto
// its trail byte, which may have the value of a backslash (0x95 0x5C) and must
// never be read as an escape. False when no such character starts there.
bool copyDoubleByte(std::string_view text, std::size_t& i, std::string& out) {
    if (!isLeadByte(text[i]) || i + 1 >= text.size()) {
        return false;
    }
    out += text[i];
    out += text[++i];
    return true;
}

bool contains(const std::string& set, char c) {
    return set.find(c) != std::string::npos;
}

JsonParseResult failure(std::string message) {
    JsonParseResult result;
    result.ok = false;
    result.error = std::move(message);
    return result;
}

}  // namespace

// ---- makers ----

JsonBuilder JsonValueCodec::makeInteger(std::int64_t value) const {
    JsonBuilder b;
    b.setLong(value);
    return b;
}

JsonBuilder JsonValueCodec::makeDouble(double value) const {
    JsonBuilder b;
    b.setDouble(value);
    return b;
}

JsonBuilder JsonValueCodec::makeText(std::string value) const {
    JsonBuilder b;
    b.setString(std::move(value));
    return b;
}

JsonBuilder JsonValueCodec::makeBool(bool value) const {
    JsonBuilder b;
    b.setBool(value);
    return b;
}

JsonBuilder JsonValueCodec::makeNull() const {
    return JsonBuilder();
}

// ---- writer ----

std::string JsonValueCodec::toText(const JsonBuilder& value, bool pretty, bool sortKeys,
                                   std::int32_t level) const {
    std::string out;
    return writeValue(value, pretty, sortKeys, level, out, false);
}

std::string JsonValueCodec::writeValue(const JsonBuilder& value, bool pretty, bool sortKeys,
                                       std::int32_t level, std::string& out, bool nested) const {
    if (!nested) {
        appendIndent(out, pretty, level);
    }
    if (value.typeIs("long")) {
        out += std::to_string(value.getLong());
    } else if (value.typeIs("double")) {
        out += detail::formatDouble13g(value.getDouble());
    } else if (value.typeIs("string")) {
        out += quoteText(value.getString());
    } else if (value.typeIs("array")) {
        out += '[';
        out += newline(pretty);
        const std::int32_t n = value.count();
        for (std::int32_t i = 1; i <= n; ++i) {
            if (i > 1) {
                out += ',';
                out += newline(pretty);
            }
            appendIndent(out, pretty, level + 1);
            writeValue(value.element(i), pretty, sortKeys, level + 1, out, true);
        }
        out += newline(pretty);
        appendIndent(out, pretty, level);
        out += ']';
    } else if (value.typeIs("object")) {
        out += '{';
        out += newline(pretty);
        std::vector<std::string> names;
        value.memberKeys(names);
        if (sortKeys) {
            // Unsigned byte order is the ANSI order: ASCII by value, and a
            // double-byte character compares as its two-byte code. Stable, so
            // equal names keep their order.
            std::stable_sort(names.begin(), names.end());
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i > 0) {
                out += ',';
                out += newline(pretty);
            }
            appendIndent(out, pretty, level + 1);
            out += quoteText(names[i]);
            out += pretty ? " : " : ":";
            writeValue(value.member(names[i]), pretty, sortKeys, level + 1, out, true);
        }
        out += newline(pretty);
        appendIndent(out, pretty, level);
        out += '}';
    } else if (value.typeIs("bool")) {
        out += value.getBool() ? "true" : "false";
    } else if (value.typeIs("null")) {
        out += "null";
    }
    return nested ? std::string() : out;
}

std::string JsonValueCodec::quoteText(std::string_view text) const {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Written unchanged: doubling a 0x5C trail byte would break the
        // character for every reader.
        if (copyDoubleByte(text, i, out)) {
            continue;
        }
        const char c = text[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '/':
                out += "\\/";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                out += c;
                break;
        }
    }
    out += '"';
    return out;
}

std::string JsonValueCodec::indent(bool pretty, std::int32_t level) const {
    std::string out;
    appendIndent(out, pretty, level);
    return out;
}

void JsonValueCodec::appendIndent(std::string& out, bool pretty, std::int32_t level) const {
    if (!pretty) {
        return;
    }
    for (std::int32_t i = 0; i < level; ++i) {
        out += indentUnit_;
    }
}

// ---- token reader ----

std::string JsonValueCodec::nextChar(ByteStream& stream) const {
    while (const auto c = stream.read()) {
        if (!contains(blankBytes_, *c)) {
            return std::string(1, *c);
        }
    }
    return {};
}

std::string JsonValueCodec::nextToken(ByteStream& stream) const {
    const std::string first = nextChar(stream);
    if (first.empty()) {
        return {};
    }
    const char c = first[0];
    if (contains(structuralChars_, c)) {
        return first;
    }
    std::string token = first;
    if (c != '"' && !contains(numberChars_, c)) {
        // A word; blanks inside it are dropped, so "tr ue" reads as "true".
        for (std::string next = nextChar(stream); !next.empty(); next = nextChar(stream)) {
            if (contains(structuralChars_, next[0])) {
                stream.back();
                break;
            }
            token += next;
        }
        return token;
    }
    if (c != '"') {
        while (const auto b = stream.read()) {
            if (!contains(numberChars_, *b)) {
                stream.back();
                break;
            }
            token += *b;
        }
        return token;
    }
    // A string, kept with its quotes and escapes as written. An escaped byte
    // or the trail byte of a double-byte character is taken unread.
    while (const auto b = stream.read()) {
        token += *b;
        if (*b == '"') {
            return token;
        }
        if (*b == '\r' || *b == '\n') {
            return {};
        }
        if (*b == '\\' || isLeadByte(*b)) {
            const auto taken = stream.read();
            if (!taken) {
                return {};
            }
            token += *taken;
        }
    }
    return {};
}

bool JsonValueCodec::isNumberToken(std::string_view token) const {
    return !token.empty() && std::all_of(token.begin(), token.end(),
                                         [this](char c) { return contains(numberChars_, c); });
}

std::string JsonValueCodec::unescapeText(std::string_view text) const {
    // Left to right, so an escaped backslash followed by "n" stays a backslash
    // and an "n"; \u escapes and unknown ones are kept as written.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (copyDoubleByte(text, i, out)) {
            continue;
        }
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[i + 1];
        char decoded = 0;
        switch (e) {
            case '"':
                decoded = '"';
                break;
            case '/':
                decoded = '/';
                break;
            case '\\':
                decoded = '\\';
                break;
            case 'r':
                decoded = '\r';
                break;
            case 'n':
                decoded = '\n';
                break;
            case 't':
                decoded = '\t';
                break;
            case 'b':
                decoded = '\b';
                break;
            case 'f':
                decoded = '\f';
                break;
            default:
                break;
        }
        if (decoded == 0) {
            out += c;  // kept; the next byte is copied on the next round
            continue;
        }
        out += decoded;
        ++i;
    }
    return out;
}

JsonBuilder JsonValueCodec::parseText(std::string_view text, JsonParseResult& result) const {
    const auto first = text.find_first_not_of(blankBytes_);
    if (first == std::string_view::npos) {
        // A failed parse never hands back an older value as if it were read.
        result = failure(messages().empty);
        return result.value;
    }
    // A lone value is read as a one-element array.
    const bool lone = text[first] != '{' && text[first] != '[';
    std::string bytes(lone ? "[" : "");
    bytes.append(text);
    if (lone) {
        bytes += ']';
    }
    ByteStream stream{std::move(bytes)};
    result = readValue(stream);
    if (!result.ok) {
        result.value.reset();
    }
    return result.value;
}

JsonParseResult JsonValueCodec::readValue(ByteStream& stream) const {
    return readValueAt(stream, 0);
}

JsonParseResult JsonValueCodec::readValueAt(ByteStream& stream, int depth) const {
    JsonParseResult result;
    JsonBuilder b;
    std::string tok = nextToken(stream);
    if (tok.empty()) {
        return failure(messages().badText);
    }
    result.ok = true;

    if (tok == "{" || tok == "[") {
        if (depth >= MAX_DEPTH) {
            return failure(messages().tooDeep);
        }
    }

    if (tok == "{") {
        b.typeName("object");
        tok = nextToken(stream);
        while (tok != "}" && !tok.empty()) {
            if (tok[0] != '"') {
                return failure(messages().unquotedName);
            }
            const std::string name =
                unescapeText(std::string_view(tok).substr(1, tok.size() >= 2 ? tok.size() - 2 : 0));
            if (nextToken(stream) != ":") {
                return failure(messages().noColon);
            }
            result = readValueAt(stream, depth + 1);
            if (!result.ok) {
                result.value.reset();
                return result;
            }
            if (result.value.typeName() == "unknow") {
                // A stray word or bracket where the value was due: {"a":xyz}
                // or {"a":]} must not pass as an object.
                return failure(unknownSymbol(result.value.getString()));
            }
            b.setMember(name, result.value);
            tok = nextToken(stream);
            if (tok != ",") {
                break;
            }
            tok = nextToken(stream);
        }
        if (tok != "}") {
            return failure(messages().badFormat);
        }
        result.value = std::move(b);
        return result;
    }

    if (tok == "[") {
        b.typeName("array");
        result = readValueAt(stream, depth + 1);
        while (result.ok && result.value.typeName() != "unknow") {
            b.append(result.value);
            tok = nextToken(stream);
            if (tok == "]") {
                break;
            }
            if (tok.empty()) {
                return failure(messages().badFormat);
            }
            if (tok != ",") {
                return failure(unknownSymbol(tok));
            }
            result = readValueAt(stream, depth + 1);
        }
        if (!result.ok) {
            result.value.reset();
            return result;
        }
        if (tok != "]") {
            // A closing bracket (or stray symbol) read where a value was due.
            if (result.value.typeName() == "unknow") {
                tok = result.value.getString();
            }
            if (tok != "]") {
                return failure(unknownSymbol(tok));
            }
        }
        result.value = std::move(b);
        return result;
    }

    if (tok == "null") {
        b.setNull();
    } else if (tok == "true" || tok == "false") {
        b.setBool(tok == "true");
    } else if (isNumberToken(tok)) {
        if (tok.find('.') != std::string::npos) {
            b.setDouble(detail::leadingNumber(tok));
        } else {
            b.setLong(detail::leadingInteger(tok));
        }
    } else if (tok[0] == '"') {
        b.setString(unescapeText(std::string_view(tok).substr(1, tok.size() - 2)));
    } else {
        b.setString(tok);
        b.typeName("unknow");
    }
    result.value = std::move(b);
    return result;
}

}  // namespace linkhaul
