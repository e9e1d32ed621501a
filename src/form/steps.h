#pragma once

#include "form/state.h"
#include "profile/cast_steps.h"
#include "profile/profile_rows.h"
#include "profile/sounder_shaping.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

/// The columns the steps judge the loaded cast by: those the cast names, its sound speed computed
/// after UNESCO 1983 where it gives none but the columns for it (as an export would ask to).
ProfileColumns step_columns(const ProfileState& state);

/// Leaves out of the loaded cast the rows that state.steps judge: the soak, then the spikes among
/// the rows left. Takes back what an earlier call left out, so it follows a change of the steps.
void apply_steps(ProfileState& state);

/// What shaped a profile beyond the thinning, each in a few words for the batch tool's line and the
/// Profile window's summary.
struct StepsTaken {
    std::optional<CastChoice> cast;            ///< the part the user chose
    std::int32_t soak_rows = 0;                ///< rows left out as the soak
    std::int32_t spike_rows = 0;               ///< rows left out as spikes
    std::optional<double> bin_m;               ///< bins in place of the thinning
    std::optional<double> deepest_m;           ///< the deepest sample taken after the thinning
    std::optional<SurfaceSensor> surface;      ///< the surface check made
    std::optional<double> surface_profile_m_s; ///< the profile's sound speed at the draft
    std::optional<SounderShaping> sounder;     ///< how it was shaped for an echo sounder's software

    /// Each step in a few words ("the downcast", "12 soak rows left out"); empty without any.
    std::vector<std::string> words() const;
};

/// The steps the loaded cast and state.steps take before any profile is made.
StepsTaken steps_on_cast(const ProfileState& state);

/// The steps joined: "the downcast, 12 soak rows left out"; empty without any.
std::string steps_text(const StepsTaken& taken);

} // namespace quillonde
