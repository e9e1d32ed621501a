#pragma once

#include "profile/output_file.h"
#include "profile/table.h"
#include "runtime/error.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
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
/// The decimals of a depth in the .sva, and in the thinning's comparison of depths as written.
inline constexpr int depth_decimals = 1;
/// The decimals of a depth in every other profile file: centimetres.
inline constexpr int fine_depth_decimals = 2;
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

/// In ProfileColumns, a field the cast cannot give: every line holds 0 for it, as echo-sounder
/// software writes for a probe that does not measure it.
inline constexpr std::int32_t absent_field = -2;

/// Where the values of a profile come from: the table column of each of profile_fields, or
/// derived_field or absent_field, and the pressure column the derived fields need. A derived field's
/// inputs are columns or derived fields.
struct ProfileColumns {
    std::array<std::int32_t, profile_fields.size()> fields{};
    std::int32_t pressure = -1;
    /// The column of the depths the file gives; -1 where they are computed from the pressure.
    std::int32_t depth = -1;
    /// The scale of the temperatures the derived fields are computed from.
    TemperatureScale temperature_scale = TemperatureScale::unstated;
    /// Each line keeps the file's own texts of its depth and sound speed, to be written again as
    /// they stand: for a profile file.
    bool file_texts = false;
};

/// How many rows a walk over the table passes between two questions whether to go on.
inline constexpr std::int32_t rows_between_stop_checks = 4096;

/// A value as a profile writes it: rounded to `decimals`, at most 15 digits, no trailing zeros.
std::string value_text(double value, int decimals);

/// The question whether to go on, for a walk over the rows: WriteStopped once `keep_going` says no.
inline auto stop_check(const std::function<bool()>& keep_going)
{
    return [&keep_going] {
        if (keep_going && !keep_going()) {
            throw WriteStopped();
        }
    };
}

/// The rows a profile writes, in row order: a row is taken when it lies more than thinning_step_m
/// below the row taken last (the depth as the table thins by it; the first one below
/// thinning_step_m) and its depth, as written, reads deeper than that row's, which only fails from
/// 1E+15 m on. So an upcast, rows no data line filled and rows a rule leaves out write nothing.
/// Calls `visit(row, depth_m, depth_text)`. `keep_going`, when given, is asked every few thousand
/// rows; once it says false, the walk ends with WriteStopped.
template <typename Visit>
void for_each_profile_row(const ProfileTable& table, std::int32_t /*depth_column*/, Visit&& visit,
                          const std::function<bool()>& keep_going = {})
{
    table.last_row();          // a table without shape fails here
    double last_depth_m = 0.0; // as the table thins by it
    std::string last_depth_text;
    table.for_each_usable_depth(
        1,
        [&](std::int32_t row, double depth_m) {
            if (!(last_depth_m + thinning_step_m < depth_m)) {
                return;
            }
            std::string depth_text = value_text(depth_m, depth_decimals);
            if (depth_text == last_depth_text) {
                return;
            }
            visit(row, depth_m, static_cast<const std::string&>(depth_text));
            last_depth_m = depth_m;
            last_depth_text = std::move(depth_text);
        },
        stop_check(keep_going));
}

/// Whether a cast was recorded on the way up only: no row lies more than thinning_step_m below the
/// first row with a depth, and a later row lies more than thinning_step_m above it. Rows a rule
/// leaves out take no part.
bool recorded_upward(const ProfileTable& table, std::int32_t depth_column);

/// The rows a profile writes of a cast recorded on the way up, shallowest first: taken from the
/// deepest row on, in row order, each row that lies more than thinning_step_m above the row taken
/// last and deeper than thinning_step_m, whose depth, as written, reads shallower than that row's.
/// Rows a rule leaves out take no part. Calls `visit(row, depth_m, depth_text)` and asks
/// `keep_going` as for_each_profile_row does.
template <typename Visit>
void for_each_upcast_row(const ProfileTable& table, std::int32_t /*depth_column*/, Visit&& visit,
                         const std::function<bool()>& keep_going = {})
{
    table.last_row(); // a table without shape fails here
    std::int32_t deepest_row = 0;
    double deepest_m = 0.0;
    table.for_each_usable_depth(
        1,
        [&](std::int32_t row, double depth_m) {
            if (deepest_row == 0 || depth_m > deepest_m) {
                deepest_row = row;
                deepest_m = depth_m;
            }
        },
        stop_check(keep_going));
    struct Taken {
        std::int32_t row;
        double depth_m;
        std::string depth_text;
    };
    std::vector<Taken> taken;
    if (deepest_row > 0) {
        table.for_each_usable_depth(
            deepest_row,
            [&](std::int32_t row, double depth_m) {
                if (!(depth_m > thinning_step_m) ||
                    (!taken.empty() && !(depth_m < taken.back().depth_m - thinning_step_m))) {
                    return;
                }
                std::string depth_text = value_text(depth_m, depth_decimals);
                if (!taken.empty() && depth_text == taken.back().depth_text) {
                    return;
                }
                taken.push_back({row, depth_m, std::move(depth_text)});
            },
            [] {});
    }
    for (auto line = taken.rbegin(); line != taken.rend(); ++line) {
        visit(line->row, line->depth_m, static_cast<const std::string&>(line->depth_text));
    }
}

