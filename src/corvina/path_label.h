// A label that shows a file path shortened in its folder part when it does not fit, so that the
// file name stays whole and two paths that differ only there still read differently; the whole
// path is its tool tip.
#pragma once

#include <QLabel>

class PathLabel : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    QString Path() const { return path_; }
    // The text as it is drawn at the label's present width.
    QString ShownText() const;
    QSize minimumSizeHint() const override;

    // `path` as it fits into `width` pixels of `metrics`: whole when it fits; else the folder
    // part is shortened in the middle and the file name kept whole; only a file name that does
    // not fit by itself is shortened, in its middle, so that its extension stays.
    static QString Shorten(const QString& path, const QFontMetrics& metrics, int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
};
