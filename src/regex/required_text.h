// What the text of every match must contain, found once when the pattern is
// compiled: characters that every match consumes, with how far into the
// match each one stands at the least and which characters can come before
// it, and the character every match ends with when the pattern is pinned to
// the subject's end. The start-position search uses them to refuse starts
// that cannot lead to a match before any backtracking begins, which keeps
// nested repetitions over subjects that cannot match in linear time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "regex/lookaround.h"
#include "regex/quantifiers.h"

namespace regex::detail {

// The characters a stretch of a match can consume, when the pattern tells:
// single characters, and atoms that each test one character.
template <class It>
struct consumable_set {
    bool known = true;
    std::wstring chars;                      // sorted once complete
    std::vector<const sub_expr<It>*> atoms;  // character sets and '.'

    bool contains(match_state<It>* s, It p) const
    {
        if (!known)
            return true;
        if (std::binary_search(chars.begin(), chars.end(), *p))
            return true;
        for (const sub_expr<It>* a : atoms) {
            It q = p;
            if (a->match_self(s, q))
                return true;
        }
        return false;
    }
};

// A character (in one or two cases) that every match consumes: at least
// `offset` characters after the match's start, with only characters of
// `before` between the start and it.
template <class It>
struct required_char {
    wchar_t ch[2] = {0, 0};
    std::uint64_t offset = 0;
    consumable_set<It> before;

    bool is(wchar_t c) const { return c == ch[0] || c == ch[1]; }
};

// One search's use of a required character. Start positions are asked in
// ascending order; the scan only moves forward, so a whole search reads
// each character at most once, and never past the required character of
// the match it finds.
template <class It>
class required_scan {
public:
    enum verdict { here, not_here, nowhere };

    required_scan() = default;
    required_scan(const required_char<It>& rc, It from, It end) : rc_(&rc), r_(from), end_(end) {}

    verdict at(match_state<It>* s, It p)
    {
        if (r_ < p)
            r_ = p;
        // Invariant: every character in [p, r_) is one `before` admits, and
        // none of them is the required one far enough from p, except found_.
        if (has_found_ && found_ - p >= offset())
            return here;
        for (; r_ != end_; ++r_) {
            if (rc_->is(*r_) && r_ - p >= offset()) {
                has_found_ = true;
                found_ = r_;
                return here;
            }
            if (!rc_->before.contains(s, r_))
                return not_here;
        }
        // Later starts see the same characters and fewer of them.
        return nowhere;
    }

private:
    std::ptrdiff_t offset() const
    {
        return rc_->offset > static_cast<std::uint64_t>(PTRDIFF_MAX)
                   ? PTRDIFF_MAX
                   : static_cast<std::ptrdiff_t>(rc_->offset);
    }

    const required_char<It>* rc_ = nullptr;
    It r_{};
    It end_{};
    bool has_found_ = false;
    It found_{};
};

// All required characters of a pattern, asked together.
template <class It>
class start_filter {
public:
    using verdict = typename required_scan<It>::verdict;

    start_filter(const std::vector<required_char<It>>& required, It from, It end)
    {
        for (const required_char<It>& rc : required)
            if (count_ < 2)
                scans_[count_++] = required_scan<It>(rc, from, end);
    }

    verdict at(match_state<It>* s, It p)
    {
        verdict v = required_scan<It>::here;
        for (unsigned i = 0; i < count_; ++i) {
            const verdict w = scans_[i].at(s, p);
            if (w == required_scan<It>::nowhere)
                return w;
            if (w == required_scan<It>::not_here)
                v = w;
        }
        return v;
    }

private:
    required_scan<It> scans_[2];
    unsigned count_ = 0;
};

// The compile-time walk over the nodes every match passes through.
template <class It>
class required_text_finder {
public:
    using node = sub_expr<It>;

    explicit required_text_finder(group_table<It>& table) : table_(table) {}

    // The first and the last required character of the chain [first, stop)
    // (none, one, or two).
    std::vector<required_char<It>> required(const node* first, const node* stop)
    {
        walk(first, stop);
        std::vector<required_char<It>> out;
        if (has_first_)
            out.push_back(complete(first_));
        if (has_last_ && !same(last_, first_))
            out.push_back(complete(last_));
        return out;
    }

