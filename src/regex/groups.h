// Groups and alternation: a group tries its alternatives in written order,
// records where a capturing attempt began, and its end node records the
// captured range once an alternative has reached it.
#pragma once

#include <algorithm>
#include <vector>

#include "regex/atoms.h"

namespace regex::detail {

template <class It>
class match_group_base : public sub_expr<It> {
public:
    explicit match_group_base(int n) : number(n) {}

    // Receives the range of group numbers inside the group (look-around and
    // independent groups restore them); nothing to keep for a plain group.
    virtual void set_inner_groups(int, int) {}
    // The node every alternative's chain ends in.
    virtual sub_expr<It>* end_node() = 0;
    const sub_expr<It>* end_node_const() const
    {
        return const_cast<match_group_base*>(this)->end_node();
    }

    void set_alternatives(node_arena& arena, const std::vector<sub_expr<It>*>& alts)
    {
        alt_count = static_cast<unsigned>(alts.size());
        alternatives = arena.make_array<sub_expr<It>*>(alts.size());
        std::copy(alts.begin(), alts.end(), alternatives);
    }

    // Collects the characters one of which must stand at the position for any
    // alternative to match; no list when some alternative cannot say.
    void build_lead_list(node_arena& arena)
    {
        build_alternative_leads(arena);
        std::vector<wchar_t> chars;
        for (unsigned i = 0; i < alt_count; ++i) {
            lead_info info;
            if (!alternatives[i]->peek_lead(info) || info.lead_count == 0)
                return;
            if (info.lead_count <= 2)
                chars.insert(chars.end(), info.lead_chars, info.lead_chars + info.lead_count);
            else
                chars.insert(chars.end(), info.lead_list, info.lead_list + info.lead_count);
        }
        std::sort(chars.begin(), chars.end());
        chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
        wchar_t* list = arena.make_array<wchar_t>(chars.size());
        std::copy(chars.begin(), chars.end(), list);
        lead_begin = list;
        lead_end = list + chars.size();
        // The leading literal is taken now, once: asking the alternative each
        // time would walk down every nested group again.
        lead_info first;
        if (alt_count == 1 && alternatives[0]->peek_lead(first) && first.has_literal) {
            has_literal = true;
            literal_begin = first.literal_begin;
            literal_end = first.literal_end;
            literal_other_case = first.literal_other_case;
        }
    }

    // The characters one of which must stand at the position for each
    // alternative to match (none known: an empty range).
    void build_alternative_leads(node_arena& arena)
    {
        alt_leads = arena.make_array<lead_range>(alt_count);
        for (unsigned i = 0; i < alt_count; ++i) {
            alt_leads[i] = lead_range{nullptr, nullptr};
            lead_info info;
            if (!alternatives[i]->peek_lead(info) || info.lead_count == 0)
                continue;
            std::vector<wchar_t> chars;
            if (info.lead_count <= 2)
                chars.assign(info.lead_chars, info.lead_chars + info.lead_count);
            else
                chars.assign(info.lead_list, info.lead_list + info.lead_count);
            std::sort(chars.begin(), chars.end());
            chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
            wchar_t* list = arena.make_array<wchar_t>(chars.size());
            std::copy(chars.begin(), chars.end(), list);
            alt_leads[i] = lead_range{list, list + chars.size()};
        }
    }

    bool peek_lead(lead_info& info) const override
    {
        if (!lead_begin)
            return false;
        info = lead_info{};
        info.lead_count = static_cast<std::uint64_t>(lead_end - lead_begin);
        if (info.lead_count <= 2)
            std::copy(lead_begin, lead_end, info.lead_chars);
        else
            info.lead_list = lead_begin;
        info.has_literal = has_literal;
        info.literal_begin = literal_begin;
        info.literal_end = literal_end;
        info.literal_other_case = literal_other_case;
        return true;
    }

