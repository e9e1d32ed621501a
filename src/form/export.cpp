#include "form/export.h"

#include "form/loader.h"
#include "form/water.h"
#include "formats/registry.h"
#include "profile/output_file.h"
#include "profile/profile_rows.h"
#include "runtime/error.h"

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

/// What the user should know before the table is exported: a load that failed part way, a last line
/// without a line end, fewer rows than the cast declares, depths for other water than the window
/// shows or than the cast's salinity says. Empty when the table is the whole cast as the window
/// would load it now.
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
    }
    std::optional<DepthBasis> shown;
    const std::string shown_text = window_water_text(controls, shown);
    if (load.depth_basis && (load.mixed_basis || shown != load.depth_basis)) {
        doubts.emplace_back(DepthsForOtherWater{*load.depth_basis, load.mixed_basis, shown_text});
    }
    if (std::optional<SalinityAgainstWater> water = salinity_doubt(state)) {
        doubts.emplace_back(*water);
    }
    return doubts;
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
    const bool derivable = state.last_load.press_col >= 0 && found[temperature_field] >= 0 &&
                           (found[salinity_field] >= 0 || found[conductivity_field] >= 0);
    if (missing_count > 0 && !derivable) {
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
    for (std::size_t d = 0; d < derived_columns.size(); ++d) {
        if (found[derived_columns[d].field] < 0 && !controls.ask(Question::compute_column(d))) {
            throw refusal();
        }
    }

    ProfileColumns columns;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        columns.fields[f] = found[f] >= 0 ? found[f] : derived_field;
    }
    columns.pressure = state.last_load.press_col;
    return columns;
}

/// The writer of a target path: the format its extension names, or the first one.
const ProfileWriter& writer_for(const std::string& path)
{
    const ProfileWriter* writer = writer_for_path(path);
    return writer != nullptr ? *writer : *profile_writers().front();
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
        columns.fields[f] = found >= 0 && found <= state.ccolumns ? found : derived_field;
    }
    return first_profile_failure(state.g_table, state.ccolumns + 1, columns);
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
    const bool chosen = !controls.dialog_file_name().empty();
    if (chosen) {
        controls.set_text(TextBox::tx_out, controls.dialog_file_name());
    }
    const std::string path = controls.text(TextBox::tx_out);
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
    // tx_out keeps the path of the previous export: a cancelled dialog must not silently replace it.
    // Pipes and devices are written where they stand and replace nothing.
    std::error_code ec;
    if (!chosen && std::filesystem::is_regular_file(path, ec) &&
        !controls.ask(Question::replace_file(path, cast))) {
        return {};
    }

    const ProfileWriter& writer = writer_for(path);
    OutputFile file(path);
    controls.set_caption(Label::Label6, status_working);
    ExportOutcome outcome{true, 0};
    try {
        const Profile profile = thinned_profile(state.g_table, state.ccolumns + 1, columns);
        writer.write(profile, state.cast, file);
        outcome.profile_lines = static_cast<std::int32_t>(profile.rows.size());
        // A stop asked for meanwhile keeps the target as it was: the file is dropped unnamed.
        if (!controls.process_events()) {
            outcome = {false, 0, true};
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
    controls.set_caption(Label::Label6, status_idle);
    return outcome;
}

} // namespace quillonde
