// Entry point of the comparison program.
#include <QApplication>
#include <QDialog>
#include <clocale>

#include "platform/crash/crash_dump_writer.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    crash::InstallCrashDumpFilter("corvina.dmp");
    QDialog wizard;
    wizard.setWindowTitle("Corvina");
    wizard.resize(720, 520);
    wizard.show();
    return app.exec();
}
