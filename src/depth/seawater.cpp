#include "depth/seawater.h"

#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace quillonde {

namespace {

template <std::size_t N> using Coefficients = std::array<double, N>;

/// c[0] + c[1] x + c[2] x^2 + ...
template <std::size_t N> double polynomial(const Coefficients<N>& c, double x)
{
    double sum = 0.0;
    for (std::size_t i = N; i-- > 0;) {
        sum = sum * x + c[i];
    }
    return sum;
}

/// c[1] + 2 c[2] x + 3 c[3] x^2 + ...
template <std::size_t N> double derivative(const Coefficients<N>& c, double x)
{
    double sum = 0.0;
    for (std::size_t i = N; i-- > 1;) {
        sum = sum * x + static_cast<double>(i) * c[i];
    }
    return sum;
}

// Chen and Millero, UNESCO 1983 eqs. 33 to 37, pressure in bar:
// U = Cw(T, P) + A(T, P) S + B(T, P) S^1.5 + D(P) S^2, each of Cw and A a polynomial in P whose
// coefficients are polynomials in T.
constexpr double dbar_per_bar = 10.0;
constexpr std::array<Coefficients<6>, 4> sound_cw = {{
    {1402.388, 5.03711, -5.80852e-2, 3.3420e-4, -1.47800e-6, 3.1464e-9},
    {0.153563, 6.8982e-4, -8.1788e-6, 1.3621e-7, -6.1185e-10, 0.0},
    {3.1260e-5, -1.7107e-6, 2.5974e-8, -2.5335e-10, 1.0405e-12, 0.0},
    {-9.7729e-9, 3.8504e-10, -2.3643e-12, 0.0, 0.0, 0.0},
}};
constexpr std::array<Coefficients<5>, 4> sound_a = {{
    {1.389, -1.262e-2, 7.164e-5, 2.006e-6, -3.21e-8},
    {9.4742e-5, -1.2580e-5, -6.4885e-8, 1.0507e-8, -2.0122e-10},
    {-3.9064e-7, 9.1041e-9, -1.6002e-10, 7.988e-12, 0.0},
    {1.100e-10, 6.649e-12, -3.389e-13, 0.0, 0.0},
}};
constexpr std::array<Coefficients<2>, 2> sound_b = {{{-1.922e-2, -4.42e-5}, {7.3637e-5, 1.7945e-7}}};
constexpr Coefficients<2> sound_d = {1.727e-3, -7.9836e-6}; // in P

// PSS-78, UNESCO 1983 eqs. 1 to 6: S = sum a_i Rt^(i/2) + (T - 15) / (1 + k (T - 15)) sum b_i Rt^(i/2),
// Rt = R / (Rp rt), rt = sum c_i T^i, Rp = 1 + P (e1 + e2 P + e3 P^2) / (1 + d1 T + d2 T^2 + (d3 + d4 T) R).
constexpr Coefficients<6> pss_a = {0.0080, -0.1692, 25.3851, 14.0941, -7.0261, 2.7081};
constexpr Coefficients<6> pss_b = {0.0005, -0.0056, -0.0066, -0.0375, 0.0636, -0.0144};
constexpr double pss_k = 0.0162;
constexpr double pss_reference_c = 15.0;                                                        // [degC]
constexpr Coefficients<5> pss_rt = {0.6766097, 2.00564e-2, 1.104259e-4, -6.9698e-7, 1.0031e-9}; // in T
constexpr Coefficients<4> pss_e = {0.0, 2.070e-5, -6.370e-10, 3.989e-15};                       // in P
constexpr Coefficients<3> pss_d_t = {1.0, 3.426e-2, 4.464e-4};                                  // in T
constexpr Coefficients<2> pss_d_r = {4.215e-1, -3.107e-3}; // in T, times R
constexpr double pss_reference_salinity = 35.0;

// Hill, Dauphinee and Woods (1986), below salinity 2: PSS-78 less a0 / (1 + 1.5 X + X^2) and
// b0 f(T) / (1 + Y^1/2 + Y + Y^3/2), X = 400 Rt, Y = 100 Rt, f(T) PSS-78's (T - 15) / (1 + k (T - 15)),
// so that zero conductivity has salinity 0. TEOS-10 scales this by 2 over its value where PSS-78 is
// 2, so that the two meet there.
constexpr double hill_below_salinity = 2.0;
constexpr double hill_x_per_rt = 400.0;
constexpr double hill_sqrt_y_per_root = 10.0; // Y^1/2 = 10 sqrt(Rt)
// Just above zero conductivity (sqrt(Rt) below about 0.005) the extension dips below 0, by at most
// 0.0003; such a conductivity has salinity 0, and salinity 0 the conductivity where the dip ends.

// The inverse: the paper stops at 1E-4; here the steps go on far below the written digits.
constexpr double inverse_tolerance = 1e-10;
constexpr int inverse_max_steps = 50;
// How closely the salinity of the inverse's conductivity must give back the salinity asked for.
constexpr double inverse_check_tolerance = 1e-8;
constexpr int shown_decimals = 6; // of a computed value in a message

constexpr std::string_view sound_speed_formula = "Chen and Millero's sound speed";
constexpr std::string_view salinity_formula = "PSS-78";

constexpr double not_found = std::numeric_limits<double>::quiet_NaN();

std::string conditions(double temperature_c, double pressure_dbar)
{
    return " at " + double_to_str(temperature_c) + " degC and " + double_to_str(pressure_dbar) + " dbar";
}

Error beyond_range(const std::string& what)
{
    return {ErrorKind::overflow, what + " lies beyond the range of the formula"};
}

Error far_outside(const std::string& what, std::string_view formula, double min, double max,
                  std::string_view unit)
{
    return {ErrorKind::overflow, what + " lies far outside the range of " + std::string(formula) + " (" +
                                     double_to_str(min) + " to " + double_to_str(max) + std::string(unit) +
                                     ")"};
}

bool accepts_salinity(double salinity)
{
    return salinity >= accepted_range.salinity_min && salinity <= accepted_range.salinity_max;
}

/// Refuses an input salinity outside `accepted_range`.
void check_salinity(double salinity, std::string_view formula, const SeawaterRange& holds)
{
    if (!accepts_salinity(salinity)) {
        throw far_outside("salinity " + double_to_str(salinity), formula, holds.salinity_min,
                          holds.salinity_max, "");
    }
}

/// Refuses a temperature or pressure outside `accepted_range`.
void check_conditions(double temperature_c, double pressure_dbar, std::string_view formula,
                      const SeawaterRange& holds)
{
    if (!(temperature_c >= accepted_range.temperature_min_c &&
          temperature_c <= accepted_range.temperature_max_c)) {
        throw far_outside("temperature " + double_to_str(temperature_c) + " degC", formula,
                          holds.temperature_min_c, holds.temperature_max_c, " degC");
    }
    if (!(pressure_dbar >= accepted_range.pressure_min_dbar &&
          pressure_dbar <= accepted_range.pressure_max_dbar)) {
        throw far_outside("pressure " + double_to_str(pressure_dbar) + " dbar", formula,
                          holds.pressure_min_dbar, holds.pressure_max_dbar, " dbar");
    }
}

double temperature_factor(double temperature_c)
{
    const double dt = temperature_c - pss_reference_c;
    return dt / (1.0 + pss_k * dt);
}

/// PSS-78 salinity of sqrt(Rt) at a temperature [degC].
double salinity_of_root(double root, double temperature_c)
{
    return polynomial(pss_a, root) + temperature_factor(temperature_c) * polynomial(pss_b, root);
}

double salinity_slope(double root, double temperature_c)
{
    return derivative(pss_a, root) + temperature_factor(temperature_c) * derivative(pss_b, root);
}

/// Hill's extension of sqrt(Rt) at a temperature, before TEOS-10's scaling.
double hill_salinity_of_root(double root, double temperature_c)
{
    const double x = hill_x_per_rt * root * root;
    const double sqrt_y = hill_sqrt_y_per_root * root;
    return salinity_of_root(root, temperature_c) - pss_a[0] / (1.0 + x * (1.5 + x)) -
           pss_b[0] * temperature_factor(temperature_c) / (1.0 + sqrt_y * (1.0 + sqrt_y * (1.0 + sqrt_y)));
}

double hill_salinity_slope(double root, double temperature_c)
{
    const double x = hill_x_per_rt * root * root;
    const double sqrt_y = hill_sqrt_y_per_root * root;
    const double a_part = 1.0 + x * (1.5 + x);
    const double b_part = 1.0 + sqrt_y * (1.0 + sqrt_y * (1.0 + sqrt_y));
    return salinity_slope(root, temperature_c) +
           pss_a[0] * (1.5 + 2.0 * x) * 2.0 * hill_x_per_rt * root / (a_part * a_part) +
           pss_b[0] * temperature_factor(temperature_c) * (1.0 + sqrt_y * (2.0 + 3.0 * sqrt_y)) *
               hill_sqrt_y_per_root / (b_part * b_part);
}

/// sqrt(Rt) of a PSS-78 salinity at a temperature, by the paper's Newton steps; NaN if they do not settle.
double pss_root(double salinity, double temperature_c)
{
    const double t = temperature_c;
    double root = std::sqrt(salinity / pss_reference_salinity);
    double reached = salinity_of_root(root, t);
    for (int step = 0; step < inverse_max_steps && !(std::abs(reached - salinity) < inverse_tolerance);
         ++step) {
        root += (salinity - reached) / salinity_slope(root, t);
        reached = salinity_of_root(root, t);
    }
    return std::abs(reached - salinity) < inverse_tolerance ? root : not_found;
}

/// TEOS-10's factor on Hill's extension at a temperature, with the sqrt(Rt) where PSS-78 gives 2.
std::pair<double, double> hill_scale(double temperature_c)
{
    const double top = pss_root(hill_below_salinity, temperature_c);
    return {hill_below_salinity / hill_salinity_of_root(top, temperature_c), top};
}

/// sqrt(Rt) of a salinity below 2 by Hill's extension: Newton steps down from where PSS-78 gives 2.
/// From its rising zero up the scaled extension is convex (-5 to 45 degC), so the steps come down to
/// the root from above and never past it, into the dip below 0; NaN if they do not settle.
double hill_root(double salinity, double temperature_c)
{
    const auto [scale, top] = hill_scale(temperature_c);
    double root = top;
    double off = hill_below_salinity - salinity;
    for (int step = 0; step < inverse_max_steps && !(std::abs(off) < inverse_tolerance); ++step) {
        root -= off / (scale * hill_salinity_slope(root, temperature_c));
        off = scale * hill_salinity_of_root(root, temperature_c) - salinity;
    }
    return std::abs(off) < inverse_tolerance ? root : not_found;
}

/// Practical salinity of a conductivity without the checks of its inputs; NaN for a negative ratio.
double salinity_of_conductivity(double conductivity_ms_cm, double temperature_c, double pressure_dbar)
{
    const double r = conductivity_ms_cm / standard_conductivity_ms_cm;
    const double t = temperature_c;
    const double rp =
        1.0 + polynomial(pss_e, pressure_dbar) / (polynomial(pss_d_t, t) + polynomial(pss_d_r, t) * r);
    const double ratio = r / (rp * polynomial(pss_rt, t));
    const double root = std::sqrt(ratio);
    double salinity = salinity_of_root(root, t);
    if (salinity < hill_below_salinity) {
        salinity = hill_scale(t).first * hill_salinity_of_root(root, t);
        if (salinity < 0.0) {
            salinity = 0.0;
        }
    }
    return salinity;
}

/// Conductivity [mS/cm] of sqrt(Rt) at a temperature and pressure.
double conductivity_of_root(double root, double temperature_c, double pressure_dbar)
{
    // R from rt Rt = R / Rp: Rp's R in its denominator makes this a quadratic in R.
    const double t = temperature_c;
    const double rt_ratio = polynomial(pss_rt, t) * root * root;
    const double at = polynomial(pss_d_r, t);
    const double bt = polynomial(pss_d_t, t) - rt_ratio * at;
    const double ct = rt_ratio * (polynomial(pss_e, pressure_dbar) + polynomial(pss_d_t, t));
    const double r = 0.5 * (std::sqrt(std::abs(bt * bt + 4.0 * at * ct)) - bt) / at;
    return r * standard_conductivity_ms_cm;
}

} // namespace

