// A whole data comparison, headless, of two native stores that share a table of N
// rows and 10 columns of mixed types (5% of the rows modified, 2% only in each
// side, spread over the table), side by side with `sqldiff --table` on the same two
// files. Prints the per-table counts, both times, their ratio and the peak memory
// of the comparison.
//   compare_native_bench [rows]   (default 1,000,000)
// With a direction (1: upgrade Database1 to Database2, 2: the reverse) and the choices
// (letters i = add new records, u = update changed records, d = delete missing records) it
// then also writes the synchronisation script and applies it directly to the target, side by
// side with sqldiff writing its script and the sqlite3 shell applying it to a copy:
//   compare_native_bench [rows] [1|2] [iud]
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "compare/ado_record_connection.h"
#include "compare/comparison_context.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "database/database_schema.h"
#include "database/schema_key.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "output/direct_sync.h"
#include "output/script_file_writer.h"
#include "sqlexec/progress.h"
#include "sqlexec/text_file_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using automation::Ptr;
namespace adodb = provider::adodb;

const wchar_t* const kColumns[] = {L"k", L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i"};

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Run(const Ptr<adodb::Connection>& c, const std::wstring& sql)
{
    c->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

// Keys 1..rows in scrambled physical order, filled by doubling.
void Fill(const Ptr<adodb::Connection>& c, long rows)
{
    Run(c,
        L"CREATE TABLE [Bench] (k LONG PRIMARY KEY, a LONG, b DOUBLE, c TEXT(20), "
        L"d TEXT(50), e CURRENCY, f DATETIME, g SHORT, h YESNO, i TEXT(10))");
    const long seed = std::min(rows, 1000L);
    for (long n = 0; n < seed; ++n) {
        const long k = (n * 7919) % seed + 1;
        const std::wstring K = std::to_wstring(k);
        Run(c, L"INSERT INTO [Bench] VALUES (" + K + L", " + std::to_wstring(k * 3) + L", " + K +
                   L".25, 'name " + K + L"', 'a somewhat longer description of row " + K + L"', " +
                   K + L".5, #1/" + std::to_wstring(n % 28 + 1) + L"/2001 10:30#, " +
                   std::to_wstring(n % 300) + L", " + (n % 2 ? L"TRUE" : L"FALSE") + L", 'x" +
                   std::to_wstring(n) + L"')");
    }
    for (long have = seed; have < rows; have *= 2)
        Run(c, L"INSERT INTO [Bench] SELECT k + " + std::to_wstring(have) +
                   L", a, b, c, d, e, f, g, h, i FROM [Bench]");
    Run(c, L"DELETE FROM [Bench] WHERE k > " + std::to_wstring(rows));
}

void CreateStore(const std::wstring& path, long rows, const std::wstring& onlyOtherSide,
                 const std::wstring& change)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    Fill(connection, rows);
    Run(connection, L"DELETE FROM [Bench] WHERE " + onlyOtherSide);
    if (!change.empty())
        Run(connection, change);
    connection->Close();
}

void AddBenchTable(DatabaseSchema& schema)
{
    auto table = std::make_unique<SchemaTable>(L"Bench");
    for (const wchar_t* column : kColumns)
        table->AddField(std::make_unique<SchemaField>(table.get(), column, nullptr, 0, false,
                                                      std::nullopt, 0, 0, true, false, L""));
    auto key = std::make_unique<SchemaKey>(table.get(), L"PrimaryKey", L"", SchemaKey::kPrimary, 0,
                                           0, false);
    key->AddColumn(L"k", L"");
    table->AddKey(std::move(key));
    schema.AddTable(std::move(table));
}

long PeakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

long CurrentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// Bytes of the heap in use: what the comparison keeps, apart from the file pages
// and page caches of the databases.
size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Our script and its direct application against sqldiff's script applied by the sqlite3 shell,
// each timed; then sqldiff between the synchronised target and the source must print nothing.
int WriteAndApply(ComparisonContext& context, const DatabaseSchema& schema1,
                  const DatabaseSchema& schema2, const ConnectionSettings& settings1,
                  const ConnectionSettings& settings2, const std::filesystem::path& dir,
                  int direction, const std::string& choices)
{
    const bool insert = choices.find('i') != std::string::npos;
    const bool update = choices.find('u') != std::string::npos;
    const bool erase = choices.find('d') != std::string::npos;
    const std::string target = automation::ToUtf8(direction == 1 ? settings1.path : settings2.path);
    const std::string source = automation::ToUtf8(direction == 1 ? settings2.path : settings1.path);
    const std::string script = (dir / "sync.sql").string();
    FakeProgress progress;

    auto start = Clock::now();
    ScriptFileWriter writer(schema1, schema2, *context.Store(), *context.Reader(),
                            *context.PairList(), automation::FromUtf8(script),
                            TextFileWriter::kUtf8, direction, insert, update, erase);
    writer.Run(progress);
    const double written = Seconds(start);
    if (writer.Failed()) {
        std::printf("script failed: %s\n", automation::ToUtf8(writer.ErrorText()).c_str());
        return 1;
    }
    context.CloseConnections();

    const std::string theirs = (dir / "sqldiff.sql").string();
    const std::string copy = (dir / "sqlite_target.mdb").string();
    std::filesystem::copy_file(target, copy);
    start = Clock::now();
    int status = std::system(("sqldiff --table Bench '" + target + "' '" + source + "' > '" +
                              theirs + "'").c_str());
    const double diffed = Seconds(start);
    start = Clock::now();
    status |= std::system(("sqlite3 '" + copy + "' < '" + theirs + "'").c_str());
    const double shell = Seconds(start);
    if (status != 0)
        std::printf("sqldiff or sqlite3 failed (status %d)\n", status);

    start = Clock::now();
    DirectSync sync(direction, automation::FromUtf8(script), false, context, settings1, settings2);
    sync.Run(progress);
    const double applied = Seconds(start);
    if (sync.Failed()) {
        std::printf("synchronisation failed: %s\n", automation::ToUtf8(sync.ErrorText()).c_str());
        return 1;
    }
    std::printf("script (direction %d, %s): written in %.3f s (%ju bytes), applied in %.3f s\n",
                direction, choices.c_str(), written,
                static_cast<uintmax_t>(std::filesystem::file_size(script)), applied);
    std::printf("sqldiff script: %.3f s (%ju bytes), sqlite3 shell applying it: %.3f s\n", diffed,
                static_cast<uintmax_t>(std::filesystem::file_size(theirs)), shell);
    std::printf("ratio write + apply / sqldiff + shell: %.2f\n",
                (written + applied) / (diffed + shell));
    if (insert && update && erase) {
        // Rows are compared by key: the store's tables have no SQLite primary key, so sqldiff
        // would pair rows by their row ids, which inserts and deletes renumber.
        auto rows = [](const std::string& file) {
            std::string out;
            if (std::FILE* pipe = popen(("sqlite3 -readonly '" + file +
                                         "' 'SELECT * FROM Bench ORDER BY k'").c_str(), "r")) {
                char buffer[65536];
                size_t got;
                while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
                    out.append(buffer, got);
                pclose(pipe);
            }
            return out;
        };
        const bool same = rows(target) == rows(source);
        std::printf("target after the script %s the source\n", same ? "equals" : "DIFFERS FROM");
        return same ? 0 : 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int direction = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::string choices = argc > 3 ? argv[3] : "iud";
    provider::RegisterProviderClasses();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("compare_native_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file1 = (dir / "one.mdb").string();
    const std::string file2 = (dir / "two.mdb").string();

    auto start = Clock::now();
    // 2% only in Database1 (k % 50 == 1), 2% only in Database2 (k % 50 == 2), 5% modified.
    CreateStore(automation::FromUtf8(file1), rows, L"k MOD 50 = 2", L"");
    CreateStore(automation::FromUtf8(file2), rows, L"k MOD 50 = 1",
                L"UPDATE [Bench] SET c = 'changed' WHERE k MOD 20 = 3");
    std::printf("made two stores of %ld rows x 10 columns in %.2f s\n", rows, Seconds(start));

    DatabaseSchema schema1(automation::FromUtf8(file1));
    DatabaseSchema schema2(automation::FromUtf8(file2));
    AddBenchTable(schema1);
    AddBenchTable(schema2);
    ConnectionSettings settings1, settings2;
    settings1.path = schema1.GetName();
    settings2.path = schema2.GetName();

    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    {
        ComparisonContext context([&](int side) {
            return std::make_unique<AdoRecordConnection>(side == 1 ? settings1 : settings2);
        });
        context.SetCompletionCallback([&] {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
            ended.notify_all();
        });
        context.BuildTablePairs(schema1, schema2);
        ResetPeak();
        const long baseline = CurrentKilobytes();
        const size_t heapBefore = HeapInUse();
        start = Clock::now();
        context.PrepareDataComparison();
        context.StartThreads();
        {
            std::unique_lock<std::mutex> lock(mutex);
            ended.wait(lock, [&] { return finished; });
        }
        const double ours = Seconds(start);
        context.StopAndWait();
        const long peak = PeakKilobytes();
        if (context.HasError()) {
            std::printf("comparison failed: %s\n", automation::ToUtf8(context.ErrorText()).c_str());
            return 1;
        }
        int differences = 0;
        for (int t = 0; t < context.Store()->ResultCount(); ++t) {
            const auto counts = context.Store()->TableResultAt(t)->Counts();
            differences += counts[1] + counts[2] + counts[3];
            std::printf(
                "table %d: equal %d, only in Database1 %d, only in Database2 %d, "
                "modified %d\n",
                t, counts[0], counts[1], counts[2], counts[3]);
        }
        context.CloseConnections();
        const size_t heapKept = HeapInUse() - heapBefore;

        const std::string command =
            "sqldiff --table Bench '" + file1 + "' '" + file2 + "' > /dev/null";
        start = Clock::now();
        const int status = std::system(command.c_str());
        const double sqldiff = Seconds(start);
        if (status != 0)
            std::printf("sqldiff failed (status %d)\n", status);

        std::printf("comparison: %.3f s\n", ours);
        std::printf("sqldiff --table: %.3f s\n", sqldiff);
        std::printf("ratio comparison / sqldiff: %.2f (target: at most 1.5)\n", ours / sqldiff);
        std::printf(
            "resident memory: peak %ld kB over %ld kB before the run (+%ld kB, with the "
            "databases' page caches and mapped file pages)\n",
            peak, baseline, peak - baseline);
        std::printf(
            "heap kept by the result once the databases are closed: %zu kB for %d "
            "differences\n",
            heapKept / 1024, differences);
        if ((direction == 1 || direction == 2) &&
            WriteAndApply(context, schema1, schema2, settings1, settings2, dir, direction,
                          choices) != 0) {
            std::printf("files kept in %s\n", dir.string().c_str());
            return 1;
        }
    }
    if (!std::getenv("KEEP_BENCH_FILES"))
        std::filesystem::remove_all(dir);
    return 0;
}
