// The page of the two report branches: the output file and the record kinds to include. Next has
// the comparison context make the report task that the following progress step runs.
#pragma once

#include <string>
#include <vector>

#include "corvina/wizard_page.h"
#include "platform/ui/frame_dialogs.h"

class ComparisonContext;
class QCheckBox;
class QGroupBox;
class SaveFileField;
class WizardTask;

class ReportSavePage : public DialogPage {
    Q_OBJECT
public:
    static constexpr const wchar_t* kIncompleteMessage =
        L"Enter a file name and records' type to save";

    // What tells the two reports apart.
    struct Report {
        const wchar_t* title;
        const wchar_t* extension;
        std::vector<ui::FileFilter> filters;
        // Makes the report task: path, only in Database1, only in Database2, modified, equal.
        WizardTask* (ComparisonContext::*make)(const std::wstring&, bool, bool, bool, bool);
        // The task made last, for the progress step.
        WizardTask* (ComparisonContext::*task)() const;
    };
    static const Report& HtmlReport();
    static const Report& ExcelReport();

    ReportSavePage(ComparisonContext& context, const Report& report);

    void OnEnter() override;
    void Apply() override;
    bool Validate() override;

    QGroupBox* Group() const { return group_; }
    SaveFileField* OutputFile() const { return output_; }
    QCheckBox* FirstOnly() const { return first_; }
    QCheckBox* SecondOnly() const { return second_; }
    QCheckBox* Modified() const { return modified_; }
    QCheckBox* Equal() const { return equal_; }

protected:
    void InitDialog() override;

private:
    ComparisonContext& context_;
    const Report& report_;
    QGroupBox* group_ = nullptr;
    SaveFileField* output_ = nullptr;
    QCheckBox* first_ = nullptr;
    QCheckBox* second_ = nullptr;
    QCheckBox* modified_ = nullptr;
    QCheckBox* equal_ = nullptr;
    std::wstring path_;
    bool firstChoice_ = false;
    bool secondChoice_ = false;
    bool modifiedChoice_ = false;
    bool equalChoice_ = false;
};
