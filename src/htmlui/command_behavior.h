// "command": an element that reports a click on it to its window as a
// command message.
#pragma once

#include "htmlui/behavior.h"

namespace htmlui {

// The message the window receives, with wParam 1 and lParam pointing to a
// CommandNotification that lives for the call.
constexpr unsigned kCommandMessage = 0x400 + 100;
constexpr std::size_t kCommandIdLength = 2048;

struct CommandNotification {
    html::View* window;
    int controlId;
    int code;                         // always 1
    wchar_t id[kCommandIdLength];     // the element's id, zero-terminated
    html::Element* element;
};

class CommandBehavior : public Behavior {
public:
    CommandBehavior() : Behavior(html::kHandleMouse, "command") {}
    int OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd, int x, int y,
                unsigned buttons, unsigned keys) override;
};

}  // namespace htmlui
