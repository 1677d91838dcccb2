#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonTreeTable.h"

namespace linkhaul {

// Kind numbers of stored values; callers compare kindAt() against these.
struct JsonKind final {
    static constexpr std::int32_t Null = 0;
    static constexpr std::int32_t Object = 1;
    static constexpr std::int32_t Array = 2;
    static constexpr std::int32_t String = 3;
    static constexpr std::int32_t Integer = 4;  // no fraction part (an exponent is allowed)
    static constexpr std::int32_t Decimal = 5;  // with a fraction part
    static constexpr std::int32_t Boolean = 6;
    static constexpr std::int32_t Comment = 9;  // never stored
};

// One stored value. Scalars are a 1-based byte range start..end of the tree's
// source (end = start - 1 for an empty string); detail is the 1-based object
// or array table index for containers, 1 / 0 for true / false.
struct JsonValue {
    std::int32_t kind = JsonKind::Null;
    std::int32_t start = 0;
    std::int32_t end = -1;
    std::int32_t detail = 0;
};

// One step of a query path: a member name (or quoted key), or a bracketed
// element number kept as its digits.
struct JsonPathStep {
    bool isIndex = false;
    std::string text;

    bool operator==(const JsonPathStep&) const = default;
};

// A parsed JSON document (ANSI bytes) held as flat tables addressed by 1-based
// value indexes; value 1 is the root, index 0 names nothing. Strings are
// decoded in place inside the tree's own copy of the bytes; numbers are
// converted only when read. Queries take a path such as
// 'file_list.list[3].fs_id' (element numbers count from 1) and an optional
// start value (0 = the root), and yield a fixed default when nothing is found.
class JsonTree {
public:
    // Containers nested deeper than this are refused: readers that walk the
    // tree recursively must be able to rely on a bounded depth.
    static constexpr std::int32_t MAX_DEPTH = 1000;

    JsonTree() = default;

    // Parses text, replacing any previous content. On failure the receiver
    // gets the message followed by "(line:column)". Text after the first
    // complete value is not examined.
    // The text ends at its first zero byte, as a C text would; parseBytes
    // takes every byte it is given.
    [[nodiscard]] bool parse(std::string_view text, std::string& errorReceiver,
                             bool keepKeyOrder = false);
    // For callers that do not want the composed error text.
    [[nodiscard]] bool parse(std::string_view text, bool keepKeyOrder = false);
    [[nodiscard]] bool parseBytes(std::string_view bytes, bool keepKeyOrder = false);
    [[nodiscard]] bool parseBytes(std::string_view bytes, bool keepKeyOrder,
                                  std::string& errorReceiver);

    // Empties the tables and the source; the last error and the key order
    // option stay.
    void clear();

    // The last failure: its message, 1-based byte position, and the line and
    // column it was reported at (column = position - start of its line).
    [[nodiscard]] const std::string& errorText() const { return errorText_; }
    [[nodiscard]] std::int32_t errorPosition() const { return errorPos_; }
    [[nodiscard]] std::int32_t errorLine() const { return line_; }
    [[nodiscard]] std::int32_t errorColumn() const { return errorPos_ - lineStart_; }
    // errorText() + "(" + line + ":" + column + ")".
    [[nodiscard]] std::string errorReport() const;

    [[nodiscard]] std::int32_t valueCount() const {
        return static_cast<std::int32_t>(values_.size());
    }
    [[nodiscard]] bool keepKeyOrder() const { return keepKeyOrder_; }

    // ---- locating values ----
    // Root-based: 0 for an empty tree, 1 for an empty path.
    [[nodiscard]] std::int32_t locateFromRoot(std::string_view path) const;
    // From start (0 = root); an empty path gives the start itself.
    [[nodiscard]] std::int32_t locate(std::string_view path, std::int32_t start = 0) const;
    // Walks path from value start; 0 when start is out of range, the path is
    // invalid or a step finds nothing.
    [[nodiscard]] std::int32_t resolvePath(std::int32_t start, std::string_view path) const;
    // The n-th element (from 1) of the array at path; 0 otherwise.
    [[nodiscard]] std::int32_t elementAt(std::string_view path, std::int32_t start,
                                         std::int32_t n) const;
    // The first member named key of the object at path; 0 otherwise.
    [[nodiscard]] std::int32_t memberAt(std::string_view path, std::int32_t start,
                                        std::string_view key) const;
    // Splits a path into steps; false (steps then unspecified) when invalid.
    [[nodiscard]] static bool splitPath(std::string_view path, std::vector<JsonPathStep>& steps);

