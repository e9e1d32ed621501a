#pragma once

#include "profile/table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

/// The values one quantity of natural water can have, the ends included, in the program's unit.
/// A sample beyond them is a fault of the probe or a file's mark of a value it has not got
/// (9999.999, -9999, 1E+308), never water: the profile leaves its row out.
struct WaterRange {
    std::string_view quantity; ///< in words, for messages: "sound speed"
    std::string_view column;   ///< the cast's canonical column name
    std::string_view unit;     ///< as messages write it after the value; empty for salinity
    double lowest;
    double highest;

    bool contains(double value) const noexcept { return value >= lowest && value <= highest; }
};

// Why these limits. Each is wide enough for any water a survey meets and narrow enough that a
// sensor's fault or a missing-value mark falls outside.
// - sound speed 1350 to 1800 m/s: fresh water at 0 degC carries sound at about 1402 m/s, the
//   saltiest, warmest sea at the bottom of the deepest trench below 1700; a failed sensor gives
//   thousands (9082.08) or a few hundred.
// - temperature -5 to 45 degC: sea water freezes above -2.5 degC at any depth; no survey water is
//   warmer than 45 degC, where the UNESCO 1983 formulas stop.
// - salinity -0.5 to 45: the Red Sea, the saltiest open sea, stays below 42; a fresh-water probe
//   may write small negative salinities about 0, which are water.
// - conductivity -0.1 to 100 mS/cm: sea water of salinity 45 at 45 degC conducts about 80 mS/cm;
//   down to -0.1 is a fresh-water sensor's noise about 0 (as the salinity formula takes it).
// - pressure -5 to 12000 dbar, depth -5 to 12000 m: the deepest trench lies near 11000 m; a probe
//   on deck may read slightly below 0.
inline constexpr std::array<WaterRange, 6> water_ranges = {{
    {"sound speed", "SOUND", "m/s", 1350.0, 1800.0},
    {"temperature", "Temp", "degC", -5.0, 45.0},
    {"salinity", "SALIN", "", -0.5, 45.0},
    {"conductivity", "Cond", "mS/cm", -0.1, 100.0},
    {"pressure", "Press", "dbar", -5.0, 12000.0},
    {"depth", "Depth", "m", -5.0, 12000.0},
}};

/// A column of the table to check against one of water_ranges.
struct RangedColumn {
    std::int32_t column = 0;
    std::size_t range = 0; ///< in water_ranges
};

/// A sample outside the range of its quantity.
struct OutsideWater {
    std::int32_t row = 0;
    std::size_t range = 0; ///< in water_ranges
    double value = 0.0;
};

/// What leave_out_outside_water() found: every sample outside its range, in row order, those of
/// one row in the order of the columns given.
struct OutsideWaterFound {
    std::vector<OutsideWater> samples;
    std::int32_t rows = 0; ///< the rows left out for them
};

/// Leaves each row of `table` out by Rule::outside_water where a good sample of one of `columns`
/// lies outside its range, and returns those samples. Samples already left out, missing or no
/// number are not looked at.
OutsideWaterFound leave_out_outside_water(ProfileTable& table, std::span<const RangedColumn> columns);

/// One sample in words: "sound speed 9082.08 m/s at table row 311".
std::string outside_water_text(const OutsideWater& sample);

} // namespace quillonde
