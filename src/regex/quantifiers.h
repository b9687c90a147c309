// Quantifiers: repetition of one atom (a loop inside one call, since an
// atom's width is fixed) or of one group (a loop through the group and an end
// node, since every iteration can match differently and must backtrack).
#pragma once

#include <utility>

#include "regex/groups.h"

namespace regex::detail {

template <class It, class X>
class match_wrapper : public sub_expr<It> {
public:
    width_range width(group_table<It>& table) override { return atom->width(table); }
    bool peek_lead(lead_info& info) const override { return atom->peek_lead(info); }
    X* atom = nullptr;
};

template <class It, class X>
class match_quantifier : public match_wrapper<It, X> {
public:
    width_range width(group_table<It>& table) override
    {
        const width_range w = this->atom->width(table);
        return {saturating_mul(w.min, min), saturating_mul(w.max, max)};
    }
    bool peek_lead(lead_info& info) const override
    {
        return min != 0 && this->atom->peek_lead(info);
    }
    std::uint64_t min = 0;
    std::uint64_t max = unbounded;
};

template <class It, class X>
class atom_quantifier : public match_quantifier<It, X> {
public:
    // The loop's own bits in the visit memo (loops without an upper limit
    // only); -1 when it has none.
    int loop_slot = -1;
    bool is_atom_loop() const override { return true; }
    bool atom_lead(lead_info& info) const override
    {
        return this->max != 0 && this->atom->peek_lead(info);
    }
    bool remembers_own_failures() const override { return loop_slot >= 0; }
    bool may_start(match_state<It>* s, It pos) const override
    {
        return this->min == 0 || this->max == 0 || this->atom->may_start(s, pos);
    }
    // The rest of the match after the loop, tried from pos; where the memo
    // serves, a look at the successor's first character decides most tries.
    template <bool Nul>
    bool go_on(match_state<It>* s, It pos) const
    {
        if constexpr (!Nul) {
            if (s->visited) {
                // A try decided here still counts toward waking the memo.
                (void)s->visited->awake();
                if (!this->next->may_start(s, pos))
                    return false;
            }
        }
        return this->template match_next<Nul>(s, pos);
    }
    void give_loop_slot(unsigned& slots) override
    {
        if (this->max == unbounded && loop_slot < 0)
            loop_slot = static_cast<int>(slots++);
    }

    template <bool Nul>
    visit_memo* loop_memo(const match_state<It>* s) const
    {
        if constexpr (Nul)
            return nullptr;
        else
            return loop_slot >= 0 && s->visited && s->visited->awake() ? s->visited : nullptr;
    }
    bool known_to_fail(const visit_memo* memo, const match_state<It>* s, It pos) const
    {
        return memo->failed(loop_slot, static_cast<std::size_t>(pos - s->subject_begin));
    }
    void remember_failure(visit_memo* memo, const match_state<It>* s, It pos) const
    {
        memo->record(loop_slot, static_cast<std::size_t>(pos - s->subject_begin));
    }

    const sub_expr<It>* repeated_char_atom(std::uint64_t& min, std::uint64_t& max) const override
    {
        if constexpr (std::is_base_of_v<match_char<It>, X> ||
                      std::is_base_of_v<match_charset<It>, X> ||
                      std::is_base_of_v<match_any<It>, X>) {
            min = this->min;
            max = this->max;
            return this->atom;
        } else {
            return nullptr;
        }
    }
};

// Greedy: take as many atoms as possible, then give them back one at a time.
//
// With the visit memo, a loop without an upper limit also remembers the
// positions p at which "go on looping from p, or stop there" failed once the
// minimum was reached: that depends on p alone (the run of atoms from p, and
// the rest of the match from each position in it). A later entry stops
// advancing at such a position, so every position of a run is looked at a
// bounded number of times however many entries reach the run.
template <class It, class X>
class max_atom_quantifier
    : public chain_node<It, max_atom_quantifier<It, X>, atom_quantifier<It, X>> {
public:
    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        const X* atom = this->atom;
        visit_memo* const memo = this->template loop_memo<Nul>(s);
        std::uint64_t i = 0;
        typename std::iterator_traits<It>::difference_type step = 0;
        if (memo && this->min == 0 && this->known_to_fail(memo, s, pos))
            return false;
        if (this->max != 0) {
            It q = pos;
            if (atom->template self<Nul>(s, q)) {
                step = q - pos;
                if (step == 0)  // an empty atom (a back-reference to an empty group)
                    return this->template match_next<Nul>(s, pos);
                pos = q;
                i = 1;
                if (memo) {
                    for (;;) {
                        if (i >= this->min && this->known_to_fail(memo, s, pos)) {
                            if (i == this->min)
                                return false;
                            pos -= step;
                            --i;
                            break;
                        }
                        if (i >= this->max || !atom->template self<Nul>(s, pos))
                            break;
                        ++i;
                    }
                } else {
                    while (i < this->max && atom->template self<Nul>(s, pos))
                        ++i;
                }
            }
        }
        if (i < this->min)
            return false;
        for (;;) {
            if (this->template go_on<Nul>(s, pos))
                return true;
            if (memo)
                this->remember_failure(memo, s, pos);
            if (i == this->min)
                return false;
            pos -= step;
            --i;
        }
    }

