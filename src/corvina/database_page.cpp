#include "corvina/database_page.h"

#include <QCompleter>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <sys/stat.h>

#include "corvina/wizard_dialog.h"
#include "database/connection_settings.h"
#include "platform/automation/wide_text.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"

namespace {

const std::vector<ui::FileFilter> kDatabaseFilters = {
    {L"Microsoft Access Databases (*.mdb;*.accdb)", L"*.mdb;*.accdb"},
    {L"All Files (*.*)", L"*.*"},
};
const std::vector<ui::FileFilter> kSystemDatabaseFilters = {
    {L"Access Files (*.mdw)", L"*.mdw"},
    {L"All Files (*.*)", L"*.*"},
};

// Typed paths complete from the file system.
void CompletePaths(QLineEdit* edit)
{
    auto* model = new QFileSystemModel(edit);
    model->setRootPath(QString());
    auto* completer = new QCompleter(model, edit);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    edit->setCompleter(completer);
}

QString Text(const std::wstring& value)
{
    return QString::fromStdWString(value);
}

}  // namespace

DatabasePage::DatabasePage(ConnectionSettings& settings, const ConnectionSettings* other)
    : settings_(settings), other_(other)
{
}

void DatabasePage::InitDialog()
{
    auto* group = new QGroupBox(QStringLiteral("Source database"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    auto withBrowse = [&](QLineEdit*& edit, QPushButton*& button) {
        edit = new QLineEdit(group);
        button = new QPushButton(QStringLiteral("..."), group);
        button->setAutoDefault(false);
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(button);
        return row;
    };
    auto password = [&]() {
        auto* edit = new QLineEdit(group);
        edit->setEchoMode(QLineEdit::Password);
        return edit;
    };

    form->addRow(QStringLiteral("Database name:"), withBrowse(path_, browseDatabase_));
    databasePassword_ = password();
    form->addRow(QStringLiteral("Database password:"), databasePassword_);
    user_ = new QLineEdit(group);
    form->addRow(QStringLiteral("User name:"), user_);
    userPassword_ = password();
    form->addRow(QStringLiteral("User password:"), userPassword_);
    form->addRow(QStringLiteral("System database:"),
                 withBrowse(systemDatabase_, browseSystemDatabase_));

    auto* note = new QLabel(QStringLiteral("Leave the fields empty if your database is not "
                                           "protected with msaccess user level security."),
                            this);
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(note);
    layout->addStretch();

    CompletePaths(path_);
    CompletePaths(systemDatabase_);
    path_->setText(Text(settings_.path));
    systemDatabase_->setText(Text(settings_.systemDatabase));
    databasePassword_->setText(Text(settings_.databasePassword));
    user_->setText(Text(settings_.userName));
    userPassword_->setText(Text(settings_.userPassword));

    connect(browseDatabase_, &QPushButton::clicked, this, [this] { Browse(path_, false); });
    connect(browseSystemDatabase_, &QPushButton::clicked, this,
            [this] { Browse(systemDatabase_, true); });
    path_->setFocus();
}

void DatabasePage::Browse(QLineEdit* edit, bool systemDatabase)
{
    std::wstring chosen;
    if (Wizard().Dialogs().GetOpenFileName(window(),
                                           systemDatabase ? kSystemDatabaseFilters
                                                          : kDatabaseFilters,
                                           chosen))
        edit->setText(Text(chosen));
}

void DatabasePage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            DialogPage::keyPressEvent(event);
    }
}

void DatabasePage::Apply()
{
    settings_.Assign(path_->text().toStdWString(), systemDatabase_->text().toStdWString(),
                     databasePassword_->text().toStdWString(), user_->text().toStdWString(),
                     userPassword_->text().toStdWString());
    if (IsOtherSidesFile())
        Wizard().Dialogs().MessageBox(window(), kSameFileMessage, L"Error",
                                      ui::MB_OK | ui::MB_ICONERROR);
}

bool DatabasePage::Validate()
{
    return !settings_.path.empty() && !IsOtherSidesFile();
}

// One file, whatever its names: a symbolic or hard link, ./, ../ or // in either path.
bool DatabasePage::IsOtherSidesFile() const
{
    if (!other_ || settings_.path.empty() || other_->path.empty())
        return false;
    struct stat mine {}, theirs {};
    return ::stat(automation::ToUtf8(settings_.path).c_str(), &mine) == 0 &&
           ::stat(automation::ToUtf8(other_->path).c_str(), &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}
