// The comparison program's wizard driven as a user drives it: real native stores in a temporary
// folder, the wizard's message boxes and file dialogs answered by the test, and waits that keep
// the event loop running while a page's worker does its task.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "corvina/database_page.h"
#include "corvina/wizard_dialog.h"
#include "database/connection_settings.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/provider_classes.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"
#include "sqlexec/i_progress.h"
#include "sqlexec/mdb_creator.h"
#include "sqlexec/options.h"
#include "sqlexec/script_executor.h"
#include "support/temp_dir.h"

namespace wizardtest {

struct Message {
    std::wstring text;
    std::wstring caption;
};

// Answers what the wizard asks: each message box with OK, each file dialog with the next
// prepared path (cancel when none is left), each modal dialog through `modal`.
class AnsweringDialogs : public ui::FrameDialogs {
public:
    int MessageBox(QWidget*, const std::wstring& text, const std::wstring& caption,
                   unsigned) override
    {
        messages.push_back({text, caption});
        return ui::IDOK;
    }
    bool GetOpenFileName(QWidget*, const std::vector<ui::FileFilter>& filters,
                         std::wstring& path) override
    {
        askedFilters.push_back(filters);
        if (paths.empty())
            return false;
        path = paths.front();
        paths.pop_front();
        return true;
    }
    bool GetSaveFileName(QWidget*, const std::vector<ui::FileFilter>& filters, std::wstring& path,
                         int& filterIndex) override
    {
        askedFilters.push_back(filters);
        if (paths.empty())
            return false;
        path = paths.front();
        paths.pop_front();
        filterIndex = filterIndexes.empty() ? 0 : filterIndexes.front();
        if (!filterIndexes.empty())
            filterIndexes.pop_front();
        return true;
    }
    int RunModal(QDialog& dialog) override
    {
        if (modal)
            return modal(dialog);
        return QDialog::Rejected;
    }

    std::vector<Message> messages;
    std::vector<std::vector<ui::FileFilter>> askedFilters;
    std::deque<std::wstring> paths;
    std::deque<int> filterIndexes;
    std::function<int(QDialog&)> modal;
};

// Runs the event loop until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 20000)
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

// Makes a native store and runs the statements against it; "" or the first error.
inline std::wstring MakeStore(const std::wstring& path, const std::wstring& script)
{
    ConnectionSettings settings;
    settings.path = path;
    SQLExecutor::MdbCreator creator(settings);
    if (!creator.Create())
        return creator.GetError();
    Options options;
    options.stopOnError = true;
    SQLExecutor::ScriptExecutor executor(settings, script, false, options);
    FakeProgress progress;
    executor.Run(progress);
    return executor.IsStopped() ? executor.GetErrorText() : std::wstring();
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        wizard = std::make_unique<WizardDialog>(dialogs);
        ASSERT_TRUE(wizard->Initialize());
        wizard->show();
    }
    void TearDown() override
    {
        wizard.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::wstring PathOf(const char* name) const
    {
        return automation::FromUtf8((dir / name).string());
    }

    DatabasePage* Database() const { return dynamic_cast<DatabasePage*>(wizard->CurrentPage()); }

    template <class Page>
    Page* Current() const
    {
        return dynamic_cast<Page*>(wizard->CurrentPage());
    }

    // Next as the user clicks it.
    void ClickNext() { QTest::mouseClick(wizard->NextButton(), Qt::LeftButton); }
    void ClickBack() { QTest::mouseClick(wizard->BackButton(), Qt::LeftButton); }

    // Waits until the wizard stands on a step that is not a progress step.
    bool Settle()
    {
        return WaitFor([this] {
            const WizardStep* step = wizard->Step(wizard->CurrentStep());
            return step && !step->transient;
        });
    }

    // Types the path on the current database page and goes on through its load.
    void EnterDatabase(const std::wstring& path)
    {
        ASSERT_NE(Database(), nullptr) << "step " << wizard->CurrentStep();
        Database()->PathEdit()->setText(QString::fromStdWString(path));
        ClickNext();
        ASSERT_TRUE(Settle());
    }

    testsupport::TempDir dir;
    AnsweringDialogs dialogs;
    std::unique_ptr<WizardDialog> wizard;
};

}  // namespace wizardtest
