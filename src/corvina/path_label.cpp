#include "corvina/path_label.h"

#include <QPainter>

PathLabel::PathLabel(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::SetPath(const QString& path)
{
    path_ = path;
    setText(path);
    setToolTip(path);
}

QString PathLabel::Shorten(const QString& path, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const int nameWidth = metrics.horizontalAdvance(name);
    const QString ellipsis(QChar(0x2026));
    // The folder gets what the name leaves; it keeps at least its ellipsis so that the reader
    // sees that something was cut.
    if (!folder.isEmpty() && nameWidth + metrics.horizontalAdvance(ellipsis) <= width) {
        QString shortFolder = metrics.elidedText(folder, Qt::ElideMiddle, width - nameWidth);
        if (shortFolder.isEmpty())
            shortFolder = ellipsis;
        return shortFolder + name;
    }
    return metrics.elidedText(name, Qt::ElideMiddle, width);
}

QString PathLabel::ShownText() const
{
    return Shorten(path_, fontMetrics(), contentsRect().width());
}

QSize PathLabel::minimumSizeHint() const
{
    return {fontMetrics().averageCharWidth() * 8, QLabel::minimumSizeHint().height()};
}

void PathLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}
