// The page on which the user names one database of the comparison and the credentials that open
// it. It only fills the side's connection settings; the next step loads the database.
#pragma once

#include "corvina/wizard_page.h"

class ConnectionSettings;
class QLineEdit;
class QPushButton;

class DatabasePage : public DialogPage {
    Q_OBJECT
public:
    // `other`: the settings of the other side, whose file this page refuses (by any of its
    // names); null for the first side.
    explicit DatabasePage(ConnectionSettings& settings, const ConnectionSettings* other = nullptr);

    static constexpr const wchar_t* kSameFileMessage =
        L"This is the file of Database1. Choose another database to compare it with.";

    void Apply() override;
    bool Validate() override;

    QLineEdit* PathEdit() const { return path_; }
    QLineEdit* DatabasePasswordEdit() const { return databasePassword_; }
    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* UserPasswordEdit() const { return userPassword_; }
    QLineEdit* SystemDatabaseEdit() const { return systemDatabase_; }
    QPushButton* BrowseDatabaseButton() const { return browseDatabase_; }
    QPushButton* BrowseSystemDatabaseButton() const { return browseSystemDatabase_; }

protected:
    void InitDialog() override;
    // Enter and Escape in the page's fields neither move the wizard on nor close it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Browse(QLineEdit* edit, bool systemDatabase);

    bool IsOtherSidesFile() const;

    ConnectionSettings& settings_;
    const ConnectionSettings* other_;
    QLineEdit* path_ = nullptr;
    QLineEdit* databasePassword_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* userPassword_ = nullptr;
    QLineEdit* systemDatabase_ = nullptr;
    QPushButton* browseDatabase_ = nullptr;
    QPushButton* browseSystemDatabase_ = nullptr;
};
