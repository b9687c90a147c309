// Hiding popups on release, button clicks and focus loss.
#include "htmlui/popup_behavior.h"

namespace htmlui {

namespace {

bool Inside(const ElementRef& container, const ElementRef& e)
{
    return container.IsValid() && e.IsValid() && container.Handle()->IsAncestorOrSelf(e.Handle());
}

}  // namespace

int PopupBehavior::OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd,
                           int, int, unsigned, unsigned)
{
    if ((cmd & ~html::kHandled) == html::kMouseUp) {
        Hide(element, target);
        return 1;
    }
    return cmd == html::kMouseDown ? 1 : 0;
}

int PopupBehavior::OnFocus(const ElementRef& element, const ElementRef& target, unsigned cmd)
{
    if ((cmd == html::kFocusLost || cmd == (html::kFocusLost | html::kSinking)) &&
        !Inside(element, target))
        Hide(element, target);
    return 1;
}

int PopupBehavior::OnEvent(const ElementRef& element, const ElementRef& target, unsigned cmd,
                           std::uintptr_t)
{
    if (HidesOnEvent(cmd))
        Hide(element, target);
    return 0;
}

bool PopupBehavior::HidesOnEvent(unsigned cmd) const
{
    const unsigned plain = cmd & ~html::kHandled;
    return plain == html::kButtonClick || plain == html::kHyperlinkClick;
}

void PopupBehavior::Hide(const ElementRef& popup, const ElementRef&)
{
    if (html::View* view = popup.GetHwnd())
        view->HidePopup(popup.Handle());
}

PopupDismissCallback::~PopupDismissCallback()
{
    if (TheSinglePopupBehavior().DismissCallback() == this)
        TheSinglePopupBehavior().SetDismissCallback(nullptr);
}

SinglePopupBehavior::~SinglePopupBehavior() = default;

bool SinglePopupBehavior::HidesOnEvent(unsigned cmd) const
{
    return cmd == html::kButtonClick || cmd == html::kHyperlinkClick;
}

void SinglePopupBehavior::Hide(const ElementRef& popup, const ElementRef& target)
{
    Dismiss(popup, target);
}

void SinglePopupBehavior::Dismiss(const ElementRef& popup, const ElementRef& target)
{
    const ElementRef table = popup.FindFirst("table");
    if (callback_ && Inside(table, target))
        callback_->PopupDismissed(popup);
    PopupBehavior::Hide(popup, target);
}

}  // namespace htmlui
