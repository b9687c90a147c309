// The script runner's window, driven through its commands with every question answered by a
// stand-in, so nothing blocks and no display is needed.
#include "crvconsole/main_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "crvconsole/about_dlg.h"
#include "crvconsole/edit_oea.h"
#include "crvconsole/open_file_dlg.h"
#include "database/db_connection.h"
#include "encoded_script.h"
#include "platform/provider/provider_classes.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"
#include "platform/ui/registry_settings.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using ui::FileFilter;

struct Box {
    std::wstring text;
    std::wstring caption;
    unsigned type;
};

class FakeDialogs : public ui::FrameDialogs {
public:
    int MessageBox(QWidget*, const std::wstring& text, const std::wstring& caption,
                   unsigned type) override
    {
        boxes.push_back({text, caption, type});
        if (answers.empty())
            return ui::IDOK;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool GetOpenFileName(QWidget*, const std::vector<FileFilter>& filters,
                         std::wstring& path) override
    {
        askedFilters.push_back(filters);
        if (!answerPath)
            return false;
        path = *answerPath;
        return true;
    }
    bool GetSaveFileName(QWidget*, const std::vector<FileFilter>& filters, std::wstring& path,
                         int& filterIndex) override
    {
        askedFilters.push_back(filters);
        if (!answerPath)
            return false;
        path = *answerPath;
        filterIndex = answerFilter;
        return true;
    }
    int RunModal(QDialog& dialog) override { return modal ? modal(dialog) : QDialog::Rejected; }

    std::vector<Box> boxes;
    std::deque<int> answers;  // the buttons pressed in the coming boxes; then OK
    std::vector<std::vector<FileFilter>> askedFilters;
    std::optional<std::wstring> answerPath;
    int answerFilter = 0;
    std::function<int(QDialog&)> modal;
};

// The text of the one message box shown, after checking its caption and type.
std::wstring OnlyBoxText(const FakeDialogs& dialogs, const std::wstring& caption, unsigned type)
{
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    if (dialogs.boxes.size() != 1)
        return {};
    EXPECT_EQ(dialogs.boxes[0].caption, caption);
    EXPECT_EQ(dialogs.boxes[0].type, type);
    return dialogs.boxes[0].text;
}

class MainFrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        DbConnection::SetProgram(DbConnection::Program::ScriptRunner);
        ui::WriteRegistryDword(L"SOFTWARE\\CrvConsole", L"stoponerror", 1);
    }

    FakeDialogs dialogs;
    testsupport::TempDir dir;
};

std::string ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The texts of a menu's items, "-" for a separator, each with its command id.
std::vector<std::pair<QString, int>> ItemsOf(QMenu* menu)
{
    std::vector<std::pair<QString, int>> items;
    for (QAction* action : menu->actions())
        items.emplace_back(action->isSeparator() ? QStringLiteral("-") : action->text(),
                           action->isSeparator() ? 0 : action->data().toInt());
    return items;
}

TEST_F(MainFrameTest, MenusHoldEveryCommandInOrder)
{
    CMainFrame frame(dialogs);
    const std::vector<std::pair<QString, std::vector<std::pair<QString, int>>>> expected = {
        {"&File",
         {{"&Open MDB", 57601},
          {"Ope&n script", 32776},
          {"&Save script", 57603},
          {"Save script &As...", 57604},
          {"Create MDB", 32779},
          {"-", 0},
          {"&Run", 32773},
          {"-", 0},
          {"E&xit", 57665}}},
        {"&Edit",
         {{"&Undo", 57643}, {"-", 0}, {"Cu&t", 57635}, {"&Copy", 57634}, {"&Paste", 57637}}},
        {"&View", {{"&Toolbar", 59392}, {"&Status Bar", 59393}}},
        {"Options", {{"Stop on Error", 32780}}},
        {"&Help", {{"&About", 57664}}},
    };
    const QList<QAction*> menus = frame.menuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first.toStdString());
        EXPECT_EQ(menus[i]->text(), expected[i].first);
        ASSERT_NE(menus[i]->menu(), nullptr);
        EXPECT_EQ(ItemsOf(menus[i]->menu()), expected[i].second);
    }
}

