#include "json/JsonTree.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "json/JsonMemberMap.h"
#include "json/JsonTreePath.h"
#include "json/JsonTreeText.h"
#include "platform/CodePage.h"

namespace linkhaul {

using json_path::PathWalk;
using json_path::stepNumber;
using json_path::walkPath;
using json_text::untilZero;

namespace {

constexpr std::int32_t MAX_SOURCE_LENGTH = std::numeric_limits<std::int32_t>::max() - 16;

// Linear scans beat a binary search over the bucket runs for small objects.
constexpr std::int32_t LINEAR_LOOKUP_LIMIT = 8;

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Byte classes for the string scanner's fast loop: 0 is an ordinary byte.
enum : unsigned char { PLAIN = 0, QUOTE, BACKSLASH, LINE_BREAK, LEAD };

constexpr std::array<unsigned char, 256> makeStringClasses() {
    std::array<unsigned char, 256> table{};
    table['"'] = QUOTE;
    table['\\'] = BACKSLASH;
    table['\r'] = LINE_BREAK;
    table['\n'] = LINE_BREAK;
    for (int c = 0x81; c <= 0xFF; ++c) {
        table[static_cast<std::size_t>(c)] = LEAD;
    }
    return table;
}
constexpr std::array<unsigned char, 256> STRING_CLASSES = makeStringClasses();

// Parse failure messages, converted once to ANSI like every text the
// program holds.
enum class Message : std::size_t {
    INCOMPLETE,
    BAD_BOOLEAN,
    BAD_NULL,
    BAD_NUMBER,
    BAD_COMMENT,
    UNEXPECTED,
    BAD_KEY,
    BAD_OBJECT,
    BAD_COLON,
    OBJECT_INCOMPLETE,
    ARRAY_INCOMPLETE,
    STRING_LINE_BREAK,
    STRING_BAD_ESCAPE,
    STRING_BAD_UNICODE,
    STRING_UNTERMINATED,
    TOO_DEEP,
    TOO_LONG,
    COUNT
};

const std::string& messageText(Message message) {
    static const auto texts = [] {
        constexpr std::array<std::string_view, static_cast<std::size_t>(Message::COUNT)> utf8 = {
            "JSON内容不完整",
            "解析逻辑型出错",
            "解析空值出错",
            "解析数值出错",
            "解析注释文本出错",
            "无法解析的内容",
            "无法读取对象名称",
            "对象格式错误",
            "对象键值定义形式错误",
            "对象定义格式不完整",
            "数组定义格式不完整",
            "解析文本出错：文本定义包含换行",
            "解析文本出错：未知的转义符",
            "解析文本出错：Unicode定义出错",
            "解析文本出错：文本定义未正确收尾",
            "JSON嵌套层数超出限制",
            "JSON内容过长",
        };
        std::array<std::string, utf8.size()> ansi;
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            ansi[i] = platform::utf8ToAnsi(utf8[i]);
        }
        return ansi;
    }();
    return texts[static_cast<std::size_t>(message)];
}

}  // namespace

// ---------------------------------------------------------------------------
// Parser
//
// The grammar is walked with an explicit stack of open containers instead of
// recursion, so the depth of a document costs heap, not machine stack.

struct JsonTree::Frame {
    enum State : std::int32_t { EXPECT_KEY, EXPECT_COLON, EXPECT_VALUE };
    std::int32_t kind;           // JsonKind::Object or JsonKind::Array
    std::int32_t tableIndex;     // 1-based into objects_ / arrays_
    std::int32_t pendingOffset;  // where this container's entries begin on the pending stack
    std::int32_t state;          // objects only
};

class JsonTree::Parser {
public:
    explicit Parser(JsonTree& tree)
        : tree_(tree),
          s_(reinterpret_cast<unsigned char*>(tree.source_.data())),
          length_(tree.sourceLength_) {}

