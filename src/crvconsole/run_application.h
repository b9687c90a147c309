// The script runner's windowed road: crash handler, main window and message loop.
#pragma once

namespace crvconsole {

// Returns the message loop's result.
int RunApplication(int argc, char** argv);

}  // namespace crvconsole
