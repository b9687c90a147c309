// Loading the schema of a native store with many tables through DatabaseSource, as the comparison
// wizard does for each side: 500 tables of 20 columns (a primary key, an index and a check per
// table, a relation to the table before), loaded a few times; prints the time of each load.
//   database_schema_load_bench [tables] [columns] [loads]   (default 500 20 5)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "database/database_source.h"
#include "database/provider_prefix.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/progress.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace adodb = provider::adodb;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Column types in turn, so every kind of column is read.
const wchar_t* const kTypes[] = {
    L"TEXT(50)", L"LONG",     L"DOUBLE", L"CURRENCY",       L"DATETIME",
    L"MEMO",     L"SMALLINT", L"BIT",    L"DECIMAL(18, 4)", L"TEXT(10) DEFAULT 'x'"};

std::wstring TableName(int t)
{
    return L"Table" + std::to_wstring(t);
}

void Build(const std::wstring& path, int tables, int columns)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(CreationString(path));
    auto run = [&](const std::wstring& sql) {
        connection->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
    };
    for (int t = 0; t < tables; ++t) {
        std::wstring sql = L"CREATE TABLE [" + TableName(t) + L"] (ID LONG NOT NULL PRIMARY KEY";
        for (int c = 1; c < columns; ++c)
            sql += L", [Col" + std::to_wstring(c) + L"] " + kTypes[c % std::size(kTypes)];
        if (t > 0)
            sql += L", CONSTRAINT [FK" + std::to_wstring(t) + L"] FOREIGN KEY (Col1) REFERENCES [" +
                   TableName(t - 1) + L"] (ID)";
        sql += L", CONSTRAINT [CK" + std::to_wstring(t) + L"] CHECK (Col1 >= 0))";
        run(sql);
        run(L"CREATE INDEX [ByCol2] ON [" + TableName(t) + L"] (Col2)");
    }
    connection->Close();
}

}  // namespace

int main(int argc, char** argv)
{
    const int tables = argc > 1 ? std::atoi(argv[1]) : 500;
    const int columns = argc > 2 ? std::max(3, std::atoi(argv[2])) : 20;
    const int loads = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    provider::RegisterProviderClasses();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("database_schema_load_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::wstring path = automation::FromUtf8((dir / "schema.mdb").string());

    auto start = Clock::now();
    Build(path, tables, columns);
    std::printf("built %d tables x %d columns in %.2f s\n", tables, columns, Seconds(start));

    DatabaseSource source;
    source.Settings().path = path;
    FakeProgress progress;
    double best = 1e9;
    for (int i = 0; i < loads; ++i) {
        start = Clock::now();
        const bool ok = source.Load(progress);
        const double seconds = Seconds(start);
        if (!ok) {
            std::fprintf(stderr, "load failed: %s\n",
                         automation::ToUtf8(source.ErrorText()).c_str());
            return 1;
        }
        best = std::min(best, seconds);
        std::printf("load %d: %zu tables in %.3f s\n", i + 1, source.Schema()->Tables().size(),
                    seconds);
    }
    std::printf("best schema load: %.3f s (target: under 1 s)\n", best);
    std::filesystem::remove_all(dir);
    return 0;
}