    bool run() {
        const bool ok = parseDocument();
        // Whatever was stored before a failure stays readable.
        while (!frames_.empty()) {
            closeTop();
        }
        return ok;
    }

private:
    enum class Step { FAIL, DONE, OPENED, WANT_VALUE, CLOSED };

    bool parseDocument() {
        bool wantValue = true;
        for (;;) {
            const Step step = wantValue ? parseValue() : continueContainer();
            switch (step) {
                case Step::FAIL:
                    return false;
                case Step::OPENED:
                    wantValue = false;
                    break;
                case Step::WANT_VALUE:
                    wantValue = true;
                    break;
                case Step::CLOSED:
                    closeTop();
                    [[fallthrough]];
                case Step::DONE:
                    if (frames_.empty()) {
                        return true;
                    }
                    frames_.back().state = Frame::EXPECT_KEY;
                    wantValue = false;
                    break;
            }
        }
    }

    void countLine() {
        ++tree_.line_;
        tree_.lineStart_ = pos_;
    }

    Step fail(Message message, std::int32_t position) {
        tree_.setError(messageText(message), position);
        return Step::FAIL;
    }

    // The value dispatcher: one value (or a comment standing for one) under
    // the open container, if any.
    Step parseValue() {
        for (;;) {
            if (pos_ > length_) {
                return fail(Message::INCOMPLETE, pos_);
            }
            const unsigned char c = s_[pos_];
            switch (c) {
                case '{':
                    return open(JsonKind::Object);
                case '[':
                    return open(JsonKind::Array);
                case 't':
                    return literal("true", JsonKind::Boolean, 1, Message::BAD_BOOLEAN);
                case 'f':
                    return literal("false", JsonKind::Boolean, 0, Message::BAD_BOOLEAN);
                case 'n':
                    return literal("null", JsonKind::Null, 0, Message::BAD_NULL);
                case '"': {
                    std::int32_t start = 0;
                    std::int32_t end = 0;
                    if (!scanString(start, end)) {
                        return Step::FAIL;
                    }
                    addValue(JsonValue{JsonKind::String, start, end, 0});
                    return Step::DONE;
                }
                case '/':
                    if (!scanComment()) {
                        return fail(Message::BAD_COMMENT, pos_);
                    }
                    return Step::DONE;
                case ' ':
                case '\t':
                case '\r':
                    ++pos_;
                    break;
                case '\n':
                    ++pos_;
                    countLine();
                    break;
                default:
                    if (isDigit(c) || c == '-' || c == '.') {
                        return number();
                    }
                    return fail(Message::UNEXPECTED, pos_);
            }
        }
    }

    Step literal(std::string_view word, std::int32_t kind, std::int32_t detail, Message message) {
        const auto size = static_cast<std::int32_t>(word.size());
        if (length_ - pos_ + 1 < size || std::memcmp(s_ + pos_, word.data(), word.size()) != 0) {
            return fail(message, pos_);
        }
        addValue(JsonValue{kind, pos_, pos_ + size - 1, detail});
        pos_ += size;
        return Step::DONE;
    }

    Step number() {
        std::int32_t end = 0;
        bool decimal = false;
        const std::int32_t start = pos_;
        if (!scanNumber(end, decimal)) {
            return fail(Message::BAD_NUMBER, pos_);
        }
        addValue(JsonValue{decimal ? JsonKind::Decimal : JsonKind::Integer, start, end, 0});
        return Step::DONE;
    }

    Step open(std::int32_t kind) {
        if (static_cast<std::int32_t>(frames_.size()) >= MAX_DEPTH) {
            return fail(Message::TOO_DEEP, pos_);
        }
        std::int32_t tableIndex = 0;
        if (kind == JsonKind::Object) {
            tree_.objects_.emplace_back();
            tableIndex = static_cast<std::int32_t>(tree_.objects_.size());
        } else {
            tree_.arrays_.emplace_back();
            tableIndex = static_cast<std::int32_t>(tree_.arrays_.size());
        }
        addValue(JsonValue{kind, 0, -1, tableIndex});
        // Taken after addValue: filing a nested array with its parent array
        // pushes onto the same pending stack, and that slot is the parent's.
        const auto pendingOffset = static_cast<std::int32_t>(
            kind == JsonKind::Object ? pendingMembers_.size() : pendingElements_.size());
        frames_.push_back(Frame{kind, tableIndex, pendingOffset, Frame::EXPECT_KEY});
        ++pos_;
        return Step::OPENED;
    }

