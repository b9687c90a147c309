// Access SQL tokens: [bracketed] names, 'single' and "double" quoted strings with
// doubled quotes, #date# literals, numbers and the operator characters.
#include "platform/provider/sql/tokenizer.h"

#include <array>
#include <cstring>
#include <cwctype>
#include <iterator>

namespace provider::sql {

namespace {

struct KeywordEntry {
    const char* word;
    Keyword keyword;
};

// Sorted by word (strcmp order) for the binary search.
constexpr KeywordEntry kKeywords[] = {
    {"ACTION", Keyword::Action},
    {"ADD", Keyword::Add},
    {"ALL", Keyword::All},
    {"ALLOW", Keyword::Allow},
    {"ALTER", Keyword::Alter},
    {"AND", Keyword::And},
    {"AS", Keyword::As},
    {"ASC", Keyword::Asc},
    {"BETWEEN", Keyword::Between},
    {"BY", Keyword::By},
    {"CASCADE", Keyword::Cascade},
    {"CHECK", Keyword::Check},
    {"COLUMN", Keyword::Column},
    {"COMP", Keyword::Comp},
    {"COMPRESSION", Keyword::Compression},
    {"CONSTRAINT", Keyword::Constraint},
    {"CREATE", Keyword::Create},
    {"DEFAULT", Keyword::Default},
    {"DELETE", Keyword::Delete},
    {"DENY", Keyword::Deny},
    {"DESC", Keyword::Desc},
    {"DISALLOW", Keyword::Disallow},
    {"DISTINCT", Keyword::Distinct},
    {"DISTINCTROW", Keyword::DistinctRow},
    {"DROP", Keyword::Drop},
    {"EQV", Keyword::Eqv},
    {"EXISTS", Keyword::Exists},
    {"FALSE", Keyword::False},
    {"FOREIGN", Keyword::Foreign},
    {"FROM", Keyword::From},
    {"GROUP", Keyword::Group},
    {"HAVING", Keyword::Having},
    {"IGNORE", Keyword::Ignore},
    {"IN", Keyword::In},
    {"INDEX", Keyword::Index},
    {"INNER", Keyword::Inner},
    {"INSERT", Keyword::Insert},
    {"INTO", Keyword::Into},
    {"IS", Keyword::Is},
    {"JOIN", Keyword::Join},
    {"KEY", Keyword::Key},
    {"LEFT", Keyword::Left},
    {"LENGTH", Keyword::Length},
    {"LIKE", Keyword::Like},
    {"LINK", Keyword::Link},
    {"MOD", Keyword::Mod},
    {"NO", Keyword::No},
    {"NOT", Keyword::Not},
    {"NULL", Keyword::Null},
    {"ODBC", Keyword::Odbc},
    {"OFF", Keyword::Off},
    {"ON", Keyword::On},
    {"OR", Keyword::Or},
    {"ORDER", Keyword::Order},
    {"OUTER", Keyword::Outer},
    {"PARAMETERS", Keyword::Parameters},
    {"PERCENT", Keyword::Percent},
    {"PRIMARY", Keyword::Primary},
    {"PROCEDURE", Keyword::Procedure},
    {"REFERENCES", Keyword::References},
    {"RIGHT", Keyword::Right},
    {"SELECT", Keyword::Select},
    {"SET", Keyword::Set},
    {"SRC", Keyword::Src},
    {"TABLE", Keyword::Table},
    {"TO", Keyword::To},
    {"TOP", Keyword::Top},
    {"TRUE", Keyword::True},
    {"UNION", Keyword::Union},
    {"UNIQUE", Keyword::Unique},
    {"UPDATE", Keyword::Update},
    {"VALUES", Keyword::Values},
    {"VIEW", Keyword::View},
    {"WHERE", Keyword::Where},
    {"WITH", Keyword::With},
    {"XOR", Keyword::Xor},
    {"YES", Keyword::Yes},
    {"ZERO", Keyword::Zero},
};

struct KeywordRun {
    const KeywordEntry* begin = nullptr;
    const KeywordEntry* end = nullptr;
};

const KeywordRun* KeywordRuns()
{
    static const auto runs = [] {
        std::array<KeywordRun, 26> r{};
        for (const KeywordEntry& e : kKeywords) {
            KeywordRun& run = r[e.word[0] - 'A'];
            if (run.begin == nullptr)
                run.begin = &e;
            run.end = &e + 1;
        }
        return r;
    }();
    return runs.data();
}

Keyword LookUpKeyword(const wchar_t* s, size_t n)
{
    if (n < 2)
        return Keyword::None;  // no keyword is shorter
    char upper[16];
    if (n >= sizeof upper)
        return Keyword::None;
    for (size_t i = 0; i < n; ++i) {
        wchar_t c = s[i];
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (!(c >= L'A' && c <= L'Z')) {
            return Keyword::None;  // keywords are ASCII letters only
        }
        upper[i] = static_cast<char>(c);
    }
    upper[n] = '\0';
    // The table is sorted, so the words of one initial letter form one run.
    const KeywordRun& run = KeywordRuns()[upper[0] - 'A'];
    for (const KeywordEntry* e = run.begin; e != run.end; ++e) {
        if (std::strcmp(e->word, upper) == 0)
            return e->keyword;
    }
    return Keyword::None;
}

bool IsNameStart(wchar_t c)
{
    if (c < 128)
        return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
    return std::iswalpha(static_cast<wint_t>(c)) != 0;
}

bool IsNameChar(wchar_t c)
{
    if (c < 128)
        return IsNameStart(c) || (c >= L'0' && c <= L'9');
    return std::iswalnum(static_cast<wint_t>(c)) != 0;
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsSpace(wchar_t c)
{
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')
        return true;
    return c >= 128 ? std::iswspace(static_cast<wint_t>(c)) != 0 : (c == L'\f' || c == L'\v');
}

}  // namespace

bool IsReserved(Keyword keyword)
{
    switch (keyword) {
        case Keyword::All:
        case Keyword::And:
        case Keyword::As:
        case Keyword::Asc:
        case Keyword::Between:
        case Keyword::By:
        case Keyword::Desc:
        case Keyword::Distinct:
        case Keyword::DistinctRow:
        case Keyword::Eqv:
        case Keyword::Exists:
        case Keyword::False:
        case Keyword::From:
        case Keyword::Group:
        case Keyword::Having:
        case Keyword::In:
        case Keyword::Inner:
        case Keyword::Into:
        case Keyword::Is:
        case Keyword::Join:
        case Keyword::Left:
        case Keyword::Like:
        case Keyword::Mod:
        case Keyword::No:
        case Keyword::Not:
        case Keyword::Null:
        case Keyword::Off:
        case Keyword::On:
        case Keyword::Or:
        case Keyword::Order:
        case Keyword::Outer:
        case Keyword::Right:
        case Keyword::Select:
        case Keyword::Set:
        case Keyword::Top:
        case Keyword::True:
        case Keyword::Union:
        case Keyword::Values:
        case Keyword::Where:
        case Keyword::Xor:
        case Keyword::Yes:
            return true;
        default:
            return false;
    }
}

void Tokenize(std::wstring_view text, std::vector<Token>& tokens)
{
    tokens.clear();
    tokens.reserve(text.size() / 3 + 2);  // roughly one token per three characters
    const wchar_t* s = text.data();
    const size_t n = text.size();
    size_t i = 0;
    auto emit = [&](TokenKind kind, size_t start, size_t end, Keyword kw = Keyword::None) {
        tokens.push_back(
            Token{kind, kw, static_cast<uint32_t>(start), static_cast<uint32_t>(end - start)});
    };
    while (true) {
        while (i < n && IsSpace(s[i]))
            ++i;
        if (i >= n)
            break;
        const size_t start = i;
        const wchar_t c = s[i];
        if (IsNameStart(c)) {
            ++i;
            while (i < n && IsNameChar(s[i]))
                ++i;
            emit(TokenKind::Name, start, i, LookUpKeyword(s + start, i - start));
        } else if (IsDigit(c) || (c == L'.' && i + 1 < n && IsDigit(s[i + 1]))) {
            while (i < n && IsDigit(s[i]))
                ++i;
            if (i < n && s[i] == L'.') {
                ++i;
                while (i < n && IsDigit(s[i]))
                    ++i;
            }
            if (i < n && (s[i] == L'e' || s[i] == L'E')) {
                size_t j = i + 1;
                if (j < n && (s[j] == L'+' || s[j] == L'-'))
                    ++j;
                if (j < n && IsDigit(s[j])) {
                    i = j;
                    while (i < n && IsDigit(s[i]))
                        ++i;
                }
            }
            emit(TokenKind::Number, start, i);
        } else if (c == L'\'' || c == L'"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        i += 2;  // a doubled quote stands for one
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                ++i;
            }
            emit(closed ? TokenKind::String : TokenKind::UnclosedString, start, i);
        } else if (c == L'[') {
            // Brackets may nest: the validation-rule constraint names of scripts
            // ("[[field].ValidationRule]") are read as one name. Access names never
            // hold brackets, so no genuine name is read differently.
            int depth = 0;
            bool closed = false;
            while (i < n) {
                if (s[i] == L'[') {
                    ++depth;
                } else if (s[i] == L']' && --depth == 0) {
                    ++i;
                    closed = true;
                    break;
                }
                ++i;
            }
            emit(closed ? TokenKind::QuotedName : TokenKind::UnclosedName, start, i);
        } else if (c == L'#') {
            ++i;
            while (i < n && s[i] != L'#' && s[i] != L'\n')
                ++i;
            if (i < n && s[i] == L'#') {
                ++i;
                emit(TokenKind::Date, start, i);
            } else {
                emit(TokenKind::UnclosedDate, start, i);
            }
        } else {
            TokenKind kind = TokenKind::BadCharacter;
            ++i;
            switch (c) {
                case L'?':
                    kind = TokenKind::Question;
                    break;
                case L'(':
                    kind = TokenKind::LParen;
                    break;
                case L')':
                    kind = TokenKind::RParen;
                    break;
                case L',':
                    kind = TokenKind::Comma;
                    break;
                case L'.':
                    kind = TokenKind::Dot;
                    break;
                case L';':
                    kind = TokenKind::Semicolon;
                    break;
                case L'*':
                    kind = TokenKind::Star;
                    break;
                case L'+':
                    kind = TokenKind::Plus;
                    break;
                case L'-':
                    kind = TokenKind::Minus;
                    break;
                case L'/':
                    kind = TokenKind::Slash;
                    break;
                case L'\\':
                    kind = TokenKind::Backslash;
                    break;
                case L'^':
                    kind = TokenKind::Caret;
                    break;
                case L'&':
                    kind = TokenKind::Ampersand;
                    break;
                case L'=':
                    kind = TokenKind::Equal;
                    break;
                case L'<':
                    kind = TokenKind::Less;
                    if (i < n && s[i] == L'>') {
                        kind = TokenKind::NotEqual;
                        ++i;
                    } else if (i < n && s[i] == L'=') {
                        kind = TokenKind::LessEqual;
                        ++i;
                    }
                    break;
                case L'>':
                    kind = TokenKind::Greater;
                    if (i < n && s[i] == L'=') {
                        kind = TokenKind::GreaterEqual;
                        ++i;
                    }
                    break;
                default:
                    break;
            }
            emit(kind, start, i);
        }
    }
    emit(TokenKind::End, n, n);
}

std::wstring TokenValue(std::wstring_view text, const Token& token)
{
    std::wstring_view raw = text.substr(token.pos, token.len);
    switch (token.kind) {
        case TokenKind::QuotedName:
        case TokenKind::Date:
            return std::wstring(raw.substr(1, raw.size() - 2));
        case TokenKind::String: {
            const wchar_t quote = raw.front();
            std::wstring value;
            value.reserve(raw.size() - 2);
            for (size_t i = 1; i + 1 < raw.size(); ++i) {
                value.push_back(raw[i]);
                if (raw[i] == quote)
                    ++i;  // skip the second of a doubled pair
            }
            return value;
        }
        default:
            return std::wstring(raw);
    }
}

}  // namespace provider::sql