TEST_F(MainFrameTest, CommandsHaveTheirKeysAndPrompts)
{
    CMainFrame frame(dialogs);
    // Prompts are checked where the window has its own; the others are the usual frame texts.
    const struct {
        int id;
        QKeySequence key;
        const char* statusTip;
        const char* toolTip;
    } cases[] = {
        {57601, QKeySequence("Ctrl+O"), "Open an existing database", "Database"},
        {32776, QKeySequence("Ctrl+N"), "Open an existing sql script", "SQL script"},
        {57603, QKeySequence("Ctrl+S"), "Save the active sql script", "Save"},
        {32773, QKeySequence("Ctrl+R"), "Run the current sql script", "Run"},
        {57604, QKeySequence(), nullptr, nullptr},
        {32779, QKeySequence(), nullptr, nullptr},
        {57665, QKeySequence(), nullptr, nullptr},
        {57643, QKeySequence("Ctrl+Z"), nullptr, nullptr},
        {57635, QKeySequence("Ctrl+X"), nullptr, nullptr},
        {57634, QKeySequence("Ctrl+C"), nullptr, nullptr},
        {57637, QKeySequence("Ctrl+V"), nullptr, nullptr},
        {59392, QKeySequence(), nullptr, nullptr},
        {59393, QKeySequence(), nullptr, nullptr},
        {32780, QKeySequence(), nullptr, nullptr},
        {57664, QKeySequence(), nullptr, nullptr},
        {57680, QKeySequence("F6"), nullptr, nullptr},
        {57681, QKeySequence("Shift+F6"), nullptr, nullptr},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.id);
        QAction* action = frame.Action(test.id);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), test.key);
        if (test.statusTip) {
            EXPECT_EQ(action->statusTip(), QString::fromLatin1(test.statusTip));
            EXPECT_EQ(action->toolTip(), QString::fromLatin1(test.toolTip));
        }
    }
    // The edit keys stay with the focused pane: they never act as window-wide shortcuts.
    for (int id : {57643, 57635, 57634, 57637})
        EXPECT_EQ(frame.Action(id)->shortcutContext(), Qt::WidgetShortcut) << id;
    EXPECT_EQ(frame.Action(57600), nullptr);
    frame.OnCommand(57600);  // handled and ignored
}

TEST_F(MainFrameTest, ToolbarHasTheLargeButtons)
{
    CMainFrame frame(dialogs);
    std::vector<int> ids;
    for (QAction* action : frame.ToolBar()->actions())
        ids.push_back(action->data().toInt());
    EXPECT_EQ(ids, (std::vector<int>{57601, 32776, 32773}));
    EXPECT_EQ(frame.ToolBar()->iconSize(), QSize(32, 32));
    EXPECT_EQ(frame.StatusPaneText(), "Ready");
}

TEST_F(MainFrameTest, CtrlASelectsTheWholeTextOfEitherPane)
{
    CMainFrame frame(dialogs);
    for (CEditOEA* pane : {frame.Editor(), frame.Output()}) {
        pane->setPlainText("first line\nsecond line");
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
        QApplication::sendEvent(pane, &press);
        EXPECT_EQ(pane->textCursor().selectedText(), QString("first line\u2029second line"));
    }
}

TEST_F(MainFrameTest, StopOnErrorFollowsAndUpdatesTheSettings)
{
    ui::WriteRegistryDword(L"SOFTWARE\\CrvConsole", L"stoponerror", 0);
    {
        CMainFrame frame(dialogs);
        EXPECT_FALSE(frame.Action(command::kStopOnError)->isChecked());
        frame.Action(command::kStopOnError)->trigger();
        EXPECT_TRUE(frame.Action(command::kStopOnError)->isChecked());
        EXPECT_EQ(ui::ReadRegistryDword(L"SOFTWARE\\CrvConsole", L"stoponerror", 99), 1u);
        frame.OnCommand(command::kStopOnError);
        EXPECT_FALSE(frame.Action(command::kStopOnError)->isChecked());
        EXPECT_EQ(ui::ReadRegistryDword(L"SOFTWARE\\CrvConsole", L"stoponerror", 99), 0u);
    }
    CMainFrame next(dialogs);
    EXPECT_FALSE(next.Action(command::kStopOnError)->isChecked());
}

