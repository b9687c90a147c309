// Toggles the "state" attribute between "open" and "close"; the style sheet
// shows or hides the element's rows by it.
#include "htmlui/collapsible_behavior.h"

#include <cwctype>

namespace htmlui {

namespace {

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

}  // namespace

int CollapsibleByIconBehavior::OnMouse(const ElementRef& element, const ElementRef& target,
                                       unsigned cmd, int, int, unsigned, unsigned)
{
    if (cmd != html::kMouseDown && cmd != html::kMouseDoubleClick)
        return 0;
    const ElementRef icon = element.FindFirst(".icon");
    if (!(icon == target))
        return 0;
    const std::wstring state = element.GetAttribute("state").value_or(L"");
    element.SetAttribute("state", EqualsNoCase(state, L"close") ? L"open" : L"close");
    element.Update(true);
    return 1;
}

}  // namespace htmlui
