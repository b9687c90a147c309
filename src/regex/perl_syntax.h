// The lexical policy of the engine: token readers over pattern, set and
// substitution text. The compiler and the set parser never look at raw
// characters for syntax; they ask these readers what stands at a position.
#pragma once

#include "regex/pattern_flags.h"

namespace regex {

// Token codes shared by all readers; 0 means an ordinary character or nothing.
enum token : int {
    no_token = 0,
    group_open = 1,
    group_close = 2,
    alternation = 3,
    line_start = 4,
    line_end = 5,
    charset_open = 6,
    any_char = 7,
    escape = 8,
    quant_plus = 9,
    quant_star = 10,
    quant_question = 11,
    quant_plus_lazy = 12,
    quant_star_lazy = 13,
    quant_question_lazy = 14,
    quant_brace_open = 15,
    quant_comma = 16,
    quant_brace_close = 17,
    quant_brace_close_lazy = 18,
    esc_digit = 19,
    esc_not_digit = 20,
    esc_space = 21,
    esc_not_space = 22,
    esc_word = 23,
    esc_not_word = 24,
    esc_subject_begin = 25,
    esc_subject_end_before_newline = 26,
    esc_subject_end = 27,
    esc_word_boundary = 28,
    esc_not_word_boundary = 29,
    esc_word_start = 30,
    esc_word_stop = 31,
    esc_quote_on = 32,
    esc_quote_off = 33,
    subst_backref = 34,
    subst_prematch = 35,
    subst_postmatch = 36,
    subst_match = 37,
    subst_escape = 38,
    subst_quote_meta_on = 39,
    subst_upper_on = 40,
    subst_upper_next = 41,
    subst_lower_on = 42,
    subst_lower_next = 43,
    subst_case_off = 44,
    set_negate = 45,
    set_escape = 46,
    set_range = 47,
    set_backspace = 48,
    set_close = 49,
    set_class_first = 50, // 50 + index of the named class; odd offsets are negations
    set_class_last = 73,
    ext_group = 74,
    ext_lookahead = 75,
    ext_not_lookahead = 76,
    ext_lookbehind = 77,
    ext_not_lookbehind = 78,
    ext_independent = 79,
    ext_comment = 80,
    ext_conditional = 81,
    ext_recurse = 82,
    ext_unknown = 83,
};

class perl_syntax {
public:
    using char_type = wchar_t;
    using iterator = const wchar_t*;

    explicit perl_syntax(pattern_flags flags) : flags_(flags) {}

    pattern_flags flags() const { return flags_; }
    void set_flags(pattern_flags flags) { flags_ = flags; }

    void skip_free_space(iterator& pos, iterator end) const;
    int read_token(iterator& pos, iterator end) const;
    int read_quantifier(iterator& pos, iterator end) const;
    int read_extension(iterator& pos, iterator end);
    int read_substitution_token(iterator& pos, iterator end) const;
    int read_charset_token(iterator& pos, iterator end) const;

private:
    pattern_flags flags_;
};

} // namespace regex
