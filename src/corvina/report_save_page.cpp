#include "corvina/report_save_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "compare/comparison_context.h"
#include "corvina/save_file_field.h"
#include "corvina/wizard_dialog.h"
#include "platform/ui/message_box.h"

const ReportSavePage::Report& ReportSavePage::HtmlReport()
{
    static const Report report{L"Save HTML report",
                               L".html",
                               {{L"HTML Files (*.html)", L"*.html"}, {L"All Files (*.*)", L"*.*"}},
                               &ComparisonContext::CreateHtmlReport,
                               &ComparisonContext::HtmlReportTask};
    return report;
}

const ReportSavePage::Report& ReportSavePage::ExcelReport()
{
    static const Report report{L"Save Excel report",
                               L".xls",
                               {{L"Excel Files (*.xls)", L"*.xls"}, {L"All Files (*.*)", L"*.*"}},
                               &ComparisonContext::CreateExcelReport,
                               &ComparisonContext::ExcelReportTask};
    return report;
}

ReportSavePage::ReportSavePage(ComparisonContext& context, const Report& report)
    : context_(context), report_(report)
{
}

void ReportSavePage::InitDialog()
{
    group_ = new QGroupBox(QString::fromWCharArray(report_.title), this);
    output_ = new SaveFileField(Wizard().Dialogs(), report_.filters, report_.extension, group_);
    first_ = new QCheckBox(QStringLiteral("Unique records from Database1"), group_);
    second_ = new QCheckBox(QStringLiteral("Unique records from Database2"), group_);
    modified_ = new QCheckBox(QStringLiteral("Modified records"), group_);
    equal_ = new QCheckBox(QStringLiteral("Equal records"), group_);
    auto* form = new QFormLayout(group_);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("Output file:"), output_);
    form->addRow(first_);
    form->addRow(second_);
    form->addRow(modified_);
    form->addRow(equal_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group_);
    layout->addStretch();
}

void ReportSavePage::OnEnter()
{
    first_->setChecked(true);
    second_->setChecked(true);
    modified_->setChecked(true);
    equal_->setChecked(false);
    output_->Edit()->setFocus();
}

bool ReportSavePage::Validate()
{
    return !path_.empty() && (firstChoice_ || secondChoice_ || modifiedChoice_ || equalChoice_) &&
           !NamesDatabaseFile(path_, context_);
}

void ReportSavePage::Apply()
{
    firstChoice_ = first_->isChecked();
    secondChoice_ = second_->isChecked();
    modifiedChoice_ = modified_->isChecked();
    equalChoice_ = equal_->isChecked();
    path_ = output_->Path();
    if (!Validate()) {
        Wizard().Dialogs().MessageBox(window(),
                                      NamesDatabaseFile(path_, context_) ? kNamesDatabaseMessage
                                                                         : kIncompleteMessage,
                                      L"Save", ui::MB_OK);
        return;
    }
    (context_.*report_.make)(path_, firstChoice_, secondChoice_, modifiedChoice_, equalChoice_);
}
