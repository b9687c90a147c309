// Character sets and the bracket-expression parser (see charset.h).
#include "regex/charset.h"

#include "regex/char_class.h"

#include <algorithm>

namespace regex::detail {

void charset::clear()
{
    negated_ = false;
    simple_ = false;
    std::fill(std::begin(low_), std::end(low_), 0u);
    class_mask_ = 0;
    ranges_.clear();
    negated_classes_.clear();
    subsets_.clear();
}

// Adds c as it stands; a character at or above 256 becomes a one-character range.
void charset::add_folded(wchar_t c)
{
    const auto u = static_cast<std::uint32_t>(c);
    if (u < 256)
        set_low_bit(u);
    else
        ranges_.push_back({u, u});
}

void charset::add_char(wchar_t c, bool fold)
{
    const auto u = static_cast<std::uint32_t>(c);
    if (u >= 256) {
        ranges_.push_back({u, u});
        return;
    }
    if (!fold) {
        set_low_bit(u);
        return;
    }
    // Folding follows the same wide-character rules as single-character atoms,
    // so characters 128-255 behave alike in sets and outside them.
    add_folded(fold_lower(c));
    add_folded(fold_upper(c));
}

void charset::add_range(wchar_t first, wchar_t last, bool fold)
{
    const auto lo = static_cast<std::uint32_t>(first);
    const auto hi = static_cast<std::uint32_t>(last);
    if (hi < lo)
        throw bad_regexpr("invalid range specified in character set");
    for (std::uint32_t c = lo; c <= std::min<std::uint32_t>(hi, 255); ++c)
        add_char(static_cast<wchar_t>(c), fold);
    if (hi >= 256)
        ranges_.push_back({std::max<std::uint32_t>(lo, 256), hi});
}

void charset::add_set(const charset& other)
{
    if (!other.negated_) {
        for (int i = 0; i < 8; ++i)
            low_[i] |= other.low_[i];
        ranges_.insert(ranges_.end(), other.ranges_.begin(), other.ranges_.end());
        negated_classes_.insert(negated_classes_.end(), other.negated_classes_.begin(),
                                other.negated_classes_.end());
        subsets_.insert(subsets_.end(), other.subsets_.begin(), other.subsets_.end());
        class_mask_ |= other.class_mask_;
        return;
    }
    if (other.class_mask_ == 0 && other.negated_classes_.empty() && other.subsets_.empty()) {
        for (int i = 0; i < 8; ++i)
            low_[i] |= ~other.low_[i];
        std::uint32_t prev = 255;
        for (const char_range& r : other.ranges_) { // sorted: other is optimized
            if (r.first > prev + 1)
                ranges_.push_back({prev + 1, r.first - 1});
            prev = std::max(prev, r.last);
        }
        if (prev < max_code_point)
            ranges_.push_back({prev + 1, max_code_point});
        return;
    }
    subsets_.push_back(&other);
}

void charset::optimize()
{
    std::sort(ranges_.begin(), ranges_.end(),
              [](const char_range& a, const char_range& b) { return a.first < b.first; });
    std::vector<char_range> merged;
    for (const char_range& r : ranges_) {
        if (merged.empty() || r.first > merged.back().last + 1)
            merged.push_back(r);
        else
            merged.back().last = std::max(merged.back().last, r.last);
    }
    ranges_.swap(merged);
    if (class_mask_ != 0)
        for (std::uint32_t c = 0; c < 256; ++c)
            if (in_classes(static_cast<wchar_t>(c), class_mask_))
                set_low_bit(c);
    simple_ = negated_classes_.empty() && subsets_.empty();
}

bool charset::in_ranges(std::uint32_t c) const
{
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), c,
                               [](std::uint32_t v, const char_range& r) { return v < r.first; });
    return it != ranges_.begin() && c <= std::prev(it)->last;
}

bool charset::plain_member(std::uint32_t c) const
{
    if (c < 256)
        return low_bit(c);
    return in_ranges(c) || (class_mask_ != 0 && in_classes(static_cast<wchar_t>(c), class_mask_));
}

