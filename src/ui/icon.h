#pragma once

#include <QIcon>
#include <QImage>

#include <array>

namespace quillonde {

/// The sizes in pixels desktops ask for, and the icon theme holds.
inline constexpr std::array icon_sizes{16, 22, 24, 32, 36, 48, 64, 128, 256};

/// The program's icon at `size` x `size` pixels, rendered from data/icons/quillonde.svg (from 32 px)
/// or from quillonde-small.svg, the red sound velocity curve and the frame without the letters SVP.
/// The window, the desktop entry and the package all take it from here.
QImage draw_icon(int size);

/// The icon at the sizes desktops ask for.
QIcon quillonde_icon();

} // namespace quillonde
