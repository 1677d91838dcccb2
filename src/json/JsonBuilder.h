#pragma once

// A typed JSON value composed in memory: "null", "long", "double", "string",
// "bool", "array" or "object". Children are held in their compact binary form,
// so they are copied in when added and rebuilt when read; changing a child read
// out never changes its parent.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace linkhaul {

class JsonBuilder {
public:
    // Members are ordered by key length first, then by the key bytes compared
    // as unsigned values; every enumeration and the binary form follow it.
    struct KeyOrder {
        bool operator()(const std::string& a, const std::string& b) const {
            if (a.size() != b.size()) {
                return a.size() < b.size();
            }
            return a < b;
        }
    };

    JsonBuilder() = default;

    // Back to "null": scalar, elements and members emptied.
    void reset();

    [[nodiscard]] const std::string& typeName() const { return type_; }
    // Stores name as the type name without touching the value.
    const std::string& typeName(std::string name);
    // Whether the type name is name, ignoring ASCII letter case.
    [[nodiscard]] bool typeIs(std::string_view name) const;

    // Element count when the type is exactly "array", else 0.
    [[nodiscard]] std::int32_t count() const;

    // A fresh null value when the key is absent or this is no object.
    [[nodiscard]] JsonBuilder member(const std::string& key) const;
    // Element index counted from 1; a fresh null value when out of range.
    [[nodiscard]] JsonBuilder element(std::int32_t index) const;

    // An empty key stores nothing and gives false. A non-object becomes an
    // empty object first; an existing key is replaced in place.
    bool setMember(const std::string& key, const JsonBuilder& value);
    // A non-array becomes an empty array first.
    bool append(const JsonBuilder& value);
    bool removeMember(const std::string& key);
    bool removeElement(std::int32_t index);
    [[nodiscard]] bool hasMember(const std::string& key) const;
    // Objects only: replaces keys with the member keys in member order and
    // returns their number; otherwise returns 0 and leaves keys alone.
    std::int32_t memberKeys(std::vector<std::string>& keys) const;

    [[nodiscard]] bool isNull() const;

    // The getters read the scalar text whatever the type says.
    [[nodiscard]] std::int64_t getLong() const;
    [[nodiscard]] std::string getString() const { return scalar_; }
    [[nodiscard]] double getDouble() const;
    [[nodiscard]] bool getBool() const { return scalar_ == "true"; }

    void setLong(std::int64_t value);
    // Keeps the "%.13g" text, so 13 significant digits survive.
    void setDouble(double value);
    void setString(std::string value);
    void setBool(bool value);
    void setNull() { reset(); }

    [[nodiscard]] std::string emptyText() const { return {}; }

    // Replaces list with the stored binary forms of the elements; returns count().
    std::int32_t elements(std::vector<std::string>& list) const;
    // The stored binary form of a member's value; empty when absent.
    [[nodiscard]] std::string memberBytes(const std::string& key) const;
    // Low-level insertion of binary forms; the type name becomes "array" or
    // "object" without a reset.
    void appendBytes(std::string bytes);
    void setMemberBytes(const std::string& key, std::string bytes);

private:
    [[nodiscard]] static std::string serialize(const JsonBuilder& value);
    [[nodiscard]] static JsonBuilder deserialize(std::string_view bytes);

    // Starts over as an empty value of type name unless sameType says it
    // already is one; the setters differ in how strictly they compare.
    void becomeType(const char* name, bool sameType);

    std::string type_ = "null";
    std::string scalar_;
    std::vector<std::string> elements_;
    std::map<std::string, std::string, KeyOrder> members_;
};

}  // namespace linkhaul
