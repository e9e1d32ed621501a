#include "cli/commands.h"

#include "cli/batch.h"
#include "depth/seawater.h"
#include "form/calculate.h"
#include "form/export.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "profile/output_file.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace quillonde::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view sva_extension = ".sva";
constexpr std::string_view standard_output_name = "-";
constexpr std::string_view standard_output_path = "/dev/stdout";
constexpr std::string_view interrupted_message = "interrupted; neither this nor what follows was converted";
constexpr std::string_view derived_note = " computed from ";
constexpr std::string_view derived_source = " (UNESCO 1983)";
constexpr std::string_view derive_hint = " (--derive computes it from ";

/// Whether `target` is where standard output goes (-o -, /dev/stdout, or the file it is redirected
/// to): the progress lines go to standard error then, not into the profile.
bool is_standard_output(const std::string& target)
{
    struct stat out = {};
    struct stat file = {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && ::stat(target.c_str(), &file) == 0 &&
           out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

/// A question's reasons as a message: the text before its closing question, without the full stop,
/// beginning in lower case ("the cast declares 250 rows; 122 were read").
std::string reasons_of(std::string_view question)
{
    for (const std::string_view closing : {export_them_question, export_as_loaded_question}) {
        if (question.ends_with(closing)) {
            question.remove_suffix(closing.size());
        }
    }
    while (!question.empty() && (question.back() == ' ' || question.back() == '.')) {
        question.remove_suffix(1);
    }
    std::string reasons(question);
    if (!reasons.empty() && reasons.front() >= 'A' && reasons.front() <= 'Z') {
        reasons.front() = static_cast<char>(reasons.front() - 'A' + 'a');
    }
    return reasons;
}

/// How the tool answers the handlers' questions: as the command line asked, saying on standard error
/// why a profile may not be what the user expects.
bool answer(Console console, std::string_view input, Question question, std::string_view text)
{
    switch (question) {
    case Question::replace_file: return true; // the command line named the output
    case Question::export_anyway: report(console, input, "warning: " + reasons_of(text)); return true;
    case Question::compute_column: return false; // answered by the caller, from --derive
    }
    return false;
}

} // namespace

RunResult print_depths(const Water& water, const std::vector<std::string>& pressures, Console console)
{
    HeadlessControls controls = controls_for(water, console.stop);
    bool failed = false;
    for (const std::string& pressure : pressures) {
        if (console.stop.load()) {
            report(console, pressure, interrupted_message);
            return RunResult::interrupted;
        }
        controls.set_text(TextBox::tx_press, pressure);
        try {
            calculate_depth(controls);
            console.out << controls.caption(Label::lb_depth).substr(depth_caption_prefix.size()) << '\n';
        } catch (const std::exception& error) {
            report(console, pressure, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

RunResult convert_casts(const Water& water, const std::vector<std::string>& inputs, const std::string& output,
                        bool derive, Console console)
{
    HeadlessControls controls = controls_for(water, console.stop);
    std::vector<const DerivedColumn*> derived; // the columns the cast in hand asked to compute
    std::string current_input;
    controls.set_answerer([&](Question question, std::string_view text) {
        if (question != Question::compute_column) {
            return answer(console, current_input, question, text);
        }
        const auto* column = std::ranges::find(derived_columns, text, &DerivedColumn::question);
        if (column != derived_columns.end()) {
            derived.push_back(column);
        }
        return derive;
    });
    // One table for every cast: each load replaces it, so memory does not grow with the batch.
    ProfileState state;
    OutputGuard guard(inputs);
    bool failed = false;
    for (const std::string& input : inputs) {
        if (console.stop.load()) {
            report(console, input, interrupted_message);
            return RunResult::interrupted;
        }
        derived.clear();
        try {
            current_input = input;
            if (input.empty()) {
                report(console, input, no_file_name_message);
                failed = true;
                continue;
            }
            const std::string target = output.empty()
                                           ? fs::path(input).replace_extension(sva_extension).string()
                                       : output == standard_output_name ? std::string(standard_output_path)
                                                                        : output;
            if (const std::string refusal = guard.refusal(input, target); !refusal.empty()) {
                report(console, input, refusal);
                failed = true;
                continue;
            }
            controls.set_text(TextBox::tx_ss_file, input);
            if (load_data_file(controls, state) == LoadOutcome::stopped) {
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            controls.set_text(TextBox::tx_out, target);
            std::ostream& progress = is_standard_output(target) ? console.err : console.out;
            const ExportOutcome exported = export_profile(controls, state);
            if (exported.stopped) {
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            guard.written(input, target);
            for (const DerivedColumn* column : derived) {
                report(console, input,
                       std::string(profile_fields[column->field].name) + std::string(derived_note) +
                           std::string(column->inputs) + std::string(derived_source));
            }
            progress << input << " -> " << target << ": " << state.g_table.filled_rows() << " rows, "
                     << exported.profile_lines << " profile lines" << std::endl; // a pipeline sees progress
        } catch (const std::exception& error) {
            if (console.stop.load()) { // a wait on a pipe that the signal cut short
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            // Without --derive, a question on computing a column was answered No: the refusal.
            report(console, input,
                   derive || derived.empty()
                       ? std::string(error.what())
                       : error.what() + std::string(derive_hint) + std::string(derived.back()->inputs) + ")");
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

RunResult print_sound_speeds(const SoundWater& water, const std::vector<std::string>& pressures,
                             Console console)
{
    const bool by_conductivity = water.salinity.empty();
    const auto read = [&](std::string_view subject, const std::string& text) -> std::optional<double> {
        try {
            return str_to_double(text);
        } catch (const Error& error) {
            report(console, text, error.about(subject).what());
            return std::nullopt;
        }
    };
    // The salinity, or the conductivity [mS/cm].
    const std::optional<double> given =
        by_conductivity ? read("conductivity", water.conductivity) : read("salinity", water.salinity);
    const std::optional<double> temperature_c = read("temperature", water.temperature);
    if (!given || !temperature_c) {
        return RunResult::some_failed;
    }
    bool failed = false;
    for (const std::string& pressure : pressures) {
        try {
            const double pressure_dbar = with_subject("pressure", [&] { return str_to_double(pressure); });
            const double salinity =
                by_conductivity ? practical_salinity(*given, *temperature_c, pressure_dbar) : *given;
            console.out << sva_field(sound_speed(salinity, *temperature_c, pressure_dbar),
                                     profile_fields[sound_field].decimals)
                        << '\n';
        } catch (const std::exception& error) {
            report(console, pressure, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

} // namespace quillonde::cli
