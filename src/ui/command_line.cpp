#include "ui/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

namespace quillonde {

namespace {

constexpr auto cast_help = "A Sea & Sun cast (*.TOB) to load at start.";
constexpr auto no_display =
    "quillonde: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
    "is set); quillonde-cli converts casts without one\n";
constexpr auto one_cast = "quillonde: one cast at a time can be loaded\n";

} // namespace

QString cast_argument(const QStringList& arguments)
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillonde"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLONDE_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Depth from water pressure, and ELAC sound velocity profiles from Sea & Sun casts."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("CAST"), QString::fromUtf8(cast_help),
                                 QStringLiteral("[CAST]"));
    parser.process(arguments);
    const QStringList casts = parser.positionalArguments();
    if (casts.size() > 1) {
        std::fputs(one_cast, stderr);
        std::fputs(qPrintable(parser.helpText()), stderr);
        std::exit(EXIT_FAILURE);
    }
    return casts.isEmpty() ? QString() : casts.front();
}

bool display_available(int argc, char** argv)
{
    const std::span arguments(argv, static_cast<std::size_t>(argc));
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           std::any_of(arguments.begin(), arguments.end(),
                       [](const char* argument) { return std::strcmp(argument, "-platform") == 0; });
}

int run_without_display(int argc, char** argv)
{
    const QCoreApplication app(argc, argv);
    cast_argument(QCoreApplication::arguments());
    std::fputs(no_display, stderr);
    return EXIT_FAILURE;
}

} // namespace quillonde
