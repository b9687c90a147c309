// The direct synchronisation of one table by its key: keyed on the table's primary key, then on
// the same field of a table without any index, chosen as the key by the user, and on a text
// field of that table that holds a unique value per row.
// Both targets get the same changes (by default 100,000 UPDATEs and 100,000 DELETEs), through
// the context's tasks as the wizard runs them. Prints the times of both, their ratio, and
// whether each target's schema (SQLite's objects and the catalog's indexes) is as it was.
//   direct_sync_key_bench [changes]     changes: the number of UPDATEs plus DELETEs
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

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
#include "sqlexec/i_progress.h"
#include "sqlexec/text_file_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using automation::Ptr;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string Narrow(const std::wstring& text)
{
    return automation::ToUtf8(text);
}

void Run(const Ptr<adodb::Connection>& c, const std::wstring& sql)
{
    c->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

// A table [Bench] of keys 1..rows in scrambled order; keyed: k is the primary key.
void CreateStore(const std::string& path, long rows, bool keyed, bool changed)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto c = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                             automation::FromUtf8(path));
    Run(c, std::wstring(L"CREATE TABLE [Bench] (k LONG") + (keyed ? L" PRIMARY KEY" : L"") +
               L", a LONG, c TEXT(30), d TEXT(50), t TEXT(20))");
    const long seed = std::min(rows, 1000L);
    for (long n = 0; n < seed; ++n) {
        const std::wstring k = std::to_wstring((n * 7919) % seed + 1);
        Run(c, L"INSERT INTO [Bench] VALUES (" + k + L", " + k + L", 'name " + k +
                   L"', 'a somewhat longer description of row " + k + L"', 'key " + k + L"')");
    }
    for (long have = seed; have < rows; have *= 2)
        Run(c, L"INSERT INTO [Bench] SELECT k + " + std::to_wstring(have) +
                   L", a, c, d, 'key ' & (k + " + std::to_wstring(have) + L") FROM [Bench]");
    Run(c, L"DELETE FROM [Bench] WHERE k > " + std::to_wstring(rows));
    // The source: a third of the rows changed, a third not there.
    if (changed) {
        Run(c, L"UPDATE [Bench] SET c = 'changed' WHERE k MOD 3 = 0");
        Run(c, L"DELETE FROM [Bench] WHERE k MOD 3 = 1");
    }
    c->Close();
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

// SQLite's objects and the catalog's indexes, read by the sqlite3 shell.
std::string Schema(const std::string& file)
{
    return Output("sqlite3 -readonly '" + file +
                  "' 'SELECT type, name, sql FROM sqlite_master ORDER BY name; "
                  "SELECT * FROM \"crv.indexes\" ORDER BY 1, 2; "
                  "SELECT * FROM \"crv.index_columns\" ORDER BY 1, 2, 3'");
}

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

// Compares, writes the script that upgrades Database1 and applies it directly; the seconds of
// the direct synchronisation, or a negative number on failure.
double Synchronise(const fs::path& dir, long rows, bool keyed, const std::wstring& key)
{
    const std::string name = keyed ? "primary" : "unindexed " + Narrow(key);
    const std::string file = keyed ? "primary" : "unindexed_" + Narrow(key);
    const std::string target = (dir / (file + "_1.mdb")).string();
    const std::string source = (dir / (file + "_2.mdb")).string();
    const std::string script = (dir / (file + ".sql")).string();
    CreateStore(target, rows, keyed, false);
    CreateStore(source, rows, keyed, true);
    ::sync();
    const std::string schemaBefore = Schema(target);

    const OutputTasks outputs;
    ComparisonContext context(&outputs);
    context.Source1().Settings().path = automation::FromUtf8(target);
    context.Source2().Settings().path = automation::FromUtf8(source);
    for (DatabaseSource* side : {&context.Source1(), &context.Source2()})
        if (!RunTask(side, "schema load"))
            return -1;
    TablePairList* pairs = context.BuildTablePairs();
    // The key the user picks, whatever the table's indexes.
    for (const auto& pair : pairs->Pairs())
        for (const auto& field : pair->Fields().Pairs())
            field->SetKey(field->First()->Name() == key);
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    context.SetCompletionCallback([&] {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        ended.notify_all();
    });
    auto start = Clock::now();
    context.PrepareDataComparison();
    context.StartThreads();
    {
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait(lock, [&] { return finished; });
    }
    context.StopAndWait();
    if (context.HasError()) {
        std::printf("comparison failed: %s\n", Narrow(context.ErrorText()).c_str());
        return -1;
    }
    const double compared = Seconds(start);
    const auto counts = context.Store()->TableResultAt(0)->Counts();
    start = Clock::now();
    if (!RunTask(context.CreateScriptWriter(automation::FromUtf8(script), TextFileWriter::kUtf8, 1,
                                            true, true, true),
                 "script"))
        return -1;
    const double written = Seconds(start);
    start = Clock::now();
    context.CreateSynchronizer(automation::FromUtf8(script), 1, false);
    if (!RunTask(context.SyncTask(), "synchronisation"))
        return -1;
    const double applied = Seconds(start);
    context.ReleaseSynchronizer();
    std::printf(
        "%-11s key: %d modified, %d only in the target; compared in %.3f s, script written in "
        "%.3f s, applied directly in %.3f s; schema %s\n",
        name.c_str(), counts[3], counts[1], compared, written, applied,
        Schema(target) == schemaBefore ? "as it was" : "CHANGED");
    return applied;
}

}  // namespace

int main(int argc, char** argv)
{
    const long changes = argc > 1 ? std::atol(argv[1]) : 200000;
    if (changes < 2) {
        std::printf("changes: a number of at least 2\n");
        return 2;
    }
    // A third of the rows are modified, a third only in the target, a third equal.
    const long rows = changes / 2 * 3;
    provider::RegisterProviderClasses();
    const fs::path dir =
        fs::temp_directory_path() / ("direct_sync_key_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const double keyed = Synchronise(dir, rows, true, L"k");
    const double unindexed = keyed < 0 ? -1 : Synchronise(dir, rows, false, L"k");
    const double text = unindexed < 0 ? -1 : Synchronise(dir, rows, false, L"t");
    fs::remove_all(dir);
    if (text < 0)
        return 1;
    std::printf(
        "direct synchronisation of %ld changes: primary key %.3f s, unindexed key %.3f s, "
        "ratio %.2f; unindexed text key %.3f s, ratio %.2f (target: at most 2.00)\n",
        changes, keyed, unindexed, unindexed / keyed, text, text / keyed);
    return 0;
}
