#include "profile/profile_rows.h"

#include "depth/seawater.h"
#include "runtime/cell.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace quillonde {

namespace {

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

/// Reads the fields of `row` that come from the table into `values`.
void read_fields(const ProfileTable& table, const ProfileColumns& columns, std::int32_t row,
                 std::array<double, profile_fields.size()>& values)
{
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (!is_derived(columns, f)) {
            values[f] = with_subject(profile_fields[f].name,
                                     [&] { return cell_to_double(table.cell(columns.fields[f], row)); });
        }
    }
}

} // namespace

std::string value_text(double value, int decimals)
{
    return double_to_str(round_to(value, decimals));
}

std::optional<Error> first_profile_failure(const ProfileTable& table, std::int32_t depth_column,
                                           const ProfileColumns& columns)
{
    try {
        for_each_profile_row(table, depth_column, [&](std::int32_t row, double, const std::string&) {
            std::array<double, profile_fields.size()> values{};
            try {
                read_fields(table, columns, row, values);
            } catch (const Error& error) {
                throw error.at(row_place(row)); // the first is enough
            }
        });
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

std::optional<double> column_median(const ProfileTable& table, std::int32_t column)
{
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(table.filled_rows()));
    for (std::int32_t row = table.next_stored_row(1); row <= table.last_row();
         row = table.next_stored_row(row + 1)) {
        const Cell cell = table.cell(column, row);
        double value = 0.0;
        if (cell.kind() == Cell::Kind::text && parse_number(cell.as_text(), value) == NumberStatus::ok &&
            std::isfinite(value)) {
            values.push_back(value);
        }
    }
    if (values.empty()) {
        return std::nullopt;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::ranges::nth_element(values, middle);
    if (values.size() % 2 == 1) {
        return *middle;
    }
    const double below = *std::max_element(values.begin(), middle);
    return below + (*middle - below) / 2.0;
}

std::string row_place(std::int32_t row)
{
    return row == 0 ? "the header" : "table row " + std::to_string(row);
}

Profile thinned_profile(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns)
{
    Profile profile;
    const bool derives = std::ranges::find(columns.fields, derived_field) != columns.fields.end();
    for_each_profile_row(table, depth_column, [&](std::int32_t row, double depth_m, const std::string&) {
        try {
            ProfileRow line{row, depth_m, {}};
            read_fields(table, columns, row, line.values);
            if (derives) {
                derive_fields(table, columns, row, line.values);
            }
            profile.rows.push_back(line);
        } catch (const Error& error) {
            throw error.at(row_place(row));
        } catch (const std::bad_alloc&) {
            throw Error(ErrorKind::out_of_memory, "no memory left for the profile", row_place(row));
        }
    });
    return profile;
}

} // namespace quillonde