TEST_F(MainFrameTest, ViewCommandsToggleToolbarAndStatusBar)
{
    CMainFrame frame(dialogs);
    frame.show();
    for (int round = 0; round < 2; ++round) {
        const bool shown = round == 1;
        frame.OnCommand(command::kViewToolbar);
        EXPECT_EQ(frame.ToolBar()->isVisible(), shown);
        EXPECT_EQ(frame.Action(command::kViewToolbar)->isChecked(), shown);
        frame.Action(command::kViewStatusBar)->trigger();
        EXPECT_EQ(frame.statusBar()->isVisible(), shown);
        EXPECT_EQ(frame.Action(command::kViewStatusBar)->isChecked(), shown);
    }
}

TEST_F(MainFrameTest, OpenDatabaseDialogShowsAndStoresTheSettings)
{
    CMainFrame frame(dialogs);
    const int fields[] = {COpenFileDlg::kDatabaseName, COpenFileDlg::kSystemDatabase,
                          COpenFileDlg::kDatabasePassword, COpenFileDlg::kUserName,
                          COpenFileDlg::kUserPassword};
    const QString values[] = {"/data/Kunden ä.mdb", "/data/system.mdw", "pw1", "admin", "pw2"};
    dialogs.modal = [&](QDialog& dialog) {
        auto& open = dynamic_cast<COpenFileDlg&>(dialog);
        EXPECT_EQ(open.windowTitle(), "Open database");
        for (int id : fields)
            EXPECT_EQ(open.Field(id)->text(), "") << id;
        EXPECT_EQ(open.Field(COpenFileDlg::kDatabasePassword)->echoMode(), QLineEdit::Password);
        EXPECT_EQ(open.Field(COpenFileDlg::kUserPassword)->echoMode(), QLineEdit::Password);
        EXPECT_EQ(open.Field(COpenFileDlg::kUserName)->echoMode(), QLineEdit::Normal);
        for (size_t i = 0; i < std::size(fields); ++i)
            open.Field(fields[i])->setText(values[i]);
        open.accept();
        return open.result();
    };
    frame.OnCommand(command::kOpenMdb);
    EXPECT_EQ(frame.Settings().path, L"/data/Kunden ä.mdb");
    EXPECT_EQ(frame.Settings().systemDatabase, L"/data/system.mdw");
    EXPECT_EQ(frame.Settings().databasePassword, L"pw1");
    EXPECT_EQ(frame.Settings().userName, L"admin");
    EXPECT_EQ(frame.Settings().userPassword, L"pw2");
    EXPECT_EQ(frame.StatusPaneText(), "/data/Kunden ä.mdb");

    // Opened again: the fields show the settings; Cancel keeps them.
    dialogs.modal = [&](QDialog& dialog) {
        auto& open = dynamic_cast<COpenFileDlg&>(dialog);
        for (size_t i = 0; i < std::size(fields); ++i)
            EXPECT_EQ(open.Field(fields[i])->text(), values[i]) << fields[i];
        open.Field(COpenFileDlg::kDatabaseName)->setText("/elsewhere.mdb");
        open.reject();
        return open.result();
    };
    frame.OnCommand(command::kOpenMdb);
    EXPECT_EQ(frame.Settings().path, L"/data/Kunden ä.mdb");
    EXPECT_EQ(frame.StatusPaneText(), "/data/Kunden ä.mdb");
}

TEST_F(MainFrameTest, BrowseButtonsFillTheirFieldsWithTheChosenFile)
{
    ConnectionSettings settings;
    COpenFileDlg dialog(settings, dialogs);
    const struct {
        int button;
        int field;
        std::vector<FileFilter> filters;
    } cases[] = {
        {COpenFileDlg::kBrowseDatabase,
         COpenFileDlg::kDatabaseName,
         {{L"Microsoft Access Databases (*.mdb;*.accdb)", L"*.mdb;*.accdb"},
          {L"All Files (*.*)", L"*.*"}}},
        {COpenFileDlg::kBrowseSystemDatabase,
         COpenFileDlg::kSystemDatabase,
         {{L"Access Files (*.mdw)", L"*.mdw"}, {L"All Files (*.*)", L"*.*"}}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.button);
        dialogs.askedFilters.clear();
        dialogs.answerPath = L"/chosen/" + std::to_wstring(test.button);
        dialog.BrowseButton(test.button)->click();
        ASSERT_EQ(dialogs.askedFilters.size(), 1u);
        EXPECT_EQ(dialogs.askedFilters[0], test.filters);
        EXPECT_EQ(dialog.Field(test.field)->text().toStdWString(), *dialogs.answerPath);
    }
}

