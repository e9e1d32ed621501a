#include "profile/sounder_shaping.h"

#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <cmath>
#include <limits>

namespace quillonde {

namespace {

/// The decimals of a sound speed [m/s] and of a reduction's tolerance in the notes.
constexpr int note_speed_decimals = 2;

double written_depth(const ProfileRow& line)
{
    return round_to(line.depth_m, sounder_depth_decimals);
}

/// Leaves out each line whose depth, as written, is not below that of the line kept before it.
std::size_t drop_not_deeper(Profile& profile)
{
    std::vector<ProfileRow>& rows = profile.rows;
    std::size_t kept = 1;
    for (std::size_t k = 1; k < rows.size(); ++k) {
        if (written_depth(rows[k]) > written_depth(rows[kept - 1])) {
            rows[kept++] = rows[k];
        }
    }
    const std::size_t dropped = rows.size() - kept;
    rows.resize(kept);
    return dropped;
}

} // namespace

SounderShaping shape_for_sounder(Profile& profile, const SounderShape& shape)
{
    if (profile.rows.empty()) {
        throw Error(ErrorKind::no_profile, "the profile holds no line to give the echo sounder");
    }
    const std::size_t fewest = shape.extend ? 3 : 2;
    if (shape.most_lines < fewest) {
        throw Error(ErrorKind::overflow, "a profile of at most " + std::to_string(shape.most_lines) +
                                             " lines cannot keep its first and last lines" +
                                             (shape.extend ? " and the 12000 m line" : "") + ": give " +
                                             std::to_string(fewest) + " lines or more");
    }
    SounderShaping shaping;
    shaping.not_deeper_dropped = drop_not_deeper(profile);

    if (shape.surface_line && written_depth(profile.rows.front()) > 0.0) {
        ProfileRow surface = profile.rows.front();
        surface.depth_m = 0.0;
        // Written from its own depth, not the file's text or exact depth of the line it copies.
        surface.exact_depth_m = 0.0;
        surface.depth_text = {};
        profile.rows.insert(profile.rows.begin(), surface);
        shaping.surface_speed_m_s = surface.values[sound_field];
    }

    const bool extend = shape.extend && written_depth(profile.rows.back()) < extension_depth_m;
    const std::size_t extension_lines = extend ? 1 : 0;
    if (auto reduction = reduce_profile(profile, shape.most_lines - extension_lines)) {
        reduction->lines_before += extension_lines;
        reduction->lines_after += extension_lines;
        shaping.reduced = reduction;
    }

    if (extend) {
        shaping.extended_below_m = profile.rows.back().depth_m;
        ProfileRow bottom = profile.rows.back();
        bottom.depth_m = extension_depth_m;
        bottom.exact_depth_m = extension_depth_m;
        bottom.depth_text = {};
        bottom.sound_text = {};
        bottom.values.fill(std::numeric_limits<double>::quiet_NaN());
        bottom.values[sound_field] = extension_speed_m_s;
        profile.rows.push_back(bottom);
    }
    return shaping;
}

std::vector<std::string> shaping_notes(const SounderShaping& shaping)
{
    std::vector<std::string> notes;
    if (shaping.not_deeper_dropped > 0) {
        notes.push_back(counted(static_cast<std::int64_t>(shaping.not_deeper_dropped), "line") +
                        " left out that lie no deeper than the line before them (to 0.01 m)");
    }
    if (shaping.surface_speed_m_s) {
        notes.push_back("a 0 m line added with the first sound speed, " +
                        value_text(*shaping.surface_speed_m_s, note_speed_decimals) + " m/s");
    }
    if (shaping.reduced) {
        notes.push_back(std::to_string(shaping.reduced->lines_before) + " lines reduced to " +
                        std::to_string(shaping.reduced->lines_after) +
                        " (Douglas-Peucker on depth and sound speed, tolerance " +
                        value_text(shaping.reduced->tolerance_m_s, note_speed_decimals) + " m/s)");
    }
    if (shaping.extended_below_m) {
        notes.push_back("extended to " + value_text(extension_depth_m, 0) + " m below the cast's " +
                        value_text(*shaping.extended_below_m, sounder_depth_decimals) + " m");
    }
    return notes;
}

} // namespace quillonde
