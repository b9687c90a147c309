#include "crvconsole/run_application.h"

#include <QApplication>
#include <clocale>
#include <cstdio>

#include "crvconsole/main_frame.h"
#include "crvconsole/unattended_run.h"
#include "platform/crash/crash_dump_writer.h"

namespace crvconsole {

int RunApplication(int argc, char** argv)
{
    // Without any display Qt would abort; say plainly what is missing instead.
    if (!EnvironmentSet("QT_QPA_PLATFORM") && !EnvironmentSet("DISPLAY") &&
        !EnvironmentSet("WAYLAND_DISPLAY")) {
        std::fputs(
            "CrvConsole: no display for the window. To run a script without one, give "
            "the script file and the database file on the command line.\n",
            stderr);
        return 0;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
    crash::InstallCrashDumpFilter("crvconsole.dmp");
    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    return app.exec();
}

}  // namespace crvconsole
