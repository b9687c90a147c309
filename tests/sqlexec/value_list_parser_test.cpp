// Value and assignment lists rewritten into "?" parameters: which values become parameters, what
// they hold, and that everything else passes through as written.
#include "sqlexec/value_list_parser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using automation::SafeArray;
using automation::Variant;
using SQLExecutor::ValueListParser;

struct Expected {
    std::wstring text;
    std::vector<Variant> parameters;
};

Variant Bytes(std::vector<std::uint8_t> bytes)
{
    return Variant(SafeArray(std::move(bytes)));
}

void ExpectParsed(const ValueListParser& parser, const Expected& expected)
{
    EXPECT_EQ(parser.GetText(), expected.text);
    ASSERT_EQ(parser.GetParameters().size(), expected.parameters.size());
    for (size_t i = 0; i < expected.parameters.size(); ++i) {
        const auto& actual = parser.GetParameters()[i];
        EXPECT_TRUE(actual.value == expected.parameters[i]) << "parameter " << i;
        const size_t size = actual.value.IsByteArray() ? actual.value.parray().size()
                                                       : actual.value.bstrVal().size();
        EXPECT_EQ(actual.size, size) << "parameter " << i;
    }
}

TEST(ValueListParser, ValuesBecomeParametersOnlyWhenEncoded)
{
    struct Case {
        bool assignments;  // an UPDATE's SET list rather than an INSERT's value list
        const wchar_t* list;
        Expected expected;
    };
    const Case cases[] = {
        // A number, then a chr() code joined to a quoted text: one text parameter "Ab".
        {false, L"1, chr(65) & \"b\"", {L"1, ?", {Variant(L"Ab")}}},
        // Codes in any case, blanks around "&", several codes in one expression.
        {false, L"CHR(13)&chr(10) & \"x\"", {L"?", {Variant(L"\r\nx")}}},
        // A quoted text without any code stays as written, its doubled quote included.
        {false, L"\"a\"\"b\", 2", {L"\"a\"\"b\",  2", {}}},
        // Quoted runs joined without codes become one quoted text.
        {false, L"\"x\" & \"y\"", {L"\"xy\"", {}}},
        // A doubled quote inside a run becomes one quote in the parameter.
        {false, L"\"say \"\"hi\"\"\" & chr(9)", {L"?", {Variant(L"say \"hi\"\t")}}},
        // Quote characters given as codes are not mistaken for doubled quotes.
        {false, L"chr(34) & chr(34)", {L"?", {Variant(L"\"\"")}}},
        // A base64 literal becomes binary data.
        {false, L"base64(\"AAEC\")", {L"?", {Bytes({0, 1, 2})}}},
        // Blanks inside the literal (its line breaks, joined into spaces) are skipped.
        {false, L"7, BASE64(\"AAEC AwQF \") , NULL", {L"7, ?,  NULL", {Bytes({0, 1, 2, 3, 4, 5})}}},
        // A literal at the very end of the list, with blanks after it.
        {false, L"base64(\"AQ==\")   ", {L"?", {Bytes({1})}}},
        // An empty literal is an empty array.
        {false, L"base64(\"\"), 1", {L"?,  1", {Bytes({})}}},
        // Plain values keep their leading blanks after the ", " that joins the values.
        {false, L"#01/02/2020#, -1.5,  NULL", {L"#01/02/2020#,  -1.5,   NULL", {}}},
        // A plain value keeps the commas inside its strings and parentheses.
        {false,
         L"Left(\"a,b\", 1), 'c,d', chr(1)",
         {L"Left(\"a,b\", 1),  'c,d', ?", {Variant(L"\x01")}}},
        // Codes beyond one UTF-16 unit, empty codes and open codes are not codes.
        {false, L"chr(65536), chr(), chr(12", {L"chr(65536),  chr(),  chr(12", {}}},
        // A high and a low surrogate make one character.
        {false, L"chr(55357) & chr(56832)", {L"?", {Variant(std::wstring(1, wchar_t(0x1F600)))}}},
        // Something after a literal other than a comma: the value is taken plainly.
        {false, L"base64(\"AA==\") & \"x\", 2", {L"base64(\"AA==\") & \"x\",  2", {}}},
        // An unterminated literal is taken plainly.
        {false, L"base64(\"AA==", {L"base64(\"AA==", {}}},
        // A text expression followed by something else is taken plainly.
        {false, L"\"a\" & chr(1) + 1", {L"\"a\" & chr(1) + 1", {}}},
        // A trailing comma keeps its empty value, so the statement keeps its shape.
        {false, L"1,", {L"1, ", {}}},
        {false, L"", {L"", {}}},
        // Assignments keep their targets; an "=" inside a quoted value starts nothing.
        {true, L"[a]=chr(65), [b]=2", {L"[a]=?, [b]=2", {Variant(L"A")}}},
        {true,
         L"  [a] = \"x\" & chr(10), [c]=base64(\"AAEC\")",
         {L"[a] =?, [c]=?", {Variant(L"x\n"), Bytes({0, 1, 2})}}},
        {true, L"[s]=\"p=q\", [t]=chr(1)", {L"[s]=\"p=q\", [t]=?", {Variant(L"\x01")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "list: " << c.list);
        ValueListParser parser;
        if (c.assignments)
            EXPECT_TRUE(parser.ParseAssignments(c.list));
        else
            parser.ParseValues(c.list);
        ExpectParsed(parser, c.expected);
    }
}

// A literal that is not base64 would be decoded into whatever bytes the stray characters leave
// (or none) and stored as if it were the data: it fails its statement instead, naming it.
TEST(ValueListParser, InvalidBase64IsAnErrorNamingTheLiteral)
{
    const std::wstring longLiteral(100, L'%');
    const struct {
        std::wstring list;
        std::wstring error;  // empty: valid
    } cases[] = {
        {L"base64(\"!!!not base64!!!\")", L"base64(\"!!!not base64!!!\")"},
        {L"1, base64(\"A\")", L"base64(\"A\")"},
        {L"base64(\"%%%%\")", L"base64(\"%%%%\")"},
        {L"base64(\"AA=A\")", L"base64(\"AA=A\")"},
        {L"base64(\"A===\")", L"base64(\"A===\")"},
        {L"base64(\"AAE\x0141\")", L"base64(\"AAE\x0141\")"},  // Ł's low byte is "A"
        // The first bad literal is named; a long one is cut short.
        {L"base64(\"" + longLiteral + L"\"), base64(\"#\")",
         L"base64(\"" + longLiteral.substr(0, 40) + L"...\")"},
        // Blanks and line breaks of the writer, padding and the empty literal are fine.
        {L"base64(\"AAEC\r\nAw==\"), base64(\"\t AA== \"), base64(\"\")", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "list: " << c.list);
        ValueListParser parser;
        parser.ParseValues(c.list);
        EXPECT_EQ(parser.GetError(),
                  c.error.empty() ? L"" : L"The value " + c.error + L" is not valid base64.");
    }
    // An UPDATE's list is read the same way.
    ValueListParser assignments;
    EXPECT_TRUE(assignments.ParseAssignments(L"[a]=1, [b]=base64(\"A\")"));
    EXPECT_EQ(assignments.GetError(), L"The value base64(\"A\") is not valid base64.");
}

TEST(ValueListParser, AssignmentWithoutEqualsCannotBeRebuilt)
{
    ValueListParser parser;
    EXPECT_FALSE(parser.ParseAssignments(L"[a]=chr(65), [b] chr(66)"));
    EXPECT_FALSE(parser.ParseAssignments(L"[a]=chr(65),"));
}

}  // namespace
