#include "corvina/choice_page.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "corvina/wizard_dialog.h"

void ChoicePage::InitDialog()
{
    auto* group = new QGroupBox(QStringLiteral("Comparison result"), this);
    script_ = new QRadioButton(QStringLiteral("Save SQL script and synchronize databases"), group);
    html_ = new QRadioButton(QStringLiteral("Save comparison result as HTML report"), group);
    excel_ = new QRadioButton(QStringLiteral("Save comparison result as Excel sheet"), group);
    auto* inner = new QVBoxLayout(group);
    inner->addWidget(script_);
    inner->addWidget(html_);
    inner->addWidget(excel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    script_->setChecked(true);
}

void ChoicePage::Apply()
{
    const int offset = script_->isChecked() ? kScriptOffset
                       : html_->isChecked() ? kHtmlReportOffset
                                            : kExcelReportOffset;
    Wizard().SetForwardOffset(offset);
}
