// Look-around, independent groups, conditionals and recursion: nodes that
// run a sub-match whose outcome is decided once and never revisited by later
// backtracking. Each saves the records of the groups inside it and puts them
// back when it gives up, so a failed attempt leaves no stale captures.
#pragma once

#include <vector>

#include "regex/quantifiers.h"

namespace regex::detail {

// Copies of a run of group records, kept while a decided sub-match is
// undone or kept. Small runs stay in the object, so the recursive matcher
// needs no heap for the usual one or two inner groups.
template <class It>
class saved_records {
public:
    saved_records(const backref_tag<It>* from, int count) : count_(count)
    {
        if (count_ <= inline_count)
            std::copy(from, from + count_, inline_);
        else
            heap_.assign(from, from + count_);
    }
    void restore(backref_tag<It>* to) const
    {
        const backref_tag<It>* src = count_ <= inline_count ? inline_ : heap_.data();
        std::copy(src, src + count_, to);
    }

private:
    static constexpr int inline_count = 2;
    int count_;
    backref_tag<It> inline_[inline_count];
    std::vector<backref_tag<It>> heap_;
};

// The node that ends the private chain of an assertion condition: only the
// assertion is tested there, so it accepts every position (unlike the
// pattern's own end, it does not refuse an empty match at the search start).
template <class It>
class accept_node : public chain_node<It, accept_node<It>, sub_expr<It>> {
public:
    template <bool Nul>
    bool chain(match_state<It>*, It) const
    {
        return true;
    }
    bool step_forward(match_state<It>* s) const override
    {
        s->next_node = nullptr;
        return true;
    }
    bool step_forward_nul(match_state<It>* s) const override { return step_forward(s); }
};

template <class It>
class independent_group_base : public match_group_base<It> {
public:
    independent_group_base(int n, bool expect) : match_group_base<It>(n), expected(expect) {}

    void set_inner_groups(int first, int count) override
    {
        inner_first = first;
        inner_count = count;
    }

    // Every alternative's chain ends in the group's end node, which returns
    // true at once: the first alternative that gets there decides.
    template <bool Nul>
    bool try_alternatives(match_state<It>* s, It pos) const
    {
        if (!this->template lead_allows<Nul>(s, pos))
            return false;
        this->check_depth(s);
        for (unsigned i = 0; i < this->alt_count; ++i) {
            sub_expr<It>* first = this->alternatives[i];
            if (Nul ? first->match_chain_nul(s, pos) : first->match_chain(s, pos))
                return true;
        }
        return false;
    }

    // Explicit-stack bookkeeping: the records of the groups inside, then the
    // position; undone in the reverse order.
    void save_on_stack(match_state<It>* s) const
    {
        for (int i = 0; i < inner_count; ++i)
            s->stack->push(s->results[inner_first + i]);
        s->stack->push(s->position);
    }
    void restore_from_stack(match_state<It>* s) const
    {
        s->stack->pop(s->position);
        for (int i = inner_count; i-- > 0;)
            s->stack->pop(s->results[inner_first + i]);
    }
    bool step_back(match_state<It>* s) const override
    {
        restore_from_stack(s);
        return false;
    }
    bool step_back_nul(match_state<It>* s) const override { return step_back(s); }

    bool expected;
    int inner_first = 0;
    int inner_count = 0;
};

// Runs a group as a chain of its own in a nested explicit-stack attempt: its
// steps are the group's entry and alternative cursor, without the
// construct's own decision around them.
template <class It>
class group_wrapper : public sub_expr<It> {
public:
    explicit group_wrapper(const match_group_base<It>* g) : group(g) {}
    bool step_forward(match_state<It>* s) const override { return group->template enter<false>(s); }
    bool step_forward_nul(match_state<It>* s) const override
    {
        return group->template enter<true>(s);
    }
    bool step_back(match_state<It>* s) const override
    {
        return group->template next_alternative<false>(s);
    }
    bool step_back_nul(match_state<It>* s) const override
    {
        return group->template next_alternative<true>(s);
    }
    const match_group_base<It>* group;
};

// (?>...) with a group number; look-ahead (number -1) derives from it.
template <class It>
class independent_group : public independent_group_base<It> {
public:
    class end_group : public chain_node<It, end_group, sub_expr<It>> {
    public:
        explicit end_group(const independent_group* o) : owner(o) {}
        template <bool Nul>
        bool chain(match_state<It>* s, It pos) const
        {
            if (owner->number >= 0) {
                backref_tag<It>& rec = s->results[owner->number];
                rec.first = rec.reserved_start;
                rec.second = pos;
                rec.matched = true;
            }
            return true;
        }
        bool step_forward(match_state<It>* s) const override
        {
            chain<false>(s, s->position);
            s->next_node = nullptr;
            return true;
        }
        bool step_forward_nul(match_state<It>* s) const override { return step_forward(s); }
        const independent_group* owner;
    };

