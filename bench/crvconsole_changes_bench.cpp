// The script runner on a script of changes as the synchronisation script writer emits them: a
// native store with a table of rows (default 100,000) x 6 columns of mixed types, then a script
// of UPDATE statements (default 70,000, every field but the key set) and DELETE statements
// (default 30,000), each written by the script writer's own statement maker. crvconsole runs
// it unattended as a program ("crvconsole script.sql data.mdb"), against the sqlite3 shell
// running the same changes in its own dialect, one commit each, on a copy of the same store
// (with the store's own synchronous = NORMAL, so that both wait for the disk alike).
// Three runs of each, alternated, each on a fresh copy; prints the times, the peak memory of
// each program, the medians and the ratio, and checks that both ended with the same rows.
//   crvconsole_changes_bench [rows] [updates] [deletes]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compare/db_record.h"
#include "output/record_statement_writer.h"
#include "platform/automation/variant.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"

namespace {

using Clock = std::chrono::steady_clock;
using automation::Variant;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;

void Sql(const automation::Ptr<adodb::Connection>& c, const std::wstring& sql)
{
    c->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

void MakeStore(const fs::path& path, long rows)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto c = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                             automation::FromUtf8(path.string()));
    Sql(c,
        L"CREATE TABLE [Customers] ([ID] LONG PRIMARY KEY, [Name] TEXT(50), [City] TEXT(50), "
        L"[Visits] LONG, [Balance] CURRENCY, [Joined] DATETIME)");
    Sql(c, L"INSERT INTO [Customers] VALUES (1, 'name 1', 'Oslo', 3, 2.5, #3/4/2001 10:30#)");
    for (long have = 1; have < rows; have *= 2)
        Sql(c, L"INSERT INTO [Customers] SELECT ID + " + std::to_wstring(have) +
                   L", Name, City, Visits + ID, Balance, Joined FROM [Customers] WHERE ID + " +
                   std::to_wstring(have) + L" <= " + std::to_wstring(rows));
    c->Close();
}

// Both scripts: ours as the writer makes it, the shell's with the same values in its dialect.
void WriteScripts(const fs::path& ours, const fs::path& theirs, long rows, long updates,
                  long deletes)
{
    RecordStatementWriter writer(L"Customers",
                                 {L"ID", L"Name", L"City", L"Visits", L"Balance", L"Joined"}, {0});
    std::ofstream out(ours, std::ios::binary), shell(theirs, std::ios::binary);
    out << "\xEF\xBB\xBF";
    shell << "PRAGMA synchronous = NORMAL;\n";
    // 12/30/1899 is day 0 of an automation date, day 2415018.5 of the Julian calendar.
    for (long i = 0; i < updates; ++i) {
        const long id = 1 + (i * 7) % rows;
        DbRecord record;
        const double joined = 40000.5 + i % 1000;
        record.AddValue(CellValue(Variant(int32_t(id))));
        record.AddValue(CellValue(Variant(L"changed name " + std::to_wstring(i))));
        record.AddValue(CellValue(Variant(L"K\u00f6ln")));
        record.AddValue(CellValue(Variant(int32_t(i % 500))));
        record.AddValue(CellValue(Variant(automation::Currency{(i % 10000) * 2500LL})));
        record.AddValue(CellValue(Variant::FromDate(joined)));
        out << automation::ToUtf8(writer.Update(nullptr, record, nullptr));
        shell << "UPDATE Customers SET Name='changed name " << i << "', City='K\xC3\xB6ln', "
              << "Visits=" << i % 500 << ", Balance=" << (i % 10000) * 2500LL / 10000.0
              << ", Joined=" << joined << " WHERE ID=" << id << ";\n";
    }
    for (long i = 0; i < deletes; ++i) {
        const long id = 1 + (i * 7 + 3) % rows;
        DbRecord record;
        record.AddValue(CellValue(Variant(int32_t(id))));
        for (int k = 0; k < 5; ++k)
            record.AddValue(CellValue(Variant()));
        out << automation::ToUtf8(writer.Delete(record));
        shell << "DELETE FROM Customers WHERE ID=" << id << ";\n";
    }
}

struct Outcome {
    double seconds = 0;
    long peakKilobytes = 0;
    int status = -1;
};

// Runs the command through the shell, with its input from `input` when given.
Outcome Measure(const std::string& command)
{
    Outcome outcome;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    outcome.peakKilobytes = usage.ru_maxrss;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string Shell(const fs::path& path)
{
    return "'" + path.string() + "'";
}

std::string Rows(const fs::path& file)
{
    const fs::path out = file.string() + ".rows";
    std::system(("sqlite3 -readonly " + Shell(file) +
                 " 'SELECT count(*), total(Visits), group_concat(Name, \"\") FROM (SELECT * FROM "
                 "Customers ORDER BY ID)' > " +
                 Shell(out))
                    .c_str());
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const long updates = argc > 2 ? std::atol(argv[2]) : 70000;
    const long deletes = argc > 3 ? std::atol(argv[3]) : 30000;
    provider::RegisterProviderClasses();
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    const fs::path dir =
        fs::temp_directory_path() / ("crvconsole_changes_bench." + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path store = dir / "store.mdb", ours = dir / "changes.sql",
                   theirs = dir / "changes.sqlite.sql";
    MakeStore(store, rows);
    WriteScripts(ours, theirs, rows, updates, deletes);
    std::printf("%ld rows; %ld UPDATE and %ld DELETE statements (%ju bytes of script)\n", rows,
                updates, deletes, static_cast<uintmax_t>(fs::file_size(ours)));

    std::vector<double> oursTimes, theirTimes;
    long oursPeak = 0, theirPeak = 0;
    std::string oursRows, theirRows;
    for (int run = 0; run < 3; ++run) {
        const fs::path copy1 = dir / "ours.mdb", copy2 = dir / "theirs.mdb";
        fs::copy_file(store, copy1, fs::copy_options::overwrite_existing);
        fs::copy_file(store, copy2, fs::copy_options::overwrite_existing);
        const Outcome a = Measure(Shell(bin / "crvconsole") + " " + Shell(ours) + " " +
                                  Shell(copy1) + " > /dev/null 2>&1");
        const Outcome b = Measure("sqlite3 " + Shell(copy2) + " < " + Shell(theirs));
        // The script runner ends a run without errors with 1.
        if (a.status != 1 || b.status != 0)
            std::printf("a run failed: crvconsole %d, sqlite3 %d\n", a.status, b.status);
        std::printf("run %d: crvconsole %.3f s (%.1f MB), sqlite3 shell %.3f s (%.1f MB)\n",
                    run + 1, a.seconds, a.peakKilobytes / 1024.0, b.seconds,
                    b.peakKilobytes / 1024.0);
        oursTimes.push_back(a.seconds);
        theirTimes.push_back(b.seconds);
        oursPeak = std::max(oursPeak, a.peakKilobytes);
        theirPeak = std::max(theirPeak, b.peakKilobytes);
        if (run == 0) {
            oursRows = Rows(copy1);
            theirRows = Rows(copy2);
        }
    }
    std::printf(
        "median: crvconsole %.3f s, sqlite3 shell %.3f s, ratio %.2f; peak %.1f MB / %.1f MB\n",
        Median(oursTimes), Median(theirTimes), Median(oursTimes) / Median(theirTimes),
        oursPeak / 1024.0, theirPeak / 1024.0);
    std::printf("the same rows in both: %s\n",
                !oursRows.empty() && oursRows == theirRows ? "yes" : "NO");
    if (!std::getenv("CRV_BENCH_KEEP"))
        fs::remove_all(dir);
    return 0;
}
