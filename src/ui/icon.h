#pragma once

#include <QIcon>
#include <QImage>

namespace quillonde {

/// The program's icon at `size` x `size` pixels: the black letters SVP on white, crossed by a red
/// sound velocity curve from the top right down to the bottom edge, in a thin black square frame.
/// The window, the desktop entry and the package all take it from here.
QImage draw_icon(int size);

/// The icon at the sizes desktops ask for.
QIcon quillonde_icon();

} // namespace quillonde
