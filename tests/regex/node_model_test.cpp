// The node protocol on hand-built chains: widths, lead characters, captures
// restored after failure, and the empty-match refusal of the pattern's end.
#include "regex/quantifiers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace regex::detail;
using It = std::wstring::const_iterator;

struct Fixture {
    node_arena arena;
    std::vector<regex::backref_tag<It>> records = std::vector<regex::backref_tag<It>>(2);
    std::vector<unsigned> hidden;
    group_table<It> table{{}, &hidden};

    match_state<It> State(const std::wstring& subject)
    {
        match_state<It> s;
        s.results = records.data();
        s.group_count = static_cast<unsigned>(records.size());
        s.subject_begin = subject.begin();
        s.subject_end = subject.end();
        s.search_start = subject.begin();
        s.stack_limit = machine_stack_limit();
        return s;
    }
};

TEST(NodeModel, WidthsAddAndMultiplyWithSaturation)
{
    EXPECT_EQ(saturating_mul(0, unbounded), 0u);
    EXPECT_EQ(saturating_mul(3, unbounded), unbounded);
    EXPECT_EQ(saturating_mul(1ull << 40, 1ull << 40), unbounded);
    EXPECT_EQ(saturating_add(unbounded - 1, 5), unbounded);
    EXPECT_EQ((width_range{1, 2} + width_range{3, unbounded}), (width_range{4, unbounded}));
}

TEST(NodeModel, CapturingGroupRestoresItsRecordWhenTheRestFails)
{
    // (ab|a) then 'c' then end: "abd" fails, "ac" matches with group 1 = "a".
    Fixture f;
    auto* g = f.arena.make<match_group<It>>(1);
    auto* lit = f.arena.make<match_literal_t<It>>(L"ab", L"ab" + 2);
    auto* a = f.arena.make<match_char_t<It, wchar_t>>(L'a');
    lit->next = g->end_node();
    a->next = g->end_node();
    g->set_alternatives(f.arena, {lit, a});
    g->build_lead_list(f.arena);
    auto* c = f.arena.make<match_char_t<It, wchar_t>>(L'c');
    g->next = c;
    c->next = f.arena.make<end_of_pattern<It>>();

    const std::wstring failing = L"abd";
    auto s = f.State(failing);
    EXPECT_FALSE(g->match_chain(&s, failing.begin()));
    EXPECT_FALSE(f.records[1].matched);

    const std::wstring subject = L"ac";
    s = f.State(subject);
    ASSERT_TRUE(g->match_chain(&s, subject.begin()));
    EXPECT_EQ(f.records[1].str(), L"a");

    lead_info lead;
    ASSERT_TRUE(g->peek_lead(lead));
    EXPECT_EQ(lead.lead_count, 1u); // both alternatives begin with 'a'
    EXPECT_FALSE(lead.has_literal);
    f.table.groups = {nullptr, g};
    EXPECT_EQ(g->width(f.table), (width_range{1, 2}));
}

TEST(NodeModel, EndOfPatternRefusesAnEmptyMatchAtTheSearchStart)
{
    Fixture f;
    auto* end = f.arena.make<end_of_pattern<It>>();
    const std::wstring subject = L"x";
    auto s = f.State(subject);
    EXPECT_TRUE(end->match_chain(&s, subject.begin()));
    s.no_empty_at_start = true;
    EXPECT_FALSE(end->match_chain(&s, subject.begin()));
    EXPECT_TRUE(end->match_chain(&s, subject.begin() + 1));
}

TEST(NodeModel, BackReferenceWidthFollowsItsGroup)
{
    Fixture f;
    auto* g = f.arena.make<match_group<It>>(1);
    auto* lit = f.arena.make<match_literal_t<It>>(L"abc", L"abc" + 3);
    lit->next = g->end_node();
    g->set_alternatives(f.arena, {lit});
    f.table.groups = {nullptr, g};
    auto* ref = f.arena.make<match_backref_t<ch_neq_t<wchar_t>, It>>(1u);
    EXPECT_EQ(ref->width(f.table), (width_range{3, 3}));
    auto* missing = f.arena.make<match_backref_t<ch_neq_t<wchar_t>, It>>(2u);
    EXPECT_THROW(missing->width(f.table), regex::bad_regexpr);
}

TEST(NodeModel, QuantifiersRefuseToBeQuantified)
{
    Fixture f;
    auto* a = f.arena.make<match_char_t<It, wchar_t>>(L'a');
    sub_expr<It>* star = a->make_quantifier(0, unbounded, true, f.arena);
    try {
        star->make_quantifier(0, 1, true, f.arena);
        FAIL();
    } catch (const regex::bad_regexpr& e) {
        EXPECT_STREQ(e.what(), "sub-expression cannot be quantified");
    }
}

} // namespace