double sound_speed(double salinity, double temperature_c, double pressure_dbar)
{
    check_salinity(salinity, sound_speed_formula, sound_speed_range);
    check_conditions(temperature_c, pressure_dbar, sound_speed_formula, sound_speed_range);
    const double p = pressure_dbar / dbar_per_bar;
    const double t = temperature_c;
    double cw = 0.0;
    double a = 0.0;
    for (std::size_t j = sound_cw.size(); j-- > 0;) {
        cw = cw * p + polynomial(sound_cw[j], t);
        a = a * p + polynomial(sound_a[j], t);
    }
    const double b = polynomial(sound_b[0], t) + polynomial(sound_b[1], t) * p;
    const double d = polynomial(sound_d, p);
    return cw + a * salinity + b * salinity * std::sqrt(salinity) + d * salinity * salinity;
}

double practical_salinity(double conductivity_ms_cm, double temperature_c, double pressure_dbar)
{
    check_conditions(temperature_c, pressure_dbar, salinity_formula, practical_salinity_range);
    if (is_conductivity_noise(conductivity_ms_cm)) {
        return 0.0;
    }
    const double salinity = salinity_of_conductivity(conductivity_ms_cm, temperature_c, pressure_dbar);
    if (!accepts_salinity(salinity)) {
        const std::string of =
            " of " + double_to_str(conductivity_ms_cm) + " mS/cm" + conditions(temperature_c, pressure_dbar);
        if (!std::isfinite(salinity)) {
            throw beyond_range("the salinity" + of);
        }
        throw far_outside("the salinity " + double_to_str(round_to(salinity, shown_decimals)) + of,
                          salinity_formula, practical_salinity_range.salinity_min,
                          practical_salinity_range.salinity_max, "");
    }
    return salinity;
}

double conductivity(double salinity, double temperature_c, double pressure_dbar)
{
    check_salinity(salinity, salinity_formula, practical_salinity_range);
    check_conditions(temperature_c, pressure_dbar, salinity_formula, practical_salinity_range);
    const double root = salinity < hill_below_salinity ? hill_root(salinity, temperature_c)
                                                       : pss_root(salinity, temperature_c);
    const double result = conductivity_of_root(root, temperature_c, pressure_dbar);
    // Whatever the steps did, only a conductivity that gives the salinity back is its conductivity.
    const double reached = salinity_of_conductivity(result, temperature_c, pressure_dbar);
    if (std::abs(reached - salinity) <= inverse_check_tolerance) {
        return result;
    }
    const std::string what =
        "the conductivity of salinity " + double_to_str(salinity) + conditions(temperature_c, pressure_dbar);
    if (!std::isfinite(result)) {
        throw beyond_range(what);
    }
    throw Error(ErrorKind::overflow,
                what + " was not found: the inverse ended at " +
                    double_to_str(round_to(result, shown_decimals)) + " mS/cm, of salinity " +
                    (std::isfinite(reached) ? double_to_str(round_to(reached, shown_decimals))
                                            : std::string("none")));
}

} // namespace quillonde
