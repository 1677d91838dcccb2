#pragma once

// Renders a parsed tree through its public queries so that a case can state
// the whole expected structure in one short line: {key:value,...} in listing
// order, [..], 'string', #integer, ~decimal, true, false, null.
#include <string>
#include <vector>

#include "json/JsonTree.h"

namespace linkhaul::testing {

inline std::string dumpValue(const JsonTree& tree, std::int32_t index) {
    switch (tree.kindAt("", index)) {
        case JsonKind::Object: {
            std::vector<std::string> keys;
            tree.keysAt("", index, keys);
            std::string out = "{";
            for (std::size_t i = 0; i < keys.size(); ++i) {
                out += (i == 0 ? "" : ",") + keys[i] + ":" +
                       dumpValue(tree, tree.memberAt("", index, keys[i]));
            }
            return out + "}";
        }
        case JsonKind::Array: {
            std::string out = "[";
            for (std::int32_t n = 1; n <= tree.countAt("", index); ++n) {
                out += (n == 1 ? "" : ",") + dumpValue(tree, tree.elementAt("", index, n));
            }
            return out + "]";
        }
        case JsonKind::String:
            return "'" + tree.textAt("", index) + "'";
        case JsonKind::Integer:
            return "#" + tree.textAt("", index);
        case JsonKind::Decimal:
            return "~" + tree.textAt("", index);
        case -1:
            return "<none>";
        default:
            return tree.textAt("", index);
    }
}

inline std::string dumpTree(const JsonTree& tree) {
    return tree.valueCount() == 0 ? "" : dumpValue(tree, 1);
}

}  // namespace linkhaul::testing
