// Entry point of the comparison program. The wizard's exit codes are larger than a process
// status holds: the status is their low byte (2 for the close box and Escape, 6 for File, Exit).
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <string>

#include "corvina/run_application.h"
#include "database/db_connection.h"
#include "platform/crash/crash_box.h"
#include "platform/provider/provider_classes.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/frame_dialogs.h"

int main(int argc, char** argv)
{
    if (crash::ShowCrashBoxIfAsked(argc, argv))
        return 0;
    if (const std::string problem = ui::DisplayProblem(); !problem.empty()) {
        // Qt would abort without a display; say plainly what is missing instead.
        std::fprintf(stderr,
                     "Corvina: %s. Start it on a desktop, or headless under a virtual display "
                     "(xvfb-run -a corvina).\n",
                     problem.c_str());
        return 0;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
    provider::RegisterProviderClasses();
    DbConnection::SetProgram(DbConnection::Program::Comparison);
    return corvina::RunApplication(ui::DefaultFrameDialogs()) & 0xFF;
}
