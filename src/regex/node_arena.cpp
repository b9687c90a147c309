// Block allocation of the node arena (see node_arena.h).
#include "regex/node_arena.h"

#include <algorithm>
#include <cstdlib>

namespace regex::detail {
namespace {

// Nodes hold pointers and 64-bit counts: 8-byte alignment on this platform.
constexpr std::size_t alignment = 8;
constexpr std::size_t header_size = (sizeof(std::size_t) * 3 + alignment - 1) / alignment * alignment;

std::size_t round_up(std::size_t n) { return (n + alignment - 1) / alignment * alignment; }

} // namespace

node_arena::~node_arena()
{
    for (cleanup* c = cleanups_; c; c = c->next)
        c->destroy(c->object);
    while (newest_) {
        block* next = newest_->next;
        std::free(newest_);
        newest_ = next;
    }
}

void* node_arena::allocate(std::size_t n)
{
    n = round_up(n == 0 ? 1 : n);
    if (!newest_ || newest_->size < newest_->used + n) {
        const std::size_t size = std::max(default_block_size, n);
        auto* b = static_cast<block*>(std::malloc(header_size + size));
        if (!b)
            throw std::bad_alloc();
        b->used = 0;
        b->size = size;
        b->next = newest_;
        newest_ = b;
    }
    void* p = reinterpret_cast<char*>(newest_) + header_size + newest_->used;
    newest_->used += n;
    return p;
}

} // namespace regex::detail
