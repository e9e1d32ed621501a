#include "profile/water_ranges.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"

#include <algorithm>
#include <vector>

namespace quillonde {

OutsideWaterFound leave_out_outside_water(ProfileTable& table, std::span<const RangedColumn> columns)
{
    OutsideWaterFound found;
    std::vector<std::int32_t> checked;
    std::vector<const WaterRange*> ranges;
    for (const RangedColumn& ranged : columns) {
        checked.push_back(ranged.column);
        ranges.push_back(&water_ranges.at(ranged.range));
    }
    // Every column of a row is looked at before the row is left out: each sample outside counts,
    // even where another of its row is outside too. The walk goes in row order, so the rows come
    // sorted.
    std::vector<std::int32_t> rows;
    table.for_each_row_samples(checked, [&](std::int32_t row, std::size_t k, const Sample& sample) {
        if (sample.good() && !ranges[k]->contains(sample.value)) {
            found.samples.push_back({row, columns[k].range, sample.value});
            if (rows.empty() || rows.back() != row) {
                rows.push_back(row);
            }
        }
    });
    for (const std::int32_t row : rows) {
        table.leave_out_row(row, Rule::outside_water);
    }
    found.rows = static_cast<std::int32_t>(rows.size());
    return found;
}

std::string outside_water_text(const OutsideWater& sample)
{
    const WaterRange& range = water_ranges.at(sample.range);
    return std::string(range.quantity) + " " + double_to_str(sample.value) +
           (range.unit.empty() ? "" : " " + std::string(range.unit)) + " at " + row_place(sample.row);
}

} // namespace quillonde
