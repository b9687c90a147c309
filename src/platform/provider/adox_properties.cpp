// ADOX properties.
#include "platform/provider/adox_properties.h"

namespace provider::adox {

void Property::SetValue(const automation::Variant& value)
{
    if (readOnly_)
        throw automation::ComError(adodb::adErrInvalidArgument,
                                   L"The property '" + name_ + L"' is read-only.");
    if (setter_)
        setter_(value);  // raises when the store refuses; the old value stays
    value_ = value;
}

bool PropertyFlag(const automation::Variant& value)
{
    if (value.IsEmpty() || value.IsNull())
        return false;
    return automation::ChangeType(value, automation::VT_BOOL).boolVal() != 0;
}

}  // namespace provider::adox
