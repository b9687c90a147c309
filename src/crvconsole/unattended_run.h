// The script runner's unattended road: parse the command line, run the script, report a failure
// on the inherited standard output, in "crvconsole.log" or in a message box, and give the exit
// code (1 for success, 0 otherwise). Needs no display.
#pragma once

#include <string>
#include <vector>

namespace crvconsole {

// `arguments` as the process received them, the program name first.
int RunUnattendedRoad(std::vector<std::wstring> arguments);

// Writes `text` to the standard output as UTF-8, exactly, with no line end added.
void WriteToConsole(const std::wstring& text);

// Appends `text` and one line end to `logPath` as UTF-8; false when the file cannot be opened or
// written whole.
bool AppendToLogFile(const std::wstring& logPath, const std::wstring& text);

// True when the variable is set and not empty.
bool EnvironmentSet(const char* name);

}  // namespace crvconsole
