// quillonde-cli: the window's depth calculation, load and export without a window, for batches
// and scripts.
#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/format_list.h"
#include "cli/info_command.h"
#include "cli/plot_dispatch.h"
#include "cli/send_command.h"
#include "form/cast_fix.h"
#include "form/questions.h"
#include "formats/registry.h"
#include "formats/sound_speed_datagram.h"
#include "profile/cast_steps.h"
#include "profile/udp_send.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillonde::OptionButton;
using quillonde::cli::Console;
using quillonde::cli::program_name;
using quillonde::cli::RunResult;
using quillonde::cli::Water;

constexpr std::string_view version_text = "quillonde-cli " QUILLONDE_VERSION;

constexpr std::string_view usage_text = R"(Usage:
  quillonde-cli depth --fresh PRESSURE...
  quillonde-cli depth --salt --latitude LAT PRESSURE...
  quillonde-cli convert (--fresh | --salt --latitude LAT) [--derive] [--strict] [--format FORMAT]
                [--position LAT LON] [--time YYYY-MM-DDTHH:MM:SSZ] [--append] [--section N]
                [--most-lines N] [--no-extend] [--cast down|up] [--drop-soak] [--despike]
                [--bin METRES] [--surface-sound-speed M/S --draft M] [-o OUTPUT] INPUT...
  quillonde-cli send --to sis|sis5|qinsy|pds HOST[:PORT] (--fresh | --salt --latitude LAT) [--apply]
                [--derive] [--strict] [--position LAT LON] [--time TIME] [--most-lines N] [--no-extend] INPUT
  quillonde-cli sound (--salinity S | --conductivity C) --temperature T PRESSURE...
  quillonde-cli plot (--fresh | --salt --latitude LAT) [--columns SOUND,Temp,SALIN] [-o OUTPUT] INPUT...
  quillonde-cli info [--json] [--section N] [--fresh | --salt --latitude LAT] [--format FORMAT]
                [--most-lines N] [--no-extend] [--cast down|up] [--drop-soak] [--despike]
                [--bin METRES] [--surface-sound-speed M/S --draft M] INPUT...
  quillonde-cli --help | --version
)";

constexpr std::string_view empty_latitude_hint = "--latitude needs a number of degrees, -90 to 90";

constexpr std::string_view more_help_text = "Options and examples: quillonde-cli --help\n";

constexpr std::string_view description_text =
    R"(Water pressure to depth, and CTD casts (Sea & Sun, Sea-Bird, Valeport, AML, RBR, CastAway) and
sound velocity profiles to the profiles of echo sounders (ELAC, Kongsberg, CARIS, HYPACK, CSV;
"Formats read" and "Formats written" below), converted exactly as the Quillonde window converts
them: the files are the window's files, byte for byte.

)";

