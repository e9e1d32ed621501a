#pragma once

#include "profile/profile_rows.h"

#include <cstddef>
#include <optional>

namespace quillonde {

/// How a profile was cut down to the lines a format takes.
struct Reduction {
    std::size_t lines_before = 0;
    std::size_t lines_after = 0;
    /// The tolerance [m/s]: every line dropped lies at most this far in sound speed from the
    /// straight line between the lines kept above and below it.
    double tolerance_m_s = 0.0;
};

/// Cuts `profile` down to at most `most_lines` lines (2 or more) by Douglas-Peucker on depth and
/// sound speed, at the smallest tolerance that leaves no more lines: a line is kept when its sound
/// speed lies further than the tolerance from the straight line, in depth, between the lines kept
/// around it. The first and the last line always stay. Nothing is done, and nothing returned, for
/// a profile of no more lines. The depths must rise from line to line.
std::optional<Reduction> reduce_profile(Profile& profile, std::size_t most_lines);

} // namespace quillonde