    using record = std::pair<It, std::uint64_t>;  // start position, count

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        const X* atom = this->atom;
        visit_memo* const memo = this->template loop_memo<Nul>(s);
        const It start = s->position;
        It p = start;
        std::uint64_t count = 0;
        if (memo && this->min == 0 && this->known_to_fail(memo, s, p))
            return false;
        if (this->max != 0 && atom->template self<Nul>(s, p)) {
            if (p == start) {
                count = this->min;  // repeating an empty match changes nothing
            } else if (memo) {
                const auto step = p - start;
                count = 1;
                for (;;) {
                    if (count >= this->min && this->known_to_fail(memo, s, p)) {
                        if (count == this->min)
                            return false;
                        p -= step;
                        --count;
                        break;
                    }
                    if (count >= this->max || !atom->template self<Nul>(s, p))
                        break;
                    ++count;
                }
            } else {
                count = 1;
                while (count < this->max && atom->template self<Nul>(s, p))
                    ++count;
            }
        }
        if (count < this->min)
            return false;
        s->position = p;
        s->stack->push(record(start, count));
        s->next_node = this->next;
        return true;
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        record& r = s->stack->template top<record>();
        if (s->lean)  // what followed left the position anywhere
            s->position = r.first + static_cast<std::ptrdiff_t>(r.second) * this->atom->span(s);
        // The rest failed from here, and so did everything beyond.
        if (visit_memo* const memo = this->template loop_memo<Nul>(s))
            this->remember_failure(memo, s, s->position);
        if (r.second == this->min) {
            s->position = r.first;
            s->stack->template discard<record>();
            return false;
        }
        --r.second;
        s->position -= this->atom->span(s);
        s->next_node = this->next;
        return true;
    }
};

// Lazy: try the rest first, then one more atom at a time. With the visit
// memo an unlimited loop remembers, as the greedy one does, the positions
// from which "stop here, or take one more atom and go on" failed.
template <class It, class X>
class min_atom_quantifier
    : public chain_node<It, min_atom_quantifier<It, X>, atom_quantifier<It, X>> {
public:
    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        const X* atom = this->atom;
        std::uint64_t i = 0;
        It q = pos;
        if (atom->template self<Nul>(s, q)) {
            if (q == pos)
                return this->template match_next<Nul>(s, pos);
            if (this->min != 0) {
                pos = q;
                i = 1;
                for (; i < this->min; ++i)
                    if (!atom->template self<Nul>(s, pos))
                        return false;
            }
        } else if (this->min != 0) {
            return false;
        }
        if (visit_memo* const memo = this->template loop_memo<Nul>(s))
            return remembered_loop<Nul>(s, pos, memo);
        for (;;) {
            if (this->template go_on<Nul>(s, pos))
                return true;
            if (i >= this->max)
                return false;
            ++i;
            if (!atom->template self<Nul>(s, pos))
                return false;
        }
    }

    using record = std::pair<It, std::uint64_t>;  // start position, count

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        const X* atom = this->atom;
        const It start = s->position;
        It p = start;
        std::uint64_t count = 0;
        if (!atom->template self<Nul>(s, p)) {
            if (this->min != 0)
                return false;
            p = start;
        } else if (p == start) {
            count = this->max;  // it can never usefully grow
        } else if (this->min != 0) {
            for (count = 1; count < this->min; ++count)
                if (!atom->template self<Nul>(s, p))
                    return false;
        } else {
            p = start;  // the speculative match is dropped
        }
        if (count < this->max) {
            if (visit_memo* const memo = this->template loop_memo<Nul>(s))
                if (this->known_to_fail(memo, s, p))
                    return false;
        }
        s->position = p;
        s->stack->push(record(start, count));
        s->next_node = this->next;
        return true;
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        record& r = s->stack->template top<record>();
        if (s->lean && r.second != this->max)  // what followed left the position anywhere
            s->position = r.first + static_cast<std::ptrdiff_t>(r.second) * this->atom->span(s);
        visit_memo* const memo = r.second < this->max ? this->template loop_memo<Nul>(s) : nullptr;
        It p = s->position;
        const bool grows = r.second != this->max && this->atom->template self<Nul>(s, p) &&
                           !(memo && this->known_to_fail(memo, s, p));
        if (!grows) {
            if (memo) {
                // Every position from the minimum up to here failed.
                const auto step = this->atom->span(s);
                It m = r.first + static_cast<std::ptrdiff_t>(this->min) * step;
                for (; m <= s->position; m += step)
                    this->remember_failure(memo, s, m);
            }
            s->position = r.first;
            s->stack->template discard<record>();
            return false;
        }
        ++r.second;
        s->position = p;
        s->next_node = this->next;
        return true;
    }

