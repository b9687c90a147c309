// Case folding and character classes that do not depend on the process locale.
// Qt sets LC_CTYPE from the environment, so the engine asks one fixed UTF-8
// locale object instead: a pattern answers the same under "C" and "C.UTF-8".
#pragma once

#include <cstdint>

namespace regex::detail {

// The named classes of bracket expressions, one bit each. glibc's wctype()
// returns an opaque handle rather than a mask, so a set keeps these bits and
// tests them one class at a time.
enum class_bits : std::uint16_t {
    cls_alnum = 1 << 0,
    cls_alpha = 1 << 1,
    cls_blank = 1 << 2,
    cls_cntrl = 1 << 3,
    cls_digit = 1 << 4,
    cls_graph = 1 << 5,
    cls_lower = 1 << 6,
    cls_print = 1 << 7,
    cls_punct = 1 << 8,
    cls_space = 1 << 9,
    cls_upper = 1 << 10,
    cls_xdigit = 1 << 11,
};
constexpr int class_count = 12;

// Highest code point that sets and their complements cover.
constexpr char32_t max_code_point = 0x10FFFF;

wchar_t fold_lower(wchar_t c);
wchar_t fold_upper(wchar_t c);
bool is_white_space(wchar_t c);

// True when c belongs to at least one class of mask.
bool in_classes(wchar_t c, std::uint16_t mask);

} // namespace regex::detail
