#include "cli/commands.h"

#include "cli/batch.h"
#include "depth/seawater.h"
#include "form/calculate.h"
#include "form/export.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "formats/probe_text.h"
#include "formats/profile_text.h"
#include "formats/registry.h"
#include "profile/profile_rows.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <exception>
#include <optional>
#include <string_view>
#include <vector>

namespace quillonde::cli {

namespace {

constexpr std::string_view interrupted_message = "interrupted; neither this nor what follows was converted";
constexpr std::string_view derived_note = " computed from ";
constexpr std::string_view derived_source = " (UNESCO 1983)";
constexpr std::string_view upcast_note = " from the upcast";
constexpr std::string_view steps_note = "; steps: ";
constexpr std::string_view fix_options = "--position LAT LON and --time YYYY-MM-DDTHH:MM:SSZ give them";
constexpr std::string_view append_refusal = "--append adds a cast to a file that holds many: ";
constexpr std::string_view append_foreign = "--append adds to a file of its format or makes a new one: ";
constexpr std::string_view append_hint = "; --append adds the cast as a new section (without it the file is "
                                         "never replaced)";

/// The note of a profile reduced to the lines its format takes.
std::string reduction_note(const Reduction& reduction, const ProfileWriter& writer)
{
    return std::to_string(reduction.lines_before) + " profile lines reduced to " +
           std::to_string(reduction.lines_after) + ", as a " + std::string(writer.facts().filter) +
           " file takes at most " + std::to_string(writer.most_lines()) +
           " (Douglas-Peucker on depth and sound speed, tolerance " +
           value_text(reduction.tolerance_m_s, reduction_decimals) + " m/s)";
}
constexpr std::string_view warning_prefix = "warning: ";
constexpr std::string_view strict_prefix = "refused by --strict: ";

} // namespace

std::optional<CastFix> options_fix(const FixRequest& request, const ProfileOptions& profile,
                                   std::optional<Error>& refusal)
{
    FixRequest given = request;
    if (given.position_missing() && profile.latitude_deg && profile.longitude_deg) {
        given.latitude_deg = profile.latitude_deg;
        given.longitude_deg = profile.longitude_deg;
    }
    if (given.time_missing() && profile.utc) {
        given.time = CastTime{*profile.utc, TimeZone::utc, {}, false, "--time"};
    }
    if (given.position_missing() || given.time_missing()) {
        refusal =
            Error(ErrorKind::missing_column, "the cast states " + given.missing_text() + ", which a " +
                                                 request.format + " file needs: " + std::string(fix_options));
        return std::nullopt;
    }
    return CastFix{*given.latitude_deg, *given.longitude_deg, *given.time->utc()};
}

/// What the cast states itself, where the options give it too: the cast's own values are written.
std::vector<std::string> overridden_options(const CastInfo& cast, const ProfileOptions& profile)
{
    std::vector<std::string> notes;
    if (profile.latitude_deg && profile.longitude_deg && cast.latitude_deg && cast.longitude_deg) {
        notes.push_back("the cast's own position " + degrees_text(*cast.latitude_deg) + " " +
                        degrees_text(*cast.longitude_deg) + " is written, not --position");
    }
    if (profile.utc && cast.time && cast.time->utc()) {
        notes.push_back("the cast's own time " + iso_time(*cast.time) + " (" + cast.time->source +
                        ") is written, not --time");
    }
    return notes;
}

std::string choose_format(std::string_view name, std::string_view output, bool append,
                          ProfileOptions& profile)
{
    if (!name.empty()) {
        profile.format = writer_named(name);
        if (profile.format == nullptr) {
            std::string names;
            for (const ProfileWriter* writer : profile_writers()) {
                const std::string_view id = writer->facts().id;
                const std::string_view extension = default_extension(writer->facts()).substr(1);
                names += (names.empty() ? "" : ", ") + std::string(id) +
                         (equal_ignoring_case(id, extension) ? "" : " (" + std::string(extension) + ")");
            }
            return "--format " + quoted(name) + " is no format: the formats are " + names;
        }
        const ProfileWriter* named = writer_for_path(output);
        if (named != nullptr && named != profile.format) {
            return "-o " + quoted(output) + " names another format than --format " + std::string(name);
        }
    }
    profile.append = append;
    const ProfileWriter* written = profile.format != nullptr ? profile.format : writer_for_path(output);
    if (append && (written == nullptr || !written->holds_many_casts())) {
        std::string many;
        for (const ProfileWriter* writer : profile_writers()) {
            if (writer->holds_many_casts()) {
                many += std::string(many.empty() ? "" : " or ") + "a " + std::string(writer->facts().filter) +
                        " OUTPUT (or --format " + std::string(writer->facts().id) + ")";
            }
        }
        return std::string(append_refusal) + many;
    }
    return {};
}

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
                        bool derive, Console console, const ProfileOptions& profile, bool strict)
{
    HeadlessControls controls = controls_for(water, console.stop);
    std::vector<std::size_t> derived; // the columns the cast in hand asked to compute
    std::string current_input;
    // Why the cast in hand was not written, when an answer ended its export.
    std::optional<Error> refusal;
    const ProfileWriter& format = profile.format != nullptr ? *profile.format : *profile_writers().front();
    controls.set_dialog_filter(save_filter_index(format));
    controls.set_chooser([&](const Question& question) {
        if (profile.append) {
            return add_section_answer;
        }
        refusal = Error(ErrorKind::permission_denied,
                        quoted_path(question.target) + " holds " + std::to_string(question.casts_held) +
                            (question.casts_held == 1 ? " cast" : " casts") + std::string(append_hint));
        return cancel_answer;
    });
    controls.set_fixer([&](const FixRequest& request) { return options_fix(request, profile, refusal); });
    // Every warning of an input comes here, while its file is still to be written: with --strict
    // the warning fails the input instead, and nothing is written for it.
    const auto warn = [&](const std::string& reasons) {
        if (strict) {
            throw Error(ErrorKind::refused, std::string(strict_prefix) + reasons);
        }
        report(console, current_input, std::string(warning_prefix) + reasons);
    };
    // The command line answers: it named the output, it warns of what the window would ask about,
    // and it computes a column only with --derive.
    controls.set_answerer([&](const Question& question) {
        switch (question.kind) {
        case QuestionKind::replace_file:
            if (profile.append && !question.found.empty()) {
                refusal =
                    Error(ErrorKind::refused, std::string(append_foreign) + quoted_path(question.target) +
                                                  " holds " + question.found + "; it was left as it is");
                return false;
            }
            return true;
        case QuestionKind::export_anyway: warn(reasons_text(question.doubts)); return true;
        case QuestionKind::compute_column: derived.push_back(question.derived); return derive;
        case QuestionKind::computed_notes: warn(notes_text(question.notes)); return true;
        case QuestionKind::add_or_replace: break; // asked with choose()
        case QuestionKind::far_latitude:          // refused with the command line already
            throw Error(ErrorKind::refused, far_latitude_text(question.latitude));
        }
        return false;
    });
    // One table for every cast: each load replaces it, so memory does not grow with the batch.
    ProfileState state;
    state.steps = profile.steps;
    state.part_wanted = profile.section;
    BatchJob job;
    job.extension = default_extension(format.facts());
    job.done = "converted";
    job.adds = profile.append;
    job.make = [&](const std::string& input, const std::string& target) -> std::optional<std::string> {
        current_input = input;
        derived.clear();
        refusal.reset();
        controls.set_text(TextBox::tx_ss_file, input);
        if (load_data_file(controls, state) == LoadOutcome::stopped) {
            return std::nullopt;
        }
        controls.set_text(TextBox::tx_out, target);
        const ExportOutcome exported = export_profile(controls, state, profile.sounder);
        if (exported.stopped) {
            return std::nullopt;
        }
        if (!exported.written) {
            throw refusal.value_or(Error(ErrorKind::permission_denied, "nothing was written"));
        }
        if (exported.writer != nullptr && exported.writer->needs_time_and_position()) {
            for (const std::string& note : overridden_options(state.cast, profile)) {
                report(console, input, note);
            }
        }
        for (const std::string& note : exported.notes) {
            report(console, input, note);
        }
        if (exported.reduced && exported.notes.empty()) {
            report(console, input, reduction_note(*exported.reduced, *exported.writer));
        }
        for (const std::size_t column : derived) {
            report(console, input,
                   std::string(profile_fields[derived_columns[column].field].name) +
                       std::string(derived_note) + std::string(derived_columns[column].inputs) +
                       std::string(derived_source));
        }
        const std::string steps = steps_text(exported.steps);
        return counted(state.g_table.filled_rows(), "row") + ", " +
               counted(exported.profile_lines, "profile line") +
               std::string(exported.from_upcast ? upcast_note : "") +
               (exported.added ? ", added as a new section" : "") +
               (steps.empty() ? "" : std::string(steps_note) + steps);
    };
    // Without --derive, a question on computing a column was answered No: the refusal says how.
    job.failure = [&](const std::exception& error) {
        return failure_with_derive_hint(error, derive, derived);
    };
    return run_batch(job, inputs, output, console);
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
            console.out << value_text(sound_speed(salinity, *temperature_c, pressure_dbar),
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
