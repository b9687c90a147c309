// ADOX's Properties of tables and columns: named values, some of which
// (column rules) change the store when set.
#pragma once

#include <functional>
#include <string>

#include "platform/automation/variant.h"
#include "platform/provider/adox_collection.h"

namespace provider::adox {

class Property : public automation::Object {
public:
    using Setter = std::function<void(const automation::Variant&)>;

    // Without a setter the property only keeps what it is given (objects
    // not yet appended to a catalog); `readOnly` refuses every change.
    Property(std::wstring name, automation::Variant value, Setter setter = {},
             bool readOnly = false)
        : name_(std::move(name)),
          value_(std::move(value)),
          setter_(std::move(setter)),
          readOnly_(readOnly)
    {
    }

    const std::wstring& Name() const { return name_; }
    const automation::Variant& Value() const { return value_; }
    void SetValue(const automation::Variant& value);
    long Type() const { return static_cast<long>(value_.vt()); }

private:
    std::wstring name_;
    automation::Variant value_;
    Setter setter_;
    bool readOnly_;
};

class Properties : public Collection<Property> {
public:
    void Add(const std::wstring& name, automation::Variant value, Property::Setter setter = {},
             bool readOnly = false)
    {
        Collection<Property>::Add(
            std::make_shared<Property>(name, std::move(value), std::move(setter), readOnly));
    }
};

// A property value as a flag, as the catalog readers take it: empty and
// Null are false, anything else is converted to a boolean.
bool PropertyFlag(const automation::Variant& value);

}  // namespace provider::adox