constexpr std::string_view details_text = R"(
Commands:
  depth      Prints the depth [m] of each PRESSURE [dbar], one line each, as the window shows it
             after "Depth [m]:".
               quillonde-cli depth --salt --latitude 30 10000      prints 9712.65
  convert    Loads each cast or profile INPUT (any format read, below) as the window's load
             does and writes its profile as the window's export does, thinned by depth, in the
             format of --format or OUTPUT's extension. Prints "INPUT -> OUTPUT: N rows, M
             profile lines" on standard output for each file written.
               quillonde-cli convert --salt --latitude 54 casts/*.TOB
  send       Loads the cast INPUT as convert does and sends its profile over UDP to the
             acquisition software of an echo sounder, in Kongsberg's sound speed profile
             datagram, shaped for SIS as a *.asvp export is (QINSy and PDS2000: without the
             12000 m line); asks and warns as convert does, and --position and --time give
             what the cast does not state. Prints what it sent: 42 lines to 127.0.0.1:4001
             (SIS, S12).
               quillonde-cli send --to sis 192.168.1.20 --salt --latitude 54 cast.cnv
  sound      Prints the sound speed [m/s] at each PRESSURE [dbar], Chen and Millero after
             UNESCO 1983, rounded to 2 decimals as a profile writes it. Temperatures are taken
             as given, on the formula's scale (IPTS-68).
               quillonde-cli sound --salinity 35 --temperature 10 100   prints 1491.47
  plot       Loads each cast INPUT as convert does and draws it as the window's Profile window
             does: depth down, each of --columns in a panel of its own beside the others, every
             row as a thin line, the rows the profile would write as dots, and the summary line
             (rows, depths, water, profile lines, rows without a number) as caption. Writes SVG,
             or PNG or PDF when OUTPUT ends in .png or .pdf; without -o, INPUT with ".svg".
             Needs no display. Prints "INPUT -> OUTPUT: N rows, M profile lines".
               quillonde-cli plot --salt --latitude 54 -o deneb.pdf casts/deneb.TOB
  info       Loads each cast INPUT as convert does and prints what it says of itself: its
             format, instrument, serial number, time (ISO 8601, "Z" where the file says it is
             UTC), latitude and longitude ("unknown" where it does not say), the rows read, and
             each column: the name the program gives it, the file's own name, the unit, and
             the conversion (what was done to the file's values, or what the file says they
             are). Then the profile convert would write with the same options (and --derive):
             its lines and format, the part of the cast, and each step that shaped it. The
             water (fresh unless given) matters only to a cast that fails on it.
               quillonde-cli info casts/SK287_CTD05.cnv
               quillonde-cli info --format asvp --drop-soak --despike casts/SK287_CTD05.cnv

Options:
  --fresh              Fresh water: the pressure times a fixed factor.
                         quillonde-cli depth --fresh 100 12.5       prints 101.97 and 12.75
  --salt               Sea water: the UNESCO 1983 formula, gravity by latitude. Needs --latitude.
  --latitude LAT       The latitude in degrees, for --salt only. It is rounded to a whole degree,
                       a half to the even one (45.5 acts as 46); south gives what north gives.
                       Beyond -90 to 90 it is a usage error (a typo: 540 for 54).
                         quillonde-cli depth --salt --latitude -54 500   prints 494.94
  --derive             convert and send: where a cast lacks SOUND, SALIN or Cond, computes it for
                       each row written, after UNESCO 1983: SOUND from Temp, SALIN and Press
                       (Chen and Millero), SALIN from Cond, Temp and Press (PSS-78), Cond from
                       SALIN, Temp and Press (PSS-78 inverted, C(35,15,0) = 42.914 mS/cm). Says
                       so on standard error for each file. Without it such a cast is refused.
  --strict             convert and send: each warning fails its INPUT instead (no file, the warning
                       as its message, exit status 1): a cast with fewer rows than it declares,
                       a last line without a line end, depths for other water than the cast's
                       salinity says, and whatever else the window would ask about before it
                       writes. For pipelines that trust the exit status.
                         quillonde-cli convert --strict --salt --latitude 54 casts/*.TOB
  --salinity S         sound only: the practical salinity (PSS-78).
  --conductivity C     sound only, in place of --salinity: the conductivity [mS/cm]; the
                       salinity is PSS-78's at each PRESSURE.
  --temperature T      sound only: the temperature [degC].
  --format FORMAT      convert and info: the format of the outputs named after their INPUTs,
                       and of an OUTPUT whose extension names no format: a name of "Formats
                       written" below, or its extension (svp for caris), the first one the
                       default. -o's extension chooses otherwise.
                         quillonde-cli convert --salt --latitude 54 --format asvp casts/*.TOB
  --position LAT LON   convert and send: the position (decimal degrees, south and west negative) of
                       every cast that states none, for the formats that state it (below). A
                       cast's own position is used where it has one.
  --time TIME          convert and send: the time in UTC, as 2024-05-01T13:45:00Z, of every cast
                       that states none in UTC, for the formats that state it. Without these two,
                       such a cast fails and the message names them.
                         quillonde-cli convert --fresh --format vel --position 54.3 11.7
                           --time 2024-05-01T13:45:00Z lake.TOB
  --most-lines N       convert, info (*.asvp) and send: at most N profile lines, the added 0 m and
                       12000 m lines among them; 1000 unless given (older SIS: 570).
  --no-extend          convert, info (*.asvp) and send: no last line at 12000 m (1675.8 m/s, after
                       Taira et al. 2005), which SIS otherwise gets below the deepest water.
  --to KIND HOST[:PORT]
                       send only: where the profile goes. KIND is sis (SIS 4, UDP port 4001
                       unless given), sis5 (SIS 5 and the K-Controller, port 14002), qinsy or pds
                       (PDS2000), which need the PORT their set-up listens on. HOST is an address
                       or a name; [::1]:4001 for IPv6.
  --apply              send to SIS only: the profile is applied at once (S01); without it SIS
                       opens it in its editor first (S12).
  --append             convert only: adds each cast as a new section to an existing OUTPUT of a
                       format that holds many casts (below); -o may then take several INPUTs.
                       Without it such a file that holds casts is never replaced: that INPUT
                       fails.
                         quillonde-cli convert --fresh --append -o survey.svp casts/*.TOB
  --cast down|up       convert and info: the downcast or the upcast; by default the downcast,
                       or the upcast of a cast recorded on the way up only.
  --drop-soak          convert and info: leaves out the rows in air and those of the probe
                       hanging near the surface before its descent, by the depth trace alone.
  --despike            convert and info: leaves out rows whose sound speed or temperature lies
                       more than 2 deviations (at least 0.2 m/s, 0.05 degC) from 2 neighbours
                       a side.
  --bin METRES         convert and info: bins of that height, each a line at its centre with
                       the means of its rows, in place of the 0.5 m thinning.
  --surface-sound-speed M/S --draft M
                       convert: warns (fails under --strict) where the profile's sound speed
                       at the draft lies more than 2 m/s from the transducer's sensor; info
                       gives both speeds.
  --section N          convert and info: of an INPUT that holds many casts (a CARIS file's
                       sections), the Nth in the file's order, as info numbers them; without it
                       the newest by its time.
                         quillonde-cli info survey.svp
                         quillonde-cli convert --fresh --section 2 -o second.asvp survey.svp
  -o, --output OUTPUT  convert and plot, with a single INPUT: the file to write. Without it, each
                       output is its INPUT with the last extension replaced by the first
                       written format's (below; plot: ".svg"); cast.TOB gives cast.sva, cast
                       gives cast.sva. OUTPUT's extension chooses the format. "-" is standard
                       output; the progress line goes to standard error then. A pipe, a
                       terminal or /dev/fd/N is written where it stands; a file is replaced.
  --columns NAMES      plot only: the columns to draw side by side, named as in the cast's
                       header, separated by commas; SOUND,Temp,SALIN unless given. A name the
                       cast lacks is left out with a warning.
                         quillonde-cli plot --fresh --columns Temp -o lake.png 0824.TOB
                         quillonde-cli convert --fresh -o lake.sva 0824.TOB
  --json               info only: one JSON object on a line of its own for each INPUT, with the
                       keys file, format, instrument, serial, time, latitude, longitude, rows,
                       for a file of many casts sections (each with time, latitude, longitude
                       and lines) and section (the one loaded), profile (what convert would
                       write: format, lines, failure, cast, soak_rows, spike_rows, bin_m,
                       deepest_m, surface_check, sounder and steps in words), and columns (each
                       with name, source, unit and conversion); null for what is unknown.
                         quillonde-cli info --json casts/*.cnv casts/*.csv
  -h, --help           Prints this help.
  --version            Prints the version.
  --                   Ends the options: what follows is a PRESSURE or an INPUT, even when it
                       begins with "-".
                         quillonde-cli convert --fresh -- -odd-name.TOB

Numbers are read as the window reads its boxes: "." is the decimal separator, an exponent may
follow ("1e3"). A negative number is a value, not an option (depth --fresh -5 prints -5.1); write
-0.5 rather than -.5, or give it after "--".

Errors:
  A PRESSURE or INPUT that fails prints "quillonde-cli: PRESSURE: MESSAGE" or
  "quillonde-cli: INPUT: MESSAGE" on standard error and nothing on standard output; the next one
  follows. The message is the window's, with the line number for a load error. An INPUT that
  fails writes no file and leaves an existing OUTPUT as it was. Only when the file system fails
  after the new file has taken OUTPUT's name (as it flushes the folder) does the message say
  instead "the new profile is in place but may not be on the disk yet". An OUTPUT that is one of
  the INPUTs, or that the same command has already written, is refused for that INPUT.

Ctrl+C, SIGTERM, SIGHUP:
  Stop, within a second, the load in progress (also one that waits on a pipe), the export before
  its file takes the place of OUTPUT (also a write that waits on a pipe or FIFO that nobody
  reads), or the batch before the next INPUT. A file is written whole or not at all: it reaches
  the disk and is closed before it replaces OUTPUT, so no OUTPUT is ever left half written.

Exit status:
  0    every PRESSURE or INPUT was converted, or the profile sent
  1    at least one failed, or standard output could not be written (a reader that went away); send:
       the datagram was not sent or was refused (no route, host unknown, nothing listens there)
  2    usage error: an unknown option, --salt without --latitude, --fresh with --salt or
       --latitude, a latitude beyond -90 to 90, -o with several INPUTs, ...
  130  interrupted by Ctrl+C; 128 + the signal number for SIGTERM (143) and SIGHUP (129)
)";

constexpr int exit_some_failed = 1;
constexpr int exit_usage = 2;
constexpr int exit_signal_base = 128;

std::atomic<bool> stop_requested{false};
volatile std::sig_atomic_t stop_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set in a signal handler");

void request_stop(int signal)
{
    stop_signal = signal;
    stop_requested.store(true);
}

/// Ctrl+C and kill ask the batch to stop between two lines of a cast instead of ending the process
/// in the middle of a file. A signal the caller ignores (nohup, a background job) stays ignored.
void install_stop_handlers()
{
    struct sigaction action = {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: an open, read or write that waits on a pipe gives up
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
}

/// Whether all that went to standard output got there; says so on standard error when not (a reader
/// that went away, a full disk).
bool standard_output_written()
{
    std::cout.flush();
    if (!std::cout) {
        std::cerr << program_name << ": cannot write to standard output\n";
        return false;
    }
    return true;
}

int usage_error(std::string_view hint)
{
    std::cerr << program_name << ": " << hint << '\n' << usage_text << more_help_text;
    return exit_usage;
}

struct Arguments {
    bool fresh = false;
    bool salt = false;
    std::string latitude;
    std::string output;
    bool derive = false;
    bool strict = false;
    quillonde::cli::SoundWater sound;
    std::string columns{quillonde::cli::plot_columns_by_default()};
    bool json = false;
    std::string format;
    std::vector<std::string> position;
    std::string time;
    bool append = false;
    std::string most_lines;
    bool no_extend = false;
    std::vector<std::string> to;
    bool apply = false;
    std::string cast;
    bool drop_soak = false;
    bool despike = false;
    std::string bin;
    std::string surface_sound;
    std::string draft;
    std::string section;
    std::vector<std::string> items; // the pressures or the inputs
};

/// The options that shape the profile, which convert takes and info describes.
void add_profile_options(CLI::App& command, Arguments& arguments)
{
    command.add_option("--most-lines", arguments.most_lines);
    command.add_flag("--no-extend", arguments.no_extend);
    command.add_option("--cast", arguments.cast);
    command.add_flag("--drop-soak", arguments.drop_soak);
    command.add_flag("--despike", arguments.despike);
    command.add_option("--bin", arguments.bin);
    CLI::Option* surface = command.add_option("--surface-sound-speed", arguments.surface_sound);
    CLI::Option* draft = command.add_option("--draft", arguments.draft);
    surface->needs(draft);
    draft->needs(surface);
}

void add_water_options(CLI::App& command, Arguments& arguments)
{
    CLI::Option* fresh = command.add_flag("--fresh", arguments.fresh);
    CLI::Option* salt = command.add_flag("--salt", arguments.salt);
    CLI::Option* latitude = command.add_option("--latitude", arguments.latitude);
    fresh->excludes(salt);
    latitude->excludes(fresh);
    salt->needs(latitude);
}

/// The position of the first "--", or `argc`. What follows it is taken here rather than by the parser,
/// which in a command hands the arguments after a "--" back to the main level once one PRESSURE or
/// INPUT has been given.
int end_of_options(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--") {
            return i;
        }
    }
    return argc;
}

/// The parser takes "-.5" for an option; the user who typed it meant a number.
std::string_view leading_point_number(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        double ignored = 0.0;
        if (argument.starts_with("-.") &&
            quillonde::parse_number(argument, ignored) != quillonde::NumberStatus::not_a_number) {
            return argument;
        }
    }
    return {};
}

/// Why the latitude of --salt is refused as a usage error: empty, or beyond the poles (a typo such as
/// 540 for 54 would give the depths of another latitude). A text that is no number fails for each
/// PRESSURE or INPUT, as the window's box does.
std::string latitude_refusal(const Arguments& arguments)
{
    if (!arguments.salt) {
        return {};
    }
    if (quillonde::trim_blanks(arguments.latitude).empty()) {
        return std::string(empty_latitude_hint);
    }
    try {
        if (!quillonde::latitude_on_earth(quillonde::str_to_long(arguments.latitude))) {
            return quillonde::far_latitude_text(quillonde::trim_blanks(arguments.latitude));
        }
    } catch (const quillonde::Error&) {
        return {};
    }
    return {};
}

/// The steps of convert from its arguments; returns what is wrong with them, or an empty text.
std::string step_options(const Arguments& arguments, quillonde::Steps& steps)
{
    using namespace quillonde;
    if (arguments.cast == "down" || arguments.cast == "up") {
        steps.cast = arguments.cast == "up" ? CastChoice::up : CastChoice::down;
    } else if (!arguments.cast.empty()) {
        return "--cast takes down or up, not " + quillonde::quoted(arguments.cast);
    }
    steps.drop_soak = arguments.drop_soak;
    steps.despike = arguments.despike;
    const auto positive = [](const std::string& text, std::optional<double>& value) {
        double number = 0.0;
        if (text.empty() || parse_number(text, number) != NumberStatus::ok || !(number > 0.0)) {
            return false;
        }
        value = number;
        return true;
    };
    if (!arguments.bin.empty() && !positive(arguments.bin, steps.bin_m)) {
        return "--bin takes the height of a bin in metres, more than 0, not " +
               quillonde::quoted(arguments.bin);
    }
    if (!arguments.surface_sound.empty() || !arguments.draft.empty()) {
        std::optional<double> sound;
        if (!positive(arguments.surface_sound, sound)) {
            return "--surface-sound-speed takes the sensor's sound speed in m/s, not " +
                   quillonde::quoted(arguments.surface_sound);
        }
        double draft_m = 0.0;
        if (parse_number(arguments.draft, draft_m) != NumberStatus::ok || draft_m < 0.0) {
            return "--draft takes the transducer's depth in metres, 0 or more, not " +
                   quillonde::quoted(arguments.draft);
        }
        steps.surface = SurfaceSensor{*sound, draft_m};
    }
    return {};
}

/// The profile options of convert from its arguments; returns what is wrong with them, or an empty
/// text.
std::string profile_options(const Arguments& arguments, quillonde::cli::ProfileOptions& profile)
{
    using namespace quillonde;
    if (std::string problem =
            quillonde::cli::choose_format(arguments.format, arguments.output, arguments.append, profile);
        !problem.empty()) {
        return problem;
    }
    if (!arguments.position.empty()) {
        double latitude = 0.0;
        double longitude = 0.0;
        if (arguments.position.size() != 2 ||
            parse_number(arguments.position[0], latitude) != NumberStatus::ok ||
            parse_number(arguments.position[1], longitude) != NumberStatus::ok) {
            return "--position takes two numbers, the latitude and longitude in decimal degrees";
        }
        if (const std::string problem = position_problem(latitude, longitude); !problem.empty()) {
            return "--position: " + problem;
        }
        profile.latitude_deg = latitude;
        profile.longitude_deg = longitude;
    }
    profile.sounder.extend = !arguments.no_extend;
    if (!arguments.most_lines.empty()) {
        long lines = 0;
        const std::size_t fewest = arguments.no_extend ? 2 : 3;
        try {
            lines = str_to_long(arguments.most_lines);
        } catch (const Error&) {
            lines = 0;
        }
        if (lines < static_cast<long>(fewest) || lines > static_cast<long>(datagram_most_lines)) {
            return "--most-lines takes a whole number of lines from " + std::to_string(fewest) + " to " +
                   std::to_string(datagram_most_lines);
        }
        profile.sounder.most_lines = static_cast<std::size_t>(lines);
    }
    if (std::string problem = step_options(arguments, profile.steps); !problem.empty()) {
        return problem;
    }
    if (!arguments.time.empty()) {
        profile.utc = utc_time_of(arguments.time);
        if (!profile.utc) {
            return "--time " + quillonde::quoted(arguments.time) + " is no UTC time as YYYY-MM-DDTHH:MM:SSZ";
        }
    }
    return {};
}

/// The options of send from its arguments; returns what is wrong with them, or an empty text.
std::string send_options(const Arguments& arguments, quillonde::cli::SendOptions& sending)
{
    using namespace quillonde;
    if (arguments.items.size() != 1) {
        return "send takes a single INPUT";
    }
    const SounderFacts* sounder = sounder_named(arguments.to.front());
    if (sounder == nullptr) {
        return "--to " + quillonde::quoted(arguments.to.front()) +
               " is no echo sounder: sis, sis5, qinsy or pds";
    }
    if (arguments.apply && !sounder->applies_at_once) {
        return "--apply is for SIS only: " + std::string(sounder->name) + " opens the profile first";
    }
    Arguments fix = arguments;
    fix.format.clear();
    fix.output.clear();
    fix.append = false;
    if (std::string problem = profile_options(fix, sending.fix); !problem.empty()) {
        return problem;
    }
    sending.request.sounder = sounder;
    sending.request.destination = arguments.to.back();
    sending.request.apply = arguments.apply;
    sending.request.extend = sending.fix.sounder.extend;
    sending.request.most_lines = sending.fix.sounder.most_lines;
    sending.derive = arguments.derive;
    sending.strict = arguments.strict;
    return {};
}

int run(int argc, char** argv)
{
    CLI::App app{std::string(description_text), std::string(program_name)};
    app.set_version_flag("--version", std::string(version_text));
    Arguments arguments;
    CLI::App* depth = app.add_subcommand("depth");
    add_water_options(*depth, arguments);
    depth->add_option("PRESSURE", arguments.items);
    CLI::App* convert = app.add_subcommand("convert");
    add_water_options(*convert, arguments);
    CLI::Option* output = convert->add_option("-o,--output", arguments.output);
    convert->add_flag("--derive", arguments.derive);
    convert->add_option("--format", arguments.format);
    convert->add_option("--position", arguments.position)->expected(2)->allow_extra_args(false);
    convert->add_option("--time", arguments.time);
    convert->add_flag("--append", arguments.append);
    convert->add_flag("--strict", arguments.strict);
    add_profile_options(*convert, arguments);
    convert->add_option("--section", arguments.section);
    convert->add_option("INPUT", arguments.items);
    CLI::App* send = app.add_subcommand("send");
    add_water_options(*send, arguments);
    send->add_option("--to", arguments.to)->expected(2)->allow_extra_args(false)->required();
    send->add_flag("--apply", arguments.apply);
    send->add_flag("--derive", arguments.derive);
    send->add_flag("--strict", arguments.strict);
    send->add_option("--position", arguments.position)->expected(2)->allow_extra_args(false);
    send->add_option("--time", arguments.time);
    send->add_option("--most-lines", arguments.most_lines);
    send->add_flag("--no-extend", arguments.no_extend);
    send->add_option("INPUT", arguments.items);
    CLI::App* sound = app.add_subcommand("sound");
    CLI::Option* salinity = sound->add_option("--salinity", arguments.sound.salinity);
    CLI::Option* conductivity = sound->add_option("--conductivity", arguments.sound.conductivity);
    salinity->excludes(conductivity);
    sound->add_option("--temperature", arguments.sound.temperature)->required();
    sound->add_option("PRESSURE", arguments.items);
    CLI::App* plot = app.add_subcommand("plot");
    add_water_options(*plot, arguments);
    CLI::Option* plot_output = plot->add_option("-o,--output", arguments.output);
    plot->add_option("--columns", arguments.columns);
    plot->add_option("INPUT", arguments.items);
    CLI::App* info = app.add_subcommand("info");
    add_water_options(*info, arguments);
    info->add_flag("--json", arguments.json);
    info->add_option("--section", arguments.section);
    info->add_option("--format", arguments.format);
    add_profile_options(*info, arguments);
    info->add_option("INPUT", arguments.items);

    const int options_end = end_of_options(argc, argv);
    if (const std::string_view number = leading_point_number(options_end, argv); !number.empty()) {
        return usage_error(std::string(number) + " is read as an option: write -0" +
                           std::string(number.substr(1)) + ", or give it after \"--\"");
    }
    try {
        app.parse(options_end, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << description_text << usage_text << details_text << quillonde::cli::formats_help();
        return standard_output_written() ? 0 : exit_some_failed;
    } catch (const CLI::CallForVersion&) {
        std::cout << version_text << '\n';
        return standard_output_written() ? 0 : exit_some_failed;
    } catch (const CLI::ParseError& error) {
        if (options_end > 1 && argv[1][0] != '-' && argv[1] != depth->get_name() &&
            argv[1] != convert->get_name() && argv[1] != sound->get_name() && argv[1] != plot->get_name() &&
            argv[1] != info->get_name() && argv[1] != send->get_name()) {
            return usage_error("unknown command \"" + std::string(argv[1]) +
                               "\": the commands are depth, convert, send, sound, plot and info");
        }
        return usage_error(error.what());
    }
    arguments.items.insert(arguments.items.end(), argv + std::min(options_end + 1, argc), argv + argc);
    if (!depth->parsed() && !convert->parsed() && !sound->parsed() && !plot->parsed() && !info->parsed() &&
        !send->parsed()) {
        return usage_error("a command is required: depth, convert, send, sound, plot or info");
    }
    if (sound->parsed() && salinity->count() + conductivity->count() == 0) {
        return usage_error("the water is required: --salinity S or --conductivity C");
    }
    if (!sound->parsed() && !info->parsed() && !arguments.fresh && !arguments.salt) {
        return usage_error("the water is required: --fresh, or --salt --latitude LAT");
    }
    if (const std::string refusal = latitude_refusal(arguments); !refusal.empty()) {
        return usage_error(refusal);
    }
    if (arguments.items.empty()) {
        return usage_error(convert->parsed() || plot->parsed() || info->parsed() || send->parsed()
                               ? "INPUT is required"
                               : "PRESSURE is required");
    }
    const std::size_t outputs = output->count() + plot_output->count();
    if (outputs > 0 && arguments.output.empty()) {
        return usage_error("-o needs a file name");
    }
    if (outputs > 0 && arguments.items.size() > 1 && !arguments.append) {
        return usage_error("-o takes a single INPUT (or several with --append); without it each output is "
                           "named after its INPUT");
    }
    quillonde::cli::ProfileOptions profile;
    if (!arguments.section.empty()) {
        std::int32_t section = 0;
        try {
            section = quillonde::str_to_long(arguments.section);
        } catch (const quillonde::Error&) {
        }
        if (section < 1 || arguments.section.find_first_not_of("0123456789") != std::string::npos) {
            return usage_error("--section takes the number of a section as info lists them: 1, 2, ...");
        }
        profile.section = static_cast<std::size_t>(section);
    }
    if (convert->parsed() || info->parsed()) {
        if (const std::string problem = profile_options(arguments, profile); !problem.empty()) {
            return usage_error(problem);
        }
    }
    quillonde::cli::SendOptions sending;
    if (send->parsed()) {
        if (const std::string problem = send_options(arguments, sending); !problem.empty()) {
            return usage_error(problem);
        }
    }

    install_stop_handlers();
    const Water water{arguments.salt ? OptionButton::op_salt : OptionButton::op_fresh, arguments.latitude};
    const Console console{std::cout, std::cerr, stop_requested};
    const RunResult result =
        depth->parsed()   ? quillonde::cli::print_depths(water, arguments.items, console)
        : sound->parsed() ? quillonde::cli::print_sound_speeds(arguments.sound, arguments.items, console)
        : send->parsed()  ? quillonde::cli::send_cast(water, arguments.items.front(), sending, console,
                                                      quillonde::SystemResolver())
        : convert->parsed()
            ? quillonde::cli::convert_casts(water, arguments.items, arguments.output, arguments.derive,
                                            console, profile, arguments.strict)
        : info->parsed()
            ? quillonde::cli::print_cast_info(water, arguments.items, arguments.json, console, profile)
            : quillonde::cli::run_plot_command(argv, water, arguments.columns, arguments.items,
                                               arguments.output, console);
    const bool written = standard_output_written();
    if (stop_requested.load()) {
        return exit_signal_base + static_cast<int>(stop_signal);
    }
    if (!written) {
        return exit_some_failed;
    }
    return result == RunResult::all_done ? 0 : exit_some_failed;
}

} // namespace

int main(int argc, char** argv)
{
    // A write past a file-size limit, or to a pipe whose reader has gone, fails with its reason
    // instead of killing the tool: the batch goes on with the next file.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << program_name << ": " << error.what() << '\n';
        return exit_some_failed;
    }
}
