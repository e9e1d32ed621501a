#include "ui/icon.h"

#include "icon_svg.h"

#include <QPainter>
#include <QSvgRenderer>

namespace quillonde {

namespace {

// Below this size the letters blur into a grey blot: the small drawing leaves them out.
constexpr int smallest_with_letters = 32;

} // namespace

QImage draw_icon(int size)
{
    QSvgRenderer drawing(QByteArray(size < smallest_with_letters ? small_icon_svg : icon_svg));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawing.render(&painter);
    return image;
}

QIcon quillonde_icon()
{
    QIcon icon;
    for (const int size : icon_sizes) {
        icon.addPixmap(QPixmap::fromImage(draw_icon(size)));
    }
    return icon;
}

} // namespace quillonde
