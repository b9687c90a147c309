// Patterns a user can write by accident that used to crash the compiler, run
// for minutes or give an answer perl does not: each runs in both matching
// modes, with perl's answer as the expected one. Times are bounded only
// generously (the benchmark measures them); a case that regressed to
// exponential work would not finish within the test's time-out at all.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "regex/rpattern.h"
#include "small_stack.h"
#include "spans.h"

namespace {

using namespace regex;

const match_mode kModes[] = {mode_recursive, mode_explicit_stack};

using regex_test::Spans;

std::string CompileError(const std::wstring& pattern, pattern_flags flags = noflags)
{
    try {
        rpattern p(pattern, flags);
    } catch (const bad_regexpr& e) {
        return e.what();
    }
    return "compiled";
}

std::wstring Repeat(const std::wstring& piece, std::size_t n)
{
    std::wstring s;
    for (std::size_t i = 0; i < n; ++i)
        s += piece;
    return s;
}

struct TimedCase {
    std::wstring pattern;
    std::wstring subject;
    const char* expected;
};

// Each case must give perl's answer in both modes within a bound that an
// exponential or quadratic run would pass by orders of magnitude.
void RunTimed(const std::vector<TimedCase>& cases, double seconds_each)
{
    for (match_mode mode : kModes)
        for (const TimedCase& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " pattern "
                                            << std::string(c.pattern.begin(), c.pattern.end()));
            const auto start = std::chrono::steady_clock::now();
            rpattern p(c.pattern, noflags, mode);
            EXPECT_EQ(Spans(p, c.subject), c.expected);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            EXPECT_LT(took.count(), seconds_each);
        }
}

// Deep nesting is refused with a clear message on a thread whose stack is
// too small for it, instead of overflowing the stack; nesting the stack can
// hold still compiles and matches.
TEST(HostilePatterns, DeepNestingIsRefusedNotACrash)
{
    auto on_small_stack = [](const std::wstring& pattern) {
        std::string outcome;
        regex_test::OnSmallStack([&] { outcome = CompileError(pattern); });
        return outcome;
    };
    const std::size_t deep = 30000;
    for (const wchar_t* open : {L"(", L"(?:", L"(?=", L"(?>"})
        EXPECT_EQ(on_small_stack(Repeat(open, deep) + L"a" + Repeat(L")", deep)),
                  "parentheses are nested too deeply");
    EXPECT_EQ(on_small_stack(Repeat(L"(?:", deep) + L"a" + Repeat(L")*", deep)),
              "parentheses are nested too deeply");
    // The main thread's stack holds the same nesting a thousand levels deep.
    for (match_mode mode : kModes) {
        rpattern p(Repeat(L"(?:", 1000) + L"a" + Repeat(L")", 1000), noflags, mode);
        EXPECT_EQ(Spans(p, L"xa"), "1,2");
    }
}

