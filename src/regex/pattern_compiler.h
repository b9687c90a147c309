// The pattern compiler: turns Perl-syntax pattern text into the node graph,
// numbers the groups, computes the pattern's width and anchoring, builds the
// quick scan for a leading literal, and runs the start-position search.
#pragma once

#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

#include "regex/assertions.h"
#include "regex/literal_scanner.h"
#include "regex/lookaround.h"
#include "regex/perl_syntax.h"
#include "regex/quantifiers.h"
#include "regex/required_text.h"
#include "regex/substitution.h"

namespace regex::detail {

template <class It>
class basic_rpattern_base_impl {
public:
    basic_rpattern_base_impl(std::wstring pattern, pattern_flags flags, match_mode mode)
        : flags_(flags), mode_(mode), pattern_(std::move(pattern))
    {
    }
    basic_rpattern_base_impl(const basic_rpattern_base_impl&) = delete;
    basic_rpattern_base_impl& operator=(const basic_rpattern_base_impl&) = delete;
    virtual ~basic_rpattern_base_impl() = default;

protected:
    using node = sub_expr<It>;
    using group = match_group_base<It>;
    using table = group_table<It>;

    // One group while its alternatives are being parsed.
    struct group_builder {
        group* g;
        std::vector<node*> firsts;  // first node of each alternative, in written order
        node* last = nullptr;       // last node of the alternative being built

        void append(node* n)
        {
            if (last)
                last->next = n;
            else
                firsts.back() = n;
            last = n;
        }
        void open_alternative()
        {
            firsts.push_back(nullptr);
            last = nullptr;
        }
        void close_alternative() { append(g->end_node()); }
    };

    void compile_pattern(pattern_flags flags);

    // Exchanges everything a compile produced with another pattern: a new
    // pattern is built whole and only then takes the place of the old one,
    // so a compile that fails leaves the old pattern as it was.
    void swap_contents(basic_rpattern_base_impl& o) noexcept
    {
        using std::swap;
        arena_.swap(o.arena_);
        swap(has_backrefs_, o.has_backrefs_);
        swap(unanchored_, o.unanchored_);
        swap(recursion_safe_, o.recursion_safe_);
        swap(group_counter_, o.group_counter_);
        swap(capture_count_, o.capture_count_);
        swap(flags_, o.flags_);
        swap(mode_, o.mode_);
        swap(min_width_, o.min_width_);
        swap(max_width_, o.max_width_);
        swap(pattern_, o.pattern_);
        swap(substitution_, o.substitution_);
        swap(subst_parts_, o.subst_parts_);
        swap(top_group_, o.top_group_);
        swap(hidden_groups_, o.hidden_groups_);
        swap(scanner_, o.scanner_);
        swap(required_, o.required_);
        swap(has_end_char_, o.has_end_char_);
        swap(end_before_newline_, o.end_before_newline_);
        swap(end_char_, o.end_char_);
        swap(memo_safe_, o.memo_safe_);
        swap(memo_loops_, o.memo_loops_);
        swap(memo_depth_, o.memo_depth_);
        swap(linear_, o.linear_);
        swap(lean_, o.lean_);
        swap(memo_slots_, o.memo_slots_);
        swap(run_atom_, o.run_atom_);
    }

    // Unescapes (under unescape_text) and parses a substitution text; the
    // pattern's substitution changes only when the parse succeeds.
    void set_substitution_text(std::wstring text)
    {
        if (flags_ & unescape_text)
            unescape_substitution(text);
        bool refs = false;
        std::vector<subst_part> parts = parse_substitution(text, capture_count_, refs);
        substitution_.swap(text);
        has_backrefs_ = refs;
        subst_parts_.swap(parts);
    }

    // The start-position search for one attempt; s is filled by the caller,
    // with a stack when the attempt runs in the explicit-stack mode.
    bool search(match_state<It>& s) const;
    // A NUL-terminated subject: positions run until the character 0.
    bool search_nul(match_state<It>& s) const;

    // One attempt of the start-position search over [begin, end) (or up to
    // the NUL when nul is set; end is then not read), in the pattern's mode.
    // Fills records with the visible sub-matches; an exhausted machine stack
    // counts as no match.
    bool run_attempt(It begin, It end, It search_start, bool no_empty, bool nul,
                     std::vector<backref_tag<It>>& records) const
    {
        records.assign(group_counter_, backref_tag<It>());
        match_state<It> s;
        s.results = records.data();
        s.subject_end = end;
        s.group_count = group_counter_;
        s.subject_begin = begin;
        s.search_start = search_start;
        s.top_group = top_group_;
        s.no_empty_at_start = no_empty;
        s.stack_limit = machine_stack_limit();
        record_stack stack;
        if (uses_explicit_stack()) {
            s.stack = &stack;
            s.lean = lean_;
        }
        // Wakes after as many loop arrivals as a match linear in the subject
        // could need, times the deepest nesting of loops: once awake, every
        // arrival builds a key as long as the loops around it, so a deeply
        // nested pattern whose plain search is short (each level tries one
        // more empty pass through the levels below it) would pay that length
        // on every arrival of it.
        const std::uint64_t length = nul ? 65536 : static_cast<std::uint64_t>(end - begin);
        loop_memo memo(saturating_mul(saturating_mul(length + 1, memo_loops_ + 1), memo_depth_));
        if (memo_loops_ != 0)
            s.memo = &memo;
        visit_memo visited(memo_slots_, static_cast<std::size_t>(length) + 1);
        if (linear_ && !nul && memo_slots_ != 0)
            s.visited = &visited;
        bool matched;
        try {
            // Both modes keep the depth guard: the explicit-stack one still
            // nests for look-around and recursion.
            matched = nul ? search_nul(s) : search(s);
        } catch (const stack_exhausted&) {
            for (backref_tag<It>& r : records)
                r = backref_tag<It>::never_matched();
            matched = false;
        }
        remove_hidden_groups(records, matched);
        return matched;
    }