private:
    template <bool Nul>
    bool remembered_loop(match_state<It>* s, It pos, visit_memo* memo) const
    {
        const X* atom = this->atom;
        const It first = pos;
        bool known = false;
        for (;;) {
            if (this->known_to_fail(memo, s, pos)) {
                known = true;
                break;
            }
            if (this->template go_on<Nul>(s, pos))
                return true;
            It q = pos;
            if (!atom->template self<Nul>(s, q))
                break;
            pos = q;
        }
        // Every position from the first up to here failed (the last one is
        // already known when the walk stopped at it).
        if (!known || pos != first) {
            const auto step = atom->span(s);
            for (It m = first;; m += step) {
                if (known && m == pos)
                    break;
                this->remember_failure(memo, s, m);
                if (m == pos)
                    break;
            }
        }
        return false;
    }
};

template <class It, class Derived, class Family>
sub_expr<It>* atom_node<It, Derived, Family>::make_quantifier(std::uint64_t min, std::uint64_t max,
                                                              bool greedy, node_arena& arena)
{
    match_quantifier<It, Derived>* q;
    if (greedy)
        q = arena.make<max_atom_quantifier<It, Derived>>();
    else
        q = arena.make<min_atom_quantifier<It, Derived>>();
    q->atom = static_cast<Derived*>(this);
    q->min = min;
    q->max = max;
    return q;
}

// The loop state (iterations entered, where the last two iterations began)
// lives in the quantified group's own record, so nested and recursive entries
// of the same loop save and restore it around themselves.
template <class It>
class group_quantifier : public match_quantifier<It, sub_expr<It>> {
public:
    // The loop state of an outer entry, kept while an inner one runs; the
    // three flags share one byte, which keeps the record at four words.
    struct old_quant {
        std::uint64_t loop_count;
        It prev_iteration_start;
        It iteration_start;
        unsigned char flags;  // loop_flag, then whether each start is set

        static old_quant of(const backref_tag<It>& rec)
        {
            return {rec.loop_count, rec.prev_iteration_start.it, rec.iteration_start.it,
                    static_cast<unsigned char>((rec.loop_flag ? 1 : 0) |
                                               (rec.prev_iteration_start.valid ? 2 : 0) |
                                               (rec.iteration_start.valid ? 4 : 0))};
        }
        void restore(backref_tag<It>& rec) const
        {
            rec.loop_count = loop_count;
            rec.loop_flag = (flags & 1) != 0;
            rec.prev_iteration_start.it = prev_iteration_start;
            rec.prev_iteration_start.valid = (flags & 2) != 0;
            rec.iteration_start.it = iteration_start;
            rec.iteration_start.valid = (flags & 4) != 0;
        }
    };
    match_group_base<It>* group = nullptr;
    // Bits in the visit memo for the arrivals at the end of an iteration.
    virtual void give_arrival_slot(unsigned&) {}

    // Set by the compiler for a loop whose failed arrivals can be remembered
    // (none inside a look-behind, whose contents must end at a point that
    // changes from one use to the next): its number and the loops around it
    // up to the nearest construct that decides on its own: the innermost
    // one, whose own list continues this one's (a list per loop would grow
    // with the square of the nesting).
    bool memo_ok = false;
    std::uint64_t memo_id = 0;
    const group_quantifier* enclosing = nullptr;
    unsigned enclosing_count = 0;

