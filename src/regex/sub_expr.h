// The node model of compiled patterns: the base classes every matcher node
// derives from, the per-match working record, widths and lead characters,
// and the node that ends a pattern.
//
// Matching is backtracking. In the recursive mode a node's chain operation
// matches the node and then hands the rest of the subject to its successor;
// a false return makes the caller try its next possibility. The step
// operations serve the explicit-stack mode, where a driver loop walks the
// nodes and keeps backtracking points on a typed stack.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "regex/backref_tag.h"
#include "regex/hetero_stack.h"
#include "regex/node_arena.h"
#include "regex/pattern_flags.h"

namespace regex::detail {

constexpr std::uint64_t unbounded = UINT64_MAX;

// {min, max} characters a node can consume; max = unbounded means no limit.
// A width not computed yet is {unbounded, unbounded}.
struct width_range {
    std::uint64_t min;
    std::uint64_t max;
    friend bool operator==(const width_range&, const width_range&) = default;
};

constexpr width_range width_not_computed{unbounded, unbounded};

inline std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b)
{
    return a > unbounded - b ? unbounded : a + b;
}

// A zero factor wins over an unbounded one; otherwise products saturate.
inline std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b)
{
    if (a == 0 || b == 0)
        return 0;
    if (a == unbounded || b == unbounded || a > unbounded / b)
        return unbounded;
    return a * b;
}

inline width_range operator+(width_range a, width_range b)
{
    return {saturating_add(a.min, b.min), saturating_add(a.max, b.max)};
}

// What must stand at a position for a node to match there.
struct lead_info {
    std::uint64_t lead_count = 0;        // 0: nothing known
    wchar_t lead_chars[2] = {0, 0};      // the candidates when lead_count <= 2
    const wchar_t* lead_list = nullptr;  // the candidates when lead_count > 2
    bool has_literal = false;            // a literal string must start here
    const wchar_t* literal_begin = nullptr;
    const wchar_t* literal_end = nullptr;
    const wchar_t* literal_other_case = nullptr;  // same text in the other case, or null
};

template <class It>
class sub_expr;
template <class It>
class match_group_base;

// Thrown by the depth guard and caught by the match driver, which turns an
// exhausted machine stack into "no match".
struct stack_exhausted {};

// Lowest safe stack address of the calling thread (its stack end plus a margin).
std::uintptr_t machine_stack_limit();

// The compiler and the passes over the node tree descend once per nesting
// level of the pattern; one nested deeper than the thread's stack allows is
// refused instead of overflowing it.
inline void check_nesting_depth()
{
    if (reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < machine_stack_limit())
        throw bad_regexpr("parentheses are nested too deeply");
}

// An entry into the whole pattern by recursion that has not returned yet:
// where the pattern level it left had been entered, and the entry around it.
template <class It>
struct recursion_entry {
    It position;
    const recursion_entry* outer;
};

// Arrivals at the end of a loop iteration from which the rest of the match
// is known to fail. What follows such an arrival depends only on the
// position and on the counts and iteration starts of the loops around it
// (the pattern has no back-reference, group condition or recursion), so an
// arrival in the same situation fails at once instead of repeating the
// search: nested and alternating repetitions stay polynomial. The memo
// wakes only after a budget of arrivals, so ordinary matches pay nothing.
class loop_memo {
public:
    explicit loop_memo(std::uint64_t budget) : budget_(budget) {}
    bool active()
    {
        if (budget_ == 0)
            return true;
        --budget_;
        return false;
    }
    bool failed(const std::string& key) const { return failed_.count(key) != 0; }
    void record(std::string key) { failed_.insert(std::move(key)); }

private:
    std::uint64_t budget_;
    std::unordered_set<std::string> failed_;
};

// The positions from which a node is known to fail, one bit per node that
// can be reached twice and subject position. In a pattern without
// back-references, conditions, recursion or look-around, and whose loops
// keep no count the rest could depend on, whether the rest of a match
// succeeds from a node depends on the position alone: a node tried again at
// a position where it failed fails again. Skipping those second tries keeps
// every answer and bounds a match by the pattern's size times the subject's
// length. The memo wakes only after a budget of visits proportional to the
// subject's length, so an ordinary match, which needs no more, pays nothing
// for it; a match that would backtrack for long then runs in linear time.
// Only true facts are ever recorded, so waking late loses nothing.
class visit_memo {
public:
    visit_memo(unsigned slots, std::size_t positions)
        : slots_(slots), positions_(positions), budget_(8 * positions + 64)
    {
    }
    visit_memo(const visit_memo&) = delete;
    visit_memo& operator=(const visit_memo&) = delete;
    ~visit_memo() { std::free(bits_); }

