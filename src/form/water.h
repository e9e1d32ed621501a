#pragma once

#include "depth/formulas.h"
#include "form/controls.h"
#include "form/state.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <optional>
#include <string>

namespace quillonde {

/// The latitude of tx_lat by str_to_long; fails naming "latitude" when it is not a whole number in
/// range, and naming the box when the box is empty.
std::int32_t window_latitude(const Controls& controls);

/// The water the window shows now: the selected water type and, for salt water, window_latitude().
/// Nothing when neither option is selected.
std::optional<DepthBasis> window_basis(const Controls& controls);

/// Before a depth is computed with the window's settings: fails as window_basis() does, and for a
/// latitude beyond the poles (a typo: 540 for 54) asks whether to go on (QuestionKind::far_latitude).
/// Returns false when the user says No.
bool latitude_confirmed(Controls& controls);

/// The doubt that the cast's own salinity says other water than its depths were computed for: the
/// median of the first SALIN column over the stored rows against the water of the first depth.
/// Nothing when they fit, or when the cast has no SALIN or no computed depths.
std::optional<SalinityAgainstWater> salinity_doubt(const ProfileState& state);

/// A depth and the water it was computed for.
struct WaterDepth {
    DepthBasis basis;
    double depth_m = 0.0;
};

/// The water the window shows, looked at again for each row of a load at little cost: the latitude
/// is read and its gravity worked out again only when the box's text changes.
class WindowWater {
public:
    /// The water the window shows now; nothing when neither option is selected. Fails as
    /// window_latitude() does.
    const Water* now(const Controls& controls);

private:
    std::optional<Water> salt_;
    std::string latitude_text_; // of salt_
    Water fresh_{DepthBasis{}};
};

/// The depth of a pressure for the water the window shows now, as every handler computes it: the
/// pressure, which `read_pressure` converts, first; then, for salt water, the latitude. Nothing when
/// neither option is selected.
template <typename ReadPressure>
std::optional<WaterDepth> depth_for_window(const Controls& controls, ReadPressure&& read_pressure)
{
    if (controls.selected(OptionButton::op_salt)) {
        const double pressure_dbar = read_pressure();
        const DepthBasis basis{true, window_latitude(controls)};
        return WaterDepth{basis, depth_m(basis, pressure_dbar)};
    }
    if (controls.selected(OptionButton::op_fresh)) {
        const double pressure_dbar = read_pressure();
        return WaterDepth{{}, depth_m({}, pressure_dbar)};
    }
    return std::nullopt;
}

} // namespace quillonde