    // Stores a value and files it with the open container.
    void addValue(const JsonValue& value) {
        tree_.values_.push_back(value);
        const auto index = static_cast<std::int32_t>(tree_.values_.size());
        if (frames_.empty()) {
            return;
        }
        if (frames_.back().kind == JsonKind::Object) {
            // The key begun last is the top of the pending stack: anything a
            // nested container pushed was taken off when it closed.
            pendingMembers_.back().valueIndex = index;
        } else {
            pendingElements_.push_back(index);
        }
    }

    Step continueContainer() {
        return frames_.back().kind == JsonKind::Object ? continueObject() : continueArray();
    }

    Step continueObject() {
        Frame& frame = frames_.back();
        for (;;) {
            if (pos_ > length_) {
                return fail(Message::OBJECT_INCOMPLETE, pos_);
            }
            const unsigned char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
                continue;
            }
            if (c == '\n') {
                ++pos_;
                countLine();
                continue;
            }
            switch (frame.state) {
                case Frame::EXPECT_KEY:
                    if (c == '}') {
                        ++pos_;
                        return Step::CLOSED;
                    }
                    if (c == ',') {
                        ++pos_;
                        break;
                    }
                    if (c == '"') {
                        std::int32_t start = 0;
                        std::int32_t end = 0;
                        if (!scanString(start, end)) {
                            // The caller learns that a key failed, not why.
                            return fail(Message::BAD_KEY, pos_);
                        }
                        beginMember(start, end);
                        frame.state = Frame::EXPECT_COLON;
                        break;
                    }
                    return fail(Message::BAD_OBJECT, pos_);
                case Frame::EXPECT_COLON:
                    if (c != ':') {
                        return fail(Message::BAD_COLON, pos_);
                    }
                    ++pos_;
                    frame.state = Frame::EXPECT_VALUE;
                    break;
                default:
                    return Step::WANT_VALUE;
            }
        }
    }

    Step continueArray() {
        for (;;) {
            if (pos_ > length_) {
                return fail(Message::ARRAY_INCOMPLETE, pos_);
            }
            const unsigned char c = s_[pos_];
            switch (c) {
                case ']':
                    ++pos_;
                    return Step::CLOSED;
                case ',':
                    // A comma must be followed by a value (or a comment).
                    ++pos_;
                    return Step::WANT_VALUE;
                case ' ':
                case '\t':
                case '\r':
                    ++pos_;
                    break;
                case '\n':
                    ++pos_;
                    countLine();
                    break;
                default:
                    return Step::WANT_VALUE;
            }
        }
    }

    void beginMember(std::int32_t start, std::int32_t end) {
        const std::string_view key = tree_.untilZeroInSource(std::string_view(
            reinterpret_cast<const char*>(s_) + start, static_cast<std::size_t>(end - start + 1)));
        pendingMembers_.push_back(MemberSlot{JsonMemberMap::hashKey(key), start,
                                             static_cast<std::int32_t>(key.size()), 0});
    }

    // Moves the top container's pending entries into the tree's tables as
    // one contiguous run.
    void closeTop() {
        const Frame& frame = frames_.back();
        if (frame.kind == JsonKind::Object) {
            commitMembers(frame);
        } else {
            Span& span = tree_.arrays_[static_cast<std::size_t>(frame.tableIndex - 1)];
            const auto first = pendingElements_.begin() + frame.pendingOffset;
            span.first = static_cast<std::int32_t>(tree_.elements_.size());
            span.count = static_cast<std::int32_t>(pendingElements_.end() - first);
            tree_.elements_.insert(tree_.elements_.end(), first, pendingElements_.end());
            pendingElements_.erase(first, pendingElements_.end());
        }
        frames_.pop_back();
    }

    void commitMembers(const Frame& frame) {
        Span& span = tree_.objects_[static_cast<std::size_t>(frame.tableIndex - 1)];
        const auto first = pendingMembers_.begin() + frame.pendingOffset;
        const auto last = pendingMembers_.end();
        json_table::BlockTable<MemberSlot>& members = tree_.members_;
        span.first = static_cast<std::int32_t>(members.size());
        if (tree_.keepKeyOrder_) {
            // Unbound keys stay (value index 0): they are listed, never found.
            for (auto it = first; it != last; ++it) {
                members.push_back(*it);
            }
        } else {
            // Stable counting sort by bucket; keys that never got a value are
            // filed nowhere.
            std::array<std::int32_t, JsonMemberMap::BUCKET_COUNT + 1> offsets{};
            std::int32_t bound = 0;
            for (auto it = first; it != last; ++it) {
                if (it->valueIndex != 0) {
                    ++offsets[static_cast<std::size_t>(JsonMemberMap::bucketOf(it->hash))];
                    ++bound;
                }
            }
            for (std::size_t b = 1; b < offsets.size(); ++b) {
                offsets[b] += offsets[b - 1];
            }
            const std::size_t base = members.size();
            members.extend(static_cast<std::size_t>(bound));
            for (auto it = first; it != last; ++it) {
                if (it->valueIndex != 0) {
                    const auto b = static_cast<std::size_t>(JsonMemberMap::bucketOf(it->hash) - 1);
                    members[base + static_cast<std::size_t>(offsets[b]++)] = *it;
                }
            }
        }
        span.count = static_cast<std::int32_t>(members.size()) - span.first;
        pendingMembers_.erase(first, last);
    }

    // ---- scanners: the cursor pos_ stops where they stopped ----

    bool stringFail(Message message, std::int32_t position) {
        pos_ = position;
        tree_.setError(messageText(message), position);
        return false;
    }

    // Decodes in place: output never overtakes input because every escape is
    // at least as long as the bytes it stands for.
    bool scanString(std::int32_t& start, std::int32_t& end) {
        std::int32_t p = pos_ + 1;
        std::int32_t w = p;
        start = w;
        for (;;) {
            // Copy runs of ordinary bytes; before the first escape w == p and
            // nothing moves.
            while (p <= length_ && STRING_CLASSES[s_[p]] == PLAIN) {
                s_[w++] = s_[p++];
            }
            if (p > length_) {
                return stringFail(Message::STRING_UNTERMINATED, p);
            }
            switch (STRING_CLASSES[s_[p]]) {
                case QUOTE:
                    end = w - 1;
                    pos_ = p + 1;
                    return true;
                case LINE_BREAK:
                    return stringFail(Message::STRING_LINE_BREAK, p);
                case LEAD:
                    // The next byte belongs to this character whatever it is
                    // (0x95 0x5C must not read as an escape).
                    s_[w++] = s_[p++];
                    if (p > length_) {
                        return stringFail(Message::STRING_UNTERMINATED, p);
                    }
                    s_[w++] = s_[p++];
                    break;
                default:
                    if (!scanEscape(p, w)) {
                        return false;
                    }
                    break;
            }
        }
    }

    // p is on the backslash; on success p is past the escape.
    bool scanEscape(std::int32_t& p, std::int32_t& w) {
        const std::int32_t q = p + 1;
        if (q > length_) {
            return stringFail(Message::STRING_UNTERMINATED, q);
        }
        unsigned char out = 0;
        switch (s_[q]) {
            case '"':
            case '\\':
            case '/':
                out = s_[q];
                break;
            case 'b':
                out = 0x08;
                break;
            case 'f':
                out = 0x0C;
                break;
            case 'n':
                out = 0x0A;
                break;
            case 'r':
                out = 0x0D;
                break;
            case 't':
                out = 0x09;
                break;
            case 'u':
                return scanUnicode(p, w);
            default:
                return stringFail(Message::STRING_BAD_ESCAPE, q);
        }
        s_[w++] = out;
        p = q + 1;
        return true;
    }

    // Four hex digits from position first; false with the error set.
    bool readUnit(std::int32_t first, char32_t& unit) {
        unit = 0;
        for (std::int32_t k = first; k < first + 4; ++k) {
            if (k > length_) {
                return stringFail(Message::STRING_UNTERMINATED, k);
            }
            const int digit = hexValue(s_[k]);
            if (digit < 0) {
                return stringFail(Message::STRING_BAD_UNICODE, k);
            }
            unit = (unit << 4) | static_cast<char32_t>(digit);
        }
        return true;
    }

    // Non-failing look-ahead for the low half of a surrogate pair.
    bool peekLowSurrogate(std::int32_t at, char32_t& low) const {
        if (at + 5 > length_ || s_[at] != '\\' || s_[at + 1] != 'u') {
            return false;
        }
        char32_t unit = 0;
        for (std::int32_t k = at + 2; k < at + 6; ++k) {
            const int digit = hexValue(s_[k]);
            if (digit < 0) {
                return false;
            }
            unit = (unit << 4) | static_cast<char32_t>(digit);
        }
        if (unit < 0xDC00 || unit > 0xDFFF) {
            return false;
        }
        low = unit;
        return true;
    }

    bool scanUnicode(std::int32_t& p, std::int32_t& w) {
        char32_t unit = 0;
        if (!readUnit(p + 2, unit)) {
            return false;
        }
        p += 6;
        char32_t low = 0;
        if (unit >= 0xD800 && unit <= 0xDBFF && peekLowSurrogate(p, low)) {
            // A pair stands for one character beyond the BMP (an emoji in a
            // file name); a lone half still becomes "?".
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            p += 6;
        }
        if (unit < 0x80) {
            if (unit != 0) {
                s_[w++] = static_cast<unsigned char>(unit);
            }
            return true;
        }
        scratch_.clear();
        platform::appendCodePointAnsi(scratch_, unit);
        for (char b : scratch_) {
            s_[w++] = static_cast<unsigned char>(b);
        }
        return true;
    }

    // The lenient number grammar: minus signs anywhere in the integer part,
    // leading zeros or a leading point, and an exponent only with a sign.
    bool scanNumber(std::int32_t& end, bool& decimal) {
        enum { INTEGER, AFTER_POINT, FRACTION, AFTER_EXPONENT, EXPONENT_SIGN, EXPONENT_DIGITS };
        int state = INTEGER;
        std::int32_t p = pos_;
        const auto finishAt = [&](std::int32_t last) {
            end = last;
            pos_ = last + 1;
            return true;
        };
        for (; p <= length_; ++p) {
            const unsigned char c = s_[p];
            const bool atLast = p == length_;
            switch (state) {
                case INTEGER:
                    if (isDigit(c)) {
                        if (atLast) {
                            return finishAt(p);
                        }
                    } else if (c == '-') {
                    } else if (c == '.') {
                        state = AFTER_POINT;
                    } else if (c == 'e' || c == 'E') {
                        s_[p] = 'e';
                        state = AFTER_EXPONENT;
                    } else {
                        return finishAt(p - 1);
                    }
                    break;
                case AFTER_POINT:
                    if (!isDigit(c)) {
                        pos_ = p;
                        return false;
                    }
                    decimal = true;
                    if (atLast) {
                        return finishAt(p);
                    }
                    state = FRACTION;
                    break;
                case FRACTION:
                    if (isDigit(c)) {
                        if (atLast) {
                            return finishAt(p);
                        }
                    } else if (c == 'e' || c == 'E') {
                        s_[p] = 'e';
                        state = AFTER_EXPONENT;
                    } else {
                        return finishAt(p - 1);
                    }
                    break;
                case AFTER_EXPONENT:
                    if (c != '+' && c != '-') {
                        pos_ = p;
                        return false;
                    }
                    state = EXPONENT_SIGN;
                    break;
                case EXPONENT_SIGN:
                    if (!isDigit(c)) {
                        pos_ = p;
                        return false;
                    }
                    if (atLast) {
                        return finishAt(p);
                    }
                    state = EXPONENT_DIGITS;
                    break;
                default:
                    if (isDigit(c)) {
                        if (atLast) {
                            return finishAt(p);
                        }
                    } else {
                        return finishAt(p - 1);
                    }
                    break;
            }
        }
        pos_ = p;
        return false;
    }

    // Line and block comments; lines inside them are counted.
    bool scanComment() {
        const std::int32_t kind = pos_ + 1;
        if (kind > length_) {
            pos_ = kind;
            return false;
        }
        if (s_[kind] == '/') {
            for (std::int32_t p = kind + 1; p <= length_; ++p) {
                if (s_[p] == '\n') {
                    pos_ = p + 1;
                    countLine();
                    return true;
                }
                if (s_[p] == '\r') {
                    // CR ends the comment together with whatever follows it.
                    if (p == length_) {
                        pos_ = p + 1;
                        return false;
                    }
                    pos_ = p + 2;
                    countLine();
                    return true;
                }
            }
            pos_ = length_ + 1;
            return false;
        }
        if (s_[kind] == '*') {
            for (std::int32_t p = kind + 1; p <= length_; ++p) {
                if (s_[p] == '\n') {
                    ++tree_.line_;
                    tree_.lineStart_ = p + 1;
                } else if (s_[p] == '*' && p < length_ && s_[p + 1] == '/') {
                    pos_ = p + 2;
                    return true;
                }
            }
            pos_ = length_ + 1;
            return false;
        }
        pos_ = kind;
        return false;
    }

    JsonTree& tree_;
    unsigned char* s_;
    std::int32_t length_;
    std::int32_t pos_ = 1;
    std::vector<Frame> frames_;
    std::vector<MemberSlot> pendingMembers_;
    std::vector<std::int32_t> pendingElements_;
    std::string scratch_;  // one character's ANSI bytes; stays within the small-string buffer
};

