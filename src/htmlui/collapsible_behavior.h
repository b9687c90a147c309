// "collapsible-by-icon": a click on the element's icon opens or closes it.
#pragma once

#include "htmlui/behavior.h"

namespace htmlui {

class CollapsibleByIconBehavior : public Behavior {
public:
    CollapsibleByIconBehavior() : Behavior(html::kHandleMouse, "collapsible-by-icon") {}
    int OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd, int x, int y,
                unsigned buttons, unsigned keys) override;
};

}  // namespace htmlui
