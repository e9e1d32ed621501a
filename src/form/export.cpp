#include "form/export.h"

#include "form/loader.h"
#include "form/water.h"
#include "formats/registry.h"
#include "profile/output_file.h"
#include "profile/profile_rows.h"
#include "profile/text_file.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

namespace {

constexpr std::string_view no_profile_message = "No data file has been loaded";

/// The water and latitude the window shows now, in words, as a load would compute depths for them.
std::string window_water_text(const Controls& controls, std::optional<DepthBasis>& basis)
{
    try {
        basis = window_basis(controls).value_or(DepthBasis{});
        return water_text(*basis);
    } catch (const Error&) {
        return "salt water at " + quoted_path(controls.text(TextBox::tx_lat)) +
               " degrees"; // a load would fail on it
    }
}

/// Gravity, and so a sea-water depth, depends on how far from the equator: north or south alike. A
/// format whose position does not hold (Sea & Sun's) is exported after the questions it always had.
std::optional<LatitudeFarFromCast> latitude_far_from_cast(const LoadRecord& load, const CastInfo& cast)
{
    constexpr double tolerance_deg = 1.0;
    if (!cast.rules.position_holds || !load.depth_basis || !load.depth_basis->salt_water ||
        !cast.latitude_deg ||
        !(std::fabs(std::fabs(*cast.latitude_deg) - std::abs(load.depth_basis->latitude_deg)) >
          tolerance_deg)) {
        return std::nullopt;
    }
    return LatitudeFarFromCast{*cast.latitude_deg, load.depth_basis->latitude_deg};
}

/// The samples outside what water can have in rows a profile could take: a probe's readings in
/// the air above the thinning step (sound speed 0) are never written, and not asked about.
std::vector<OutsideWater> outside_in_profile(const ProfileState& state)
{
    std::vector<OutsideWater> samples;
    for (const OutsideWater& sample : state.last_load.outside_water.samples) {
        const std::optional<double> depth_m = state.g_table.depth_m(sample.row);
        if (depth_m && (state.cast.rules.profile || *depth_m > thinning_step_m)) {
            samples.push_back(sample);
        }
    }
    return samples;
}

/// Why an empty profile is not written.
std::string empty_profile_message(const ProfileState& state)
{
    if (!outside_in_profile(state).empty()) {
        return "the profile holds no line: the rows of " + quoted_path(state.last_load.cast_path) +
               " that it would take have values outside what water can have";
    }
    return "the profile holds no line: no usable row of " + quoted_path(state.last_load.cast_path) +
           " lies deeper than " + double_to_str(thinning_step_m) + " m; the target is left as it was";
}

} // namespace

std::vector<Doubt> export_doubts(const Controls& controls, const ProfileState& state)
{
    const LoadRecord& load = state.last_load;
    std::vector<Doubt> doubts;
    const std::int32_t rows_read =
        load.failed_line != 0 ? load.rows_before_failure : state.g_table.filled_rows();
    if (load.failed_line != 0) {
        doubts.emplace_back(LoadFailed{load.failed_line, load.failure, rows_read});
    }
    if (load.unended_line != 0) {
        doubts.emplace_back(LastLineUnended{load.unended_line});
    }
    if (rows_read < state.g_table.last_row()) {
        doubts.emplace_back(CastShort{state.g_table.last_row(), rows_read});
    } else if (const auto declared = rows_missing_of(load, rows_read)) {
        doubts.emplace_back(CastShort{*declared, rows_read});
    }
    std::optional<DepthBasis> shown;
    const std::string shown_text = window_water_text(controls, shown);
    if (load.depth_basis && (load.mixed_basis || shown != load.depth_basis)) {
        doubts.emplace_back(DepthsForOtherWater{*load.depth_basis, load.mixed_basis, shown_text});
    }
    if (const auto far = latitude_far_from_cast(load, state.cast)) {
        doubts.emplace_back(*far);
    }
    if (std::optional<SalinityAgainstWater> water = salinity_doubt(state)) {
        doubts.emplace_back(*water);
    }
    for (const std::string& doubt : state.cast.doubts) {
        doubts.emplace_back(ReaderDoubt{doubt});
    }
    if (const std::vector<OutsideWater> outside = outside_in_profile(state); !outside.empty()) {
        doubts.emplace_back(outside_water_doubt(outside));
    }
    return doubts;
}

