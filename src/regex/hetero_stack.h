// A growable stack of records of different types. The tagged kind
// (hetero_stack) stores beside each record a tag naming its type and checks it
// on every pop, so code that pops what other code pushed is caught at once
// instead of reading garbage. The plain kind (record_stack) keeps only the
// records, each rounded to a pointer's size: the explicit-stack matcher
// pushes a few records for every step of a match, so on a long subject the
// tags alone would double what it holds. Its records are plain data only,
// which lets it unwind by moving its top instead of visiting every record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace regex {

// The most block space one plain record stack of the calling thread has
// held since the last reset (what the explicit-stack matcher keeps at its
// deepest; for tests of how much it holds per subject character).
std::size_t record_stack_high_water();
void reset_record_stack_high_water();

template <bool Tagged>
class basic_hetero_stack {
public:
    struct type_descriptor {
        const std::type_info* type;
        std::size_t size;
        std::size_t rounded_size;
        void (*destroy)(void*); // none for scalar records
    };

    class type_error : public std::logic_error {
    public:
        type_error(const std::type_info& requested, const std::type_info& actual);
        const std::type_info& requested_type() const { return *requested_; }
        const std::type_info& actual_type() const { return *actual_; }

    private:
        const std::type_info* requested_;
        const std::type_info* actual_;
    };

    basic_hetero_stack()
    {
        first_.saved_top = first_data_;
        first_.end = first_data_;
    }
    basic_hetero_stack(const basic_hetero_stack&) = delete;
    basic_hetero_stack& operator=(const basic_hetero_stack&) = delete;
    ~basic_hetero_stack();

    template <class T>
    void push(const T& value)
    {
        static_assert(alignof(T) <= record_align);
        if constexpr (!Tagged) {
            static_assert(std::is_trivially_destructible_v<T>,
                          "a plain record stack holds plain data only");
            constexpr std::size_t size = rounded<T>();
            std::byte* at = reserve(size);
            new (at) T(value);
            return;
        }
        const type_descriptor* d = &descriptor<T>();
        std::byte* at = reserve(d->rounded_size + tag_size);
        try {
            new (at) T(value);
        } catch (...) {
            top_ = at; // give the space back; the tag was never written
            release_if_block_empty();
            throw;
        }
        *reinterpret_cast<const type_descriptor**>(at + d->rounded_size) = d;
    }

    template <class T>
    void pop(T& out)
    {
        T& v = top<T>();
        out = std::move(v);
        v.~T();
        release(reinterpret_cast<std::byte*>(&v));
    }

    template <class T>
    T& top()
    {
        if constexpr (!Tagged)
            return *std::launder(reinterpret_cast<T*>(top_ - rounded<T>()));
        const type_descriptor* want = &descriptor<T>();
        const type_descriptor* have = top_tag();
        if (have != want && *have->type != *want->type)
            throw type_error(typeid(T), *have->type);
        return *reinterpret_cast<T*>(top_ - tag_size - want->rounded_size);
    }

    template <class T>
    void discard()
    {
        T& v = top<T>();
        v.~T();
        release(reinterpret_cast<std::byte*>(&v));
    }

    const std::byte* position() const { return top_; }
    bool empty() const { return top_ == data_start_ && current_ == &first_; }
    void unwind_to(const std::byte* mark);

    // Blocks currently allocated (for tests of the reuse rules).
    std::size_t block_count() const;

private:
    static constexpr std::size_t record_align = alignof(void*);
    static constexpr std::size_t tag_size = Tagged ? sizeof(const type_descriptor*) : 0;
    template <class T>
    static constexpr std::size_t rounded()
    {
        return (sizeof(T) + record_align - 1) / record_align * record_align;
    }
    // Smaller blocks would mean one allocation per record while the stack
    // first grows; a bigger request gets a block of exactly its size.
    static constexpr std::size_t min_capacity = 4096;

    struct block {
        block* prev;
        block* next;
        std::byte* saved_top;
        std::byte* end;
    };
    std::byte* data_of(block* b) { return b == &first_ ? first_data_ : reinterpret_cast<std::byte*>(b + 1); }

    template <class T>
    static const type_descriptor& descriptor()
    {
        static const type_descriptor d{
            &typeid(T), sizeof(T), (sizeof(T) + record_align - 1) / record_align * record_align,
            std::is_trivially_destructible_v<T> ? nullptr
                                                : +[](void* p) { static_cast<T*>(p)->~T(); }};
        return d;
    }

    void switch_to_previous_block();
    const type_descriptor* top_tag() const
    {
        return *reinterpret_cast<const type_descriptor* const*>(top_ - tag_size);
    }
    std::byte* reserve(std::size_t n)
    {
        if (static_cast<std::size_t>(end_ - top_) >= n) {
            std::byte* at = top_;
            top_ += n;
            return at;
        }
        return grow(n);
    }
    std::byte* grow(std::size_t n);
    void release(std::byte* at)
    {
        top_ = at;
        release_if_block_empty();
    }
    void release_if_block_empty();

    // The first block only anchors the chain: its data area holds no record.
    block first_{&first_, nullptr, nullptr, nullptr};
    alignas(record_align) std::byte first_data_[4] = {};
    block* current_ = &first_;
    std::size_t allocated_ = 0;  // data bytes of every block held
    std::byte* data_start_ = first_data_;
    std::byte* top_ = first_data_;
    std::byte* end_ = first_data_;
};

using hetero_stack = basic_hetero_stack<true>;
using record_stack = basic_hetero_stack<false>;
extern template class basic_hetero_stack<true>;
extern template class basic_hetero_stack<false>;

namespace detail {

// Unwinds a stack to where it stood when the mark was taken, on every exit.
template <class Stack>
class stack_mark {
public:
    explicit stack_mark(Stack& s) : stack_(s), mark_(s.position()) {}
    stack_mark(const stack_mark&) = delete;
    stack_mark& operator=(const stack_mark&) = delete;
    ~stack_mark() { stack_.unwind_to(mark_); }
    const std::byte* position() const { return mark_; }

private:
    Stack& stack_;
    const std::byte* mark_;
};

} // namespace detail
} // namespace regex