    // Counts one visit; true once the budget is spent.
    bool awake()
    {
        if (budget_ == 0)
            return true;
        --budget_;
        return false;
    }
    bool is_awake() const { return budget_ == 0; }
    bool failed(int slot, std::size_t position) const
    {
        if (!bits_)
            return false;
        const std::size_t i = position * slots_ + static_cast<std::size_t>(slot);
        return (bits_[i >> 6] >> (i & 63)) & 1;
    }
    void record(int slot, std::size_t position)
    {
        if (!bits_) {
            const std::size_t words = (positions_ * slots_ + 63) / 64;
            bits_ = static_cast<std::uint64_t*>(std::calloc(words, sizeof(std::uint64_t)));
            if (!bits_)
                throw std::bad_alloc();
        }
        const std::size_t i = position * slots_ + static_cast<std::size_t>(slot);
        bits_[i >> 6] |= std::uint64_t{1} << (i & 63);
    }

private:
    std::size_t slots_;
    std::size_t positions_;
    std::size_t budget_;
    std::uint64_t* bits_ = nullptr;
};

template <class It>
struct match_state {
    backref_tag<It>* results = nullptr;
    It subject_end{};
    It position{};
    unsigned group_count = 0;
    const sub_expr<It>* next_node = nullptr;
    It subject_begin{};
    It search_start{};
    const match_group_base<It>* top_group = nullptr;
    record_stack* stack = nullptr;  // explicit-stack mode only
    It lookbehind_end{};            // where the contents of the innermost look-behind must end
    const recursion_entry<It>* recursions = nullptr;  // innermost first
    loop_memo* memo = nullptr;  // null when the pattern's loops cannot use one
    visit_memo* visited = nullptr;  // null unless the pattern is in the linear class
    // Explicit-stack mode of a lean pattern (see lean_undo): every record a
    // step back pops restores the position it needs on its own.
    bool lean = false;
    // Set by a step forward that left nothing to undo: the driver then keeps
    // no record of the node.
    bool no_record = false;
    bool no_empty_at_start = false;
    std::uintptr_t stack_limit = 0;
};

// The compiler's table of groups by internal number, with the ascending list
// of numbers that carry no visible number (back-references translate through it).
template <class It>
struct group_table {
    std::vector<match_group_base<It>*> groups;
    const std::vector<unsigned>* hidden = nullptr;

    // Visible number as written -> internal number.
    unsigned to_internal(unsigned written) const
    {
        unsigned n = written;
        for (unsigned h : *hidden) {
            if (h > n)
                break;
            ++n;
        }
        return n;
    }
};

template <bool Nul, class It>
inline bool at_end(const match_state<It>* s, It p)
{
    if constexpr (Nul)
        return *p == 0;
    else
        return p == s->subject_end;
}

// How the explicit-stack driver keeps a node of a lean pattern. A pattern
// of atoms, assertions, plain groups and repetitions (no back-reference,
// condition, recursion, look-around or independent group) is lean: there,
// every record sets the position it continues from rather than stepping
// back over what followed it, so a node that only tests and moves (an atom,
// an assertion) needs no record of its own. Such a node is kept only where
// the visit memo may record a failure at its entry, and then with that
// position. Groups and loops of lean patterns likewise keep records only
// where an alternative remains or something must be restored.
enum class lean_undo : unsigned char {
    kept,         // the driver keeps the node (every node of other patterns)
    none,         // no record at all
    entry_saved,  // the node keeps where it was entered
};

template <class It>
class sub_expr_base {
public:
    virtual ~sub_expr_base() = default;
    virtual bool match_chain(match_state<It>* s, It pos) const = 0;
    virtual bool match_chain_nul(match_state<It>* s, It pos) const = 0;
    virtual bool step_forward(match_state<It>* s) const = 0;
    virtual bool step_forward_nul(match_state<It>* s) const = 0;
    virtual bool step_back(match_state<It>* s) const = 0;
    virtual bool step_back_nul(match_state<It>* s) const = 0;
};

template <class It>
class sub_expr : public sub_expr_base<It> {
public:
    using state = match_state<It>;

    // The arena owns every node and destroys none singly, so the successor
    // is not destroyed here.
    ~sub_expr() override = default;