TEST_F(MainFrameTest, RunWithoutDatabaseAsksForOne)
{
    CMainFrame frame(dialogs);
    frame.Editor()->setPlainText("CREATE TABLE t (id LONG);");
    frame.Output()->setPlainText("earlier output");
    frame.OnCommand(command::kRun);
    EXPECT_EQ(OnlyBoxText(dialogs, L"Can't open mdb file", ui::MB_OK), L"Choose a database file");
    EXPECT_EQ(frame.Output()->toPlainText(), "earlier output");
}

TEST_F(MainFrameTest, FailedCreationKeepsTheCurrentDatabase)
{
    CMainFrame frame(dialogs);
    dialogs.answerPath = (dir / "no such folder" / "new.mdb").wstring();
    dialogs.answerFilter = 0;
    frame.OnCommand(command::kCreateMdb);
    ASSERT_EQ(dialogs.askedFilters.size(), 1u);
    EXPECT_EQ(dialogs.askedFilters[0],
              (std::vector<FileFilter>{{L"Create MDB file (*.mdb)", L"*.mdb"},
                                       {L"Create ACCDB file (*.accdb)", L"*.accdb"},
                                       {L"All Files (*.*)", L"*.*"}}));
    // The box opens with the provider's text, not with an empty line.
    EXPECT_EQ(OnlyBoxText(dialogs, L"Can't save", ui::MB_ICONERROR).rfind(L"Error: ", 0), 0u);
    EXPECT_EQ(frame.Settings().path, L"");
    EXPECT_EQ(frame.StatusPaneText(), "Ready");
}

// Tables of a database, as a script sees them.
QString TablesOf(CMainFrame& frame)
{
    frame.Editor()->setPlainText("SELECT * FROM old;");
    frame.Editor()->document()->setModified(false);
    frame.OnCommand(command::kRun);
    return frame.Output()->toPlainText();
}

TEST_F(MainFrameTest, CreateOverAnExistingFileReplacesItOnceTheUserAgreed)
{
    const fs::path existing = dir / "taken.mdb";
    {
        CMainFrame maker(dialogs);
        dialogs.answerPath = existing.wstring();
        maker.OnCommand(command::kCreateMdb);
        maker.Editor()->setPlainText("CREATE TABLE old (id LONG);");
        maker.OnCommand(command::kRun);
        ASSERT_TRUE(TablesOf(maker).endsWith("Command(s) completed successfully."));
    }
    // The file dialog has asked about the very name chosen: the old database goes.
    CMainFrame frame(dialogs);
    dialogs.answerPath = existing.wstring();
    frame.OnCommand(command::kCreateMdb);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(frame.Settings().path, existing.wstring());
    EXPECT_TRUE(TablesOf(frame).contains("\nError: ")) << TablesOf(frame).toStdString();

    // A name that gets its extension only after the dialog is asked about here.
    const struct {
        int answer;
        bool replaced;
    } cases[] = {{ui::IDNO, false}, {ui::IDYES, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.answer);
        std::ofstream(dir / "typed.accdb", std::ios::binary) << "keep me";
        dialogs.boxes.clear();
        dialogs.answers = {test.answer};
        dialogs.answerPath = (dir / "typed").wstring();
        dialogs.answerFilter = 1;
        CMainFrame other(dialogs);
        other.OnCommand(command::kCreateMdb);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text,
                  L"typed.accdb already exists.\nDo you want to replace it?");
        EXPECT_EQ(dialogs.boxes[0].caption, L"Confirm Save As");
        EXPECT_EQ(ReadBytes(dir / "typed.accdb") == "keep me", !test.replaced);
        EXPECT_EQ(other.Settings().path.empty(), !test.replaced);
        EXPECT_FALSE(fs::exists(dir / "typed"));
    }
}

TEST_F(MainFrameTest, ScriptThatCannotBeOpenedIsReported)
{
    CMainFrame frame(dialogs);
    frame.Editor()->setPlainText("kept");
    dialogs.answerPath = (dir / "missing.sql").wstring();
    frame.OnCommand(command::kOpenScript);
    ASSERT_EQ(dialogs.askedFilters.size(), 1u);
    EXPECT_EQ(dialogs.askedFilters[0], (std::vector<FileFilter>{{L"Script Files (*.sql)", L"*.sql"},
                                                                {L"All Files (*.*)", L"*.*"}}));
    EXPECT_EQ(OnlyBoxText(dialogs, L"Error", ui::MB_ICONERROR), L"Can't open file");
    EXPECT_EQ(frame.Editor()->toPlainText(), "kept");
}

