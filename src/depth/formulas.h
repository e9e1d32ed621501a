#pragma once

#include <cstdint>

namespace quillonde {

/// Depth of fresh water over a pressure, by a fixed factor.
///   value : pressure [dbar]
///   returns depth [m], rounded to 2 decimals
/// Overflow when the depth lies beyond the double range.
double fresh_con(double value);

/// Depth of sea water over a pressure, by the UNESCO 1983 algorithm (Fofonoff and Millard,
/// UNESCO Technical Papers in Marine Science 44), gravity varying with latitude and pressure.
///   g_value : latitude [whole degrees]; north and south give the same depth
///   p       : pressure [dbar]
///   returns depth [m], rounded to 2 decimals
/// Overflow when the pressure polynomial or the depth lies beyond the double range.
double salt_con(std::int32_t g_value, double p);

} // namespace quillonde
