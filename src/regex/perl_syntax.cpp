// Token readers of the Perl pattern syntax (see perl_syntax.h).
#include "regex/perl_syntax.h"

#include "regex/char_class.h"

#include <array>
#include <cstring>

namespace regex {
namespace {

struct tables {
    std::array<int, 256> plain{};
    std::array<int, 256> escaped{};
    tables()
    {
        plain['('] = group_open;
        plain[')'] = group_close;
        plain['|'] = alternation;
        plain['^'] = line_start;
        plain['$'] = line_end;
        plain['['] = charset_open;
        plain['.'] = any_char;
        plain['\\'] = escape;
        escaped['d'] = esc_digit;
        escaped['D'] = esc_not_digit;
        escaped['s'] = esc_space;
        escaped['S'] = esc_not_space;
        escaped['w'] = esc_word;
        escaped['W'] = esc_not_word;
        escaped['A'] = esc_subject_begin;
        escaped['Z'] = esc_subject_end_before_newline;
        escaped['z'] = esc_subject_end;
        escaped['b'] = esc_word_boundary;
        escaped['B'] = esc_not_word_boundary;
        escaped['Q'] = esc_quote_on;
        escaped['E'] = esc_quote_off;
    }
};

const tables table;

int lookup(const std::array<int, 256>& t, wchar_t c)
{
    const auto u = static_cast<std::uint32_t>(c);
    return u < 256 ? t[u] : 0;
}

constexpr const char* class_texts[24] = {
    "[:alnum:]", "[:^alnum:]", "[:alpha:]", "[:^alpha:]", "[:blank:]", "[:^blank:]",
    "[:cntrl:]", "[:^cntrl:]", "[:digit:]", "[:^digit:]", "[:graph:]", "[:^graph:]",
    "[:lower:]", "[:^lower:]", "[:print:]", "[:^print:]", "[:punct:]", "[:^punct:]",
    "[:space:]", "[:^space:]", "[:upper:]", "[:^upper:]", "[:xdigit:]", "[:^xdigit:]"};

// Steps over a trailing '?' (after optional free space) that makes a quantifier lazy.
bool read_lazy_mark(const perl_syntax& syntax, const wchar_t*& pos, const wchar_t* end)
{
    syntax.skip_free_space(pos, end);
    if (pos != end && *pos == L'?') {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

void perl_syntax::skip_free_space(iterator& pos, iterator end) const
{
    if (!(flags_ & free_spacing))
        return;
    while (pos != end && (*pos == L'#' || detail::is_white_space(*pos))) {
        if (*pos == L'#') {
            while (pos != end && *pos != L'\n')
                ++pos;
            if (pos != end)
                ++pos;
        } else {
            while (pos != end && detail::is_white_space(*pos))
                ++pos;
        }
    }
}

int perl_syntax::read_token(iterator& pos, iterator end) const
{
    skip_free_space(pos, end);
    if (pos == end)
        return no_token;
    const int code = lookup(table.plain, *pos);
    if (code == no_token)
        return no_token;
    ++pos;
    if (code == escape && pos != end) {
        const int esc = lookup(table.escaped, *pos);
        if (esc != no_token) {
            ++pos;
            return esc;
        }
    }
    return code;
}

int perl_syntax::read_quantifier(iterator& pos, iterator end) const
{
    skip_free_space(pos, end);
    if (pos == end)
        return no_token;
    switch (*pos) {
    case L'*':
        ++pos;
        return read_lazy_mark(*this, pos, end) ? quant_star_lazy : quant_star;
    case L'+':
        ++pos;
        return read_lazy_mark(*this, pos, end) ? quant_plus_lazy : quant_plus;
    case L'?':
        ++pos;
        return read_lazy_mark(*this, pos, end) ? quant_question_lazy : quant_question;
    case L',':
        ++pos;
        return quant_comma;
    case L'{':
        ++pos;
        return quant_brace_open;
    case L'}':
        ++pos;
        return read_lazy_mark(*this, pos, end) ? quant_brace_close_lazy : quant_brace_close;
    default:
        return no_token;
    }
}

int perl_syntax::read_extension(iterator& pos, iterator end)
{
    skip_free_space(pos, end);
    if (pos == end || *pos != L'?')
        return no_token;
    ++pos;
    if (flags_ & free_spacing)
        while (pos != end && detail::is_white_space(*pos))
            ++pos;
    if (pos == end)
        return ext_unknown;
    switch (*pos) {
    case L'!': ++pos; return ext_not_lookahead;
    case L'#': ++pos; return ext_comment;
    case L'(': ++pos; return ext_conditional;
    case L':': ++pos; return ext_group;
    case L'=': ++pos; return ext_lookahead;
    case L'>': ++pos; return ext_independent;
    case L'R': ++pos; return ext_recurse;
    case L'<':
        ++pos;
        skip_free_space(pos, end);
        if (pos != end && *pos == L'!') {
            ++pos;
            return ext_not_lookbehind;
        }
        if (pos != end && *pos == L'=') {
            ++pos;
            return ext_lookbehind;
        }
        return ext_unknown;
    default:
        break;
    }
    // Inline modifiers: (?imsx-imsx) or (?imsx-imsx: ...
    bool setting = true;
    while (*pos != L':') {
        pattern_flags flag = noflags;
        switch (*pos) {
        case L')':
            return ext_group;
        case L'-':
            if (!setting)
                return ext_unknown;
            setting = false;
            break;
        case L'i': flag = ignore_case; break;
        case L'm': flag = multi_line; break;
        case L's': flag = dot_matches_newline; break;
        case L'x': flag = free_spacing; break;
        default:
            return ext_unknown;
        }
        if (flag != noflags)
            flags_ = setting ? (flags_ | flag) : (flags_ & ~flag);
        ++pos;
        skip_free_space(pos, end);
        if (pos == end)
            return ext_unknown;
    }
    ++pos;
    return ext_group;
}

int perl_syntax::read_substitution_token(iterator& pos, iterator end) const
{
    if (pos == end)
        return no_token;
    if (*pos == L'$') {
        ++pos;
        if (pos == end)
            return subst_backref;
        switch (*pos) {
        case L'&': ++pos; return subst_match;
        case L'\'': ++pos; return subst_postmatch;
        case L'`': ++pos; return subst_prematch;
        default: return subst_backref;
        }
    }
    if (*pos == L'\\') {
        ++pos;
        if (pos == end)
            return subst_escape;
        switch (*pos) {
        case L'E': ++pos; return subst_case_off;
        case L'L': ++pos; return subst_lower_on;
        case L'Q': ++pos; return subst_quote_meta_on;
        case L'U': ++pos; return subst_upper_on;
        case L'l': ++pos; return subst_lower_next;
        case L'u': ++pos; return subst_upper_next;
        default: return subst_escape;
        }
    }
    return no_token;
}

int perl_syntax::read_charset_token(iterator& pos, iterator end) const
{
    switch (*pos) {
    case L'-': ++pos; return set_range;
    case L']': ++pos; return set_close;
    case L'^': ++pos; return set_negate;
    case L'[': {
        if (pos + 1 == end || pos[1] != L':')
            return no_token;
        for (int i = 0; i < 24; ++i) {
            const std::size_t n = std::strlen(class_texts[i]);
            if (static_cast<std::size_t>(end - pos) < n)
                continue;
            std::size_t k = 0;
            while (k < n && pos[k] == static_cast<wchar_t>(class_texts[i][k]))
                ++k;
            if (k == n) {
                pos += n;
                return set_class_first + i;
            }
        }
        return no_token;
    }
    case L'\\':
        ++pos;
        if (pos == end)
            return set_escape;
        switch (*pos) {
        case L'd': ++pos; return esc_digit;
        case L'D': ++pos; return esc_not_digit;
        case L's': ++pos; return esc_space;
        case L'S': ++pos; return esc_not_space;
        case L'w': ++pos; return esc_word;
        case L'W': ++pos; return esc_not_word;
        case L'b': ++pos; return set_backspace;
        default: return set_escape;
        }
    default:
        return no_token;
    }
}

} // namespace regex
