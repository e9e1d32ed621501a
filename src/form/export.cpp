#include "form/export.h"

#include "form/loader.h"
#include "form/water.h"
#include "formats/registry.h"
#include "profile/output_file.h"
#include "profile/profile_rows.h"
#include "profile/text_file.h"
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

/// What the user should know before the table is exported: a load that failed part way, a last line
/// without a line end, fewer rows than the cast declares, depths for other water than the window
/// shows, than the cast's salinity says or for a latitude far from the cast's. Empty when the table
/// is the whole cast as the window would load it now.
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
    return doubts;
}

/// The columns of the profile: the first column of the cast with a field's name; where the cast
/// lacks SOUND, SALIN or Cond but has the columns to compute it from and the user agrees, the field
/// computed; else, where the cast gives sound velocities, the field absent (written as 0, see
/// absent_fields). Acquisition software appends raw-count channels under the same names; the first
/// is the value.
ProfileColumns find_columns(Controls& controls, const ProfileState& state)
{
    // A load that failed before its header has emptied the list, and the table it left is no
    // longer the one the window names.
    const bool listed = state.last_load.names_listed > 0;
    std::array<std::int32_t, profile_fields.size()> found{};
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        found[f] = listed ? state.cast.column_named(profile_fields[f].name) : -1;
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
    columns.pressure = state.last_load.press_col;
    columns.depth = state.last_load.depth_col;
    columns.file_texts = state.cast.rules.profile;
    return columns;
}

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
std::string file_bytes(const std::string& path, std::size_t most)
{
    const Descriptor file = open_for_reading(path);
    std::string bytes;
    std::array<char, std::size_t{1} << 16> block{};
    while (bytes.size() < most) {
        const ssize_t got = retry_interrupted(
            [&] {
                return system_calls().read(file.get(), block.data(),
                                           std::min(block.size(), most - bytes.size()));
            },
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

/// Asks what becomes of a target that is there: for a file that holds casts, whether the cast is
/// added to them or replaces the file; for another file that the dialog did not ask about, whether
/// it is replaced. `existing` takes the bytes of a file the cast is added to.
Placement placement(Controls& controls, const Target& target, const std::string& cast, std::string& existing)
{
    std::error_code ec;
    // Pipes and devices are written where they stand and replace nothing.
    if (!std::filesystem::is_regular_file(target.path, ec)) {
        return Placement::write;
    }
    // Only a file of the format is read whole.
    if (target.writer->holds_many_casts() &&
        target.writer->casts_held(file_bytes(target.path, head_bytes)).has_value()) {
        existing = file_bytes(target.path, std::string::npos);
        const std::optional<std::size_t> held = target.writer->casts_held(existing);
        if (held && *held > 0) {
            switch (controls.choose(Question::add_or_replace(target.path, cast, *held))) {
            case add_section_answer: return Placement::add;
            case replace_file_answer: existing.clear(); return Placement::write;
            default: return Placement::cancel;
            }
        }
        existing.clear();
    }
    // tx_out keeps the path of the previous export: a cancelled dialog must not silently replace it.
    return target.confirmed || controls.ask(Question::replace_file(target.path, cast)) ? Placement::write
                                                                                       : Placement::cancel;
}

/// The cast as the writer describes it: where its format needs the time and position and the cast
/// lacks them, with those the user gives; nothing when the user cancels.
std::optional<CastInfo> described_cast(Controls& controls, const ProfileState& state,
                                       const ProfileWriter& writer)
{
    if (!writer.needs_time_and_position()) {
        return state.cast;
    }
    const FixRequest request = fix_request(writer.facts().filter, state.cast, state.last_load.cast_path,
                                           controls.text(TextBox::tx_lat));
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

} // namespace

std::optional<Error> export_stop(const ProfileState& state)
{
    if (!state.g_table.has_shape() || state.last_load.names_listed == 0) {
        return std::nullopt;
    }
    ProfileColumns columns;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        const std::int32_t found = state.cast.column_named(profile_fields[f].name);
        columns.fields[f] = found >= 0 && found <= state.ccolumns ? found : absent_field;
    }
    return first_profile_failure(state.g_table, state.ccolumns + 1, columns, export_row_order(state));
}

ExportOutcome export_profile(Controls& controls, const ProfileState& state)
{
    if (!state.g_table.has_shape()) {
        throw Error(ErrorKind::no_profile, std::string(no_profile_message));
    }
    const ProfileColumns columns = find_columns(controls, state);
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
    const Placement placed = placement(controls, target, cast, existing);
    if (placed == Placement::cancel) {
        return {};
    }
    const std::optional<CastInfo> described = described_cast(controls, state, writer);
    if (!described) {
        return {};
    }

    const RowOrder order = export_row_order(state);
    ExportOutcome outcome;
    outcome.written = true;
    outcome.writer = &writer;
    outcome.from_upcast = order == RowOrder::upcast;
    try {
        // A write that waits (a pipe nobody reads) asks too, and a stop ends it at once.
        OutputFile file(path, [&controls] { return controls.process_events(); });
        controls.set_caption(Label::Label6, status_working);
        Profile profile = thinned_profile(state.g_table, state.ccolumns + 1, columns, order,
                                          [&controls] { return controls.process_events(); });
        if (profile.notes.any() && !controls.ask(Question::computed_notes(profile.notes))) {
            controls.set_caption(Label::Label6, status_idle);
            return {};
        }
        outcome.reduced = reduce_profile(profile, writer.most_lines());
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
