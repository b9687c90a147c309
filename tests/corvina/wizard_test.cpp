// The wizard's road as a user travels it: the step list's Back and Next routes with their
// branches, the stage indicator, the exit codes, and each page's defaults, checks and hand-over
// to the comparison, over two real native stores.
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QCompleter>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QToolTip>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "compare/wizard_task.h"
#include "corvina/about_dialog.h"
#include "corvina/choice_page.h"
#include "corvina/message_page.h"
#include "corvina/path_label.h"
#include "corvina/progress_page.h"
#include "corvina/records_window.h"
#include "corvina/report_save_page.h"
#include "corvina/run_application.h"
#include "corvina/save_file_field.h"
#include "corvina/script_options_page.h"
#include "corvina/settings_dialog.h"
#include "corvina/step_indicator.h"
#include "corvina/tables_page.h"
#include "platform/ui/registry_settings.h"
#include "wizard_fixture.h"

namespace wizardtest {
namespace {

const wchar_t* const kTable =
    L"CREATE TABLE [T] ([ID] LONG NOT NULL, [Name] TEXT(20), CONSTRAINT [pk] PRIMARY KEY ([ID]));\n";

class WizardRoadTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        one = PathOf("one.mdb");
        two = PathOf("two.mdb");
        ASSERT_EQ(MakeStore(one, std::wstring(kTable) +
                                     L"INSERT INTO [T] VALUES (1, 'a');\n"
                                     L"INSERT INTO [T] VALUES (2, 'b');\n"),
                  L"");
        ASSERT_EQ(MakeStore(two, std::wstring(kTable) +
                                     L"INSERT INTO [T] VALUES (1, 'a');\n"
                                     L"INSERT INTO [T] VALUES (2, 'changed');\n"
                                     L"INSERT INTO [T] VALUES (3, 'c');\n"),
                  L"");
    }

    // From the first page to the choice page (step 6).
    void ToChoice()
    {
        EnterDatabase(one);
        ASSERT_EQ(wizard->CurrentStep(), 2);
        EnterDatabase(two);
        ASSERT_EQ(wizard->CurrentStep(), 4);
        ClickNext();
        ASSERT_EQ(wizard->CurrentStep(), 5);
        ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
        ClickNext();
        ASSERT_EQ(wizard->CurrentStep(), 6);
    }

    // Chooses the script branch and names the script; run: also synchronise.
    void ToScriptWritten(bool run)
    {
        ToChoice();
        ClickNext();
        ASSERT_EQ(wizard->CurrentStep(), 7);
        auto* options = Current<ScriptOptionsPage>();
        ASSERT_NE(options, nullptr);
        options->OutputFile()->Edit()->setText(QString::fromStdWString(PathOf("sync.sql")));
        options->RunSynchronization()->setChecked(run);
        ClickNext();
        ASSERT_TRUE(Settle());
    }

    std::wstring one;
    std::wstring two;
};

TEST_F(WizardRoadTest, TheIndicatorShowsTheStageOfEveryStep)
{
    // Steps 0-1 stand on stage 0, 2-3 on 1, 4 on 2, 5 on 3, 6 and every later step on 4.
    const int expected[WizardDialog::kStepCount] = {0, 0, 1, 1, 2, 3, 4, 4, 4, 4, 4,
                                                    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};
    for (int step = 0; step < WizardDialog::kStepCount; ++step) {
        if (!wizard->Step(step))
            continue;
        EXPECT_EQ(wizard->IndicatorPosition(step), expected[step]) << "step " << step;
    }

    auto classes = [this] {
        std::vector<std::wstring> seen;
        for (int i = 0; i < StepIndicator::kStageCount; ++i)
            seen.push_back(wizard->Indicator()->StageClass(i));
        return seen;
    };
    EXPECT_EQ(classes(), (std::vector<std::wstring>{L"step_current", L"step_remained",
                                                    L"step_remained", L"step_remained",
                                                    L"step_remained"}));
    ToChoice();
    EXPECT_EQ(classes(), (std::vector<std::wstring>{L"step_passed", L"step_passed",
                                                    L"step_passed", L"step_passed",
                                                    L"step_current"}));
    ClickBack();  // the records window again: the comparison runs anew
    ASSERT_EQ(wizard->CurrentStep(), 5);
    EXPECT_EQ(classes()[3], L"step_current");
    EXPECT_EQ(classes()[4], L"step_remained");
}

