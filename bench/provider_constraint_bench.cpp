// The cost of the rules a table carries: INSERTs into a table without rules
// and into one with an enforced relation, a CHECK and a column validation
// rule; then DELETEs of parent rows whose children cascade away.
//   provider_constraint_bench [rows]   (default 20,000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/automation/wide_text.h"
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

void Run(const Ptr<Connection>& connection, const std::wstring& text)
{
    connection->Execute(text, nullptr, adCmdText | adExecuteNoRecords);
}

}  // namespace

int main(int argc, char** argv)
{
    long count = argc > 1 ? std::atol(argv[1]) : 20000;
    long parents = count / 10 + 1;
    provider::RegisterProviderClasses();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("provider_constraint_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::wstring connect = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                           automation::FromUtf8((dir / "rules.mdb").string());
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(connect);
    Run(connection, L"CREATE TABLE Parent (id LONG CONSTRAINT pk PRIMARY KEY, name TEXT(20))");
    for (const wchar_t* name : {L"Plain", L"Ruled"})
        Run(connection, L"CREATE TABLE " + std::wstring(name) +
                            L" (id LONG CONSTRAINT pk PRIMARY KEY, pid LONG, qty LONG, "
                            L"note TEXT(30))");
    Run(connection,
        L"ALTER TABLE Ruled ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES Parent "
        L"ON DELETE CASCADE");
    Run(connection, L"ALTER TABLE Ruled ADD CONSTRAINT positive CHECK (qty >= 0)");
    Run(connection, L"ALTER TABLE Ruled DENY ZERO LENGTH note");
    for (long i = 1; i <= parents; ++i)
        Run(connection, L"INSERT INTO Parent VALUES (" + std::to_wstring(i) + L", 'p')");
    for (const wchar_t* name : {L"Plain", L"Ruled"}) {
        auto start = Clock::now();
        for (long i = 1; i <= count; ++i)
            Run(connection, L"INSERT INTO " + std::wstring(name) + L" VALUES (" +
                                std::to_wstring(i) + L", " + std::to_wstring(i % parents + 1) +
                                L", " + std::to_wstring(i % 50) + L", 'note')");
        double s = Seconds(start);
        std::printf("%ld INSERTs into %ls: %.3f s (%.1f us each)\n", count, name, s,
                    s / count * 1e6);
    }
    auto start = Clock::now();
    for (long i = 1; i <= parents; ++i)
        Run(connection, L"DELETE FROM Parent WHERE id = " + std::to_wstring(i));
    double s = Seconds(start);
    std::printf("%ld parent DELETEs cascading to %ld rows: %.3f s (%.1f us each)\n", parents, count,
                s, s / parents * 1e6);
    connection->Close();
    std::filesystem::remove_all(dir);
    return 0;
}
