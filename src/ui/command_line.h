#pragma once

#include <QString>
#include <QStringList>

namespace quillonde {

/// Reads the window's command line, `quillonde [CAST]`: prints the help or the version and exits
/// for --help and --version, prints the usage and exits with status 1 on a wrong command line.
/// Returns the cast to open, or an empty text.
QString cast_argument(const QStringList& arguments);

/// Whether a window can be shown: a display, or a platform chosen by QT_QPA_PLATFORM or -platform.
bool display_available(int argc, char** argv);

/// Without a display: answers --help and --version as usual, else says why no window can open.
/// Returns the exit status.
int run_without_display(int argc, char** argv);

} // namespace quillonde
