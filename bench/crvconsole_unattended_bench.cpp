// The script runner's unattended road end to end: create a new database, read a script of
// INSERT statements from its file and run it, as "crvconsole script.sql data.mdb /c /o" does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <string>

#include "crvconsole/command_line.h"
#include "database/db_connection.h"
#include "platform/provider/provider_classes.h"

namespace {

namespace fs = std::filesystem;

fs::path WriteScript(const fs::path& dir, int rows)
{
    const fs::path path = dir / "rows.sql";
    std::ofstream file(path, std::ios::binary);
    file << "\xEF\xBB\xBF"
         << "CREATE TABLE [Customers] ([ID] LONG PRIMARY KEY, [Name] TEXT(50), [City] TEXT(50), "
            "[Balance] CURRENCY, [Joined] DATETIME);\r\n";
    for (int i = 0; i < rows; ++i) {
        file << "INSERT INTO [Customers] ([ID], [Name], [City], [Balance], [Joined]) VALUES (" << i
             << ", 'M\xC3\xBCller & S\xC3\xB6hne " << i << "', 'K\xC3\xB6ln', " << i
             << ".25, #01/15/2024 10:30:00#);\r\n";
    }
    return path;
}

void BM_UnattendedRun(benchmark::State& state)
{
    const fs::path dir =
        fs::temp_directory_path() / ("crvconsole_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const int rows = static_cast<int>(state.range(0));
    const fs::path script = WriteScript(dir, rows);
    const fs::path database = dir / "bench.mdb";
    for (auto _ : state) {
        CommandLine commandLine(
            {L"crvconsole", script.wstring(), database.wstring(), L"/c", L"/o"});
        if (!commandLine.Parse() || !commandLine.RunUnattended()) {
            state.SkipWithError("the run failed");
            break;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * rows);
    fs::remove_all(dir);
}
BENCHMARK(BM_UnattendedRun)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    provider::RegisterProviderClasses();
    DbConnection::SetProgram(DbConnection::Program::ScriptRunner);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