    bool match_chain(state* s, It pos) const override
    {
        return match_self(s, pos) && match_next<false>(s, pos);
    }
    bool match_chain_nul(state* s, It pos) const override
    {
        return match_self_nul(s, pos) && match_next<true>(s, pos);
    }
    bool step_forward(state* s) const override
    {
        s->next_node = next;
        return true;
    }
    bool step_forward_nul(state* s) const override { return step_forward(s); }
    bool step_back(state*) const override { return false; }
    bool step_back_nul(state*) const override { return false; }

    virtual sub_expr* make_quantifier(std::uint64_t, std::uint64_t, bool, node_arena&)
    {
        throw bad_regexpr("sub-expression cannot be quantified");
    }
    virtual bool match_self(state*, It&) const { return true; }
    virtual bool match_self_nul(state*, It&) const { return true; }
    virtual bool is_assertion() const { return false; }
    virtual width_range width(group_table<It>&) { return {0, 0}; }
    virtual bool peek_lead(lead_info&) const { return false; }
    // For a repetition of an atom that consumes exactly one character: that
    // atom, with the counts.
    virtual const sub_expr* repeated_char_atom(std::uint64_t&, std::uint64_t&) const
    {
        return nullptr;
    }
    // A repetition of an atom, which may keep bits of its own in the visit
    // memo (see quantifiers.h).
    virtual bool is_atom_loop() const { return false; }
    // False when nothing can match from pos on through this node: a cheap
    // look at what it must consume first. Only patterns of the linear class
    // ask it (their continuations read no captures).
    virtual bool may_start(state*, It) const { return true; }
    virtual void give_loop_slot(unsigned&) {}

    // Continues with the successor. Every level of the recursive matcher
    // passes through here, so this is where the depth guard looks.
    template <bool Nul>
    bool match_next(state* s, It pos) const
    {
        check_depth(s);
        if constexpr (Nul) {
            return next->match_chain_nul(s, pos);
        } else {
            if (next->memo_slot >= 0 && s->visited && s->visited->awake())
                return next->match_remembered(s, pos);
            return next->match_chain(s, pos);
        }
    }

    // The chain from this node, skipped where it is known to fail.
    bool match_remembered(state* s, It pos) const
    {
        const auto at = static_cast<std::size_t>(pos - s->subject_begin);
        if (s->visited->failed(memo_slot, at))
            return false;
        if (this->match_chain(s, pos))
            return true;
        s->visited->record(memo_slot, at);
        return false;
    }

    // Groups enter their alternatives directly, so they look as well.
    static void check_depth(const state* s)
    {
        if (reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < s->stack_limit)
            throw stack_exhausted();
    }

    // Whether the node only tests at the position and moves past what it
    // matched, touching nothing else (atoms and assertions).
    virtual bool tests_and_moves() const { return false; }
    // For a repetition of an atom that may repeat it at all: what must
    // stand where the atom matches.
    virtual bool atom_lead(lead_info&) const { return false; }
    // Whether the node keeps bits of its own in the visit memo for where the
    // rest after it failed (the repetitions of atoms without an upper limit).
    virtual bool remembers_own_failures() const { return false; }

    sub_expr* next = nullptr;
    // This node's bits in the visit memo; -1 for a node reached only once
    // at any position.
    int memo_slot = -1;
    lean_undo undo = lean_undo::kept;
};

// Routes the virtual bounded / NUL-ended pairs of a node to its templated
// implementation: Derived provides chain<Nul>(s, pos) and, for nodes that
// test on their own, self<Nul>(s, pos); for the explicit-stack mode it may
// provide forward<Nul>(s) and back<Nul>(s).
template <class It, class Derived, class Base>
class chain_node : public Base {
public:
    using Base::Base;
    bool step_forward(match_state<It>* s) const override { return forward_as<false>(s); }
    bool step_forward_nul(match_state<It>* s) const override { return forward_as<true>(s); }
    bool step_back(match_state<It>* s) const override { return back_as<false>(s); }
    bool step_back_nul(match_state<It>* s) const override { return back_as<true>(s); }

private:
    template <bool Nul>
    bool forward_as(match_state<It>* s) const
    {
        const Derived* d = static_cast<const Derived*>(this);
        if constexpr (requires { d->template forward<Nul>(s); })
            return d->template forward<Nul>(s);
        else
            return Nul ? Base::step_forward_nul(s) : Base::step_forward(s);
    }
    template <bool Nul>
    bool back_as(match_state<It>* s) const
    {
        const Derived* d = static_cast<const Derived*>(this);
        if constexpr (requires { d->template back<Nul>(s); })
            return d->template back<Nul>(s);
        else
            return Nul ? Base::step_back_nul(s) : Base::step_back(s);
    }

public:
    bool match_chain(match_state<It>* s, It pos) const override
    {
        return static_cast<const Derived*>(this)->template chain<false>(s, pos);
    }
    bool match_chain_nul(match_state<It>* s, It pos) const override
    {
        return static_cast<const Derived*>(this)->template chain<true>(s, pos);
    }
};

