// The tree-based reader of JsonValueCodec, apart from the rest of the codec so
// that programs which only write JSON do not pull in the tree parser.
#include <vector>

#include "json/JsonTree.h"
#include "json/JsonValueCodec.h"

namespace linkhaul {

JsonBuilder JsonValueCodec::parseWithTree(std::string_view text, JsonParseResult& result) const {
    JsonTree tree;
    std::string error;
    result.ok = tree.parse(text, error, false);
    // Start from null: a result record handed in again must not keep members of
    // its previous value, and a document holding only a comment reads as null.
    result.value.reset();
    if (result.ok) {
        result.error.clear();
        fromTree(tree, result.value);
    } else {
        result.error = error;
    }
    return result.value;
}

bool JsonValueCodec::fromTree(const JsonTree& tree, JsonBuilder& target,
                              std::optional<std::int32_t> node) const {
    return fromTreeAt(tree, target, node ? *node : tree.locateFromRoot(""), 0);
}

bool JsonValueCodec::fromTreeAt(const JsonTree& tree, JsonBuilder& target, std::int32_t node,
                                int depth) const {
    const std::int32_t kind = tree.kindAt("", node);
    switch (kind) {
        case JsonKind::Null:
            target.setNull();
            return true;
        case JsonKind::Integer:
            target.setLong(tree.integerAt("", node));
            return true;
        case JsonKind::Decimal:
            target.setDouble(tree.numberAt("", node));
            return true;
        case JsonKind::Boolean:
            target.setBool(tree.boolAt("", node));
            return true;
        case JsonKind::String:
            target.setString(tree.textAt("", node));
            return true;
        case JsonKind::Array:
        case JsonKind::Object:
            break;
        default:
            return false;
    }
    target.reset();
    target.typeName(kind == JsonKind::Array ? "array" : "object");
    if (depth >= JsonTree::MAX_DEPTH) {
        return true;  // the tree refuses deeper documents; never recurse without bound
    }
    JsonBuilder scratch;
    if (kind == JsonKind::Array) {
        const std::int32_t n = tree.countAt("", node);
        for (std::int32_t i = 1; i <= n; ++i) {
            fromTreeAt(tree, scratch, tree.elementAt("", node, i), depth + 1);
            target.append(scratch);
            scratch.reset();
        }
        return true;
    }
    std::vector<std::string> names;
    tree.keysAt("", node, names);
    for (const auto& name : names) {
        fromTreeAt(tree, scratch, tree.memberAt("", node, name), depth + 1);
        target.setMember(name, scratch);
        scratch.reset();
    }
    return true;
}

}  // namespace linkhaul
