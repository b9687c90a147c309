#include "crvconsole/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "crvconsole/about_dlg.h"
#include "crvconsole/command_line.h"
#include "crvconsole/edit_oea.h"
#include "crvconsole/open_file_dlg.h"
#include "crvconsole/program_icon.h"
#include "crvconsole/script_engine.h"
#include "platform/ui/message_box.h"

namespace {

const std::vector<ui::FileFilter> kScriptFilters = {
    {L"Script Files (*.sql)", L"*.sql"},
    {L"All Files (*.*)", L"*.*"},
};

const std::vector<ui::FileFilter> kDatabaseFilters = {
    {L"Create MDB file (*.mdb)", L"*.mdb"},
    {L"Create ACCDB file (*.accdb)", L"*.accdb"},
    {L"All Files (*.*)", L"*.*"},
};

// Restores the cursor on every way out of a long command.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The editor keeps LF line ends; script files and the executor's output use CR LF.
QString ForDisplay(const std::wstring& text)
{
    QString shown = QString::fromStdWString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// Appends `extension` when the chosen name has no "." of its own.
std::wstring WithDefaultExtension(const std::wstring& path, const wchar_t* extension)
{
    if (QFileInfo(QString::fromStdWString(path)).fileName().contains(QLatin1Char('.')))
        return path;
    return path + extension;
}

}  // namespace

CMainFrame::CMainFrame(ui::FrameDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), script_(std::make_unique<SQLExecutor::ScriptHelper>())
{
    setWindowTitle(QStringLiteral("CrvConsole"));
    setWindowIcon(DatabaseIcon());
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreatePanes();
    actions_.at(command::kStopOnError)->setChecked(options_.GetOptions().stopOnError);
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(int id, const QString& text, const QString& prompt)
{
    auto* action = new QAction(text, this);
    action->setData(id);
    if (!prompt.isEmpty()) {
        // A prompt is "status-bar text\ntool tip".
        const qsizetype newline = prompt.indexOf(QLatin1Char('\n'));
        action->setStatusTip(prompt.left(newline));
        if (newline >= 0)
            action->setToolTip(prompt.mid(newline + 1));
    }
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
    return action;
}

void CMainFrame::CreateMenus()
{
    QStyle* look = style();
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* openMdb = AddCommand(command::kOpenMdb, QStringLiteral("&Open MDB"),
                                  QStringLiteral("Open an existing database\nDatabase"));
    openMdb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    openMdb->setIcon(DatabaseIcon());
    file->addAction(openMdb);
    QAction* openScript = AddCommand(command::kOpenScript, QStringLiteral("Ope&n script"),
                                     QStringLiteral("Open an existing sql script\nSQL script"));
    openScript->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    openScript->setIcon(look->standardIcon(QStyle::SP_DialogOpenButton));
    openScript->setIconVisibleInMenu(false);  // a toolbar picture only
    file->addAction(openScript);
    QAction* save = AddCommand(command::kSaveScript, QStringLiteral("&Save script"),
                               QStringLiteral("Save the active sql script\nSave"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    save->setIcon(look->standardIcon(QStyle::SP_DialogSaveButton));
    file->addAction(save);
    file->addAction(
        AddCommand(command::kSaveScriptAs, QStringLiteral("Save script &As..."),
                   QStringLiteral("Save the active document with a new name\nSave As")));
    file->addAction(AddCommand(command::kCreateMdb, QStringLiteral("Create MDB")));
    file->addSeparator();
    QAction* run = AddCommand(command::kRun, QStringLiteral("&Run"),
                              QStringLiteral("Run the current sql script\nRun"));
    run->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    run->setIcon(look->standardIcon(QStyle::SP_MediaPlay));
    file->addAction(run);
    file->addSeparator();
    file->addAction(
        AddCommand(command::kExit, QStringLiteral("E&xit"),
                   QStringLiteral("Quit the application; prompts to save documents\nExit")));

    // The edit keys belong to whichever pane has the focus; the menu only names them, so their
    // shortcuts live on the menu alone and never take a key from the output pane.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    const struct {
        int id;
        const char* text;
        const char* prompt;
        QKeySequence::StandardKey key;
    } editCommands[] = {
        {command::kUndo, "&Undo", "Undo the last action\nUndo", QKeySequence::Undo},
        {command::kCut, "Cu&t", "Cut the selection and put it on the Clipboard\nCut",
         QKeySequence::Cut},
        {command::kCopy, "&Copy", "Copy the selection and put it on the Clipboard\nCopy",
         QKeySequence::Copy},
        {command::kPaste, "&Paste", "Insert Clipboard contents\nPaste", QKeySequence::Paste},
    };
    for (const auto& entry : editCommands) {
        QAction* action = AddCommand(entry.id, QString::fromLatin1(entry.text),
                                     QString::fromLatin1(entry.prompt));
        action->setShortcut(entry.key);
        action->setShortcutContext(Qt::WidgetShortcut);
        edit->addAction(action);
        if (entry.id == command::kUndo)
            edit->addSeparator();
    }

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* toolbar = AddCommand(command::kViewToolbar, QStringLiteral("&Toolbar"),
                                  QStringLiteral("Show or hide the toolbar\nToggle ToolBar"));
    QAction* statusBarAction =
        AddCommand(command::kViewStatusBar, QStringLiteral("&Status Bar"),
                   QStringLiteral("Show or hide the status bar\nToggle StatusBar"));
    for (QAction* action : {toolbar, statusBarAction}) {
        action->setCheckable(true);
        action->setChecked(true);
        view->addAction(action);
    }

    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    QAction* stopOnError = AddCommand(command::kStopOnError, QStringLiteral("Stop on Error"));
    stopOnError->setCheckable(true);
    options->addAction(stopOnError);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* about = AddCommand(
        command::kAbout, QStringLiteral("&About"),
        QStringLiteral("Display program information, version number and copyright\nAbout"));
    about->setIcon(look->standardIcon(QStyle::SP_MessageBoxInformation));
    help->addAction(about);

    // Keys without a menu item: next and previous pane.
    QAction* next = AddCommand(command::kNextPane, QStringLiteral("Next Pane"),
                               QStringLiteral("Switch to the next window pane\nNext Pane"));
    next->setShortcut(QKeySequence(Qt::Key_F6));
    QAction* previous =
        AddCommand(command::kPreviousPane, QStringLiteral("Previous Pane"),
                   QStringLiteral("Switch back to the previous window pane\nPrevious Pane"));
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    addAction(next);
    addAction(previous);
}

void CMainFrame::CreateToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setIconSize(QSize(32, 32));
    toolBar_->setMovable(false);
    for (int id : {command::kOpenMdb, command::kOpenScript, command::kRun})
        toolBar_->addAction(actions_.at(id));
    toolBar_->toggleViewAction()->setVisible(false);  // View > Toolbar is the one switch
}

void CMainFrame::CreateStatusBar()
{
    statusPane_ = new QLabel(QStringLiteral("Ready"), this);
    statusBar()->addWidget(statusPane_, 1);
}

void CMainFrame::CreatePanes()
{
    splitter_ = new QSplitter(Qt::Vertical, this);
    editor_ = new CEditOEA(splitter_);
    editor_->setObjectName(QStringLiteral("editor"));
    output_ = new CEditOEA(splitter_);
    output_->setObjectName(QStringLiteral("output"));
    output_->setReadOnly(true);
    splitter_->addWidget(editor_);
    splitter_->addWidget(output_);
    splitter_->setChildrenCollapsible(false);
    splitter_->setSizes({1, 1});  // the bar in the middle
    setCentralWidget(splitter_);
    editor_->setFocus();
}

QAction* CMainFrame::Action(int id) const
{
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

QString CMainFrame::StatusPaneText() const
{
    return statusPane_->text();
}

void CMainFrame::OnCommand(int id)
{
    switch (id) {
        case command::kOpenMdb:
            return OnOpenMdb();
        case command::kOpenScript:
            return OnOpenScript();
        case command::kSaveScript:
            OnSaveScript();
            return;
        case command::kSaveScriptAs:
            OnSaveScriptAs();
            return;
        case command::kCreateMdb:
            return OnCreateMdb();
        case command::kRun:
            return OnRun();
        case command::kExit:
            close();
            return;
        case command::kUndo:
            return editor_->undo();
        case command::kCut:
            return editor_->cut();
        case command::kCopy:
            return editor_->copy();
        case command::kPaste:
            return editor_->paste();
        case command::kViewToolbar:
            return OnViewToolbar();
        case command::kViewStatusBar:
            return OnViewStatusBar();
        case command::kStopOnError:
            return OnStopOnError();
        case command::kAbout:
            return OnAbout();
        case command::kNextPane:
        case command::kPreviousPane:
            return OnNextPane();  // two panes: next and previous are the same one
        default:
            return;  // 57600 and anything unknown
    }
}

void CMainFrame::OnOpenMdb()
{
    COpenFileDlg dialog(settings_, dialogs_, this);
    dialogs_.RunModal(dialog);
    statusPane_->setText(QString::fromStdWString(settings_.path));
}

void CMainFrame::OnOpenScript()
{
    if (!MaySaveChanges())
        return;
    std::wstring path;
    if (!dialogs_.GetOpenFileName(this, kScriptFilters, path))
        return;
    auto loaded = std::make_unique<SQLExecutor::ScriptHelper>();
    if (!loaded->Load(path)) {
        dialogs_.MessageBox(this, L"Can't open file", L"Error", ui::MB_ICONERROR);
        return;
    }
    script_ = std::move(loaded);
    editor_->setPlainText(ForDisplay(script_->GetText()));
    editor_->document()->setModified(false);
    script_->ClearText();  // the editor holds the text from now on
}

bool CMainFrame::OnSaveScript()
{
    if (script_->IsUntitled())
        return OnSaveScriptAs();
    return SaveThroughDocument(script_->Save(EditorText()));
}

bool CMainFrame::OnSaveScriptAs()
{
    std::wstring path;
    int filter = 0;
    if (!dialogs_.GetSaveFileName(this, kScriptFilters, path, filter))
        return false;
    if (filter == 0 && !AppendExtension(path, L".sql"))
        return false;
    return SaveThroughDocument(script_->SaveAs(path, EditorText()));
}

// Reports the outcome of a save that the script document has just made.
bool CMainFrame::SaveThroughDocument(bool saved)
{
    if (!saved) {
        const std::wstring& reason = script_->GetSaveError();
        dialogs_.MessageBox(this,
                            reason.empty() ? L"Can't save file" : L"Can't save file\n" + reason,
                            L"Error", ui::MB_ICONERROR);
        return false;
    }
    editor_->document()->setModified(false);
    if (script_->SavedAsUtf8())
        statusBar()->showMessage(QStringLiteral(
            "Saved as UTF-8 with a byte-order mark: the script holds characters that ANSI "
            "(Windows-1252) cannot hold"));
    return true;
}

// The file dialog asks before a chosen file is replaced, but knows nothing of the extension added
// afterwards; a file of the longer name is replaced only when the user says so here. False when
// the user keeps that file.
bool CMainFrame::AppendExtension(std::wstring& path, const wchar_t* extension)
{
    const std::wstring extended = WithDefaultExtension(path, extension);
    if (extended != path && QFileInfo::exists(QString::fromStdWString(extended)) &&
        dialogs_.MessageBox(this,
                            QFileInfo(QString::fromStdWString(extended)).fileName().toStdWString() +
                                L" already exists.\nDo you want to replace it?",
                            L"Confirm Save As", ui::MB_YESNO | ui::MB_ICONWARNING) != ui::IDYES)
        return false;
    path = extended;
    return true;
}

bool CMainFrame::MaySaveChanges()
{
    if (!editor_->document()->isModified())
        return true;
    const std::wstring question = script_->IsUntitled()
                                      ? std::wstring(L"Save changes to the new script?")
                                      : L"Save changes to " + script_->GetFileName() + L"?";
    switch (dialogs_.MessageBox(this, question, L"CrvConsole",
                                ui::MB_YESNOCANCEL | ui::MB_ICONWARNING)) {
        case ui::IDYES:
            return OnSaveScript();
        case ui::IDNO:
            return true;
        default:
            return false;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (MaySaveChanges())
        event->accept();
    else
        event->ignore();
}

void CMainFrame::OnCreateMdb()
{
    std::wstring path;
    int filter = 0;
    if (!dialogs_.GetSaveFileName(this, kDatabaseFilters, path, filter))
        return;
    if ((filter == 0 && !AppendExtension(path, L".mdb")) ||
        (filter == 1 && !AppendExtension(path, L".accdb")))
        return;

    // The file dialog has asked whether to replace a file that is there: it goes as "/o" deletes
    // an old database. The new file becomes the current database only once it exists: a failed
    // creation keeps the database the user had.
    ConnectionSettings target = settings_;
    target.path = path;
    std::wstring error;
    if (!DeleteDatabaseFile(path, error) || !crvconsole::CreateEmptyDatabase(target, error)) {
        // The provider's text opens with a line break, made for the end of a longer report.
        if (error.rfind(L"\r\n", 0) == 0)
            error.erase(0, 2);
        dialogs_.MessageBox(this, error, L"Can't save", ui::MB_ICONERROR);
        return;
    }
    settings_.path = path;
    statusPane_->setText(QString::fromStdWString(path));
}

void CMainFrame::OnRun()
{
    if (settings_.path.empty()) {
        dialogs_.MessageBox(this, L"Choose a database file", L"Can't open mdb file", ui::MB_OK);
        return;
    }
    WaitCursor wait;
    // The executor reads scripts with CR LF line ends, as they come from files.
    QString text = editor_->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const crvconsole::ScriptRunResult result =
        crvconsole::RunScript(settings_, text.toStdWString(), true, options_.GetOptions());
    output_->setPlainText(ForDisplay(result.output));
    output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
}

void CMainFrame::OnViewToolbar()
{
    toolbarShown_ = !toolbarShown_;
    toolBar_->setVisible(toolbarShown_);
    actions_.at(command::kViewToolbar)->setChecked(toolbarShown_);
}

void CMainFrame::OnViewStatusBar()
{
    const bool show = statusBar()->isHidden();
    statusBar()->setVisible(show);
    actions_.at(command::kViewStatusBar)->setChecked(show);
}

void CMainFrame::OnStopOnError()
{
    const bool stopOnError = !options_.GetOptions().stopOnError;
    options_.SetStopOnError(stopOnError);
    actions_.at(command::kStopOnError)->setChecked(stopOnError);
}

void CMainFrame::OnAbout()
{
    CAboutDlg dialog(this);
    dialogs_.RunModal(dialog);
}

void CMainFrame::OnNextPane()
{
    (editor_->hasFocus() ? static_cast<QWidget*>(output_) : editor_)->setFocus();
}

std::wstring CMainFrame::EditorText() const
{
    return editor_->toPlainText().toStdWString();
}