// ---------------------------------------------------------------------------
// Parse side

bool JsonTree::parse(std::string_view text, std::string& errorReceiver, bool keepKeyOrder) {
    return parseBytes(untilZero(text), keepKeyOrder, errorReceiver);
}

bool JsonTree::parse(std::string_view text, bool keepKeyOrder) {
    return parseBytes(untilZero(text), keepKeyOrder);
}

bool JsonTree::parseBytes(std::string_view bytes, bool keepKeyOrder, std::string& errorReceiver) {
    if (parseBytes(bytes, keepKeyOrder)) {
        return true;
    }
    errorReceiver = errorReport();
    return false;
}

bool JsonTree::parseBytes(std::string_view bytes, bool keepKeyOrder) {
    clear();
    keepKeyOrder_ = keepKeyOrder;
    if (bytes.size() > static_cast<std::size_t>(MAX_SOURCE_LENGTH)) {
        // Positions are 32-bit; nothing this size is a reply we could read.
        setError(messageText(Message::TOO_LONG), 1);
        return false;
    }
    source_.reserve(bytes.size() + 1);
    source_.push_back('\0');
    source_.append(bytes);
    sourceLength_ = static_cast<std::int32_t>(bytes.size());
    sourceHasZero_ = !bytes.empty() && std::memchr(bytes.data(), 0, bytes.size()) != nullptr;
    return Parser(*this).run();
}

