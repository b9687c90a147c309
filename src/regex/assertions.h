// Assertions: zero-width tests of the position against the ends of the
// subject or of a line, or against the word characters on either side.
#pragma once

#include "regex/atoms.h"

namespace regex::detail {

template <class It>
class assertion : public sub_expr<It> {
public:
    bool is_assertion() const override { return true; }
    width_range width(group_table<It>&) override { return {0, 0}; }
    // An assertion does not know the character; the node after it does.
    bool peek_lead(lead_info& info) const override
    {
        return this->next && this->next->peek_lead(info);
    }
};

template <class It, class Op>
class assert_op : public self_node<It, assert_op<It, Op>, assertion<It>> {
public:
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        return Op::op::template test<Nul>(s, p);
    }
};

template <bool Boundary> struct word_boundary {
    static bool test(bool before, bool after) { return (before != after) == Boundary; }
};
struct word_start {
    static bool test(bool before, bool after) { return !before && after; }
};
struct word_stop {
    static bool test(bool before, bool after) { return before && !after; }
};

template <class It, class W>
class word_assertion_t : public self_node<It, word_assertion_t<It, W>, assertion<It>> {
public:
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        // The character before the search start counts: subject_begin is the
        // start of the whole subject range.
        const bool before = p != s->subject_begin && word_set->contains(*(p - 1));
        const bool after = !at_end<Nul>(s, p) && word_set->contains(*p);
        return W::test(before, after);
    }
    const charset* word_set = &intrinsic_charsets::word();
};

} // namespace regex::detail
