#pragma once

namespace quillonde {

// Sea water properties after UNESCO 1983 (Fofonoff and Millard, UNESCO Technical Papers in Marine
// Science 44), practical salinity below 2 after Hill, Dauphinee and Woods (1986) as TEOS-10 applies
// it. Temperatures are taken as given, on the paper's scale (IPTS-68): a probe's degrees are not
// converted. Pressure is sea pressure, 0 at the surface. Results are not rounded.
//
// Each formula holds for a range of inputs. Inputs slightly outside it are computed, and a caller
// that wants to say so asks the range (`contains`); inputs outside `accepted_range` are no water a
// probe measures, and every formula here refuses them with an overflow that names the input.

/// Salinity, temperature and pressure bounds, the ends included.
struct SeawaterRange {
    double salinity_min, salinity_max;           ///< practical salinity
    double temperature_min_c, temperature_max_c; ///< [degC]
    double pressure_min_dbar, pressure_max_dbar; ///< [dbar]

    /// Whether all three inputs lie within the bounds (a few comparisons: cheap per row).
    constexpr bool contains(double salinity, double temperature_c, double pressure_dbar) const noexcept
    {
        return salinity >= salinity_min && salinity <= salinity_max && temperature_c >= temperature_min_c &&
               temperature_c <= temperature_max_c && pressure_dbar >= pressure_min_dbar &&
               pressure_dbar <= pressure_max_dbar;
    }
};

/// The inputs Chen and Millero's sound speed holds for.
inline constexpr SeawaterRange sound_speed_range{0.0, 40.0, 0.0, 40.0, 0.0, 10000.0};
/// The inputs PSS-78 holds for (salinity 2 to 42), with Hill's extension down to salinity 0.
inline constexpr SeawaterRange practical_salinity_range{0.0, 42.0, -2.0, 35.0, 0.0, 10000.0};
/// The inputs any formula here computes from at all; beyond them it fails.
inline constexpr SeawaterRange accepted_range{0.0, 45.0, -5.0, 45.0, -5.0, 12000.0};

/// Conductivity of sea water of salinity 35 at 15 degC and 0 dbar, C(35, 15, 0) [mS/cm].
inline constexpr double standard_conductivity_ms_cm = 42.914;

/// The lowest conductivity read as a fresh-water sensor's noise about zero [mS/cm].
inline constexpr double conductivity_noise_floor_ms_cm = -0.1;

/// Whether practical_salinity takes this conductivity [mS/cm] for noise and gives salinity 0.
constexpr bool is_conductivity_noise(double conductivity_ms_cm) noexcept
{
    return conductivity_ms_cm < 0.0 && conductivity_ms_cm >= conductivity_noise_floor_ms_cm;
}

/// Speed of sound in sea water, Chen and Millero (1977) as UNESCO 1983 gives it (eqs. 33 to 37).
///   salinity      : practical salinity (PSS-78)
///   temperature_c : temperature [degC]
///   pressure_dbar : pressure [dbar]
///   returns sound speed [m/s]
/// Overflow when an input lies outside `accepted_range`.
double sound_speed(double salinity, double temperature_c, double pressure_dbar);

/// Practical salinity of a conductivity: PSS-78, and below 2 Hill's extension, which reaches 0 at
/// zero conductivity (just above zero, where the extension dips below 0 by at most 0.0003, also 0).
///   conductivity_ms_cm : conductivity [mS/cm]; -0.1 to 0 is noise (`is_conductivity_noise`): 0
///   temperature_c      : temperature [degC]
///   pressure_dbar      : pressure [dbar]
///   returns practical salinity
/// Overflow when the conductivity lies below -0.1, the temperature or pressure or the salinity
/// outside `accepted_range`.
double practical_salinity(double conductivity_ms_cm, double temperature_c, double pressure_dbar);

/// Conductivity of a practical salinity, the inverse of practical_salinity: from 2 on by the paper's
/// iteration (Newton steps on the square root of the ratio), below 2 by Newton steps down Hill's
/// extension from 2; either carried on until it agrees to 1E-10, and the result checked against
/// practical_salinity. Salinity 0 gives the conductivity where the extension's dip ends (about
/// 0.002 mS/cm), as TEOS-10 does.
///   salinity      : practical salinity (PSS-78)
///   temperature_c : temperature [degC]
///   pressure_dbar : pressure [dbar]
///   returns conductivity [mS/cm]
/// Overflow when an input lies outside `accepted_range`, or when no conductivity was found whose
/// salinity is the given one.
double conductivity(double salinity, double temperature_c, double pressure_dbar);

} // namespace quillonde
