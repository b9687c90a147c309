// A whole data comparison, headless, as the comparison program makes it: both databases'
// schemas loaded as tasks, every same-named table paired with its default keys, the comparison
// run on its threads, side by side with `sqldiff --table` on each compared table of the same two
// files. Prints the load times, the per-table counts, five runs of both (each run times the
// comparison and then sqldiff, so that their ratio sees one load of the machine), the medians
// and the ratios, and the peak memory of the comparison.
//   compare_native_bench [rows]          two generated native stores sharing a table of rows
//                                        (default 1,000,000) x 10 columns of mixed types, 5% of
//                                        the rows modified and 2% only in each side
//   compare_native_bench FILE1 FILE2     two database files
// --modified=PERCENT before the other arguments changes the share of modified rows of the
// generated stores (default 5), to see how memory follows the number of differences.
// With a direction (1: upgrade Database1 to Database2, 2: the reverse) and the choices
// (letters i = add new records, u = update changed records, d = delete missing records) it
// then also writes the synchronisation script and applies it directly to the target, through
// the context's tasks, side by side with sqldiff writing its script and the sqlite3 shell
// applying it to a copy in one transaction. Given files are copied first, so they are never
// changed:
//   compare_native_bench [rows] [1|2] [iud]
//   compare_native_bench FILE1 FILE2 [1|2] [iud]
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "compare/comparison_context.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/table_result.h"
#include "database/database_schema.h"
#include "output/output_tasks.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "proc_status.h"
#include "sqlexec/i_progress.h"
#include "sqlexec/text_file_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;  // timed runs, each of both sides
using automation::Ptr;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;

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

void CreateStore(const std::string& path, long rows, const std::wstring& onlyOtherSide,
                 const std::wstring& change)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                      automation::FromUtf8(path));
    Fill(connection, rows);
    Run(connection, L"DELETE FROM [Bench] WHERE " + onlyOtherSide);
    if (!change.empty())
        Run(connection, change);
    connection->Close();
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

