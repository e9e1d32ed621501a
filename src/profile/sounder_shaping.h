#pragma once

#include "profile/profile_reduction.h"
#include "profile/profile_rows.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

/// The depth [m] of the line a profile for Kongsberg SIS ends with: below the deepest water there is,
/// so that SIS never extrapolates the profile on its own.
inline constexpr double extension_depth_m = 12000.0;
/// The sound speed [m/s] of that line: the bottom of the Challenger Deep after Taira et al. (2005),
/// J. Oceanogr. 61, as sound-speed tools write it for SIS.
inline constexpr double extension_speed_m_s = 1675.8;
/// The most lines the newer Kongsberg echo sounders take; the older ones (EM 120, 300, 1002, 2000,
/// 3000) take 570.
inline constexpr std::size_t sis_default_most_lines = 1000;
/// The decimals of a depth [m] as an echo sounder is given it: two lines of one depth at this
/// precision are one depth twice, which SIS refuses.
inline constexpr int sounder_depth_decimals = 2;

/// How a profile is shaped for the acquisition software of an echo sounder.
struct SounderShape {
    /// Add a line at 0 m with the first line's values where the profile starts below 0 m.
    bool surface_line = true;
    /// Add a line at extension_depth_m with extension_speed_m_s where the profile stops above it.
    bool extend = true;
    /// At most this many lines, the added ones among them: 2 or more, 3 or more with `extend`.
    std::size_t most_lines = sis_default_most_lines;
};

/// What shape_for_sounder did to a profile.
struct SounderShaping {
    /// Lines left out because their depth, to sounder_depth_decimals, lies no deeper than that of
    /// the line kept before them: a repeated depth, or a profile going back up.
    std::size_t not_deeper_dropped = 0;
    /// The sound speed [m/s] of the 0 m line added, when one was.
    std::optional<double> surface_speed_m_s;
    /// The profile had more lines than `most_lines`: the reduction, its counts with the added lines.
    std::optional<Reduction> reduced;
    /// The depth [m] of the profile's deepest line, when the line at extension_depth_m was added.
    std::optional<double> extended_below_m;
};

/// Shapes `profile` as echo-sounder software takes it, in this order: the lines that lie no deeper
/// (to 0.01 m) than the line kept before them are left out, the first of a depth staying; a 0 m line
/// with the first line's values goes first where the first line lies below 0 m (`surface_line`); a
/// profile of more than `most_lines` lines is reduced by reduce_profile, the 0 m line and the
/// deepest line kept; and a line at extension_depth_m with extension_speed_m_s goes last where the
/// deepest line lies above that depth (`extend`). The extension line's temperature, salinity and
/// conductivity are NaN: nothing gives them. Fails on a profile of no line, and on a `most_lines`
/// too small for the shape.
SounderShaping shape_for_sounder(Profile& profile, const SounderShape& shape);

/// One note for each step of `shaping` that changed the profile, in the order they were taken:
/// "2 lines left out that lie no deeper than the line before them (to 0.01 m)", "a 0 m line added
/// with the first sound speed, 1481.2 m/s", "1500 lines reduced to 1000 (Douglas-Peucker on depth and
/// sound speed, tolerance 0.02 m/s)", "extended to 12000 m below the cast's 43.1 m".
std::vector<std::string> shaping_notes(const SounderShaping& shaping);

} // namespace quillonde
