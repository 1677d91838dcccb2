#include "json/JsonBuilder.h"

#include <bit>
#include <utility>

#include "json/JsonBuilderNumber.h"

namespace linkhaul {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The binary form is little-endian whatever the host is.
void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void putU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void putCounted(std::string& out, std::string_view bytes) {
    putU32(out, static_cast<std::uint32_t>(bytes.size()));
    out.append(bytes);
}

// Reads what serialize wrote. The bytes always come from serialize, but a
// short read still stops cleanly instead of running past the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool u32(std::uint32_t& v) {
        std::uint64_t wide = 0;
        if (!fixed(4, wide)) {
            return false;
        }
        v = static_cast<std::uint32_t>(wide);
        return true;
    }

    bool u64(std::uint64_t& v) { return fixed(8, v); }

    bool counted(std::string_view& text) {
        std::uint32_t n = 0;
        if (!u32(n) || n > bytes_.size() - pos_) {
            return false;
        }
        text = bytes_.substr(pos_, n);
        pos_ += n;
        return true;
    }

private:
    bool fixed(std::size_t width, std::uint64_t& v) {
        if (bytes_.size() - pos_ < width) {
            return false;
        }
        v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[pos_ + i]))
                 << (8 * i);
        }
        pos_ += width;
        return true;
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
};

}  // namespace

bool JsonBuilder::typeIs(std::string_view name) const {
    return equalsIgnoringCase(type_, name);
}

void JsonBuilder::reset() {
    type_ = "null";
    scalar_.clear();
    elements_.clear();
    members_.clear();
}

void JsonBuilder::becomeType(const char* name, bool sameType) {
    if (!sameType) {
        reset();
        type_ = name;
    }
}

const std::string& JsonBuilder::typeName(std::string name) {
    type_ = std::move(name);
    return type_;
}

std::int32_t JsonBuilder::count() const {
    return type_ == "array" ? static_cast<std::int32_t>(elements_.size()) : 0;
}

JsonBuilder JsonBuilder::member(const std::string& key) const {
    if (!typeIs("object")) {
        return {};
    }
    const auto it = members_.find(key);
    return it == members_.end() ? JsonBuilder() : deserialize(it->second);
}

JsonBuilder JsonBuilder::element(std::int32_t index) const {
    if (index < 1 || index > count()) {
        return {};
    }
    return deserialize(elements_[static_cast<std::size_t>(index - 1)]);
}

bool JsonBuilder::setMember(const std::string& key, const JsonBuilder& value) {
    if (key.empty()) {
        return false;
    }
    // Serialised before any reset, so a value may be stored into itself.
    std::string bytes = serialize(value);
    becomeType("object", typeIs("object"));
    members_.insert_or_assign(key, std::move(bytes));
    return true;
}

bool JsonBuilder::append(const JsonBuilder& value) {
    std::string bytes = serialize(value);
    becomeType("array", typeIs("array"));
    elements_.push_back(std::move(bytes));
    return true;
}

bool JsonBuilder::removeMember(const std::string& key) {
    if (!hasMember(key)) {
        return false;
    }
    members_.erase(key);
    return true;
}

bool JsonBuilder::removeElement(std::int32_t index) {
    if (!typeIs("array") || index < 1 || index > count()) {
        return false;
    }
    elements_.erase(elements_.begin() + (index - 1));
    return true;
}

bool JsonBuilder::hasMember(const std::string& key) const {
    return !key.empty() && typeIs("object") && members_.contains(key);
}

std::int32_t JsonBuilder::memberKeys(std::vector<std::string>& keys) const {
    if (!typeIs("object")) {
        return 0;
    }
    keys.clear();
    keys.reserve(members_.size());
    for (const auto& entry : members_) {
        keys.push_back(entry.first);
    }
    return static_cast<std::int32_t>(keys.size());
}

bool JsonBuilder::isNull() const {
    return typeIs("null");
}

std::int64_t JsonBuilder::getLong() const {
    return detail::leadingInteger(scalar_);
}

double JsonBuilder::getDouble() const {
    return detail::leadingNumber(scalar_);
}

