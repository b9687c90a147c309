// The shared wide-string helpers behave as their callers (script literals, name keys, HTML
// cells, column lists) rely on.
#include "output/text_utils.h"

#include <gtest/gtest.h>

namespace {

TEST(TextUtils, ReplaceAllReplacesEveryOccurrenceOnceAndTerminates)
{
    struct Case {
        std::wstring text, find, replacement, expected;
    };
    const Case cases[] = {
        {L"a\"b", L"\"", L"\"\"", L"a\"\"b"},
        {L"\"\"", L"\"", L"\"\"", L"\"\"\"\""},
        {L"'it''s'", L"'", L"''", L"''it''''s''"},
        {L"no match", L"x", L"y", L"no match"},
        {L"", L"x", L"y", L""},
        {L"aaa", L"aa", L"b", L"ba"},                // left to right, no overlaps
        {L"x\ny\n", L"\n", L"\r\n", L"x\r\ny\r\n"},  // line ends of a saved script
        {L"abcabc", L"abc", L"", L""},
        {L"\x4E2D\x6587-\x4E2D", L"\x4E2D", L"zh", L"zh\x6587-zh"},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        ReplaceAll(text, c.find, c.replacement);
        EXPECT_EQ(text, c.expected) << "find '" << c.find.size() << "' in " << c.text.size();
    }
}

TEST(TextUtils, LowerCasingFoldsOnlyAsciiLetters)
{
    // Name-map keys: A-Z fold; accented and other letters keep their case.
    EXPECT_EQ(ToLowerCopy(L"Customers_ID [Z]"), L"customers_id [z]");
    EXPECT_EQ(ToLowerCopy(L"\x00C4\x0130\x0410"
                          L"Ab@["),
              L"\x00C4\x0130\x0410"
              L"ab@[");
    std::wstring text = L"ORDER Details";
    ToLowerInPlace(text);
    EXPECT_EQ(text, L"order details");
    EXPECT_EQ(ToLowerCopyFromText(L"MiXeD"), L"mixed");
    EXPECT_EQ(ToLowerCopyFromText(nullptr), L"");
}

TEST(TextUtils, TrimRemovesBlanksTabsAndLineEndsAtBothEnds)
{
    struct Case {
        std::wstring text, expected;
    };
    const Case cases[] = {
        {L" \tx \r\n", L"x"},     {L"\r\n", L""},           {L"", L""}, {L"a b", L"a b"},
        {L"\n\ta\tb\r", L"a\tb"}, {L"\v x \f", L"\v x \f"},  // only blank, tab, CR and LF are
                                                             // trimmed
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        Trim(text);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(TextUtils, HtmlEscapeTextMakesCellTextSafe)
{
    struct Case {
        std::wstring text, expected;
    };
    const Case cases[] = {
        {L"\t", L" "},
        {L"&nbsp;", L"&amp;nbsp;"},
        {L"<b>x</b>", L"&lt;b&gt;x&lt;/b&gt;"},
        {L"a\r\nb\x01", L"a  b "},
        {L"say \"hi\" 'x'", L"say \"hi\" 'x'"},
        {L"plain text", L"plain text"},
        {L"\x00E9\x4E2D", L"\x00E9\x4E2D"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring text = c.text;
        HtmlEscapeText(text);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(TextUtils, IsBlankTextAcceptsOnlyControlsAndBlanks)
{
    EXPECT_TRUE(IsBlankText(L""));
    EXPECT_TRUE(IsBlankText(L" \t\r\n\x01\x1F "));
    EXPECT_FALSE(IsBlankText(L"  x "));
    EXPECT_FALSE(IsBlankText(L"\x00A0"));  // no-break space is above 32
}

TEST(TextUtils, SplitGivesThePiecesBetweenSeparators)
{
    using Pieces = std::vector<std::wstring>;
    struct Case {
        std::wstring text, separator;
        Pieces expected;
    };
    const Case cases[] = {
        {L"a,b,c", L",", {L"a", L"b", L"c"}},
        {L"a", L",", {L"a"}},
        {L"a,", L",", {L"a"}},
        {L"a,,b", L",", {L"a", L"", L"b"}},
        {L",a", L",", {L"", L"a"}},
        {L"[x], [y]", L", ", {L"[x]", L"[y]"}},
        {L"", L",", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Split(c.text, c.separator), c.expected) << c.text.size();
}

}  // namespace
