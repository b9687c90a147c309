// The typed record stack and the explicit-stack matching mode: type checks,
// block reuse, unwinding, and deep patterns and long subjects matched on a
// thread whose machine stack is small.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "regex/hetero_stack.h"
#include "regex/rpattern.h"
#include "small_stack.h"
#include "spans.h"

namespace {

using regex::hetero_stack;

TEST(HeteroStack, PopsWhatWasPushedInReverseOrder)
{
    hetero_stack s;
    EXPECT_TRUE(s.empty());
    s.push(7);
    s.push(std::wstring(L"text"));
    s.push(true);
    bool b = false;
    std::wstring w;
    int i = 0;
    s.pop(b);
    s.pop(w);
    s.top<int>() += 1;  // changed in place
    s.pop(i);
    EXPECT_TRUE(b);
    EXPECT_EQ(w, L"text");
    EXPECT_EQ(i, 8);
    EXPECT_TRUE(s.empty());
}

TEST(HeteroStack, WrongTypeThrowsTheTypeErrorAndKeepsTheRecord)
{
    hetero_stack s;
    s.push(42);
    double d = 0;
    try {
        s.pop(d);
        FAIL() << "no type error";
    } catch (const hetero_stack::type_error& e) {
        EXPECT_STREQ(e.what(),
                     "type error in hetero_stack (requested type: double, actual type: int)");
        EXPECT_EQ(e.requested_type(), typeid(double));
        EXPECT_EQ(e.actual_type(), typeid(int));
    }
    EXPECT_THROW(s.top<bool>(), hetero_stack::type_error);
    EXPECT_THROW(s.discard<long>(), std::logic_error);
    int i = 0;
    s.pop(i);
    EXPECT_EQ(i, 42);
}

TEST(HeteroStack, BlocksAreKeptAndReused)
{
    hetero_stack s;
    EXPECT_EQ(s.block_count(), 0u);  // construction allocates nothing
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 2000; ++i)
            s.push(i);
        for (int i = 1999; i >= 0; --i) {
            int v = -1;
            s.pop(v);
            ASSERT_EQ(v, i);
        }
        EXPECT_TRUE(s.empty());
    }
    const std::size_t blocks = s.block_count();
    EXPECT_GT(blocks, 1u);

    // A record bigger than the kept block gets a block of its own in front of
    // it; afterwards a small record reuses the big block.
    hetero_stack t;
    t.push(1);
    int v;
    t.pop(v);
    EXPECT_EQ(t.block_count(), 1u);
    std::array<char, 10000> big{};
    big[9999] = 'z';
    t.push(big);
    EXPECT_EQ(t.block_count(), 2u);
    std::array<char, 10000> out{};
    t.pop(out);
    EXPECT_EQ(out[9999], 'z');
    t.push(2);
    t.push(3);
    EXPECT_EQ(t.block_count(), 2u);
}

struct Counted {
    static int alive;
    static bool fail_copy;
    Counted() { ++alive; }
    Counted(const Counted&)
    {
        if (fail_copy)
            throw std::runtime_error("copy");
        ++alive;
    }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --alive; }
};
int Counted::alive = 0;
bool Counted::fail_copy = false;

TEST(HeteroStack, UnwindingDestroysRecordsAndAFailedCopyGivesItsSpaceBack)
{
    {
        Counted c;
        hetero_stack s;
        s.push(1);
        const std::byte* mark = s.position();
        for (int i = 0; i < 1000; ++i)
            s.push(c);
        EXPECT_EQ(Counted::alive, 1001);
        s.unwind_to(mark);
        EXPECT_EQ(Counted::alive, 1);
        EXPECT_EQ(s.position(), mark);
        s.push(c);
        s.push(c);
        Counted::fail_copy = true;
        const std::byte* before = s.position();
        EXPECT_THROW(s.push(c), std::runtime_error);
        Counted::fail_copy = false;
        EXPECT_EQ(s.position(), before);
        {
            regex::detail::stack_mark<hetero_stack> guard(s);
            s.push(c);
        }
        EXPECT_EQ(s.position(), before);
    }  // the stack's destructor destroys the two records still on it
    EXPECT_EQ(Counted::alive, 0);
}

TEST(RecordStack, UnwindsAcrossBlocksAndReusesThem)
{
    regex::record_stack s;
    s.push(std::int64_t{-1});
    const std::byte* bottom = s.position();
    std::array<char, 6000> big{};
    big[0] = 'x';
    std::size_t blocks = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 5000; ++i)
            s.push(i);
        const std::byte* middle = s.position();
        s.push(big);  // in a block of its own
        for (int i = 0; i < 3000; ++i)
            s.push(static_cast<char>(i));
        s.unwind_to(middle);
        EXPECT_EQ(s.position(), middle);
        int top = 0;
        s.pop(top);
        EXPECT_EQ(top, 4999);
        s.unwind_to(bottom);
        EXPECT_EQ(s.position(), bottom);
        if (round == 0)
            blocks = s.block_count();
        EXPECT_EQ(s.block_count(), blocks);  // kept blocks serve again
    }
    s.push(1);
    s.push(big);
    std::array<char, 6000> out{};
    s.pop(out);
    EXPECT_EQ(out[0], 'x');
    int one = 0;
    s.pop(one);
    EXPECT_EQ(one, 1);
    std::int64_t first = 0;
    s.pop(first);
    EXPECT_EQ(first, -1);
    EXPECT_TRUE(s.empty());
}