    independent_group(int n, bool expect) : independent_group_base<It>(n, expect) {}

    sub_expr<It>* end_node() override { return &end_; }

    bool match_chain(match_state<It>* s, It pos) const override { return chain<false>(s, pos); }
    bool match_chain_nul(match_state<It>* s, It pos) const override { return chain<true>(s, pos); }

    bool peek_lead(lead_info& info) const override
    {
        return this->number >= 0 && match_group_base<It>::peek_lead(info);
    }

    // Runs the inner match once; returns its outcome and where it ended.
    template <bool Nul>
    bool decide(match_state<It>* s, It pos, It& resume) const
    {
        bool a;
        if (this->number >= 0) {
            backref_tag<It>& rec = s->results[this->number];
            rec.reserved_start = pos;
            a = this->template try_alternatives<Nul>(s, pos);
            resume = a ? rec.second : pos;
        } else {
            a = this->template try_alternatives<Nul>(s, pos);
            resume = pos;
        }
        return a;
    }

    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        const saved_records<It> saved(s->results + this->inner_first, this->inner_count);
        It resume = pos;
        if (decide<Nul>(s, pos, resume) == this->expected &&
            this->template match_next<Nul>(s, resume))
            return true;
        saved.restore(s->results + this->inner_first);
        return false;
    }

    bool step_forward(match_state<It>* s) const override { return forward<false>(s); }
    bool step_forward_nul(match_state<It>* s) const override { return forward<true>(s); }

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        const It pos = s->position;
        this->save_on_stack(s);
        const group_wrapper<It> wrapper(this);
        const bool a = explicit_match<Nul>(&wrapper, s, pos);
        if (a != this->expected) {
            this->restore_from_stack(s);
            return false;
        }
        if (this->number < 0 || !a)
            s->position = pos;  // a look-ahead does not move
        s->next_node = this->next;
        return true;
    }

private:
    end_group end_{this};
};

template <class It>
class lookahead_assertion : public independent_group<It> {
public:
    explicit lookahead_assertion(bool positive) : independent_group<It>(-1, positive) {}
    bool is_assertion() const override { return true; }
    width_range width(group_table<It>& table) override
    {
        independent_group<It>::width(table);
        return {0, 0};
    }
    bool peek_lead(lead_info& info) const override
    {
        return this->next && this->next->peek_lead(info);
    }
    sub_expr<It>* make_quantifier(std::uint64_t, std::uint64_t, bool, node_arena&) override
    {
        throw bad_regexpr("look-ahead assertion cannot be quantified");
    }
};

// (?<=...) and (?<!...) of any width: the contents must match a stretch of
// the subject that ends exactly at the position.
template <class It>
class lookbehind_assertion : public independent_group_base<It> {
public:
    class end_group : public chain_node<It, end_group, sub_expr<It>> {
    public:
        template <bool Nul>
        bool chain(match_state<It>* s, It pos) const
        {
            return pos == s->lookbehind_end;
        }
        bool step_forward(match_state<It>* s) const override
        {
            s->next_node = nullptr;
            return s->position == s->lookbehind_end;
        }
        bool step_forward_nul(match_state<It>* s) const override { return step_forward(s); }
    };

    explicit lookbehind_assertion(bool positive) : independent_group_base<It>(-1, positive) {}

    sub_expr<It>* make_quantifier(std::uint64_t, std::uint64_t, bool, node_arena&) override
    {
        throw bad_regexpr("sub-expression cannot be quantified");
    }

    sub_expr<It>* end_node() override { return &end_; }
    bool is_assertion() const override { return true; }
    width_range width(group_table<It>& table) override
    {
        independent_group_base<It>::width(table);
        return {0, 0};
    }
    bool peek_lead(lead_info& info) const override
    {
        return this->next && this->next->peek_lead(info);
    }

    bool match_chain(match_state<It>* s, It pos) const override { return chain<false>(s, pos); }
    bool match_chain_nul(match_state<It>* s, It pos) const override { return chain<true>(s, pos); }

