// Matching through the public pattern object: sub-match spans for patterns of
// every node family, repeated matching, ranges and the depth guard. Expected
// spans follow Perl's documented semantics except where noted.
#include "regex/rpattern.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "small_stack.h"
#include "spans.h"

namespace {

using namespace regex;

using regex_test::Spans;

using regex_test::MatchCase;
using regex_test::RunCases;

TEST(RpatternAtoms, CharactersLiteralsSetsAndBackReferences)
{
    const MatchCase cases[] = {
        {L"abc", noflags, L"xxabcx", "2,5"},
        {L"abc", noflags, L"xxabx", "nomatch"},
        {L"a.c", noflags, L"a\nc", "nomatch"},
        {L"a.c", dot_matches_newline, L"a\nc", "0,3"},
        {L"a.c", noflags, L"a\rc", "0,3"},
        {L"(?i)abc", noflags, L"xABc", "1,4"},
        {L"(x(?i)y)z", noflags, L"xYz", "0,3 0,2"},
        {L"(x(?i)y)z", noflags, L"xyZ", "nomatch"},
        {L"\\d+", noflags, L"ab123c", "2,5"},
        {L"[^\\d\\s]+", noflags, L"12 ab3", "3,5"},
        {L"\\w+", noflags, L"  foo_1!", "2,7"},
        {L"(a)\\1", ignore_case, L"aA", "0,2 0,1"},
        {L"(a)|b\\1", noflags, L"b", "nomatch"},
        {L"(a*)b\\1", noflags, L"b", "0,1 0,0"},
        {L"\\x41\\x42", noflags, L"AB", "0,2"},
        {L"\\x414", noflags, L"A4", "0,2"},
        {L"\\cA\\e", noflags, L"\x01\x1b", "0,2"},
        {L"\\101", noflags, L"A", "0,1"},
        {L"(a)\\10", noflags, L"a\x08", "0,2 0,1"},
        {L"\\Qa.b\\E", noflags, L"xa.b", "1,4"},
        {L"\\Qa.b", noflags, L"a.b", "0,3"},
        {L"[a-c]", ignore_case, L"xB", "1,2"},
        {L"[^a-c]+", ignore_case, L"BxD", "1,3"},
        {L"[[:lower:]]+", ignore_case, L"aBc", "0,3"},
        {L"[[:^lower:]]", ignore_case, L"aB1", "2,3"},
        {L"[\\W_]+", ignore_case, L"ab_-c", "2,4"},
        {L"[à-é]+", ignore_case, L"xÀÉê", "1,3"},
        {L"caf\u00e9", ignore_case, L"CAF\u00c9", "0,4"},
        {L"\u00ff", ignore_case, L"\u0178", "0,1"},
        {L"\\1(a)", noflags, L"a", "nomatch"},
        {L"(?:a)(b)\\1", noflags, L"abb", "0,3 1,2"},
        {L"(?#note)abc", noflags, L"abc", "0,3"},
        {L"(?:)abc", noflags, L"abc", "0,3"},
        {L"a b c", free_spacing, L"abc", "0,3"},
        {L"a b # c\n d", free_spacing, L"abd", "0,3"},
        {L"(?x) a b", noflags, L"ab", "0,2"},
        // Without unescape_text \n and \t stand for the letters themselves.
        {L"\\n\\t", noflags, L"nt", "0,2"},
        {L"\\n\\t", unescape_text, L"\n\t", "0,2"},
        // \12 is octal while no group opened so far has the number 12; hidden
        // groups and the whole pattern's group 0 count too.
        {L"(?:x)(?:x)(?:x)(?:x)(?:x)(?:x)(?:x)(?:x)(?:x)(?:x)(a)\\12", noflags,
         L"xxxxxxxxxxa\n", "0,12 10,11"},
        {L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)\\12", noflags, L"abcdefghijkll",
         "0,13 0,1 1,2 2,3 3,4 4,5 5,6 6,7 7,8 8,9 9,10 10,11 11,12"},
        {L"a\\", noflags, L"a\\", "0,2"},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(RpatternAssertions, AnchorsAndWordBoundaries)
{
    const MatchCase cases[] = {
        {L"^abc", noflags, L"xabc", "nomatch"},
        {L"^abc", multi_line, L"x\nabc", "2,5"},
        {L"a^b", noflags, L"ab", "nomatch"},
        {L"abc$", noflags, L"abc\n", "0,3"},
        {L"abc$", noflags, L"abc\nx", "nomatch"},
        {L"c$", multi_line, L"abc\nx", "2,3"},
        {L"$", noflags, L"ab\n", "2,2"},
        {L"^", multi_line | repeat_match | keep_whole_matches, L"a\nb\n", "0,0 2,2 4,4"},
        {L"\\Aa", multi_line, L"b\na", "nomatch"},
        {L"a\\Z", noflags, L"a\n", "0,1"},
        {L"a\\z", noflags, L"a\n", "nomatch"},
        {L"\\bfoo\\b", noflags, L"a foo.", "2,5"},
        {L"\\bfoo\\b", noflags, L"afoo_foo", "nomatch"},
        {L"\\Boo\\B", noflags, L"foox", "1,3"},
        {L"\\b", repeat_match | keep_whole_matches, L"ab", "0,0 2,2"},
        {L"\\B", repeat_match | keep_whole_matches, L"ab", "1,1"},
        {L"^a", noflags, L"ab", "0,1"},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(RpatternGroups, AlternativesCapturesAndRestores)
{
    const MatchCase cases[] = {
        {L"(a|ab)(c|bcd)(d*)", noflags, L"abcd", "0,4 0,1 1,4 4,4"},
        {L"(a|ab)c", noflags, L"abc", "0,3 0,2"},
        {L"(?:a|b)+", noflags, L"abba", "0,4"},
        {L"(a)|b", noflags, L"b", "0,1 -"},
        {L"^A(B)?$", ignore_case, L"a", "0,1 -"},
        {L"(a)x|ay", noflags, L"ay", "0,2 -"},
        {L"((a)|b)+", noflags, L"ab", "0,2 1,2 0,1"},
        {L"(b|c|d)", noflags, L"xxd", "2,3 2,3"},
        {L"()", noflags, L"x", "0,0 0,0"},
        {L"a|", noflags, L"b", "0,0"},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(RpatternQuantifiers, GreedyLazyCountsAndEmptyIterations)
{
    const MatchCase cases[] = {
        {L"a{2,3}", noflags, L"aaaa", "0,3"},
        {L"a{2,}", noflags, L"aaaaa", "0,5"},
        {L"a{,3}", noflags, L"aaaa", "0,3"},
        {L"xa{}", noflags, L"xa", "0,1"},
        {L"a{2", noflags, L"a{2", "0,3"},
        {L"x{a}", noflags, L"x{a}", "0,4"},
        {L"a{2,3}?", noflags, L"aaaa", "0,2"},
        {L"ab*?", noflags, L"abbb", "0,1"},
        {L"ab+?", noflags, L"abbb", "0,2"},
        {L"ab??c", noflags, L"abc", "0,3"},
        {L"abc+", noflags, L"abccc", "0,5"},
        {L"abc+", noflags, L"ababc", "2,5"},
        {L"(ab)+", noflags, L"ababab", "0,6 4,6"},
        {L"(ab)+?", noflags, L"ababab", "0,2 0,2"},
        {L"(a)*", noflags, L"aaa", "0,3 2,3"},
        {L"(a|b)*c", noflags, L"abac", "0,4 2,3"},
        {L"(a+|b+)*c", noflags, L"aabbc", "0,5 2,4"},
        {L"(a*)*b", noflags, L"aaab", "0,4 3,3"},
        {L"(a|)*b", noflags, L"aab", "0,3 2,2"},
        {L"(a*)+", noflags, L"aaa", "0,3 3,3"},
        {L"(?:a?)*?b", noflags, L"aab", "0,3"},
        {L"(abc)*?d", noflags, L"abcabcd", "0,7 3,6"},
        {L"(a)\\1*", noflags, L"aaaa", "0,4 0,1"},
        {L"()\\1*x", noflags, L"x", "0,1 0,0"},
        {L"[ab]{3}", noflags, L"abxaba", "3,6"},
        {L"(?:ab){2}", noflags, L"abab", "0,4"},
        // One empty iteration does not end a loop below its minimum: the
        // minimum is still reached through it. Two in a row end any loop.
        {L"^(?:(?=c)c?){2}d", noflags, L"cdc", "0,2"},
        {L"(?:(?=c).*){2}", noflags, L"c", "0,1"},
        {L"^((?(1)x)){2}$", noflags, L"", "nomatch"},
        // ... even below the minimum: two empty passes leave the loop at 2.
        {L"^(?:a|(?=b)|(b)){3}$", noflags, L"b", "nomatch"},
        {L"^(?:a|(?=b)|(b)){2}$", noflags, L"b", "0,1 0,1"},
        {L"(?:a?){5}", noflags, L"", "0,0"},
        // A quantified group keeps its last capture even when a later
        // iteration of an enclosing loop repeats it zero times (perl forgets it).
        {L"(?:(a)*x)*", noflags, L"axx", "0,3 0,1"},
        // A count beyond 32 bits stays a huge count rather than wrapping to 0.
        {L"a{4294967296}", noflags, L"a", "nomatch"},
        {L"xa{0,4294967296}", noflags, L"xaaa", "0,4"},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(RpatternRepeat, RepeatedMatchingKeepsWhatTheFlagsAsk)
{
    const MatchCase cases[] = {
        {L"a", repeat_match | keep_whole_matches, L"aaa", "0,1 1,2 2,3"},
        {L"\\d+", repeat_match, L"a1b22c333", "6,9"},
        {L"\\d+", repeat_match | keep_whole_matches, L"a1b22", "1,2 3,5"},
        {L"x*", repeat_match | keep_whole_matches, L"axb", "0,0 1,2 2,2 3,3"},
        {L"(a)(b)?", repeat_match | keep_all_submatches, L"aab", "0,1 0,1 - 1,3 1,2 2,3"},
        // The latest successful attempt's records survive the final failing attempt.
        {L"(\\w)(\\d)?", repeat_match, L"ab1!", "1,3 1,2 2,3"},
        {L"^\\w", repeat_match | keep_whole_matches, L"ab", "0,1"},
        // An empty iteration ends the loop, as in perl: no second iteration
        // follows it.
        {L"(|ab){0,2}", repeat_match | keep_all_submatches, L"ab", "0,0 0,0 0,2 2,2 2,2 2,2"},
        // The back-reference after an alternative of unbounded width is still
        // tied to its group: it cannot match while group 1 is unset.
        {L"(?:|(-+b)|-\\1)+", repeat_match | keep_whole_matches, L"-", "0,0 1,1"},
        {L"a+", search_from_right, L"aaxaa", "4,5"},
        {L"^a", search_from_right, L"aa", "0,1"},
        // Repeated matching from the right ends after an empty match instead
        // of finding it again and again.
        {L"x*", search_from_right | repeat_match | keep_whole_matches, L"ab", "2,2"},
        {L"^", search_from_right | multi_line | repeat_match | keep_whole_matches, L"a\nb", "2,2"},
        {L"b", search_from_right | repeat_match | keep_whole_matches, L"abab", "3,4"},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(RpatternInterface, RangesRecordsAndErrors)
{
    const std::wstring subject = L"abcde";
    rpattern letters(L"[a-e]+");
    EXPECT_EQ(Spans(letters, subject, 2, 100), "2,5");
    EXPECT_EQ(Spans(letters, subject, 1, 2), "1,3");
    EXPECT_EQ(Spans(letters, subject, 5), "nomatch");
    EXPECT_EQ(Spans(letters, subject, 7), "nomatch");  // beyond the end: nothing is read

    // The results point into the subject, so each subject outlives the results read from it.
    rpattern two(L"(a)(b)");
    match_results results;
    const std::wstring ab = L"ab";
    ASSERT_TRUE(two.match(ab, results).matched);
    EXPECT_EQ(results.backref(2).str(), L"b");
    EXPECT_THROW(results.backref(7), std::out_of_range);

    rpattern optional(L"^A(B)?$", ignore_case | repeat_match);
    const std::wstring a = L"a";
    ASSERT_TRUE(optional.match(a, results).matched);
    EXPECT_FALSE(results.backref(1).matched);
    EXPECT_EQ(results.backref(1).str(), L"");

    rpattern never(L"x(y)");
    const std::wstring abc = L"abc";
    const auto& r = never.match(abc, results);
    EXPECT_FALSE(r.matched);
    EXPECT_EQ(&r, &backref_tag<std::wstring::const_iterator>::never_matched());
    EXPECT_EQ(results.cbackrefs(), 2u);
}

// Re-initialising compiles the new pattern whole before it takes the old
// one's place: a pattern that fails to compile leaves the old one working.
TEST(RpatternInterface, ReinitialisingReplacesThePatternOnlyWhenTheNewOneCompiles)
{
    rpattern p(L"a(b)");
    p.init(L"x+(y)", ignore_case, mode_explicit_stack);
    EXPECT_EQ(Spans(p, L"aXXY"), "1,4 3,4");
    EXPECT_EQ(p.cgroups(), 2u);
    EXPECT_EQ(p.flags(), ignore_case);
    EXPECT_EQ(p.mode(), mode_explicit_stack);

    EXPECT_THROW(p.init(L"(unclosed(z)"), bad_regexpr);
    EXPECT_EQ(Spans(p, L"xy"), "0,2 1,2");
    EXPECT_EQ(p.cgroups(), 2u);
    EXPECT_EQ(p.flags(), ignore_case);
    EXPECT_EQ(p.mode(), mode_explicit_stack);

    p.init(L"(a)(c)", L"[$2$1]", noflags);
    EXPECT_EQ(Spans(p, L"xac"), "1,3 1,2 2,3");
    EXPECT_EQ(p.substitution(), L"[$2$1]");
    EXPECT_TRUE(p.substitution_has_references());
    EXPECT_THROW(p.init(L"a)", L"plain", noflags), bad_regexpr);
    EXPECT_EQ(p.substitution(), L"[$2$1]");
    EXPECT_EQ(Spans(p, L"ac"), "0,2 0,1 1,2");
    EXPECT_EQ(p.mode(), mode_recursive);
}

TEST(RpatternDepthGuard, ExhaustedStackBecomesNoMatchAndCatastrophicPatternsEnd)
{
    // Every iteration of a quantified group nests deeper on the machine stack.
    const std::wstring run(3'000'000, L'a');
    rpattern deep(L"(a|b)*c");
    match_results results;
    EXPECT_FALSE(deep.match(run + L"c", results).matched);
    ASSERT_EQ(results.cbackrefs(), 2u);
    EXPECT_FALSE(results.backref(0).matched);
    EXPECT_FALSE(results.backref(1).matched);
    // The process goes on and the pattern stays usable.
    EXPECT_EQ(Spans(deep, L"abc"), "0,3 1,2");

    // A worker thread with a small stack is guarded as well.
    bool matched_on_worker = true;
    regex_test::OnSmallStack([&] {
        match_results r;
        matched_on_worker = deep.match(run + L"c", r).matched;
    });
    EXPECT_FALSE(matched_on_worker);

    rpattern catastrophic(L"(a*)*b");
    EXPECT_EQ(Spans(catastrophic, std::wstring(18, L'a')), "nomatch");
    EXPECT_EQ(Spans(catastrophic, run), "nomatch");
}

}  // namespace
