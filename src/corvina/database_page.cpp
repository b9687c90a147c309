#include "corvina/database_page.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
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

// The list of completions takes the mouse while it is open, and by itself a click outside it
// only closes it: the keyboard would stay in the path field, and a password typed next would
// show there in clear. Here the click also reaches the control it was meant for. A list that
// offers only what is typed already has nothing to add and closes, so that it does not hang
// over the fields below once a whole path is in.
class CompletionList : public QObject {
public:
    CompletionList(QCompleter* completer, QLineEdit* edit)
        : QObject(completer->popup()),
          completer_(completer),
          popup_(completer->popup()),
          edit_(edit)
    {
        popup_->installEventFilter(this);  // after the completer's own filter: runs first
        // The completer fills the list after the edit; look once it is done.
        connect(
            edit_, &QLineEdit::textEdited, this, [this] { CloseWhenComplete(); },
            Qt::QueuedConnection);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            // Also when the list comes back by itself, as the folder's entries arrive.
            QMetaObject::invokeMethod(
                this, [this] { CloseWhenComplete(); }, Qt::QueuedConnection);
            return false;
        }
        if (event->type() != QEvent::MouseButtonPress || !popup_->isVisible())
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF global = mouse->globalPosition();
        if (popup_->rect().contains(popup_->mapFromGlobal(global).toPoint()))
            return false;
        popup_->hide();
        PassOn(*mouse, global);
        return true;
    }

private:
    void CloseWhenComplete()
    {
        if (popup_->isVisible() && completer_->completionCount() == 1 &&
            completer_->currentCompletion() == edit_->text())
            popup_->hide();
    }

    // The press goes to the control under the pointer, which takes the keyboard as a click
    // gives it.
    void PassOn(const QMouseEvent& mouse, QPointF global)
    {
        QWidget* window = edit_->window();
        QWidget* target = window->childAt(window->mapFromGlobal(global).toPoint());
        if (!target)
            return;
        for (QWidget* w = target; w; w = w->parentWidget()) {
            if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
                w->setFocus(Qt::MouseFocusReason);
                break;
            }
            if (w->isWindow())
                break;
        }
        QMouseEvent press(QEvent::MouseButtonPress, target->mapFromGlobal(global), global,
                          mouse.button(), mouse.buttons(), mouse.modifiers());
        QCoreApplication::sendEvent(target, &press);
    }

    QCompleter* completer_;
    QWidget* popup_;
    QLineEdit* edit_;
};

// Typed paths complete from the file system.
void CompletePaths(QLineEdit* edit)
{
    auto* model = new QFileSystemModel(edit);
    model->setRootPath(QString());
    auto* completer = new QCompleter(model, edit);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    edit->setCompleter(completer);
    new CompletionList(completer, edit);
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