    // What the rest of the match after an arrival at pos can depend on: the
    // position, and for this loop and each loop around it the count (all
    // counts past the minimum alike when there is no maximum) and whether
    // its last two iterations began at pos (two empty ones end a loop).
    std::string memo_key(const match_state<It>* s, It pos) const
    {
        std::string key;
        key.reserve((3 + enclosing_count) * sizeof(std::uint64_t));
        auto put = [&key](std::uint64_t w) {
            key.append(reinterpret_cast<const char*>(&w), sizeof w);
        };
        put(memo_id);
        put(static_cast<std::uint64_t>(pos - s->subject_begin));
        put(loop_state(this, s, pos));
        const group_quantifier* q = enclosing;
        for (unsigned i = 0; i < enclosing_count; ++i, q = q->enclosing)
            put(loop_state(q, s, pos));
        return key;
    }
    // Whether the memo knows that this arrival fails; key receives the key
    // when the memo is awake.
    bool known_to_fail(const match_state<It>* s, It pos, std::string& key) const
    {
        if (!memo_ok || !s->memo || !s->memo->active())
            return false;
        key = memo_key(s, pos);
        return s->memo->failed(key);
    }
    void remember_failure(const match_state<It>* s, It pos, std::string& key) const
    {
        if (!memo_ok || !s->memo)
            return;
        if (key.empty())
            key = memo_key(s, pos);
        s->memo->record(std::move(key));
    }

private:
    static std::uint64_t loop_state(const group_quantifier* q, const match_state<It>* s, It pos)
    {
        const backref_tag<It>& rec = s->results[q->group->number];
        std::uint64_t count = rec.loop_count;
        if (q->max == unbounded)
            count = std::min(count, q->min);
        // Whether the loop stops at its next arrivals depends on whether its
        // last two iterations began here.
        return count << 2 | (rec.iteration_start == pos ? 1u : 0u) |
               (rec.prev_iteration_start == pos ? 2u : 0u);
    }
};

template <class It, bool Greedy>
class group_loop : public chain_node<It, group_loop<It, Greedy>, group_quantifier<It>> {
public:
    // What an arrival at the end of an iteration keeps for its step back:
    // the start of the iteration before (which the shift moved out), and
    // whether the arrival ended the loop. One word: the start's distance
    // from the subject's beginning, shifted past the two flags.
    struct arrival {
        std::uint64_t word;

        static arrival of(const match_state<It>* s, const smart_iter<It>& prev, bool stalled)
        {
            const std::uint64_t at =
                prev.valid ? static_cast<std::uint64_t>(prev.it - s->subject_begin) : 0;
            return {at << 2 | (prev.valid ? 1u : 0u) | (stalled ? 2u : 0u)};
        }
        bool stalled() const { return (word & 2) != 0; }
        smart_iter<It> prev(const match_state<It>* s) const
        {
            if (!(word & 1))
                return smart_iter<It>();
            return smart_iter<It>(s->subject_begin + static_cast<std::ptrdiff_t>(word >> 2));
        }
    };

    // Whether an arrival at pos ends the loop without another iteration:
    // when the last two iterations together consumed nothing (a third could
    // only repeat them; the first iteration can never stop the loop), or
    // when the one that just ended consumed nothing and the minimum is
    // reached. Below the minimum one empty iteration does not stop the loop,
    // so the minimum can still be reached through an empty pass; above it,
    // a second empty pass would change nothing but would double the work of
    // every loop nested inside this one.
    bool stalls(const backref_tag<It>& rec, It pos) const
    {
        return rec.prev_iteration_start == pos ||
               (rec.iteration_start == pos && rec.loop_count >= this->min);
    }

    class end_quantifier : public chain_node<It, end_quantifier, sub_expr<It>> {
    public:
        explicit end_quantifier(const group_loop* o) : owner(o) {}

        // Reached when an iteration of the group has matched.
        template <bool Nul>
        bool chain(match_state<It>* s, It pos) const
        {
            if constexpr (!Nul) {
                if (arrival_slot >= 0 && s->visited && s->visited->awake()) {
                    const auto at = static_cast<std::size_t>(pos - s->subject_begin);
                    if (s->visited->failed(arrival_slot, at))
                        return false;
                    if (arrive<Nul>(s, pos))
                        return true;
                    s->visited->record(arrival_slot, at);
                    return false;
                }
            }
            std::string key;
            if (owner->known_to_fail(s, pos, key))
                return false;
            if (arrive<Nul>(s, pos))
                return true;
            owner->remember_failure(s, pos, key);
            return false;
        }

