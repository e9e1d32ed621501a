#include "profile/water_ranges.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"

#include <algorithm>
#include <vector>

namespace quillonde {

OutsideWaterFound leave_out_outside_water(ProfileTable& table, std::span<const RangedColumn> columns)
{
    OutsideWaterFound found;
    // All columns are looked at before any row is left out: each sample outside counts, even where
    // another of its row is outside too.
    std::vector<std::int32_t> rows;
    for (const RangedColumn& ranged : columns) {
        const WaterRange& range = water_ranges.at(ranged.range);
        table.for_each_sample(ranged.column, [&](std::int32_t row, const Sample& sample) {
            if (sample.good() && !range.contains(sample.value)) {
                found.samples.push_back({row, ranged.range, sample.value});
                rows.push_back(row);
            }
        });
    }
    std::ranges::stable_sort(found.samples, {}, &OutsideWater::row);
    std::ranges::sort(rows);
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
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