TEST_F(MainFrameTest, FailedOpenKeepsTheScriptTheTextBelongsTo)
{
    const fs::path script = dir / "kept.sql";
    std::ofstream(script, std::ios::binary) << "\xEF\xBB\xBFSELECT 1;\r\n";
    std::ofstream(dir / "empty.sql", std::ios::binary) << "";
    CMainFrame frame(dialogs);
    dialogs.answerPath = script.wstring();
    frame.OnCommand(command::kOpenScript);
    frame.Editor()->setPlainText("SELECT 2;");
    dialogs.answerPath = (dir / "empty.sql").wstring();
    frame.OnCommand(command::kOpenScript);  // "Can't read file"
    EXPECT_EQ(OnlyBoxText(dialogs, L"Error", ui::MB_ICONERROR), L"Can't open file");

    frame.OnCommand(command::kSaveScript);
    EXPECT_EQ(ReadBytes(script), "\xEF\xBB\xBFSELECT 2;");
    EXPECT_EQ(ReadBytes(dir / "empty.sql"), "");
}

TEST_F(MainFrameTest, AboutShowsNameVersionAndAddress)
{
    CMainFrame frame(dialogs);
    bool shown = false;
    dialogs.modal = [&](QDialog& dialog) {
        auto& about = dynamic_cast<CAboutDlg&>(dialog);
        EXPECT_EQ(about.windowTitle(), "About");
        EXPECT_TRUE(about.TextLabel()->text().startsWith("CrvConsole 2.2\n"));
        EXPECT_TRUE(about.Hyperlink()->openExternalLinks());
        shown = true;
        return QDialog::Accepted;
    };
    frame.OnCommand(command::kAbout);
    EXPECT_TRUE(shown);
}

// ---- Commands that run scripts ----

TEST_F(MainFrameTest, CreateThenRunShowsEchoAndSuccess)
{
    CMainFrame frame(dialogs);
    dialogs.answerPath = (dir / "new").wstring();
    dialogs.answerFilter = 1;
    frame.OnCommand(command::kCreateMdb);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(frame.Settings().path, (dir / "new.accdb").wstring());
    EXPECT_TRUE(fs::exists(dir / "new.accdb"));
    EXPECT_EQ(frame.StatusPaneText().toStdWString(), (dir / "new.accdb").wstring());

    frame.Editor()->setPlainText("CREATE TABLE t (id LONG);\nINSERT INTO t VALUES (1);\n");
    frame.OnCommand(command::kRun);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(frame.Output()->toPlainText(),
              "1\tCREATE TABLE t (id LONG)\n2\tINSERT INTO t VALUES (1)\n"
              "Command(s) completed successfully.");
}

TEST_F(MainFrameTest, StoredStopOnErrorOffLetsTheRunGoOn)
{
    const struct {
        uint32_t stored;
        bool thirdRuns;
    } cases[] = {{1, false}, {0, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.stored);
        ui::WriteRegistryDword(L"SOFTWARE\\CrvConsole", L"stoponerror", test.stored);
        CMainFrame frame(dialogs);
        const fs::path database = dir / ("db" + std::to_string(test.stored) + ".mdb");
        dialogs.answerPath = database.wstring();
        frame.OnCommand(command::kCreateMdb);
        frame.Editor()->setPlainText(
            "CREATE TABLE t (id LONG);\nINSERT INTO missing VALUES (1);\n"
            "INSERT INTO t VALUES (3);");
        frame.OnCommand(command::kRun);
        const QString output = frame.Output()->toPlainText();
        EXPECT_TRUE(
            output.startsWith("1\tCREATE TABLE t (id LONG)\n2\tINSERT INTO missing VALUES (1)\n"
                              "\nError: "))
            << output.toStdString();
        EXPECT_EQ(output.contains("3\tINSERT INTO t VALUES (3)"), test.thirdRuns);
    }
}