    // The character the chain's match ends with, when the chain ends in '$',
    // '\Z' or '\z' (outside multi-line mode) after a node that always ends
    // with one known character. before_newline: the end may also stand
    // before a final line end.
    static bool end_char(const node* first, const node* stop, wchar_t ch[2], bool& before_newline)
    {
        std::vector<const node*> chain;
        for (const node* n = first; n && n != stop; n = n->next)
            chain.push_back(n);
        bool pinned = false;
        before_newline = true;
        auto n = chain.rbegin();
        for (; n != chain.rend() && (*n)->is_assertion(); ++n) {
            if (typeid(**n) == typeid(assert_op<It, opwrap<eos_t>>)) {
                pinned = true;
                before_newline = false;
            } else if (typeid(**n) == typeid(assert_op<It, opwrap<peos_t>>)) {
                pinned = true;
            }
        }
        return pinned && n != chain.rend() && last_char(*n, ch);
    }

private:
    using plain_char = match_char_t<It, wchar_t>;
    using folded_char = match_char_t<It, char_nocase<wchar_t>>;

    // Where the walk stands: the characters consumed so far can be those of
    // set_ (up to the counts a required character records), and at least
    // offset_ of them were consumed.
    struct mark {
        wchar_t ch[2];
        std::uint64_t offset;
        std::size_t chars;
        std::size_t atoms;
        bool known;
    };

    static bool same(const mark& a, const mark& b)
    {
        return a.ch[0] == b.ch[0] && a.ch[1] == b.ch[1] && a.offset == b.offset &&
               a.chars == b.chars && a.atoms == b.atoms && a.known == b.known;
    }

    static bool char_of(const node* n, wchar_t ch[2])
    {
        if (auto* c = dynamic_cast<const plain_char*>(n)) {
            ch[0] = ch[1] = c->ch;
            return true;
        }
        if (auto* f = dynamic_cast<const folded_char*>(n)) {
            ch[0] = f->lower;
            ch[1] = f->upper;
            return true;
        }
        return false;
    }

    // A repetition of one character at least once: that character.
    static bool repeated_char_of(const node* n, wchar_t ch[2])
    {
        std::uint64_t min = 0, max = 0;
        const node* atom = n->repeated_char_atom(min, max);
        return atom && min >= 1 && char_of(atom, ch);
    }

    static bool is_plain_group(const node* n) { return typeid(*n) == typeid(match_group<It>); }

    // The character every match of n ends with.
    static bool last_char(const node* n, wchar_t ch[2])
    {
        check_nesting_depth();
        if (char_of(n, ch) || repeated_char_of(n, ch))
            return true;
        if (auto* l = dynamic_cast<const match_literal_t<It>*>(n)) {
            ch[0] = ch[1] = l->text_end[-1];
            return true;
        }
        if (auto* ln = dynamic_cast<const match_literal_nocase_t<It>*>(n)) {
            ch[0] = ln->text_end[-1];
            ch[1] = ln->other_case[ln->length - 1];
            return true;
        }
        // Plain groups only: a conditional without its no-branch can match
        // nothing at all.
        const node* group_node = n;
        if (auto* q = dynamic_cast<const group_quantifier<It>*>(n))
            group_node = q->min >= 1 ? q->group : nullptr;
        if (!group_node || !is_plain_group(group_node))
            return false;
        auto* g = static_cast<const match_group_base<It>*>(group_node);
        if (g->alt_count == 0)
            return false;
        // Every alternative must end with the same character.
        for (unsigned i = 0; i < g->alt_count; ++i) {
            wchar_t alt[2];
            const node* last = nullptr;
            for (const node* m = g->alternatives[i]; m && m != g->end_node_const(); m = m->next)
                if (!m->is_assertion())
                    last = m;
            if (!last || !last_char(last, alt))
                return false;
            if (i == 0) {
                ch[0] = alt[0];
                ch[1] = alt[1];
            } else if (std::min(alt[0], alt[1]) != std::min(ch[0], ch[1]) ||
                       std::max(alt[0], alt[1]) != std::max(ch[0], ch[1])) {
                return false;
            }
        }
        return true;
    }

    void emit(const wchar_t ch[2])
    {
        const mark m{{ch[0], ch[1]}, offset_, set_.chars.size(), set_.atoms.size(), set_.known};
        if (!has_first_) {
            has_first_ = true;
            first_ = m;
        }
        has_last_ = true;
        last_ = m;
    }

