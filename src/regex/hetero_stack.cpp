// The typed record stack of the explicit-stack matcher: block chaining and
// the type-error message.
#include "regex/hetero_stack.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace regex {
namespace {

std::string printable_name(const std::type_info& t)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(t.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(t.name());
}

thread_local std::size_t high_water = 0;

} // namespace

std::size_t record_stack_high_water()
{
    return high_water;
}

void reset_record_stack_high_water()
{
    high_water = 0;
}

template <bool Tagged>
basic_hetero_stack<Tagged>::type_error::type_error(const std::type_info& requested, const std::type_info& actual)
    : std::logic_error("type error in hetero_stack (requested type: " + printable_name(requested) +
                       ", actual type: " + printable_name(actual) + ")"),
      requested_(&requested), actual_(&actual)
{
}

template <bool Tagged>
basic_hetero_stack<Tagged>::~basic_hetero_stack()
{
    unwind_to(first_data_);
    for (block* b = first_.next; b;) {
        block* next = b->next;
        ::operator delete(b);
        b = next;
    }
}

template <bool Tagged>
std::size_t basic_hetero_stack<Tagged>::block_count() const
{
    std::size_t n = 0;
    for (const block* b = first_.next; b; b = b->next)
        ++n;
    return n;
}

template <bool Tagged>
std::byte* basic_hetero_stack<Tagged>::grow(std::size_t n)
{
    current_->saved_top = top_;
    block* next = current_->next;
    block* b;
    if (next && static_cast<std::size_t>(next->end - data_of(next)) >= n) {
        b = next;
    } else {
        const std::size_t capacity = next ? n : std::max(n, min_capacity);
        b = static_cast<block*>(::operator new(sizeof(block) + capacity));
        b->prev = current_;
        b->next = next;
        b->end = reinterpret_cast<std::byte*>(b + 1) + capacity;
        allocated_ += capacity;
        if (!Tagged)
            high_water = std::max(high_water, allocated_);
        if (next)
            next->prev = b;
        current_->next = b;
    }
    current_ = b;
    data_start_ = data_of(b);
    top_ = data_start_ + n;
    end_ = b->end;
    b->saved_top = top_;
    return data_start_;
}

template <bool Tagged>
void basic_hetero_stack<Tagged>::switch_to_previous_block()
{
    current_->saved_top = top_;
    current_ = current_->prev;
    data_start_ = data_of(current_);
    top_ = current_->saved_top;
    end_ = current_->end;
}

template <bool Tagged>
void basic_hetero_stack<Tagged>::release_if_block_empty()
{
    if (top_ == data_start_ && current_ != &first_)
        switch_to_previous_block();
}

template <bool Tagged>
void basic_hetero_stack<Tagged>::unwind_to(const std::byte* mark)
{
    if constexpr (!Tagged) {
        // Plain records need no destruction: drop whole blocks until the
        // mark lies in the current one.
        const auto at = reinterpret_cast<std::uintptr_t>(mark);
        while (!(reinterpret_cast<std::uintptr_t>(data_start_) <= at &&
                 at <= reinterpret_cast<std::uintptr_t>(top_))) {
            if (current_ == &first_)
                return;  // a mark that was never on this stack: stop at the bottom
            top_ = data_start_;
            switch_to_previous_block();
        }
        top_ = const_cast<std::byte*>(mark);
        release_if_block_empty();
        return;
    }
    while (top_ != mark) {
        const type_descriptor* d = top_tag();
        std::byte* value = top_ - tag_size - d->rounded_size;
        if (d->destroy)
            d->destroy(value);
        top_ = value;
        if (top_ == data_start_ && top_ != mark) {
            if (current_ == &first_)
                return; // a mark that was never on this stack: stop at the bottom
            switch_to_previous_block();
        }
    }
}

template class basic_hetero_stack<true>;
template class basic_hetero_stack<false>;

} // namespace regex
