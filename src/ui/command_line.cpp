#include "ui/command_line.h"

#include "form/questions.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

namespace quillonde {

namespace {

constexpr auto cast_help = "A Sea & Sun cast (*.TOB) to load at start.";
constexpr auto no_display =
    "quillonde: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
    "is set); quillonde-cli converts casts without one\n";
constexpr auto one_cast = "quillonde: one cast at a time can be loaded\n";
constexpr auto fresh_help = "Fresh water: the pressure times a fixed factor.";
constexpr auto salt_help = "Sea water: the UNESCO 1983 formula, gravity by latitude. Needs --latitude.";
constexpr auto latitude_help = "The latitude in degrees, -90 to 90, for --salt.";
constexpr auto fresh_and_salt = "--fresh excludes --salt and --latitude";
constexpr auto salt_needs_latitude = "--salt needs --latitude LAT";
constexpr auto latitude_needs_salt = "--latitude needs --salt";
constexpr auto empty_latitude = "--latitude needs a number of degrees, -90 to 90";

/// Prints "quillonde: PROBLEM" and the usage, and ends the program as a wrong command line does.
[[noreturn]] void refuse(const QCommandLineParser& parser, const std::string& problem)
{
    std::fprintf(stderr, "quillonde: %s\n", problem.c_str());
    std::fputs(qPrintable(parser.helpText()), stderr);
    std::exit(EXIT_FAILURE);
}

/// Why a latitude of the command line is refused, or an empty text. One that is no number is left
/// to the window, which says so when it uses it.
std::string latitude_problem(const QString& latitude)
{
    const std::string text = latitude.trimmed().toStdString();
    if (text.empty()) {
        return empty_latitude;
    }
    try {
        if (!latitude_on_earth(str_to_long(text))) {
            return far_latitude_text(text);
        }
    } catch (const Error&) {
    }
    return {};
}

} // namespace

StartOptions start_options(const QStringList& arguments)
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillonde"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLONDE_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Depth from water pressure, and ELAC sound velocity profiles from Sea & Sun casts."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption fresh(QStringLiteral("fresh"), QString::fromUtf8(fresh_help));
    const QCommandLineOption salt(QStringLiteral("salt"), QString::fromUtf8(salt_help));
    const QCommandLineOption latitude(QStringLiteral("latitude"), QString::fromUtf8(latitude_help),
                                      QStringLiteral("LAT"));
    parser.addOptions({fresh, salt, latitude});
    parser.addPositionalArgument(QStringLiteral("CAST"), QString::fromUtf8(cast_help),
                                 QStringLiteral("[CAST]"));
    parser.process(arguments);
    const QStringList casts = parser.positionalArguments();
    if (casts.size() > 1) {
        std::fputs(one_cast, stderr);
        std::fputs(qPrintable(parser.helpText()), stderr);
        std::exit(EXIT_FAILURE);
    }
    StartOptions options;
    options.cast = casts.isEmpty() ? QString() : casts.front();
    if (parser.isSet(fresh) && (parser.isSet(salt) || parser.isSet(latitude))) {
        refuse(parser, fresh_and_salt);
    }
    if (parser.isSet(salt) != parser.isSet(latitude)) {
        refuse(parser, parser.isSet(salt) ? salt_needs_latitude : latitude_needs_salt);
    }
    if (parser.isSet(salt)) {
        options.latitude = parser.value(latitude);
        if (const std::string problem = latitude_problem(options.latitude); !problem.empty()) {
            refuse(parser, problem);
        }
        options.salt = true;
    } else if (parser.isSet(fresh)) {
        options.salt = false;
    }
    return options;
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
    start_options(QCoreApplication::arguments());
    std::fputs(no_display, stderr);
    return EXIT_FAILURE;
}

} // namespace quillonde
