#pragma once

// Append-only table of small records stored in fixed blocks: growing never
// copies what is stored, and the heap it holds stays within one block of
// what it needs (a doubling vector briefly holds three times as much).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace linkhaul::json_table {

template <class T>
class BlockTable {
public:
    static constexpr std::size_t BLOCK_SHIFT = 13;
    static constexpr std::size_t BLOCK_SIZE = std::size_t{1} << BLOCK_SHIFT;

    BlockTable() = default;
    BlockTable(const BlockTable& other) { *this = other; }
    BlockTable(BlockTable&&) noexcept = default;
    BlockTable& operator=(BlockTable&&) noexcept = default;
    BlockTable& operator=(const BlockTable& other) {
        if (this != &other) {
            clear();
            extend(other.size_);
            for (std::size_t b = 0; b < blocks_.size(); ++b) {
                const std::size_t used = std::min(BLOCK_SIZE, size_ - b * BLOCK_SIZE);
                std::copy_n(other.blocks_[b].get(), used, blocks_[b].get());
            }
        }
        return *this;
    }
    ~BlockTable() = default;

    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }

    void push_back(const T& item) {
        if ((size_ & (BLOCK_SIZE - 1)) == 0 && (size_ >> BLOCK_SHIFT) == blocks_.size()) {
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(BLOCK_SIZE));
        }
        blocks_[size_ >> BLOCK_SHIFT][size_ & (BLOCK_SIZE - 1)] = item;
        ++size_;
    }

    // Appends n records to be written through operator[].
    void extend(std::size_t n) {
        size_ += n;
        while ((size_ + BLOCK_SIZE - 1) >> BLOCK_SHIFT > blocks_.size()) {
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(BLOCK_SIZE));
        }
    }

    [[nodiscard]] T& operator[](std::size_t i) {
        return blocks_[i >> BLOCK_SHIFT][i & (BLOCK_SIZE - 1)];
    }
    [[nodiscard]] const T& operator[](std::size_t i) const {
        return blocks_[i >> BLOCK_SHIFT][i & (BLOCK_SIZE - 1)];
    }

    // Releases every block.
    void clear() {
        std::vector<std::unique_ptr<T[]>>().swap(blocks_);
        size_ = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace linkhaul::json_table
