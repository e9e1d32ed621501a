#include "profile/profile_rows.h"

#include "depth/seawater.h"
#include "profile/halves.h"
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
    const double pressure_dbar = profile_value(pressure_name, table.sample(columns.pressure, row));
    const double temperature_c = ipts68_temperature(values[temperature_field], columns.temperature_scale);
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
            values[f] = profile_value(profile_fields[f].name, table.sample(columns.fields[f], row));
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

double profile_value(std::string_view subject, const Sample& sample)
{
    if (sample.good()) {
        return sample.value;
    }
    // The number's own error ("Temp "10,5" is not a number", "... lies beyond the number range").
    with_subject(subject, [&] { return str_to_double(sample.text); });
    throw Error(ErrorKind::type_mismatch, std::string(subject) + " " + quoted(sample.text) +
                                              (sample.flag == SampleFlag::left_out
                                                   ? " is left out: " + std::string(reason_of(sample.rule))
                                                   : " is missing in the file"));
}

std::optional<bool> median_beyond(const ProfileTable& table, std::int32_t column, double limit, bool below)
{
    // The values split in two at the limit: the low ones (below it, or for `above` not above it)
    // come first in sorted order. The median's two middle values, or its one, lie on one side of
    // the split or straddle it; only then is the mean of the two worked out, from the largest low
    // value and the smallest high one.
    struct Split {
        std::size_t count = 0;
        std::size_t low = 0;
        double largest_low = 0.0;   // where low > 0
        double smallest_high = 0.0; // where count > low
    };
    const auto halves = in_halves(table, [&](std::int32_t first, std::int32_t last) {
        Split split;
        table.for_each_sample(
            column,
            [&](std::int32_t, const Sample& sample) {
                if (!sample.good()) {
                    return;
                }
                const double value = sample.value;
                ++split.count;
                if (below ? value < limit : !(value > limit)) {
                    split.largest_low = split.low++ == 0 ? value : std::max(split.largest_low, value);
                } else {
                    split.smallest_high =
                        split.count - split.low == 1 ? value : std::min(split.smallest_high, value);
                }
            },
            first, last);
        return split;
    });
    Split whole = halves[0];
    const Split& other = halves[1];
    if (other.low > 0) {
        whole.largest_low =
            whole.low > 0 ? std::max(whole.largest_low, other.largest_low) : other.largest_low;
    }
    if (other.count > other.low) {
        whole.smallest_high = whole.count > whole.low ? std::min(whole.smallest_high, other.smallest_high)
                                                      : other.smallest_high;
    }
    whole.count += other.count;
    whole.low += other.low;
    if (whole.count == 0) {
        return std::nullopt;
    }
    const std::size_t middle = whole.count / 2;
    bool median_low = middle < whole.low; // the middle value, and the one before it, are low
    if (whole.count % 2 == 0 && middle == whole.low) {
        const double median = whole.largest_low + (whole.smallest_high - whole.largest_low) / 2.0;
        median_low = below ? median < limit : !(median > limit);
    }
    return below ? median_low : !median_low;
}

std::optional<double> column_median(const ProfileTable& table, std::int32_t column)
{
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(table.filled_rows()));
    table.for_each_sample(column, [&](std::int32_t, const Sample& sample) {
        if (sample.good()) {
            values.push_back(sample.value);
        }
    });
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

bool recorded_upward(const ProfileTable& table, std::int32_t /*depth_column*/)
{
    bool started = false;
    double first_m = 0.0;
    bool rises = false;
    bool downcast = false;
    table.last_row(); // a table without shape fails here
    table.for_each_usable_depth(
        1,
        [&](std::int32_t, double depth_m) {
            if (!started) {
                started = true;
                first_m = depth_m;
            } else if (depth_m > first_m + thinning_step_m) {
                downcast = true;
                return false;
            }
            rises = rises || depth_m < first_m - thinning_step_m;
            return true;
        },
        [] {});
    return rises && !downcast;
}

ProfileRow profile_row(const ProfileTable& table, const ProfileColumns& columns, std::int32_t row,
                       DerivedNotes& notes)
{
    try {
        ProfileRow line{row, *table.depth_m(row), {}, *table.exact_depth_m(row), {}, {}};
        read_fields(table, columns, row, line.values);
        if (columns.file_texts && columns.depth >= 0) {
            line.depth_text = table.cell(columns.depth, row).as_text();
            if (columns.fields[sound_field] >= 0) {
                line.sound_text = table.cell(columns.fields[sound_field], row).as_text();
            }
        }
        if (std::ranges::find(columns.fields, derived_field) != columns.fields.end()) {
            derive_fields(table, columns, row, line.values, notes);
        }
        return line;
    } catch (const Error& error) {
        throw error.at(row_place(row));
    } catch (const std::bad_alloc&) {
        throw Error(ErrorKind::out_of_memory, "no memory left for the profile", row_place(row));
    }
}

Profile thinned_profile(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns,
                        RowOrder order, const std::function<bool()>& keep_going)
{
    Profile profile;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        profile.given[f] = columns.fields[f] != absent_field;
    }
    for_each_profile_row(
        table, depth_column, order,
        [&](std::int32_t row, double depth_m, const auto&) {
            profile.rows.push_back(profile_row(table, columns, row, profile.notes));
            profile.rows.back().depth_m = depth_m;
        },
        keep_going);
    return profile;
}

} // namespace quillonde