using regex_test::OnSmallStack;

TEST(ExplicitStackMode, DeepPatternsAndLongSubjectsMatchOnASmallStack)
{
    using regex::rpattern;
    const int depth = 10000;
    const std::wstring nested = std::wstring(depth, L'(') + L"a" + std::wstring(depth, L')') + L"b";
    const rpattern deep_explicit(nested, regex::noflags, regex::mode_explicit_stack);
    const rpattern deep_recursive(nested, regex::noflags, regex::mode_recursive);

    const std::wstring letters = std::wstring(10'000'000, L'q') + L"7";
    const rpattern atoms(L"[a-z]*\\d", regex::noflags, regex::mode_explicit_stack);

    const std::wstring run = std::wstring(200'000, L'a') + L"c";
    const rpattern loop(L"(a|b)*c", regex::noflags, regex::mode_explicit_stack);
    const rpattern loop_recursive(L"(a|b)*c", regex::noflags, regex::mode_recursive);

    // A group loop whose start positions cannot match: every attempt unwinds
    // what it pushed before the next start is tried.
    const std::wstring no_c = std::wstring(2000, L'a');
    const rpattern lazy(L"(?:a|b)*?c", regex::noflags, regex::mode_explicit_stack);

    bool deep_ok = false, deep_rec = true, atoms_ok = false, loop_ok = false, loop_rec = true,
         lazy_found = true;
    std::size_t deep_groups = 0, atoms_end = 0, loop_group = 0;
    OnSmallStack([&] {
        regex::match_results r;
        deep_ok = deep_explicit.match(L"xab", r).matched;
        deep_groups = r.cbackrefs();
        if (deep_ok)
            deep_groups = r.backref(depth).matched ? static_cast<std::size_t>(depth) : 0;
        deep_rec = deep_recursive.match(L"xab", r).matched;
        atoms_ok = atoms.match(letters, r).matched;
        atoms_end = r.backref(0).length();
        loop_ok = loop.match(run, r).matched;
        loop_group = static_cast<std::size_t>(r.backref(1).first - run.begin());
        loop_rec = loop_recursive.match(run, r).matched;
        lazy_found = lazy.match(no_c, r).matched;
    });
    EXPECT_TRUE(deep_ok);
    EXPECT_EQ(deep_groups, static_cast<std::size_t>(depth));
    EXPECT_FALSE(deep_rec);  // the recursive mode runs out of stack and reports no match
    EXPECT_TRUE(atoms_ok);
    EXPECT_EQ(atoms_end, letters.size());
    EXPECT_TRUE(loop_ok);
    EXPECT_EQ(loop_group, run.size() - 2);
    EXPECT_FALSE(loop_rec);
    EXPECT_FALSE(lazy_found);
}

// A group loop over a long subject keeps records only where something is
// left to try or to restore: a few bytes per iteration, whatever the shape
// of its body. The spans show that what the loop dropped is still restored
// where the match goes back into it.
TEST(ExplicitStackMode, GroupLoopsKeepAFewBytesPerSubjectCharacter)
{
    const std::size_t n = 90'000;
    struct Case {
        const wchar_t* pattern;
        std::wstring subject;
        std::string spans;  // the whole match and group 1
    };
    const std::string end = std::to_string(n + 1);
    const std::string last = std::to_string(n - 1) + "," + std::to_string(n);
    const std::string last3 = std::to_string(n - 3) + "," + std::to_string(n);
    const Case cases[] = {
        {L"(a|b)*c", std::wstring(n, L'a') + L"c", "0," + end + " " + last},
        {L"(?:a|b)*c", std::wstring(n, L'a') + L"c", "0," + end},
        {L"(.)*x", std::wstring(n, L'a') + L"x", "0," + end + " " + last},
        {L"(a|bc)*d", [&] {
             std::wstring s;
             for (std::size_t i = 0; i < n / 3; ++i)
                 s += L"abc";
             return s + L"d";
         }(), "0," + end + " " + std::to_string(n - 2) + "," + std::to_string(n)},
        {L"(\\w+\\s)*x", [&] {
             std::wstring s;
             for (std::size_t i = 0; i < n / 3; ++i)
                 s += L"ab ";
             return s + L"x";
         }(), "0," + end + " " + last3},
        // Back into the loop's last iteration, which left no record.
        {L"(a|b)*ab", std::wstring(n, L'a') + L"b",
         "0," + end + " " + std::to_string(n - 2) + "," + std::to_string(n - 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.pattern)));
        const regex::rpattern p(c.pattern, regex::noflags, regex::mode_explicit_stack);
        std::string spans;
        std::size_t held = 0;
        OnSmallStack([&] {
            regex::reset_record_stack_high_water();
            spans = regex_test::Spans(p, c.subject);
            held = regex::record_stack_high_water();
        });
        EXPECT_EQ(spans, c.spans);
        EXPECT_LE(held, 17 * c.subject.size() + 65536);
    }
}