// Text as one single-quoted shell word.
std::string Shell(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Narrow(const std::wstring& text)
{
    return automation::ToUtf8(text);
}

std::string Output(const std::string& command)
{
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

// The compared tables: every matched pair of the list.
std::vector<const TablePair*> ComparedPairs(const TablePairList& pairs)
{
    std::vector<const TablePair*> compared;
    for (const auto& pair : pairs.Pairs())
        if (pair->IsMatched())
            compared.push_back(pair.get());
    return compared;
}

// A table's rows through the sqlite3 shell, the matched fields of one side in pair order,
// sorted by all of them: an independent reader of the file.
std::string Rows(const std::string& file, const TablePair& pair, int side)
{
    std::string select, order;
    int column = 0;
    for (const auto& field : pair.Fields().Pairs()) {
        if (!field->IsMatched())
            continue;
        const char* separator = column++ ? ", " : "";
        select +=
            separator +
            ("quote([" + Narrow((side == 1 ? field->First() : field->Second())->Name()) + "])");
        order += separator + std::to_string(column);
    }
    const std::string table = Narrow((side == 1 ? pair.First() : pair.Second())->Name());
    return Output("sqlite3 -readonly " + Shell(file) + " " +
                  Shell("SELECT " + select + " FROM [" + table + "] ORDER BY " + order));
}

// Runs a task as a progress page does, on a thread of its own; false when it failed.
bool RunTask(WizardTask* task, const char* what)
{
    if (!task) {
        std::printf("%s: no task\n", what);
        return false;
    }
    FakeProgress progress;
    std::thread([&] { task->Run(progress); }).join();
    if (task->Failed())
        std::printf("%s failed: %s\n", what, Narrow(task->ErrorText()).c_str());
    return !task->Failed();
}

// Our script and its direct application against sqldiff's script applied by the sqlite3 shell,
// each timed; then the synchronised target must hold the source's rows in every compared table.
int WriteAndApply(ComparisonContext& context, const fs::path& dir, int direction,
                  const std::string& choices)
{
    const bool insert = choices.find('i') != std::string::npos;
    const bool update = choices.find('u') != std::string::npos;
    const bool erase = choices.find('d') != std::string::npos;
    const std::string file1 = Narrow(context.Source1().Settings().path);
    const std::string file2 = Narrow(context.Source2().Settings().path);
    const std::string& target = direction == 1 ? file1 : file2;
    const std::string& source = direction == 1 ? file2 : file1;
    const std::string script = (dir / "sync.sql").string();
    const std::vector<const TablePair*> compared = ComparedPairs(*context.PairList());

    auto start = Clock::now();
    if (!RunTask(context.CreateScriptWriter(automation::FromUtf8(script), TextFileWriter::kUtf8,
                                            direction, insert, update, erase),
                 "script"))
        return 1;
    const double written = Seconds(start);

    const std::string theirs = (dir / "sqldiff.sql").string();
    const std::string copy = (dir / "sqlite_target.mdb").string();
    context.CloseConnections();
    fs::copy_file(target, copy, fs::copy_options::overwrite_existing);
    fs::remove(theirs);
    int status = 0;
    start = Clock::now();
    for (const TablePair* pair : compared)
        status |=
            std::system(("sqldiff --table " +
                         Shell(Narrow((direction == 1 ? pair->First() : pair->Second())->Name())) +
                         " " + Shell(target) + " " + Shell(source) + " >> " + Shell(theirs))
                            .c_str());
    const double diffed = Seconds(start);
    start = Clock::now();
    // In one transaction, as the direct synchronisation applies its script.
    status |= std::system(
        ("(echo 'BEGIN;'; cat " + Shell(theirs) + "; echo 'COMMIT;') | sqlite3 " + Shell(copy))
            .c_str());
    const double shell = Seconds(start);
    if (status != 0)
        std::printf("sqldiff or sqlite3 failed (status %d)\n", status);

    start = Clock::now();
    context.CreateSynchronizer(automation::FromUtf8(script), direction, false);
    if (!RunTask(context.SyncTask(), "synchronisation"))
        return 1;
    const double applied = Seconds(start);
    context.ReleaseSynchronizer();
    std::printf("script (direction %d, %s): written in %.3f s (%ju bytes), applied in %.3f s\n",
                direction, choices.c_str(), written, static_cast<uintmax_t>(fs::file_size(script)),
                applied);
    std::printf("sqldiff script: %.3f s (%ju bytes), sqlite3 shell applying it: %.3f s\n", diffed,
                static_cast<uintmax_t>(fs::exists(theirs) ? fs::file_size(theirs) : 0), shell);
    std::printf("ratio write + apply / sqldiff + shell: %.2f\n",
                (written + applied) / (diffed + shell));
    if (!(insert && update && erase))
        return 0;
    // Rows are compared by content: the store's tables have no SQLite primary key, so sqldiff
    // would pair rows by their row ids, which inserts and deletes renumber.
    bool same = true;
    for (const TablePair* pair : compared) {
        if (Rows(target, *pair, direction) != Rows(source, *pair, 3 - direction)) {
            std::printf("table %s differs\n", Narrow(pair->First()->Name()).c_str());
            same = false;
        }
    }
    std::printf("target after the script %s the source\n", same ? "equals" : "DIFFERS FROM");
    return same ? 0 : 1;
}

// Processor seconds (user and system) of this process's threads, or of its children
// that have ended.
double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool IsCount(const char* text)
{
    char* end = nullptr;
    std::strtol(text, &end, 10);
    return *text && !*end;
}

}  // namespace

int main(int argc, char** argv)
{
    long modifiedPercent = 5;
    if (argc > 1 && std::strncmp(argv[1], "--modified=", 11) == 0) {
        modifiedPercent = std::atol(argv[1] + 11);
        if (modifiedPercent < 0 || modifiedPercent > 90) {
            std::printf("--modified takes a percentage from 0 to 90\n");
            return 2;
        }
        --argc;
        ++argv;
    }
    const bool generated = argc < 3 || IsCount(argv[1]);
    const int more = generated ? 2 : 3;  // the first argument after the databases
    const long rows = generated && argc > 1 ? std::atol(argv[1]) : 1000000;
    const int direction = argc > more ? std::atoi(argv[more]) : 0;
    const std::string choices = argc > more + 1 ? argv[more + 1] : "iud";
    const bool applying = direction == 1 || direction == 2;
    provider::RegisterProviderClasses();
    const fs::path dir =
        fs::temp_directory_path() / ("compare_native_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string file1 = (dir / "one.mdb").string();
    std::string file2 = (dir / "two.mdb").string();

    auto start = Clock::now();
    if (generated) {
        // 2% only in Database1 (k % 50 == 1), 2% only in Database2 (k % 50 == 2), 5% modified
        // (k % 20 == 3), or the given share of the keys modified (the top values of k % 100,
        // which never meet the one-sided keys).
        const std::wstring modified =
            modifiedPercent == 5 ? L"k MOD 20 = 3"
                                 : L"k MOD 100 >= " + std::to_wstring(100 - modifiedPercent);
        CreateStore(file1, rows, L"k MOD 50 = 2", L"");
        CreateStore(
            file2, rows, L"k MOD 50 = 1",
            modifiedPercent == 0 ? L"" : L"UPDATE [Bench] SET c = 'changed' WHERE " + modified);
        std::printf("made two stores of %ld rows x 10 columns in %.2f s\n", rows, Seconds(start));
        // The new files' pages go to the disk now, not while either side is timed.
        ::sync();
    } else if (applying) {
        // The synchronisation writes to its target: it gets copies.
        fs::copy_file(argv[1], file1);
        fs::copy_file(argv[2], file2);
    } else {
        file1 = argv[1];
        file2 = argv[2];
    }

    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    int result = 0;
    {
        const OutputTasks outputs;
        ComparisonContext context(&outputs);
        context.Source1().Settings().path = automation::FromUtf8(file1);
        context.Source2().Settings().path = automation::FromUtf8(file2);
        for (DatabaseSource* source : {&context.Source1(), &context.Source2()}) {
            start = Clock::now();
            if (!RunTask(source, "schema load"))
                return 1;
            std::printf("schema of %s: %zu tables loaded in %.3f s\n",
                        Narrow(source->Settings().path).c_str(), source->Schema()->Tables().size(),
                        Seconds(start));
        }
        TablePairList* pairs = context.BuildTablePairs();
        // The program refuses to compare a table without key fields; so does the bench.
        for (int i = 0; i < static_cast<int>(pairs->Pairs().size()); ++i) {
            const TablePair& pair = *pairs->GetPair(i);
            bool keyed = false;
            for (const auto& field : pair.Fields().Pairs())
                keyed = keyed || (field->IsMatched() && field->IsKey());
            if (pair.IsMatched() && !keyed) {
                std::printf("table %s has no key fields: not compared\n",
                            Narrow(pair.First()->Name()).c_str());
                pairs->ResetPair(i);
            }
        }
        const std::vector<const TablePair*> compared = ComparedPairs(*pairs);

        context.SetCompletionCallback([&] {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
            ended.notify_all();
        });
        ResetPeak();
        const long baseline = StatusKilobytes("VmRSS:");
        const size_t heapBefore = HeapInUse();
        // Processor time beside the elapsed time: on a busy machine the threads of the
        // comparison share the processors with everything else, and the elapsed time
        // follows the processor time of all its threads more than that of the slowest.
        std::vector<double> oursCpu, theirsCpu;
        auto compare = [&]() -> double {
            {
                std::lock_guard<std::mutex> lock(mutex);
                finished = false;
            }
            const double cpu = CpuSeconds(RUSAGE_SELF);
            start = Clock::now();
            context.PrepareDataComparison();
            context.StartThreads();
            {
                std::unique_lock<std::mutex> lock(mutex);
                ended.wait(lock, [&] { return finished; });
            }
            const double seconds = Seconds(start);
            oursCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
            context.StopAndWait();
            if (context.HasError()) {
                std::printf("comparison failed: %s\n", Narrow(context.ErrorText()).c_str());
                return -1;
            }
            return seconds;
        };
        int status = 0;
        auto diff = [&]() -> double {
            const double cpu = CpuSeconds(RUSAGE_CHILDREN);
            start = Clock::now();
            for (const TablePair* pair : compared)
                status |= std::system(("sqldiff --table " + Shell(Narrow(pair->First()->Name())) +
                                       " " + Shell(file1) + " " + Shell(file2) + " > /dev/null")
                                          .c_str());
            const double seconds = Seconds(start);
            theirsCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
            return seconds;
        };
        // Each run times the comparison and then sqldiff on the same files, so that the
        // ratio of a run compares the two under the same load of the machine. The first
        // run also measures the memory and gives the counts.
        std::vector<double> ours, theirs;
        long peak = 0;
        int differences = 0;
        size_t heapKept = 0;
        for (int run = 0; run < kRuns; ++run) {
            const double seconds = compare();
            if (seconds < 0)
                return 1;
            ours.push_back(seconds);
            if (run == 0) {
                peak = StatusKilobytes("VmHWM:");
                for (const TablePair* pair : compared) {
                    const TableResult* table = context.Store()->FindTableResult(pair);
                    const auto counts = table ? table->Counts() : std::array<int, 4>{};
                    differences += counts[1] + counts[2] + counts[3];
                    std::printf(
                        "table %s: equal %d, only in Database1 %d, only in Database2 %d, "
                        "modified %d\n",
                        Narrow(pair->First()->Name()).c_str(), counts[0], counts[1], counts[2],
                        counts[3]);
                }
            }
            // The last run's results are written from below: its rows are read again from the
            // databases as it holds them, so it keeps them open.
            if (run + 1 < kRuns)
                context.CloseConnections();
            if (run == 0)
                heapKept = HeapInUse() - heapBefore;
            theirs.push_back(diff());
        }
        if (status != 0)
            std::printf("sqldiff failed (status %d)\n", status);

        std::printf(
            "run  comparison  sqldiff --table  ratio   processor time: comparison  sqldiff\n");
        std::vector<double> ratios;
        for (int run = 0; run < kRuns; ++run) {
            ratios.push_back(ours[run] / theirs[run]);
            std::printf("%3d  %8.3f s  %13.3f s  %5.2f  %25.3f s  %6.3f s\n", run + 1, ours[run],
                        theirs[run], ratios.back(), oursCpu[run], theirsCpu[run]);
        }
        const double worst = *std::max_element(ratios.begin(), ratios.end());
        std::printf("median %6.3f s  %13.3f s  %5.2f  %25.3f s  %6.3f s\n", Median(ours),
                    Median(theirs), Median(ratios), Median(oursCpu), Median(theirsCpu));
        std::printf("worst ratio %.2f; processor time ratio (medians) %.2f\n", worst,
                    Median(oursCpu) / Median(theirsCpu));
        std::printf("target: every ratio at most 1.0, their median at most 0.8\n");
        std::printf(
            "resident memory: peak %ld kB over %ld kB before the run (+%ld kB, with the "
            "databases' page caches and mapped file pages)\n",
            peak, baseline, peak - baseline);
        std::printf(
            "heap kept by the result once the databases are closed: %zu kB for %d "
            "differences\n",
            heapKept / 1024, differences);
        if (applying)
            result = WriteAndApply(context, dir, direction, choices);
    }
    if (result != 0)
        std::printf("files kept in %s\n", dir.string().c_str());
    else if (!std::getenv("KEEP_BENCH_FILES"))
        fs::remove_all(dir);
    return result;
}
