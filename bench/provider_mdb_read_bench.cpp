// Reads every row of the largest user table of the Access sample files through
// a static ADO Recordset (the provider's genuine-file path) and through the
// genuine-file reader alone, side by side with mdbtools' mdb-export of the same
// table, and prints the times and their ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/mdb/mdb_database.h"
#include "platform/provider/provider_classes.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using provider::mdb::MdbDatabase;

// Runs `body` until a second has passed (at least 3 times); seconds per run.
template <typename F>
double TimePerRun(F body)
{
    int runs = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    while (runs < 3 || elapsed < 1.0) {
        body();
        ++runs;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return elapsed / runs;
}

uint64_t ReadAll(const std::filesystem::path& file, const std::wstring& table)
{
    auto db = MdbDatabase::Open(file);
    auto reader = db->OpenTable(table);
    uint64_t values = 0;
    while (reader->Next())
        for (const auto& v : reader->Values())
            values += !v.IsNull();
    benchmark::DoNotOptimize(values);
    return reader->RowsRead();
}

automation::Ptr<provider::adodb::Connection> OpenConnection(const std::filesystem::path& file)
{
    auto c = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    c->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + automation::FromUtf8(file.string()));
    return c;
}

// Every value of every row through a static Recordset on an open connection.
uint64_t ReadRecordset(const automation::Ptr<provider::adodb::Connection>& c,
                       const std::wstring& table)
{
    auto rs = automation::CreateObjectAs<provider::adodb::Recordset>(L"ADODB.Recordset");
    rs->Open(automation::Variant(L"SELECT * FROM [" + table + L"]"), c,
             provider::adodb::adOpenStatic, provider::adodb::adLockReadOnly,
             provider::adodb::adCmdText);
    auto fields = rs->Fields();
    uint64_t rows = 0, values = 0;
    for (; !rs->IsEOF(); rs->MoveNext(), ++rows)
        for (long i = 0; i < fields->Count(); ++i)
            values += !fields->Item(i)->Value().IsNull();
    benchmark::DoNotOptimize(values);
    rs->Close();
    return rows;
}

bool MdbExport(const std::filesystem::path& file, const std::string& table)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string prog = "mdb-export", path = file.string(), name = table;
    char* argv[] = {prog.data(), path.data(), name.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "mdb-export", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path data =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(__FILE__).parent_path().parent_path() / "tests" / "data";
    // The sample files are read-only: work on copies.
    const auto work = std::filesystem::temp_directory_path() / "crv-mdb-bench";
    std::filesystem::create_directories(work);
    std::filesystem::path bestFile;
    std::wstring bestTable;
    uint32_t bestRows = 0;
    try {
        for (const auto& entry : std::filesystem::directory_iterator(data)) {
            const auto ext = entry.path().extension();
            if (ext != ".mdb" && ext != ".accdb")
                continue;
            const auto copy = work / entry.path().filename();
            std::filesystem::copy_file(entry.path(), copy,
                                       std::filesystem::copy_options::overwrite_existing);
            const auto db = MdbDatabase::Open(copy);
            for (const auto& t : db->Tables())
                if (t.kind == provider::mdb::TableKind::Table && t.rowCount > bestRows) {
                    bestRows = t.rowCount;
                    bestFile = copy;
                    bestTable = t.name;
                }
        }
        if (bestFile.empty()) {
            std::fprintf(stderr, "no Access files with rows in %s\n", data.c_str());
            return 1;
        }
        const std::string table = automation::ToUtf8(bestTable);
        std::printf("table [%s] of %s: %u rows\n", table.c_str(), bestFile.filename().c_str(),
                    bestRows);
        const uint64_t rows = ReadAll(bestFile, bestTable);
        if (rows != bestRows || !MdbExport(bestFile, table)) {
            std::fprintf(stderr, "reading failed (%llu rows, or mdb-export failed)\n",
                         static_cast<unsigned long long>(rows));
            return 1;
        }
        const double ours = TimePerRun([&] { ReadAll(bestFile, bestTable); });
        auto db = MdbDatabase::Open(bestFile);
        const double rowsOnly = TimePerRun([&] {
            auto reader = db->OpenTable(bestTable);
            while (reader->Next())
                benchmark::DoNotOptimize(reader->Values().data());
        });
        provider::RegisterProviderClasses();
        // A fresh open imports the file into its private snapshot each time.
        const double adoOpen = TimePerRun([&] {
            auto c = OpenConnection(bestFile);
            ReadRecordset(c, bestTable);
            c->Close();
        });
        auto connection = OpenConnection(bestFile);
        if (ReadRecordset(connection, bestTable) != bestRows) {
            std::fprintf(stderr, "the Recordset did not give every row\n");
            return 1;
        }
        const double adoRows = TimePerRun([&] { ReadRecordset(connection, bestTable); });
        connection->Close();
        const double theirs = TimePerRun([&] { MdbExport(bestFile, table); });
        std::printf("Recordset, open + every row: %9.3f ms\n", adoOpen * 1e3);
        std::printf("Recordset, every row only:   %9.3f ms\n", adoRows * 1e3);
        std::printf("reader, open + every row:    %9.3f ms\n", ours * 1e3);
        std::printf("reader, every row only:      %9.3f ms\n", rowsOnly * 1e3);
        std::printf("mdb-export (a process):      %9.3f ms\n", theirs * 1e3);
        std::printf("ratio mdb-export / Recordset (open + rows): %6.2f\n", theirs / adoOpen);
        std::printf("ratio mdb-export / reader (open + rows):    %6.2f\n", theirs / ours);
    } catch (const automation::ComError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::filesystem::remove_all(work);
    return 0;
}
