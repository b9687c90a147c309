#include "corvina/records_window.h"

#include "compare/comparison_context.h"
#include "corvina/wizard_dialog.h"

RecordsWindow::~RecordsWindow()
{
    context_.SetCompletionCallback({});
    context_.StopAndWait();
}

void RecordsWindow::OnEnter()
{
    if (!context_.PrepareDataComparison())
        return;
    context_.SetCompletionCallback([this] {
        QMetaObject::invokeMethod(this, [this] {
            Wizard().EnableBack();
            Wizard().EnableNext();
        }, Qt::QueuedConnection);
    });
    context_.StartThreads();
}
