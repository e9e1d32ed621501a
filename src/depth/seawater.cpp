#include "depth/seawater.h"

#include "runtime/convert.h"
#include "runtime/error.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <string>

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

// The inverse: the paper stops at 1E-4; here the steps go on far below the written digits.
constexpr double inverse_tolerance = 1e-10;
constexpr int inverse_max_steps = 50;

std::string conditions(double temperature_c, double pressure_dbar)
{
    return " at " + double_to_str(temperature_c) + " degC and " + double_to_str(pressure_dbar) + " dbar";
}

Error beyond_range(const std::string& what)
{
    return {ErrorKind::overflow, what + " lies beyond the range of the formula"};
}

/// PSS-78 salinity of sqrt(Rt) at a temperature [degC].
double salinity_of_root(double root, double temperature_c)
{
    const double dt = temperature_c - pss_reference_c;
    return polynomial(pss_a, root) + dt / (1.0 + pss_k * dt) * polynomial(pss_b, root);
}

double salinity_slope(double root, double temperature_c)
{
    const double dt = temperature_c - pss_reference_c;
    return derivative(pss_a, root) + dt / (1.0 + pss_k * dt) * derivative(pss_b, root);
}

} // namespace

double sound_speed(double salinity, double temperature_c, double pressure_dbar)
{
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
    const double speed = cw + a * salinity + b * salinity * std::sqrt(salinity) + d * salinity * salinity;
    if (!std::isfinite(speed)) {
        throw beyond_range("the sound speed of salinity " + double_to_str(salinity) +
                           conditions(temperature_c, pressure_dbar));
    }
    return speed;
}

double practical_salinity(double conductivity_ms_cm, double temperature_c, double pressure_dbar)
{
    const double r = conductivity_ms_cm / standard_conductivity_ms_cm;
    const double t = temperature_c;
    const double rp =
        1.0 + polynomial(pss_e, pressure_dbar) / (polynomial(pss_d_t, t) + polynomial(pss_d_r, t) * r);
    const double ratio = r / (rp * polynomial(pss_rt, t));
    const double salinity = salinity_of_root(std::sqrt(ratio), t);
    if (!std::isfinite(salinity)) {
        throw beyond_range("the salinity of " + double_to_str(conductivity_ms_cm) + " mS/cm" +
                           conditions(temperature_c, pressure_dbar));
    }
    return salinity;
}

double conductivity(double salinity, double temperature_c, double pressure_dbar)
{
    const double t = temperature_c;
    double root = std::sqrt(salinity / pss_reference_salinity);
    double reached = salinity_of_root(root, t);
    for (int step = 0; step < inverse_max_steps && !(std::abs(reached - salinity) < inverse_tolerance);
         ++step) {
        root += (salinity - reached) / salinity_slope(root, t);
        reached = salinity_of_root(root, t);
    }
    // R from rt Rt = R / Rp: Rp's R in its denominator makes this a quadratic in R.
    const double rt_ratio = polynomial(pss_rt, t) * root * root;
    const double at = polynomial(pss_d_r, t);
    const double bt = polynomial(pss_d_t, t) - rt_ratio * at;
    const double ct = rt_ratio * (polynomial(pss_e, pressure_dbar) + polynomial(pss_d_t, t));
    const double r = 0.5 * (std::sqrt(std::abs(bt * bt + 4.0 * at * ct)) - bt) / at;
    const double result = r * standard_conductivity_ms_cm;
    if (!(std::abs(reached - salinity) < inverse_tolerance) || !std::isfinite(result)) {
        throw beyond_range("the conductivity of salinity " + double_to_str(salinity) +
                           conditions(temperature_c, pressure_dbar));
    }
    return result;
}

} // namespace quillonde
