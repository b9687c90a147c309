// The script runner's window: menus, toolbar and status bar over a splitter with the script
// editor on top and the output of the last run below.
#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/frame_dialogs.h"
#include "crvconsole/options_manager.h"
#include "database/connection_settings.h"
#include "sqlexec/script_helper.h"

class CEditOEA;
class QAction;
class QCloseEvent;
class QLabel;
class QSplitter;
class QToolBar;

// Command identifiers of the window; tests and key bindings refer to commands by these.
namespace command {
inline constexpr int kFileNew = 57600;  // no menu item or key; ignored
inline constexpr int kOpenMdb = 57601;
inline constexpr int kOpenScript = 32776;
inline constexpr int kSaveScript = 57603;
inline constexpr int kSaveScriptAs = 57604;
inline constexpr int kCreateMdb = 32779;
inline constexpr int kRun = 32773;
inline constexpr int kExit = 57665;
inline constexpr int kUndo = 57643;
inline constexpr int kCut = 57635;
inline constexpr int kCopy = 57634;
inline constexpr int kPaste = 57637;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kStopOnError = 32780;
inline constexpr int kAbout = 57664;
inline constexpr int kNextPane = 57680;
inline constexpr int kPreviousPane = 57681;
}  // namespace command

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `dialogs` answers every question the window asks; it must outlive the window.
    explicit CMainFrame(ui::FrameDialogs& dialogs = ui::DefaultFrameDialogs(),
                        QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Carries out a command as its menu item, toolbar button or key would.
    void OnCommand(int id);

    // The action of a command; null for the commands that have none (57600).
    QAction* Action(int id) const;

    CEditOEA* Editor() const { return editor_; }
    CEditOEA* Output() const { return output_; }
    QSplitter* Splitter() const { return splitter_; }
    QToolBar* ToolBar() const { return toolBar_; }
    const ConnectionSettings& Settings() const { return settings_; }
    // The text of the status bar's first pane.
    QString StatusPaneText() const;

protected:
    // Exit and the close box: an edited script is offered for saving first.
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(int id, const QString& text, const QString& prompt = {});
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePanes();

    void OnOpenMdb();
    void OnOpenScript();
    // Both true when the script was saved.
    bool OnSaveScript();
    bool OnSaveScriptAs();
    bool SaveThroughDocument(bool saved);
    // Asks whether to save an edited script before its text goes; false when the user cancels
    // or the save fails, and the text then stays.
    bool MaySaveChanges();
    bool AppendExtension(std::wstring& path, const wchar_t* extension);
    void OnCreateMdb();
    void OnRun();
    void OnViewToolbar();
    void OnViewStatusBar();
    void OnStopOnError();
    void OnAbout();
    void OnNextPane();

    std::wstring EditorText() const;

    ui::FrameDialogs& dialogs_;
    ConnectionSettings settings_;
    // Replaced whole by each successful open, so a failed open keeps the file the editor's text
    // belongs to.
    std::unique_ptr<SQLExecutor::ScriptHelper> script_;
    OptionsManager options_;
    std::map<int, QAction*> actions_;
    QLabel* statusPane_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    bool toolbarShown_ = true;
    QSplitter* splitter_ = nullptr;
    CEditOEA* editor_ = nullptr;
    CEditOEA* output_ = nullptr;
};
