// Locale-independent folding and classification (see char_class.h).
#include "regex/char_class.h"

#include <array>
#include <clocale>
#include <locale.h>
#include <wctype.h>

namespace regex::detail {
namespace {

// Names in the order of the bits of class_bits.
constexpr const char* class_names[class_count] = {"alnum", "alpha", "blank", "cntrl",
                                                  "digit", "graph", "lower", "print",
                                                  "punct", "space", "upper", "xdigit"};

struct Classifier {
    locale_t loc = nullptr;
    wctype_t handles[class_count] = {};
    // Class bits and case forms of the first 256 code points, the hot path of
    // every set and atom.
    std::array<std::uint16_t, 256> low_bits{};
    std::array<wchar_t, 256> low_lower{};
    std::array<wchar_t, 256> low_upper{};

    Classifier()
    {
        loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        if (!loc)
            loc = newlocale(LC_CTYPE_MASK, "C", nullptr); // ASCII answers only
        for (int i = 0; i < class_count; ++i)
            handles[i] = wctype_l(class_names[i], loc);
        for (unsigned c = 0; c < 256; ++c) {
            low_bits[c] = slow_bits(static_cast<wchar_t>(c), 0xFFFF);
            low_lower[c] = static_cast<wchar_t>(towlower_l(c, loc));
            low_upper[c] = static_cast<wchar_t>(towupper_l(c, loc));
        }
    }
    ~Classifier()
    {
        if (loc)
            freelocale(loc);
    }

    std::uint16_t slow_bits(wchar_t c, std::uint16_t mask) const
    {
        std::uint16_t found = 0;
        for (int i = 0; i < class_count; ++i) {
            const std::uint16_t bit = static_cast<std::uint16_t>(1u << i);
            if ((mask & bit) && iswctype_l(static_cast<wint_t>(c), handles[i], loc))
                found |= bit;
        }
        return found;
    }
};

const Classifier& classifier()
{
    static const Classifier instance;
    return instance;
}

bool in_unicode_range(wchar_t c)
{
    return static_cast<std::uint32_t>(c) <= max_code_point;
}

} // namespace

wchar_t fold_lower(wchar_t c)
{
    const Classifier& k = classifier();
    if (static_cast<std::uint32_t>(c) < 256)
        return k.low_lower[static_cast<unsigned>(c)];
    if (!in_unicode_range(c))
        return c;
    return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), k.loc));
}

wchar_t fold_upper(wchar_t c)
{
    const Classifier& k = classifier();
    if (static_cast<std::uint32_t>(c) < 256)
        return k.low_upper[static_cast<unsigned>(c)];
    if (!in_unicode_range(c))
        return c;
    return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), k.loc));
}

bool is_white_space(wchar_t c)
{
    return in_classes(c, cls_space);
}

bool in_classes(wchar_t c, std::uint16_t mask)
{
    const Classifier& k = classifier();
    if (static_cast<std::uint32_t>(c) < 256)
        return (k.low_bits[static_cast<unsigned>(c)] & mask) != 0;
    if (!in_unicode_range(c))
        return false;
    return k.slow_bits(c, mask) != 0;
}

} // namespace regex::detail
