#include "form/export.h"

#include "form/loader.h"
#include "profile/output_file.h"
#include "runtime/error.h"

#include <string>

namespace quillonde {

namespace {

constexpr std::string_view no_profile_message = "No data file has been loaded";

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
     "(PSS-78) "
     "and write the profile?"},
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

    controls.dialog_set_filter(DialogFilter::elac_sound);
    controls.dialog_show(DialogMode::save);
    if (!controls.dialog_file_name().empty()) {
        controls.set_text(TextBox::tx_out, controls.dialog_file_name());
    }
    const std::string path = controls.text(TextBox::tx_out);
    if (path.empty()) {
        return {};
    }

    OutputFile file(path);
    controls.set_caption(Label::Label6, status_working);
    ExportOutcome outcome{true, 0};
    try {
        outcome.profile_lines = write_sva(state.g_table, state.ccolumns + 1, columns, file);
        // A stop asked for meanwhile keeps the target as it was: the file is dropped unnamed.
        if (!controls.process_events()) {
            outcome = {false, 0, true};
        } else {
            file.commit();
        }
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
    controls.set_caption(Label::Label6, status_idle);
    return outcome;
}

} // namespace quillonde
