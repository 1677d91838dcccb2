#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonTree.h"

namespace linkhaul {

// What a task or a share-client operation holds while it reads one reply:
// parse once, read a few values by path, drop it. Every call goes to the
// owned JsonTree; see there for paths, defaults and error texts. A start of 0
// means the root.
class JsonDocument {
public:
    [[nodiscard]] bool parse(std::string_view text, std::string& errorReceiver,
                             bool keepKeyOrder = false) {
        return tree_.parse(text, errorReceiver, keepKeyOrder);
    }
    // For callers that log their own message instead of the parser's.
    [[nodiscard]] bool parse(std::string_view text, bool keepKeyOrder = false) {
        return tree_.parse(text, keepKeyOrder);
    }
    void clear() { tree_.clear(); }

    [[nodiscard]] std::int32_t locate(std::string_view path) const {
        return tree_.locateFromRoot(path);
    }
    [[nodiscard]] std::int32_t memberAt(std::string_view path, std::int32_t start,
                                        std::string_view key) const {
        return tree_.memberAt(path, start, key);
    }
    [[nodiscard]] std::int32_t elementAt(std::string_view path, std::int32_t start,
                                         std::int32_t n) const {
        return tree_.elementAt(path, start, n);
    }
    [[nodiscard]] std::int32_t kindAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.kindAt(path, start);
    }
    [[nodiscard]] std::int32_t countAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.countAt(path, start);
    }
    std::int32_t keysAt(std::string_view path, std::int32_t start,
                        std::vector<std::string>& keys) const {
        return tree_.keysAt(path, start, keys);
    }
    [[nodiscard]] std::string textAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.textAt(path, start);
    }
    [[nodiscard]] std::string_view textViewAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.textViewAt(path, start);
    }
    [[nodiscard]] std::int64_t integerAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.integerAt(path, start);
    }
    [[nodiscard]] double numberAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.numberAt(path, start);
    }
    [[nodiscard]] bool boolAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.boolAt(path, start);
    }
    [[nodiscard]] bool isNullAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.isNullAt(path, start);
    }
    [[nodiscard]] bool existsAt(std::string_view path, std::int32_t start = 0) const {
        return tree_.existsAt(path, start);
    }

    // The last parse failure (see JsonTree).
    [[nodiscard]] const std::string& errorText() const { return tree_.errorText(); }
    [[nodiscard]] std::int32_t errorPosition() const { return tree_.errorPosition(); }
    [[nodiscard]] std::string errorReport() const { return tree_.errorReport(); }

    [[nodiscard]] const JsonTree& tree() const { return tree_; }

private:
    JsonTree tree_;
};

}  // namespace linkhaul
