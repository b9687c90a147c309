// Tokens of Access SQL: quoting rules, operators and the unclosed forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/provider/sql/tokenizer.h"

namespace provider::sql {
namespace {

struct TokenCase {
    std::wstring text;
    std::vector<TokenKind> kinds;  // without the final End
};

TEST(AccessSqlTokenizer, SplitsTextIntoTheTokenKindsAccessKnows)
{
    using K = TokenKind;
    const TokenCase cases[] = {
        {L"SELECT [My Field], x FROM t;",
         {K::Name, K::QuotedName, K::Comma, K::Name, K::Name, K::Name, K::Semicolon}},
        {L"'it''s' \"say \"\"hi\"\"\"", {K::String, K::String}},
        {L"#12/31/1999 10:00:00# 12 1.5 .5 1e10 2E-3",
         {K::Date, K::Number, K::Number, K::Number, K::Number, K::Number}},
        {L"a<>b<=c>=d<e>f=g",
         {K::Name, K::NotEqual, K::Name, K::LessEqual, K::Name, K::GreaterEqual, K::Name, K::Less,
          K::Name, K::Greater, K::Name, K::Equal, K::Name}},
        {L"a&b+c-d*e/f\\g^h?",
         {K::Name, K::Ampersand, K::Name, K::Plus, K::Name, K::Minus, K::Name, K::Star, K::Name,
          K::Slash, K::Name, K::Backslash, K::Name, K::Caret, K::Name, K::Question}},
        {L"t.[c]", {K::Name, K::Dot, K::QuotedName}},
        {L"[[f].ValidationRule]", {K::QuotedName}},
        {L"'open", {K::UnclosedString}},
        {L"[open", {K::UnclosedName}},
        {L"#1/1/2000", {K::UnclosedDate}},
        {L"a ~ b", {K::Name, K::BadCharacter, K::Name}},
        {L"Größe", {K::Name}},
        {L"", {}},
    };
    std::vector<Token> tokens;
    for (const auto& c : cases) {
        Tokenize(c.text, tokens);
        std::vector<TokenKind> kinds;
        for (const Token& t : tokens)
            kinds.push_back(t.kind);
        ASSERT_FALSE(kinds.empty());
        EXPECT_EQ(kinds.back(), K::End);
        kinds.pop_back();
        EXPECT_EQ(kinds, c.kinds) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(AccessSqlTokenizer, RecognisesKeywordsWithoutRegardToCase)
{
    std::vector<Token> tokens;
    Tokenize(L"select Select SELECT selects [select]", tokens);
    EXPECT_EQ(tokens[0].keyword, Keyword::Select);
    EXPECT_EQ(tokens[1].keyword, Keyword::Select);
    EXPECT_EQ(tokens[2].keyword, Keyword::Select);
    EXPECT_EQ(tokens[3].keyword, Keyword::None);
    EXPECT_EQ(tokens[4].keyword, Keyword::None);  // a bracketed name is never a keyword
}

TEST(AccessSqlTokenizer, DecodesQuotedTextAndKeepsPositions)
{
    const std::wstring text = L"  [Order Details] 'O''Brien' \"a\"\"b\" #1/2/2003#";
    std::vector<Token> tokens;
    Tokenize(text, tokens);
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[0].pos, 2u);
    EXPECT_EQ(TokenValue(text, tokens[0]), L"Order Details");
    EXPECT_EQ(TokenValue(text, tokens[1]), L"O'Brien");
    EXPECT_EQ(TokenValue(text, tokens[2]), L"a\"b");
    EXPECT_EQ(TokenValue(text, tokens[3]), L"1/2/2003");
    EXPECT_EQ(tokens[4].kind, TokenKind::End);
    EXPECT_EQ(tokens[4].pos, text.size());
}

}  // namespace
}  // namespace provider::sql
