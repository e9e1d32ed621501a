#include "form/export.h"

#include "form/loader.h"
#include "profile/output_file.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

namespace {

constexpr std::string_view no_profile_message = "No data file has been loaded";

std::string quote(std::string_view text)
{
    return quoted(text, std::string_view::npos);
}

std::string water_text(const DepthBasis& basis)
{
    return basis.salt_water ? "salt water at " + std::to_string(basis.latitude_deg) + " degrees"
                            : "fresh water";
}

/// The water and latitude the window shows now, as a load would compute depths for them.
std::string window_water_text(const Controls& controls, std::optional<DepthBasis>& basis)
{
    if (!controls.selected(OptionButton::op_salt)) {
        basis = DepthBasis{false, 0};
        return water_text(*basis);
    }
    const std::string latitude = controls.text(TextBox::tx_lat);
    try {
        basis = DepthBasis{true, str_to_long(latitude)};
        return water_text(*basis);
    } catch (const Error&) {
        return "salt water at " + quote(latitude) + " degrees"; // a load would fail on it
    }
}

/// What the user should know before the table is exported, one sentence or two for each case: a
/// load that failed part way, fewer rows than the cast declares, depths for other water than the
/// window shows. Empty when the table is the whole cast as the window would load it now.
std::string export_doubts(const Controls& controls, const ProfileState& state, bool& depths_differ)
{
    const LoadRecord& load = state.last_load;
    std::vector<std::string> doubts;
    const std::int32_t rows_read = state.g_table.filled_rows();
    if (load.failed_line != 0) {
        doubts.push_back("The last load stopped at line " + std::to_string(load.failed_line) + " (" +
                         load.failure + "). The table holds only the " + std::to_string(rows_read) +
                         " rows read before that line.");
    }
    if (rows_read < state.g_table.last_row()) {
        doubts.push_back("The cast declares " + std::to_string(state.g_table.last_row()) + " rows; " +
                         std::to_string(rows_read) + " were read.");
    }
    std::optional<DepthBasis> shown;
    const std::string shown_text = window_water_text(controls, shown);
    depths_differ = load.depth_basis && (load.mixed_basis || shown != load.depth_basis);
    if (depths_differ) {
        const std::string loaded =
            water_text(*load.depth_basis) + (load.mixed_basis ? " at first, then for other settings" : "");
        doubts.push_back("The depths were computed for " + loaded + "; the window shows " + shown_text + ".");
    }
    std::string text;
    for (const std::string& doubt : doubts) {
        text += text.empty() ? "" : " ";
        text += doubt;
    }
    return text;
}

/// The columns of the profile: the position of the first entry of List1 with a field's name, or, where
/// the cast lacks SOUND, SALIN or Cond and the user agrees, a field computed from the others.
/// Acquisition software appends raw-count channels under the same names; the first is the value.
ProfileColumns find_columns(Controls& controls, const ProfileState& state)
{
    std::array<std::int32_t, profile_fields.size()> found{};
    found.fill(-1);
    const int entries = controls.list_count();
    for (int i = 0; i < entries; ++i) {
        const std::string entry = controls.list_entry(i);
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            if (found[f] < 0 && entry == profile_fields[f].name) {
                found[f] = i;
            }
        }
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
    // List1 names one table column per entry; after a file with two header lines it holds the
    // names of both, and a position would no longer be the column of that name.
    if (entries != state.ccolumns + 1) {
        throw Error(ErrorKind::bad_data_file, "the column list holds " + std::to_string(entries) +
                                                  " names for a table of " +
                                                  std::to_string(state.ccolumns + 1) +
                                                  " columns; the data file has more than one header line");
    }
    for (const DerivedColumn& derived : derived_columns) {
        if (found[derived.field] < 0 && !controls.ask(Question::compute_column, derived.question)) {
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

} // namespace

const std::array<DerivedColumn, 3> derived_columns = {{
    {sound_field, "Temp, SALIN and Press",
     "The cast has no SOUND column. Compute the sound velocity from Temp, SALIN and Press after UNESCO 1983 "
     "(Chen and Millero) and write the profile?"},
    {salinity_field, "Cond, Temp and Press",
     "The cast has no SALIN column. Compute the salinity from Cond, Temp and Press after UNESCO 1983 "
     "(PSS-78) and write the profile?"},
    {conductivity_field, "SALIN, Temp and Press",
     "The cast has no Cond column. Compute the conductivity from SALIN, Temp and Press after UNESCO 1983 "
     "(PSS-78) and write the profile?"},
}};

ExportOutcome export_profile(Controls& controls, const ProfileState& state)
{
    if (!state.g_table.has_shape()) {
        throw Error(ErrorKind::no_profile, std::string(no_profile_message));
    }
    const auto columns = find_columns(controls, state);
    // Asked before the dialog, so that a No leaves everything as a cancel would.
    bool depths_differ = false;
    if (const std::string doubts = export_doubts(controls, state, depths_differ); !doubts.empty()) {
        const std::string_view closing = depths_differ ? export_as_loaded_question : export_them_question;
        if (!controls.ask(Question::export_anyway, doubts + " " + std::string(closing))) {
            return {};
        }
    }

    controls.dialog_set_filter(DialogFilter::elac_sound);
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
            throw Error(ErrorKind::permission_denied,
                        quote(path) + " is the cast " + quote(source) + "; an export never replaces a cast");
        }
    }
    // tx_out keeps the path of the previous export: a cancelled dialog must not silently replace it.
    // Pipes and devices are written where they stand and replace nothing.
    std::error_code ec;
    if (!chosen && std::filesystem::is_regular_file(path, ec) &&
        !controls.ask(Question::replace_file,
                      "Replace " + quote(path) + " with the profile of " + quote(cast) + "?")) {
        return {};
    }

    ExportOutcome outcome{true, 0};
    try {
        // A write that waits (a pipe nobody reads) asks too, and a stop ends it at once.
        OutputFile file(path, [&controls] { return controls.process_events(); });
        controls.set_caption(Label::Label6, status_working);
        outcome.profile_lines = write_sva(state.g_table, state.ccolumns + 1, columns, file);
        // A stop asked for meanwhile keeps the target as it was: the file is dropped unnamed.
        if (!controls.process_events()) {
            outcome = {false, 0, true};
        } else {
            file.commit();
        }
    } catch (const WriteStopped&) {
        outcome = {false, 0, true};
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
    controls.set_caption(Label::Label6, status_idle);
    return outcome;
}

} // namespace quillonde
