#include "ui/icon.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quillonde {

QImage draw_icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(std::max(6, static_cast<int>(s * 0.36)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("SVP"));

    // A sound velocity profile: fast at the warm surface, slower with depth, down to the bottom.
    QPainterPath curve(QPointF(s * 0.92, s * 0.06));
    curve.cubicTo(QPointF(s * 0.55, s * 0.25), QPointF(s * 0.75, s * 0.65), QPointF(s * 0.42, s * 0.97));
    QPen red(QColor(0xD0, 0x10, 0x10));
    red.setWidthF(std::max(1.5, s / 14.0));
    red.setCapStyle(Qt::RoundCap);
    painter.setPen(red);
    painter.drawPath(curve);

    QPen frame(Qt::black);
    frame.setWidthF(std::max(1.0, s / 36.0));
    frame.setJoinStyle(Qt::MiterJoin);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = frame.widthF() / 2.0;
    painter.drawRect(QRectF(inset, inset, s - 2 * inset, s - 2 * inset));
    return image;
}

QIcon quillonde_icon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 36, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(draw_icon(size)));
    }
    return icon;
}

} // namespace quillonde
