// The second half of a crash report: the crash handler starts the crashed program once more,
// with the message in its environment, and that process only shows the message box. Each
// program asks at the very start of main whether it is such a process.
#pragma once

namespace crash {

// When this process was started to show a crash message: shows it in the "Exception" box with
// the error icon (on standard error when no display can be reached) and returns true, and the
// program then ends with status 0. Else returns false at once and changes nothing.
bool ShowCrashBoxIfAsked(int argc, char** argv);

}  // namespace crash
