#pragma once

#include <cstdint>

namespace quillonde {

/// The water type and latitude a depth is computed for.
struct DepthBasis {
    bool salt_water = false;
    std::int32_t latitude_deg = 0; ///< salt water only; 0 for fresh water

    friend bool operator==(const DepthBasis&, const DepthBasis&) = default;
};

/// Fresh water: metres of depth per decibar of pressure.
inline constexpr double fresh_metres_per_dbar = 1.019716;

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

/// Depth over a pressure for a water type: fresh_con for fresh water, salt_con at the basis's
/// latitude for sea water.
///   pressure_dbar : pressure [dbar]
///   returns depth [m], rounded to 2 decimals
double depth_m(const DepthBasis& basis, double pressure_dbar);

/// The depths of one water type, the latitude's gravity worked out once: for the rows of a cast.
class Water {
public:
    explicit Water(const DepthBasis& basis);

    /// The depth of a pressure as fresh_con or salt_con computes it, before their rounding.
    ///   pressure_dbar : pressure [dbar]
    ///   returns depth [m], unrounded
    /// Overflow as fresh_con and salt_con fail.
    double exact_depth_m(double pressure_dbar) const;

    const DepthBasis& basis() const noexcept { return basis_; }

private:
    DepthBasis basis_;
    double surface_gravity_ = 0.0; // [m/s^2], sea water only
};

} // namespace quillonde
