// The shape every ADOX collection shares: Count and Item by ordinal or by
// name (names match without regard to case, as Jet's do).
#pragma once

#include <cwctype>
#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/provider/ado.h"

namespace provider::adox {

template <class T>
class Collection : public automation::Object {
public:
    long Count() const { return static_cast<long>(items_.size()); }

    automation::Ptr<T> Item(long index) const
    {
        if (index < 0 || index >= Count())
            NotFound();
        return items_[static_cast<size_t>(index)];
    }

    automation::Ptr<T> Item(const std::wstring& name) const
    {
        for (const automation::Ptr<T>& item : items_)
            if (SameName(item->Name(), name))
                return item;
        NotFound();
    }
    automation::Ptr<T> Item(const wchar_t* name) const { return Item(std::wstring(name)); }

    // By ordinal (a number) or by name (a text), as automation callers pass it.
    automation::Ptr<T> Item(const automation::Variant& index) const
    {
        if (index.vt() == automation::VT_BSTR)
            return Item(index.bstrVal());
        return Item(automation::ChangeType(index, automation::VT_I4).lVal());
    }

    void Add(automation::Ptr<T> item) { items_.push_back(std::move(item)); }

protected:
    [[noreturn]] static void NotFound()
    {
        throw automation::ComError(
            adodb::adErrItemNotFound,
            L"Item cannot be found in the collection corresponding to the requested name or "
            L"ordinal.");
    }

    static bool SameName(const std::wstring& a, const std::wstring& b)
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::towlower(a[i]) != std::towlower(b[i]))
                return false;
        return true;
    }

    std::vector<automation::Ptr<T>> items_;
};

}  // namespace provider::adox