    // The state an inner attempt runs on: the contents must end at the
    // position, while anchors and word tests inside still see the whole
    // subject ('(?<=a$)' holds only at the end).
    match_state<It> nested_state(const match_state<It>* s, It pos) const
    {
        match_state<It> inner = *s;
        inner.lookbehind_end = pos;
        inner.no_empty_at_start = false;
        inner.next_node = nullptr;
        return inner;
    }
    // The candidate starts, earliest first; false when the contents cannot fit.
    bool start_range(const match_state<It>* s, It pos, It& first, It& last) const
    {
        const auto available = static_cast<std::uint64_t>(pos - s->subject_begin);
        if (available < this->min_width)
            return false;
        first = pos - static_cast<std::ptrdiff_t>(std::min(this->max_width, available));
        last = pos - static_cast<std::ptrdiff_t>(this->min_width);
        return true;
    }

    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        It first, last;
        if (!start_range(s, pos, first, last))
            return !this->expected && this->template match_next<Nul>(s, pos);
        const saved_records<It> saved(s->results + this->inner_first, this->inner_count);
        match_state<It> inner = nested_state(s, pos);
        for (It start = first;; ++start) {
            const bool c = this->template try_alternatives<Nul>(&inner, start);
            if (c) {
                if (!this->expected) {
                    // One matching start is enough to refute a negative look-behind.
                    saved.restore(s->results + this->inner_first);
                    return false;
                }
                if (this->template match_next<Nul>(s, pos))
                    return true;
                saved.restore(s->results + this->inner_first);
            }
            if (start == last)
                break;
        }
        return !this->expected && this->template match_next<Nul>(s, pos);
    }

    bool step_forward(match_state<It>* s) const override { return forward<false>(s); }
    bool step_forward_nul(match_state<It>* s) const override { return forward<true>(s); }

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        const It pos = s->position;
        this->save_on_stack(s);
        It first, last;
        bool holds = !this->expected;
        if (start_range(s, pos, first, last)) {
            match_state<It> inner = nested_state(s, pos);
            const group_wrapper<It> wrapper(this);
            for (It start = first;; ++start) {
                if (explicit_match<Nul>(&wrapper, &inner, start)) {
                    holds = this->expected;
                    break;
                }
                if (start == last)
                    break;
            }
        }
        if (!holds) {
            this->restore_from_stack(s);
            return false;
        }
        s->position = pos;
        s->next_node = this->next;
        return true;
    }

private:
    end_group end_;
};

template <class It>
struct backref_condition {
    unsigned group;  // as written until the width pass translates it
    bool translated = false;

    bool holds(const match_state<It>* s) const
    {
        return group < s->group_count && s->results[group].matched;
    }
    void width(group_table<It>& table)
    {
        if (!translated) {
            group = table.to_internal(group);
            translated = true;
        }
        // A condition on a group the pattern does not have simply never
        // holds (holds() compares with the record count).
    }
};

template <class It>
struct assertion_condition {
    independent_group_base<It>* assertion_node = nullptr;  // its chain ends in an accept_node

    template <bool Nul>
    bool holds(match_state<It>* s, It pos) const
    {
        return Nul ? assertion_node->match_chain_nul(s, pos) : assertion_node->match_chain(s, pos);
    }
    void width(group_table<It>& table) { assertion_node->width(table); }
};

// (?(cond)yes|no): one or two alternatives; the group keeps a hidden number
// so its end node records where the chosen branch ended.
template <class It, class C>
class match_conditional : public match_group<It> {
public:
    match_conditional(int n, C c) : match_group<It>(n), condition(c) {}

