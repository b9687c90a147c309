#include "crvconsole/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawDrum(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 8.0;
    const qreal width = size - 2 * margin;
    const qreal lid = size / 4.0;  // height of the elliptic top and bottom
    const QRectF top(margin, margin, width, lid);
    const QRectF bottom(margin, size - margin - lid, width, lid);
    const QColor body(0x3A, 0x6E, 0xA5);
    const QColor light(0x8F, 0xB8, 0xDE);

    QPainterPath drum;
    drum.moveTo(top.left(), top.center().y());
    drum.lineTo(bottom.left(), bottom.center().y());
    drum.arcTo(bottom, 180, 180);
    drum.lineTo(top.right(), top.center().y());
    drum.arcTo(top, 0, -180);
    painter.setPen(QPen(body.darker(150), size / 32.0 + 0.5));
    painter.setBrush(body);
    painter.drawPath(drum);
    // Bands between the stacked disks.
    for (int band = 1; band <= 2; ++band) {
        QRectF ring = top.translated(0, band * (bottom.top() - top.top()) / 3.0);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(ring, 180 * 16, 180 * 16);
    }
    painter.setBrush(light);
    painter.drawEllipse(top);
    return pixmap;
}

}  // namespace

QIcon DatabaseIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(DrawDrum(size));
    return icon;
}
