// The three value readers are tried in order at the start of each value: a text expression of
// quoted strings and chr() codes joined by "&", a base64 literal, and the plain value. Only the
// first two turn a value into a parameter; a value that neither accepts is kept as written, so a
// statement this code does not understand reaches the database unchanged.
#include "sqlexec/value_list_parser.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>

#include <algorithm>
#include <cwctype>

namespace SQLExecutor {

namespace {

// Case-insensitive test for an ASCII keyword at `position`.
bool StartsWithKeyword(std::wstring_view text, size_t position, std::wstring_view keyword)
{
    if (text.size() - position < keyword.size())
        return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
        const wchar_t c = text[position + i];
        const wchar_t lower = (c >= L'A' && c <= L'Z') ? wchar_t(c + (L'a' - L'A')) : c;
        if (lower != keyword[i])
            return false;
    }
    return true;
}

// A quoted run's text with each doubled quote made single.
void AppendUndoubled(std::wstring& out, std::wstring_view quoted)
{
    for (size_t i = 0; i < quoted.size(); ++i) {
        out += quoted[i];
        if (quoted[i] == L'"' && i + 1 < quoted.size() && quoted[i + 1] == L'"')
            ++i;
    }
}

// chr() codes are UTF-16 units; our characters are whole code points, so a high and a low
// surrogate written as two codes become the one character they encode.
void AppendCodeUnit(std::wstring& out, unsigned code)
{
    if (code >= 0xDC00 && code <= 0xDFFF && !out.empty()) {
        const unsigned high = static_cast<unsigned>(out.back());
        if (high >= 0xD800 && high <= 0xDBFF) {
            out.back() = static_cast<wchar_t>(0x10000 + ((high - 0xD800) << 10) + (code - 0xDC00));
            return;
        }
    }
    out += static_cast<wchar_t>(code);
}

bool IsBase64Letter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
           c == L'+' || c == L'/';
}

// The literal without the blanks a writer puts in (its line breaks, joined into spaces when the
// script was split into statements), or false when what remains is not base64: letters of the
// alphabet in groups of four, the last group padded with at most two "=". The decoder would
// otherwise skip every stray character and store whatever bytes were left.
bool CompactBase64(std::wstring_view encoded, std::string& compact)
{
    compact.clear();
    compact.reserve(encoded.size());
    for (wchar_t c : encoded) {
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')
            continue;
        if (!IsBase64Letter(c) && c != L'=')
            return false;
        compact += static_cast<char>(c);
    }
    if (compact.size() % 4 != 0)
        return false;
    const size_t padding = compact.size() - std::min(compact.find('='), compact.size());
    return padding <= 2 &&
           compact.find_first_not_of('=', compact.size() - padding) == std::string::npos;
}

// The literal as an error message shows it: long ones are cut, so that the message stays a line.
std::wstring Shortened(std::wstring_view literal)
{
    constexpr size_t kShown = 40;
    if (literal.size() <= kShown)
        return std::wstring(literal);
    return std::wstring(literal.substr(0, kShown)) + L"...";
}

automation::SafeArray DecodeBase64(const std::string& narrow)
{
    std::string decoded;
    CryptoPP::StringSource source(narrow, true,
                                  new CryptoPP::Base64Decoder(new CryptoPP::StringSink(decoded)));
    return automation::SafeArray(reinterpret_cast<const std::uint8_t*>(decoded.data()),
                                 decoded.size());
}

}  // namespace

void ValueListParser::Reset(std::wstring_view list)
{
    list_ = list;
    start_ = scan_ = 0;
    end_ = list.size();
    afterComma_ = false;
    text_.clear();
    parameters_.clear();
    error_.clear();
}

void ValueListParser::ParseValues(std::wstring_view list)
{
    Reset(list);
    for (bool first = true; scan_ < end_ || afterComma_; first = false) {
        if (!first)
            text_ += L", ";
        start_ = scan_;
        ReadValue();
    }
}

bool ValueListParser::ParseAssignments(std::wstring_view list)
{
    Reset(list);
    for (bool first = true; scan_ < end_ || afterComma_; first = false) {
        if (!first)
            text_ += L", ";
        afterComma_ = false;
        size_t target = scan_;
        SkipSpaces(target);
        const size_t equals = list_.find(L'=', target);
        if (equals == std::wstring_view::npos)
            return false;
        text_.append(list_.substr(target, equals + 1 - target));
        start_ = equals + 1;
        ReadValue();
    }
    return true;
}

