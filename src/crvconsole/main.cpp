// Entry point of the script runner: with arguments an unattended run that ends with an exit
// code, without them the editor window.
#include <clocale>
#include <string>
#include <vector>

#include "crvconsole/run_application.h"
#include "crvconsole/unattended_run.h"
#include "database/db_connection.h"
#include "platform/automation/wide_text.h"
#include "platform/crash/crash_box.h"
#include "platform/provider/provider_classes.h"

int main(int argc, char** argv)
{
    if (crash::ShowCrashBoxIfAsked(argc, argv))
        return 0;
    std::setlocale(LC_CTYPE, "C.UTF-8");
    // The database objects the script executor creates by name, for both roads; the script
    // runner shares the databases it opens (no exclusive lock).
    provider::RegisterProviderClasses();
    DbConnection::SetProgram(DbConnection::Program::ScriptRunner);
    if (argc > 1) {
        std::vector<std::wstring> arguments;
        for (int i = 0; i < argc; ++i)
            arguments.push_back(automation::FromUtf8(argv[i]));
        return crvconsole::RunUnattendedRoad(std::move(arguments));
    }
    return crvconsole::RunApplication(argc, argv);
}
