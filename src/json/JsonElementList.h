#pragma once

#include <cstdint>
#include <vector>

namespace linkhaul {

// The value indexes of one JSON array's elements, in document order.
class JsonElementList {
public:
    void appendElement(std::int32_t valueIndex) { elementIndexes_.push_back(valueIndex); }

    // The n-th element's value index counting from 1; 0 when n is out of range.
    [[nodiscard]] std::int32_t elementIndex(std::int32_t n) const;

    [[nodiscard]] std::int32_t elementCount() const {
        return static_cast<std::int32_t>(elementIndexes_.size());
    }

private:
    std::vector<std::int32_t> elementIndexes_;
};

}  // namespace linkhaul