TEST(HostilePatterns, NestedAndAlternatingLoopsFailFast)
{
    const std::wstring run = std::wstring(40, L'a') + L"!b";
    RunTimed(
        {
            {L"(a*)*b", std::wstring(16, L'a') + L"!b", "17,18 17,17"},
            {L"(a*)*b", run, "41,42 41,41"},
            {L"(a+)+b", run, "nomatch"},
            {L"(a|a)*b", run, "41,42 -"},
            {L"(a|aa)+$", run, "nomatch"},
            {L"^(\\w+\\s?)*$", Repeat(L"ab ", 26) + L"!b", "nomatch"},
            {L"(.*a){12}$", run, "nomatch"},
            {L".X(.+)+X", L"bbbbXcXaaaaaaaaaaaaaaaaaaaaaaaaaaa", "3,7 5,6"},
            {L".X(.+)+X", L"bbbbXXaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "nomatch"},
            {L"(?:|.{0,2})*(?=xx)|.{2}", L"abcdefghijklmnop", "0,2"},
            // Look-around and independent groups inside the loops.
            {L"(?:(?=a)a|a)*b", run, "41,42"},
            {L"(?:(?>a|aa)|a)*!c", run, "nomatch"},
            // Results are what the plain search finds.
            {L"(a|ab)*c", L"ababac", "0,6 4,5"},
            {L"(a*)*b", L"aaab", "0,4 3,3"},
        },
        2.0);
}

// What every match must consume or end with refuses the starts that cannot
// reach it before any backtracking: the answers stay the plain search's
// (perl's), at the edges of each rule, and the shapes that took hours on
// long subjects where no start can match end at once.
TEST(HostilePatterns, RequiredTextRefusesStartsWithoutChangingAnswers)
{
    const regex_test::MatchCase cases[] = {
        {L"(a*)*b", noflags, L"aaa!b", "4,5 4,4"},
        // The last X stands at least three characters after the start.
        {L".X(.+)+X", noflags, L"bXaX", "0,4 2,3"},
        {L".X(.+)+X", noflags, L"bXX", "nomatch"},
        // Pinned to the end, before a final line end or not.
        {L"(.*a){3}$", noflags, L"aaa\n", "0,3 2,3"},
        {L"(.*a){3}\\Z", noflags, L"aaa\n", "0,3 2,3"},
        {L"(.*a){3}\\z", noflags, L"aaa\n", "nomatch"},
        {L"(?:ab|b)$", ignore_case, L"xAB", "1,3"},
        {L"a$", multi_line, L"a\nb", "0,1"},
        {L"(x)?(?(1)a)+$", noflags, L"ab", "2,2 -"},
        {L"(?:a|a(?=b)|)$", noflags, L"ab", "2,2"},
        // The required character in either case, and among the characters
        // allowed before it.
        {L"(a|b)*C", ignore_case, L"abc", "0,3 1,2"},
        {L"x(?:a+|b)*Y", ignore_case, L"xaaB!xaby", "5,9"},
        {L"(?:a|b)*b", noflags, L"aab!", "0,3"},
        {L"(?:a|b)*b", noflags, L"aa!ab", "3,5"},
        {L"[ab]+c", noflags, L"abab!bc", "5,7"},
        {L"\\w+@", noflags, L"aaa!b@", "4,6"},
        // Look-ahead and back-references before it.
        {L"(?=a)\\w*b", noflags, L"ab", "0,2"},
        {L"(a)\\1*b", noflags, L"aaab", "0,4 0,1"},
        // From the right, the last place of the required character bounds
        // the starts; repeated matching takes every match.
        {L".b.", search_from_right, L"abcab", "0,3"},
        {L".b..", search_from_right, L"abxxabxx", "4,8"},
        {L"\\w+@", repeat_match | keep_whole_matches, L"ab@c!d@@", "0,3 5,7"},
    };
    regex_test::RunCases(std::begin(cases), std::end(cases));
    // Within a range, the range's end is the end.
    for (match_mode mode : kModes) {
        EXPECT_EQ(Spans(rpattern(L"(a*)*b$", noflags, mode), L"aab!b", 0, 3), "0,3 2,2");
        EXPECT_EQ(Spans(rpattern(L".X(.+)+X", noflags, mode), L"bXaX", 0, 3), "nomatch");
    }
    const std::size_t n = 200'000;
    RunTimed(
        {
            {L"(a*)*b", std::wstring(n, L'a') + L"!b", "200001,200002 200001,200001"},
            {L"(.*a){12}$", std::wstring(n, L'a') + L"!b", "nomatch"},
            {L".X(.+)+X", L"bX" + std::wstring(n, L'a'), "nomatch"},
            {L"(?:a|b)*c", std::wstring(n, L'a') + L"!c", "200001,200002"},
        },
        2.0);
}

// Nested loops of empty iterations no longer double the work per level, so
// the recursive mode does not run out of stack where the other mode matches.
TEST(HostilePatterns, NestedStarredGroupsStayPolynomial)
{
    std::vector<TimedCase> cases;
    for (std::size_t depth : {14u, 18u, 40u}) {
        cases.push_back({Repeat(L"(?:", depth) + L"a" + Repeat(L")*", depth), L"a", "0,1"});
        cases.push_back({Repeat(L"(?:", depth) + L"a" + Repeat(L")*", depth) + L"b",
                         Repeat(L"a", 30) + L"c", "nomatch"});
    }
    RunTimed(cases, 2.0);
}

// A recursion where the pattern was entered, with nothing consumed since,
// matches the empty string there instead of entering the pattern again.
TEST(HostilePatterns, LeftRecursionMatchesEmptyAndEnds)
{
    for (match_mode mode : kModes) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        EXPECT_EQ(Spans(rpattern(L"(?R)b", noflags, mode), L"b"), "0,1");
        EXPECT_EQ(Spans(rpattern(L"a|(?R)b", noflags, mode), L"bb"), "0,1");
        EXPECT_EQ(Spans(rpattern(L"x*(?R)", noflags, mode), L"xx"), "0,2");
        EXPECT_EQ(Spans(rpattern(L"(?(1)|()(?R))", noflags, mode), L""), "0,0 0,0");
        // Recursion after consuming is untouched.
        EXPECT_EQ(Spans(rpattern(L"a(?:(?R)|)b|c", noflags, mode), L"aacbb"), "0,5");
    }
    // Each entry at a new position ends at once where it began: no doubling
    // of the work with every further character.
    RunTimed({{L".*(?R)", std::wstring(40, L'x'), "0,40"},
              {L".*(?R)", std::wstring(20000, L'x'), "0,20000"}},
             2.0);
}