TEST_F(MainFrameTest, SaveAsAppendsTheScriptExtensionOnlyWhenNeeded)
{
    const struct {
        const char* typed;
        int filter;
        const char* saved;
    } cases[] = {
        {"plain", 0, "plain.sql"},
        {"with.dot", 0, "with.dot"},
        {"other", 1, "other"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.typed);
        CMainFrame frame(dialogs);
        frame.Editor()->setPlainText("SELECT 1;\nSELECT 2;");
        dialogs.answerPath = (dir / test.typed).wstring();
        dialogs.answerFilter = test.filter;
        frame.OnCommand(command::kSaveScript);  // untitled: as Save As
        EXPECT_TRUE(dialogs.boxes.empty());
        // A new script is ANSI text with CR LF line ends.
        EXPECT_EQ(ReadBytes(dir / test.saved), "SELECT 1;\r\nSELECT 2;");
    }
}

TEST_F(MainFrameTest, TextThatAnsiCannotHoldIsSavedAsUtf8AndTheUserIsTold)
{
    using testsupport::ScriptEncoding;
    const std::string utf8Mark = "\xEF\xBB\xBF";
    const fs::path loaded = dir / "loaded.sql";
    std::ofstream(loaded, std::ios::binary) << "SELECT 'K\xF6ln';\r\n";
    const struct {
        const char* name;
        bool untitled;
    } cases[] = {{"new script, Save", true}, {"ANSI script, Save", false}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        dialogs.boxes.clear();
        CMainFrame frame(dialogs);
        const fs::path path = test.untitled ? dir / "new.sql" : loaded;
        dialogs.answerPath = path.wstring();
        if (!test.untitled)
            frame.OnCommand(command::kOpenScript);
        frame.Editor()->moveCursor(QTextCursor::End);
        frame.Editor()->insertPlainText(QString::fromUtf8("SELECT 'Жук';"));  // typed
        frame.Action(command::kSaveScript)->trigger();
        EXPECT_TRUE(dialogs.boxes.empty());
        const std::string expected = test.untitled ? utf8Mark + "SELECT '\xD0\x96\xD1\x83\xD0\xBA';"
                                                   : utf8Mark +
                                                         "SELECT 'K\xC3\xB6ln';\r\nSELECT "
                                                         "'\xD0\x96\xD1\x83\xD0\xBA';";
        EXPECT_EQ(ReadBytes(path), expected);
        EXPECT_TRUE(frame.statusBar()->currentMessage().startsWith("Saved as UTF-8"))
            << frame.statusBar()->currentMessage().toStdString();

        // It reads back as the same text, and stays UTF-8 when saved again.
        CMainFrame reopened(dialogs);
        dialogs.answerPath = path.wstring();
        reopened.OnCommand(command::kOpenScript);
        const QString text = reopened.Editor()->toPlainText();
        EXPECT_TRUE(text.endsWith(QString::fromUtf8("SELECT 'Жук';"))) << text.toStdString();
        reopened.Editor()->setPlainText("SELECT 1;");
        reopened.OnCommand(command::kSaveScript);
        EXPECT_EQ(ReadBytes(path), utf8Mark + "SELECT 1;");
        EXPECT_TRUE(reopened.statusBar()->currentMessage().isEmpty());
    }
}

TEST_F(MainFrameTest, ScriptOpenedThroughALinkIsSavedIntoTheFileEveryNameShows)
{
    const fs::path real = dir / "real.sql";
    const fs::path symbolic = dir / "symbolic.sql";
    const fs::path hard = dir / "hard.sql";
    std::ofstream(real, std::ios::binary) << "SELECT 1;";
    fs::create_symlink("real.sql", symbolic);
    fs::create_hard_link(real, hard);
    const struct {
        const char* opened;
        const char* added;
    } cases[] = {{"symbolic.sql", "-- one "}, {"hard.sql", "-- two "}};
    std::string expected = "SELECT 1;";
    for (const auto& test : cases) {
        SCOPED_TRACE(test.opened);
        CMainFrame frame(dialogs);
        dialogs.answerPath = (dir / test.opened).wstring();
        frame.OnCommand(command::kOpenScript);
        QTest::keyClicks(frame.Editor(), test.added);
        frame.Action(command::kSaveScript)->trigger();
        EXPECT_TRUE(dialogs.boxes.empty());
        expected = test.added + expected;
        for (const fs::path& name : {real, symbolic, hard})
            EXPECT_EQ(ReadBytes(name), expected) << name;
        EXPECT_TRUE(fs::is_symlink(symbolic));
        EXPECT_EQ(fs::hard_link_count(real), 2u);
    }
}

// ---- Edits that are not saved ----

