// Shows the first popup below the element unless it is already shown.
#include "htmlui/dropdown_behavior.h"

namespace htmlui {

int DropdownBehavior::OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd,
                              int, int, unsigned, unsigned)
{
    if (cmd != html::kMouseDown)
        return 0;
    const ElementRef popup = element.FindFirst(".popup,popup");
    if (popup.IsValid() && target.IsValid() && popup.Handle()->IsAncestorOrSelf(target.Handle()))
        return 1;
    if (popup.IsValid() && !element.HasState(html::kStateOwnsPopup)) {
        element.Update(true);
        if (html::View* view = element.GetHwnd())
            view->ShowPopup(popup.Handle(), element.Handle(), html::kPlaceBelow);
        popup.SetState(0, html::kStateFocus, true);
    }
    return 1;
}

}  // namespace htmlui
