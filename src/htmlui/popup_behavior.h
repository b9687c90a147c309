// "popup" and "single_popup": a shown popup element hides itself when the
// user releases the mouse in it, clicks a button in it or moves the focus out.
#pragma once

#include "htmlui/behavior.h"

namespace htmlui {

class PopupBehavior : public Behavior {
public:
    PopupBehavior() : PopupBehavior("popup") {}
    int OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd, int x, int y,
                unsigned buttons, unsigned keys) override;
    int OnFocus(const ElementRef& element, const ElementRef& target, unsigned cmd) override;
    int OnEvent(const ElementRef& element, const ElementRef& target, unsigned cmd,
                std::uintptr_t reason) override;

protected:
    explicit PopupBehavior(const char* name)
        : Behavior(html::kHandleMouse | html::kHandleFocus | html::kHandleBehaviorEvent, name)
    {
    }
    virtual void Hide(const ElementRef& popup, const ElementRef& target);
    virtual bool HidesOnEvent(unsigned cmd) const;
};

// Told which single popup closed after a choice in its table. A callback
// unregisters itself when it goes, so the behaviour never calls a page that
// no longer exists.
class PopupDismissCallback {
public:
    virtual ~PopupDismissCallback();
    virtual void PopupDismissed(const ElementRef& popup) = 0;
};

class SinglePopupBehavior : public PopupBehavior {
public:
    SinglePopupBehavior() : PopupBehavior("single_popup") {}
    ~SinglePopupBehavior() override;

    void SetDismissCallback(PopupDismissCallback* callback) { callback_ = callback; }
    PopupDismissCallback* DismissCallback() const { return callback_; }
    // Calls the callback when the target lies in the popup's first table,
    // then hides the popup.
    void Dismiss(const ElementRef& popup, const ElementRef& target);

protected:
    void Hide(const ElementRef& popup, const ElementRef& target) override;
    bool HidesOnEvent(unsigned cmd) const override;

private:
    PopupDismissCallback* callback_ = nullptr;
};

// The program's one "single_popup" behaviour.
SinglePopupBehavior& TheSinglePopupBehavior();

}  // namespace htmlui
