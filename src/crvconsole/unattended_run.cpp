#include "crvconsole/unattended_run.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "crvconsole/command_line.h"
#include "platform/automation/wide_text.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/message_box.h"

namespace crvconsole {
namespace {

constexpr const wchar_t* kLogFileName = L"crvconsole.log";

// The unattended road makes no Qt application up front: a run that succeeds, or reports to the
// console or the log file, never touches a display. Only a message box needs one, and only when
// a display is there and answers; else the box goes to standard error. The application ends with
// the road, before the program's static objects, as Qt requires.
class BoxHost {
public:
    int Show(const std::wstring& text, const std::wstring& caption, unsigned type)
    {
        if (!QCoreApplication::instance() && DisplayExpected()) {
            app_ = std::make_unique<QApplication>(argc_, argv_);
            std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
        }
        return ui::ShowMessageBox(nullptr, text, caption, type);
    }

private:
    static bool DisplayExpected() { return ui::DisplayProblem().empty(); }

    int argc_ = 1;
    char name_[11] = "crvconsole";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

}  // namespace

bool EnvironmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

void WriteToConsole(const std::wstring& text)
{
    const std::string bytes = automation::ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

bool AppendToLogFile(const std::wstring& logPath, const std::wstring& text)
{
    std::FILE* file = std::fopen(automation::ToUtf8(logPath).c_str(), "ab");
    if (!file)
        return false;
    const std::string bytes = automation::ToUtf8(text) + '\n';
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

int RunUnattendedRoad(std::vector<std::wstring> arguments)
{
    BoxHost boxes;
    CommandLine commandLine(std::move(arguments));
    if (!commandLine.Parse()) {
        boxes.Show(commandLine.GetMessage(), L"Help", ui::MB_ICONINFORMATION);
        return 0;
    }
    if (commandLine.RunUnattended())
        return 1;

    // Both report switches may be given; each is served.
    if (commandLine.ToConsole())
        WriteToConsole(commandLine.GetMessage());
    if (commandLine.ToLogFile() && !AppendToLogFile(kLogFileName, commandLine.GetMessage()))
        boxes.Show(L"Can't write to the log file", L"Error", ui::MB_ICONERROR);
    if (!commandLine.ToConsole() && !commandLine.ToLogFile())
        boxes.Show(commandLine.GetMessage(), L"Error", ui::MB_ICONERROR);
    return 0;
}

}  // namespace crvconsole
