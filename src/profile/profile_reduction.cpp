#include "profile/profile_reduction.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace quillonde {

namespace {

/// For each line, the largest tolerance at which Douglas-Peucker still keeps it: the distance at
/// which its span was split at it, but no more than that of any span around it, which must have
/// been split first. The first and last lines get infinity.
std::vector<double> keeping_tolerances(const Profile& profile)
{
    const std::vector<ProfileRow>& rows = profile.rows;
    const auto speed = [&](std::size_t k) { return rows[k].values[sound_field]; };
    std::vector<double> kept_below(rows.size(), std::numeric_limits<double>::infinity());
    struct Span {
        std::size_t first;
        std::size_t last;
        double limit; // the tolerance of the split that made the span
    };
    // A stack instead of recursion: a profile of many lines can split one line at a time.
    std::vector<Span> spans{{0, rows.size() - 1, std::numeric_limits<double>::infinity()}};
    while (!spans.empty()) {
        const Span span = spans.back();
        spans.pop_back();
        if (span.last - span.first < 2) {
            continue;
        }
        const double depth0 = rows[span.first].depth_m;
        const double slope = (speed(span.last) - speed(span.first)) / (rows[span.last].depth_m - depth0);
        std::size_t farthest = span.first + 1;
        double distance = -1.0;
        for (std::size_t k = span.first + 1; k < span.last; ++k) {
            const double off = std::abs(speed(k) - (speed(span.first) + slope * (rows[k].depth_m - depth0)));
            if (off > distance) {
                distance = off;
                farthest = k;
            }
        }
        kept_below[farthest] = std::min(distance, span.limit);
        spans.push_back({span.first, farthest, kept_below[farthest]});
        spans.push_back({farthest, span.last, kept_below[farthest]});
    }
    return kept_below;
}

} // namespace

std::optional<Reduction> reduce_profile(Profile& profile, std::size_t most_lines)
{
    const std::size_t lines = profile.rows.size();
    if (lines <= most_lines || most_lines < 2) {
        return std::nullopt;
    }
    const std::vector<double> kept_below = keeping_tolerances(profile);
    // Lines stay while the tolerance lies below their own; the smallest tolerance that leaves
    // most_lines is the one of the line ranked next after them.
    std::vector<double> ranked(kept_below.begin() + 1, kept_below.end() - 1);
    const auto cut = ranked.begin() + static_cast<std::ptrdiff_t>(most_lines - 2);
    std::nth_element(ranked.begin(), cut, ranked.end(), std::greater<>());
    const double tolerance = *cut;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < lines; ++k) {
        if (kept_below[k] > tolerance) {
            profile.rows[kept++] = profile.rows[k];
        }
    }
    profile.rows.resize(kept);
    return Reduction{lines, kept, tolerance};
}

} // namespace quillonde
