// Case folding of table and field names.
#include "database/schema_name_folding.h"

#include <locale.h>
#include <wctype.h>

namespace {

// The case tables are taken from a locale object of our own rather than the
// process locale, so that a name folds the same way whether or not (and before or
// after) the program has set its locale. Without C.UTF-8 we fall back to the
// process locale, whose case tables are then the best we have.
locale_t NameLocale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

wchar_t FoldSchemaNameChar(wchar_t c)
{
    if (c < 0x80) {  // ASCII needs no tables, and most names are ASCII
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    }
    const locale_t locale = NameLocale();
    if (locale == static_cast<locale_t>(0))
        return static_cast<wchar_t>(towlower(towupper(c)));
    return static_cast<wchar_t>(towlower_l(towupper_l(c, locale), locale));
}

std::wstring FoldSchemaName(std::wstring_view name)
{
    std::wstring folded(name);
    for (wchar_t& c : folded)
        c = FoldSchemaNameChar(c);
    return folded;
}

bool SchemaNamesEqual(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldSchemaNameChar(a[i]) != FoldSchemaNameChar(b[i]))
            return false;
    }
    return true;
}