TEST_F(WizardRoadTest, BackPassesOverProgressStepsAndKeepsWhatWasEntered)
{
    EXPECT_FALSE(wizard->BackButton()->isEnabled());
    EnterDatabase(one);
    ASSERT_EQ(wizard->CurrentStep(), 2);
    EXPECT_TRUE(wizard->BackButton()->isEnabled());
    Database()->UserEdit()->setText(QStringLiteral("admin"));
    Database()->DatabasePasswordEdit()->setText(QStringLiteral("secret"));
    ClickBack();
    ASSERT_EQ(wizard->CurrentStep(), 0);
    EXPECT_EQ(Database()->PathEdit()->text().toStdWString(), one);
    EnterDatabase(one);
    EXPECT_EQ(Database()->PathEdit()->text(), QString());  // nothing applied on Back
    EnterDatabase(two);
    ASSERT_EQ(wizard->CurrentStep(), 4);
    ClickBack();  // over the load of Database2, which does not run again
    ASSERT_EQ(wizard->CurrentStep(), 2);
    EXPECT_EQ(Database()->PathEdit()->text().toStdWString(), two);
    EXPECT_EQ(Database()->DatabasePasswordEdit()->echoMode(), QLineEdit::Password);
}

TEST_F(WizardRoadTest, TheDatabase2PageRefusesTheFileOfDatabase1ByAnyName)
{
    namespace fs = std::filesystem;
    fs::create_symlink(dir / "one.mdb", dir / "link.mdb");
    fs::create_hard_link(dir / "one.mdb", dir / "hard.mdb");
    EnterDatabase(one);
    ASSERT_EQ(wizard->CurrentStep(), 2);
    const std::string folder = dir.path().string();
    for (const std::string& name :
         {automation::ToUtf8(one), folder + "/link.mdb", folder + "/hard.mdb",
          folder + "/./one.mdb", folder + "//one.mdb"}) {
        dialogs.messages.clear();
        EnterDatabase(automation::FromUtf8(name));
        EXPECT_EQ(wizard->CurrentStep(), 2) << name;
        ASSERT_EQ(dialogs.messages.size(), 1u) << name;
        EXPECT_EQ(dialogs.messages[0].text, DatabasePage::kSameFileMessage);
        EXPECT_EQ(Database()->PathEdit()->text().toStdString(), name);
    }
    dialogs.messages.clear();
    EnterDatabase(two);
    EXPECT_EQ(wizard->CurrentStep(), 4);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WizardRoadTest, EachChoiceLeadsToItsBranchAndBackReturnsToTheChoice)
{
    ToChoice();
    struct Branch {
        QRadioButton* (ChoicePage::*choice)() const;
        int step;
    };
    for (const Branch& branch : {Branch{&ChoicePage::HtmlChoice, 15},
                                 Branch{&ChoicePage::ExcelChoice, 19},
                                 Branch{&ChoicePage::ScriptChoice, 7}}) {
        auto* choice = Current<ChoicePage>();
        ASSERT_NE(choice, nullptr);
        EXPECT_TRUE(choice->ScriptChoice()->isChecked()) << "every entry starts on the script";
        (choice->*branch.choice)()->setChecked(true);
        ClickNext();
        ASSERT_EQ(wizard->CurrentStep(), branch.step);
        ClickBack();
        ASSERT_EQ(wizard->CurrentStep(), 6);
    }
}

TEST_F(WizardRoadTest, TheScriptBranchEndsOnItsMessageWhereNextStops)
{
    ToScriptWritten(false);
    ASSERT_EQ(wizard->CurrentStep(), 9) << (dialogs.messages.empty()
                                                ? ""
                                                : automation::ToUtf8(dialogs.messages[0].text));
    EXPECT_TRUE(std::filesystem::exists(dir / "sync.sql"));
    auto* message = Current<MessagePage>();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->Text(), QStringLiteral("The SQL script has been saved"));
    EXPECT_FALSE(wizard->NextButton()->isEnabled());
    wizard->GoNext();  // the next entry is a separator
    EXPECT_EQ(wizard->CurrentStep(), 9);
    ClickBack();
    EXPECT_EQ(wizard->CurrentStep(), 7);
}