void JsonTree::clear() {
    source_ = std::string();
    sourceLength_ = 0;
    sourceHasZero_ = false;
    values_.clear();
    objects_ = {};
    arrays_ = {};
    members_.clear();
    elements_ = {};
    line_ = 1;
    lineStart_ = 0;
}

void JsonTree::setError(std::string_view message, std::int32_t position) {
    errorText_.assign(message);
    errorPos_ = position;
}

std::string JsonTree::errorReport() const {
    return errorText_ + "(" + std::to_string(line_) + ":" + std::to_string(errorPos_ - lineStart_) +
           ")";
}

std::string JsonTree::unitToAnsi(unsigned char low, unsigned char high) {
    return platform::utf16UnitToAnsi(static_cast<char16_t>((high << 8) | low));
}

// ---------------------------------------------------------------------------
// Query side

std::string_view JsonTree::rawText(const JsonValue& value) const {
    if (value.end < value.start) {
        return {};
    }
    return std::string_view(source_.data() + value.start,
                            static_cast<std::size_t>(value.end - value.start + 1));
}

std::string_view JsonTree::untilZeroInSource(std::string_view text) const {
    return sourceHasZero_ ? untilZero(text) : text;
}

std::int32_t JsonTree::lookupMember(std::int32_t objectIndex, std::string_view key) const {
    const Span& span = objects_[static_cast<std::size_t>(objectIndex - 1)];
    key = untilZero(key);
    const std::int32_t hash = JsonMemberMap::hashKey(key);
    std::size_t first = static_cast<std::size_t>(span.first);
    const std::size_t last = first + static_cast<std::size_t>(span.count);
    if (!keepKeyOrder_ && span.count > LINEAR_LOOKUP_LIMIT) {
        // Runs are sorted by bucket: binary search for this key's bucket.
        const std::int32_t bucket = JsonMemberMap::bucketOf(hash);
        std::size_t high = last;
        while (first < high) {
            const std::size_t middle = first + (high - first) / 2;
            if (JsonMemberMap::bucketOf(members_[middle].hash) < bucket) {
                first = middle + 1;
            } else {
                high = middle;
            }
        }
    }
    // Equal hashes share a bucket, so the first match is the first occurrence.
    for (std::size_t i = first; i != last; ++i) {
        const MemberSlot& slot = members_[i];
        if (slot.hash == hash && slot.valueIndex != 0 &&
            std::string_view(source_.data() + slot.keyStart,
                             static_cast<std::size_t>(slot.keyLength)) == key) {
            return slot.valueIndex;
        }
    }
    return 0;
}