template <class It, class Derived, class Base>
class self_node : public chain_node<It, Derived, Base> {
public:
    bool match_self(match_state<It>* s, It& pos) const override
    {
        return static_cast<const Derived*>(this)->template self<false>(s, pos);
    }
    bool match_self_nul(match_state<It>* s, It& pos) const override
    {
        return static_cast<const Derived*>(this)->template self<true>(s, pos);
    }
    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        return static_cast<const Derived*>(this)->template self<Nul>(s, pos) &&
               this->template match_next<Nul>(s, pos);
    }
    bool tests_and_moves() const override { return true; }
    // Tests at the position and moves past what matched; pushes nothing but,
    // in a lean pattern, the entry position when the node keeps it.
    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        const It entry = s->position;
        if (!static_cast<const Derived*>(this)->template self<Nul>(s, s->position))
            return false;
        if (this->undo == lean_undo::entry_saved)
            s->stack->push(entry);
        s->next_node = this->next;
        return true;
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        if (this->undo == lean_undo::entry_saved)
            s->stack->pop(s->position);
        return false;
    }
};

// Last node of a pattern's top-level chain. It refuses an empty match at the
// search start when the previous repeated match ended empty there, so that
// repeated matching moves on.
template <class It>
class end_of_pattern : public chain_node<It, end_of_pattern<It>, sub_expr<It>> {
public:
    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        return accepts(s, pos);
    }
    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        s->next_node = nullptr;
        return accepts(s, s->position);
    }

private:
    static bool accepts(const match_state<It>* s, It pos)
    {
        return !(s->no_empty_at_start && pos == s->search_start);
    }
};

// One explicit-stack attempt of the chain that starts at `start`, from pos:
// a flat loop hands control from node to node and backtracks by popping the
// nodes that stepped forward. Nothing it pushes outlives it; what it leaves
// in the results stays. Only nested constructs call it again, so the machine
// stack grows with their nesting, never with the subject.
template <bool Nul, class It>
bool explicit_match(const sub_expr_base<It>* start, match_state<It>* s, It pos)
{
    sub_expr<It>::check_depth(s);
    record_stack& stack = *s->stack;
    const stack_mark<record_stack> mark(stack);
    const std::byte* const base = mark.position();
    s->position = pos;
    const sub_expr_base<It>* node = start;
    if (!(Nul ? node->step_forward_nul(s) : node->step_forward(s)))
        return false;
    // The visit memo serves bounded subjects only.
    visit_memo* const visited = s->visited;
    auto known_to_fail = [&](const sub_expr<It>* n) {
        if constexpr (Nul)
            return false;
        else
            return visited && n->memo_slot >= 0 && visited->awake() &&
                   visited->failed(n->memo_slot,
                                   static_cast<std::size_t>(s->position - s->subject_begin));
    };
    auto remember_failure = [&](const sub_expr<It>* n) {
        if constexpr (!Nul) {
            if (visited && n->memo_slot >= 0 && visited->is_awake())
                visited->record(n->memo_slot,
                                static_cast<std::size_t>(s->position - s->subject_begin));
        }
    };
    while (s->next_node) {
        if (s->no_record)
            s->no_record = false;
        else if (static_cast<const sub_expr<It>*>(node)->undo != lean_undo::none)
            stack.push(node);
        const sub_expr<It>* const next = s->next_node;
        node = next;
        if (known_to_fail(next)) {
            // Known to fail here: backtrack as if it had failed.
        } else if (Nul ? node->step_forward_nul(s) : node->step_forward(s)) {
            continue;
        }
        for (;;) {
            if (stack.position() == base)
                return false;
            stack.pop(node);
            if (Nul ? node->step_back_nul(s) : node->step_back(s))
                break;
            // Every way on from this node has failed; the step back left the
            // position where the node was entered.
            remember_failure(static_cast<const sub_expr<It>*>(node));
        }
    }
    return true;
}

}  // namespace regex::detail
