#pragma once

#include "profile/table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace quillonde {

class OutputFile;

/// The header of every ELAC sound velocity file: ".profile  1" and an empty line.
inline constexpr std::string_view sva_header = ".profile  1\r\n\r\n";

/// A row is written only if it lies more than this far below the row written last [m].
inline constexpr double thinning_step_m = 0.5;

/// A value column of a profile line, after the depth, in the order of the file.
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

/// A value as the file writes it: rounded to `decimals`, at most 15 digits, no trailing zeros.
std::string sva_field(double value, int decimals);

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
        std::string depth_text = sva_field(depth_m, depth_decimals);
        if (depth_text == last_depth_text) {
            continue;
        }
        visit(row, depth_m, static_cast<const std::string&>(depth_text));
        last_depth_m = depth_m;
        last_depth_text = std::move(depth_text);
    }
}

/// Writes the profile of `table` into `file`: the header, then one line for each row of
/// for_each_profile_row with its depth and the values of `columns`, each followed by a TAB, ending
/// in CR LF. Returns the number of profile lines. A value that is not a number fails naming its
/// table row and column, as does a derived value the formula cannot give; the file is not committed.
std::int32_t write_sva(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns,
                       OutputFile& file);

} // namespace quillonde
