// Patterns without back-references, conditions, recursion or look-around, whose loops keep no
// count the rest of the match could depend on, are searched with a memo of the places where a
// node failed. The memo must never change an answer: generated patterns of that kind give the
// same spans as the same pattern kept out of the class by a look-ahead that always holds, in both
// matching modes; and the shapes that made plain backtracking take a power of the subject's
// length end quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "regex/rpattern.h"
#include "spans.h"

namespace {

using namespace regex;
using regex_test::Spans;

// Random patterns from the constructs of the class: letters, sets, ".", "\s", groups of either
// kind, alternatives, atom repetitions of every form and group repetitions that cannot repeat
// an empty iteration.
class LinearPatternGenerator {
public:
    explicit LinearPatternGenerator(unsigned seed) : random_(seed) {}

    std::wstring pattern() { return alternatives(3); }
    std::wstring subject()
    {
        static const wchar_t letters[] = L"abc  x";
        std::wstring s;
        const int n = pick(24);
        for (int i = 0; i < n; ++i)
            s += letters[pick(6)];
        return s;
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

    std::wstring alternatives(int depth)
    {
        std::wstring s = sequence(depth);
        while (pick(4) == 0)
            s += L"|" + sequence(depth);
        return s;
    }
    std::wstring sequence(int depth)
    {
        std::wstring s;
        const int n = 1 + pick(4);
        for (int i = 0; i < n; ++i)
            s += item(depth);
        return s;
    }
    std::wstring item(int depth)
    {
        static const wchar_t* const atoms[] = {L"a", L"b", L"x", L"[ab]", L".", L"\\s", L"ab"};
        static const wchar_t* const atom_loops[] = {L"*", L"+", L"?", L"*?", L"+?", L"??",
                                                    L"{2}", L"{1,3}", L"{2,}", L"{0,2}?"};
        if (depth > 0 && pick(3) == 0) {
            const std::wstring open = pick(2) ? L"(" : L"(?:";
            // A body that always consumes may repeat without limit; any body may be optional.
            static const wchar_t* const group_loops[] = {L"", L"?", L"??", L"+", L"*", L"*?"};
            const std::wstring loop = group_loops[pick(6)];
            const std::wstring body = alternatives(depth - 1);
            if (loop == L"" || loop == L"?" || loop == L"??")
                return open + body + L")" + loop;
            return open + L"x" + body + L")" + loop;
        }
        if (pick(8) == 0)
            return pick(2) ? L"^" : L"$";
        std::wstring atom = atoms[pick(7)];
        if (atom == L"ab")
            atom = pick(2) ? L"ab" : L"(?:ab)";
        if (pick(2))
            atom += atom_loops[pick(10)];
        return atom;
    }

    std::mt19937 random_;
};

TEST(LinearClass, AnswersAsPlainBacktrackingOnGeneratedPatterns)
{
    LinearPatternGenerator gen(3801);
    const pattern_flags flag_sets[] = {noflags, ignore_case, repeat_match | keep_all_submatches,
                                       multi_line};
    for (int i = 0; i < 3000; ++i) {
        const std::wstring pattern = gen.pattern();
        const pattern_flags flags = flag_sets[i % 4];
        const rpattern plain(L"(?=|)" + pattern, flags, mode_recursive);
        const rpattern linear(pattern, flags, mode_recursive);
        const rpattern stepwise(pattern, flags, mode_explicit_stack);
        for (int k = 0; k < 6; ++k) {
            const std::wstring subject = gen.subject();
            const std::string expected = Spans(plain, subject);
            const std::string where = testing::PrintToString(pattern) + " on " +
                                      testing::PrintToString(subject);
            ASSERT_EQ(Spans(linear, subject), expected) << where;
            ASSERT_EQ(Spans(stepwise, subject), expected) << where;
        }
    }
}

// Shapes that take plain backtracking a power of the subject's length: each stretch retries
// every end for every end of the stretch before it. In the class they end at once.
TEST(LinearClass, StretchesBeforeAMissingEndStayLinear)
{
    const std::wstring xs(20000, L'x');
    const struct {
        const wchar_t* pattern;
        std::wstring subject;
        const char* expected;
    } cases[] = {
        {L"(.*)(.*)(.*)\\d", xs, "nomatch"},
        {L"^(.+?)a(.+?)b(.+?)c$", L"a" + xs + L"b" + xs, "nomatch"},
        {L"(x+x+)+y", xs, "nomatch"},
        {L"^(?:\\s*.*?,)*z$", L"," + std::wstring(5000, L' ') + L",", "nomatch"},
        {L"(.*?)(.*?)(\\d)", xs + L"7", "0,20001 0,0 0,20000 20000,20001"},
    };
    for (match_mode mode : {mode_recursive, mode_explicit_stack})
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " pattern "
                                            << testing::PrintToString(std::wstring(c.pattern)));
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(Spans(rpattern(c.pattern, noflags, mode), c.subject), c.expected);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            EXPECT_LT(took.count(), 2.0);
        }
}

}  // namespace
