// "Comparison settings": the one option of the data comparison, kept per user.
#pragma once

#include <QDialog>

#include "compare/comparison_options.h"

class QCheckBox;

namespace ui {
class FrameDialogs;
}

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const wchar_t* kSaveFailedMessage = L"Can't save the setting.";

    SettingsDialog(ui::FrameDialogs& dialogs, QWidget* parent);

    QCheckBox* NullEqualsEmpty() const { return nullEqualsEmpty_; }

    // OK: the option is written; a write that fails is reported and the dialog stays open.
    void accept() override;

private:
    ui::FrameDialogs& dialogs_;
    ComparisonOptions options_;
    QCheckBox* nullEqualsEmpty_;
};
