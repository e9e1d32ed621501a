#include "profile/water_ranges.h"

#include "profile/halves.h"
#include "profile/profile_rows.h"
#include "runtime/convert.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

/// The samples outside water of the rows `first` to `last`, in row order.
std::vector<OutsideWater> outside_water_in(const ProfileTable& table, std::span<const std::int32_t> checked,
                                           std::span<const RangedColumn> columns, std::int32_t first,
                                           std::int32_t last)
{
    std::vector<OutsideWater> found;
    table.for_each_row_samples(
        checked,
        [&](std::int32_t row, std::size_t k, const Sample& sample) {
            if (sample.good() && !water_ranges[columns[k].range].contains(sample.value)) {
                found.push_back({row, columns[k].range, sample.value});
            }
        },
        first, last);
    return found;
}

} // namespace

OutsideWaterFound leave_out_outside_water(ProfileTable& table, std::span<const RangedColumn> columns)
{
    std::vector<std::int32_t> checked;
    for (const RangedColumn& ranged : columns) {
        checked.push_back(ranged.column);
        if (ranged.range >= water_ranges.size()) {
            throw std::out_of_range("no such water range");
        }
    }
    // Every column of a row is looked at before the row is left out: each sample outside counts,
    // even where another of its row is outside too. The walks go in row order, so the rows come
    // sorted.
    auto halves = in_halves(table, [&](std::int32_t first, std::int32_t last) {
        return outside_water_in(table, checked, columns, first, last);
    });
    OutsideWaterFound found;
    found.samples = std::move(halves[0]);
    found.samples.insert(found.samples.end(), halves[1].begin(), halves[1].end());
    std::int32_t last_left_out = 0;
    for (const OutsideWater& sample : found.samples) {
        if (sample.row != last_left_out) {
            table.leave_out_row(sample.row, Rule::outside_water);
            last_left_out = sample.row;
            ++found.rows;
        }
    }
    return found;
}

std::string outside_water_text(const OutsideWater& sample)
{
    const WaterRange& range = water_ranges.at(sample.range);
    return std::string(range.quantity) + " " + double_to_str(sample.value) +
           (range.unit.empty() ? "" : " " + std::string(range.unit)) + " at " + row_place(sample.row);
}

} // namespace quillonde
