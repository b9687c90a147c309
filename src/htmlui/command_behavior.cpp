// The "command" behaviour: press captures, release inside sends the command.
#include "htmlui/command_behavior.h"

#include <cstring>

namespace htmlui {

int CommandBehavior::OnMouse(const ElementRef& element, const ElementRef&, unsigned cmd, int x,
                             int y, unsigned, unsigned)
{
    if (cmd == html::kMouseDown) {
        element.SetCapture();
        element.SetState(html::kStateCurrent, 0, true);
        return 1;
    }
    if (cmd != html::kMouseUp)
        return 0;
    element.ReleaseCapture();
    const bool wasCurrent = element.HasState(html::kStateCurrent);
    if (wasCurrent)
        element.SetState(0, html::kStateCurrent, true);
    const QRect box = element.GetLocation(html::kSelfRelative | html::kBorderBox);
    if (!box.contains(x, y))
        return 1;
    const std::wstring id = element.GetAttribute("id").value_or(L"");
    html::View* window = element.GetHwnd();
    if (id.empty() || !wasCurrent || !window)
        return 1;
    CommandNotification note;
    std::memset(&note, 0, sizeof note);
    note.window = window;
    note.controlId = window->ControlId();
    note.code = 1;
    // The id is cut so that the record always holds its terminating zero.
    id.copy(note.id, kCommandIdLength - 1);
    note.element = element.Handle();
    window->SendMessage(kCommandMessage, 1, reinterpret_cast<std::intptr_t>(&note));
    return 1;
}

}  // namespace htmlui
