// The "Open database" dialog: the database file and its credentials.
#pragma once

#include <QDialog>

#include "database/connection_settings.h"

class QLineEdit;
class QPushButton;

namespace ui {
class FrameDialogs;
}

class COpenFileDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog's fields and buttons.
    static constexpr int kDatabaseName = 202;
    static constexpr int kBrowseDatabase = 203;
    static constexpr int kDatabasePassword = 204;
    static constexpr int kUserName = 205;
    static constexpr int kUserPassword = 206;
    static constexpr int kSystemDatabase = 207;
    static constexpr int kBrowseSystemDatabase = 208;

    // Shows `settings`; OK stores the five fields back into it, Cancel leaves it alone.
    COpenFileDlg(ConnectionSettings& settings, ui::FrameDialogs& dialogs,
                 QWidget* parent = nullptr);

    // The edit with the given control id; null for any other id.
    QLineEdit* Field(int controlId) const;
    // The "..." button with the given control id; null for any other id.
    QPushButton* BrowseButton(int controlId) const;

    void accept() override;

private:
    void Browse(QLineEdit* target, const std::wstring& description, const std::wstring& patterns);

    ConnectionSettings& settings_;
    ui::FrameDialogs& dialogs_;
    QLineEdit* databaseName_;
    QLineEdit* databasePassword_;
    QLineEdit* userName_;
    QLineEdit* userPassword_;
    QLineEdit* systemDatabase_;
    QPushButton* browseDatabase_;
    QPushButton* browseSystemDatabase_;
};
