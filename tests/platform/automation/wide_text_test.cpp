// UTF-8 and UTF-16 at the edges: surrogate pairs, malformed input, replacement.
#include "platform/automation/wide_text.h"

#include <gtest/gtest.h>

namespace automation {
namespace {

struct Utf8Case {
    std::string utf8;
    std::wstring wide;
};

TEST(WideText, Utf8DecodesAndReplacesMalformedSequences)
{
    const Utf8Case cases[] = {
        {"", L""},
        {"abc", L"abc"},
        {"\xC3\xA9", L"\u00E9"},
        {"\xE2\x82\xAC", L"\u20AC"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {"\xF4\x8F\xBF\xBF", L"\U0010FFFF"},
        {"a\x80z", L"a\uFFFDz"},  // stray continuation byte
        {"\xC3", L"\uFFFD"},      // truncated at the end
        {"\xC3z", L"\uFFFDz"},    // truncated before an ASCII byte
        // One U+FFFD per maximal ill-formed subpart (Unicode's recommended practice).
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                      // overlong "/"
        {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xE2\x82", L"\uFFFD"},                            // truncated three-byte form
        {"\xF0\x9F\x98z", L"\uFFFDz"},
        {"\xFF", L"\uFFFD"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FromUtf8(c.utf8), c.wide) << "input of " << c.utf8.size() << " bytes";
}

TEST(WideText, Utf8EncodesScalarValuesAndReplacesTheRest)
{
    EXPECT_EQ(ToUtf8(L"a\u00E9\u20AC\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
    const std::wstring all = L"x\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
    EXPECT_EQ(FromUtf8(ToUtf8(all)), all);
}

TEST(WideText, Utf16CombinesSurrogatePairsAndReplacesLoneOnes)
{
    EXPECT_EQ(ToUtf16(L"A\U0001F600"), std::u16string(u"A\xD83D\xDE00"));
    EXPECT_EQ(ToUtf16(L"\U0010FFFF"), std::u16string(u"\xDBFF\xDFFF"));
    EXPECT_EQ(FromUtf16(u"A\xD83D\xDE00"), L"A\U0001F600");
    EXPECT_EQ(FromUtf16(u"\xD83D"), L"\uFFFD");              // high surrogate at the end
    EXPECT_EQ(FromUtf16(u"\xD83Dx"), L"\uFFFDx");            // high surrogate before a letter
    EXPECT_EQ(FromUtf16(u"\xDE00\xD83D"), L"\uFFFD\uFFFD");  // pair in the wrong order
    EXPECT_EQ(ToUtf16(std::wstring(1, static_cast<wchar_t>(0xDC00))), std::u16string(u"\xFFFD"));
}

}  // namespace
}  // namespace automation
