// The table and field selection page on a large schema: two native stores of 200 tables with
// 20 fields each (every fifth table named differently on the other side), loaded as the wizard
// loads them, the page built inside the wizard, then the rebuilds a user causes timed each with
// the re-layout and a repaint of the visible page: setting a key from the context menu,
// opening a table's candidate popup and moving to a candidate in it, choosing that partner,
// and "Expand All Tables".
//   tables_page_bench [tables [fields]]
// Prints the build time, the first expansion of every table and, for each action, the best and
// the median of the runs in ms; and the resident memory before the page, with it built and with
// every table open, per table pair.
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "compare/table_pair_list.h"
#include "corvina/tables_page.h"
#include "corvina/wizard_dialog.h"
#include "htmlui/grid_behavior.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "platform/ui/frame_dialogs.h"
#include "proc_status.h"
#include "sqlexec/i_progress.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;
constexpr int kRuns = 9;

double Ms(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Table t of a side: the Database2 side renames every fifth table and adds a field to every
// third one, so the page shows paired, unpaired and partly paired tables.
void CreateStore(const fs::path& path, int tables, int fields, bool second)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                      automation::FromUtf8(path.string()));
    static const wchar_t* kTypes[] = {L"LONG", L"TEXT(50)", L"DOUBLE", L"DATETIME", L"CURRENCY"};
    for (int t = 0; t < tables; ++t) {
        const std::wstring name =
            (second && t % 5 == 4 ? L"Renamed" : L"Table") + std::to_wstring(t);
        std::wstring sql = L"CREATE TABLE [" + name + L"] ([Id] LONG";
        const int count = fields + (second && t % 3 == 0 ? 1 : 0);
        for (int f = 1; f < count; ++f)
            sql += L", [Field" + std::to_wstring(f) + L"] " + kTypes[f % 5];
        sql += L", CONSTRAINT [pk_" + name + L"] PRIMARY KEY ([Id]))";
        connection->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
    }
    connection->Close();
}

struct Timing {
    const char* name;
    std::vector<double> ms;
};

void Print(const Timing& t)
{
    std::vector<double> v = t.ms;
    std::sort(v.begin(), v.end());
    std::printf("%-34s best %7.1f ms   median %7.1f ms\n", t.name, v.front(), v[v.size() / 2]);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const int tables = argc > 1 ? std::atoi(argv[1]) : 200;
    const int fields = argc > 2 ? std::atoi(argv[2]) : 20;

    provider::RegisterProviderClasses();
    const fs::path dir =
        fs::temp_directory_path() / ("tables_page_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    CreateStore(dir / "one.mdb", tables, fields, false);
    CreateStore(dir / "two.mdb", tables, fields, true);

    WizardDialog wizard(ui::DefaultFrameDialogs());
    wizard.Initialize();
    wizard.resize(1000, 700);
    wizard.show();
    FakeProgress progress;
    wizard.Context().Source1().Settings().path = automation::FromUtf8((dir / "one.mdb").string());
    wizard.Context().Source2().Settings().path = automation::FromUtf8((dir / "two.mdb").string());
    if (!wizard.Context().Source1().Load(progress) || !wizard.Context().Source2().Load(progress)) {
        std::fprintf(stderr, "the stores do not load\n");
        return 1;
    }

    QImage image(1, 1, QImage::Format_RGB32);
    auto relayoutAndPaint = [&](TablesPage& page) {
        page.EnsureLayout();
        if (image.size() != page.viewport()->size())
            image = QImage(page.viewport()->size(), QImage::Format_RGB32);
        page.viewport()->render(&image);
    };

    const long before = StatusKilobytes("VmRSS:");
    auto memory = [&](const char* what) {
        const long now = StatusKilobytes("VmRSS:");
        std::printf("%-34s %7.1f MB, %.1f MB more than without the page (%.3f MB a pair)\n", what,
                    now / 1024.0, (now - before) / 1024.0, (now - before) / 1024.0 / tables);
    };
    auto start = Clock::now();
    auto* page = new TablesPage(wizard.Context());
    page->Create(wizard);
    QApplication::processEvents();
    relayoutAndPaint(*page);
    std::printf("%d tables x %d fields a side, page %dx%d\n", tables, fields,
                page->viewport()->width(), page->viewport()->height());
    std::printf("%-34s %7.1f ms\n", "build the page", Ms(start));

    // A folded table's rows are laid out when it is unfolded.
    memory("memory, the page built");
    start = Clock::now();
    page->RunMenuCommand(L"tables_expand", -1, -1);
    relayoutAndPaint(*page);
    std::printf("%-34s %7.1f ms\n", "expand all, the first time", Ms(start));
    std::printf("%-34s %zu bytes of markup\n", "structure, all tables open",
                page->StructureMarkup().size());

    Timing key{"set or reset a key (all open)", {}};
    Timing candidates{"open the candidates, pick one", {}};
    Timing pairing{"choose a partner in a popup", {}};
    Timing expand{"expand all tables", {}};
    const htmlui::ElementRef structure = page->GetRootElement().FindById("structure");
    for (int run = 0; run < kRuns; ++run) {
        start = Clock::now();
        page->RunMenuCommand(run % 2 ? L"reset_key" : L"set_key", 7, 3);
        relayoutAndPaint(*page);
        key.ms.push_back(Ms(start));

        // Open the candidates of table 4 (paired with nothing on the other side) and pick a
        // table: the popup fills and shows, then the choice rebuilds the page.
        const htmlui::ElementRef button = structure.GetChild(4).FindFirst(".tables_popup_button");
        start = Clock::now();
        page->SendEvent(button.Handle(), html::kButtonClick, 0, button.Handle());
        const htmlui::ElementRef popup = structure.GetChild(4).FindFirst(".tables_popup");
        const htmlui::ElementRef grid = popup.FindFirst(".popup_grid");
        const htmlui::ElementRef row = grid.GetChild(unsigned(run % 2 ? 4 : 9));
        htmlui::GridBehavior::SetCurrentRow(grid, row, 0, false, false);
        relayoutAndPaint(*page);
        candidates.ms.push_back(Ms(start));
        start = Clock::now();
        htmlui::TheSinglePopupBehavior().Dismiss(popup, row.GetChild(0));
        relayoutAndPaint(*page);
        pairing.ms.push_back(Ms(start));

        page->RunMenuCommand(L"tables_collapse", -1, -1);
        relayoutAndPaint(*page);
        start = Clock::now();
        page->RunMenuCommand(L"tables_expand", -1, -1);
        relayoutAndPaint(*page);
        expand.ms.push_back(Ms(start));
        QApplication::processEvents();
    }
    Print(key);
    Print(candidates);
    Print(pairing);
    Print(expand);
    memory("memory, every table open");

    page->Destroy();
    QApplication::processEvents();
    fs::remove_all(dir);
    return 0;
}