    // ---- reading values (defaults when nothing is found) ----
    // JsonKind number, -1 when nothing is found.
    [[nodiscard]] std::int32_t kindAt(std::string_view path, std::int32_t start = 0) const;
    // Element count of an array, 0 for anything else.
    [[nodiscard]] std::int32_t countAt(std::string_view path, std::int32_t start = 0) const;
    // Empties keys, then lists an object's keys in bucket order (or arrival
    // order when parsed with keepKeyOrder). Count of keys, 0 for other kinds,
    // -1 when nothing is found.
    std::int32_t keysAt(std::string_view path, std::int32_t start,
                        std::vector<std::string>& keys) const;
    // Scalar text as written (decoded for strings, "E" read as "e"), "[Array]"
    // or "[Object]"; empty when nothing is found. Ends at the first zero byte.
    [[nodiscard]] std::string textAt(std::string_view path, std::int32_t start = 0) const;
    // The same bytes without a copy; valid until the next parse or clear.
    [[nodiscard]] std::string_view textViewAt(std::string_view path, std::int32_t start = 0) const;
    // Plain integer texts (optional minus, digits) of Integer values read
    // exactly; everything else is numberAt truncated toward zero, clamped to
    // the 64-bit range.
    [[nodiscard]] std::int64_t integerAt(std::string_view path, std::int32_t start = 0) const;
    // Strings and numbers converted as a decimal prefix (full-width digits
    // count); 0 for other kinds and when nothing is found.
    [[nodiscard]] double numberAt(std::string_view path, std::int32_t start = 0) const;
    // True only for the literal true.
    [[nodiscard]] bool boolAt(std::string_view path, std::int32_t start = 0) const;
    // True for null and when nothing is found.
    [[nodiscard]] bool isNullAt(std::string_view path, std::int32_t start = 0) const;
    [[nodiscard]] bool existsAt(std::string_view path, std::int32_t start = 0) const;

    // One UTF-16 code unit given as two bytes, low byte first, to ANSI bytes
    // (none for U+0000, "?" for a lone surrogate half).
    [[nodiscard]] static std::string unitToAnsi(unsigned char low, unsigned char high);

    // Converts text the way numberAt does: full-width forms normalised, then
    // the longest leading decimal number (0 when there is none).
    [[nodiscard]] static double textToNumber(std::string_view text);

private:
    struct Span {
        std::int32_t first = 0;  // 0-based into members_ / elements_
        std::int32_t count = 0;
    };
    struct MemberSlot {
        std::int32_t hash;
        std::int32_t keyStart;  // position in source_
        std::int32_t keyLength;
        std::int32_t valueIndex;  // 0 while begun but not bound
    };
    struct Frame;
    class Parser;
    friend class Parser;

    [[nodiscard]] const JsonValue& valueAt(std::int32_t index) const {
        return values_[static_cast<std::size_t>(index - 1)];
    }
    [[nodiscard]] std::string_view rawText(const JsonValue& value) const;
    [[nodiscard]] std::int32_t lookupMember(std::int32_t objectIndex, std::string_view key) const;
    [[nodiscard]] std::int32_t elementIndex(std::int32_t arrayIndex, std::int32_t n) const;
    void setError(std::string_view message, std::int32_t position);
    // Texts end at a zero byte; most documents hold none, so skip the search.
    [[nodiscard]] std::string_view untilZeroInSource(std::string_view text) const;

    // source_[0] is a pad byte so that source_[p] is the byte at 1-based
    // position p; source_[sourceLength_ + 1] is the string's own zero.
    std::string source_;
    std::int32_t sourceLength_ = 0;
    bool sourceHasZero_ = false;
    json_table::BlockTable<JsonValue> values_;
    std::vector<Span> objects_;  // member range per object, in begin order
    std::vector<Span> arrays_;   // element range per array, in begin order
    // All objects' members, each object's run bucket-sorted (or in arrival
    // order with keepKeyOrder), and all arrays' elements, run after run.
    json_table::BlockTable<MemberSlot> members_;
    std::vector<std::int32_t> elements_;
    bool keepKeyOrder_ = false;
    std::int32_t line_ = 1;
    std::int32_t lineStart_ = 0;
    std::string errorText_;
    std::int32_t errorPos_ = 0;
};

}  // namespace linkhaul
