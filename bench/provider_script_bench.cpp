// Running many small statements, as a synchronisation script does: INSERTs
// with literal values, then UPDATEs and DELETEs by key, each through its own
// ADODB.Command with options 129, on one connection.
//   provider_script_bench [statements]   (default 20,000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"

namespace {

using automation::Ptr;
using namespace provider::adodb;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Execute(const Ptr<Connection>& connection, const std::wstring& text)
{
    auto command = automation::CreateObjectAs<Command>(L"ADODB.Command");
    command->SetActiveConnection(connection);
    command->SetCommandType(adCmdText);
    command->SetCommandText(text);
    command->Execute(nullptr, nullptr, adCmdText | adExecuteNoRecords);
}

}  // namespace

int main(int argc, char** argv)
{
    long count = argc > 1 ? std::atol(argv[1]) : 20000;
    provider::RegisterProviderClasses();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("provider_script_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::wstring connect = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                           automation::FromUtf8((dir / "script.mdb").string());
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(connect);
    Execute(connection,
            L"CREATE TABLE [Customers] ([ID] LONG CONSTRAINT PrimaryKey PRIMARY KEY, "
            L"[Name] TEXT(50), [Balance] CURRENCY, [Since] DATETIME, [Active] YESNO)");
    struct Phase {
        const char* name;
        std::wstring (*statement)(long);
    };
    const Phase phases[] = {
        {"INSERT",
         [](long i) {
             return L"INSERT INTO [Customers] ([ID], [Name], [Balance], [Since], [Active]) "
                    L"VALUES (" +
                    std::to_wstring(i) + L", \"Customer " + std::to_wstring(i) +
                    L"\" & chr(13) & chr(10) & \"x\", " + std::to_wstring(i) +
                    L".25, #01/02/2003 10:20:30#, -1);";
         }},
        {"UPDATE",
         [](long i) {
             return L"UPDATE [Customers] SET [Name]=\"Changed\", [Balance]=1.5 WHERE [ID]=" +
                    std::to_wstring(i) + L";";
         }},
        {"DELETE",
         [](long i) { return L"DELETE FROM [Customers] WHERE [ID]=" + std::to_wstring(i) + L";"; }},
    };
    for (const Phase& phase : phases) {
        auto start = Clock::now();
        for (long i = 1; i <= count; ++i)
            Execute(connection, phase.statement(i));
        double s = Seconds(start);
        std::printf("%ld %s statements: %.3f s (%.1f us each)\n", count, phase.name, s,
                    s / count * 1e6);
    }
    connection->Close();
    std::filesystem::remove_all(dir);
    return 0;
}
