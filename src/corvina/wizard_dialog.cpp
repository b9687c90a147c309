#include "corvina/wizard_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "corvina/about_dialog.h"
#include "corvina/choice_page.h"
#include "corvina/database_page.h"
#include "corvina/message_page.h"
#include "corvina/progress_page.h"
#include "corvina/records_window.h"
#include "corvina/report_save_page.h"
#include "corvina/script_options_page.h"
#include "corvina/settings_dialog.h"
#include "corvina/step_indicator.h"
#include "corvina/tables_page.h"
#include "output/output_tasks.h"
#include "platform/ui/frame_dialogs.h"

namespace {

// The maker of the output tasks the context hands out; it keeps no state.
const OutputTasks kOutputTasks;

}  // namespace

// The resources live in a static library: they must be asked for by name (outside any namespace).
static void InitCorvinaResources()
{
    Q_INIT_RESOURCE(corvina);
}

WizardDialog::WizardDialog(ui::FrameDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), context_(&kOutputTasks)
{
    InitCorvinaResources();
    setWindowTitle(QStringLiteral("Corvina"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/res/PNG/ICON")));
    BuildSteps();
}

WizardDialog::~WizardDialog()
{
    // Pages, also those whose deletion is still pending, may hold threads over the context's
    // tasks: they go before the context does.
    page_ = nullptr;
    delete pageArea_;
}

void WizardDialog::BuildSteps()
{
    auto step = [this](WizardStep::Callback callback, bool indicator, int back) {
        steps_.push_back(std::make_unique<WizardStep>(callback, indicator, back));
    };
    auto transient = [this](WizardStep::Callback callback, int back) {
        steps_.push_back(std::make_unique<TransientWizardStep>(callback, false, back));
    };
    auto separator = [this] { steps_.push_back(nullptr); };

    step(&WizardDialog::MakeDatabase1Page, true, -1);         // 0
    transient(&WizardDialog::MakeLoad1Page, -1);              // 1
    step(&WizardDialog::MakeDatabase2Page, true, -1);         // 2
    transient(&WizardDialog::MakeLoad2Page, -1);              // 3
    step(&WizardDialog::MakeTablesPage, true, -1);            // 4
    step(&WizardDialog::MakeRecordsPage, true, -1);           // 5
    step(&WizardDialog::MakeChoicePage, true, -1);            // 6
    step(&WizardDialog::MakeScriptOptionsPage, false, -1);    // 7
    transient(&WizardDialog::MakeScriptWriterPage, -1);       // 8
    step(&WizardDialog::MakeScriptSavedPage, false, -1);      // 9
    separator();                                              // 10
    transient(&WizardDialog::MakeSyncScriptWriterPage, -4);   // 11
    transient(&WizardDialog::MakeSynchronizerPage, -7);       // 12
    step(&WizardDialog::MakeSyncDonePage, false, -1);         // 13
    separator();                                              // 14
    step(&WizardDialog::MakeHtmlSavePage, false, -9);         // 15
    transient(&WizardDialog::MakeHtmlReportPage, -1);         // 16
    step(&WizardDialog::MakeHtmlSavedPage, false, -1);        // 17
    separator();                                              // 18
    step(&WizardDialog::MakeExcelSavePage, false, -13);       // 19
    transient(&WizardDialog::MakeExcelReportPage, -1);        // 20
    step(&WizardDialog::MakeExcelSavedPage, false, -1);       // 21
}

bool WizardDialog::Initialize()
{
    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), this, [this] { OnCommand(kCommandExit); });
    QMenu* options = menuBar->addMenu(QStringLiteral("&Options"));
    options->addAction(QStringLiteral("Comparison Settings..."), this,
                       [this] { OnCommand(kCommandSettings); });
    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About"), this, [this] { OnCommand(kCommandAbout); });

    indicator_ = new StepIndicator(this);
    indicator_->setFixedWidth(kIndicatorWidth);
    if (!indicator_->Create())
        return false;

    pageArea_ = new QWidget(this);
    pageArea_->setObjectName(QStringLiteral("pageArea"));
    pageLayout_ = new QVBoxLayout(pageArea_);
    pageLayout_->setContentsMargins(0, 0, 0, 0);

    back_ = new QPushButton(QStringLiteral("Back"), this);
    next_ = new QPushButton(QStringLiteral("Next"), this);
    // Enter in a page must never move the wizard on: neither button is a default button.
    back_->setAutoDefault(false);
    next_->setAutoDefault(false);
    connect(back_, &QPushButton::clicked, this, [this] { OnBack(); });
    connect(next_, &QPushButton::clicked, this, [this] { OnNext(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(next_);
    buttons->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(pageArea_, 1);
    right->addLayout(buttons);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->addWidget(indicator_);
    body->addLayout(right, 1);

    auto* top = new QVBoxLayout(this);
    top->setMenuBar(menuBar);
    top->setContentsMargins(0, 0, 0, 0);
    top->addLayout(body);
    right->setContentsMargins(12, 12, 12, 12);

    setSizeGripEnabled(true);
    resize(800, 600);
    setMinimumSize(640, 480);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    current_ = 0;
    EnterStep();
    return true;
}

int WizardDialog::IndicatorPosition(int step) const
{
    int others = 0;
    for (int i = 0; i <= step; ++i)
        if (!steps_[i] || !steps_[i]->indicator)
            ++others;
    return step - others;
}

void WizardDialog::DestroyPage()
{
    if (!page_)
        return;
    WizardPage* page = page_;
    page_ = nullptr;
    page->Destroy();
}

void WizardDialog::EnterStep()
{
    DestroyPage();
    WizardPage* page = MakePage(current_);
    page_ = page;
    indicator_->SetPosition(IndicatorPosition(current_));
    if (page)
        page->OnEnter();
}

WizardPage* WizardDialog::MakePage(int step)
{
    return (this->*steps_[step]->callback)();
}

void WizardDialog::PlacePage(QWidget* page)
{
    page->setParent(pageArea_);
    pageLayout_->addWidget(page);
    page->show();
}

void WizardDialog::GoNext()
{
    if (!page_)
        return;
    page_->Apply();
    if (!page_->Validate())
        return;
    const int next = current_ + 1;
    if (next >= int(steps_.size()) || !steps_[next])
        return;
    current_ += steps_[current_]->forwardOffset;
    EnterStep();
}

void WizardDialog::GoBack()
{
    if (current_ == 0)
        return;
    current_ += steps_[current_]->backOffset;
    while (current_ != 0 && steps_[current_] && steps_[current_]->transient)
        current_ += steps_[current_]->backOffset;
    EnterStep();
}

void WizardDialog::SetForwardOffset(int offset)
{
    steps_[current_]->forwardOffset = offset;
}

void WizardDialog::EnableBack() { back_->setEnabled(true); }
void WizardDialog::DisableBack() { back_->setEnabled(false); }
void WizardDialog::EnableNext() { next_->setEnabled(true); }
void WizardDialog::DisableNext() { next_->setEnabled(false); }

void WizardDialog::OnBack()
{
    if (!back_->isEnabled())
        return;
    if (page_)
        page_->OnBack();
    GoBack();
}

void WizardDialog::OnNext()
{
    if (next_->isEnabled())
        GoNext();
}

void WizardDialog::OnCommand(int id)
{
    switch (id) {
        case kCommandAbout:
        case kCommandAboutAlias:
            OnAbout();
            break;
        case kCommandClose:
        case kCommandExit:
            OnExit(id);
            break;
        case 1003:
            OnBack();
            break;
        case 1004:
            OnNext();
            break;
        case kCommandSettings:
            OnComparisonSettings();
            break;
        default:
            break;
    }
}

void WizardDialog::OnExit(int command)
{
    // A progress page's Cancel waits for its task while events go on: a second close meanwhile
    // must neither cancel again nor end the dialog under the waiting page.
    if (exiting_)
        return;
    exiting_ = true;
    if (page_)
        page_->Cancel();
    done(command);
}

void WizardDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    OnExit(kCommandClose);
}

void WizardDialog::reject()
{
    OnExit(kCommandClose);
}

void WizardDialog::OnAbout()
{
    AboutDialog about(QApplication::activeWindow() ? QApplication::activeWindow() : this);
    dialogs_.RunModal(about);
}

void WizardDialog::OnComparisonSettings()
{
    SettingsDialog settings(dialogs_,
                            QApplication::activeWindow() ? QApplication::activeWindow() : this);
    dialogs_.RunModal(settings);
}

void WizardDialog::SetButtons(bool back, bool next)
{
    back_->setEnabled(back);
    next_->setEnabled(next);
}

WizardPage* WizardDialog::Enter(WizardPage* page)
{
    page->Create(*this);
    return page;
}

WizardPage* WizardDialog::MakeProgressPage(WizardTask* task, const wchar_t* text)
{
    SetButtons(false, false);
    return Enter(new ProgressPage(task, text ? text : L""));
}

WizardPage* WizardDialog::MakeMessagePage(const wchar_t* text, std::wstring notice)
{
    SetButtons(true, false);
    return Enter(new MessagePage(text, std::move(notice)));
}

WizardPage* WizardDialog::MakeDatabase1Page()
{
    SetButtons(false, true);
    return Enter(new DatabasePage(context_.Source1().Settings()));
}

WizardPage* WizardDialog::MakeLoad1Page()
{
    return MakeProgressPage(&context_.Source1(), nullptr);
}

WizardPage* WizardDialog::MakeDatabase2Page()
{
    SetButtons(true, true);
    return Enter(new DatabasePage(context_.Source2().Settings(), &context_.Source1().Settings()));
}

WizardPage* WizardDialog::MakeLoad2Page()
{
    return MakeProgressPage(&context_.Source2(), nullptr);
}

WizardPage* WizardDialog::MakeTablesPage()
{
    SetButtons(true, true);
    return Enter(new TablesPage(context_));
}

WizardPage* WizardDialog::MakeRecordsPage()
{
    SetButtons(false, false);
    return Enter(new RecordsWindow(context_));
}

WizardPage* WizardDialog::MakeChoicePage()
{
    SetButtons(true, true);
    return Enter(new ChoicePage);
}

WizardPage* WizardDialog::MakeScriptOptionsPage()
{
    SetButtons(true, true);
    return Enter(new ScriptOptionsPage(context_));
}

WizardPage* WizardDialog::MakeScriptWriterPage()
{
    return MakeProgressPage(context_.ScriptTask(), L"Please wait. Writing the SQL Script...");
}

std::wstring WizardDialog::ScriptNotice() const
{
    return context_.ScriptTask() ? context_.ScriptTask()->Notice() : std::wstring();
}

WizardPage* WizardDialog::MakeScriptSavedPage()
{
    return MakeMessagePage(L"The SQL script has been saved", ScriptNotice());
}

WizardPage* WizardDialog::MakeSyncScriptWriterPage()
{
    return MakeProgressPage(context_.ScriptTask(), L"Please wait. Writing the SQL Script...");
}

WizardPage* WizardDialog::MakeSynchronizerPage()
{
    return MakeProgressPage(context_.SyncTask(), L"Please wait. Synchronizing...");
}

WizardPage* WizardDialog::MakeSyncDonePage()
{
    return MakeMessagePage(L"The synchronization is completed", ScriptNotice());
}

WizardPage* WizardDialog::MakeHtmlSavePage()
{
    SetButtons(true, true);
    return Enter(new ReportSavePage(context_, ReportSavePage::HtmlReport()));
}

WizardPage* WizardDialog::MakeHtmlReportPage()
{
    return MakeProgressPage((context_.*ReportSavePage::HtmlReport().task)(),
                            L"Please wait. Writing the HTML Report...");
}

WizardPage* WizardDialog::MakeHtmlSavedPage()
{
    return MakeMessagePage(L"The HTML report has been saved");
}

WizardPage* WizardDialog::MakeExcelSavePage()
{
    SetButtons(true, true);
    return Enter(new ReportSavePage(context_, ReportSavePage::ExcelReport()));
}

WizardPage* WizardDialog::MakeExcelReportPage()
{
    return MakeProgressPage((context_.*ReportSavePage::ExcelReport().task)(),
                            L"Please wait. Writing the Excel report...");
}

WizardPage* WizardDialog::MakeExcelSavedPage()
{
    return MakeMessagePage(L"The Excel report has been saved");
}
