// Small wide-string operations shared by the schema model, the statement parser, the script
// writer and the HTML report. Header-only on purpose: the lower layers use them without linking
// the output library.
#pragma once

#include <cwchar>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Replaces every occurrence of `find` in `text`, in place. The search resumes after each
// inserted replacement, so a replacement that contains `find` (doubling quotes) terminates.
inline void ReplaceAll(std::wstring& text, std::wstring_view find, std::wstring_view replacement)
{
    if (find.empty())
        return;
    size_t hit = text.find(find);
    if (hit == std::wstring::npos)
        return;
    // One pass into a new string: repeated in-place inserts would be quadratic on long values.
    std::wstring result;
    result.reserve(text.size() + (replacement.size() > find.size() ? text.size() / 8 : 0));
    size_t from = 0;
    while (hit != std::wstring::npos) {
        result.append(text, from, hit - from);
        result.append(replacement);
        from = hit + find.size();
        hit = text.find(find, from);
    }
    result.append(text, from, std::wstring::npos);
    text.swap(result);
}

// Only A-Z are folded, as the C library does in its default locale. The copies are the keys of
// the schema's name maps: folding more letters would change which stored names collide.
inline wchar_t ToLowerAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

inline void ToLowerInPlace(std::wstring& text)
{
    for (wchar_t& c : text)
        c = ToLowerAsciiLetter(c);
}

inline std::wstring ToLowerCopy(std::wstring_view text)
{
    std::wstring copy(text);
    ToLowerInPlace(copy);
    return copy;
}

// A null pointer is taken as an empty text.
inline std::wstring ToLowerCopyFromText(const wchar_t* text)
{
    return text ? ToLowerCopy(std::wstring_view(text)) : std::wstring();
}

// The text without its leading and trailing blanks, tabs, CR and LF.
inline std::wstring_view Trimmed(std::wstring_view text)
{
    constexpr std::wstring_view kSpace = L" \t\r\n";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::wstring_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpace) + 1 - first);
}

// Removes leading and trailing blanks, tabs, CR and LF, in place.
inline void Trim(std::wstring& text)
{
    constexpr std::wstring_view kSpace = L" \t\r\n";
    const size_t last = text.find_last_not_of(kSpace);
    if (last == std::wstring::npos) {
        text.clear();
        return;
    }
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(kSpace));
}

// Characters up to code 32 count as blank (controls and the space). The comparison is unsigned
// so that no wide character is taken for a control by its sign.
inline bool IsBlankChar(wchar_t c)
{
    return static_cast<std::make_unsigned_t<wchar_t>>(c) <= 32;
}

// A character that HtmlEscapeText changes: a control (a blank stays a blank) or <, >, &.
inline bool NeedsHtmlEscape(wchar_t c)
{
    return c == L'<' || c == L'>' || c == L'&' || (c != L' ' && IsBlankChar(c));
}

// Escapes a value for an HTML table cell, in place: controls become blanks, and <, > and &
// become entities. Quotes are left alone (cell text, never an attribute). A text with nothing
// to escape is not touched.
inline void HtmlEscapeText(std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && !NeedsHtmlEscape(text[i]))
        ++i;
    if (i == text.size())
        return;
    std::wstring result;
    result.reserve(text.size() + 16);
    result.append(text, 0, i);
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'<')
            result += L"&lt;";
        else if (c == L'>')
            result += L"&gt;";
        else if (c == L'&')
            result += L"&amp;";
        else if (IsBlankChar(c))
            result += L' ';
        else
            result += c;
    }
    text.swap(result);
}

// True when the text is empty or holds only characters with codes up to 32.
inline bool IsBlankText(std::wstring_view text)
{
    for (wchar_t c : text) {
        if (!IsBlankChar(c))
            return false;
    }
    return true;
}

// The pieces of `text` between separators, in order; empty pieces between two separators are
// kept, an empty rest after the last separator is not ("a," gives "a"). An empty separator
// gives the whole text as one piece.
inline std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view separator)
{
    std::vector<std::wstring> pieces;
    if (separator.empty()) {
        if (!text.empty())
            pieces.emplace_back(text);
        return pieces;
    }
    size_t from = 0;
    for (size_t hit = text.find(separator); hit != std::wstring_view::npos;
         hit = text.find(separator, from)) {
        pieces.emplace_back(text.substr(from, hit - from));
        from = hit + separator.size();
    }
    if (from < text.size())
        pieces.emplace_back(text.substr(from));
    return pieces;
}