std::int32_t JsonTree::elementIndex(std::int32_t arrayIndex, std::int32_t n) const {
    const Span& span = arrays_[static_cast<std::size_t>(arrayIndex - 1)];
    if (n < 1 || n > span.count) {
        return 0;
    }
    return elements_[static_cast<std::size_t>(span.first + n - 1)];
}

bool JsonTree::splitPath(std::string_view path, std::vector<JsonPathStep>& steps) {
    steps.clear();
    return walkPath(path, [&steps](bool isIndex, std::string_view text) {
               steps.push_back(JsonPathStep{isIndex, std::string(text)});
               return true;
           }) == PathWalk::COMPLETE;
}

std::int32_t JsonTree::resolvePath(std::int32_t start, std::string_view path) const {
    if (start < 1 || start > valueCount()) {
        return 0;
    }
    std::int32_t cur = start;
    const PathWalk walk = walkPath(path, [this, &cur](bool isIndex, std::string_view text) {
        const JsonValue& value = valueAt(cur);
        if (isIndex) {
            if (value.kind != JsonKind::Array) {
                return false;
            }
            cur = elementIndex(value.detail, stepNumber(text));
        } else {
            if (value.kind != JsonKind::Object) {
                return false;
            }
            cur = lookupMember(value.detail, text);
        }
        return cur != 0;
    });
    return walk == PathWalk::COMPLETE ? cur : 0;
}