TEST_F(WizardRoadTest, SynchronizingEndsOnItsMessageAndBackComparesAgain)
{
    ToScriptWritten(true);
    ASSERT_EQ(wizard->CurrentStep(), 13) << (dialogs.messages.empty()
                                                 ? ""
                                                 : automation::ToUtf8(dialogs.messages[0].text));
    EXPECT_EQ(Current<MessagePage>()->Text(), QStringLiteral("The synchronization is completed"));
    ClickBack();
    ASSERT_EQ(wizard->CurrentStep(), 5);
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    // Database2 was upgraded to Database1: the comparison now finds nothing to do.
    ASSERT_NE(wizard->Context().Store(), nullptr);
    EXPECT_FALSE(wizard->Context().HasError());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WizardRoadTest, ADatabaseThatDoesNotOpenIsReportedAndTheEntryKept)
{
    const std::wstring missing = PathOf("missing.mdb");
    EnterDatabase(missing);
    ASSERT_EQ(wizard->CurrentStep(), 0);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, L"Error");
    // The load's own text: the path, then what the database layer said.
    EXPECT_EQ(dialogs.messages[0].text.rfind(missing + L"\n", 0), 0u)
        << automation::ToUtf8(dialogs.messages[0].text);
    EXPECT_EQ(Database()->PathEdit()->text().toStdWString(), missing);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.mdb"));
}

TEST_F(WizardRoadTest, TheDatabasePageNeitherMovesOnByEnterNorWithoutAName)
{
    ClickNext();  // no name: no move and no message
    EXPECT_EQ(wizard->CurrentStep(), 0);
    EXPECT_TRUE(dialogs.messages.empty());
    Database()->PathEdit()->setText(QString::fromStdWString(one));
    for (QLineEdit* edit : {Database()->PathEdit(), Database()->UserEdit()}) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Escape);  // the page keeps Escape too
    }
    EXPECT_EQ(wizard->CurrentStep(), 0);
    EXPECT_TRUE(wizard->isVisible());

    dialogs.paths = {PathOf("chosen.mdb"), PathOf("system.mdw")};
    QTest::mouseClick(Database()->BrowseDatabaseButton(), Qt::LeftButton);
    QTest::mouseClick(Database()->BrowseSystemDatabaseButton(), Qt::LeftButton);
    EXPECT_EQ(Database()->PathEdit()->text().toStdWString(), PathOf("chosen.mdb"));
    EXPECT_EQ(Database()->SystemDatabaseEdit()->text().toStdWString(), PathOf("system.mdw"));
    ASSERT_EQ(dialogs.askedFilters.size(), 2u);
    EXPECT_EQ(dialogs.askedFilters[0],
              (std::vector<ui::FileFilter>{
                  {L"Microsoft Access Databases (*.mdb;*.accdb)", L"*.mdb;*.accdb"},
                  {L"All Files (*.*)", L"*.*"}}));
    EXPECT_EQ(dialogs.askedFilters[1],
              (std::vector<ui::FileFilter>{{L"Access Files (*.mdw)", L"*.mdw"},
                                           {L"All Files (*.*)", L"*.*"}}));
    QTest::mouseClick(Database()->BrowseDatabaseButton(), Qt::LeftButton);  // cancelled
    EXPECT_EQ(Database()->PathEdit()->text().toStdWString(), PathOf("chosen.mdb"));
}

TEST_F(WizardRoadTest, AClickOnAnotherFieldWhileCompletionsShowReachesThatField)
{
    wizard->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wizard.get()));
    QLineEdit* name = Database()->PathEdit();
    QLineEdit* password = Database()->DatabasePasswordEdit();
    name->setFocus();
    // The user types the folder and the file name's first letter: the list offers the file.
    const QString start = QString::fromStdString(dir.path().string()) + "/o";
    QTest::keyClicks(name, start, {}, 10);
    QAbstractItemView* list = name->completer()->popup();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));

    // Clicks travel as the window system delivers them: to the open list first. The list hangs
    // over the top of the password field; the user clicks below it.
    const QPoint inField(password->width() / 2, password->height() - 3);
    ASSERT_FALSE(list->geometry().contains(password->mapToGlobal(inField)));
    QTest::mouseClick(wizard->windowHandle(), Qt::LeftButton, {},
                      password->mapTo(wizard.get(), inField));
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), password);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("secret"));
    EXPECT_EQ(password->text(), QStringLiteral("secret"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(name->text(), start);

    // Once the whole name is in, the list has nothing more to offer and goes.
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("ne.md"), {}, 10);
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    QTest::keyClicks(name, QStringLiteral("b"), {}, 10);
    EXPECT_TRUE(WaitFor([&] { return !list->isVisible(); }, 2000));
    EXPECT_EQ(name->text().toStdWString(), one);
}

