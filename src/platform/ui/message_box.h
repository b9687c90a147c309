// Message boxes with the Windows MB_ flags and ID results, shown as QMessageBox;
// without a display the message goes to standard error.
#pragma once

#include <memory>
#include <string>

class QMessageBox;
class QWidget;

namespace ui {

// Buttons (the low four bits).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
// Icons.
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONHAND = MB_ICONERROR;
constexpr unsigned MB_ICONSTOP = MB_ICONERROR;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONEXCLAMATION = MB_ICONWARNING;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONASTERISK = MB_ICONINFORMATION;

// Results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a modal message box over `owner` (none: application-modal) and returns
// the ID of the button pressed; closing the box counts as Cancel, or as the only
// button of an OK box, or as No in a Yes/No box. Without a display (no QApplication,
// the "offscreen" or "minimal" platform) or off the UI thread it writes
// "caption: text" to standard error and returns the first button's ID at once.
int ShowMessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption,
                   unsigned type);

// The box ShowMessageBox shows, not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const std::wstring& text,
                                            const std::wstring& caption, unsigned type);

// True when a box shows on a screen: called on the thread of a QApplication whose platform is
// neither "offscreen" nor "minimal".
bool HasDisplay();

// The ID of the box's first button: what a box without a display answers.
int DefaultMessageBoxResult(unsigned type);

}  // namespace ui