namespace {

/// The first column of the cast named as `field` of profile_fields, or -1; also -1 for a column
/// of temperature, salinity or conductivity that holds no value at all, as a spreadsheet written
/// for a sound-velocity probe leaves them: those the cast does not give.
std::int32_t given_column(const ProfileState& state, std::size_t field)
{
    const std::int32_t column = state.cast.column_named(profile_fields[field].name);
    if (column < 0 || column > state.ccolumns || field == sound_field) {
        return column;
    }
    bool any_value = false;
    state.g_table.for_each_sample(column, [&](std::int32_t, const Sample& sample) {
        any_value = sample.flag != SampleFlag::missing;
        return !any_value;
    });
    return any_value || state.g_table.filled_rows() == 0 ? column : -1;
}

} // namespace

// The first column of the cast with a field's name: acquisition software appends raw-count channels
// under the same names. A field the cast cannot give is absent (written as 0, see absent_fields).
ProfileColumns profile_columns(Controls& controls, const ProfileState& state)
{
    // A load that failed before its header has emptied the list, and the table it left is no
    // longer the one the window names.
    const bool listed = state.last_load.names_listed > 0;
    std::array<std::int32_t, profile_fields.size()> found{};
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        found[f] = listed ? given_column(state, f) : -1;
    }

    std::string missing;
    int missing_count = 0;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (found[f] < 0) {
            missing += missing.empty() ? "" : ", ";
            missing += '"' + std::string(profile_fields[f].name) + '"';
            ++missing_count;
        }
    }
    const auto refusal = [&] {
        return Error(ErrorKind::missing_column, (missing_count == 1 ? "The data file has no column named "
                                                                    : "The data file has no columns named ") +
                                                    missing);
    };
    // What each field is computed from (UNESCO 1983): Temp and Press, with SALIN or Cond.
    const auto has = [&](std::size_t field) { return found[field] >= 0; };
    const bool base = state.last_load.press_col >= 0 && has(temperature_field);
    const auto computable = [&](std::size_t field) {
        return base && (field == salinity_field       ? has(conductivity_field)
                        : field == conductivity_field ? has(salinity_field)
                                                      : has(salinity_field) || has(conductivity_field));
    };
    // Every profile format holds the sound velocity.
    if (missing_count > 0 && !has(sound_field) && !computable(sound_field)) {
        throw refusal();
    }
    // A file with several header lines has listed the names of all of them, and the list no
    // longer names the table's columns one to one.
    if (state.last_load.names_listed != state.ccolumns + 1) {
        throw Error(ErrorKind::bad_data_file,
                    "the column list holds " + std::to_string(state.last_load.names_listed) +
                        " names for a table of " + std::to_string(state.ccolumns + 1) +
                        " columns; the data file has more than one header line");
    }
    ProfileColumns columns;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        columns.fields[f] = has(f) ? found[f] : absent_field;
    }
    for (std::size_t d = 0; d < derived_columns.size(); ++d) {
        const std::size_t field = derived_columns[d].field;
        if (has(field) || !computable(field)) {
            continue;
        }
        if (!controls.ask(Question::compute_column(d))) {
            throw refusal();
        }
        columns.fields[field] = derived_field;
    }
    if (has(temperature_field)) {
        columns.temperature_scale =
            temperature_scale(state.cast.columns.at(static_cast<std::size_t>(found[temperature_field])));
    }
    columns.pressure = state.last_load.press_col;
    columns.depth = state.last_load.depth_col;
    columns.file_texts = state.cast.rules.profile;
    return columns;
}

namespace {

/// The fields the cast cannot give that `writer`'s files hold: each line holds 0 for them.
std::vector<std::string> absent_fields(const ProfileColumns& columns, const ProfileWriter& writer)
{
    std::vector<std::string> names;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (columns.fields[f] == absent_field && writer.writes_field(f)) {
            names.emplace_back(profile_fields[f].name);
        }
    }
    return names;
}

/// Where the profile goes, and in which format.
struct Target {
    std::string path;
    const ProfileWriter* writer = nullptr;
    bool confirmed = false; ///< chosen in the dialog, which asked before it let an existing file be replaced
};

