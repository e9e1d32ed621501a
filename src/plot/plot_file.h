#pragma once

#include "plot/profile_plot.h"

#include <QByteArray>
#include <QSize>

#include <string_view>

namespace quillonde {

enum class PlotFormat { svg, png, pdf };

/// The format an output path asks for: PNG for ".png", PDF for ".pdf" (any case), else SVG.
PlotFormat plot_format_for(std::string_view path);

/// The plot as the bytes of a file, `size` in pixels at 96 dots per inch (a PNG has twice as many
/// for sharp text). Needs a QGuiApplication, for the fonts.
QByteArray render_plot(ProfilePlot& plot, PlotFormat format, QSize size = {1100, 780});

} // namespace quillonde
