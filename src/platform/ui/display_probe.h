// Whether a window can be shown at all, asked before Qt is started: Qt ends the process when
// the display it is told to use cannot be reached, so the programs ask first and say why not.
#pragma once

#include <string>

namespace ui {

// Empty when windows can be shown: a Qt platform was chosen explicitly, or the X display named
// by DISPLAY (or the Wayland compositor named by WAYLAND_DISPLAY) accepts a connection. Else a
// short sentence without a final full stop, such as "no display for the window" or
// "the display \":9\" cannot be reached".
std::string DisplayProblem();

}  // namespace ui
