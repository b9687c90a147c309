// The HTML engine on a grid of 2,000 rows: loading the page, sorting it by a
// column (header click) and repainting it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <clocale>
#include <cstdlib>
#include <string>

#include "htmlui/grid_behavior.h"
#include "htmlui/html_host_window.h"

namespace {

QByteArray GridPage(int rows)
{
    std::string page =
        "<html><head><style>"
        "table.grid { behavior: sortable-grid; border: 1px solid #9d9d9d; border-spacing: 0; }"
        "table.grid th { background-color: #ddddff; padding: 3px 6px; }"
        "table.grid td { padding: 2px 6px; }"
        "table.grid tr:current td { background-color: #6666ff; color: #ffffff; }"
        "</style></head><body><table id=grid class=grid fixedrows=1>"
        "<tr><th>Table</th><th>Rows</th><th>Owner</th></tr>";
    for (int i = 0; i < rows; ++i) {
        const unsigned key = unsigned(i) * 2654435761u;
        page += "<tr><td>Table " + std::to_string(key % 100000) + "</td><td>" +
                std::to_string(i) + "</td><td>owner " + std::to_string(i % 17) + "</td></tr>";
    }
    page += "</table></body></html>";
    return QByteArray::fromStdString(page);
}

struct Host {
    Host()
    {
        window.resize(800, 600);
        window.OnCreate(-1);
    }
    htmlui::HtmlHostWindow window{nullptr, 0};
};

void BM_LoadGrid2000(benchmark::State& state)
{
    const QByteArray page = GridPage(2000);
    Host host;
    for (auto _ : state) {
        host.window.LoadHtml(page);
        benchmark::DoNotOptimize(host.window.Root());
    }
}
BENCHMARK(BM_LoadGrid2000)->Unit(benchmark::kMillisecond);

void BM_SortGrid2000ByColumn(benchmark::State& state)
{
    const QByteArray page = GridPage(2000);
    Host host;
    htmlui::SortableGridBehavior sorter;
    for (auto _ : state) {
        state.PauseTiming();
        host.window.LoadHtml(page);
        const htmlui::ElementRef grid = host.window.GetRootElement().FindById("grid");
        const htmlui::ElementRef header = grid.GetChild(0).GetChild(0);
        state.ResumeTiming();
        sorter.OnHeaderClick(grid, header);  // sorts and lays the page out again
        host.window.EnsureLayout();
    }
}
BENCHMARK(BM_SortGrid2000ByColumn)->Unit(benchmark::kMillisecond);

void BM_RepaintGrid2000(benchmark::State& state)
{
    Host host;
    host.window.LoadHtml(GridPage(2000));
    QImage image(800, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        host.window.viewport()->render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_RepaintGrid2000)->Unit(benchmark::kMillisecond);

void BM_StateChangeGrid2000(benchmark::State& state)
{
    Host host;
    host.window.LoadHtml(GridPage(2000));
    const htmlui::ElementRef grid = host.window.GetRootElement().FindById("grid");
    unsigned row = 1;
    for (auto _ : state) {
        htmlui::GridBehavior::SetCurrentRow(grid, grid.GetChild(row), 0, false, false);
        host.window.EnsureLayout();
        row = row % 1999 + 1;
    }
}
BENCHMARK(BM_StateChangeGrid2000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