TEST_F(MainFrameTest, EditedScriptIsOfferedForSavingBeforeItsTextGoes)
{
    const fs::path script = dir / "edited.sql";
    const fs::path other = dir / "other.sql";
    std::ofstream(other, std::ios::binary) << "SELECT 'other';";
    const struct {
        const char* way;
        std::function<void(CMainFrame&)> leave;
        bool closes;  // else it replaces the text
    } ways[] = {
        {"File, Exit", [](CMainFrame& f) { f.Action(command::kExit)->trigger(); }, true},
        {"close box", [](CMainFrame& f) { f.close(); }, true},
        {"Open script", [](CMainFrame& f) { f.Action(command::kOpenScript)->trigger(); }, false},
    };
    const struct {
        int answer;
        bool saved;
        bool goesOn;
    } answers[] = {{ui::IDCANCEL, false, false}, {ui::IDNO, false, true}, {ui::IDYES, true, true}};
    for (const auto& way : ways) {
        for (const auto& answer : answers) {
            SCOPED_TRACE(std::string(way.way) + " / " + std::to_string(answer.answer));
            std::ofstream(script, std::ios::binary) << "SELECT 1;";
            dialogs.boxes.clear();
            CMainFrame frame(dialogs);
            frame.show();
            dialogs.answerPath = script.wstring();
            frame.OnCommand(command::kOpenScript);
            EXPECT_TRUE(dialogs.boxes.empty());  // nothing was edited yet
            QTest::keyClicks(frame.Editor(), "-- edited ");
            dialogs.answerPath = other.wstring();
            dialogs.answers = {answer.answer};
            way.leave(frame);

            ASSERT_EQ(dialogs.boxes.size(), 1u);
            EXPECT_EQ(dialogs.boxes[0].text, L"Save changes to " + script.wstring() + L"?");
            EXPECT_EQ(dialogs.boxes[0].caption, L"CrvConsole");
            EXPECT_EQ(dialogs.boxes[0].type, ui::MB_YESNOCANCEL | ui::MB_ICONWARNING);
            EXPECT_EQ(ReadBytes(script), answer.saved ? "-- edited SELECT 1;" : "SELECT 1;");
            if (way.closes) {
                EXPECT_EQ(frame.isVisible(), !answer.goesOn);
            } else {
                EXPECT_EQ(frame.Editor()->toPlainText(),
                          answer.goesOn ? "SELECT 'other';" : "-- edited SELECT 1;");
            }
        }
    }
}

TEST_F(MainFrameTest, OnlyATextThatChangedSinceItWasSavedIsOffered)
{
    CMainFrame frame(dialogs);
    frame.show();
    QTest::keyClicks(frame.Editor(), "SELECT 1;");
    // A new script: Yes goes through Save As, and cancelling that keeps the window.
    dialogs.answers = {ui::IDYES};
    frame.close();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, L"Save changes to the new script?");
    EXPECT_TRUE(frame.isVisible());
    // A failed save keeps the window and says why.
    dialogs.boxes.clear();
    dialogs.answers = {ui::IDYES};
    dialogs.answerPath = (dir / "missing" / "new.sql").wstring();
    frame.close();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].caption, L"Error");
    EXPECT_EQ(dialogs.boxes[1].text.rfind(L"Can't save file\n", 0), 0u)
        << dialogs.boxes[1].text.size();
    EXPECT_GT(dialogs.boxes[1].text.size(), std::wstring(L"Can't save file\n").size());
    EXPECT_TRUE(frame.isVisible());

    // Saved: nothing to ask; an edit undone back to the saved text asks nothing either.
    dialogs.answerPath = (dir / "saved.sql").wstring();
    frame.OnCommand(command::kSaveScript);
    QTest::keyClicks(frame.Editor(), "x");
    frame.Editor()->undo();
    dialogs.boxes.clear();
    frame.close();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(MainFrameTest, ScriptKeepsItsEncodingWhenSavedAgain)
{
    using testsupport::ScriptEncoding;
    const struct {
        const char* name;
        ScriptEncoding encoding;
        std::string mark;
    } cases[] = {{"utf8", ScriptEncoding::Utf8, "\xEF\xBB\xBF"},
                 {"utf16", ScriptEncoding::Utf16, "\xFF\xFE"},
                 {"ansi", ScriptEncoding::Ansi, ""}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const fs::path path = dir / (std::string(test.name) + ".sql");
        std::ofstream(path, std::ios::binary)
            << testsupport::EncodeScript("SELECT 'K\xF6ln';\r\n", test.encoding);

        CMainFrame frame(dialogs);
        dialogs.answerPath = path.wstring();
        frame.OnCommand(command::kOpenScript);
        EXPECT_EQ(frame.Editor()->toPlainText(), QString::fromUtf8("SELECT 'Köln';\n"));
        frame.Editor()->moveCursor(QTextCursor::End);
        frame.Editor()->insertPlainText(QString::fromUtf8("SELECT 'é';"));
        frame.OnCommand(command::kSaveScript);
        EXPECT_TRUE(dialogs.boxes.empty());
        EXPECT_EQ(ReadBytes(path),
                  testsupport::EncodeScript("SELECT 'K\xF6ln';\r\nSELECT '\xE9';", test.encoding));

        CMainFrame reopened(dialogs);
        reopened.OnCommand(command::kOpenScript);
        EXPECT_EQ(reopened.Editor()->toPlainText(),
                  QString::fromUtf8("SELECT 'Köln';\nSELECT 'é';"));
    }
}

