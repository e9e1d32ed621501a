#include "form/export.h"

#include "form/loader.h"
#include "profile/output_file.h"
#include "runtime/cell.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <array>
#include <string>
#include <utility>

namespace quillonde {

namespace {

constexpr std::string_view no_profile_message = "No data file has been loaded";
constexpr double thinning_step_m = 0.5; // a row is written only this far below the last one
constexpr std::size_t write_block_bytes = std::size_t{1} << 16;

/// The columns of a profile line after the depth, in the order of the file.
struct ProfileField {
    std::string_view name;
    int decimals;
};
constexpr std::array<ProfileField, 4> profile_fields = {{
    {"SOUND", 2},
    {"Temp", 3},
    {"SALIN", 3},
    {"Cond", 3},
}};
constexpr int depth_decimals = 1;

/// The table column of each profile field: the position of the first entry of List1 with its name.
/// Acquisition software appends raw-count channels under the same names; the first is the value.
std::array<std::int32_t, profile_fields.size()> find_columns(const Controls& controls,
                                                             const ProfileState& state)
{
    std::array<std::int32_t, profile_fields.size()> columns{};
    columns.fill(-1);
    const int entries = controls.list_count();
    for (int i = 0; i < entries; ++i) {
        const std::string entry = controls.list_entry(i);
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            if (columns[f] < 0 && entry == profile_fields[f].name) {
                columns[f] = i;
            }
        }
    }

    std::string missing;
    int missing_count = 0;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (columns[f] < 0) {
            missing += missing.empty() ? "" : ", ";
            missing += '"' + std::string(profile_fields[f].name) + '"';
            ++missing_count;
        }
    }
    if (missing_count == 1) {
        throw Error(ErrorKind::missing_column, "The data file has no column named " + missing);
    }
    if (missing_count > 1) {
        throw Error(ErrorKind::missing_column, "The data file has no columns named " + missing);
    }
    // List1 names one table column per entry; after a file with two header lines it holds the
    // names of both, and a position would no longer be the column of that name.
    if (entries != state.ccolumns + 1) {
        throw Error(ErrorKind::bad_data_file, "the column list holds " + std::to_string(entries) +
                                                  " names for a table of " +
                                                  std::to_string(state.ccolumns + 1) +
                                                  " columns; the data file has more than one header line");
    }
    return columns;
}

std::string row_place(std::int32_t row)
{
    return row == 0 ? "the header" : "table row " + std::to_string(row);
}

/// A field as the file writes it: rounded to its decimals, at most 15 digits, no trailing zeros.
std::string field_text(double value, int decimals)
{
    return double_to_str(round_to(value, decimals));
}

} // namespace

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
        const ProfileTable& table = state.g_table;
        const std::int32_t depth_column = state.ccolumns + 1;
        const std::int32_t last_row = table.last_row();
        std::string block(sva_header);
        std::int32_t block_row = 0; // the table row of the block's last line; 0 for the header
        double last_depth_m = 0.0;  // unrounded, as the depth cell holds it
        std::string last_depth_text;
        for (std::int32_t row = 1; row <= last_row; ++row) {
            try {
                const double depth_m = cell_to_double(table.cell(depth_column, row));
                if (!(last_depth_m + thinning_step_m < depth_m)) {
                    continue;
                }
                // From 1E+15 m on, the 15 digits of the text step by more than the thinning step:
                // a row that would read as deep as the last one written is left out as well.
                std::string depth_text = field_text(depth_m, depth_decimals);
                if (depth_text == last_depth_text) {
                    continue;
                }
                block += depth_text;
                block += '\t';
                for (std::size_t f = 0; f < profile_fields.size(); ++f) {
                    const double value = with_subject(
                        profile_fields[f].name, [&] { return cell_to_double(table.cell(columns[f], row)); });
                    block += field_text(value, profile_fields[f].decimals);
                    block += '\t';
                }
                block += "\r\n";
                last_depth_m = depth_m;
                last_depth_text = std::move(depth_text);
                ++outcome.profile_lines;
                block_row = row;
                if (block.size() >= write_block_bytes) {
                    file.write(block);
                    block.clear();
                }
            } catch (const Error& error) {
                throw error.at(row_place(row));
            }
        }
        try {
            file.write(block);
        } catch (const Error& error) {
            throw error.at(row_place(block_row));
        }
        file.commit();
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
    controls.set_caption(Label::Label6, status_idle);
    return outcome;
}

} // namespace quillonde