void JsonBuilder::setLong(std::int64_t value) {
    becomeType("long", type_ == "long");
    scalar_ = std::to_string(value);
}

void JsonBuilder::setDouble(double value) {
    becomeType("double", type_ == "double");
    scalar_ = detail::formatDouble13g(value);
}

void JsonBuilder::setString(std::string value) {
    becomeType("string", type_ == "string");
    scalar_ = std::move(value);
}

void JsonBuilder::setBool(bool value) {
    becomeType("bool", typeIs("bool"));
    scalar_ = value ? "true" : "false";
}

std::int32_t JsonBuilder::elements(std::vector<std::string>& list) const {
    list = elements_;
    return count();
}

std::string JsonBuilder::memberBytes(const std::string& key) const {
    if (!typeIs("object")) {
        return {};
    }
    const auto it = members_.find(key);
    return it == members_.end() ? std::string() : it->second;
}

void JsonBuilder::appendBytes(std::string bytes) {
    if (!typeIs("array")) {
        type_ = "array";
    }
    elements_.push_back(std::move(bytes));
}

void JsonBuilder::setMemberBytes(const std::string& key, std::string bytes) {
    if (key.empty()) {
        return;  // an empty key is never stored
    }
    if (!typeIs("object")) {
        type_ = "object";
    }
    members_.insert_or_assign(key, std::move(bytes));
}

std::string JsonBuilder::serialize(const JsonBuilder& value) {
    std::string out;
    putCounted(out, value.type_);
    if (value.typeIs("long")) {
        putU64(out, static_cast<std::uint64_t>(value.getLong()));
    } else if (value.typeIs("double")) {
        putU64(out, std::bit_cast<std::uint64_t>(value.getDouble()));
    } else if (value.typeIs("string")) {
        putCounted(out, value.scalar_);
    } else if (value.typeIs("array")) {
        // The stored list, not count(): a type name spelled "ARRAY" still
        // gives a form whose count matches what follows.
        putU32(out, static_cast<std::uint32_t>(value.elements_.size()));
        for (const auto& element : value.elements_) {
            putCounted(out, element);
        }
    } else if (value.typeIs("object")) {
        putU32(out, static_cast<std::uint32_t>(value.members_.size()));
        for (const auto& [key, bytes] : value.members_) {
            putCounted(out, key);
            putCounted(out, bytes);
        }
    } else if (value.typeIs("bool")) {
        putCounted(out, value.getBool() ? "true" : "false");
    }
    return out;
}

JsonBuilder JsonBuilder::deserialize(std::string_view bytes) {
    JsonBuilder value;
    if (bytes.empty()) {
        return value;
    }
    Reader in(bytes);
    std::string_view name;
    if (!in.counted(name)) {
        return value;
    }
    value.typeName(std::string(name));
    if (value.typeIs("long")) {
        std::uint64_t raw = 0;
        if (in.u64(raw)) {
            value.setLong(static_cast<std::int64_t>(raw));
        }
    } else if (value.typeIs("double")) {
        std::uint64_t raw = 0;
        if (in.u64(raw)) {
            value.setDouble(std::bit_cast<double>(raw));
        }
    } else if (value.typeIs("string")) {
        std::string_view text;
        if (in.counted(text)) {
            value.setString(std::string(text));
        }
    } else if (value.typeIs("array")) {
        std::uint32_t n = 0;
        in.u32(n);
        std::string_view element;
        for (std::uint32_t i = 0; i < n && in.counted(element); ++i) {
            value.appendBytes(std::string(element));
        }
    } else if (value.typeIs("object")) {
        std::uint32_t n = 0;
        in.u32(n);
        std::string_view key;
        std::string_view member;
        for (std::uint32_t i = 0; i < n && in.counted(key) && in.counted(member); ++i) {
            value.setMemberBytes(std::string(key), std::string(member));
        }
    } else if (value.typeIs("bool")) {
        std::string_view text;
        if (in.counted(text)) {
            value.setBool(equalsIgnoringCase(text, "true"));
        }
    }
    return value;
}

}  // namespace linkhaul
