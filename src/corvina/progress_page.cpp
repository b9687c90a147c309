#include "corvina/progress_page.h"

#include <QApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "compare/wizard_task.h"
#include "corvina/colors.h"
#include "corvina/message_text.h"
#include "corvina/wizard_dialog.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"
#include "sqlexec/progress.h"

ProgressPage::ProgressPage(WizardTask* task, std::wstring text)
    : task_(task), message_(std::move(text))
{
}

ProgressPage::~ProgressPage()
{
    // By now the worker has posted its notice or is about to: it never waits for this thread.
    if (worker_.joinable())
        worker_.join();
}

void ProgressPage::InitDialog()
{
    auto* group = new QGroupBox(this);
    text_ = new QLabel(QString::fromWCharArray(kDefaultText), group);
    text_->setWordWrap(true);
    bar_ = new QProgressBar(group);
    bar_->setTextVisible(false);
    QPalette palette = bar_->palette();
    palette.setColor(QPalette::Base, ColorFromColorRef(kBarBackground));
    palette.setColor(QPalette::Window, ColorFromColorRef(kBarBackground));
    bar_->setPalette(palette);
    progress_ = std::make_unique<Progress>(bar_);

    auto* inner = new QVBoxLayout(group);
    inner->addWidget(text_);
    inner->addWidget(bar_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();

    if (!message_.empty())
        text_->setText(QString::fromStdWString(message_));
}

void ProgressPage::OnEnter()
{
    running_ = true;
    if (!task_) {
        // Nothing was made to run (no finished comparison to write from): back, as a failure.
        QMetaObject::invokeMethod(this, [this] { OnTaskEnded(); }, Qt::QueuedConnection);
        return;
    }
    worker_ = std::thread([this] {
        task_->Run(*progress_);
        // Queued with the page as context: once the page is gone the call is dropped.
        QMetaObject::invokeMethod(this, [this] { OnTaskEnded(); }, Qt::QueuedConnection);
    });
}

void ProgressPage::Cancel()
{
    if (cancelled_)
        return;
    cancelled_ = true;
    if (!running_)
        return;
    if (task_)
        task_->RequestStop();
    // A database load does not stop: the wait lasts until it ends, with a wait cursor.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop wait;
    wait_ = &wait;
    wait.exec();
    wait_ = nullptr;
    QApplication::restoreOverrideCursor();
    if (worker_.joinable())
        worker_.join();
}

void ProgressPage::OnTaskEnded()
{
    running_ = false;
    if (worker_.joinable())
        worker_.join();
    if (cancelled_) {
        if (wait_)
            wait_->quit();
        return;
    }
    if (!task_ || task_->Failed()) {
        if (task_)
            Wizard().Dialogs().MessageBox(window(), MessageBoxText(task_->ErrorText(), L"Error"),
                                          L"Error", ui::MB_OK);
        if (!cancelled_)  // the program may have been closed while the box was open
            Wizard().GoBack();
        return;
    }
    Wizard().GoNext();
}
