#pragma once

namespace quillonde {

// Sea water properties after UNESCO 1983 (Fofonoff and Millard, UNESCO Technical Papers in Marine
// Science 44). Temperatures are taken as given, on the paper's scale (IPTS-68): a probe's degrees
// are not converted. Pressure is sea pressure, 0 at the surface. Results are not rounded.

/// Conductivity of sea water of salinity 35 at 15 degC and 0 dbar, C(35, 15, 0) [mS/cm].
inline constexpr double standard_conductivity_ms_cm = 42.914;

/// Speed of sound in sea water, Chen and Millero (1977) as UNESCO 1983 gives it (eqs. 33 to 37).
///   salinity      : practical salinity (PSS-78)
///   temperature_c : temperature [degC]
///   pressure_dbar : pressure [dbar]
///   returns sound speed [m/s]
/// Overflow when the result lies beyond the number range.
double sound_speed(double salinity, double temperature_c, double pressure_dbar);

/// Practical salinity (PSS-78) of a conductivity.
///   conductivity_ms_cm : conductivity [mS/cm]
///   temperature_c      : temperature [degC]
///   pressure_dbar      : pressure [dbar]
///   returns practical salinity
/// Overflow when the conductivity ratio has no salinity (below 0) or the result lies beyond the
/// number range.
double practical_salinity(double conductivity_ms_cm, double temperature_c, double pressure_dbar);

/// Conductivity of a practical salinity, the inverse of practical_salinity by the paper's iteration
/// (Newton steps on the square root of the ratio), carried on until it agrees to 1E-10.
///   salinity      : practical salinity (PSS-78)
///   temperature_c : temperature [degC]
///   pressure_dbar : pressure [dbar]
///   returns conductivity [mS/cm]
/// Overflow when no conductivity gives the salinity (below about 0.008) or the iteration does not
/// settle.
double conductivity(double salinity, double temperature_c, double pressure_dbar);

} // namespace quillonde
