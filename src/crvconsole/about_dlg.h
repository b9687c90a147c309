// The script runner's About box: program name, version and the maker's web address.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "2.2";
    static constexpr const char* kWebAddress = "https://corvina.example/";

    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* TextLabel() const { return text_; }
    QLabel* Hyperlink() const { return link_; }

private:
    QLabel* text_;
    QLabel* link_;
};