// A group that builds no node (a comment, an empty body, bare modifiers) and
// an assertion take no quantifier: what follows them is read afresh, so a
// brace count is plain text there and '*', '+' or '?' has nothing to repeat.
TEST(HostilePatterns, QuantifierAfterCommentEmptyGroupOrAssertion)
{
    const regex_test::MatchCase cases[] = {
        {L"^a(?#xxx){3}c", noflags, L"aaac", "nomatch"},
        {L"^a(?#xxx){3}c", noflags, L"a{3}c", "0,5"},
        {L"ab(?#Comment){2}c", noflags, L"ab{2}c", "0,6"},
        {L"ab(?#Comment){2}c", free_spacing, L"ab{2}c", "0,6"},
        {L"^a (?#xxx) {3}c", free_spacing, L"a{3}c", "0,5"},
        {L"a(?#x)(?#y){2}b", noflags, L"aaa{2}b", "2,7"},
        {L"(a)(?#x){2}", noflags, L"aa{2}", "1,5 1,2"},
        {L"a(?#x){2}", ignore_case, L"xA{2}", "1,5"},
        {L"(?:){2}a", noflags, L"a{2}a", "1,5"},
        {L"(?:){3,2}", noflags, L"{3,2}", "0,5"},
        {L"^{2}a", noflags, L"{2}a", "0,4"},
        {L"^{2}a", noflags, L"aa", "nomatch"},
        {L"x${2}", noflags, L"x{2}", "nomatch"},
        {L"\\b{1,2}", noflags, L"a{1,2}", "1,6"},
    };
    regex_test::RunCases(std::begin(cases), std::end(cases));
    for (const wchar_t* refused : {L"^*", L"a\\B?", L"(?#x)*a", L"a(?#c)*", L"a(?:)*",
                                   L"a(?i:)*b", L"x(?=)+a", L"a(?i)+", L"a*(?#x)+"})
        EXPECT_EQ(CompileError(refused), "quantifier not expected") << refused;
    // Not a quantifier: the text stays literal.
    EXPECT_EQ(Spans(rpattern(L"^{a"), L"{a"), "0,2");
}

// A number above 9 that no group opened so far carries is an octal escape,
// which reads octal digits only: '\\89' is the character 0, then "89".
TEST(HostilePatterns, BackslashNumberAboveTheGroupsIsAnOctalCharacter)
{
    EXPECT_EQ(CompileError(L"a\\8"), "reference to nonexistent group");
    EXPECT_EQ(CompileError(L"(a)\\9"), "reference to nonexistent group");
    const std::wstring nul(1, L'\0');
    for (match_mode mode : kModes) {
        EXPECT_EQ(Spans(rpattern(L"a\\89", noflags, mode), L"xa" + nul + L"89"), "1,5");
        EXPECT_EQ(Spans(rpattern(L"a\\87", noflags, mode), L"a87"), "nomatch");
        EXPECT_EQ(Spans(rpattern(L"a\\90", noflags, mode), L"a" + nul + L"90"), "0,4");
        // With enough groups the digits name one.
        const std::wstring groups = Repeat(L"(x)", 87);
        EXPECT_EQ(Spans(rpattern(groups + L"\\87", noflags, mode), Repeat(L"x", 88)).substr(0, 4),
                  "0,88");
        // Octal digits still give a character.
        EXPECT_EQ(Spans(rpattern(L"a\\101", noflags, mode), L"aA"), "0,2");
    }
}

TEST(HostilePatterns, BackReferencesAndLeadingRunsStayLinear)
{
    const std::size_t big = 2'000'000;
    RunTimed(
        {
            {L"(a*)\\1$", std::wstring(big, L'a'), "0,2000000 0,1000000"},
            {L"\\w+@", std::wstring(100'000, L'a') + L"!@", "nomatch"},
            {L"\\w+@", std::wstring(100'000, L'a') + L"!a@", "100001,100003"},
            {L"[a-z]+?\\d", std::wstring(100'000, L'a') + L"!b1", "100001,100003"},
            {L"a+b", std::wstring(100'000, L'a') + L"cab", "100001,100003"},
        },
        5.0);
}

}  // namespace
