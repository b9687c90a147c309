// The page of every transient step: a waiting text and a progress bar while one task runs on a
// thread of its own; when the task ends the wizard moves on, or shows the task's error and goes
// back.
#pragma once

#include <QPointer>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "corvina/wizard_page.h"

class IProgress;
class QEventLoop;
class QLabel;
class QProgressBar;
class WizardTask;

class ProgressPage : public DialogPage {
    Q_OBJECT
public:
    static constexpr const wchar_t* kDefaultText = L"Please wait. Reading the database...";
    // The bar's background, a COLORREF.
    static constexpr std::uint32_t kBarBackground = 0x00E6FF00;

    // task (not owned; the comparison context owns it) may be null when there is nothing to
    // run; an empty text keeps the default one.
    ProgressPage(WizardTask* task, std::wstring text);
    ~ProgressPage() override;

    // Starts the task's thread.
    void OnEnter() override;
    // Asks the task to stop and waits for its thread, handling events meanwhile; the end of the
    // task then moves nothing.
    void Cancel() override;

    QLabel* TextLabel() const { return text_; }
    QProgressBar* Bar() const { return bar_; }
    bool IsTaskRunning() const { return running_; }

protected:
    void InitDialog() override;

private:
    void OnTaskEnded();

    WizardTask* task_;
    std::wstring message_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    std::unique_ptr<IProgress> progress_;
    std::thread worker_;
    bool running_ = false;   // UI thread: the end notice has not been handled yet
    bool cancelled_ = false;
    QEventLoop* wait_ = nullptr;  // Cancel's wait, while it lasts
};