TEST_F(WizardRoadTest, CloseBoxEscapeAndExitEndWithTheirCodes)
{
    struct Case {
        const char* how;
        std::function<void(WizardDialog&)> close;
        int code;
    };
    const std::vector<Case> cases = {
        {"close box", [](WizardDialog& w) { w.close(); }, corvina::kExitClose},
        {"Escape", [](WizardDialog& w) { QTest::keyClick(&w, Qt::Key_Escape); },
         corvina::kExitClose},
        {"File, Exit",
         [](WizardDialog& w) {
             QMenu* file = w.findChild<QMenuBar*>()->actions().at(0)->menu();
             file->actions().at(0)->trigger();
         },
         corvina::kExitMenu},
    };
    for (const Case& c : cases) {
        auto other = std::make_unique<WizardDialog>(dialogs);
        ASSERT_TRUE(other->Initialize());
        other->show();
        int finished = -1;
        QObject::connect(other.get(), &QDialog::finished, [&](int code) { finished = code; });
        other->DisableNext();
        other->BackButton()->setFocus();  // not in the database page, which keeps Escape
        c.close(*other);
        EXPECT_EQ(finished, c.code) << c.how;
        EXPECT_FALSE(other->isVisible()) << c.how;
        // The process status is the low byte of the code.
        EXPECT_EQ(c.code & 0xFF, c.code == corvina::kExitMenu ? 6 : 2);
    }
}