/// The rows of a profile already made (a profile file): every row with a depth that no rule leaves
/// out, in row order, none thinned. Calls `visit(row, depth_m, depth_text)` and asks `keep_going`
/// as for_each_profile_row does.
template <typename Visit>
void for_each_given_row(const ProfileTable& table, Visit&& visit,
                        const std::function<bool()>& keep_going = {})
{
    table.last_row(); // a table without shape fails here
    table.for_each_usable_depth(
        1,
        [&](std::int32_t row, double depth_m) {
            visit(row, depth_m, static_cast<const std::string&>(value_text(depth_m, depth_decimals)));
        },
        stop_check(keep_going));
}

/// The order in which a profile takes the rows of a cast.
enum class RowOrder {
    recorded, ///< for_each_profile_row: the rows as recorded, from the first on
    upcast,   ///< for_each_upcast_row: a cast recorded on the way up, from its deepest row on
    given,    ///< for_each_given_row: a profile already, every row as the file gives it
};

/// The rows a profile writes, in `order`.
template <typename Visit>
void for_each_profile_row(const ProfileTable& table, std::int32_t depth_column, RowOrder order, Visit&& visit,
                          const std::function<bool()>& keep_going = {})
{
    if (order == RowOrder::upcast) {
        for_each_upcast_row(table, depth_column, std::forward<Visit>(visit), keep_going);
    } else if (order == RowOrder::given) {
        for_each_given_row(table, std::forward<Visit>(visit), keep_going);
    } else {
        for_each_profile_row(table, depth_column, std::forward<Visit>(visit), keep_going);
    }
}

/// One line of a profile: a table row the thinning took, its depth and its values.
struct ProfileRow {
    std::int32_t table_row = 0;
    double depth_m = 0.0;                               ///< as the rows were thinned by it
    std::array<double, profile_fields.size()> values{}; ///< in the order of profile_fields
    /// As computed, unrounded, or as the file gives it; NaN where it is depth_m.
    double exact_depth_m = std::numeric_limits<double>::quiet_NaN();
    /// The file's own texts of the depth and the sound speed, where the line is to repeat them;
    /// empty otherwise. They live as long as the table.
    std::string_view depth_text{};
    std::string_view sound_text{};
};

/// What the derived fields of a profile met on the way: rows whose inputs lie slightly outside a
/// formula's stated range (computed all the same), by field, and rows whose conductivity was a
/// fresh-water sensor's noise (read as salinity 0).
struct DerivedNotes {
    std::array<std::int32_t, profile_fields.size()> near_range{};
    std::int32_t conductivity_noise = 0;

    bool any() const noexcept { return conductivity_noise > 0 || near_range != decltype(near_range){}; }
};

/// The lines a profile file holds, whatever its format.
struct Profile {
    std::vector<ProfileRow> rows;
    DerivedNotes notes;
    /// Whether each of profile_fields holds the cast's values, read or computed; false for a field
    /// the cast cannot give, which every line holds as 0. A format that writes such a field may
    /// mark it so; one that writes only depth and sound needs nothing of it.
    std::array<bool, profile_fields.size()> given{true, true, true, true};
};

/// The profile of `table`: a line for each row of for_each_profile_row in `order` with the values of
/// `columns`, the derived ones computed, the absent ones 0. A value that is not a number fails
/// naming its table row and column, as does a derived value the formula cannot give. `keep_going`
/// is asked every few thousand rows; once it says false, the walk ends with WriteStopped.
Profile thinned_profile(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns,
                        RowOrder order = RowOrder::recorded, const std::function<bool()>& keep_going = {});

/// The line of table row `row`, which has a depth: the values of `columns`, the derived ones
/// computed (counted in `notes`), the absent ones 0. Fails as thinned_profile does, naming the row.
ProfileRow profile_row(const ProfileTable& table, const ProfileColumns& columns, std::int32_t row,
                       DerivedNotes& notes);

/// Where thinned_profile would fail on a value that is not a number: the error of the first row of
/// for_each_profile_row in `order` whose value in a read column of `columns` is none, placed at its
/// table row. The derived fields are not computed. Nothing when every such value is a number.
std::optional<Error> first_profile_failure(const ProfileTable& table, std::int32_t depth_column,
                                           const ProfileColumns& columns, RowOrder order);

/// The median of the good samples of column `column` of the stored rows; samples that are missing,
/// no number or left out by a rule take no part. Nothing when no sample is good.
std::optional<double> column_median(const ProfileTable& table, std::int32_t column);

/// Whether column_median() of `column` lies below `limit` (`below`), or else above it: one walk and
/// no sorting, for a doubt that needs the median itself only where it holds. Nothing when no sample
/// is good.
std::optional<bool> median_beyond(const ProfileTable& table, std::int32_t column, double limit, bool below);

/// The value of a sample that a profile takes: fails, naming `subject`, when it is none ("Temp
/// "10,5" is not a number").
double profile_value(std::string_view subject, const Sample& sample);

/// The place of a table row in a message: "table row 12"; row 0 is "the header" of a file.
std::string row_place(std::int32_t row);

} // namespace quillonde
