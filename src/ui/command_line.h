#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillonde {

/// What the window's command line asks for.
struct StartOptions {
    QString cast;             ///< the cast to open, or an empty text
    std::optional<bool> salt; ///< the water to select: true for --salt, false for --fresh
    QString latitude;         ///< with --salt: the latitude for tx_lat
};

/// Reads the window's command line, `quillonde [--fresh | --salt --latitude LAT] [CAST]`: prints the
/// help or the version and exits for --help and --version, prints the usage and exits with status 1
/// on a wrong command line (--fresh with --salt or --latitude, --salt without --latitude, a latitude
/// that is empty or beyond -90 to 90, more than one cast).
StartOptions start_options(const QStringList& arguments);

/// Whether a window can be shown: a display, or a platform chosen by QT_QPA_PLATFORM or -platform.
bool display_available(int argc, char** argv);

/// Without a display: answers --help and --version as usual, else says why no window can open.
/// Returns the exit status.
int run_without_display(int argc, char** argv);

} // namespace quillonde
