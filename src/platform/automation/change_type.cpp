// The automation conversions between value types.
#include "platform/automation/variant.h"

namespace automation {

Variant ChangeTypeEx(const Variant& v, Lcid, uint16_t, VarType to)
{
    if (v.vt() == to)
        return v;
    throw ComError(E_NOTIMPL, L"Conversion not implemented yet.");
}

Variant ChangeType(const Variant& v, VarType to, uint16_t flags)
{
    return ChangeTypeEx(v, LOCALE_USER_DEFAULT, flags, to);
}

}  // namespace automation