/// The name chosen in the dialog, into tx_out, or else the path tx_out holds. A format's own filter
/// gives the name the format's extension (the first format's, selected from the start, leaves the
/// name as the user gave it); the format is the one the extension names, else the filter's, else
/// the first.
Target export_target(Controls& controls)
{
    const std::string chosen = controls.dialog_file_name();
    const ProfileWriter* filtered = writer_for_filter(controls.dialog_filter_index());
    if (filtered == profile_writers().front()) {
        filtered = nullptr;
    }
    Target target;
    if (!chosen.empty()) {
        target.path = filtered != nullptr ? with_extension(chosen, *filtered) : chosen;
        controls.set_text(TextBox::tx_out, target.path);
        // The dialog asks before it lets a file be replaced, but not under the filter of a format
        // that adds casts to a file, and not for the name the filter changed.
        target.confirmed = target.path == chosen && (filtered == nullptr || !filtered->holds_many_casts());
    } else {
        target.path = controls.text(TextBox::tx_out);
    }
    const ProfileWriter* named = writer_for_path(target.path);
    target.writer = named != nullptr ? named : filtered != nullptr ? filtered : profile_writers().front();
    return target;
}

/// The first `most` bytes of the file at `path`, or all of a shorter one.
std::string file_bytes(const std::string& path, std::size_t most, SystemCalls& calls)
{
    const Descriptor file = open_for_reading(path, calls);
    std::string bytes;
    std::array<char, std::size_t{1} << 16> block{};
    while (bytes.size() < most) {
        const ssize_t got = retry_interrupted(
            [&] { return calls.read(file.get(), block.data(), std::min(block.size(), most - bytes.size())); },
            [] { return true; });
        if (got < 0) {
            throw file_error(errno, "read", path);
        }
        if (got == 0) {
            break;
        }
        bytes.append(block.data(), static_cast<std::size_t>(got));
    }
    return bytes;
}

/// How the profile reaches its target.
enum class Placement { write, add, cancel };

/// The whole of a target of a format whose files hold many casts, when it is such a file (its first
/// line says so); nothing for any other file. Fails when the file changes while it is read.
std::optional<std::string> casts_file(const Target& target, SystemCalls& calls)
{
    const std::string head = file_bytes(target.path, head_bytes, calls);
    if (!target.writer->casts_held(head)) {
        return std::nullopt;
    }
    std::string whole = file_bytes(target.path, std::string::npos, calls);
    const std::optional<std::size_t> before = target.writer->casts_held(head);
    const std::optional<std::size_t> after = target.writer->casts_held(whole);
    if (!whole.starts_with(head) || !after || *after < *before) {
        throw Error(ErrorKind::io_error, quoted_path(target.path) + " changed while it was read (" +
                                             std::to_string(*before) + " casts, then " +
                                             (after ? std::to_string(*after) : std::string("none")) +
                                             "); it was left as it is");
    }
    return whole;
}

/// Asks what becomes of a target that is there: for a file of a format that holds casts, whether
/// the cast is added to them or replaces the file; for another file that the dialog did not ask
/// about, or that the format's own files would have been, whether it is replaced. `existing`
/// takes the bytes of a file the cast is added to; `saw_casts` says whether the target was a file of
/// the format.
Placement placement(Controls& controls, const Target& target, SystemCalls& calls, const std::string& cast,
                    std::string& existing, bool& saw_casts)
{
    std::error_code ec;
    // Pipes and devices are written where they stand and replace nothing.
    if (!std::filesystem::is_regular_file(target.path, ec)) {
        return Placement::write;
    }
    Question replace = Question::replace_file(target.path, cast);
    if (target.writer->holds_many_casts() && std::filesystem::file_size(target.path, ec) > 0) {
        if (std::optional<std::string> whole = casts_file(target, calls)) {
            saw_casts = true;
            switch (controls.choose(
                Question::add_or_replace(target.path, cast, target.writer->casts_held(*whole).value_or(0)))) {
            case add_section_answer: existing = std::move(*whole); return Placement::add;
            case replace_file_answer: return Placement::write;
            default: return Placement::cancel;
            }
        }
        // Whoever meant to add to it learns what it is before it is lost.
        replace.found = target.writer->foreign_file(file_bytes(target.path, head_bytes, calls));
        return controls.ask(replace) ? Placement::write : Placement::cancel;
    }
    // tx_out keeps the path of the previous export: a cancelled dialog must not silently replace it.
    return target.confirmed || controls.ask(replace) ? Placement::write : Placement::cancel;
}

} // namespace

std::optional<CastInfo> cast_with_fix(Controls& controls, const ProfileState& state, std::string_view format)
{
    const FixRequest request =
        fix_request(format, state.cast, state.last_load.cast_path, controls.text(TextBox::tx_lat));
    if (!request.position_missing() && !request.time_missing()) {
        return state.cast;
    }
    const std::optional<CastFix> fix = controls.ask_time_and_position(request);
    if (!fix) {
        return std::nullopt;
    }
    if (const std::string problem = position_problem(fix->latitude_deg, fix->longitude_deg);
        !problem.empty()) {
        throw Error(ErrorKind::overflow, problem);
    }
    return with_fix(state.cast, *fix);
}

