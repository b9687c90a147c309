// The comparison program's process shell: crash handler, the wizard and the message loop.
#pragma once

namespace ui {
class FrameDialogs;
}

namespace corvina {

// Exit codes of the wizard: its close box and Escape, and File, Exit.
constexpr int kExitClose = 2;
constexpr int kExitMenu = 32774;

// Shows the wizard and runs the message loop until it closes; returns the command that closed
// it (kExitClose or kExitMenu), or 0 when the wizard cannot be made. A QApplication must exist.
int RunApplication(ui::FrameDialogs& dialogs);

}  // namespace corvina