    required_char<It> complete(const mark& m) const
    {
        required_char<It> rc;
        rc.ch[0] = m.ch[0];
        rc.ch[1] = m.ch[1];
        rc.offset = m.offset;
        // Testing many atoms per character would cost more than it saves.
        rc.before.known = m.known && m.atoms <= 8;
        if (rc.before.known) {
            rc.before.chars.assign(set_.chars.begin(), set_.chars.begin() + m.chars);
            std::sort(rc.before.chars.begin(), rc.before.chars.end());
            rc.before.chars.erase(std::unique(rc.before.chars.begin(), rc.before.chars.end()),
                                  rc.before.chars.end());
            rc.before.atoms.assign(set_.atoms.begin(), set_.atoms.begin() + m.atoms);
        }
        return rc;
    }

    void walk(const node* first, const node* stop)
    {
        check_nesting_depth();
        for (const node* n = first; n && n != stop; n = n->next) {
            wchar_t ch[2];
            if (n->is_assertion())
                continue;  // consumes nothing
            if (char_of(n, ch)) {
                emit(ch);
                set_.chars.append(ch, 2);
                ++offset_;
            } else if (auto* l = dynamic_cast<const match_literal_t<It>*>(n)) {
                walk_literal(l->text_begin, nullptr, l->length);
            } else if (auto* ln = dynamic_cast<const match_literal_nocase_t<It>*>(n)) {
                walk_literal(ln->text_begin, ln->other_case, ln->length);
            } else if (repeated_char_of(n, ch)) {
                std::uint64_t min = 0, max = 0;
                n->repeated_char_atom(min, max);
                emit(ch);
                set_.chars.append(ch, 2);
                offset_ = saturating_add(offset_, min);
            } else if (auto* q = dynamic_cast<const group_quantifier<It>*>(n);
                       q && q->min >= 1 && is_plain_group(q->group) && q->group->alt_count == 1) {
                // The first iteration is walked (which takes in every
                // character the group can consume); the ones after it add
                // their least width.
                walk(q->group->alternatives[0], q->group->end_node_const());
                offset_ = saturating_add(offset_, saturating_mul(q->min - 1, q->group->min_width));
            } else if (is_plain_group(n) &&
                       static_cast<const match_group<It>*>(n)->alt_count == 1) {
                auto* g = static_cast<const match_group<It>*>(n);
                walk(g->alternatives[0], g->end_node_const());
            } else {
                add(n);
                offset_ = saturating_add(offset_, const_cast<node*>(n)->width(table_).min);
            }
        }
    }

    void walk_literal(const wchar_t* text, const wchar_t* other_case, std::size_t length)
    {
        for (std::size_t i = 0; i < length; ++i) {
            const wchar_t ch[2] = {text[i], other_case ? other_case[i] : text[i]};
            // The first and the last character are the ones worth keeping.
            if (i == 0 || i + 1 == length)
                emit(ch);
            set_.chars.append(ch, 2);
            ++offset_;
        }
    }

    // Adds what n can consume, wherever in it.
    void add(const node* n)
    {
        check_nesting_depth();
        wchar_t ch[2];
        std::uint64_t min = 0, max = 0;
        if (!set_.known || n->is_assertion())
            return;
        if (char_of(n, ch)) {
            set_.chars.append(ch, 2);
        } else if (auto* l = dynamic_cast<const match_literal_t<It>*>(n)) {
            set_.chars.append(l->text_begin, l->length);
        } else if (auto* ln = dynamic_cast<const match_literal_nocase_t<It>*>(n)) {
            set_.chars.append(ln->text_begin, ln->length);
            set_.chars.append(ln->other_case, ln->length);
        } else if (dynamic_cast<const match_charset<It>*>(n) ||
                   typeid(*n) == typeid(match_any_t<It, opwrap<eol_t>>)) {
            set_.atoms.push_back(n);
        } else if (const node* atom = n->repeated_char_atom(min, max)) {
            add(atom);
        } else if (auto* q = dynamic_cast<const group_quantifier<It>*>(n)) {
            add(q->group);
        } else if (auto* g = dynamic_cast<const match_group_base<It>*>(n)) {
            for (unsigned i = 0; i < g->alt_count; ++i)
                for (const node* m = g->alternatives[i]; m && m != g->end_node_const(); m = m->next)
                    add(m);
        } else {
            // '.' across line ends, back-references, recursion: anything.
            set_.known = false;
        }
    }

    group_table<It>& table_;
    consumable_set<It> set_;
    std::uint64_t offset_ = 0;
    bool has_first_ = false;
    bool has_last_ = false;
    mark first_{};
    mark last_{};
};

}  // namespace regex::detail
