#pragma once

#include "form/export.h"
#include "form/state.h"
#include "form/steps.h"
#include "formats/cast.h"
#include "formats/format.h"
#include "profile/profile_rows.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

/// One section of a file of many casts in a line, numbered from 1 as --section takes them:
/// "2  2017-09-13T06:23:35Z  59.3 18.1  62 lines".
std::string section_line(const CastPart& part, std::size_t number);

/// The profile an export of the loaded cast to `writer` would write, every question answered Yes:
/// what the Profile window draws and counts before anything is written.
struct ProfilePreview {
    const ProfileWriter* writer = nullptr;
    Profile profile;                    ///< its lines as the file holds them
    StepsTaken steps;                   ///< what shaped it beyond the thinning
    std::optional<std::string> failure; ///< why there is no profile: the export's error

    /// Its first line is the 0 m line added for the echo sounder.
    bool surface_line() const { return steps.sounder && steps.sounder->surface_speed_m_s; }
    /// Its last line is the one added at extension_depth_m.
    bool extended() const { return steps.sounder && steps.sounder->extended_below_m; }
};

/// The profile export_profile would write of the loaded cast to `writer`, shaped after `sounder`.
ProfilePreview preview_profile(const ProfileState& state, const ProfileWriter& writer,
                               const SounderSettings& sounder);

} // namespace quillonde
