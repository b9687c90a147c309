#include "corvina/wizard_page.h"

#include <QPalette>

#include "corvina/wizard_dialog.h"

DialogPage::DialogPage()
{
    // The pages draw on white, as the wizard's step area does, whatever the desktop's palette.
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

void DialogPage::Create(WizardDialog& wizard)
{
    wizard_ = &wizard;
    InitDialog();
    wizard.PlacePage(this);
}

void DialogPage::Destroy()
{
    hide();
    deleteLater();
}
