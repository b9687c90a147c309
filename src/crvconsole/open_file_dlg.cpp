#include "crvconsole/open_file_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/frame_dialogs.h"

namespace {

QPushButton* MakeBrowseButton(QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

COpenFileDlg::COpenFileDlg(ConnectionSettings& settings, ui::FrameDialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent), settings_(settings), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("Open database"));

    auto* group = new QGroupBox(QStringLiteral("Target database"), this);
    auto* grid = new QGridLayout(group);
    databaseName_ = new QLineEdit(group);
    databasePassword_ = new QLineEdit(group);
    databasePassword_->setEchoMode(QLineEdit::Password);
    userName_ = new QLineEdit(group);
    userPassword_ = new QLineEdit(group);
    userPassword_->setEchoMode(QLineEdit::Password);
    systemDatabase_ = new QLineEdit(group);
    browseDatabase_ = MakeBrowseButton(group);
    browseSystemDatabase_ = MakeBrowseButton(group);

    const struct {
        const char* label;
        QLineEdit* edit;
        QPushButton* browse;
    } rows[] = {
        {"Database name:", databaseName_, browseDatabase_},
        {"Database password:", databasePassword_, nullptr},
        {"User name:", userName_, nullptr},
        {"User password:", userPassword_, nullptr},
        {"System database:", systemDatabase_, browseSystemDatabase_},
    };
    int row = 0;
    for (const auto& entry : rows) {
        auto* label = new QLabel(QString::fromLatin1(entry.label), group);
        label->setBuddy(entry.edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(entry.edit, row, 1);
        if (entry.browse)
            grid->addWidget(entry.browse, row, 2);
        ++row;
    }
    grid->setColumnMinimumWidth(1, 260);

    auto* note = new QLabel(QStringLiteral("Leave the fields empty if your database is not "
                                           "protected with msaccess user level security."),
                            this);
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COpenFileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COpenFileDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(note);
    layout->addWidget(buttons);

    databaseName_->setText(QString::fromStdWString(settings_.path));
    systemDatabase_->setText(QString::fromStdWString(settings_.systemDatabase));
    databasePassword_->setText(QString::fromStdWString(settings_.databasePassword));
    userName_->setText(QString::fromStdWString(settings_.userName));
    userPassword_->setText(QString::fromStdWString(settings_.userPassword));

    connect(browseDatabase_, &QPushButton::clicked, this, [this] {
        Browse(databaseName_, L"Microsoft Access Databases (*.mdb;*.accdb)", L"*.mdb;*.accdb");
    });
    connect(browseSystemDatabase_, &QPushButton::clicked, this,
            [this] { Browse(systemDatabase_, L"Access Files (*.mdw)", L"*.mdw"); });
}

QLineEdit* COpenFileDlg::Field(int controlId) const
{
    switch (controlId) {
        case kDatabaseName:
            return databaseName_;
        case kDatabasePassword:
            return databasePassword_;
        case kUserName:
            return userName_;
        case kUserPassword:
            return userPassword_;
        case kSystemDatabase:
            return systemDatabase_;
        default:
            return nullptr;
    }
}

QPushButton* COpenFileDlg::BrowseButton(int controlId) const
{
    if (controlId == kBrowseDatabase)
        return browseDatabase_;
    if (controlId == kBrowseSystemDatabase)
        return browseSystemDatabase_;
    return nullptr;
}

void COpenFileDlg::accept()
{
    settings_.Assign(databaseName_->text().toStdWString(), systemDatabase_->text().toStdWString(),
                     databasePassword_->text().toStdWString(), userName_->text().toStdWString(),
                     userPassword_->text().toStdWString());
    QDialog::accept();
}

void COpenFileDlg::Browse(QLineEdit* target, const std::wstring& description,
                          const std::wstring& patterns)
{
    std::wstring path;
    if (dialogs_.GetOpenFileName(this, {{description, patterns}, {L"All Files (*.*)", L"*.*"}},
                                 path))
        target->setText(QString::fromStdWString(path));
}
