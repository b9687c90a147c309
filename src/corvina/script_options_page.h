// The page that names the synchronisation script, its encoding, the direction of the upgrade and
// the kinds of statements, and whether the script also runs against the target at once (after a
// backup copy). Next hands the choices to the comparison context.
#pragma once

#include <string>

#include "corvina/wizard_page.h"

class ComparisonContext;
class PathLabel;
class QCheckBox;
class QComboBox;
class QRadioButton;
class SaveFileField;

class ScriptOptionsPage : public DialogPage {
    Q_OBJECT
public:
    static constexpr int kScriptOnlyOffset = 1;
    static constexpr int kSynchronizeOffset = 4;
    static constexpr const wchar_t* kIncompleteMessage =
        L"Enter a file name and records' type to save";

    explicit ScriptOptionsPage(ComparisonContext& context);

    void OnEnter() override;
    void Apply() override;
    bool Validate() override;

    SaveFileField* OutputFile() const { return output_; }
    // The path of Database1 (side 1) or Database2 (side 2) above the directions.
    PathLabel* DatabasePathLabel(int side) const { return side == 1 ? path1_ : path2_; }
    QComboBox* Encoding() const { return encoding_; }
    QCheckBox* RunSynchronization() const { return run_; }
    QCheckBox* CreateBackup() const { return backup_; }
    QRadioButton* Upgrade1To2() const { return upgrade1_; }
    QRadioButton* Upgrade2To1() const { return upgrade2_; }
    QCheckBox* AddRecords() const { return add_; }
    QCheckBox* UpdateRecords() const { return update_; }
    QCheckBox* DeleteRecords() const { return delete_; }

protected:
    void InitDialog() override;

private:
    void ReadChoices();

    ComparisonContext& context_;
    SaveFileField* output_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QCheckBox* run_ = nullptr;
    QCheckBox* backup_ = nullptr;
    PathLabel* path1_ = nullptr;
    PathLabel* path2_ = nullptr;
    QRadioButton* upgrade1_ = nullptr;
    QRadioButton* upgrade2_ = nullptr;
    QCheckBox* add_ = nullptr;
    QCheckBox* update_ = nullptr;
    QCheckBox* delete_ = nullptr;

    int encodingChoice_ = 0;
    int direction_ = 0;
    std::wstring path_;
    bool insert_ = false;
    bool updateChoice_ = false;
    bool erase_ = false;
};