    width_range width(group_table<It>& table) override
    {
        if (!(width_range{min_width, max_width} == width_not_computed))
            return {min_width, max_width};
        check_nesting_depth();
        const bool in_table = number >= 0 && static_cast<std::size_t>(number) < table.groups.size();
        if (in_table)
            table.groups[static_cast<std::size_t>(number)] = nullptr;  // open while measured
        width_range result{unbounded, 0};
        for (unsigned i = 0; i < alt_count; ++i) {
            width_range w{0, 0};
            for (sub_expr<It>* n = alternatives[i]; n; n = n->next)
                w = w + n->width(table);
            result.min = std::min(result.min, w.min);
            result.max = std::max(result.max, w.max);
            // No early stop once the range is {0, unbounded}: measuring is also
            // what translates and checks the back-references of every
            // alternative.
        }
        if (in_table)
            table.groups[static_cast<std::size_t>(number)] = this;
        min_width = result.min;
        max_width = result.max;
        return result;
    }

    sub_expr<It>* make_quantifier(std::uint64_t min, std::uint64_t max, bool greedy,
                                  node_arena& arena) override;

    // A position whose character is not in the lead list cannot start any alternative.
    template <bool Nul>
    bool lead_allows(const match_state<It>* s, It p) const
    {
        if (!lead_begin)
            return true;
        if (at_end<Nul>(s, p))
            return false;
        const wchar_t c = *p;
        if (lead_end - lead_begin <= 4)
            return std::find(lead_begin, lead_end, c) != lead_end;
        return std::binary_search(lead_begin, lead_end, c);
    }

    // The first alternative from i on that can start at p (alt_count: none).
    template <bool Nul>
    unsigned viable_from(const match_state<It>* s, It p, unsigned i) const
    {
        if (!alt_leads)
            return i < alt_count ? i : alt_count;
        for (; i < alt_count; ++i) {
            const lead_range& r = alt_leads[i];
            if (!r.begin)
                return i;
            if (at_end<Nul>(s, p))
                continue;
            const wchar_t c = *p;
            if (r.end - r.begin <= 4 ? std::find(r.begin, r.end, c) != r.end
                                     : std::binary_search(r.begin, r.end, c))
                return i;
        }
        return alt_count;
    }

    // Entry in a lean pattern: alternatives that cannot start here are
    // passed over, and a loop's body, whose iteration start the loop keeps,
    // leaves no record at all when only one alternative can start.
    template <bool Nul>
    bool enter_lean(match_state<It>* s) const
    {
        const It p = s->position;
        const unsigned i = viable_from<Nul>(s, p, 0);
        if (i == alt_count)
            return false;
        const bool more = viable_from<Nul>(s, p, i + 1) != alt_count;
        if (!loop_body) {
            backref_tag<It>& rec = s->results[number];
            s->stack->push(rec.reserved_start);
            rec.reserved_start = p;
            s->stack->push(static_cast<sub_expr<It>* const*>(alternatives + i));
        } else if (more) {
            s->stack->push(static_cast<sub_expr<It>* const*>(alternatives + i));
        } else {
            s->no_record = true;
        }
        s->next_node = alternatives[i];
        return true;
    }
    template <bool Nul>
    bool next_alternative_lean(match_state<It>* s) const
    {
        backref_tag<It>& rec = s->results[number];
        const It p = loop_body ? rec.iteration_start.it : rec.reserved_start;
        s->position = p;
        sub_expr<It>* const*& cursor = s->stack->template top<sub_expr<It>* const*>();
        const unsigned i =
            viable_from<Nul>(s, p, static_cast<unsigned>(cursor - alternatives) + 1);
        if (i != alt_count) {
            cursor = alternatives + i;
            s->next_node = *cursor;
            return true;
        }
        s->stack->template discard<sub_expr<It>* const*>();
        if (!loop_body)
            s->stack->pop(rec.reserved_start);
        return false;
    }

