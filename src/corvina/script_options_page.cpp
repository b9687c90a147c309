#include "corvina/script_options_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "compare/comparison_context.h"
#include "corvina/path_label.h"
#include "corvina/save_file_field.h"
#include "corvina/wizard_dialog.h"
#include "platform/ui/message_box.h"

namespace {

const std::vector<ui::FileFilter> kScriptFilters = {
    {L"Script Files (*.sql)", L"*.sql"},
    {L"All Files (*.*)", L"*.*"},
};

}  // namespace

ScriptOptionsPage::ScriptOptionsPage(ComparisonContext& context) : context_(context) {}

void ScriptOptionsPage::InitDialog()
{
    auto* script = new QGroupBox(QStringLiteral("SQL script"), this);
    output_ = new SaveFileField(Wizard().Dialogs(), kScriptFilters, L".sql", script);
    encoding_ = new QComboBox(script);
    encoding_->addItems({QStringLiteral("ASCII"), QStringLiteral("UTF-8"), QStringLiteral("UTF-16")});
    encoding_->setCurrentIndex(1);
    auto* scriptForm = new QFormLayout(script);
    scriptForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(output_, 1);
    outputRow->addWidget(encoding_);
    scriptForm->addRow(QStringLiteral("Output file:"), outputRow);

    auto* sync = new QGroupBox(QStringLiteral("Synchronization"), this);
    run_ = new QCheckBox(QStringLiteral("Run synchronization"), sync);
    backup_ = new QCheckBox(QStringLiteral("Create backup"), sync);
    auto* syncLayout = new QVBoxLayout(sync);
    syncLayout->addWidget(run_);
    syncLayout->addWidget(backup_);
    connect(run_, &QCheckBox::toggled, backup_, &QCheckBox::setEnabled);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    path1_ = new PathLabel(options);
    path2_ = new PathLabel(options);
    path1_->SetPath(QString::fromStdWString(context_.Source1().Settings().path));
    path2_->SetPath(QString::fromStdWString(context_.Source2().Settings().path));
    upgrade1_ = new QRadioButton(QStringLiteral("Upgrade Database1 to Database2"), options);
    upgrade2_ = new QRadioButton(QStringLiteral("Upgrade Database2 to Database1"), options);
    add_ = new QCheckBox(QStringLiteral("Add new records"), options);
    update_ = new QCheckBox(QStringLiteral("Update changed records"), options);
    delete_ = new QCheckBox(QStringLiteral("Delete missing records"), options);
    auto* optionsForm = new QFormLayout(options);
    optionsForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    optionsForm->addRow(QStringLiteral("Database1:"), path1_);
    optionsForm->addRow(QStringLiteral("Database2:"), path2_);
    optionsForm->addRow(upgrade1_);
    optionsForm->addRow(upgrade2_);
    optionsForm->addRow(add_);
    optionsForm->addRow(update_);
    optionsForm->addRow(delete_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(script);
    layout->addWidget(sync);
    layout->addWidget(options);
    layout->addStretch();
}

void ScriptOptionsPage::OnEnter()
{
    add_->setChecked(true);
    update_->setChecked(true);
    delete_->setChecked(true);
    upgrade1_->setChecked(true);
    run_->setChecked(false);
    backup_->setChecked(true);
    backup_->setEnabled(false);
    output_->Edit()->setFocus();
}

void ScriptOptionsPage::ReadChoices()
{
    encodingChoice_ = encoding_->currentIndex() + 1;
    direction_ = upgrade1_->isChecked() ? 1 : upgrade2_->isChecked() ? 2 : 0;
    insert_ = add_->isChecked();
    updateChoice_ = update_->isChecked();
    erase_ = delete_->isChecked();
    path_ = output_->Path();
}

bool ScriptOptionsPage::Validate()
{
    return encodingChoice_ != 0 && direction_ != 0 && !path_.empty() &&
           (insert_ || updateChoice_ || erase_) && !NamesDatabaseFile(path_, context_);
}

void ScriptOptionsPage::Apply()
{
    ReadChoices();
    if (!Validate()) {
        const bool complete = encodingChoice_ != 0 && direction_ != 0 && !path_.empty() &&
                              (insert_ || updateChoice_ || erase_);
        Wizard().Dialogs().MessageBox(window(), complete ? kNamesDatabaseMessage
                                                         : kIncompleteMessage,
                                      L"Save", ui::MB_OK);
        return;
    }
    context_.CreateScriptWriter(path_, encodingChoice_, direction_, insert_, updateChoice_,
                                erase_);
    int offset = kScriptOnlyOffset;
    if (run_->isChecked()) {
        context_.CreateSynchronizer(path_, direction_, backup_->isChecked());
        offset = kSynchronizeOffset;
    } else {
        context_.ReleaseSynchronizer();
    }
    Wizard().SetForwardOffset(offset);
}
