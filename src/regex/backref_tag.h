// One sub-match record: the matched range of a group plus the matcher's
// bookkeeping for that group while a match runs.
#pragma once

#include <cstdint>
#include <string>

namespace regex {
namespace detail {

// A position that may be unset; two unset positions compare equal.
template <class It>
struct smart_iter {
    It it{};
    bool valid = false;

    smart_iter() = default;
    explicit smart_iter(It i) : it(i), valid(true) {}
    friend bool operator==(const smart_iter& a, const smart_iter& b)
    {
        return a.valid == b.valid && (!a.valid || a.it == b.it);
    }
    friend bool operator==(const smart_iter& a, const It& b) { return a.valid && a.it == b; }
};

} // namespace detail

template <class It>
class backref_tag {
public:
    It first{};
    It second{};
    bool matched = false;

    // Matcher bookkeeping; callers do not read it.
    It reserved_start{};                        // where the group's current attempt began
    std::uint64_t loop_count = 0;               // iterations entered by a group quantifier
    bool loop_flag = false;                     // explicit-stack group loops
    detail::smart_iter<It> prev_iteration_start;
    detail::smart_iter<It> iteration_start;
    // Explicit-stack group loops of lean patterns: where the loop was last
    // entered when nothing could be consumed there, and where a pass of the
    // loop that consumed nothing left it, while that pass is still in force.
    detail::smart_iter<It> entered_empty_at;
    detail::smart_iter<It> empty_pass_at;

    std::wstring str() const { return matched ? std::wstring(first, second) : std::wstring(); }
    std::size_t length() const { return matched ? static_cast<std::size_t>(second - first) : 0; }

    // The one record that never matched, shared by the whole process.
    static const backref_tag& never_matched()
    {
        static const backref_tag record;
        return record;
    }
};

} // namespace regex
