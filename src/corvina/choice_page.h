// The page after the records window: what to do with the comparison result. The choice becomes
// the forward offset of its step, so Next branches to the script, the HTML report or the sheet.
#pragma once

#include "corvina/wizard_page.h"

class QRadioButton;

class ChoicePage : public DialogPage {
    Q_OBJECT
public:
    static constexpr int kScriptOffset = 1;
    static constexpr int kHtmlReportOffset = 9;
    static constexpr int kExcelReportOffset = 13;

    void Apply() override;

    QRadioButton* ScriptChoice() const { return script_; }
    QRadioButton* HtmlChoice() const { return html_; }
    QRadioButton* ExcelChoice() const { return excel_; }

protected:
    void InitDialog() override;

private:
    QRadioButton* script_ = nullptr;
    QRadioButton* html_ = nullptr;
    QRadioButton* excel_ = nullptr;
};