bool charset::slow_member(wchar_t c, bool nocase) const
{
    for (std::uint16_t m : negated_classes_)
        if (!in_classes(c, m))
            return true;
    for (const charset* s : subsets_)
        if (nocase ? s->contains_nocase(c) : s->contains(c))
            return true;
    return false;
}

bool charset::contains(wchar_t c) const
{
    bool found = plain_member(static_cast<std::uint32_t>(c));
    if (!found && !simple_)
        found = slow_member(c, false);
    return found != negated_;
}

bool charset::contains_nocase(wchar_t c) const
{
    const auto u = static_cast<std::uint32_t>(c);
    bool found = plain_member(u);
    if (!found) {
        // Below 256 the bitmap holds both cases already; only a case form at
        // or above 256 (such as the upper case of U+00FF) needs the ranges.
        const auto up = static_cast<std::uint32_t>(fold_upper(c));
        if (up != u && (u >= 256 || up >= 256))
            found = plain_member(up);
        if (!found && u >= 256) {
            const auto low = static_cast<std::uint32_t>(fold_lower(c));
            if (low != up && low != u)
                found = plain_member(low);
        }
    }
    if (!found && !simple_)
        found = slow_member(c, true);
    return found != negated_;
}

namespace {

using intrinsic = intrinsic_charsets::intrinsic_charset;

void build(intrinsic& set, bool negated, std::uint16_t mask, const wchar_t* extra)
{
    set.clear();
    set.set_negated(negated);
    set.add_class(mask);
    for (; *extra; ++extra)
        set.add_char(*extra, false);
    set.optimize();
}

} // namespace

const charset& intrinsic_charsets::word()
{
    static intrinsic set;
    static const bool built = (build(set, false, cls_alpha | cls_digit, L"_"), true);
    (void)built;
    return set;
}
const charset& intrinsic_charsets::not_word()
{
    static intrinsic set;
    static const bool built = (build(set, true, cls_alpha | cls_digit, L"_"), true);
    (void)built;
    return set;
}
const charset& intrinsic_charsets::digit()
{
    static intrinsic set;
    static const bool built = (build(set, false, cls_digit, L""), true);
    (void)built;
    return set;
}
const charset& intrinsic_charsets::not_digit()
{
    static intrinsic set;
    static const bool built = (build(set, true, cls_digit, L""), true);
    (void)built;
    return set;
}
const charset& intrinsic_charsets::space()
{
    static intrinsic set;
    static const bool built = (build(set, false, cls_space, L""), true);
    (void)built;
    return set;
}
const charset& intrinsic_charsets::not_space()
{
    static intrinsic set;
    static const bool built = (build(set, true, cls_space, L""), true);
    (void)built;
    return set;
}

const charset& intrinsic_charsets::for_token(int tok)
{
    switch (tok) {
    case esc_digit: return digit();
    case esc_not_digit: return not_digit();
    case esc_space: return space();
    case esc_not_space: return not_space();
    case esc_word: return word();
    default: return not_word();
    }
}

