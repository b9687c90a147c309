// The plain-text pane of the script runner's window (script editor and output): no line
// wrapping, scroll bars both ways, and Ctrl+A selects the whole text.
#pragma once

#include <QPlainTextEdit>

class CEditOEA : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CEditOEA(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
