#pragma once

#include "depth/formulas.h"
#include "form/controls.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <optional>
#include <string>

namespace quillonde {

/// The water the window shows now: the selected water type and, for salt water, the latitude of
/// tx_lat by str_to_long (fails naming "latitude" when it is not a whole number in range). Nothing
/// when neither option is selected.
std::optional<DepthBasis> window_basis(const Controls& controls);

/// A depth and the water it was computed for.
struct WaterDepth {
    DepthBasis basis;
    double depth_m = 0.0;
};

/// The depth of a pressure for the water the window shows now, as every handler computes it: the
/// pressure, which `read_pressure` converts, first; then, for salt water, the latitude. Nothing when
/// neither option is selected.
template <typename ReadPressure>
std::optional<WaterDepth> depth_for_window(const Controls& controls, ReadPressure&& read_pressure)
{
    if (controls.selected(OptionButton::op_salt)) {
        const std::string latitude = controls.text(TextBox::tx_lat);
        const double pressure_dbar = read_pressure();
        const DepthBasis basis{true, with_subject("latitude", [&] { return str_to_long(latitude); })};
        return WaterDepth{basis, depth_m(basis, pressure_dbar)};
    }
    if (controls.selected(OptionButton::op_fresh)) {
        const double pressure_dbar = read_pressure();
        return WaterDepth{{}, depth_m({}, pressure_dbar)};
    }
    return std::nullopt;
}

} // namespace quillonde
