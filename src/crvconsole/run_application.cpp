#include "crvconsole/run_application.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <string>

#include "crvconsole/main_frame.h"
#include "crvconsole/unattended_run.h"
#include "platform/crash/crash_dump_writer.h"
#include "platform/ui/display_probe.h"

namespace crvconsole {

int RunApplication(int argc, char** argv)
{
    // Without a display Qt would abort; say plainly what is missing instead.
    if (const std::string problem = ui::DisplayProblem(); !problem.empty()) {
        std::fprintf(stderr,
                     "CrvConsole: %s. To run a script without one, give the script file and "
                     "the database file on the command line.\n",
                     problem.c_str());
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