        // Whether the visit memo knows that an arrival after an iteration
        // fails here. The explicit-stack loop also passes through this node
        // on entering the loop, before any iteration: that is another state
        // and is never looked up or recorded.
        template <bool Nul>
        bool arrival_known_to_fail(const match_state<It>* s, const backref_tag<It>& rec) const
        {
            if constexpr (Nul)
                return false;
            else
                return arrival_slot >= 0 && s->visited && s->visited->awake() &&
                       rec.iteration_start.valid &&
                       s->visited->failed(arrival_slot, static_cast<std::size_t>(
                                                            s->position - s->subject_begin));
        }
        template <bool Nul>
        void remember_arrival_failure(const match_state<It>* s, bool after_iteration) const
        {
            if constexpr (!Nul) {
                if (arrival_slot >= 0 && s->visited && s->visited->is_awake() && after_iteration)
                    s->visited->record(arrival_slot,
                                       static_cast<std::size_t>(s->position - s->subject_begin));
            }
        }
        int arrival_slot = -1;  // bits in the visit memo for arrivals after an iteration

        template <bool Nul>
        bool arrive(match_state<It>* s, It pos) const
        {
            backref_tag<It>& rec = s->results[owner->group->number];
            const smart_iter<It> p = rec.prev_iteration_start;
            if (owner->stalls(rec, pos))
                return owner->template match_next<Nul>(s, pos);
            rec.prev_iteration_start = rec.iteration_start;
            rec.iteration_start = smart_iter<It>(pos);
            if (owner->template loop_step<Nul>(s, pos))
                return true;
            rec.iteration_start = rec.prev_iteration_start;
            rec.prev_iteration_start = p;
            return false;
        }

        template <bool Nul>
        bool forward(match_state<It>* s) const
        {
            backref_tag<It>& rec = s->results[owner->group->number];
            const It pos = s->position;
            if (arrival_known_to_fail<Nul>(s, rec))
                return false;
            std::string key;
            if (owner->known_to_fail(s, pos, key))
                return false;
            const bool stalled = owner->stalls(rec, pos);
            s->stack->push(arrival::of(s, rec.prev_iteration_start, stalled));
            rec.prev_iteration_start = rec.iteration_start;
            rec.iteration_start = smart_iter<It>(pos);
            if (stalled) {
                s->next_node = owner->next;
                rec.empty_pass_at = rec.entered_empty_at;
                return true;
            }
            if constexpr (Greedy) {
                if (rec.loop_count == owner->max) {
                    s->next_node = owner->next;
                    rec.loop_flag = false;
                    rec.empty_pass_at = rec.entered_empty_at;
                } else {
                    rec.loop_flag = true;
                    s->next_node = owner->group;
                    ++rec.loop_count;
                }
            } else {
                if (rec.loop_count < owner->min) {
                    ++rec.loop_count;
                    s->next_node = owner->group;
                } else {
                    rec.loop_flag = false;
                    s->next_node = owner->next;
                    rec.empty_pass_at = rec.entered_empty_at;
                }
            }
            return true;
        }
        template <bool Nul>
        bool back(match_state<It>* s) const
        {
            backref_tag<It>& rec = s->results[owner->group->number];
            // In a lean pattern nothing after the arrival stepped back to it:
            // it began where the shift put the last iteration's end. Nor did
            // the ends of later iterations give the group back the range of
            // the iteration that ended here; leaving the loop restores it.
            if (s->lean)
                s->position = rec.iteration_start.it;
            rec.empty_pass_at = smart_iter<It>();  // the pass is being undone
            // An arrival that left the loop touched neither count nor flag.
            if (!s->stack->template top<arrival>().stalled()) {
                if constexpr (Greedy) {
                    if (rec.loop_flag) {
                        --rec.loop_count;
                        s->next_node = owner->next;
                        if (rec.loop_count >= owner->min) {
                            rec.loop_flag = false;
                            if (s->lean && rec.prev_iteration_start.valid) {
                                rec.first = rec.prev_iteration_start.it;
                                rec.second = rec.iteration_start.it;
                                rec.matched = true;
                            }
                            return true;  // leave the loop here
                        }
                    } else {
                        rec.loop_flag = true;
                    }
                } else {
                    if (rec.loop_flag) {
                        --rec.loop_count;
                    } else {
                        rec.loop_flag = true;
                        if (rec.loop_count < owner->max) {
                            ++rec.loop_count;
                            s->next_node = owner->group;
                            return true;  // one more iteration
                        }
                    }
                }
            }
            // The shift moved the start of the iteration that arrived here
            // into prev_iteration_start: unset for the entry into the loop.
            remember_arrival_failure<Nul>(s, rec.prev_iteration_start.valid);
            rec.iteration_start = rec.prev_iteration_start;
            arrival a;
            s->stack->pop(a);
            rec.prev_iteration_start = a.prev(s);
            std::string key;
            owner->remember_failure(s, s->position, key);
            return false;
        }
        const group_loop* owner;
    };

