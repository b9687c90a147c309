// Where a window asks the user something: message boxes, file dialogs and its
// own modal dialogs. The windows call them through this one object so that another answerer can
// stand in (the tests answer without blocking).
#pragma once

#include <QStringList>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace ui {

// One entry of a file dialog's type list: the text shown and its patterns ("*.mdb;*.accdb").
struct FileFilter {
    std::wstring description;
    std::wstring patterns;

    bool operator==(const FileFilter&) const = default;
};

class FrameDialogs {
public:
    virtual ~FrameDialogs() = default;

    // The ID of the button pressed (ui::IDOK ...).
    virtual int MessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption,
                           unsigned type);

    // False when the user cancels; else `path` is the chosen file.
    virtual bool GetOpenFileName(QWidget* owner, const std::vector<FileFilter>& filters,
                                 std::wstring& path);

    // False when the user cancels; else `path` is the chosen file and `filterIndex` the
    // position (from 0) of the type chosen in `filters`.
    virtual bool GetSaveFileName(QWidget* owner, const std::vector<FileFilter>& filters,
                                 std::wstring& path, int& filterIndex);

    // Runs a modal dialog; its result (QDialog::Accepted or Rejected).
    virtual int RunModal(QDialog& dialog);
};

// The answerer that shows real dialogs.
FrameDialogs& DefaultFrameDialogs();

// The types of a file dialog as Qt reads them: the text, then the patterns in parentheses,
// separated by blanks ("Microsoft Access Databases (*.mdb *.accdb)").
QStringList QtNameFilters(const std::vector<FileFilter>& filters);

}  // namespace ui