// Starred groups nested in one another: every level tries one more empty
// pass through the levels below it, and the last pass of each level is
// the one its group keeps.
TEST(ExplicitStackMode, DeeplyNestedStarredGroupsKeepTheirAnswers)
{
    auto nested = [](std::size_t depth) {
        return std::wstring(depth, L'(') + L"a" + [&] {
            std::wstring close;
            for (std::size_t i = 0; i < depth; ++i)
                close += L")*";
            return close;
        }() + L"b";
    };
    // Shallow enough for the recursive mode: both modes agree.
    for (std::size_t depth : {2u, 3u, 60u}) {
        const std::wstring pattern = nested(depth);
        EXPECT_EQ(regex_test::Spans(regex::rpattern(pattern, regex::noflags, regex::mode_explicit_stack),
                                    L"xaaab"),
                  regex_test::Spans(regex::rpattern(pattern, regex::noflags, regex::mode_recursive),
                                    L"xaaab"))
            << "depth " << depth;
    }
    const std::size_t depth = 1000;
    const regex::rpattern deep(nested(depth), regex::noflags, regex::mode_explicit_stack);
    std::string outer, inner, whole;
    OnSmallStack([&] {
        regex::match_results r;
        const std::wstring subject = L"xaaab";
        if (deep.match(subject, r).matched) {
            whole = std::to_string(r.backref(0).first - subject.begin()) + "," +
                    std::to_string(r.backref(0).second - subject.begin());
            outer = std::to_string(r.backref(1).first - subject.begin()) + "," +
                    std::to_string(r.backref(1).second - subject.begin());
            inner = std::to_string(r.backref(depth).first - subject.begin()) + "," +
                    std::to_string(r.backref(depth).second - subject.begin());
        }
    });
    EXPECT_EQ(whole, "1,5");
    EXPECT_EQ(outer, "4,4");
    EXPECT_EQ(inner, "3,4");
}

// Ten thousand levels: each level's last, empty pass goes through the
// levels below it again, which hold what the pass before left them; the
// records stay in proportion to the depth.
TEST(ExplicitStackMode, TenThousandNestedStarredGroupsHoldRecordsInProportionToTheirDepth)
{
    const std::size_t depth = 10'000;
    std::wstring pattern(depth, L'(');
    pattern += L"a";
    for (std::size_t i = 0; i < depth; ++i)
        pattern += L")*";
    pattern += L"b";
    const regex::rpattern deep(pattern, regex::noflags, regex::mode_explicit_stack);
    const std::wstring subject = L"xaaab";
    std::string spans;
    std::size_t held = 0;
    OnSmallStack([&] {
        regex::reset_record_stack_high_water();
        regex::match_results r;
        if (deep.match(subject, r).matched) {
            for (std::size_t group : {std::size_t{0}, std::size_t{1}, depth / 2, depth - 1, depth})
                spans += std::to_string(r.backref(group).first - subject.begin()) + "," +
                         std::to_string(r.backref(group).second - subject.begin()) + " ";
        }
        held = regex::record_stack_high_water();
    });
    EXPECT_EQ(spans, "1,5 4,4 4,4 4,4 3,4 ");
    EXPECT_LE(held, 300 * depth);
}

// A loop entered again where nothing can be consumed is passed over while
// the pass before is in force; once that pass is undone, the groups inside
// come from a new one.
TEST(ExplicitStackMode, LoopsWhereNothingCanBeConsumedKeepTheirGroups)
{
    const regex_test::MatchCase cases[] = {
        {L"^(?:(?:(x?)*|b)a?\?){3}$", regex::noflags, L"aab", "0,3 1,1"},
        {L"^(?:(?:(x?)*|b)a?\?){2,3}$", regex::noflags, L"aab", "0,3 1,1"},
        {L"^(?:(?:((x)?)*|b)a?\?){2,3}$", regex::noflags, L"aab", "0,3 1,1 -"},
        {L"^(?:(?:(x*)*|b)a?\?){3}$", regex::noflags, L"aab", "0,3 1,1"},
        {L"(?:a(x?)*){3}", regex::noflags, L"aaxa", "0,4 4,4"},
        {L"((x?)*y?)*b", regex::noflags, L"xxyxb", "0,5 4,4 4,4"},
    };
    regex_test::RunCases(std::begin(cases), std::end(cases));
}

TEST(ExplicitStackMode, RecursionSafetyChoosesTheModeInModeTwo)
{
    // Mode 2 runs the explicit-stack matcher for a pattern with an unbounded
    // group loop, so a long subject still matches on a small stack.
    const std::wstring run = std::wstring(100'000, L'a') + L"c";
    const regex::rpattern safe_choice(L"(a|b)*c", regex::noflags, regex::mode_recursive_when_safe);
    bool matched = false;
    OnSmallStack([&] {
        regex::match_results r;
        matched = safe_choice.match(run, r).matched;
    });
    EXPECT_TRUE(matched);
}

}  // namespace