    group_loop() = default;

    void give_arrival_slot(unsigned& slots) override
    {
        if (end_.arrival_slot < 0)
            end_.arrival_slot = static_cast<int>(slots++);
    }

    void attach(match_group_base<It>* g, std::uint64_t min, std::uint64_t max)
    {
        this->atom = g;
        this->group = g;
        this->min = min;
        this->max = max;
        g->next = &end_;
        g->loop_body = true;
    }

    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        backref_tag<It>& rec = s->results[this->group->number];
        const std::uint64_t count = rec.loop_count;
        const smart_iter<It> prev = rec.prev_iteration_start;
        const smart_iter<It> iter = rec.iteration_start;
        rec.prev_iteration_start = smart_iter<It>();
        rec.iteration_start = smart_iter<It>(pos);
        rec.loop_count = 0;
        if (loop_step<Nul>(s, pos))
            return true;
        rec.loop_count = count;
        rec.prev_iteration_start = prev;
        rec.iteration_start = iter;
        return false;
    }

    using old_quant = typename group_quantifier<It>::old_quant;

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        backref_tag<It>& rec = s->results[this->group->number];
        if (s->lean) {
            // Where nothing can be consumed, every way through the loop ends
            // where it began, and the rest of a lean pattern cannot tell
            // them apart: only the first can matter. When the last pass that
            // ended here is still in force, nothing inside the loop has
            // changed since, and a new pass would only write again what it
            // wrote: the loop is passed over. (Starred groups nested deeply
            // would otherwise repeat each level's empty pass through every
            // level below it.)
            const It p = s->position;
            const bool empty_only = !this->group->template may_consume_at<Nul>(s, p);
            if (empty_only && rec.empty_pass_at == p) {
                s->no_record = true;
                s->next_node = this->next;
                return true;
            }
            rec.entered_empty_at = empty_only ? smart_iter<It>(p) : smart_iter<It>();
            rec.empty_pass_at = smart_iter<It>();
        }
        s->stack->push(old_quant::of(rec));
        rec.loop_count = 0;
        rec.loop_flag = true;
        rec.prev_iteration_start = smart_iter<It>();
        rec.iteration_start = smart_iter<It>();
        s->next_node = &end_;
        return true;
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        backref_tag<It>& rec = s->results[this->group->number];
        s->stack->template top<old_quant>().restore(rec);
        s->stack->template discard<old_quant>();
        rec.entered_empty_at = smart_iter<It>();
        rec.empty_pass_at = smart_iter<It>();
        return false;
    }

    template <bool Nul>
    bool loop_step(match_state<It>* s, It pos) const
    {
        backref_tag<It>& rec = s->results[this->group->number];
        if constexpr (Greedy) {
            if (rec.loop_count != this->max) {
                ++rec.loop_count;
                if (enter_group<Nul>(s, pos))
                    return true;
                --rec.loop_count;
                if (rec.loop_count < this->min)
                    return false;
            }
            return this->template match_next<Nul>(s, pos);
        } else {
            if (rec.loop_count >= this->min && this->template match_next<Nul>(s, pos))
                return true;
            if (rec.loop_count >= this->max)
                return false;
            ++rec.loop_count;
            if (enter_group<Nul>(s, pos))
                return true;
            --rec.loop_count;
            return false;
        }
    }

private:
    template <bool Nul>
    bool enter_group(match_state<It>* s, It pos) const
    {
        return Nul ? this->group->match_chain_nul(s, pos) : this->group->match_chain(s, pos);
    }

    end_quantifier end_{this};
};

template <class It>
using max_group_quantifier = group_loop<It, true>;
template <class It>
using min_group_quantifier = group_loop<It, false>;

template <class It>
sub_expr<It>* match_group_base<It>::make_quantifier(std::uint64_t min, std::uint64_t max,
                                                    bool greedy, node_arena& arena)
{
    if (greedy) {
        auto* q = arena.make<max_group_quantifier<It>>();
        q->attach(this, min, max);
        return q;
    }
    auto* q = arena.make<min_group_quantifier<It>>();
    q->attach(this, min, max);
    return q;
}

}  // namespace regex::detail
