#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linkhaul {

// Files the keys of one JSON object with the value indexes of their values.
// Keys hash into 32 fixed buckets and are listed bucket by bucket (arrival
// order inside a bucket), which is the order readers of an object see.
// All entries live in one flat table and one key arena, so a map costs a
// couple of allocations however many buckets it spreads over.
class JsonMemberMap {
public:
    static constexpr std::int32_t BUCKET_COUNT = 32;
    // Slots of the arrival-order key list grow in steps of this size.
    static constexpr std::int32_t KEY_ORDER_STEP = 100;

    void setKeepKeyOrder(bool keep) { keepKeyOrder_ = keep; }

    // Polynomial hash (multiplier 31) over the key's bytes taken as signed
    // 8-bit numbers, wrapping in 32 bits; stops at a zero byte.
    [[nodiscard]] static std::int32_t hashKey(std::string_view key);
    // Bucket number 1..32 of a hash: (|h| mod 32) + 1 with the mathematical
    // absolute value.
    [[nodiscard]] static std::int32_t bucketOf(std::int32_t hash);

    // Takes a key as pending; bindMember files it with its value index. A key
    // begun but never bound is listed only in arrival order.
    void beginMember(std::string_view key);
    void bindMember(std::int32_t valueIndex);

    // Value index of the first occurrence of key, 0 when absent.
    [[nodiscard]] std::int32_t lookupMember(std::string_view key) const;

    // Appends the keys (bucket order, or arrival order with keepKeyOrder on);
    // in arrival-order mode the list is replaced. Returns the number delivered.
    std::int32_t listKeys(std::vector<std::string>& keys) const;

    [[nodiscard]] std::int32_t memberCount() const {
        return static_cast<std::int32_t>(entries_.size());
    }
    [[nodiscard]] std::int32_t keyOrderCount() const {
        return static_cast<std::int32_t>(keyOrder_.size());
    }
    [[nodiscard]] std::int32_t keyOrderCapacity() const { return keyOrderCapacity_; }

private:
    struct Entry {
        std::int32_t hash;
        std::int32_t keyOffset;  // into keyBytes_
        std::int32_t keyLength;
        std::int32_t valueIndex;
    };
    struct KeyRef {
        std::int32_t keyOffset;
        std::int32_t keyLength;
    };

    [[nodiscard]] std::string_view keyOf(std::int32_t offset, std::int32_t length) const {
        return std::string_view(keyBytes_).substr(offset, length);
    }

    std::string keyBytes_;  // every key once, back to back
    KeyRef pendingKey_{0, 0};
    std::int32_t pendingHash_ = 0;
    std::vector<Entry> entries_;  // arrival order
    std::vector<KeyRef> keyOrder_;
    std::int32_t keyOrderCapacity_ = 0;
    bool keepKeyOrder_ = false;
};

}  // namespace linkhaul