    template <bool Nul>
    bool test(match_state<It>* s, It pos) const
    {
        if constexpr (std::is_same_v<C, backref_condition<It>>)
            return condition.holds(s);
        else
            return condition.template holds<Nul>(s, pos);
    }

    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        this->check_depth(s);
        if constexpr (std::is_same_v<C, backref_condition<It>>) {
            return take_branch<Nul>(s, pos, test<Nul>(s, pos));
        } else {
            // Captures made inside a held assertion are undone when the
            // branch after it fails, as the explicit-stack step back does.
            const independent_group_base<It>* a = condition.assertion_node;
            const saved_records<It> saved(s->results + a->inner_first, a->inner_count);
            if (take_branch<Nul>(s, pos, test<Nul>(s, pos)))
                return true;
            saved.restore(s->results + a->inner_first);
            return false;
        }
    }

    template <bool Nul>
    bool take_branch(match_state<It>* s, It pos, bool yes) const
    {
        if (!yes && this->alt_count < 2)
            return this->template match_next<Nul>(s, pos);
        backref_tag<It>& rec = s->results[this->number];
        const It saved = rec.reserved_start;
        rec.reserved_start = pos;
        sub_expr<It>* branch = this->alternatives[yes ? 0 : 1];
        if (Nul ? branch->match_chain_nul(s, pos) : branch->match_chain(s, pos))
            return true;
        rec.reserved_start = saved;
        return false;
    }
    bool match_chain(match_state<It>* s, It pos) const override { return chain<false>(s, pos); }
    bool match_chain_nul(match_state<It>* s, It pos) const override { return chain<true>(s, pos); }

    bool step_forward(match_state<It>* s) const override { return forward<false>(s); }
    bool step_forward_nul(match_state<It>* s) const override { return forward<true>(s); }
    bool step_back(match_state<It>* s) const override { return back<false>(s); }
    bool step_back_nul(match_state<It>* s) const override { return back<true>(s); }

    // Pushes which branch was taken; a held assertion condition keeps its
    // own records below that until the step back undoes it.
    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        bool yes;
        if constexpr (std::is_same_v<C, backref_condition<It>>)
            yes = condition.holds(s);
        else
            yes = Nul ? condition.assertion_node->step_forward_nul(s)
                      : condition.assertion_node->step_forward(s);
        s->stack->push(yes);
        if (!yes && this->alt_count < 2) {
            s->next_node = this->next;
            return true;
        }
        s->results[this->number].reserved_start = s->position;
        s->next_node = this->alternatives[yes ? 0 : 1];
        return true;
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        bool yes;
        s->stack->pop(yes);
        if constexpr (!std::is_same_v<C, backref_condition<It>>)
            if (yes)
                Nul ? condition.assertion_node->step_back_nul(s)
                    : condition.assertion_node->step_back(s);
        return false;
    }

    // Without a no-branch the successor may stand at the position, so the
    // yes-branch's first characters say nothing about what must be there.
    bool peek_lead(lead_info& info) const override
    {
        return this->alt_count == 2 && match_group_base<It>::peek_lead(info);
    }

    width_range width(group_table<It>& table) override
    {
        const bool first_time = width_range{this->min_width, this->max_width} == width_not_computed;
        width_range w = match_group_base<It>::width(table);
        if (this->alt_count < 2)
            w.min = 0;
        this->min_width = w.min;
        if (first_time)
            condition.width(table);
        return w;
    }

    C condition;
};

// (?R): the whole pattern again at the position. The inner match is decided
// once; the records it changed are put back afterwards, so the captures and
// the loop state of the groups around the recursion are what they were.
template <class It>
class match_recurse : public chain_node<It, match_recurse<It>, sub_expr<It>> {
public:
    width_range width(group_table<It>&) override { return {0, unbounded}; }
    sub_expr<It>* make_quantifier(std::uint64_t, std::uint64_t, bool, node_arena&) override
    {
        throw bad_regexpr("recursion sub-expression cannot be quantified");
    }

    // A recursion at the position where the innermost entry into the whole
    // pattern began (it has consumed nothing since) matches the empty string
    // there: running the pattern again could only repeat that entry for ever.
    static bool at_own_entry(const match_state<It>* s, It pos)
    {
        return pos == s->results[0].reserved_start;
    }
    // Inside a look-behind a recursion can also go back to where an outer
    // entry began; that one fails, or the two entries would call each other
    // until the machine stack ran out.
    static bool at_outer_entry(const match_state<It>* s, It pos)
    {
        for (const recursion_entry<It>* e = s->recursions; e; e = e->outer)
            if (e->position == pos)
                return true;
        return false;
    }

    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        if (at_own_entry(s, pos))
            return this->template match_next<Nul>(s, pos);
        if (at_outer_entry(s, pos))
            return false;
        const saved_records<It> saved(s->results, static_cast<int>(s->group_count));
        const recursion_entry<It> entry{s->results[0].reserved_start, s->recursions};
        s->recursions = &entry;
        const bool ok =
            Nul ? s->top_group->match_chain_nul(s, pos) : s->top_group->match_chain(s, pos);
        s->recursions = entry.outer;
        const It end = s->results[0].second;
        saved.restore(s->results);
        return ok && this->template match_next<Nul>(s, end);
    }

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        const It pos = s->position;
        if (at_own_entry(s, pos)) {
            s->stack->push(pos);
            s->next_node = this->next;
            return true;
        }
        if (at_outer_entry(s, pos))
            return false;
        record_stack& stack = *s->stack;
        stack.push(pos);
        for (unsigned i = 0; i < s->group_count; ++i)
            stack.push(s->results[i]);
        const recursion_entry<It> entry{s->results[0].reserved_start, s->recursions};
        s->recursions = &entry;
        const bool ok = explicit_match<Nul>(s->top_group, s, pos);
        s->recursions = entry.outer;
        const It end = s->results[0].second;
        for (unsigned i = s->group_count; i-- > 0;)
            stack.pop(s->results[i]);
        if (!ok) {
            stack.pop(s->position);
            return false;
        }
        s->position = end;
        s->next_node = this->next;
        return true;
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        s->stack->pop(s->position);
        return false;
    }
};

}  // namespace regex::detail
