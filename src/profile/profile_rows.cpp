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

/// Fills in the derived fields of `values`, the row's other fields read already, and counts in
/// `notes` what their inputs were.
void derive_fields(const ProfileTable& table, const ProfileColumns& columns, std::int32_t row,
                   std::array<double, profile_fields.size()>& values, DerivedNotes& notes)
{
    const double pressure_dbar =
        with_subject(pressure_name, [&] { return cell_to_double(table.cell(columns.pressure, row)); });
    const double temperature_c = values[temperature_field];
    const auto count_near = [&](std::size_t field, const SeawaterRange& range) {
        if (!range.contains(values[salinity_field], temperature_c, pressure_dbar)) {
            ++notes.near_range[field];
        }
    };
    if (is_derived(columns, salinity_field)) {
        values[salinity_field] = practical_salinity(values[conductivity_field], temperature_c, pressure_dbar);
        if (is_conductivity_noise(values[conductivity_field])) {
            ++notes.conductivity_noise;
        } else {
            count_near(salinity_field, practical_salinity_range);
        }
    }
    if (is_derived(columns, conductivity_field)) {
        values[conductivity_field] = conductivity(values[salinity_field], temperature_c, pressure_dbar);
        count_near(conductivity_field, practical_salinity_range);
    }
    if (is_derived(columns, sound_field)) {
        values[sound_field] = sound_speed(values[salinity_field], temperature_c, pressure_dbar);
        count_near(sound_field, sound_speed_range);
    }
}

/// Reads the fields of `row` that come from the table into `values`; an absent field stays 0.
void read_fields(const ProfileTable& table, const ProfileColumns& columns, std::int32_t row,
                 std::array<double, profile_fields.size()>& values)
{
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        if (!is_derived(columns, f) && columns.fields[f] != absent_field) {
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
                                           const ProfileColumns& columns, RowOrder order)
{
    try {
        for_each_profile_row(table, depth_column, order, [&](std::int32_t row, double, const std::string&) {
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

bool recorded_upward(const ProfileTable& table, std::int32_t depth_column)
{
    bool started = false;
    double first_m = 0.0;
    bool rises = false;
    const std::int32_t last_row = table.last_row();
    for (std::int32_t row = 1; row <= last_row; ++row) {
        const Cell cell = table.cell(depth_column, row);
        if (cell.is_empty()) {
            continue;
        }
        const double depth_m = cell_to_double(cell);
        if (!started) {
            started = true;
            first_m = depth_m;
        } else if (depth_m > first_m + thinning_step_m) {
            return false; // a downcast
        }
        rises = rises || depth_m < first_m - thinning_step_m;
    }
    return rises;
}

Profile thinned_profile(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns,
                        RowOrder order, const std::function<bool()>& keep_going)
{
    Profile profile;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        profile.given[f] = columns.fields[f] != absent_field;
    }
    const bool derives = std::ranges::find(columns.fields, derived_field) != columns.fields.end();
    for_each_profile_row(
        table, depth_column, order,
        [&](std::int32_t row, double depth_m, const auto&) {
            try {
                ProfileRow line{row, depth_m, {}};
                read_fields(table, columns, row, line.values);
                if (derives) {
                    derive_fields(table, columns, row, line.values, profile.notes);
                }
                profile.rows.push_back(line);
            } catch (const Error& error) {
                throw error.at(row_place(row));
            } catch (const std::bad_alloc&) {
                throw Error(ErrorKind::out_of_memory, "no memory left for the profile", row_place(row));
            }
        },
        keep_going);
    return profile;
}

} // namespace quillonde
