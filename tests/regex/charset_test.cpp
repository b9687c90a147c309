// Bracket expressions and escape classes: membership with and without folding.
#include "regex/charset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using regex::detail::custom_charset;

custom_charset Parse(const std::wstring& body, regex::pattern_flags flags = regex::noflags)
{
    custom_charset set;
    regex::perl_syntax syntax(flags);
    const wchar_t* pos = body.data();
    regex::detail::parse_charset(set, pos, body.data() + body.size(), syntax);
    EXPECT_EQ(pos, body.data() + body.size()) << "set must end after its ']'";
    return set;
}

struct SetCase {
    const wchar_t* body; // text after the '['
    regex::pattern_flags flags;
    const wchar_t* members;
    const wchar_t* non_members;
};

TEST(Charset, MembershipFollowsTheBracketExpression)
{
    using namespace regex;
    const SetCase cases[] = {
        {L"a-]", noflags, L"a-", L"b]"},
        {L"-a]", noflags, L"-a", L"b"},
        {L"a-\\d]", noflags, L"a-09", L"b"},
        {L"]a]", noflags, L"]a", L"b"},
        {L"^]a]", noflags, L"bc", L"]a"},
        {L"[:alpha:][:^digit:]]", noflags, L"aZ!\u00e9 ", L"05"},
        {L"a-c]", ignore_case, L"abcABC", L"dD"},
        {L"\\x414]", noflags, L"A4", L"1x"},
        {L"\\n]", noflags, L"n", L"\n"},
        {L"\\n]", unescape_text, L"\n", L"n"},
        {L"\\W]", noflags, L" !-", L"a_9"},
        {L"^\\w]", noflags, L" !-\u2014", L"a_9\u4e00"},
        {L"^\\d]", noflags, L"a\U0010FFFF\u0100", L"7"},
        {L"\\D\\s]", noflags, L"a ", L"7"},
        {L"\u0100-\u0110\u0105-\u0120]", noflags, L"\u0100\u0111\u0120", L"\u0121\u00ff"},
        {L"^a]", noflags, L"\U0010FFFF\u0101", L"a"},
        {L"^\u0100]", noflags, L"\U0010FFFF\u0101", L"\u0100"},
        {L"[:upper:]]", ignore_case, L"aA\u00e9", L"1"},
        {L"\\e\\cA\\b]", noflags, L"\x1b\x01\x08", L"eb"},
        {L"\\101]", noflags, L"A", L"1"},
        {L"a\\-z]", noflags, L"a-z", L"b"},
        {L"a-b-d]", noflags, L"ab-d", L"c"},
    };
    for (const SetCase& c : cases) {
        const custom_charset set = Parse(c.body, c.flags);
        const bool nocase = (c.flags & ignore_case) != 0;
        for (const wchar_t* m = c.members; *m; ++m)
            EXPECT_TRUE(nocase ? set.contains_nocase(*m) : set.contains(*m))
                << "[" << std::wstring(c.body).size() << "] member " << int(*m);
        for (const wchar_t* m = c.non_members; *m; ++m)
            EXPECT_FALSE(nocase ? set.contains_nocase(*m) : set.contains(*m))
                << "non-member " << int(*m);
    }
}

TEST(Charset, CaseFoldingAbove127MatchesTheAtoms)
{
    // U+00E9 and U+00C9 are one letter in two cases; U+00FF's upper case is U+0178.
    const custom_charset e_acute = Parse(L"\u00e9]", regex::ignore_case);
    EXPECT_TRUE(e_acute.contains_nocase(L'\u00c9'));
    const custom_charset y_diaeresis = Parse(L"\u00ff]", regex::ignore_case);
    EXPECT_TRUE(y_diaeresis.contains_nocase(L'\u0178'));
    const custom_charset capital_y = Parse(L"\u0178]", regex::ignore_case);
    EXPECT_TRUE(capital_y.contains_nocase(L'\u00ff'));
    const custom_charset omega = Parse(L"\u03a9]", regex::ignore_case);
    EXPECT_TRUE(omega.contains_nocase(L'\u03c9'));
}

TEST(Charset, EscapeSetsClassifyWithoutTheProcessLocale)
{
    using regex::detail::intrinsic_charsets;
    EXPECT_TRUE(intrinsic_charsets::word().contains(L'_'));
    EXPECT_TRUE(intrinsic_charsets::word().contains(L'\u00e9'));
    EXPECT_FALSE(intrinsic_charsets::word().contains(L'-'));
    EXPECT_TRUE(intrinsic_charsets::space().contains(L'\v'));
    EXPECT_TRUE(intrinsic_charsets::space().contains(L'\u3000'));
    EXPECT_FALSE(intrinsic_charsets::digit().contains(L'a'));
    EXPECT_TRUE(intrinsic_charsets::not_digit().contains(L'\U0010FFFF'));
}

TEST(Charset, MalformedSetsRaiseTheirMessages)
{
    const struct {
        const wchar_t* body;
        const char* message;
    } cases[] = {
        {L"z-a]", "invalid range specified in character set"},
        {L"abc", "expecting end of character set"},
        {L"[:alpha:", "expecting end of character set"},
        {L"\\", "expecting end of character set"},
        {L"\\x4", "expecting end of character set"},
        {L"", "expecting end of character set"},
    };
    for (const auto& c : cases) {
        try {
            Parse(c.body);
            ADD_FAILURE() << "no error for " << std::wstring(c.body).size();
        } catch (const regex::bad_regexpr& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

} // namespace
