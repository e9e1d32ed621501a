#include "plot/plot_file.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <string>

namespace quillonde {

namespace {

constexpr int dots_per_inch = 96;
constexpr int png_scale = 2;
constexpr int font_pixels = 13;

bool ends_with(std::string_view path, std::string_view extension)
{
    return path.size() >= extension.size() &&
           std::equal(extension.begin(), extension.end(),
                      path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

void paint_on(QPaintDevice& device, ProfilePlot& plot, QSize size)
{
    QPainter painter(&device);
    QFont font = painter.font();
    font.setPixelSize(font_pixels);
    painter.setFont(font);
    plot.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
}

} // namespace

PlotFormat plot_format_for(std::string_view path)
{
    if (ends_with(path, ".png")) {
        return PlotFormat::png;
    }
    return ends_with(path, ".pdf") ? PlotFormat::pdf : PlotFormat::svg;
}

QByteArray render_plot(ProfilePlot& plot, PlotFormat format, QSize size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PlotFormat::svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(dots_per_inch);
        svg.setTitle(QStringLiteral("Profile"));
        svg.setDescription(plot.summary());
        paint_on(svg, plot, size);
        break;
    }
    case PlotFormat::png: {
        QImage image(size * png_scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(png_scale);
        image.setDotsPerMeterX(dots_per_inch * png_scale * 10000 / 254);
        image.setDotsPerMeterY(dots_per_inch * png_scale * 10000 / 254);
        paint_on(image, plot, size);
        image.save(&buffer, "PNG");
        break;
    }
    case PlotFormat::pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(dots_per_inch);
        pdf.setPageSize(QPageSize(QSizeF(size) / dots_per_inch, QPageSize::Inch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QStringLiteral("Profile"));
        paint_on(pdf, plot, size);
        break;
    }
    }
    return bytes;
}

} // namespace quillonde