void ValueListParser::ReadValue()
{
    afterComma_ = false;
    if (!ReadTextExpression() && !ReadBase64())
        ReadPlain();
}

void ValueListParser::SkipSpaces(size_t& position) const
{
    while (position < end_ && std::iswspace(static_cast<wint_t>(list_[position])))
        ++position;
}

bool ValueListParser::PassSeparator(size_t& position)
{
    if (position == end_)
        return true;
    if (list_[position] != L',')
        return false;
    ++position;
    afterComma_ = true;
    return true;
}

// "text" & chr(13) & "more": quoted strings (doubled quotes inside) and decimal chr() codes.
bool ValueListParser::ReadTextExpression()
{
    size_t p = start_;
    SkipSpaces(p);
    std::wstring raw;    // the quoted runs as written, doubled quotes kept
    std::wstring value;  // the text the expression stands for
    bool hasCode = false;
    for (;;) {
        if (p < end_ && list_[p] == L'"') {
            const size_t open = ++p;
            for (;;) {
                p = list_.find(L'"', p);
                if (p == std::wstring_view::npos || p >= end_)
                    return false;
                if (p + 1 < end_ && list_[p + 1] == L'"') {
                    p += 2;
                    continue;
                }
                break;
            }
            raw.append(list_.substr(open, p - open));
            AppendUndoubled(value, list_.substr(open, p - open));
            ++p;
        } else if (StartsWithKeyword(list_, p, L"chr(")) {
            p += 4;
            const size_t digits = p;
            unsigned code = 0;
            while (p < end_ && list_[p] >= L'0' && list_[p] <= L'9') {
                code = code * 10 + unsigned(list_[p] - L'0');
                if (code > 0xFFFF)  // one UTF-16 unit at most; also stops any overflow
                    return false;
                ++p;
            }
            if (p == digits || p >= end_ || list_[p] != L')')
                return false;
            ++p;
            AppendCodeUnit(value, code);
            hasCode = true;
        } else {
            return false;
        }
        SkipSpaces(p);
        if (p < end_ && list_[p] == L'&') {
            ++p;
            SkipSpaces(p);
            continue;
        }
        if (!PassSeparator(p))
            return false;
        break;
    }
    if (hasCode) {
        text_ += L'?';
        const size_t size = value.size();
        parameters_.push_back({automation::Variant(std::move(value)), size});
    } else {
        text_ += L'"';
        text_ += raw;
        text_ += L'"';
    }
    scan_ = p;
    return true;
}

// base64("...") with blanks allowed inside the quotes.
bool ValueListParser::ReadBase64()
{
    size_t p = start_;
    SkipSpaces(p);
    if (!StartsWithKeyword(list_, p, L"base64(\""))
        return false;
    p += 8;
    const size_t close = list_.find(L'"', p);
    if (close == std::wstring_view::npos || close + 1 >= end_ || list_[close + 1] != L')')
        return false;
    size_t after = close + 2;
    SkipSpaces(after);
    // Only a comma or the end of the list may follow; anything else is not a literal value.
    if (!PassSeparator(after))
        return false;
    std::string compact;
    if (!CompactBase64(list_.substr(p, close - p), compact)) {
        if (error_.empty())
            error_ = L"The value base64(\"" + Shortened(list_.substr(p, close - p)) +
                     L"\") is not valid base64.";
        compact.clear();
    }
    automation::SafeArray bytes = DecodeBase64(compact);
    const size_t size = bytes.size();
    text_ += L'?';
    parameters_.push_back({automation::Variant(std::move(bytes)), size});
    scan_ = after;
    return true;
}

// Up to the next comma that stands outside quotes and parentheses, so that a string or a
// function call holding a comma is kept whole.
void ValueListParser::ReadPlain()
{
    size_t p = start_;
    int depth = 0;
    wchar_t quote = 0;
    for (; p < end_; ++p) {
        const wchar_t c = list_[p];
        if (quote) {
            if (c == quote)
                quote = 0;  // a doubled quote closes and reopens: the same state
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'(') {
            ++depth;
        } else if (c == L')') {
            --depth;
        } else if (c == L',' && depth <= 0) {
            break;
        }
    }
    text_.append(list_.substr(start_, p - start_));
    PassSeparator(p);
    scan_ = p;
}

}  // namespace SQLExecutor
