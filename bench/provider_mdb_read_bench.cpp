// Reads every row of the largest user table of the Access sample files through
// the genuine-file reader, side by side with mdbtools' mdb-export of the same
// table, and prints both times and their ratio.
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
#include "platform/provider/mdb/mdb_database.h"

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
        const double theirs = TimePerRun([&] { MdbExport(bestFile, table); });
        std::printf("reader, open + every row:  %9.3f ms\n", ours * 1e3);
        std::printf("reader, every row only:    %9.3f ms\n", rowsOnly * 1e3);
        std::printf("mdb-export (a process):    %9.3f ms\n", theirs * 1e3);
        std::printf("ratio mdb-export / reader: %9.2f\n", theirs / ours);
    } catch (const automation::ComError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::filesystem::remove_all(work);
    return 0;
}