    void remove_hidden_groups(std::vector<backref_tag<It>>& records, bool matched) const
    {
        if (!matched) {
            records.resize(records.size() - hidden_groups_.size());
            return;
        }
        for (auto h = hidden_groups_.rbegin(); h != hidden_groups_.rend(); ++h)
            records.erase(records.begin() + *h);
    }

    bool uses_explicit_stack() const
    {
        return mode_ == mode_explicit_stack ||
               (mode_ == mode_recursive_when_safe && !recursion_safe_);
    }

    node_arena arena_;
    bool has_backrefs_ = false;  // substitution texts (not used by pattern matching)
    bool unanchored_ = true;
    bool recursion_safe_ = true;
    unsigned group_counter_ = 0;
    unsigned capture_count_ = 0;
    pattern_flags flags_;
    match_mode mode_;
    std::uint64_t min_width_ = unbounded;
    std::uint64_t max_width_ = unbounded;
    std::wstring pattern_;
    std::wstring substitution_;
    std::vector<subst_part> subst_parts_;
    group* top_group_ = nullptr;
    std::vector<unsigned> hidden_groups_;  // ascending: groups are numbered as they open
    const literal_scanner* scanner_ = nullptr;
    // Characters every match must consume, and the one it ends with when the
    // pattern is pinned to the subject's end; starts that cannot reach them
    // are refused before any backtracking, which keeps nested repetitions
    // such as (a*)*b, (.*a){12}$ or .X(.+)+X from running for ages on
    // subjects that cannot match there.
    std::vector<required_char<It>> required_;
    bool has_end_char_ = false;
    bool end_before_newline_ = false;
    wchar_t end_char_[2] = {0, 0};
    // No back-reference, group condition or recursion: what follows a point
    // of the match depends on the position and the loops around it only.
    bool memo_safe_ = true;
    unsigned memo_loops_ = 0;  // loops that remember failed arrivals
    unsigned memo_depth_ = 1;  // loops nested in one another at most, the loop itself counted
    // In the linear class: every match remembers where nodes failed, in
    // memo_slots_ bits per subject position.
    bool linear_ = false;
    unsigned memo_slots_ = 0;
    // Lean (see lean_undo): the explicit-stack mode keeps records only where
    // something must be restored.
    bool lean_ = false;
    // The repeated single-character atom the pattern starts with, when a
    // failed start inside a run of it makes every later start in that run
    // fail too (see search).
    const node* run_atom_ = nullptr;

private:
    using syntax_t = perl_syntax;
    using pos_t = const wchar_t*;

    pos_t begin() const { return pattern_.data(); }
    pos_t end() const { return pattern_.data() + pattern_.size(); }

    node* parse_group(pos_t& pos, syntax_t& syntax, table& groups);
    group* parse_condition(pos_t& pos, syntax_t& syntax, table& groups);
    bool parse_atom(pos_t& pos, group_builder& b, syntax_t& syntax, table& groups);
    void parse_literal_run(pos_t& pos, group_builder& b, syntax_t& syntax);
    void parse_quoted_run(pos_t& pos, group_builder& b, syntax_t& syntax);
    node* parse_escape(pos_t& pos, const syntax_t& syntax);
    node* parse_quantifier(node* n, pos_t& pos, bool is_group, syntax_t& syntax);
    bool read_counts(pos_t& pos, syntax_t& syntax, std::uint64_t& min, std::uint64_t& max,
                     bool& greedy) const;
    void skip_comment(pos_t& pos, syntax_t& syntax);

