// Entry point of the comparison program. The wizard's exit codes are larger than a process
// status holds: the status is their low byte (2 for the close box and Escape, 6 for File, Exit).
#include <QApplication>
#include <clocale>
#include <cstdio>

#include "corvina/run_application.h"
#include "database/db_connection.h"
#include "platform/provider/provider_classes.h"
#include "platform/ui/frame_dialogs.h"

int main(int argc, char** argv)
{
    if (!corvina::HasDisplay()) {
        // Qt would abort without a display; say plainly what is missing instead.
        std::fputs("Corvina: no display for the window. Start it on a desktop, or headless "
                   "under a virtual display (xvfb-run -a corvina).\n",
                   stderr);
        return 0;
    }
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");  // QApplication resets it from the environment
    provider::RegisterProviderClasses();
    DbConnection::SetProgram(DbConnection::Program::Comparison);
    return corvina::RunApplication(ui::DefaultFrameDialogs()) & 0xFF;
}
