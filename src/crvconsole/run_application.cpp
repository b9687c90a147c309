#include "crvconsole/run_application.h"

#include <QApplication>
#include <clocale>

#include "crvconsole/main_frame.h"
#include "platform/crash/crash_dump_writer.h"

namespace crvconsole {

int RunApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
    crash::InstallCrashDumpFilter("crvconsole.dmp");
    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    return app.exec();
}

}  // namespace crvconsole
