// The "Output file:" row of the save pages: an edit with a browse button whose save dialog adds
// the page's extension to a name typed without one.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "platform/ui/frame_dialogs.h"

class ComparisonContext;
class QLineEdit;
class QPushButton;

class SaveFileField : public QWidget {
    Q_OBJECT
public:
    SaveFileField(ui::FrameDialogs& dialogs, std::vector<ui::FileFilter> filters,
                  std::wstring extension, QWidget* parent);

    std::wstring Path() const;
    QLineEdit* Edit() const { return edit_; }
    QPushButton* BrowseButton() const { return browse_; }

    // The chosen name with the extension added when the first type was chosen and the file name
    // (without its folder) has no "." in it.
    static std::wstring WithExtension(const std::wstring& path, int filterIndex,
                                      const std::wstring& extension);

private:
    void Browse();

    ui::FrameDialogs& dialogs_;
    std::vector<ui::FileFilter> filters_;
    std::wstring extension_;
    QLineEdit* edit_;
    QPushButton* browse_;
};

// What the save pages say when the chosen file is one the comparison must not overwrite.
constexpr const wchar_t* kNamesDatabaseMessage =
    L"The file would overwrite one of the compared databases or one of their log, lock or backup "
    L"files. Choose another file name.";

// True when writing a file at path would overwrite one of the two databases (by any name, a
// hard link included), the log, shared-memory and journal files SQLite keeps beside them (even
// before they exist), their lock files or their backup copies.
bool NamesDatabaseFile(const std::wstring& path, const ComparisonContext& context);
