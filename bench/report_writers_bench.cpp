// Both reports of one comparison result: two generated native stores sharing a table of rows
// (default 100,000) x 10 columns of mixed types, where 3% of the rows are only in Database1, 3%
// only in Database2 and 6% modified, the rest equal; the comparison runs once, then the HTML
// report and the .xls workbook are written with every kind chosen, each timed (best of three)
// with the peak memory it adds. Then workbooks of 1, 4 and 16 sheets of 20,000 rows x 10
// columns, their texts shared between the sheets, show what the sheets cost in memory: only
// the one being written is held.
//   report_writers_bench [rows]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>

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
#include "platform/spreadsheet/excel_application.h"
#include "sqlexec/i_progress.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;

void Sql(const automation::Ptr<adodb::Connection>& c, const std::wstring& sql)
{
    c->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

// Side 1 lacks the keys ending in 00-02 of every hundred, side 2 those ending in 03-05; keys
// ending in 06-11 differ in two columns.
void MakeStore(const fs::path& path, long rows, int side)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto c = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                             automation::FromUtf8(path.string()));
    Sql(c,
        L"CREATE TABLE [Report] (id LONG PRIMARY KEY, qty LONG, price DOUBLE, name TEXT(30), "
        L"note TEXT(80), cost CURRENCY, made DATETIME, code SHORT, ok YESNO, tag TEXT(10))");
    Sql(c,
        L"INSERT INTO [Report] VALUES (1, 3, 1.25, 'name 1', 'a longer note that a report "
        L"shows & escapes <here>', 2.5, #3/4/2001 10:30#, 7, TRUE, 'x1')");
    for (long have = 1; have < rows; have *= 2)
        Sql(c, L"INSERT INTO [Report] SELECT id + " + std::to_wstring(have) +
                   L", qty + id, price * 2, name, note, cost, made, code, ok, tag FROM [Report] "
                   L"WHERE id + " +
                   std::to_wstring(have) + L" <= " + std::to_wstring(rows));
    Sql(c, side == 1 ? L"DELETE FROM [Report] WHERE id MOD 100 < 3"
                     : L"DELETE FROM [Report] WHERE id MOD 100 BETWEEN 3 AND 5");
    if (side == 2)
        Sql(c,
            L"UPDATE [Report] SET qty = qty + 1, tag = 'changed' WHERE id MOD 100 BETWEEN 6 "
            L"AND 11");
    c->Close();
}

long PeakKilobytes()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long peak = -1;
    while (status && std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld", &peak) == 1)
            break;
    if (status)
        std::fclose(status);
    return peak;
}

void ResetPeak()
{
    malloc_trim(0);
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// Best time of three runs, and the peak resident memory of the first above what was in use.
void Time(const char* what, WizardTask* task, const fs::path& file)
{
    double best = 1e9;
    long added = 0;
    for (int run = 0; run < 3; ++run) {
        ResetPeak();
        const long before = PeakKilobytes();
        FakeProgress progress;
        const auto start = Clock::now();
        task->Run(progress);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        if (task->Failed()) {
            std::printf("%s failed: %s\n", what, automation::ToUtf8(task->ErrorText()).c_str());
            std::exit(1);
        }
        if (run == 0)
            added = PeakKilobytes() - before;
    }
    std::printf("%-12s %8.3f s %10.1f MB peak added %10.1f MB file\n", what, best, added / 1024.0,
                fs::file_size(file) / 1048576.0);
}

void TimeSheets(const fs::path& file)
{
    constexpr int kRows = 20000, kColumns = 10;
    for (int count : {1, 4, 16}) {
        ResetPeak();
        const long before = PeakKilobytes();
        const auto start = Clock::now();
        {
            auto app = automation::CreateObjectAs<excel::Application>(L"Excel.Application");
            auto book = app->Workbooks()->Add();
            auto sheets = book->Worksheets();
            for (int s = 1; s <= count; ++s) {
                auto sheet = s <= sheets->Count() ? sheets->Item(s) : sheets->Add();
                excel::ValueArray block(1000, kColumns);
                for (int from = 0; from < kRows; from += 1000) {
                    for (int r = 1; r <= 1000; ++r)
                        for (int c = 1; c <= kColumns; ++c)
                            block.At(r, c) =
                                automation::Variant(L"text " + std::to_wstring((from + r) % 5000) +
                                                    L"/" + std::to_wstring(c));
                    sheet
                        ->Range(L"A" + std::to_wstring(from + 1) + L":J" +
                                std::to_wstring(from + 1000))
                        ->SetValue(block);
                }
            }
            book->SaveAs(automation::FromUtf8(file.string()));
            app->Quit();
        }
        std::printf("%2d sheets    %8.3f s %10.1f MB peak added %10.1f MB file\n", count,
                    std::chrono::duration<double>(Clock::now() - start).count(),
                    (PeakKilobytes() - before) / 1024.0, fs::file_size(file) / 1048576.0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    provider::RegisterProviderClasses();
    const fs::path dir = fs::temp_directory_path() / ("report_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path file1 = dir / "one.mdb", file2 = dir / "two.mdb";
    MakeStore(file1, rows, 1);
    MakeStore(file2, rows, 2);

    OutputTasks outputs;
    ComparisonContext context(&outputs);
    context.Source1().Settings().path = automation::FromUtf8(file1.string());
    context.Source2().Settings().path = automation::FromUtf8(file2.string());
    FakeProgress progress;
    if (!context.Source1().Load(progress) || !context.Source2().Load(progress)) {
        std::printf("cannot load the stores\n");
        return 1;
    }
    context.BuildTablePairs();
    std::promise<void> done;
    context.SetCompletionCallback([&done] { done.set_value(); });
    context.PrepareDataComparison();
    context.StartThreads();
    done.get_future().wait();
    context.StopAndWait();
    context.SetCompletionCallback({});
    const auto counts = context.Store()->TableResultAt(0)->Counts();
    std::printf("records: %d equal, %d only in Database1, %d only in Database2, %d modified\n",
                counts[0], counts[1], counts[2], counts[3]);

    const fs::path html = dir / "report.html", xls = dir / "report.xls";
    Time("HTML report",
         context.CreateHtmlReport(automation::FromUtf8(html.string()), true, true, true, true),
         html);
    Time(".xls report",
         context.CreateExcelReport(automation::FromUtf8(xls.string()), true, true, true, true),
         xls);
    context.CloseConnections();
    excel::RegisterSpreadsheetClasses();
    TimeSheets(dir / "sheets.xls");
    fs::remove_all(dir);
    return 0;
}
