// The node arena of a compiled pattern: nodes, literal copies and bracket sets
// are carved from a few blocks and released together with the pattern.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace regex::detail {

class node_arena {
public:
    static constexpr std::size_t default_block_size = 352;

    node_arena() = default;
    node_arena(const node_arena&) = delete;
    node_arena& operator=(const node_arena&) = delete;
    ~node_arena();

    // Exchanges the blocks (and what lives in them) with another arena.
    void swap(node_arena& other) noexcept
    {
        std::swap(newest_, other.newest_);
        std::swap(cleanups_, other.cleanups_);
    }

    // Raw storage aligned for any node; n = 0 counts as 1.
    void* allocate(std::size_t n);

    // Builds an object in the arena. Objects that own memory of their own
    // (a bracket set's range lists) have their destructors run, newest first,
    // when the arena goes; nothing is released singly.
    template <class T, class... Args>
    T* make(Args&&... args)
    {
        cleanup* record = nullptr;
        if constexpr (!std::is_trivially_destructible_v<T>)
            record = static_cast<cleanup*>(allocate(sizeof(cleanup)));
        T* object = new (allocate(sizeof(T))) T(std::forward<Args>(args)...);
        if constexpr (!std::is_trivially_destructible_v<T>) {
            record->destroy = [](void* p) { static_cast<T*>(p)->~T(); };
            record->object = object;
            record->next = cleanups_;
            cleanups_ = record;
        }
        return object;
    }

    template <class T>
    T* make_array(std::size_t n)
    {
        static_assert(std::is_trivially_destructible_v<T>);
        T* p = static_cast<T*>(allocate(sizeof(T) * n));
        for (std::size_t i = 0; i < n; ++i)
            new (p + i) T();
        return p;
    }

private:
    struct block {
        std::size_t used;
        std::size_t size;
        block* next;
    };
    struct cleanup {
        void (*destroy)(void*);
        void* object;
        cleanup* next;
    };

    block* newest_ = nullptr;
    cleanup* cleanups_ = nullptr;
};

} // namespace regex::detail
