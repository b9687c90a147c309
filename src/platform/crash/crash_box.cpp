#include "platform/crash/crash_box.h"

#include <QApplication>
#include <QFile>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/crash/crash_dump_writer.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/message_box.h"

namespace crash {

bool ShowCrashBoxIfAsked(int argc, char** argv)
{
    const char* value = std::getenv(kCrashMessageVariable);
    if (!value)
        return false;
    // The message names the dump file by its bytes on disk.
    const std::wstring message = QFile::decodeName(value).toStdWString();
    unsetenv(kCrashMessageVariable);  // nothing started from here is a box process
    const std::wstring caption = QString::fromLatin1(kExceptionCaption).toStdWString();
    if (!ui::DisplayProblem().empty()) {
        ui::ShowMessageBox(nullptr, message, caption, ui::MB_OK | ui::MB_ICONERROR);
        return true;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
    ui::ShowMessageBox(nullptr, message, caption, ui::MB_OK | ui::MB_ICONERROR);
    return true;
}

}  // namespace crash
