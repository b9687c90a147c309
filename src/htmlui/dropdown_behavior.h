// "dropdown": a press on the element shows its popup child below it.
#pragma once

#include "htmlui/behavior.h"

namespace htmlui {

class DropdownBehavior : public Behavior {
public:
    DropdownBehavior() : Behavior(html::kHandleMouse | html::kHandleBehaviorEvent, "dropdown") {}
    int OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd, int x, int y,
                unsigned buttons, unsigned keys) override;
};

}  // namespace htmlui
