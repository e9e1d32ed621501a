#pragma once

#include "form/controls.h"
#include "form/water.h"

#include <optional>

#include <string_view>

namespace quillonde {

/// Caption of lb_depth before the number: "Depth [m]:" and two blanks.
inline constexpr std::string_view depth_caption_prefix = "Depth [m]:  ";

/// Click on "Calculate depth [m]": converts the pressure in tx_press (and for salt water the
/// latitude in tx_lat) and shows the depth in lb_depth; returns it with the water it is for. When a
/// conversion or the formula fails, the caption keeps what it had and the error reaches the caller.
/// Asks first when the latitude lies beyond the poles; after a No, changes nothing and returns
/// nothing.
std::optional<WaterDepth> calculate_depth(Controls& controls);

} // namespace quillonde
