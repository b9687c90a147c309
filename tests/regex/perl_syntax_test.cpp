// Token readers: what each piece of pattern text reads as.
#include "regex/perl_syntax.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using regex::perl_syntax;

struct TokenCase {
    const wchar_t* text;
    regex::pattern_flags flags;
    int (*read)(perl_syntax&, const wchar_t*&, const wchar_t*);
    int expected;
    int consumed;
};

int Token(perl_syntax& s, const wchar_t*& p, const wchar_t* e) { return s.read_token(p, e); }
int Quant(perl_syntax& s, const wchar_t*& p, const wchar_t* e) { return s.read_quantifier(p, e); }
int Ext(perl_syntax& s, const wchar_t*& p, const wchar_t* e) { return s.read_extension(p, e); }
int Set(perl_syntax& s, const wchar_t*& p, const wchar_t* e) { return s.read_charset_token(p, e); }
int Subst(perl_syntax& s, const wchar_t*& p, const wchar_t* e)
{
    return s.read_substitution_token(p, e);
}

TEST(PerlSyntax, ReadersClassifyAndStepOverTokens)
{
    using namespace regex;
    const TokenCase cases[] = {
        {L"(", noflags, Token, group_open, 1},
        {L"|", noflags, Token, alternation, 1},
        {L"\\q", noflags, Token, escape, 1},
        {L"\\d", noflags, Token, esc_digit, 2},
        {L"\\Z", noflags, Token, esc_subject_end_before_newline, 2},
        {L"\\", noflags, Token, escape, 1},
        {L"a", noflags, Token, no_token, 0},
        {L"\u0128", noflags, Token, no_token, 0},
        {L"  # note\n.", free_spacing, Token, any_char, 10},
        {L"+ ?", free_spacing, Quant, quant_plus_lazy, 3},
        {L"+ ?", noflags, Quant, quant_plus, 1},
        {L"*?", noflags, Quant, quant_star_lazy, 2},
        {L"??", noflags, Quant, quant_question_lazy, 2},
        {L"}?", noflags, Quant, quant_brace_close_lazy, 2},
        {L"{", noflags, Quant, quant_brace_open, 1},
        {L"x", noflags, Quant, no_token, 0},
        {L"?i-s:", noflags, Ext, ext_group, 5},
        {L"?i)", noflags, Ext, ext_group, 2},
        {L"?i-s-m)", noflags, Ext, ext_unknown, 4},
        {L"?<x", noflags, Ext, ext_unknown, 2},
        {L"?<=", noflags, Ext, ext_lookbehind, 3},
        {L"?<!", noflags, Ext, ext_not_lookbehind, 3},
        {L"?R", noflags, Ext, ext_recurse, 2},
        {L"?", noflags, Ext, ext_unknown, 1},
        {L"a", noflags, Ext, no_token, 0},
        {L"[:alpha:]", noflags, Set, set_class_first + 2, 9},
        {L"[:^xdigit:]", noflags, Set, set_class_first + 23, 11},
        {L"[:alpha:", noflags, Set, no_token, 0},
        {L"\\b", noflags, Set, set_backspace, 2},
        {L"\\n", noflags, Set, set_escape, 1},
        {L"]", noflags, Set, set_close, 1},
        {L"$&", noflags, Subst, subst_match, 2},
        {L"$1", noflags, Subst, subst_backref, 1},
        {L"$`", noflags, Subst, subst_prematch, 2},
        {L"\\U", noflags, Subst, subst_upper_on, 2},
        {L"\\n", noflags, Subst, subst_escape, 1},
    };
    for (const TokenCase& c : cases) {
        perl_syntax syntax(c.flags);
        const std::wstring text = c.text;
        const wchar_t* pos = text.data();
        EXPECT_EQ(c.read(syntax, pos, text.data() + text.size()), c.expected) << text;
        EXPECT_EQ(pos - text.data(), c.consumed) << text;
    }
}

TEST(PerlSyntax, InlineModifiersChangeTheWorkingFlags)
{
    perl_syntax syntax(regex::dot_matches_newline);
    const std::wstring text = L"?ix-s:";
    const wchar_t* pos = text.data();
    ASSERT_EQ(syntax.read_extension(pos, text.data() + text.size()), regex::ext_group);
    EXPECT_EQ(syntax.flags(), regex::ignore_case | regex::free_spacing);
}

} // namespace
