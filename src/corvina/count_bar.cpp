#include "corvina/count_bar.h"

#include <QPainter>

#include "corvina/colors.h"

namespace {

constexpr std::uint32_t kFrame = 0x8B0000;
constexpr std::uint32_t kDone = 0xFF6666;
constexpr std::uint32_t kRemaining = 0xE6D8AD;

}  // namespace

CountBar::CountBar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CountBar::SetValues(std::int64_t done, std::int64_t total)
{
    if (done == done_ && total == total_)
        return;
    done_ = done;
    total_ = total;
    update();
}

QString CountBar::Text() const
{
    return QString::number(done_) + QStringLiteral(" of ") + QString::number(total_);
}

int CountBar::FilledWidth(int width, std::int64_t done, std::int64_t total)
{
    if (width <= 0 || total <= 0 || done <= 0)
        return 0;
    if (done >= total)
        return width;
    // width * done may not fit in 64 bits for counts near their limit.
    return int(static_cast<__int128>(width) * done / total);
}

QSize CountBar::sizeHint() const
{
    return {160, 18};
}

void CountBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), ColorFromColorRef(kFrame));
    const int filled = FilledWidth(inner.width(), done_, total_);
    painter.fillRect(QRect(inner.left(), inner.top(), filled, inner.height()),
                     ColorFromColorRef(kDone));
    painter.fillRect(
        QRect(inner.left() + filled, inner.top(), inner.width() - filled, inner.height()),
        ColorFromColorRef(kRemaining));
    QFont font = this->font();
    font.setPixelSize(12);
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    // White on the done share; on the light remainder the same text in the frame's dark blue,
    // so that it reads on both parts, also where a letter stands across the boundary.
    const QRect done(inner.left(), inner.top(), filled, inner.height());
    const QRect remaining(inner.left() + filled, inner.top(), inner.width() - filled,
                          inner.height());
    painter.setClipRect(done);
    painter.setPen(Qt::white);
    painter.drawText(inner, Qt::AlignCenter, Text());
    painter.setClipRect(remaining);
    painter.setPen(ColorFromColorRef(kFrame));
    painter.drawText(inner, Qt::AlignCenter, Text());
}