std::int32_t JsonTree::locateFromRoot(std::string_view path) const {
    if (values_.empty()) {
        return 0;
    }
    if (path.empty()) {
        return 1;
    }
    return resolvePath(1, path);
}

std::int32_t JsonTree::locate(std::string_view path, std::int32_t start) const {
    if (start == 0) {
        start = 1;
    }
    if (start < 0 || start > valueCount()) {
        return 0;
    }
    if (path.empty()) {
        return start;
    }
    return resolvePath(start, path);
}

std::int32_t JsonTree::elementAt(std::string_view path, std::int32_t start, std::int32_t n) const {
    const std::int32_t index = locate(path, start);
    if (index == 0 || valueAt(index).kind != JsonKind::Array) {
        return 0;
    }
    return elementIndex(valueAt(index).detail, n);
}

std::int32_t JsonTree::memberAt(std::string_view path, std::int32_t start,
                                std::string_view key) const {
    const std::int32_t index = locate(path, start);
    if (index == 0 || valueAt(index).kind != JsonKind::Object) {
        return 0;
    }
    return lookupMember(valueAt(index).detail, key);
}

std::int32_t JsonTree::kindAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    return index == 0 ? -1 : valueAt(index).kind;
}

std::int32_t JsonTree::countAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    if (index == 0 || valueAt(index).kind != JsonKind::Array) {
        return 0;
    }
    return arrays_[static_cast<std::size_t>(valueAt(index).detail - 1)].count;
}

