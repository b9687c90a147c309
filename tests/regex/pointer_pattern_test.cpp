// The pointer build: the same patterns over subjects given as pointers,
// bounded by an end pointer or ended by a NUL, in both matching modes.
#include "regex/pointer_pattern.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <sstream>
#include <string>

namespace {

using regex::detail::pointer_pattern;

std::string Spans(bool matched, const pointer_pattern::records& r, const wchar_t* base)
{
    if (!matched)
        return "nomatch";
    std::ostringstream out;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (i)
            out << ' ';
        if (r[i].matched)
            out << (r[i].first - base) << ',' << (r[i].second - base);
        else
            out << '-';
    }
    return out.str();
}

TEST(PointerPattern, BoundedAndNulEndedSubjectsInBothModes)
{
    const struct {
        const wchar_t* pattern;
        const wchar_t* subject; // NUL-terminated; the bounded run ends at the NUL too
        const char* expected;
    } cases[] = {
        {L"b+", L"abbbc", "1,4"},
        {L"(a|b)*c", L"xababc", "1,6 4,5"},
        {L"c$", L"abc", "2,3"},
        {L"c\\Z", L"abc\n", "2,3"},
        {L"c\\z", L"abc\n", "nomatch"},
        {L"x*$", L"ab", "2,2"},
        {L".+", L"ab\ncd", "0,2"},
        {L"(\\w)\\1", L"abccd", "2,4 2,3"},
        {L"a{2,3}?", L"aaaa", "0,2"},
        {L"(?:ab)+?c", L"ababc", "0,5"},
        {L"\\bcd\\b", L"ab cd", "3,5"},
        {L"(?<=b)c", L"abc", "2,3"},
        {L"(?<![ab])c", L"abcxc", "4,5"},
        {L"c(?=d)", L"cxcd", "2,3"},
        {L"c(?!$)", L"cxc", "0,1"},
        {L"(?>a+)b", L"aab", "0,3"},
        {L"(a)?(?(1)b|c)", L"xc", "1,2 -"},
        {L"\\((?:[^()]|(?R))*\\)", L"(a(b))", "0,6"},
    };
    for (regex::match_mode mode : {regex::mode_recursive, regex::mode_explicit_stack})
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " "
                                            << testing::PrintToString(std::wstring(c.pattern)));
            const pointer_pattern p(c.pattern, regex::noflags, mode);
            pointer_pattern::records r;
            const wchar_t* end = c.subject + std::wcslen(c.subject);
            EXPECT_EQ(Spans(p.match(c.subject, end, r), r, c.subject), c.expected);
            EXPECT_EQ(Spans(p.match(c.subject, r), r, c.subject), c.expected) << "NUL-ended";
        }
}

TEST(PointerPattern, TheNulEndsTheSubjectAndIsNeverPassed)
{
    const wchar_t subject[] = L"ab\0cd";
    for (regex::match_mode mode : {regex::mode_recursive, regex::mode_explicit_stack}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        pointer_pattern::records r;
        const pointer_pattern cd(L"cd", regex::noflags, mode);
        EXPECT_FALSE(cd.match(subject, r));
        EXPECT_TRUE(cd.match(subject, subject + 5, r)); // a bounded range may hold a NUL
        EXPECT_EQ(r[0].first - subject, 3);
        const pointer_pattern any(L"[^x]*", regex::noflags, mode);
        ASSERT_TRUE(any.match(subject, r));
        EXPECT_EQ(r[0].second - subject, 2);
        const pointer_pattern at_end(L"b$", regex::noflags, mode);
        EXPECT_TRUE(at_end.match(subject, r));
        const pointer_pattern right(L"\\w", regex::search_from_right, mode);
        ASSERT_TRUE(right.match(subject, r));
        EXPECT_EQ(r[0].first - subject, 1);
    }
    EXPECT_THROW(pointer_pattern(L"(a"), regex::bad_regexpr);
}

} // namespace