TEST(FrameDialogsTest, FileTypesReachQtWithEveryPattern)
{
    const struct {
        FileFilter filter;
        const char* qt;
    } cases[] = {
        {{L"Script Files (*.sql)", L"*.sql"}, "Script Files (*.sql)"},
        {{L"All Files (*.*)", L"*.*"}, "All Files (*.*)"},
        {{L"Microsoft Access Databases (*.mdb;*.accdb)", L"*.mdb;*.accdb"},
         "Microsoft Access Databases (*.mdb *.accdb)"},
        {{L"Access Files (*.mdw)", L"*.mdw"}, "Access Files (*.mdw)"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(ui::QtNameFilters({test.filter}), QStringList{QString(test.qt)});
    }
}

// ---- Pictures of the window and its dialogs, to look at ----

TEST_F(MainFrameTest, GrabsWindowAndDialogsForInspection)
{
    const fs::path shots = testsupport::BinaryDir() / "screenshots";
    fs::create_directories(shots);
    CMainFrame frame(dialogs);
    frame.resize(800, 600);
    dialogs.answerPath = (dir / "Customers").wstring();
    frame.OnCommand(command::kCreateMdb);
    frame.Editor()->setPlainText(
        "CREATE TABLE Customers (ID LONG PRIMARY KEY, Name TEXT(50), City TEXT(50));\n"
        "INSERT INTO Customers VALUES (1, 'Müller & Söhne', 'Köln');\n"
        "INSERT INTO Customers VALUES (2, 'Ørsted', 'Aarhus');\n"
        "UPDATE Customers SET City = 'Bonn' WHERE ID = 1;\n");
    frame.OnCommand(command::kRun);
    EXPECT_TRUE(frame.Output()->toPlainText().endsWith("Command(s) completed successfully."));
    frame.show();
    QApplication::processEvents();
    EXPECT_TRUE(
        frame.grab().save(QString::fromStdString((shots / "crvconsole_main.png").string())));
    QMenu* file = frame.menuBar()->actions().front()->menu();
    file->popup(frame.mapToGlobal(QPoint(0, 20)));
    QApplication::processEvents();
    EXPECT_TRUE(
        file->grab().save(QString::fromStdString((shots / "crvconsole_file_menu.png").string())));
    file->hide();

    ConnectionSettings settings;
    settings.Assign(L"/home/user/Northwind.mdb", L"", L"secret", L"", L"");
    COpenFileDlg open(settings, dialogs);
    open.show();
    QApplication::processEvents();
    EXPECT_TRUE(open.grab().save(QString::fromStdString((shots / "crvconsole_open.png").string())));

    // The usage text as the "Help" box shows it where a display is.
    const auto help = ui::MakeMessageBox(
        nullptr,
        L"Usage: CrvConsole <sql file> <mdb file> [key1] [key2] [...]\r\n/c - create the empty "
        L"mdb file\r\n/o - delete the old mdb file\r\n/ie - ignore errors",
        L"Help", ui::MB_ICONINFORMATION);
    help->show();
    QApplication::processEvents();
    EXPECT_TRUE(
        help->grab().save(QString::fromStdString((shots / "crvconsole_help.png").string())));

    CAboutDlg about;
    about.show();
    QApplication::processEvents();
    EXPECT_TRUE(
        about.grab().save(QString::fromStdString((shots / "crvconsole_about.png").string())));
}

}  // namespace