// A task that runs until it is asked to stop, or for `fixed` when it ignores the request.
class StoppableTask : public WizardTask {
public:
    explicit StoppableTask(std::chrono::milliseconds fixed = {}) : fixed_(fixed) {}
    void Run(IProgress& progress) override
    {
        progress.SetTotal(100);
        started = true;
        if (fixed_.count())
            std::this_thread::sleep_for(fixed_);
        else
            while (!stop_.IsRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ended = true;
    }
    bool Failed() const override { return false; }
    std::wstring ErrorText() const override { return {}; }
    void RequestStop() override
    {
        ++stopRequests;
        stop_.Request();
    }

    std::atomic<bool> started{false};
    std::atomic<bool> ended{false};
    std::atomic<int> stopRequests{0};

private:
    std::chrono::milliseconds fixed_;
    TaskStopFlag stop_;
};

// A wizard whose first load step runs the test's task.
class TaskWizard : public WizardDialog {
public:
    TaskWizard(ui::FrameDialogs& dialogs, WizardTask& task) : WizardDialog(dialogs), task_(task) {}

protected:
    WizardPage* MakePage(int step) override
    {
        if (step != 1)
            return WizardDialog::MakePage(step);
        SetButtons(false, false);
        return Enter(new ProgressPage(&task_, L""));
    }

private:
    WizardTask& task_;
};

TEST_F(WizardRoadTest, ClosingDuringATaskWaitsForItOnceAndMovesNothing)
{
    for (const auto fixed : {std::chrono::milliseconds(0), std::chrono::milliseconds(300)}) {
        StoppableTask task(fixed);
        auto other = std::make_unique<TaskWizard>(dialogs, task);
        ASSERT_TRUE(other->Initialize());
        other->show();
        dynamic_cast<DatabasePage*>(other->CurrentPage())->PathEdit()->setText(QStringLiteral("x"));
        other->GoNext();
        ASSERT_EQ(other->CurrentStep(), 1);
        auto* page = dynamic_cast<ProgressPage*>(other->CurrentPage());
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(WaitFor([&] { return task.started.load(); }));
        int finished = -1;
        QObject::connect(other.get(), &QDialog::finished, [&](int code) { finished = code; });
        // A second close while the first one waits does nothing.
        QTimer::singleShot(30, other.get(), [&] { other->close(); });
        other->close();
        EXPECT_EQ(finished, corvina::kExitClose);
        // Even a task that ignores the stop (a database load) has ended when the close is done.
        EXPECT_TRUE(task.ended.load());
        EXPECT_EQ(task.stopRequests.load(), 1);
        EXPECT_FALSE(page->IsTaskRunning());
        QCoreApplication::processEvents();
        EXPECT_EQ(other->CurrentStep(), 1) << "the end of a cancelled task moved the wizard";
        EXPECT_TRUE(dialogs.messages.empty());
        other.reset();
    }
}

TEST_F(WizardRoadTest, ProgressPagesShowTheirTextsAndMoveTheBar)
{
    StoppableTask task(std::chrono::milliseconds(1));
    auto* loading = new ProgressPage(&task, L"");
    loading->Create(*wizard);
    EXPECT_EQ(loading->TextLabel()->text(), QStringLiteral("Please wait. Reading the database..."));
    auto* writing = new ProgressPage(&task, L"Please wait. Writing the SQL Script...");
    writing->Create(*wizard);
    EXPECT_EQ(writing->TextLabel()->text(), QStringLiteral("Please wait. Writing the SQL Script..."));
    delete loading;
    delete writing;
}

// What a path label shows: its file name whole, within its width, the whole path in the tip.
void ExpectFileNameKept(const PathLabel* label, const QString& name)
{
    SCOPED_TRACE(label->Path().toStdString());
    const QString shown = label->ShownText();
    EXPECT_TRUE(shown.endsWith('/' + name)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    EXPECT_EQ(label->toolTip(), label->Path());
}

TEST_F(WizardRoadTest, PathsThatDifferOnlyInTheirFileNamesReadDifferentlyOnEveryPage)
{
    // Two copies in one deep folder: only their names tell them apart.
    const std::filesystem::path folder = dir.path() / "sales of the northern region" /
                                         "archived databases of the year 2026" /
                                         "monthly copies kept for the auditors";
    std::filesystem::create_directories(folder);
    // Long names that differ at their start: a path cut in its middle keeps only their ends.
    const QString names[2] = {
        QStringLiteral("january orders of the sales department kept for the auditors.mdb"),
        QStringLiteral("february orders of the sales department kept for the auditors.mdb")};
    std::wstring paths[2];
    for (int side = 0; side < 2; ++side) {
        paths[side] = automation::FromUtf8((folder / names[side].toStdString()).string());
        std::filesystem::copy_file(automation::ToUtf8(side == 0 ? one : two),
                                   automation::ToUtf8(paths[side]));
    }
    wizard->resize(800, 600);
    EnterDatabase(paths[0]);
    EnterDatabase(paths[1]);

    auto* tables = Current<TablesPage>();
    ASSERT_NE(tables, nullptr);
    const htmlui::ElementRef root = tables->GetRootElement();
    const int right =
        root.FindFirst("body").GetLocation(html::kRootRelative | html::kContentBox).right();
    QString shown[2];
    for (int side = 0; side < 2; ++side) {
        const htmlui::ElementRef cell = root.FindById(side == 0 ? "db_path1" : "db_path2");
        shown[side] = QString::fromStdWString(cell.GetInnerText());
        EXPECT_TRUE(shown[side].endsWith('/' + names[side])) << shown[side].toStdString();
        EXPECT_TRUE(shown[side].contains(QChar(0x2026))) << shown[side].toStdString();
        // Not cut at the page's right edge.
        EXPECT_LE(cell.GetLocation(html::kRootRelative | html::kBorderBox).right(), right);
        // Resting the mouse on the line shows the whole path.
        const QPoint at = cell.GetLocation(html::kViewRelative | html::kBorderBox).center();
        QHelpEvent help(QEvent::ToolTip, at, tables->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tables->viewport(), &help);
        EXPECT_EQ(QToolTip::text().toStdWString(), paths[side]);
    }
    EXPECT_NE(shown[0].toStdString(), shown[1].toStdString());

    ClickNext();
    ASSERT_TRUE(WaitFor([this] { return wizard->NextButton()->isEnabled(); }));
    auto* records = Current<RecordsWindow>();
    ASSERT_NE(records, nullptr);
    for (int side = 0; side < 2; ++side)
        ExpectFileNameKept(records->DatabasePathLabel(side + 1), names[side]);
    ClickNext();
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    ASSERT_NE(options, nullptr);
    for (int side = 0; side < 2; ++side)
        ExpectFileNameKept(options->DatabasePathLabel(side + 1), names[side]);
}

TEST_F(WizardRoadTest, ScriptOptionsStartFromTheirDefaultsAndRefuseIncompleteChoices)
{
    ToChoice();
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->Encoding()->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(options->Encoding()->count(), 3);
    EXPECT_TRUE(options->Upgrade1To2()->isChecked());
    for (QCheckBox* box : {options->AddRecords(), options->UpdateRecords(),
                           options->DeleteRecords(), options->CreateBackup()})
        EXPECT_TRUE(box->isChecked()) << box->text().toStdString();
    EXPECT_FALSE(options->RunSynchronization()->isChecked());
    EXPECT_FALSE(options->CreateBackup()->isEnabled());
    const QPoint box(8, options->RunSynchronization()->height() / 2);
    QTest::mouseClick(options->RunSynchronization(), Qt::LeftButton, {}, box);
    EXPECT_TRUE(options->CreateBackup()->isEnabled());
    QTest::mouseClick(options->RunSynchronization(), Qt::LeftButton, {}, box);
    EXPECT_FALSE(options->CreateBackup()->isEnabled());

    const std::wstring incomplete = L"Enter a file name and records' type to save";
    struct Case {
        const char* what;
        std::wstring path;
        bool kinds;
        std::wstring message;
    };
    const std::vector<Case> cases = {
        {"no file", L"", true, incomplete},
        {"no kind of statement", PathOf("s.sql"), false, incomplete},
        {"Database1 itself", one, true, kNamesDatabaseMessage},
        {"Database2's lock file", PathOf("two.ldb"), true, kNamesDatabaseMessage},
        {"a backup of Database1", one + L".2026.12.10_3-4-5.bkp", true, kNamesDatabaseMessage},
        // The files SQLite keeps beside a database, whether they exist yet or not, and any
        // other name that leads to a database's files.
        {"Database1's log", one + L"-wal", true, kNamesDatabaseMessage},
        {"Database2's shared memory", two + L"-shm", true, kNamesDatabaseMessage},
        {"Database1's journal through a linked folder", PathOf("linked/one.mdb-journal"), true,
         kNamesDatabaseMessage},
        {"a link leading to Database2's log", PathOf("out.sql"), true, kNamesDatabaseMessage},
        {"a hard link of Database2", PathOf("alias.mdb"), true, kNamesDatabaseMessage},
    };
    std::filesystem::create_directory_symlink(dir.path(), dir / "linked");
    std::filesystem::create_symlink(dir / "two.mdb-wal", dir / "out.sql");
    std::filesystem::create_hard_link(dir / "two.mdb", dir / "alias.mdb");
    for (const Case& c : cases) {
        dialogs.messages.clear();
        options->OutputFile()->Edit()->setText(QString::fromStdWString(c.path));
        for (QCheckBox* box :
             {options->AddRecords(), options->UpdateRecords(), options->DeleteRecords()})
            box->setChecked(c.kinds);
        ClickNext();
        EXPECT_EQ(wizard->CurrentStep(), 7) << c.what;
        ASSERT_EQ(dialogs.messages.size(), 1u) << c.what;
        EXPECT_EQ(dialogs.messages[0].text, c.message) << c.what;
        EXPECT_EQ(dialogs.messages[0].caption, L"Save") << c.what;
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "one.mdb") > 0, true);
}

// Another program that opens a database by another of its names (a hard link) keeps its log,
// shared memory and journal beside that name, and SQLite takes or deletes a file found there: a
// script or report saved under such a name is lost the next time the database is opened so.
TEST_F(WizardRoadTest, TheSaveNameRefusesTheFilesBesideAnotherNameOfADatabase)
{
    std::filesystem::create_hard_link(dir / "two.mdb", dir / "alias.mdb");
    ToChoice();
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    ASSERT_NE(options, nullptr);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        dialogs.messages.clear();
        const std::wstring path = PathOf((std::string("alias.mdb") + suffix).c_str());
        options->OutputFile()->Edit()->setText(QString::fromStdWString(path));
        ClickNext();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(wizard->CurrentStep(), 7) << suffix;
        ASSERT_EQ(dialogs.messages.size(), 1u) << suffix;
        EXPECT_EQ(dialogs.messages[0].text, kNamesDatabaseMessage) << suffix;
        EXPECT_FALSE(std::filesystem::exists(dir / (std::string("alias.mdb") + suffix))) << suffix;
        if (wizard->CurrentStep() != 7)
            return;
    }
}

