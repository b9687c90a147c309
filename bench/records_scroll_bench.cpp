// Scrolling the records list of a large result: two generated native stores sharing a table of
// rows (default 1,000,000) x 6 columns, 5% of the rows modified and 2% only in each side, are
// compared through the context as the records window does; then the list model, with every kind
// switched on, is asked for 1,000 screens of 40 lines at random places (the text, kind and
// changed flag of every cell, as the view paints them). Prints the time per screen and the
// resident set size before and after the scrolling.
//   records_scroll_bench [rows] [screens]
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "bench_store.h"
#include "compare/comparison_context.h"
#include "compare/data_compare_model.h"
#include "compare/record_row_source.h"
#include "corvina/record_list_model.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "proc_status.h"
#include "sqlexec/i_progress.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;
constexpr int kScreenLines = 40;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

using benchstore::CreateStore;
using benchstore::Run;

}  // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int screens = argc > 2 ? std::atoi(argv[2]) : 1000;
    QCoreApplication app(argc, argv);
    provider::RegisterProviderClasses();

    const fs::path dir =
        fs::temp_directory_path() / ("records_scroll_bench." + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path1 = (dir / "one.mdb").string();
    const std::string path2 = (dir / "two.mdb").string();
    auto start = Clock::now();
    CreateStore(path1, rows, {L"DELETE FROM [Bench] WHERE k MOD 50 = 7"});
    CreateStore(path2, rows,
                {L"DELETE FROM [Bench] WHERE k MOD 50 = 11",
                 L"UPDATE [Bench] SET c = 'changed', a = a + 1 WHERE k MOD 20 = 3"});
    std::printf("stores of %ld rows made in %.1f s\n", rows, Seconds(start));

    ComparisonContext context;
    context.Source1().Settings().path = automation::FromUtf8(path1);
    context.Source2().Settings().path = automation::FromUtf8(path2);
    FakeProgress progress;
    if (!context.Source1().Load(progress) || !context.Source2().Load(progress) ||
        !context.BuildTablePairs()) {
        std::fprintf(stderr, "cannot load the stores\n");
        return 1;
    }
    std::promise<void> done;
    context.SetCompletionCallback([&done] { done.set_value(); });
    start = Clock::now();
    DataCompareModel* model = context.PrepareDataComparison();
    context.StartThreads();
    done.get_future().wait();
    context.StopAndWait();
    context.SetCompletionCallback({});
    std::printf("compared in %.1f s\n", Seconds(start));

    model->SetCategoryFilter(true, true, true, true);
    RecordRowSource* source = model->GetRecordSource(0);
    source->Refresh();
    const long rssBefore = StatusKilobytes("VmRSS:");

    RecordListModel list;
    list.SetSource(source);
    const int lines = list.rowCount();
    const int columns = list.columnCount();
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> place(0, std::max(0, lines - kScreenLines));
    long cells = 0, changed = 0;
    size_t textBytes = 0;
    std::vector<double> times;
    times.reserve(screens);
    for (int screen = 0; screen < screens; ++screen) {
        const int first = place(random);
        const auto t = Clock::now();
        for (int row = first; row < std::min(lines, first + kScreenLines); ++row)
            for (int column = 0; column < columns; ++column) {
                const QModelIndex index = list.index(row, column);
                textBytes += list.data(index, Qt::DisplayRole).toString().size();
                list.data(index, RecordListModel::KindRole);
                changed += list.data(index, RecordListModel::ChangedRole).toBool();
                ++cells;
            }
        times.push_back(Seconds(t) * 1000);
    }
    const long rssAfter = StatusKilobytes("VmRSS:");
    std::sort(times.begin(), times.end());
    double total = 0;
    for (double t : times)
        total += t;

    std::printf(
        "lines in the list: %d (%d columns); %d screens of %d lines, %ld cells (%ld "
        "changed, %zu characters)\n",
        lines, columns, screens, kScreenLines, cells, changed, textBytes);
    std::printf(
        "time per screen: mean %.3f ms, median %.3f ms, 99th percentile %.3f ms, "
        "max %.3f ms\n",
        total / times.size(), times[times.size() / 2], times[times.size() * 99 / 100],
        times.back());
    std::printf("resident set: %ld KiB before the list, %ld KiB after (%+ld KiB)\n", rssBefore,
                rssAfter, rssAfter - rssBefore);
    list.SetSource(nullptr);
    context.CloseConnections();
    fs::remove_all(dir);
    return 0;
}