std::optional<Profile> profile_to_write(Controls& controls, const ProfileState& state,
                                        const ProfileColumns& columns, RowOrder order, ProfileEnd end,
                                        StepsTaken& steps, const std::function<bool()>& keep_going)
{
    steps = steps_on_cast(state);
    Profile profile = state.steps.bin_m
                          ? binned_profile(state.g_table, columns, order, *state.steps.bin_m, keep_going)
                          : thinned_profile(state.g_table, state.ccolumns + 1, columns, order, keep_going);
    if (!state.steps.bin_m && order == RowOrder::recorded && !end.where_thinned &&
        end_at_deepest(profile, state.g_table, columns)) {
        steps.deepest_m = profile.rows.back().depth_m;
    }
    if (profile.notes.any() && !controls.ask(Question::computed_notes(profile.notes))) {
        return std::nullopt;
    }
    if (profile.rows.empty()) {
        // A file of no profile line would replace a sounder's profile with nothing. The .sva of its
        // header alone is what a cast above the thinning step has always given.
        if (!end.header_alone || !outside_in_profile(state).empty()) {
            throw Error(ErrorKind::no_profile, empty_profile_message(state));
        }
        if (!controls.ask(Question::export_anyway({ProfileEmpty{}}))) {
            return std::nullopt;
        }
    }
    if (const std::optional<SurfaceSensor> sensor = state.steps.surface) {
        steps.surface = sensor;
        steps.surface_profile_m_s = sound_at(profile, sensor->draft_m);
        if (steps.surface_profile_m_s &&
            std::fabs(*steps.surface_profile_m_s - sensor->sound_m_s) > surface_tolerance_m_s &&
            !controls.ask(Question::export_anyway(
                {SurfaceSoundApart{sensor->draft_m, *steps.surface_profile_m_s, sensor->sound_m_s}}))) {
            return std::nullopt;
        }
    }
    return profile;
}

SounderShaping shape_for_writer(Profile& profile, const ProfileWriter& writer, const SounderSettings& sounder)
{
    if (writer.shaped_for_sounder()) {
        return shape_for_sounder(
            profile, SounderShape{true, sounder.extend,
                                  sounder.most_lines > 0 ? sounder.most_lines : writer.most_lines()});
    }
    SounderShaping shaping;
    shaping.reduced = reduce_profile(profile, writer.most_lines());
    return shaping;
}

std::optional<Error> export_stop(const ProfileState& state)
{
    if (!state.g_table.has_shape() || state.last_load.names_listed == 0) {
        return std::nullopt;
    }
    ProfileColumns columns;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        const std::int32_t found = given_column(state, f);
        columns.fields[f] = found >= 0 && found <= state.ccolumns ? found : absent_field;
    }
    return first_profile_failure(state.g_table, state.ccolumns + 1, columns, export_row_order(state));
}