    node* make_char(wchar_t c, const syntax_t& syntax);
    node* make_literal(const std::wstring& text, const syntax_t& syntax);
    template <class SetPtr>
    node* make_charset(SetPtr set, const syntax_t& syntax);
    void apply_anchoring_rules();
    void number_loops(match_group_base<It>* g, std::vector<group_quantifier<It>*>& around,
                      bool in_lookbehind);
    bool plan_visits(match_group_base<It>* g);
    bool is_lean(match_group_base<It>* g);
    void mark_lean(match_group_base<It>* g, table& groups);
    bool plan_first_chars(match_group_base<It>* g, table& groups);
    void find_run_atom();
    bool end_char_allows(It first, It end) const;
    template <bool Nul = false>
    bool try_at(match_state<It>& s, It pos) const
    {
        if (s.stack)
            return explicit_match<Nul>(top_group_, &s, pos);
        return Nul ? top_group_->match_chain_nul(&s, pos) : top_group_->match_chain(&s, pos);
    }
};

// Reads decimal digits. With a limit, stops before the digit that would pass
// it; without one, counts saturate instead of wrapping.
inline std::uint64_t read_decimal(const wchar_t*& pos, const wchar_t* end,
                                  std::uint64_t limit = unbounded)
{
    std::uint64_t value = 0;
    if (limit == unbounded) {
        constexpr std::uint64_t cap = unbounded - 1;  // a written count is never "unbounded"
        for (; pos != end && *pos >= L'0' && *pos <= L'9'; ++pos) {
            const auto digit = static_cast<std::uint64_t>(*pos - L'0');
            value = value > (cap - digit) / 10 ? cap : value * 10 + digit;
        }
        return value;
    }
    while (pos != end && *pos >= L'0' && *pos <= L'9' && value < limit) {
        value = value * 10 + static_cast<std::uint64_t>(*pos - L'0');
        ++pos;
    }
    if (value > limit) {
        --pos;
        return value / 10;
    }
    return value;
}

template <class It>
void basic_rpattern_base_impl<It>::compile_pattern(pattern_flags flags)
{
    group_counter_ = 0;
    capture_count_ = 0;
    hidden_groups_.clear();
    syntax_t syntax(flags);
    table groups;
    groups.hidden = &hidden_groups_;
    pos_t pos = begin();
    top_group_ = static_cast<group*>(parse_group(pos, syntax, groups));
    top_group_->next = arena_.make<end_of_pattern<It>>();
    const width_range w = top_group_->width(groups);
    min_width_ = w.min;
    max_width_ = w.max;
    apply_anchoring_rules();
    if (top_group_->alt_count == 1) {
        required_text_finder<It> finder(groups);
        const node* first = top_group_->alternatives[0];
        required_ = finder.required(first, top_group_->end_node());
        has_end_char_ =
            finder.end_char(first, top_group_->end_node(), end_char_, end_before_newline_);
    }
    memo_loops_ = 0;
    memo_depth_ = 1;
    if (memo_safe_) {
        memo_slots_ = 0;
        linear_ = plan_visits(top_group_);
        if (!linear_) {
            std::vector<group_quantifier<It>*> around;
            number_loops(top_group_, around, false);
        }
        find_run_atom();
        lean_ = is_lean(top_group_);
        if (lean_)
            mark_lean(top_group_, groups);
    }
}

// Whether the group's contents are lean (see lean_undo): nothing but atoms,
// assertions, plain groups and repetitions of atoms and of plain groups.
template <class It>
bool basic_rpattern_base_impl<It>::is_lean(match_group_base<It>* g)
{
    check_nesting_depth();
    if (typeid(*g) != typeid(match_group<It>) || g->number < 0)
        return false;
    const node* stop = g->end_node();
    for (unsigned i = 0; i < g->alt_count; ++i) {
        for (node* n = g->alternatives[i]; n && n != stop; n = n->next) {
            if (auto* q = dynamic_cast<group_quantifier<It>*>(n)) {
                if (!is_lean(q->group))
                    return false;
            } else if (auto* inner = dynamic_cast<match_group_base<It>*>(n)) {
                if (!is_lean(inner))
                    return false;
            } else if (!n->tests_and_moves() && !n->is_atom_loop()) {
                return false;
            }
        }
    }
    return true;
}

// Finds the characters a non-empty match of a lean group can begin with:
// those of each node up to the first that cannot match empty. False when
// some node cannot say (a set, any character), or the list grows long.
template <class It>
bool basic_rpattern_base_impl<It>::plan_first_chars(match_group_base<It>* g, table& groups)
{
    if (g->first_planned)
        return g->first_known;
    check_nesting_depth();
    g->first_planned = true;
    std::vector<wchar_t> chars;
    auto add_group = [&](match_group_base<It>* inner) {
        if (!plan_first_chars(inner, groups))
            return false;
        chars.insert(chars.end(), inner->first_begin, inner->first_end);
        return true;
    };
    const node* stop = g->end_node();
    for (unsigned i = 0; i < g->alt_count; ++i) {
        for (node* n = g->alternatives[i]; n && n != stop; n = n->next) {
            bool may_be_empty;
            if (auto* q = dynamic_cast<group_quantifier<It>*>(n)) {
                if (!add_group(q->group))
                    return false;
                may_be_empty = q->min == 0 || q->group->min_width == 0;
            } else if (auto* inner = dynamic_cast<match_group_base<It>*>(n)) {
                if (!add_group(inner))
                    return false;
                may_be_empty = inner->min_width == 0;
            } else {
                const width_range w = n->width(groups);
                if (w.max == 0)
                    continue;  // an assertion: consumes nothing
                lead_info info;
                if (!(n->is_atom_loop() ? n->atom_lead(info) : n->peek_lead(info)) ||
                    info.lead_count == 0)
                    return false;
                if (info.lead_count <= 2)
                    chars.insert(chars.end(), info.lead_chars, info.lead_chars + info.lead_count);
                else
                    chars.insert(chars.end(), info.lead_list, info.lead_list + info.lead_count);
                may_be_empty = w.min == 0;
            }
            if (!may_be_empty)
                break;
            if (chars.size() > 256)
                return false;
        }
    }
    std::sort(chars.begin(), chars.end());
    chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
    if (chars.size() > 256)
        return false;
    wchar_t* list = arena_.make_array<wchar_t>(chars.size());
    std::copy(chars.begin(), chars.end(), list);
    g->first_begin = list;
    g->first_end = list + chars.size();
    g->first_known = true;
    return true;
}

// Gives the atoms and assertions of a lean group their way of being kept:
// with their entry where the visit memo may record a failure there. After a
// repetition of atoms that keeps bits of its own, those bits already say
// where the rest failed, and the node's own would add nothing.
// The loops' bodies learn what their non-empty matches can begin with.
template <class It>
void basic_rpattern_base_impl<It>::mark_lean(match_group_base<It>* g, table& groups)
{
    check_nesting_depth();
    const node* stop = g->end_node();
    for (unsigned i = 0; i < g->alt_count; ++i) {
        const node* before = nullptr;
        for (node* n = g->alternatives[i]; n && n != stop; before = n, n = n->next) {
            if (auto* q = dynamic_cast<group_quantifier<It>*>(n)) {
                plan_first_chars(q->group, groups);
                mark_lean(q->group, groups);
            } else if (auto* inner = dynamic_cast<match_group_base<It>*>(n)) {
                mark_lean(inner, groups);
            } else if (n->tests_and_moves()) {
                const bool remembered = linear_ && n->memo_slot >= 0 &&
                                        !(before && before->remembers_own_failures());
                n->undo = remembered ? lean_undo::entry_saved : lean_undo::none;
            }
        }
    }
}

// Whether the group's contents are in the linear class (see visit_memo), and
// if so, bits for each node that can be reached twice at one position: the
// node after a group (reached from each of its alternatives) and the node
// after a repetition (reached at every count), plus the repetitions of atoms
// without an upper limit.
template <class It>
bool basic_rpattern_base_impl<It>::plan_visits(match_group_base<It>* g)
{
    check_nesting_depth();
    auto remember = [this](node* n) {
        if (n && n->memo_slot < 0)
            n->memo_slot = static_cast<int>(memo_slots_++);
    };
    const node* stop = g->end_node();
    for (unsigned i = 0; i < g->alt_count; ++i) {
        for (node* n = g->alternatives[i]; n && n != stop; n = n->next) {
            if (dynamic_cast<independent_group_base<It>*>(n) ||
                dynamic_cast<match_conditional<It, assertion_condition<It>>*>(n))
                return false;
            if (auto* q = dynamic_cast<group_quantifier<It>*>(n)) {
                // A loop whose count or empty iterations could matter to
                // what follows keeps the search out of the class.
                const bool plain = q->max <= 1 || (q->min <= 1 && q->max == unbounded &&
                                                   q->group->min_width >= 1);
                if (!plain || !plan_visits(q->group))
                    return false;
                q->give_arrival_slot(memo_slots_);
                remember(q->next);
            } else if (auto* inner = dynamic_cast<match_group_base<It>*>(n)) {
                if (!plan_visits(inner))
                    return false;
                remember(inner->next);
            } else if (n->is_atom_loop()) {
                n->give_loop_slot(memo_slots_);
                remember(n->next);
            }
        }
    }
    return true;
}

// Gives every loop outside look-behinds its number and the loops around it,
// up to the nearest look-ahead or independent group: what lies beyond such
// a construct does not follow from inside it.
template <class It>
void basic_rpattern_base_impl<It>::number_loops(match_group_base<It>* g,
                                                std::vector<group_quantifier<It>*>& around,
                                                bool in_lookbehind)
{
    check_nesting_depth();
    std::vector<group_quantifier<It>*> fresh;
    std::vector<group_quantifier<It>*>* scope = &around;
    if (dynamic_cast<lookbehind_assertion<It>*>(g)) {
        in_lookbehind = true;
        scope = &fresh;
    } else if (dynamic_cast<independent_group_base<It>*>(g)) {
        scope = &fresh;
    } else if (auto* c = dynamic_cast<match_conditional<It, assertion_condition<It>>*>(g)) {
        number_loops(c->condition.assertion_node, fresh, in_lookbehind);
    }
    const node* stop = g->end_node();
    for (unsigned i = 0; i < g->alt_count; ++i) {
        for (node* n = g->alternatives[i]; n && n != stop; n = n->next) {
            if (auto* q = dynamic_cast<group_quantifier<It>*>(n)) {
                q->memo_ok = !in_lookbehind;
                q->memo_id = memo_loops_++;
                q->enclosing_count = static_cast<unsigned>(scope->size());
                q->enclosing = scope->empty() ? nullptr : scope->back();
                memo_depth_ = std::max(memo_depth_, q->enclosing_count + 1);
                scope->push_back(q);
                number_loops(q->group, *scope, in_lookbehind);
                scope->pop_back();
            } else if (auto* inner = dynamic_cast<match_group_base<It>*>(n)) {
                number_loops(inner, *scope, in_lookbehind);
            }
        }
    }
}

// A pattern that starts with x+ (x one character, any number of repeats)
// matches from a start inside a run of x only if it matches from the run's
// first position: every way to go on from the later start is open from the
// earlier one. The search then skips the rest of a run after a failed start,
// which keeps \w+@ linear on long words.
template <class It>
void basic_rpattern_base_impl<It>::find_run_atom()
{
    if (top_group_->alt_count != 1)
        return;
    std::uint64_t min = 0;
    std::uint64_t max = 0;
    const node* atom = top_group_->alternatives[0]->repeated_char_atom(min, max);
    if (atom && min >= 1 && max == unbounded)
        run_atom_ = atom;
}

// A match pinned to the subject's end ends with its known character, which
// lies inside the searched range.
template <class It>
bool basic_rpattern_base_impl<It>::end_char_allows(It first, It end) const
{
    if (!has_end_char_)
        return true;
    auto is_end_char = [this](wchar_t c) { return c == end_char_[0] || c == end_char_[1]; };
    const std::ptrdiff_t length = end - first;
    if (length >= 1 && is_end_char(end[-1]))
        return true;
    return end_before_newline_ && length >= 2 && end[-1] == L'\n' && is_end_char(end[-2]);
}

template <class It>
void basic_rpattern_base_impl<It>::apply_anchoring_rules()
{
    unanchored_ = true;
    if (pattern_.empty() || top_group_->alt_count != 1)
        return;
    const syntax_t syntax(flags_);
    pos_t pos = begin();
    const int first = syntax.read_token(pos, end());
    if (!(flags_ & multi_line) && first == line_start) {
        flags_ = flags_ & ~search_from_right;
        unanchored_ = false;
        return;
    }
    if (!(flags_ & search_from_right) && (flags_ & dot_matches_newline) && first == any_char &&
        pos != end()) {
        const int q = syntax.read_quantifier(pos, end());
        if (q == quant_plus || q == quant_star || q == quant_plus_lazy || q == quant_star_lazy)
            unanchored_ = false;
    }
}

template <class It>
sub_expr<It>* basic_rpattern_base_impl<It>::parse_group(pos_t& pos, syntax_t& syntax, table& groups)
{
    check_nesting_depth();
    const pattern_flags entry_flags = syntax.flags();
    const unsigned entry_counter = group_counter_;
    const bool at_pattern_start = pos == begin();
    group* g = nullptr;
    bool conditional = false;

    if (pos != end()) {
        const int ext = syntax.read_extension(pos, end());
        if (ext != no_token) {
            if (at_pattern_start || pos == end())
                throw bad_regexpr("ill-formed regular expression");
            const bool colon_form = ext == ext_group && pos[-1] == L':';
            pos_t after = pos;
            const bool closes = syntax.read_token(after, end()) == group_close;
            if (ext == ext_recurse) {
                if (!closes)
                    throw bad_regexpr("bad extension sequence");
                pos = after;
                recursion_safe_ = false;
                memo_safe_ = false;
                return arena_.make<match_recurse<It>>();
            }
            // An empty negative look-around can never hold, so it stays as a
            // node that always fails; every other empty body matches the empty
            // string and needs no node.
            if (closes && ext != ext_not_lookahead && ext != ext_not_lookbehind) {
                pos = after;
                // '(?i:)' scopes its modifiers to its empty body; only the bare
                // '(?i)' form changes the rest of the enclosing group.
                if (colon_form)
                    syntax.set_flags(entry_flags);
                return nullptr;
            }
            switch (ext) {
                case ext_group: {
                    const int n = static_cast<int>(group_counter_++);
                    hidden_groups_.push_back(static_cast<unsigned>(n));
                    g = arena_.make<match_group<It>>(n);
                    break;
                }
                case ext_independent: {
                    const int n = static_cast<int>(group_counter_++);
                    hidden_groups_.push_back(static_cast<unsigned>(n));
                    g = arena_.make<independent_group<It>>(n, true);
                    break;
                }
                case ext_lookahead:
                case ext_not_lookahead:
                    g = arena_.make<lookahead_assertion<It>>(ext == ext_lookahead);
                    break;
                case ext_lookbehind:
                case ext_not_lookbehind:
                    g = arena_.make<lookbehind_assertion<It>>(ext == ext_lookbehind);
                    break;
                case ext_conditional:
                    g = parse_condition(pos, syntax, groups);
                    conditional = true;
                    break;
                case ext_comment:
                    skip_comment(pos, syntax);
                    return nullptr;
                default:
                    throw bad_regexpr("bad extension sequence");
            }
        }
    }
    if (!g) {
        g = arena_.make<match_group<It>>(static_cast<int>(group_counter_++));
        ++capture_count_;
    }

    group_builder b{g, {}, nullptr};
    b.open_alternative();
    while (parse_atom(pos, b, syntax, groups)) {
    }
    b.close_alternative();
    if (conditional && b.firsts.size() > 2)
        throw bad_regexpr("Too many alternates in conditional subexpression");
    g->set_alternatives(arena_, b.firsts);
    g->build_lead_list(arena_);
    if (g->number == 0) {
        lead_info lead;
        if (g->peek_lead(lead) && lead.has_literal)
            scanner_ = arena_.make<literal_scanner>(lead.literal_begin, lead.literal_end,
                                                    lead.literal_other_case);
    }
    if (g->number >= 0) {
        const auto n = static_cast<std::size_t>(g->number);
        if (groups.groups.size() < n + 1)
            groups.groups.resize(n + 1, nullptr);
        groups.groups[n] = g;
    }
    g->set_inner_groups(static_cast<int>(entry_counter),
                        static_cast<int>(group_counter_ - entry_counter));
    syntax.set_flags(entry_flags);
    return g;
}

// The part of '(?(' up to the body: a group number and ')', or a
// look-around assertion, which is parsed as a group of its own.
template <class It>
match_group_base<It>* basic_rpattern_base_impl<It>::parse_condition(pos_t& pos, syntax_t& syntax,
                                                                    table& groups)
{
    const int n = static_cast<int>(group_counter_++);
    hidden_groups_.push_back(static_cast<unsigned>(n));
    pos_t p = pos;
    const std::uint64_t number = read_decimal(p, end());
    if (number != 0) {
        pos_t after = p;
        if (p != end() && syntax.read_token(after, end()) == group_close) {
            pos = after;
            memo_safe_ = false;
            using cond_t = backref_condition<It>;
            return arena_.make<match_conditional<It, cond_t>>(
                n, cond_t{static_cast<unsigned>(std::min<std::uint64_t>(number, UINT32_MAX))});
        }
    }
    syntax_t probe_syntax = syntax;
    pos_t probe = pos;
    const int ext = probe_syntax.read_extension(probe, end());
    if (ext != ext_lookahead && ext != ext_not_lookahead && ext != ext_lookbehind &&
        ext != ext_not_lookbehind)
        throw bad_regexpr("bad extension sequence");
    node* a = parse_group(pos, syntax, groups);
    using cond_t = assertion_condition<It>;
    cond_t c;
    if (a) {
        c.assertion_node = static_cast<independent_group_base<It>*>(a);
    } else {
        // '(?(?=)' and '(?(?<=)': an empty positive assertion always holds.
        auto* always = arena_.make<lookahead_assertion<It>>(true);
        std::vector<node*> alts{always->end_node()};
        always->set_alternatives(arena_, alts);
        c.assertion_node = always;
    }
    c.assertion_node->next = arena_.make<accept_node<It>>();
    return arena_.make<match_conditional<It, cond_t>>(n, c);
}

template <class It>
void basic_rpattern_base_impl<It>::skip_comment(pos_t& pos, syntax_t& syntax)
{
    for (;;) {
        if (pos == end())
            throw bad_regexpr("Expecting end of comment");
        const int tok = syntax.read_token(pos, end());
        if (tok == group_close)
            return;
        if (tok == no_token) {
            if (pos == end())
                throw bad_regexpr("Expecting end of comment");
            ++pos;
        }
    }
}

template <class It>
bool basic_rpattern_base_impl<It>::parse_atom(pos_t& pos, group_builder& b, syntax_t& syntax,
                                              table& groups)
{
    const bool in_top = b.g->number == 0;
    auto end_of_pattern_reached = [&] {
        if (!in_top)
            throw bad_regexpr("mismatched parenthesis");
        return false;
    };
    if (pos == end())
        return end_of_pattern_reached();

    const pattern_flags f = syntax.flags();
    const int tok = syntax.read_token(pos, end());
    node* n = nullptr;
    bool is_group = false;
    switch (tok) {
        case no_token:
            if (pos == end())  // only free space was left
                return end_of_pattern_reached();
            parse_literal_run(pos, b, syntax);
            return true;
        case group_open:
            n = parse_group(pos, syntax, groups);
            // A group that builds no node (a comment, inline modifiers, an
            // empty body) takes no quantifier: what follows is read afresh.
            if (!n)
                return true;
            is_group = dynamic_cast<group*>(n) != nullptr;
            break;
        case group_close:
            if (in_top)
                throw bad_regexpr("mismatched parenthesis");
            return false;
        case alternation:
            b.close_alternative();
            b.open_alternative();
            return true;
        case line_start:
            if (f & multi_line)
                n = arena_.make<assert_op<It, opwrap<bol_t>>>();
            else
                n = arena_.make<assert_op<It, opwrap<bos_t>>>();
            break;
        case line_end:
            if (f & multi_line)
                n = arena_.make<assert_op<It, opwrap<eol_t>>>();
            else
                n = arena_.make<assert_op<It, opwrap<peos_t>>>();
            break;
        case charset_open: {
            custom_charset* set = arena_.make<custom_charset>();
            parse_charset(*set, pos, end(), syntax);
            n = make_charset(static_cast<const custom_charset*>(set), syntax);
            break;
        }
        case any_char:
            if (f & dot_matches_newline)
                n = arena_.make<match_any_t<It, opwrap<eos_t>>>();
            else
                n = arena_.make<match_any_t<It, opwrap<eol_t>>>();
            break;
        case esc_digit:
        case esc_not_digit:
        case esc_space:
        case esc_not_space:
            // Digits and blanks have no case: the plain test gives the same answers.
            n = arena_.make<match_charset_t<It, const charset*, true>>(
                &intrinsic_charsets::for_token(tok));
            break;
        case esc_word:
        case esc_not_word:
            n = make_charset(&intrinsic_charsets::for_token(tok), syntax);
            break;
        case esc_subject_begin:
            n = arena_.make<assert_op<It, opwrap<bos_t>>>();
            break;
        case esc_subject_end_before_newline:
            n = arena_.make<assert_op<It, opwrap<peos_t>>>();
            break;
        case esc_subject_end:
            n = arena_.make<assert_op<It, opwrap<eos_t>>>();
            break;
        case esc_word_boundary:
            n = arena_.make<word_assertion_t<It, word_boundary<true>>>();
            break;
        case esc_not_word_boundary:
            n = arena_.make<word_assertion_t<It, word_boundary<false>>>();
            break;
        case esc_word_start:
            n = arena_.make<word_assertion_t<It, word_start>>();
            break;
        case esc_word_stop:
            n = arena_.make<word_assertion_t<It, word_stop>>();
            break;
        case esc_quote_on:
            parse_quoted_run(pos, b, syntax);
            return true;
        case esc_quote_off:
            throw bad_regexpr("quotemeta turned off, but was never turned on");
        case escape:
            n = parse_escape(pos, syntax);
            break;
        default:
            throw bad_regexpr("bad extension sequence");
    }
    b.append(parse_quantifier(n, pos, is_group, syntax));
    return true;
}

template <class It>
sub_expr<It>* basic_rpattern_base_impl<It>::make_char(wchar_t c, const syntax_t& syntax)
{
    if (syntax.flags() & ignore_case) {
        const wchar_t lo = fold_lower(c);
        const wchar_t up = fold_upper(c);
        if (lo != up)
            return arena_.make<match_char_t<It, char_nocase<wchar_t>>>(lo, up);
    }
    return arena_.make<match_char_t<It, wchar_t>>(c);
}

template <class It>
sub_expr<It>* basic_rpattern_base_impl<It>::make_literal(const std::wstring& text,
                                                         const syntax_t& syntax)
{
    if (text.size() == 1)
        return make_char(text[0], syntax);
    wchar_t* copy = arena_.make_array<wchar_t>(text.size());
    std::copy(text.begin(), text.end(), copy);
    if (syntax.flags() & ignore_case)
        return arena_.make<match_literal_nocase_t<It>>(copy, copy + text.size(), arena_);
    return arena_.make<match_literal_t<It>>(copy, copy + text.size());
}

template <class It>
template <class SetPtr>
sub_expr<It>* basic_rpattern_base_impl<It>::make_charset(SetPtr set, const syntax_t& syntax)
{
    if (syntax.flags() & ignore_case)
        return arena_.make<match_charset_t<It, SetPtr, false>>(set);
    return arena_.make<match_charset_t<It, SetPtr, true>>(set);
}

// Collects ordinary characters into one literal. A quantifier applies to the
// last character only, so that character is split off and quantified alone.
// Under free spacing the skipped space and comments are left out of the run.
template <class It>
void basic_rpattern_base_impl<It>::parse_literal_run(pos_t& pos, group_builder& b, syntax_t& syntax)
{
    std::wstring run;
    for (;;) {
        pos_t probe = pos;
        const int q = syntax.read_quantifier(probe, end());
        const bool is_quantifier = q == quant_plus || q == quant_star || q == quant_question ||
                                   q == quant_plus_lazy || q == quant_star_lazy ||
                                   q == quant_question_lazy;
        if (is_quantifier && run.empty())
            throw bad_regexpr("quantifier not expected");
        if (is_quantifier || (q == quant_brace_open && !run.empty())) {
            const wchar_t last = run.back();
            run.pop_back();
            if (!run.empty())
                b.append(make_literal(run, syntax));
            b.append(parse_quantifier(make_char(last, syntax), pos, false, syntax));
            return;
        }
        run.push_back(*pos++);
        if (pos == end())
            break;
        pos_t next = pos;
        if (syntax.read_token(next, end()) != no_token || next == end())
            break;
        pos = next;
    }
    b.append(make_literal(run, syntax));
}

// \Q...\E: everything up to \E (or the end) is one literal, white space
// included even under free spacing; no quantifier is read after it.
template <class It>
void basic_rpattern_base_impl<It>::parse_quoted_run(pos_t& pos, group_builder& b, syntax_t& syntax)
{
    const pos_t start = pos;
    pos_t stop = end();
    while (pos != end()) {
        const pos_t token_start = pos;
        const int tok = syntax.read_token(pos, end());
        if (tok == esc_quote_off) {
            stop = token_start;
            break;
        }
        if (tok == no_token && pos != end())
            ++pos;
    }
    if (stop != start)
        b.append(make_literal(std::wstring(start, stop), syntax));
}

template <class It>
sub_expr<It>* basic_rpattern_base_impl<It>::parse_escape(pos_t& pos, const syntax_t& syntax)
{
    if (pos == end())
        return make_char(L'\\', syntax);
    const wchar_t c = *pos;
    if (c >= L'0' && c <= L'9') {
        pos_t probe = pos;
        const std::uint64_t n = read_decimal(probe, end(), 999);
        // Every number given out so far counts (group 0 and hidden groups
        // too). An octal escape reads only octal digits, so '\89' without 89
        // groups is the character 0 followed by the characters '8' and '9'.
        if (c == L'0' || (n > 9 && n >= group_counter_)) {
            unsigned value = 0;
            for (int k = 0; k < 3 && pos != end() && *pos >= L'0' && *pos <= L'7'; ++k, ++pos)
                value = value * 8 + static_cast<unsigned>(*pos - L'0');
            return make_char(static_cast<wchar_t>(value & 0xFFFF), syntax);
        }
        pos = probe;
        memo_safe_ = false;
        if (syntax.flags() & ignore_case)
            return arena_.make<match_backref_t<ch_neq_nocase_t<wchar_t>, It>>(
                static_cast<unsigned>(n));
        return arena_.make<match_backref_t<ch_neq_t<wchar_t>, It>>(static_cast<unsigned>(n));
    }
    ++pos;
    const bool unescape = (syntax.flags() & unescape_text) != 0;
    switch (c) {
        case L'e':
            return make_char(27, syntax);
        case L'x': {
            unsigned value = 0;
            for (int k = 0; k < 2 && pos != end(); ++k, ++pos) {
                const wchar_t h = *pos;
                int d;
                if (h >= L'0' && h <= L'9')
                    d = h - L'0';
                else if (h >= L'a' && h <= L'f')
                    d = h - L'a' + 10;
                else if (h >= L'A' && h <= L'F')
                    d = h - L'A' + 10;
                else
                    break;
                value = value * 16 + static_cast<unsigned>(d);
            }
            return make_char(static_cast<wchar_t>(value), syntax);
        }
        case L'c': {
            if (pos == end())
                throw bad_regexpr("incomplete escape sequence \\c");
            wchar_t k = *pos++;
            if (k >= L'a' && k <= L'z')
                k = static_cast<wchar_t>(k - L'a' + L'A');
            return make_char(static_cast<wchar_t>(k ^ 0x40), syntax);
        }
        case L'a':
            return make_char(unescape ? 7 : c, syntax);
        case L'f':
            return make_char(unescape ? 12 : c, syntax);
        case L'n':
            return make_char(unescape ? 10 : c, syntax);
        case L'r':
            return make_char(unescape ? 13 : c, syntax);
        case L't':
            return make_char(unescape ? 9 : c, syntax);
        default:
            return make_char(c, syntax);
    }
}

// Reads a quantifier at pos and moves past it; false (pos unchanged) when
// the text there is not one, as for 'a{2' or 'x{a}'.
template <class It>
bool basic_rpattern_base_impl<It>::read_counts(pos_t& pos, syntax_t& syntax, std::uint64_t& min,
                                               std::uint64_t& max, bool& greedy) const
{
    if (pos == end())
        return false;
    pos_t p = pos;
    min = 0;
    max = unbounded;
    greedy = true;
    switch (syntax.read_quantifier(p, end())) {
        case quant_plus:
            min = 1;
            break;
        case quant_plus_lazy:
            min = 1;
            greedy = false;
            break;
        case quant_star:
            break;
        case quant_star_lazy:
            greedy = false;
            break;
        case quant_question:
            max = 1;
            break;
        case quant_question_lazy:
            max = 1;
            greedy = false;
            break;
        case quant_brace_open: {
            min = read_decimal(p, end());
            if (p == end())
                return false;
            switch (syntax.read_quantifier(p, end())) {
                case quant_comma: {
                    const pos_t digits = p;
                    const std::uint64_t m = read_decimal(p, end());
                    max = p != digits ? m : unbounded;
                    if (p == end())
                        return false;
                    const int close = syntax.read_quantifier(p, end());
                    if (close == quant_brace_close_lazy)
                        greedy = false;
                    else if (close != quant_brace_close)
                        return false;
                    break;
                }
                case quant_brace_close:
                    max = min;
                    break;
                case quant_brace_close_lazy:
                    max = min;
                    greedy = false;
                    break;
                default:
                    return false;
            }
            if (max < min)
                throw bad_regexpr("Can't do {n, m} with n > m");
            break;
        }
        default:
            return false;
    }
    pos = p;
    return true;
}

template <class It>
sub_expr<It>* basic_rpattern_base_impl<It>::parse_quantifier(node* n, pos_t& pos, bool is_group,
                                                             syntax_t& syntax)
{
    pos_t p = pos;
    std::uint64_t min, max;
    bool greedy;
    // An assertion takes no quantifier: what follows it is read afresh, so
    // '^{2}' is the text "{2}" at the start and '^*' has nothing to repeat.
    if (!is_group && n->is_assertion())
        return n;
    if (!read_counts(p, syntax, min, max, greedy))
        return n;
    if (is_group && max > 16)
        recursion_safe_ = false;
    node* q = n->make_quantifier(min, max, greedy, arena_);
    pos = p;
    return q;
}

template <class It>
bool basic_rpattern_base_impl<It>::search(match_state<It>& s) const
{
    const It first = s.search_start;
    const It last_end = s.subject_end;
    const auto available = static_cast<std::uint64_t>(last_end - first);
    if (available < min_width_ || !end_char_allows(first, last_end))
        return false;
    It last = last_end - static_cast<std::ptrdiff_t>(min_width_);
    if (flags_ & search_from_right) {
        // A match starts at least a required character's offset before the
        // last place that character stands.
        for (const required_char<It>& rc : required_) {
            It q = last_end;
            while (q != first && !rc.is(q[-1]))
                --q;
            if (q == first || rc.offset > static_cast<std::uint64_t>(q - 1 - first))
                return false;
            last = std::min(last, q - 1 - static_cast<std::ptrdiff_t>(rc.offset));
        }
        // The refusal of an empty match at the search start stays on for every
        // try here: the search start is the last position tried, and clearing
        // it would let repeated matching find the same empty match forever.
        for (It p = last;; --p) {
            if (try_at(s, p))
                return true;
            if (p == first)
                return false;
        }
    }
    start_filter<It> filter(required_, first, last_end);
    using verdict = typename start_filter<It>::verdict;
    if (!unanchored_) {
        // Only the first position is tried: no scan for the leading literal.
        return filter.at(&s, first) == required_scan<It>::here && try_at(s, first);
    }
    if (scanner_) {
        for (It c = scanner_->find(first, last_end); c != last_end;
             c = scanner_->find(c + 1, last_end)) {
            const verdict v = filter.at(&s, c);
            if (v == required_scan<It>::nowhere)
                return false;
            if (v == required_scan<It>::here && try_at(s, c))
                return true;
            if (!unanchored_)
                return false;
            s.no_empty_at_start = false;
        }
        return false;
    }
    for (It p = first;; ++p) {
        const verdict v = filter.at(&s, p);
        if (v == required_scan<It>::nowhere)
            return false;
        if (v == required_scan<It>::here && try_at(s, p))
            return true;
        if (!unanchored_ || p == last)
            return false;
        s.no_empty_at_start = false;
        if (run_atom_) {
            // The starts inside the run after p fail as p did.
            It q = p;
            while (q != last && run_atom_->match_self(&s, q)) {
            }
            if (q != p)
                p = q - 1;
        }
    }
}

// Without a known end there is no width check, no literal scan and no
// required-character test: every position up to and including the NUL is
// tried. Searching from the right needs the end, so it measures the subject
// first and runs the bounded search.
template <class It>
bool basic_rpattern_base_impl<It>::search_nul(match_state<It>& s) const
{
    if (flags_ & search_from_right) {
        It end = s.search_start;
        while (*end != 0)
            ++end;
        s.subject_end = end;
        return search(s);
    }
    for (It p = s.search_start;; ++p) {
        if (try_at<true>(s, p))
            return true;
        if (!unanchored_ || *p == 0)
            return false;
        s.no_empty_at_start = false;
    }
}

}  // namespace regex::detail
