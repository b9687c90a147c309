// Character sets: bracket expressions and the escape classes \d \s \w and
// their negations, answering "is this character a member" quickly.
#pragma once

#include "regex/perl_syntax.h"

#include <cstdint>
#include <vector>

namespace regex::detail {

struct char_range {
    std::uint32_t first;
    std::uint32_t last;
};

class charset {
public:
    charset() = default;
    virtual ~charset() = default;

    void clear();
    void add_char(wchar_t c, bool fold);
    void add_range(wchar_t first, wchar_t last, bool fold);
    void add_set(const charset& other);
    void add_class(std::uint16_t mask) { class_mask_ |= mask; }
    void add_negated_class(std::uint16_t mask) { negated_classes_.push_back(mask); }
    void set_negated(bool negated) { negated_ = negated; }
    // Sorts and merges the ranges and folds the classes into the low bitmap;
    // must run before the set is tested.
    void optimize();

    bool contains(wchar_t c) const;
    bool contains_nocase(wchar_t c) const;

private:
    bool low_bit(std::uint32_t c) const { return (low_[c >> 5] >> (c & 31)) & 1u; }
    void set_low_bit(std::uint32_t c) { low_[c >> 5] |= 1u << (c & 31); }
    void add_folded(wchar_t c);
    bool in_ranges(std::uint32_t c) const;
    // Membership before negated classes, sub-sets and negation are applied.
    bool plain_member(std::uint32_t c) const;
    bool slow_member(wchar_t c, bool nocase) const;

    bool negated_ = false;
    bool simple_ = false;
    std::uint32_t low_[8] = {};
    std::uint16_t class_mask_ = 0;
    std::vector<char_range> ranges_; // members from 256 up, sorted after optimize()
    std::vector<std::uint16_t> negated_classes_;
    std::vector<const charset*> subsets_;
};

// A bracket expression's set; lives in its pattern's node arena.
class custom_charset : public charset {};

// The shared sets of the escapes, built on first use and kept for the process.
struct intrinsic_charsets {
    class intrinsic_charset : public charset {};
    static const charset& word();
    static const charset& not_word();
    static const charset& digit();
    static const charset& not_digit();
    static const charset& space();
    static const charset& not_space();
    // The set of an escape token (esc_digit .. esc_not_word).
    static const charset& for_token(int token);
};

// Parses a bracket expression: pos stands after the '[' and ends after the ']'.
void parse_charset(charset& set, const wchar_t*& pos, const wchar_t* end,
                   const perl_syntax& syntax);

} // namespace regex::detail
