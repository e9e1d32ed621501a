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
#include <cstdio>
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

/// What the user should know before the table is exported: a load that failed part way, fewer rows
/// than the cast declares, depths for other water than the window shows. Empty when the table is
/// the whole cast as the window would load it now.
std::vector<Doubt> export_doubts(const Controls& controls, const ProfileState& state)
{
    const LoadRecord& load = state.last_load;
    std::vector<Doubt> doubts;
    const std::int32_t rows_read = state.g_table.filled_rows();
    if (load.failed_line != 0) {
        doubts.emplace_back(LoadFailed{load.failed_line, load.failure, rows_read});
    }
    if (rows_read < state.g_table.last_row()) {
        doubts.emplace_back(CastShort{state.g_table.last_row(), rows_read});
    }
    std::optional<DepthBasis> shown;
    const std::string shown_text = window_water_text(controls, shown);
    if (load.depth_basis && (load.mixed_basis || shown != load.depth_basis)) {
        doubts.emplace_back(DepthsForOtherWater{*load.depth_basis, load.mixed_basis, shown_text});
    }
    return doubts;
}

/// The refusal of a cast that lacks the columns of `fields` (of profile_fields).
Error missing_columns_error(const std::vector<std::size_t>& fields)
{
    std::string names;
    for (const std::size_t f : fields) {
        names += names.empty() ? "" : ", ";
        names += '"' + std::string(profile_fields[f].name) + '"';
    }
    return Error(ErrorKind::missing_column, (fields.size() == 1 ? "The data file has no column named "
                                                                : "The data file has no columns named ") +
                                                names);
}

/// The columns of the profile: the first column of the cast with a field's name, or, where the cast
/// lacks SOUND, SALIN or Cond and the user agrees, a field computed from the others. Acquisition
/// software appends raw-count channels under the same names; the first is the value.
ProfileColumns find_columns(Controls& controls, const ProfileState& state)
{
    // A load that failed before its header has emptied the list, and the table it left is no
    // longer the one the window names.
    const bool listed = state.last_load.names_listed > 0;
    std::array<std::int32_t, profile_fields.size()> found{};
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        found[f] = listed ? state.cast.column_named(profile_fields[f].name) : -1;
    }

    std::vector<std::size_t> missing;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (found[f] < 0) {
            missing.push_back(f);
        }
    }
    const auto refusal = [&] { return missing_columns_error(missing); };
    const bool derivable = state.last_load.press_col >= 0 && found[temperature_field] >= 0 &&
                           (found[salinity_field] >= 0 || found[conductivity_field] >= 0);
    // A cast of sound speed alone (a profile file, a sound velocity probe) goes to the formats of
    // depth and sound speed; what the others need is refused once the format is known.
    const bool sound_only = found[sound_field] >= 0 && found[temperature_field] < 0 &&
                            found[salinity_field] < 0 && found[conductivity_field] < 0;
    if (!missing.empty() && !derivable && !sound_only) {
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
    for (std::size_t d = 0; d < derived_columns.size() && !sound_only; ++d) {
        if (found[derived_columns[d].field] < 0 && !controls.ask(Question::compute_column(d))) {
            throw refusal();
        }
    }

    ProfileColumns columns;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        columns.fields[f] = found[f] >= 0 ? found[f] : sound_only ? absent_field : derived_field;
    }
    columns.pressure = state.last_load.press_col;
    return columns;
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
    const FilePointer file = open_for_reading(path);
    std::string bytes;
    std::array<char, std::size_t{1} << 16> block{};
    std::size_t got = 0;
    while (bytes.size() < most &&
           (got = std::fread(block.data(), 1, std::min(block.size(), most - bytes.size()), file.get())) > 0) {
        bytes.append(block.data(), got);
    }
    if (std::ferror(file.get()) != 0) {
        throw file_error(errno, "read", path);
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

/// A cast of sound speed alone goes only to a format that needs nothing more.
void refuse_absent_fields(const ProfileColumns& columns, const ProfileWriter& writer)
{
    std::vector<std::size_t> absent;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (columns.fields[f] == absent_field && writer.writes_field(f)) {
            absent.push_back(f);
        }
    }
    if (!absent.empty()) {
        throw missing_columns_error(absent);
    }
}

} // namespace

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
    refuse_absent_fields(columns, writer);
    std::string existing;
    const Placement placed = placement(controls, target, cast, existing);
    if (placed == Placement::cancel) {
        return {};
    }
    const std::optional<CastInfo> described = described_cast(controls, state, writer);
    if (!described) {
        return {};
    }

    OutputFile file(path);
    controls.set_caption(Label::Label6, status_working);
    ExportOutcome outcome;
    outcome.written = true;
    outcome.writer = &writer;
    try {
        Profile profile = thinned_profile(state.g_table, state.ccolumns + 1, columns);
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
    } catch (const std::bad_alloc&) {
        controls.set_caption(Label::Label6, status_idle);
        throw Error(ErrorKind::out_of_memory, "no memory left to write the profile of " + quoted_path(cast));
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
    controls.set_caption(Label::Label6,
                         outcome.reduced ? reduced_status(*outcome.reduced) : std::string(status_idle));
    return outcome;
}

std::string reduced_status(const Reduction& reduction)
{
    return "Reduced: " + std::to_string(reduction.lines_after) + " (" +
           value_text(reduction.tolerance_m_s, reduction_decimals) + " m/s)";
}

} // namespace quillonde
