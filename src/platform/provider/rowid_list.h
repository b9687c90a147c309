// The rowids of a static cursor's rows, in result order, kept compactly: rows
// come in blocks of kBlock, each stored as offsets from the block's smallest
// rowid in the narrowest of 1, 2, 4 or 8 bytes that holds them all. A table read
// by an index close to its insertion order costs one or two bytes per row; any
// rowid at all still fits. Reading one back is constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace provider {

class RowidList {
public:
    static constexpr size_t kBlock = 256;

    void Add(int64_t rowid)
    {
        pending_[pendingCount_++] = rowid;
        if (pendingCount_ == kBlock)
            Seal();
    }
    int64_t At(size_t index) const;
    size_t Size() const { return blocks_.size() * kBlock + pendingCount_; }
    void Clear();
    // Bytes held, for tests and measurements.
    size_t Bytes() const;

private:
    struct Block {
        int64_t base;
        unsigned width;  // bytes per offset
        std::unique_ptr<uint8_t[]> offsets;
    };

    void Seal();

    std::vector<Block> blocks_;
    int64_t pending_[kBlock];
    size_t pendingCount_ = 0;
};

}  // namespace provider