TEST_F(WizardRoadTest, BrowsingForTheScriptAddsItsExtensionOnlyForTheFirstType)
{
    ToChoice();
    ClickNext();
    auto* options = Current<ScriptOptionsPage>();
    ASSERT_NE(options, nullptr);
    struct Case {
        std::wstring chosen;
        int filter;
        std::wstring expected;
    };
    const std::wstring folder = PathOf("a.b");  // a dot in the folder is not an extension
    for (const Case& c : std::vector<Case>{{folder + L"/script", 0, folder + L"/script.sql"},
                                           {folder + L"/script", 1, folder + L"/script"},
                                           {folder + L"/script.txt", 0, folder + L"/script.txt"}}) {
        dialogs.paths = {c.chosen};
        dialogs.filterIndexes = {c.filter};
        QTest::mouseClick(options->OutputFile()->BrowseButton(), Qt::LeftButton);
        EXPECT_EQ(options->OutputFile()->Path(), c.expected);
    }
    EXPECT_EQ(dialogs.askedFilters.back(),
              (std::vector<ui::FileFilter>{{L"Script Files (*.sql)", L"*.sql"},
                                           {L"All Files (*.*)", L"*.*"}}));
    // A name typed by hand is used as it stands.
    options->OutputFile()->Edit()->setText(QString::fromStdWString(PathOf("typed")));
    ClickNext();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(wizard->CurrentStep(), 9);
    EXPECT_TRUE(std::filesystem::exists(dir / "typed"));
}

