// The main window of the comparison program: a wizard over a fixed list of steps. It owns the
// comparison context, makes one page per step as the step is entered, moves by per-step
// offsets on Back and Next (some pages choose a branch by changing their step's forward offset,
// progress steps are passed over going back) and shows where the user stands on its step
// indicator.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "compare/comparison_context.h"

class QPushButton;
class QVBoxLayout;
class StepIndicator;
class WizardPage;
class WizardDialog;

namespace ui {
class FrameDialogs;
}

// One entry of the step list. The callback makes the step's page (and sets Back and Next).
class WizardStep {
public:
    using Callback = WizardPage* (WizardDialog::*)();

    WizardStep(Callback callback, bool indicator, int backOffset)
        : callback(callback), indicator(indicator), backOffset(backOffset)
    {
    }
    virtual ~WizardStep() = default;

    Callback callback;
    bool indicator;
    int forwardOffset = 1;
    int backOffset;
    bool transient = false;
};

// The progress steps, which Back passes through.
class TransientWizardStep : public WizardStep {
public:
    TransientWizardStep(Callback callback, bool indicator, int backOffset)
        : WizardStep(callback, indicator, backOffset)
    {
        transient = true;
    }
};

class WizardDialog : public QDialog {
    Q_OBJECT
public:
    // Command ids of the menu and the dialog's own close command.
    static constexpr int kCommandClose = 2;
    static constexpr int kCommandAbout = 32772;
    static constexpr int kCommandAboutAlias = 57664;
    static constexpr int kCommandExit = 32774;
    static constexpr int kCommandSettings = 32775;
    static constexpr int kStepCount = 22;
    static constexpr int kIndicatorWidth = 153;

    // dialogs (not owned, outliving the wizard) answers every message box and file dialog.
    explicit WizardDialog(ui::FrameDialogs& dialogs, QWidget* parent = nullptr);
    ~WizardDialog() override;

    // Makes the menu, the indicator and the page area and enters step 0; false when the window
    // cannot be made.
    bool Initialize();

    void GoNext();
    void GoBack();
    void SetForwardOffset(int offset);
    void EnableBack();
    void DisableBack();
    void EnableNext();
    void DisableNext();
    // Puts a page window just made into the page area.
    void PlacePage(QWidget* page);

    // The menu's commands and the buttons, as the user reaches them.
    void OnCommand(int id);
    void OnBack();
    void OnNext();

    ComparisonContext& Context() { return context_; }
    ui::FrameDialogs& Dialogs() const { return dialogs_; }
    QWidget* PageArea() const { return pageArea_; }

    int CurrentStep() const { return current_; }
    WizardPage* CurrentPage() const { return page_; }
    const WizardStep* Step(int index) const { return steps_[index].get(); }
    StepIndicator* Indicator() const { return indicator_; }
    QPushButton* BackButton() const { return back_; }
    QPushButton* NextButton() const { return next_; }

    // The stage the indicator shows at a step: the steps before it that are stages.
    int IndicatorPosition(int step) const;

protected:
    // Makes the page of a step through the step's callback.
    virtual WizardPage* MakePage(int step);
    void SetButtons(bool back, bool next);
    // Creates the page just made inside the wizard.
    WizardPage* Enter(WizardPage* page);

    // The close box and Escape.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildSteps();
    void EnterStep();
    void DestroyPage();
    void OnExit(int command);
    void OnAbout();
    void OnComparisonSettings();

    // The step callbacks, in the order of the step list.
    WizardPage* MakeDatabase1Page();
    WizardPage* MakeLoad1Page();
    WizardPage* MakeDatabase2Page();
    WizardPage* MakeLoad2Page();
    WizardPage* MakeTablesPage();
    WizardPage* MakeRecordsPage();
    WizardPage* MakeChoicePage();
    WizardPage* MakeScriptOptionsPage();
    WizardPage* MakeScriptWriterPage();
    WizardPage* MakeScriptSavedPage();
    WizardPage* MakeSyncScriptWriterPage();
    WizardPage* MakeSynchronizerPage();
    WizardPage* MakeSyncDonePage();
    WizardPage* MakeHtmlSavePage();
    WizardPage* MakeHtmlReportPage();
    WizardPage* MakeHtmlSavedPage();
    WizardPage* MakeExcelSavePage();
    WizardPage* MakeExcelReportPage();
    WizardPage* MakeExcelSavedPage();
    WizardPage* MakeProgressPage(WizardTask* task, const wchar_t* text);
    WizardPage* MakeMessagePage(const wchar_t* text, std::wstring notice = {});
    // What the script writer leaves for the user to know, for the pages after it.
    std::wstring ScriptNotice() const;

    ui::FrameDialogs& dialogs_;
    ComparisonContext context_;
    std::vector<std::unique_ptr<WizardStep>> steps_;  // null entries are separators
    WizardPage* page_ = nullptr;  // ended by its Destroy
    int current_ = 0;
    bool exiting_ = false;
    StepIndicator* indicator_ = nullptr;
    QWidget* pageArea_ = nullptr;
    QVBoxLayout* pageLayout_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
};