    // Explicit-stack entry: save where a numbered group's attempt began,
    // then push the cursor of the alternative being tried. A plain group
    // that is a loop's body need not save it once an iteration before this
    // one has ended: that iteration's attempt began where the loop's record
    // says the iteration before this one began (start_from_loop).
    template <bool Nul>
    bool enter(match_state<It>* s, bool start_from_loop = false) const
    {
        if (!lead_allows<Nul>(s, s->position))
            return false;
        if (s->lean)
            return enter_lean<Nul>(s);
        if (number >= 0) {
            backref_tag<It>& rec = s->results[number];
            if (!(start_from_loop && rec.prev_iteration_start.valid))
                s->stack->push(rec.reserved_start);
            rec.reserved_start = s->position;
        }
        sub_expr<It>* const* cursor = alternatives;
        s->stack->push(cursor);
        s->next_node = *cursor;
        return true;
    }
    template <bool Nul>
    bool next_alternative(match_state<It>* s, bool start_from_loop = false) const
    {
        if (s->lean)
            return next_alternative_lean<Nul>(s);
        sub_expr<It>* const*& cursor = s->stack->template top<sub_expr<It>* const*>();
        if (++cursor != alternatives + alt_count) {
            s->next_node = *cursor;
            return true;
        }
        s->stack->template discard<sub_expr<It>* const*>();
        if (number >= 0) {
            backref_tag<It>& rec = s->results[number];
            if (start_from_loop && rec.prev_iteration_start.valid)
                rec.reserved_start = rec.prev_iteration_start.it;
            else
                s->stack->pop(rec.reserved_start);
        }
        return false;
    }

    struct lead_range {
        const wchar_t* begin;  // null: the alternative's first characters are not known
        const wchar_t* end;
    };

    // Whether a character can be the first that a match of the group
    // consumes (first_known: the list of them is known).
    template <bool Nul>
    bool may_consume_at(const match_state<It>* s, It p) const
    {
        if (!first_known)
            return true;
        if (at_end<Nul>(s, p))
            return false;
        return std::binary_search(first_begin, first_end, static_cast<wchar_t>(*p));
    }

    sub_expr<It>** alternatives = nullptr;
    lead_range* alt_leads = nullptr;  // one per alternative
    // The characters a non-empty match of the group can begin with, sorted
    // (lean patterns; first_planned once looked for).
    bool first_planned = false;
    bool first_known = false;
    const wchar_t* first_begin = nullptr;
    const wchar_t* first_end = nullptr;
    unsigned alt_count = 0;
    int number;  // index of the group's record; -1 for a group without one
    bool loop_body = false;  // repeated by a group loop, which keeps its iteration starts
    std::uint64_t min_width = unbounded;
    std::uint64_t max_width = unbounded;
    const wchar_t* lead_begin = nullptr;
    const wchar_t* lead_end = nullptr;
    bool has_literal = false;  // the one alternative starts with a literal
    const wchar_t* literal_begin = nullptr;
    const wchar_t* literal_end = nullptr;
    const wchar_t* literal_other_case = nullptr;
};

template <class It>
class match_group : public chain_node<It, match_group<It>, match_group_base<It>> {
public:
    // Old contents of a capture, kept while the rest of the pattern is tried.
    struct old_backref {
        It first;
        It second;
        bool matched;
    };