TEST_F(WizardRoadTest, ReportPagesCarryTheirTitlesDefaultsAndChecks)
{
    ToChoice();
    struct Case {
        QRadioButton* (ChoicePage::*choice)() const;
        const char* title;
        const wchar_t* extension;
    };
    for (const Case& c : {Case{&ChoicePage::HtmlChoice, "Save HTML report", L".html"},
                          Case{&ChoicePage::ExcelChoice, "Save Excel report", L".xls"}}) {
        (Current<ChoicePage>()->*c.choice)()->setChecked(true);
        ClickNext();
        auto* page = Current<ReportSavePage>();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->Group()->title(), QString::fromLatin1(c.title));
        EXPECT_TRUE(page->FirstOnly()->isChecked());
        EXPECT_TRUE(page->SecondOnly()->isChecked());
        EXPECT_TRUE(page->Modified()->isChecked());
        EXPECT_FALSE(page->Equal()->isChecked());
        dialogs.paths = {PathOf("report")};
        QTest::mouseClick(page->OutputFile()->BrowseButton(), Qt::LeftButton);
        EXPECT_EQ(page->OutputFile()->Path(), PathOf("report") + c.extension);
        for (QCheckBox* box :
             {page->FirstOnly(), page->SecondOnly(), page->Modified(), page->Equal()})
            box->setChecked(false);
        dialogs.messages.clear();
        ClickNext();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, L"Enter a file name and records' type to save");
        EXPECT_EQ(dialogs.messages[0].caption, L"Save");
        ClickBack();
        ASSERT_EQ(wizard->CurrentStep(), 6);
    }
}

TEST_F(WizardRoadTest, ReportPagesRefuseTheFilesSqliteKeepsBesideADatabase)
{
    ToChoice();
    for (QRadioButton* (ChoicePage::*choice)() const :
         {&ChoicePage::HtmlChoice, &ChoicePage::ExcelChoice}) {
        (Current<ChoicePage>()->*choice)()->setChecked(true);
        ClickNext();
        auto* page = Current<ReportSavePage>();
        ASSERT_NE(page, nullptr);
        const int step = wizard->CurrentStep();
        for (const std::wstring& path : {two + L"-wal", one + L"-journal"}) {
            dialogs.messages.clear();
            page->OutputFile()->Edit()->setText(QString::fromStdWString(path));
            ClickNext();
            EXPECT_EQ(wizard->CurrentStep(), step);
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, kNamesDatabaseMessage);
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "one.mdb-journal"));
        ClickBack();
        ASSERT_EQ(wizard->CurrentStep(), 6);
    }
}