std::int32_t JsonTree::keysAt(std::string_view path, std::int32_t start,
                              std::vector<std::string>& keys) const {
    keys.clear();
    const std::int32_t index = locate(path, start);
    if (index == 0) {
        return -1;
    }
    if (valueAt(index).kind != JsonKind::Object) {
        return 0;
    }
    // Runs are stored in listing order already: bucket order, or arrival
    // order when the key order was kept.
    const Span& span = objects_[static_cast<std::size_t>(valueAt(index).detail - 1)];
    keys.reserve(static_cast<std::size_t>(span.count));
    for (std::int32_t i = 0; i < span.count; ++i) {
        const MemberSlot& slot = members_[static_cast<std::size_t>(span.first + i)];
        keys.emplace_back(source_.data() + slot.keyStart, static_cast<std::size_t>(slot.keyLength));
    }
    return span.count;
}

std::string_view JsonTree::textViewAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    if (index == 0) {
        return {};
    }
    const JsonValue& value = valueAt(index);
    switch (value.kind) {
        case JsonKind::Array:
            return "[Array]";
        case JsonKind::Object:
            return "[Object]";
        default:
            return untilZeroInSource(rawText(value));
    }
}

std::string JsonTree::textAt(std::string_view path, std::int32_t start) const {
    return std::string(textViewAt(path, start));
}

double JsonTree::numberAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    if (index == 0) {
        return 0;
    }
    const JsonValue& value = valueAt(index);
    switch (value.kind) {
        case JsonKind::String:
        case JsonKind::Integer:
        case JsonKind::Decimal:
            return textToNumber(untilZeroInSource(rawText(value)));
        default:
            return 0;
    }
}

std::int64_t JsonTree::integerAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    if (index == 0) {
        return 0;
    }
    const JsonValue& value = valueAt(index);
    switch (value.kind) {
        case JsonKind::Integer: {
            // File ids pass 2^53; a double would change them.
            std::int64_t exact = 0;
            if (json_text::plainInteger(rawText(value), exact)) {
                return exact;
            }
            return json_text::truncateToInt64(textToNumber(rawText(value)));
        }
        case JsonKind::String:
        case JsonKind::Decimal:
            return json_text::truncateToInt64(textToNumber(untilZeroInSource(rawText(value))));
        default:
            return 0;
    }
}

bool JsonTree::boolAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    return index != 0 && valueAt(index).kind == JsonKind::Boolean && valueAt(index).detail == 1;
}

bool JsonTree::isNullAt(std::string_view path, std::int32_t start) const {
    const std::int32_t index = locate(path, start);
    return index == 0 || valueAt(index).kind == JsonKind::Null;
}

bool JsonTree::existsAt(std::string_view path, std::int32_t start) const {
    return locate(path, start) != 0;
}

double JsonTree::textToNumber(std::string_view text) {
    return json_text::textToNumber(text);
}

}  // namespace linkhaul
