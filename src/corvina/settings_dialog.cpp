#include "corvina/settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"

SettingsDialog::SettingsDialog(ui::FrameDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      nullEqualsEmpty_(new QCheckBox(QStringLiteral("Treat empty strings and NULL as the same"),
                                     this))
{
    setWindowTitle(QStringLiteral("Comparison settings"));
    nullEqualsEmpty_->setChecked(options_.LoadNullEqualsEmpty().Value());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nullEqualsEmpty_);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsDialog::accept()
{
    if (!ComparisonOptions::SaveNullEqualsEmpty(nullEqualsEmpty_->isChecked())) {
        dialogs_.MessageBox(this, kSaveFailedMessage, L"Error", ui::MB_OK | ui::MB_ICONERROR);
        return;
    }
    QDialog::accept();
}
