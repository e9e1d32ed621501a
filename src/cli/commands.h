#pragma once

#include "form/controls.h"
#include "form/export.h"
#include "formats/format.h"
#include "profile/cast_steps.h"
#include "runtime/error.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde::cli {

/// The name every message of the tool begins with.
inline constexpr std::string_view program_name = "quillonde-cli";

/// The window's water settings as the command line gives them; the latitude stays a text, converted
/// when and as the window converts tx_lat.
struct Water {
    OptionButton option = OptionButton::op_fresh;
    std::string latitude;
};

/// How a run over the arguments ended.
enum class RunResult {
    all_done,    ///< every argument converted
    some_failed, ///< at least one argument failed; the others were converted
    interrupted, ///< `stop` became true; the rest was left alone
};

/// Streams and stop flag of a run; errors go to `err` as "quillonde-cli: ARGUMENT: MESSAGE".
struct Console {
    std::ostream& out;
    std::ostream& err;
    const std::atomic<bool>& stop;
};

/// Prints on `out` the depth of each pressure text as the window's lb_depth shows it after its
/// prefix, one line each; a pressure that fails prints its error on `err` only.
RunResult print_depths(const Water& water, const std::vector<std::string>& pressures, Console console);

/// What convert's options say of the profiles it writes.
struct ProfileOptions {
    /// --format: the format of the outputs named after their inputs, and of an OUTPUT whose
    /// extension names none; without it, OUTPUT's extension or else the first format.
    const ProfileWriter* format = nullptr;
    std::optional<double> latitude_deg;          ///< --position, for casts that state none
    std::optional<double> longitude_deg;         ///< --position
    std::optional<std::chrono::sys_seconds> utc; ///< --time, for casts that state none in UTC
    bool append = false;     ///< --append: a cast goes into an OUTPUT that holds casts as one more
    SounderSettings sounder; ///< --no-extend and --most-lines, for a format read by an echo sounder
    Steps steps;             ///< --cast, --drop-soak, --despike, --bin, --surface-sound-speed, --draft
    std::size_t section = 0; ///< --section: of an INPUT of many casts, the one to take; 0 the newest
};

/// The time and position of a cast for a format that needs them: the cast's, else those of
/// --position and --time; nothing when both lack one, and `refusal` says what and how to give it.
std::optional<CastFix> options_fix(const FixRequest& request, const ProfileOptions& profile,
                                   std::optional<Error>& refusal);

/// Sets the format and `append` of `profile` from convert's --format `name` (none when empty), the
/// OUTPUT it names and --append; returns what is wrong with them, or an empty text.
std::string choose_format(std::string_view name, std::string_view output, bool append,
                          ProfileOptions& profile);

/// Loads each cast as the window's load does and exports it as the window's export does, to `output`
/// when it is given (a single input, or several with `append`) or else to the input with its last
/// extension replaced by the format's; prints "INPUT -> OUTPUT: N rows, M profile lines" for each
/// file written. A column the export can compute is computed only when `derive` is set, and then
/// named on `err`; a profile reduced to the lines its format takes is named there too. A format that
/// needs the time and position of a cast that lacks them takes those of `profile`, or fails naming
/// the options; an OUTPUT that holds casts is added to only with `append`, and never replaced.
/// What the window would ask about or tell before it writes (every doubt of
/// QuestionKind::export_anyway, and the notes of QuestionKind::computed_notes) is a warning on
/// `err`, and the file is written; with `strict`, each such warning fails its input instead: no
/// file, the warning as its message. A new warning belongs among those questions, asked before the
/// file is written, so that `strict` covers it.
RunResult convert_casts(const Water& water, const std::vector<std::string>& inputs, const std::string& output,
                        bool derive, Console console, const ProfileOptions& profile = {},
                        bool strict = false);

/// The water of `sound` as the command line gives it: a salinity or else a conductivity [mS/cm],
/// and a temperature [degC], as texts.
struct SoundWater {
    std::string salinity;
    std::string conductivity;
    std::string temperature;
};

/// Prints on `out` the sound speed [m/s] at each pressure text [dbar], Chen and Millero (UNESCO
/// 1983), rounded as a profile writes it; the salinity of a conductivity is PSS-78's at each pressure.
RunResult print_sound_speeds(const SoundWater& water, const std::vector<std::string>& pressures,
                             Console console);

} // namespace quillonde::cli
