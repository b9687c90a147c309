// Splits Access SQL text into tokens. Tokens are spans of the text (no copies), so
// that a script of a million INSERT statements costs no allocation per token; the
// parser decodes a token's text only where a node needs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace provider::sql {

enum class TokenKind : uint8_t {
    End,
    Name,        // plain identifier or keyword
    QuotedName,  // [name]
    String,      // 'text' or "text"
    Number,
    Date,  // #...#
    Question,
    LParen,
    RParen,
    Comma,
    Dot,
    Semicolon,
    Star,
    Plus,
    Minus,
    Slash,
    Backslash,
    Caret,
    Ampersand,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    // Text that cannot start a token, or a string, date or bracket that never closes.
    BadCharacter,
    UnclosedString,
    UnclosedDate,
    UnclosedName,
};

// Words with a meaning to the parser. Plain identifiers that are no keyword get None.
enum class Keyword : uint8_t {
    None,
    Action,
    Add,
    All,
    Allow,
    Alter,
    And,
    As,
    Asc,
    Between,
    By,
    Cascade,
    Check,
    Column,
    Comp,
    Compression,
    Constraint,
    Create,
    Default,
    Delete,
    Deny,
    Desc,
    Disallow,
    Distinct,
    DistinctRow,
    Drop,
    Eqv,
    Exists,
    False,
    Foreign,
    From,
    Group,
    Having,
    Ignore,
    In,
    Index,
    Inner,
    Insert,
    Into,
    Is,
    Join,
    Key,
    Left,
    Length,
    Like,
    Link,
    Mod,
    No,
    Not,
    Null,
    Odbc,
    Off,
    On,
    Or,
    Order,
    Outer,
    Parameters,
    Percent,
    Primary,
    Procedure,
    References,
    Right,
    Select,
    Set,
    Src,
    Table,
    To,
    Top,
    True,
    Union,
    Unique,
    Update,
    Values,
    View,
    Where,
    With,
    Xor,
    Yes,
    Zero,
};

struct Token {
    TokenKind kind = TokenKind::End;
    Keyword keyword = Keyword::None;  // Name tokens only
    uint32_t pos = 0;                 // offset of the first character
    uint32_t len = 0;                 // length in the source, quotes included
};

// Words that end an expression or a name list, so they cannot stand as plain
// (unbracketed) column names, aliases or table names.
bool IsReserved(Keyword keyword);

// Tokenizes the whole text; the last token is End (at the text's length).
void Tokenize(std::wstring_view text, std::vector<Token>& tokens);

// The text a token stands for: a name without brackets, a string without quotes and
// with doubled quotes made single, a date without the #, anything else as written.
std::wstring TokenValue(std::wstring_view text, const Token& token);

}  // namespace provider::sql
