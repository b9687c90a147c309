#include "platform/provider/rowid_list.h"

#include <algorithm>
#include <cstring>

namespace provider {

int64_t RowidList::At(size_t index) const
{
    const size_t block = index / kBlock;
    const size_t slot = index % kBlock;
    if (block >= blocks_.size())
        return pending_[slot];
    const Block& b = blocks_[block];
    const uint8_t* p = b.offsets.get() + slot * b.width;
    uint64_t offset = 0;
    switch (b.width) {
        case 1:
            offset = *p;
            break;
        case 2: {
            uint16_t v;
            std::memcpy(&v, p, sizeof v);
            offset = v;
            break;
        }
        case 4: {
            uint32_t v;
            std::memcpy(&v, p, sizeof v);
            offset = v;
            break;
        }
        default:
            std::memcpy(&offset, p, sizeof offset);
            break;
    }
    // Unsigned arithmetic: the offset of the largest rowid from the smallest can
    // exceed INT64_MAX.
    return static_cast<int64_t>(static_cast<uint64_t>(b.base) + offset);
}

void RowidList::Seal()
{
    const auto [low, high] = std::minmax_element(pending_, pending_ + pendingCount_);
    const uint64_t range = static_cast<uint64_t>(*high) - static_cast<uint64_t>(*low);
    Block block{*low, range <= 0xFF ? 1u : range <= 0xFFFF ? 2u : range <= 0xFFFFFFFFu ? 4u : 8u,
                nullptr};
    block.offsets = std::make_unique<uint8_t[]>(kBlock * block.width);
    for (size_t i = 0; i < pendingCount_; ++i) {
        const uint64_t offset = static_cast<uint64_t>(pending_[i]) - static_cast<uint64_t>(*low);
        uint8_t* p = block.offsets.get() + i * block.width;
        switch (block.width) {
            case 1:
                *p = static_cast<uint8_t>(offset);
                break;
            case 2: {
                const auto v = static_cast<uint16_t>(offset);
                std::memcpy(p, &v, sizeof v);
                break;
            }
            case 4: {
                const auto v = static_cast<uint32_t>(offset);
                std::memcpy(p, &v, sizeof v);
                break;
            }
            default:
                std::memcpy(p, &offset, sizeof offset);
                break;
        }
    }
    blocks_.push_back(std::move(block));
    pendingCount_ = 0;
}

void RowidList::Clear()
{
    // Swapped out, not cleared: the block list's memory goes too.
    std::vector<Block>().swap(blocks_);
    pendingCount_ = 0;
}

size_t RowidList::Bytes() const
{
    size_t bytes = sizeof *this + blocks_.capacity() * sizeof(Block);
    for (const Block& b : blocks_)
        bytes += kBlock * b.width;
    return bytes;
}

}  // namespace provider
