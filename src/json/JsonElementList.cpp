#include "json/JsonElementList.h"

namespace linkhaul {

std::int32_t JsonElementList::elementIndex(std::int32_t n) const {
    if (n < 1 || n > elementCount()) {
        return 0;
    }
    return elementIndexes_[static_cast<std::size_t>(n - 1)];
}

}  // namespace linkhaul
