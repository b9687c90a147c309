// Entry point of the script runner.
#include <QApplication>
#include <QMainWindow>
#include <clocale>

#include "platform/crash/crash_dump_writer.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    crash::InstallCrashDumpFilter("crvconsole.dmp");
    QMainWindow frame;
    frame.setWindowTitle("CrvConsole");
    frame.resize(800, 600);
    frame.show();
    return app.exec();
}
