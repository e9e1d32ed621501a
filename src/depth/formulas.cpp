#include "depth/formulas.h"

#include "runtime/convert.h"
#include "runtime/error.h"

#include <cmath>
#include <string>

namespace quillonde {

namespace {

// UNESCO 1983, as this program has always computed it. The degrees-per-radian factor is used as
// written, not replaced by 180/pi, and the X^2 coefficient of gravity is 2.38e-5 where the
// publication has 2.36e-5: depths must stay what earlier profiles were computed with.
constexpr double degrees_per_radian = 57.29578;
constexpr double gravity_equator = 9.780318;  // [m/s^2]
constexpr double gravity_x1 = 5.2788e-3;      // coefficient of X = sin^2(latitude)
constexpr double gravity_x2 = 2.38e-5;        // coefficient of X^2
constexpr double gravity_per_dbar = 1.092e-6; // [m/s^2 per dbar]
constexpr double n_p1 = 9.72659;              // N = (((n_p4 p + n_p3) p + n_p2) p + n_p1) p
constexpr double n_p2 = -2.2512e-5;
constexpr double n_p3 = 2.279e-10;
constexpr double n_p4 = -1.82e-15;

Error depth_overflow(double pressure_dbar)
{
    return {ErrorKind::overflow, "the depth of the pressure " + double_to_str(pressure_dbar) +
                                     " dbar lies beyond the number range"};
}

/// Gravity at the sea surface at a latitude [whole degrees], in [m/s^2].
double surface_gravity(std::int32_t latitude_deg)
{
    const double latitude_rad = static_cast<double>(latitude_deg) / degrees_per_radian;
    const double sine = std::sin(latitude_rad);
    const double x = sine * sine;
    return gravity_equator * (1.0 + (gravity_x1 + gravity_x2 * x) * x);
}

double fresh_depth(double pressure_dbar)
{
    const double depth_m = pressure_dbar * fresh_metres_per_dbar;
    if (!std::isfinite(depth_m)) {
        throw depth_overflow(pressure_dbar);
    }
    return depth_m;
}

double salt_depth(double surface_gravity_m_s2, double p)
{
    const double gravity = surface_gravity_m_s2 + gravity_per_dbar * p;
    const double n = (((n_p4 * p + n_p3) * p + n_p2) * p + n_p1) * p;
    if (!std::isfinite(n)) {
        throw depth_overflow(p);
    }
    const double depth_m = n / gravity;
    if (!std::isfinite(depth_m)) {
        throw depth_overflow(p);
    }
    return depth_m;
}

} // namespace

double fresh_con(double value)
{
    return round_to(fresh_depth(value), 2);
}

double salt_con(std::int32_t g_value, double p)
{
    return round_to(salt_depth(surface_gravity(g_value), p), 2);
}

double depth_m(const DepthBasis& basis, double pressure_dbar)
{
    return round_to(Water(basis).exact_depth_m(pressure_dbar), 2);
}

Water::Water(const DepthBasis& basis)
    : basis_(basis), surface_gravity_(basis.salt_water ? surface_gravity(basis.latitude_deg) : 0.0)
{
}

double Water::exact_depth_m(double pressure_dbar) const
{
    return basis_.salt_water ? salt_depth(surface_gravity_, pressure_dbar) : fresh_depth(pressure_dbar);
}

} // namespace quillonde
