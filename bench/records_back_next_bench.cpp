// Back and Next through the records window in one session, as a user goes: two generated native
// stores (default 300,000 rows x 6 columns, 5% modified, 2% only in each side) are loaded on the
// database pages; then ten times the tables page goes on to the records window, which compares,
// its list is read over 200 screens of every kind, and Back returns to the tables page. Prints
// the resident set size at the end of each run and after each Back, and the last Back's against
// the first's.
//   records_back_next_bench [rows] [runs]
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_store.h"
#include "corvina/database_page.h"
#include "corvina/record_list_model.h"
#include "corvina/records_window.h"
#include "corvina/wizard_dialog.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "platform/ui/frame_dialogs.h"
#include "proc_status.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace adodb = provider::adodb;
namespace fs = std::filesystem;

class Answers : public ui::FrameDialogs {
public:
    int MessageBox(QWidget*, const std::wstring& text, const std::wstring&, unsigned) override
    {
        std::fprintf(stderr, "message: %s\n", automation::ToUtf8(text).c_str());
        return 1;
    }
    bool GetOpenFileName(QWidget*, const std::vector<ui::FileFilter>&, std::wstring&) override
    {
        return false;
    }
    bool GetSaveFileName(QWidget*, const std::vector<ui::FileFilter>&, std::wstring&, int&) override
    {
        return false;
    }
    int RunModal(QDialog&) override { return 0; }
};

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 600000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

using benchstore::CreateStore;
using benchstore::Run;

bool Settle(WizardDialog& wizard)
{
    return WaitFor([&] {
        const WizardStep* step = wizard.Step(wizard.CurrentStep());
        return step && !step->transient;
    });
}

bool EnterDatabase(WizardDialog& wizard, const std::string& path)
{
    auto* page = dynamic_cast<DatabasePage*>(wizard.CurrentPage());
    if (!page)
        return false;
    page->PathEdit()->setText(QString::fromStdString(path));
    wizard.OnNext();
    return Settle(wizard);
}

// Reads the list as the view paints it, screen by screen at random places.
void ReadList(RecordListModel& list)
{
    std::mt19937 random(7);
    const int lines = list.rowCount();
    std::uniform_int_distribution<int> place(0, std::max(0, lines - 40));
    for (int screen = 0; screen < 200; ++screen) {
        const int first = place(random);
        for (int row = first; row < std::min(lines, first + 40); ++row)
            for (int column = 0; column < list.columnCount(); ++column)
                list.data(list.index(row, column), Qt::DisplayRole);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const long rows = argc > 1 ? std::atol(argv[1]) : 300000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    QApplication app(argc, argv);
    provider::RegisterProviderClasses();

    const fs::path dir =
        fs::temp_directory_path() / ("records_back_next_bench." + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path1 = (dir / "one.mdb").string();
    const std::string path2 = (dir / "two.mdb").string();
    CreateStore(path1, rows, {L"DELETE FROM [Bench] WHERE k MOD 50 = 7"});
    CreateStore(path2, rows,
                {L"DELETE FROM [Bench] WHERE k MOD 50 = 11",
                 L"UPDATE [Bench] SET c = 'changed', a = a + 1 WHERE k MOD 20 = 3"});

    Answers answers;
    WizardDialog wizard(answers);
    if (!wizard.Initialize()) {
        std::fprintf(stderr, "no wizard\n");
        return 1;
    }
    wizard.resize(1000, 700);
    wizard.show();
    if (!EnterDatabase(wizard, path1) || !EnterDatabase(wizard, path2)) {
        std::fprintf(stderr, "the databases were not loaded\n");
        return 1;
    }
    std::printf("rows %ld, runs %d; resident set in MiB\n", rows, runs);
    std::printf("%4s %10s %10s %8s\n", "run", "in window", "after Back", "seconds");
    long firstBack = 0, lastBack = 0;
    for (int run = 1; run <= runs; ++run) {
        const auto start = Clock::now();
        wizard.OnNext();
        auto* window = dynamic_cast<RecordsWindow*>(wizard.CurrentPage());
        if (!window || !WaitFor([&] { return wizard.NextButton()->isEnabled(); })) {
            std::fprintf(stderr, "the records window did not finish\n");
            return 1;
        }
        for (int kind = 0; kind < 4; ++kind)
            if (!window->KindBox(kind)->isChecked())
                window->KindBox(kind)->click();
        QCoreApplication::processEvents();
        ReadList(*window->RecordListData());
        const long inWindow = StatusKilobytes("VmRSS:");
        wizard.OnBack();
        Settle(wizard);
        WaitFor([] { return false; }, 300);
        const long afterBack = StatusKilobytes("VmRSS:");
        if (run == 1)
            firstBack = afterBack;
        lastBack = afterBack;
        std::printf("%4d %10.1f %10.1f %8.2f\n", run, inWindow / 1024.0, afterBack / 1024.0,
                    std::chrono::duration<double>(Clock::now() - start).count());
        std::fflush(stdout);
    }
    std::printf("after the last Back: %.2f x the first's\n",
                firstBack ? double(lastBack) / firstBack : 0.0);
    fs::remove_all(dir);
    return 0;
}
