// A label that shows a file path shortened in the middle when it does not fit, so that both the
// folder's start and the file name stay readable; the whole path is its tool tip.
#pragma once

#include <QLabel>

class PathLabel : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    QString Path() const { return path_; }
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
};