namespace {

constexpr std::uint16_t class_by_index[12] = {cls_alnum, cls_alpha, cls_blank, cls_cntrl,
                                              cls_digit, cls_graph, cls_lower, cls_print,
                                              cls_punct, cls_space, cls_upper, cls_xdigit};

[[noreturn]] void unterminated()
{
    throw bad_regexpr("expecting end of character set");
}

bool is_octal(wchar_t c) { return c >= L'0' && c <= L'7'; }

int hex_value(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// The value of an escape inside a set; pos stands on the character after the backslash.
wchar_t escape_value(const wchar_t*& pos, const wchar_t* end, bool unescape)
{
    if (pos == end)
        unterminated();
    const wchar_t c = *pos++;
    if (is_octal(c)) {
        unsigned value = static_cast<unsigned>(c - L'0');
        for (int i = 0; i < 2; ++i) {
            if (pos == end)
                unterminated();
            if (!is_octal(*pos))
                break;
            value = value * 8 + static_cast<unsigned>(*pos++ - L'0');
        }
        return static_cast<wchar_t>(value & 0xFFFF);
    }
    switch (c) {
    case L'x': {
        unsigned value = 0;
        for (int i = 0; i < 2; ++i) {
            if (pos == end)
                unterminated();
            const int h = hex_value(*pos);
            if (h < 0)
                break;
            value = value * 16 + static_cast<unsigned>(h);
            ++pos;
        }
        return static_cast<wchar_t>(value);
    }
    case L'c': {
        if (pos == end)
            unterminated();
        wchar_t k = *pos++;
        if (k >= L'a' && k <= L'z')
            k = static_cast<wchar_t>(k - L'a' + L'A');
        return static_cast<wchar_t>(k ^ 0x40);
    }
    case L'e': return 27;
    case L'a': return unescape ? 7 : c;
    case L'f': return unescape ? 12 : c;
    case L'n': return unescape ? 10 : c;
    case L'r': return unescape ? 13 : c;
    case L't': return unescape ? 9 : c;
    case L'v': return unescape ? 11 : c;
    default: return c;
    }
}

void add_named_class(charset& set, int index, bool fold)
{
    std::uint16_t mask = class_by_index[index / 2];
    if (fold && (mask == cls_lower || mask == cls_upper))
        mask = cls_lower | cls_upper;
    if (index % 2 == 0)
        set.add_class(mask);
    else
        set.add_negated_class(mask);
}

} // namespace

void parse_charset(charset& set, const wchar_t*& pos, const wchar_t* end,
                   const perl_syntax& syntax)
{
    const bool fold = (syntax.flags() & ignore_case) != 0;
    const bool unescape = (syntax.flags() & unescape_text) != 0;
    bool has_pending = false;
    wchar_t pending = 0;
    auto flush = [&] {
        if (has_pending)
            set.add_char(pending, fold);
        has_pending = false;
    };

    if (pos == end)
        unterminated();
    if (*pos == L'^') {
        set.set_negated(true);
        ++pos;
    }
    if (pos == end)
        unterminated();
    int tok = syntax.read_charset_token(pos, end);
    for (;;) {
        if (has_pending && tok == set_range) {
            const wchar_t* after_dash = pos;
            if (pos == end)
                unterminated();
            const int next = syntax.read_charset_token(pos, end);
            bool is_range = true;
            wchar_t upper = 0;
            switch (next) {
            case set_negate:
            case set_range:
                pos = after_dash;
                upper = *pos++;
                break;
            case no_token:
                upper = *pos++;
                break;
            case set_escape:
                upper = escape_value(pos, end, unescape);
                break;
            case set_backspace:
                upper = 8;
                break;
            default:
                is_range = false;
                break;
            }
            if (is_range) {
                has_pending = false;
                set.add_range(pending, upper, fold);
            } else {
                pos = after_dash - 1;
                flush();
                set.add_char(L'-', fold);
                ++pos;
            }
        } else {
            flush();
            switch (tok) {
            case esc_digit:
            case esc_not_digit:
            case esc_space:
            case esc_not_space:
            case esc_word:
            case esc_not_word:
                set.add_set(intrinsic_charsets::for_token(tok));
                break;
            case set_negate: pending = L'^'; has_pending = true; break;
            case set_range: pending = L'-'; has_pending = true; break;
            case set_close: pending = L']'; has_pending = true; break;
            case set_escape:
                pending = escape_value(pos, end, unescape);
                has_pending = true;
                break;
            case set_backspace: pending = 8; has_pending = true; break;
            case no_token:
                pending = *pos++;
                has_pending = true;
                break;
            default: // a named class
                add_named_class(set, tok - set_class_first, fold);
                break;
            }
        }
        if (pos == end)
            unterminated();
        tok = syntax.read_charset_token(pos, end);
        if (tok == set_close)
            break;
    }
    flush();
    set.optimize();
}

} // namespace regex::detail
