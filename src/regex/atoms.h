// Atoms: the nodes that consume subject characters on their own (a character,
// a literal, a set member, any character, the text of an earlier group).
// They are the only nodes an atom quantifier can wrap; its loop calls their
// non-virtual self<Nul>() directly.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "regex/char_class.h"
#include "regex/charset.h"
#include "regex/sub_expr.h"

namespace regex::detail {

// Position tests shared by '.' and the anchors. Each pairs the bounded test
// (Nul = false) with the NUL-ended one (Nul = true).
struct bos_t {
    template <bool Nul, class It>
    static bool test(const match_state<It>* s, It p)
    {
        return p == s->subject_begin;
    }
};
struct bol_t {
    template <bool Nul, class It>
    static bool test(const match_state<It>* s, It p)
    {
        return p == s->subject_begin || *(p - 1) == L'\n';
    }
};
struct eos_t {
    template <bool Nul, class It>
    static bool test(const match_state<It>* s, It p)
    {
        return at_end<Nul>(s, p);
    }
};
struct peos_t {
    template <bool Nul, class It>
    static bool test(const match_state<It>* s, It p)
    {
        return at_end<Nul>(s, p) || (*p == L'\n' && at_end<Nul>(s, p + 1));
    }
};
struct eol_t {
    template <bool Nul, class It>
    static bool test(const match_state<It>* s, It p)
    {
        return at_end<Nul>(s, p) || *p == L'\n';
    }
};
template <class T>
struct opwrap {
    using op = T;
};

template <class C>
struct char_nocase {
    C lower;
    C upper;
};

template <class It, class X>
class max_atom_quantifier;
template <class It, class X>
class min_atom_quantifier;

// Common slots of every atom: chain = self then the successor, quantifiable
// by an atom quantifier over the concrete class.
template <class It, class Derived, class Family>
class atom_node : public self_node<It, Derived, Family> {
public:
    sub_expr<It>* make_quantifier(std::uint64_t min, std::uint64_t max, bool greedy,
                                  node_arena& arena) override;
    bool may_start(match_state<It>* s, It pos) const override
    {
        return static_cast<const Derived*>(this)->template self<false>(s, pos);
    }
    // Atoms push nothing: undoing one match moves back by what it consumed
    // (a lean pattern's atom that keeps its entry goes back to it).
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        if (this->undo == lean_undo::entry_saved)
            s->stack->pop(s->position);
        else
            s->position -= static_cast<const Derived*>(this)->span(s);
        return false;
    }
};

template <class It>
class match_char : public sub_expr<It> {
};
template <class It>
class match_literal : public sub_expr<It> {
};
template <class It>
class match_charset : public sub_expr<It> {
};
template <class It>
class match_any : public sub_expr<It> {
};
template <class It>
class match_backref : public sub_expr<It> {
};

template <class It, class Ch>
class match_char_t;

template <class It>
class match_char_t<It, wchar_t> : public atom_node<It, match_char_t<It, wchar_t>, match_char<It>> {
public:
    explicit match_char_t(wchar_t c) : ch(c) {}
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        if (at_end<Nul>(s, p) || *p != ch)
            return false;
        ++p;
        return true;
    }
    width_range width(group_table<It>&) override { return {1, 1}; }
    bool peek_lead(lead_info& info) const override
    {
        info = lead_info{};
        info.lead_count = 1;
        info.lead_chars[0] = ch;
        return true;
    }
    static std::ptrdiff_t span(const match_state<It>*) { return 1; }
    wchar_t ch;
};

template <class It>
class match_char_t<It, char_nocase<wchar_t>>
    : public atom_node<It, match_char_t<It, char_nocase<wchar_t>>, match_char<It>> {
public:
    match_char_t(wchar_t lo, wchar_t up) : lower(lo), upper(up) {}
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        if (at_end<Nul>(s, p) || (*p != lower && *p != upper))
            return false;
        ++p;
        return true;
    }
    width_range width(group_table<It>&) override { return {1, 1}; }
    bool peek_lead(lead_info& info) const override
    {
        info = lead_info{};
        info.lead_count = 2;
        info.lead_chars[0] = lower;
        info.lead_chars[1] = upper;
        return true;
    }
    static std::ptrdiff_t span(const match_state<It>*) { return 1; }
    wchar_t lower;
    wchar_t upper;
};

// A run of literal characters; the text lives in the node arena.
template <class It>
class match_literal_t : public atom_node<It, match_literal_t<It>, match_literal<It>> {
public:
    match_literal_t(const wchar_t* b, const wchar_t* e)
        : text_begin(b), text_end(e), length(static_cast<std::size_t>(e - b))
    {
    }
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        It q = p;
        for (const wchar_t* t = text_begin; t != text_end; ++t, ++q)
            if (at_end<Nul>(s, q) || *q != *t)
                return false;
        p = q;
        return true;
    }
    width_range width(group_table<It>&) override { return {length, length}; }
    bool peek_lead(lead_info& info) const override
    {
        info = lead_info{};
        info.lead_count = 1;
        info.lead_chars[0] = *text_begin;
        info.has_literal = true;
        info.literal_begin = text_begin;
        info.literal_end = text_end;
        return true;
    }
    std::ptrdiff_t span(const match_state<It>*) const
    {
        return static_cast<std::ptrdiff_t>(length);
    }
    const wchar_t* text_begin;
    const wchar_t* text_end;
    std::size_t length;
};

