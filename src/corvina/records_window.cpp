#include "corvina/records_window.h"

#include "compare/comparison_context.h"
#include "corvina/wizard_dialog.h"

void RecordsWindow::OnEnter()
{
    (void)context_;
    Wizard().EnableBack();
    Wizard().EnableNext();
}
