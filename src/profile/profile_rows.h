#pragma once

#include "profile/table.h"
#include "runtime/error.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillonde {

/// A row is written only if it lies more than this far below the row written last [m].
inline constexpr double thinning_step_m = 0.5;

/// A value column of a profile line, after the depth, in the order every profile file gives them.
struct ProfileField {
    std::string_view name;
    int decimals;
};
inline constexpr std::array<ProfileField, 4> profile_fields = {{
    {"SOUND", 2},
    {"Temp", 3},
    {"SALIN", 3},
    {"Cond", 3},
}};
inline constexpr int depth_decimals = 1;
// The positions of the fields in profile_fields.
inline constexpr std::size_t sound_field = 0;
inline constexpr std::size_t temperature_field = 1;
inline constexpr std::size_t salinity_field = 2;
inline constexpr std::size_t conductivity_field = 3;

/// The name of the pressure column [dbar] of a cast.
inline constexpr std::string_view pressure_name = "Press";
/// The name of a column that holds depths [m] as the file gives them.
inline constexpr std::string_view depth_name = "Depth";

/// In ProfileColumns, a field that is not read from the table but computed from the row's other
/// values after UNESCO 1983: SOUND from Temp, SALIN and Press (Chen and Millero), SALIN from Cond,
/// Temp and Press (PSS-78), Cond from SALIN, Temp and Press (PSS-78, inverted).
inline constexpr std::int32_t derived_field = -1;

/// Where the values of a profile come from: the table column of each of profile_fields, or
/// derived_field, and the pressure column the derived fields need. Temp is always a column, and
/// SALIN or Cond is.
struct ProfileColumns {
    std::array<std::int32_t, profile_fields.size()> fields{};
    std::int32_t pressure = -1;
};

/// A value as a profile writes it: rounded to `decimals`, at most 15 digits, no trailing zeros.
std::string value_text(double value, int decimals);

/// The rows a profile writes, in row order: a row is taken when it lies more than thinning_step_m
/// below the row taken last (the unrounded depth; the first one below thinning_step_m) and its
/// depth, as written, reads deeper than that row's, which only fails from 1E+15 m on. So an
/// upcast, and rows no data line filled, write nothing. Calls `visit(row, depth_m, depth_text)`.
template <typename Visit>
void for_each_profile_row(const ProfileTable& table, std::int32_t depth_column, Visit&& visit)
{
    const std::int32_t last_row = table.last_row();
    double last_depth_m = 0.0; // unrounded, as the depth cell holds it
    std::string last_depth_text;
    for (std::int32_t row = 1; row <= last_row; ++row) {
        const double depth_m = cell_to_double(table.cell(depth_column, row));
        if (!(last_depth_m + thinning_step_m < depth_m)) {
            continue;
        }
        std::string depth_text = value_text(depth_m, depth_decimals);
        if (depth_text == last_depth_text) {
            continue;
        }
        visit(row, depth_m, static_cast<const std::string&>(depth_text));
        last_depth_m = depth_m;
        last_depth_text = std::move(depth_text);
    }
}

/// One line of a profile: a table row the thinning took, its depth and its values.
struct ProfileRow {
    std::int32_t table_row = 0;
    double depth_m = 0.0;                               ///< unrounded, as the depth cell holds it
    std::array<double, profile_fields.size()> values{}; ///< in the order of profile_fields
};

/// The lines a profile file holds, whatever its format.
struct Profile {
    std::vector<ProfileRow> rows;
};

/// The profile of `table`: a line for each row of for_each_profile_row with the values of `columns`,
/// the derived ones computed. A value that is not a number fails naming its table row and column,
/// as does a derived value the formula cannot give.
Profile thinned_profile(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns);

/// Where thinned_profile would fail on a value that is not a number: the error of the first row of
/// for_each_profile_row whose value in a read column of `columns` is none, placed at its table row.
/// The derived fields are not computed. Nothing when every such value is a number.
std::optional<Error> first_profile_failure(const ProfileTable& table, std::int32_t depth_column,
                                           const ProfileColumns& columns);

/// The median of the numbers in text column `column` of the stored rows; cells that hold no number
/// are left out. Nothing when no cell holds one.
std::optional<double> column_median(const ProfileTable& table, std::int32_t column);

/// The place of a table row in a message: "table row 12"; row 0 is "the header" of a file.
std::string row_place(std::int32_t row);

} // namespace quillonde
