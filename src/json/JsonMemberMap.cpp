#include "json/JsonMemberMap.h"

#include <array>

#include "json/JsonTreeText.h"

namespace linkhaul {

using json_text::untilZero;

std::int32_t JsonMemberMap::hashKey(std::string_view key) {
    std::uint32_t h = 0;
    for (char c : key) {
        if (c == '\0') {
            break;
        }
        h = h * 31u +
            static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    }
    return static_cast<std::int32_t>(h);
}

std::int32_t JsonMemberMap::bucketOf(std::int32_t hash) {
    // Mathematical |h|: -2^31 must not overflow, so work in 64 bits.
    const std::int64_t magnitude = hash < 0 ? -static_cast<std::int64_t>(hash) : hash;
    return static_cast<std::int32_t>(magnitude % BUCKET_COUNT) + 1;
}

void JsonMemberMap::beginMember(std::string_view key) {
    key = untilZero(key);
    pendingKey_ =
        KeyRef{static_cast<std::int32_t>(keyBytes_.size()), static_cast<std::int32_t>(key.size())};
    keyBytes_.append(key);
    pendingHash_ = hashKey(key);
    if (keepKeyOrder_) {
        if (keyOrderCount() == keyOrderCapacity_) {
            keyOrderCapacity_ += KEY_ORDER_STEP;
            keyOrder_.reserve(static_cast<std::size_t>(keyOrderCapacity_));
        }
        keyOrder_.push_back(pendingKey_);
    }
}

void JsonMemberMap::bindMember(std::int32_t valueIndex) {
    entries_.push_back(
        Entry{pendingHash_, pendingKey_.keyOffset, pendingKey_.keyLength, valueIndex});
}

std::int32_t JsonMemberMap::lookupMember(std::string_view key) const {
    key = untilZero(key);
    const std::int32_t hash = hashKey(key);
    // Equal hashes share a bucket, so the first match in arrival order is the
    // first occurrence filed in that bucket.
    for (const Entry& entry : entries_) {
        if (entry.hash == hash && keyOf(entry.keyOffset, entry.keyLength) == key) {
            return entry.valueIndex;
        }
    }
    return 0;
}

std::int32_t JsonMemberMap::listKeys(std::vector<std::string>& keys) const {
    if (keepKeyOrder_) {
        keys.clear();
        for (const KeyRef& ref : keyOrder_) {
            keys.emplace_back(keyOf(ref.keyOffset, ref.keyLength));
        }
        return keyOrderCount();
    }
    // Stable counting sort by bucket.
    std::array<std::int32_t, BUCKET_COUNT + 1> firstOfBucket{};
    for (const Entry& entry : entries_) {
        ++firstOfBucket[static_cast<std::size_t>(bucketOf(entry.hash))];
    }
    for (std::size_t b = 1; b <= BUCKET_COUNT; ++b) {
        firstOfBucket[b] += firstOfBucket[b - 1];
    }
    std::vector<const Entry*> ordered(entries_.size());
    for (const Entry& entry : entries_) {
        const auto b = static_cast<std::size_t>(bucketOf(entry.hash) - 1);
        ordered[static_cast<std::size_t>(firstOfBucket[b]++)] = &entry;
    }
    for (const Entry* entry : ordered) {
        keys.emplace_back(keyOf(entry->keyOffset, entry->keyLength));
    }
    return memberCount();
}

}  // namespace linkhaul
