#include "profile/sva.h"

#include "depth/seawater.h"
#include "profile/output_file.h"
#include "runtime/cell.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::size_t write_block_bytes = std::size_t{1} << 16;

std::string row_place(std::int32_t row)
{
    return row == 0 ? "the header" : "table row " + std::to_string(row);
}

bool is_derived(const ProfileColumns& columns, std::size_t field)
{
    return columns.fields[field] == derived_field;
}

/// Fills in the derived fields of `values`, the row's other fields read already.
void derive_fields(const ProfileTable& table, const ProfileColumns& columns, std::int32_t row,
                   std::array<double, profile_fields.size()>& values)
{
    const double pressure_dbar =
        with_subject(pressure_name, [&] { return cell_to_double(table.cell(columns.pressure, row)); });
    const double temperature_c = values[temperature_field];
    if (is_derived(columns, salinity_field)) {
        values[salinity_field] = practical_salinity(values[conductivity_field], temperature_c, pressure_dbar);
    }
    if (is_derived(columns, conductivity_field)) {
        values[conductivity_field] = conductivity(values[salinity_field], temperature_c, pressure_dbar);
    }
    if (is_derived(columns, sound_field)) {
        values[sound_field] = sound_speed(values[salinity_field], temperature_c, pressure_dbar);
    }
}

} // namespace

std::string sva_field(double value, int decimals)
{
    return double_to_str(round_to(value, decimals));
}

std::int32_t write_sva(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns,
                       OutputFile& file)
{
    std::string block(sva_header);
    std::int32_t block_row = 0; // the table row of the block's last line; 0 for the header
    std::int32_t lines = 0;
    const bool derives = std::ranges::find(columns.fields, derived_field) != columns.fields.end();
    for_each_profile_row(table, depth_column,
                         [&](std::int32_t row, double /*depth_m*/, const std::string& depth_text) {
                             try {
                                 block += depth_text;
                                 block += '\t';
                                 std::array<double, profile_fields.size()> values{};
                                 for (std::size_t f = 0; f < profile_fields.size(); ++f) {
                                     if (!is_derived(columns, f)) {
                                         values[f] = with_subject(profile_fields[f].name, [&] {
                                             return cell_to_double(table.cell(columns.fields[f], row));
                                         });
                                     }
                                 }
                                 if (derives) {
                                     derive_fields(table, columns, row, values);
                                 }
                                 for (std::size_t f = 0; f < profile_fields.size(); ++f) {
                                     block += sva_field(values[f], profile_fields[f].decimals);
                                     block += '\t';
                                 }
                                 block += "\r\n";
                                 ++lines;
                                 block_row = row;
                                 if (block.size() >= write_block_bytes) {
                                     file.write(block);
                                     block.clear();
                                 }
                             } catch (const Error& error) {
                                 throw error.at(row_place(row));
                             }
                         });
    try {
        file.write(block);
    } catch (const Error& error) {
        throw error.at(row_place(block_row));
    }
    return lines;
}

} // namespace quillonde