TEST_F(WizardRoadTest, EachReportIsWrittenAndItsBranchEndsOnItsMessage)
{
    ToChoice();
    struct Case {
        QRadioButton* (ChoicePage::*choice)() const;
        const char* file;
        int saveStep;
        const char* message;
    };
    for (const Case& c :
         {Case{&ChoicePage::HtmlChoice, "report.html", 15, "The HTML report has been saved"},
          Case{&ChoicePage::ExcelChoice, "report.xls", 19, "The Excel report has been saved"}}) {
        (Current<ChoicePage>()->*c.choice)()->setChecked(true);
        ClickNext();
        auto* page = Current<ReportSavePage>();
        ASSERT_NE(page, nullptr);
        // Only the equal records: a choice the page accepts.
        for (QCheckBox* box : {page->FirstOnly(), page->SecondOnly(), page->Modified()})
            box->setChecked(false);
        page->Equal()->setChecked(true);
        page->OutputFile()->Edit()->setText(QString::fromStdWString(PathOf(c.file)));
        ClickNext();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(wizard->CurrentStep(), c.saveStep + 2)
            << (dialogs.messages.empty() ? "" : automation::ToUtf8(dialogs.messages[0].text));
        EXPECT_EQ(Current<MessagePage>()->Text(), QString::fromLatin1(c.message));
        EXPECT_GT(std::filesystem::file_size(dir / c.file), 0u);
        ClickBack();
        ASSERT_EQ(wizard->CurrentStep(), c.saveStep);
        ClickBack();
        ASSERT_EQ(wizard->CurrentStep(), 6);
    }
}

TEST(SettingsDialogTest, TheOptionIsReadAndWrittenOnlyOnOkAndAFailedWriteIsSaid)
{
    const std::wstring key = L"SOFTWARE\\Corvina";
    AnsweringDialogs dialogs;
    ASSERT_TRUE(ui::WriteRegistryDword(key, L"nulleqemptystr", 0));
    {
        SettingsDialog dialog(dialogs, nullptr);
        EXPECT_FALSE(dialog.NullEqualsEmpty()->isChecked());
        dialog.NullEqualsEmpty()->setChecked(true);
        dialog.reject();
        EXPECT_EQ(ui::ReadRegistryDword(key, L"nulleqemptystr", 7), 0u) << "Cancel wrote";
    }
    {
        SettingsDialog dialog(dialogs, nullptr);
        dialog.NullEqualsEmpty()->setChecked(true);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(ui::ReadRegistryDword(key, L"nulleqemptystr", 7), 1u);
    }
    {
        SettingsDialog dialog(dialogs, nullptr);
        EXPECT_TRUE(dialog.NullEqualsEmpty()->isChecked());
    }
    // The settings file cannot be written: the dialog says so and stays open.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const std::filesystem::path folder = config.toStdString() + "/Corvina";
    std::filesystem::remove_all(folder);
    { std::ofstream blocker(folder); }  // a file where the folder must be
    {
        SettingsDialog dialog(dialogs, nullptr);
        dialog.show();
        dialog.NullEqualsEmpty()->setChecked(false);
        dialog.accept();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, L"Can't save the setting.");
        EXPECT_TRUE(dialog.isVisible());
    }
    std::filesystem::remove(folder);
}

TEST(AboutDialogTest, ShowsTheNameVersionAndBothLinks)
{
    AboutDialog about(nullptr);
    EXPECT_TRUE(about.NameText()->text().startsWith(QStringLiteral("Corvina 2.1\n\n")));
    EXPECT_TRUE(about.SiteLink()->text().contains(QLatin1String(AboutDialog::kWebAddress)));
    EXPECT_TRUE(about.EngineLink()->text().contains(QLatin1String(AboutDialog::kEngineAddress)));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
}

}  // namespace
}  // namespace wizardtest
