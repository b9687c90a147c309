#include "platform/ui/frame_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QStringList>

#include "platform/ui/message_box.h"

namespace ui {

// Qt reads the patterns of a type from the parentheses at the end of its text, separated by
// blanks; the texts shown keep their own wording and the patterns follow in Qt's form.
QStringList QtNameFilters(const std::vector<FileFilter>& filters)
{
    QStringList list;
    for (const FileFilter& filter : filters) {
        QString patterns = QString::fromStdWString(filter.patterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString text = QString::fromStdWString(filter.description);
        const QString shown =
            QLatin1Char('(') + QString::fromStdWString(filter.patterns) + QLatin1Char(')');
        if (text.endsWith(shown))
            text.chop(shown.size());
        list << text.trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return list;
}

int FrameDialogs::MessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption,
                             unsigned type)
{
    return ui::ShowMessageBox(owner, text, caption, type);
}

bool FrameDialogs::GetOpenFileName(QWidget* owner, const std::vector<FileFilter>& filters,
                                   std::wstring& path)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(filters));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().front().toStdWString();
    return true;
}

bool FrameDialogs::GetSaveFileName(QWidget* owner, const std::vector<FileFilter>& filters,
                                   std::wstring& path, int& filterIndex)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList qtFilters = QtNameFilters(filters);
    dialog.setNameFilters(qtFilters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().front().toStdWString();
    filterIndex = static_cast<int>(qtFilters.indexOf(dialog.selectedNameFilter()));
    return true;
}

int FrameDialogs::RunModal(QDialog& dialog)
{
    return dialog.exec();
}

FrameDialogs& DefaultFrameDialogs()
{
    static FrameDialogs dialogs;
    return dialogs;
}

}  // namespace ui
