// The About box: the program's name and version, a link to its web site and the credit of the
// HTML engine its pages are drawn with.
#pragma once

#include <QDialog>

class QLabel;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "2.1";
    static constexpr const char* kWebAddress = "https://corvina.example/";
    static constexpr const char* kEngineAddress = "http://www.litehtml.com/";

    explicit AboutDialog(QWidget* parent);

    QLabel* NameText() const { return name_; }
    QLabel* SiteLink() const { return site_; }
    QLabel* EngineLink() const { return engine_; }

private:
    QLabel* name_;
    QLabel* site_;
    QLabel* engine_;
};