// A literal under case folding: the text is upper-cased in place and a
// lower-case copy kept; each subject character must equal one of the two.
template <class It>
class match_literal_nocase_t : public atom_node<It, match_literal_nocase_t<It>, match_literal<It>> {
public:
    match_literal_nocase_t(wchar_t* b, wchar_t* e, node_arena& arena)
        : text_begin(b), text_end(e), length(static_cast<std::size_t>(e - b))
    {
        wchar_t* other = arena.make_array<wchar_t>(length);
        for (std::size_t i = 0; i < length; ++i) {
            other[i] = fold_lower(b[i]);
            b[i] = fold_upper(b[i]);
        }
        other_case = other;
    }
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        It q = p;
        for (std::size_t i = 0; i < length; ++i, ++q)
            if (at_end<Nul>(s, q) || (*q != text_begin[i] && *q != other_case[i]))
                return false;
        p = q;
        return true;
    }
    width_range width(group_table<It>&) override { return {length, length}; }
    bool peek_lead(lead_info& info) const override
    {
        info = lead_info{};
        info.lead_count = 2;
        info.lead_chars[0] = text_begin[0];
        info.lead_chars[1] = other_case[0];
        info.has_literal = true;
        info.literal_begin = text_begin;
        info.literal_end = text_end;
        info.literal_other_case = other_case;
        return true;
    }
    std::ptrdiff_t span(const match_state<It>*) const
    {
        return static_cast<std::ptrdiff_t>(length);
    }
    const wchar_t* text_begin;
    const wchar_t* text_end;
    std::size_t length;
    const wchar_t* other_case = nullptr;
};

// SetPtr is `const charset*` for the shared escape sets and
// `const custom_charset*` for a bracket set built in the pattern's arena.
template <class It, class SetPtr, bool CaseSensitive>
class match_charset_t
    : public atom_node<It, match_charset_t<It, SetPtr, CaseSensitive>, match_charset<It>> {
public:
    explicit match_charset_t(SetPtr s) : set(s) {}
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        if (at_end<Nul>(s, p))
            return false;
        if (!(CaseSensitive ? set->contains(*p) : set->contains_nocase(*p)))
            return false;
        ++p;
        return true;
    }
    width_range width(group_table<It>&) override { return {1, 1}; }
    static std::ptrdiff_t span(const match_state<It>*) { return 1; }
    SetPtr set;
};

// '.': any character but LF (opwrap<eol_t>), or any character (opwrap<eos_t>).
template <class It, class Op>
class match_any_t : public atom_node<It, match_any_t<It, Op>, match_any<It>> {
public:
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        if (at_end<Nul>(s, p))
            return false;
        if constexpr (std::is_same_v<typename Op::op, eol_t>)
            if (*p == L'\n')
                return false;
        ++p;
        return true;
    }
    width_range width(group_table<It>&) override { return {1, 1}; }
    static std::ptrdiff_t span(const match_state<It>*) { return 1; }
};

template <class C>
struct ch_neq_t {
    static bool differ(C a, C b) { return a != b; }
};
template <class C>
struct ch_neq_nocase_t {
    static bool differ(C a, C b) { return fold_upper(a) != fold_upper(b); }
};

template <class Cmp, class It>
class match_backref_t : public atom_node<It, match_backref_t<Cmp, It>, match_backref<It>> {
public:
    explicit match_backref_t(unsigned written) : group(written) {}
    template <bool Nul>
    bool self(match_state<It>* s, It& p) const
    {
        const backref_tag<It>& rec = s->results[group];
        if (!rec.matched)
            return false;
        // Too little subject left: fail before comparing, or a group given
        // back one character at a time is compared again for every length.
        if constexpr (!Nul) {
            if (s->subject_end - p < rec.second - rec.first)
                return false;
            // Exact comparison of a known length: one block compare.
            if constexpr (std::is_same_v<Cmp, ch_neq_t<wchar_t>>) {
                if (!std::equal(rec.first, rec.second, p))
                    return false;
                p += rec.second - rec.first;
                return true;
            }
        }
        It q = p;
        for (It r = rec.first; r != rec.second; ++r, ++q)
            if (at_end<Nul>(s, q) || Cmp::differ(*q, *r))
                return false;
        p = q;
        return true;
    }
    width_range width(group_table<It>& table) override;
    std::ptrdiff_t span(const match_state<It>* s) const
    {
        const backref_tag<It>& rec = s->results[group];
        return rec.matched ? rec.second - rec.first : 0;
    }
    unsigned group;  // as written until width() translates it to the internal number

private:
    bool translated_ = false;
};

}  // namespace regex::detail