ExportOutcome export_profile(Controls& controls, const ProfileState& state, const SounderSettings& sounder,
                             SystemCalls& calls)
{
    if (!state.g_table.has_shape()) {
        throw Error(ErrorKind::no_profile, std::string(no_profile_message));
    }
    const ProfileColumns columns = profile_columns(controls, state);
    // Asked before the dialog, so that a No leaves everything as a cancel would.
    if (std::vector<Doubt> doubts = export_doubts(controls, state); !doubts.empty()) {
        if (!controls.ask(Question::export_anyway(std::move(doubts)))) {
            return {};
        }
    }

    const FilterList filters = save_filters();
    controls.dialog_set_filter(filters.text, filters.selected);
    controls.dialog_show(DialogMode::save);
    const Target target = export_target(controls);
    const std::string& path = target.path;
    if (path.empty()) {
        return {};
    }
    // Neither the cast the table holds nor the file the load box names (a load that failed before
    // its header left the table as it was) is ever replaced by a profile.
    const std::string& cast = state.last_load.cast_path;
    for (const std::string& source : {cast, controls.text(TextBox::tx_ss_file)}) {
        if (same_file(path, source)) {
            throw Error(ErrorKind::permission_denied, quoted_path(path) + " is the cast " +
                                                          quoted_path(source) +
                                                          "; an export never replaces a cast");
        }
    }
    const ProfileWriter& writer = *target.writer;
    // Asked once the format is known: a format of depth and sound velocity only has no such field.
    if (std::vector<std::string> zeros = absent_fields(columns, writer); !zeros.empty()) {
        if (!controls.ask(Question::export_anyway({FieldsAbsent{std::move(zeros)}}))) {
            return {};
        }
    }
    std::string existing;
    bool saw_casts = false;
    Placement placed = placement(controls, target, calls, cast, existing, saw_casts);
    if (placed == Placement::cancel) {
        return {};
    }
    const std::optional<CastInfo> described =
        writer.needs_time_and_position() ? cast_with_fix(controls, state, writer.facts().filter) : state.cast;
    if (!described) {
        return {};
    }

    const RowOrder order = export_row_order(state);
    ExportOutcome outcome;
    outcome.written = true;
    outcome.writer = &writer;
    outcome.from_upcast = order == RowOrder::upcast;
    try {
        const KeepGoing keep_going = [&controls] { return controls.process_events(); };
        // Another program may add to a file of many casts meanwhile: from here to the rename, such a
        // file is read and written by one writer at a time, as it stands under the lock.
        std::optional<TargetLock> lock;
        if (writer.holds_many_casts()) {
            lock.emplace(path, keep_going, calls);
            std::error_code ec;
            std::optional<std::string> now;
            if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0) {
                now = casts_file(target, calls);
            }
            if (placed == Placement::add) {
                if (!now) {
                    throw Error(ErrorKind::io_error,
                                quoted_path(path) +
                                    " was replaced while the export asked; it was left as it is");
                }
                existing = std::move(*now);
            } else if (now && !saw_casts) { // another writer made the file meanwhile
                placed = placement(controls, target, calls, cast, existing, saw_casts);
                if (placed == Placement::cancel) {
                    controls.set_caption(Label::Label6, status_idle);
                    return {};
                }
            }
        }
        // A write that waits (a pipe nobody reads) asks too, and a stop ends it at once.
        OutputFile file(path, keep_going, calls);
        controls.set_caption(Label::Label6, status_working);
        std::optional<Profile> made = profile_to_write(
            controls, state, columns, order,
            ProfileEnd{writer.ends_where_thinned(), writer.writes_header_alone()}, outcome.steps, keep_going);
        if (!made) {
            controls.set_caption(Label::Label6, status_idle);
            return {};
        }
        Profile& profile = *made;
        const SounderShaping shaping = shape_for_writer(profile, writer, sounder);
        outcome.reduced = shaping.reduced;
        if (writer.shaped_for_sounder()) {
            outcome.notes = shaping_notes(shaping);
            outcome.steps.sounder = shaping;
        }
        if (placed == Placement::add) {
            writer.write_added(profile, *described, existing, file);
            outcome.added = true;
        } else {
            writer.write(profile, *described, file);
        }
        outcome.profile_lines = static_cast<std::int32_t>(profile.rows.size());
        // A stop asked for meanwhile keeps the target as it was: the file is dropped unnamed.
        if (!controls.process_events()) {
            outcome = ExportOutcome{};
            outcome.stopped = true;
        } else {
            file.commit();
        }
    } catch (const WriteStopped&) {
        outcome = ExportOutcome{};
        outcome.stopped = true;
    } catch (const std::bad_alloc&) {
        controls.set_caption(Label::Label6, status_idle);
        throw Error(ErrorKind::out_of_memory, "no memory left to write the profile of " + quoted_path(cast));
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
    controls.set_caption(Label::Label6, outcome.reduced ? reduced_status(*outcome.reduced)
                                        : outcome.from_upcast && outcome.written ? std::string(status_upcast)
                                                                                 : std::string(status_idle));
    return outcome;
}

std::string reduced_status(const Reduction& reduction)
{
    return "Reduced: " + std::to_string(reduction.lines_after) + " (" +
           value_text(reduction.tolerance_m_s, reduction_decimals) + " m/s)";
}

RowOrder export_row_order(const ProfileState& state)
{
    if (state.cast.rules.row_order != RowOrderRule::every_row && state.steps.cast != CastChoice::by_rule) {
        return state.steps.cast == CastChoice::up ? RowOrder::upcast : RowOrder::recorded;
    }
    switch (state.cast.rules.row_order) {
    case RowOrderRule::every_row: return RowOrder::given;
    case RowOrderRule::upcast_if_any:
        return state.g_table.has_shape() && recorded_upward(state.g_table, state.ccolumns + 1)
                   ? RowOrder::upcast
                   : RowOrder::recorded;
    case RowOrderRule::as_recorded: break;
    }
    return RowOrder::recorded;
}

} // namespace quillonde