    class end_group : public chain_node<It, end_group, sub_expr<It>> {
    public:
        explicit end_group(const match_group* o) : owner(o) {}
        bool may_start(match_state<It>* s, It pos) const override
        {
            return owner->next->may_start(s, pos);
        }
        template <bool Nul>
        bool chain(match_state<It>* s, It pos) const
        {
            if (owner->number < 0)
                return owner->template match_next<Nul>(s, pos);
            backref_tag<It>& rec = s->results[owner->number];
            const old_backref saved{rec.first, rec.second, rec.matched};
            rec.first = rec.reserved_start;
            rec.second = pos;
            rec.matched = true;
            if (owner->template match_next<Nul>(s, pos))
                return true;
            rec.first = saved.first;
            rec.second = saved.second;
            rec.matched = saved.matched;
            return false;
        }
        template <bool Nul>
        bool forward(match_state<It>* s) const
        {
            if (owner->number >= 0) {
                backref_tag<It>& rec = s->results[owner->number];
                if (!restored_from_loop(rec))
                    s->stack->push(old_backref{rec.first, rec.second, rec.matched});
                else if (s->lean)
                    s->no_record = true;  // see the loop's step back
                // A loop's body in a lean pattern began where the loop's
                // iteration did (its entry saved nothing).
                rec.first = s->lean && owner->loop_body ? rec.iteration_start.it
                                                        : rec.reserved_start;
                rec.second = s->position;
                rec.matched = true;
            }
            s->next_node = owner->next;
            return true;
        }
        template <bool Nul>
        bool back(match_state<It>* s) const
        {
            if (owner->number >= 0) {
                backref_tag<It>& rec = s->results[owner->number];
                // A loop's body ends where the loop's arrival began, which
                // the loop's step back has just restored.
                if (s->lean && !owner->loop_body)
                    s->position = rec.second;
                if (restored_from_loop(rec)) {
                    rec.first = rec.prev_iteration_start.it;
                    rec.second = rec.iteration_start.it;
                    rec.matched = true;
                    return false;
                }
                old_backref old;
                s->stack->pop(old);
                rec.first = old.first;
                rec.second = old.second;
                rec.matched = old.matched;
            }
            return false;
        }
        // The group is a loop's body and an iteration before this one has
        // ended: what this end replaces is that iteration's range, which runs
        // from where it began to where this one began. The loop keeps both
        // in the group's record, and they are back in place when this end
        // is undone, so the explicit-stack mode saves nothing for it. (Only
        // the first iteration after entering the loop, which replaces what
        // the group held before, keeps the old range on the stack.)
        bool restored_from_loop(const backref_tag<It>& rec) const
        {
            return owner->loop_body && rec.prev_iteration_start.valid;
        }
        const match_group* owner;
    };

    explicit match_group(int n) : chain_node<It, match_group<It>, match_group_base<It>>(n) {}

    bool may_start(match_state<It>* s, It pos) const override
    {
        return this->template lead_allows<false>(s, pos);
    }

    sub_expr<It>* end_node() override { return &end_; }

    template <bool Nul>
    bool chain(match_state<It>* s, It pos) const
    {
        if (!this->template lead_allows<Nul>(s, pos))
            return false;
        if (this->number < 0)
            return try_alternatives<Nul>(s, pos);
        backref_tag<It>& rec = s->results[this->number];
        const It saved = rec.reserved_start;
        rec.reserved_start = pos;
        if (try_alternatives<Nul>(s, pos))
            return true;
        rec.reserved_start = saved;
        return false;
    }

    template <bool Nul>
    bool forward(match_state<It>* s) const
    {
        return this->template enter<Nul>(s, this->loop_body);
    }
    template <bool Nul>
    bool back(match_state<It>* s) const
    {
        return this->template next_alternative<Nul>(s, this->loop_body);
    }

private:
    template <bool Nul>
    bool try_alternatives(match_state<It>* s, It pos) const
    {
        this->check_depth(s);
        for (unsigned i = 0; i < this->alt_count; ++i) {
            sub_expr<It>* first = this->alternatives[i];
            if (Nul ? first->match_chain_nul(s, pos) : first->match_chain(s, pos))
                return true;
        }
        return false;
    }

    end_group end_{this};
};

// Back-references read their group's width; a group still being measured
// (the reference lies inside the group it names) counts as {0, unbounded}.
template <class Cmp, class It>
width_range match_backref_t<Cmp, It>::width(group_table<It>& table)
{
    if (!translated_) {
        group = table.to_internal(group);
        translated_ = true;
    }
    if (group >= table.groups.size())
        throw bad_regexpr("reference to nonexistent group");
    match_group_base<It>* g = table.groups[group];
    if (!g)
        return {0, unbounded};
    return g->width(table);
}

}  // namespace regex::detail
