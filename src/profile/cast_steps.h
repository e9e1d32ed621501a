#pragma once

#include "profile/profile_rows.h"
#include "profile/table.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillonde {

// The steps a surveyor takes between the probe and the echo sounder. Each is a function of the
// loaded cast: the ones that judge samples leave rows out by their rule, the others make the profile.

/// Which part of a cast the profile takes.
enum class CastChoice : std::uint8_t {
    by_rule, ///< as the format's rule says: the downcast, or the upcast of a cast recorded upward only
    down,    ///< the downcast: the rows as recorded, each deeper than the one taken before
    up,      ///< the upcast: from the deepest row on, each shallower than the one taken before
};

/// The transducer's own sound speed sensor [m/s] at its draft [m].
struct SurfaceSensor {
    double sound_m_s = 0.0;
    double draft_m = 0.0;

    friend bool operator==(const SurfaceSensor&, const SurfaceSensor&) = default;
};

/// The steps the user asked for; none by default.
struct Steps {
    CastChoice cast = CastChoice::by_rule;
    bool drop_soak = false;
    bool despike = false;
    std::optional<double> bin_m; ///< bins of this height in place of the thinning
    std::optional<SurfaceSensor> surface;

    friend bool operator==(const Steps&, const Steps&) = default;
};

// The soak. The probe hangs near the surface (in air first, then in the water while its sensors
// settle), may be raised again, then descends steadily. Walking up the trace from the deepest row,
// each soak_band_m band of depth is passed in a few rows; a band shallower than soak_deepest_m that
// holds more than soak_linger_factor times the rows of a band passed so far, and at least
// soak_least_rows, is where the probe hung. The descent starts at the shallowest row after it.
// The depth alone decides, so fresh water is treated as salt water is.
inline constexpr double soak_band_m = 1.0;
inline constexpr double soak_deepest_m = 10.0;
inline constexpr double soak_linger_factor = 5.0;
inline constexpr std::int32_t soak_least_rows = 10;

/// The usable rows of `table`, in row order, that lie before the descent of its deepest row: the
/// soak and the samples in air. None when the probe did not hang near the surface.
std::vector<std::int32_t> soak_rows(const ProfileTable& table);

// Spikes. Each value is compared with spike_neighbours values each side: it is a spike when it lies
// more than spike_sigmas standard deviations of those neighbours from their mean, the deviation
// taken at least as the field's least sigma (0.2 m/s of sound speed; 0.05 degC of temperature, as
// much sound speed near the surface).
inline constexpr std::size_t spike_neighbours = 2;
inline constexpr double spike_sigmas = 2.0;
inline constexpr double spike_least_sigma_sound_m_s = 0.2;
inline constexpr double spike_least_sigma_temperature_c = 0.05;

/// The positions in `values` of its spikes; a value with fewer neighbours than spike_neighbours on a
/// side is judged by those it has; the first and the last are none.
std::vector<std::size_t> spike_positions(std::span<const double> values, double least_sigma);

/// The usable rows of `table`, in row order, whose sound speed (read or computed, as `columns` say)
/// or temperature is a spike among the usable rows. Rows whose values are no numbers take no part.
std::vector<std::int32_t> spike_rows(const ProfileTable& table, const ProfileColumns& columns);

/// The profile of the rows `order` takes of `table` in bins of `bin_m` from the surface: one line at
/// each bin's centre for each bin that holds rows, its values their means. The downcast takes the rows
/// up to the deepest, the upcast those from it on, a profile file all of them; rows above the
/// surface take no part. Fails as thinned_profile does.
Profile binned_profile(const ProfileTable& table, const ProfileColumns& columns, RowOrder order, double bin_m,
                       const std::function<bool()>& keep_going = {});

/// Ends a profile of the downcast with the cast's deepest usable row where the thinning left it out,
/// it lies deeper than the last line and its values are numbers; returns whether it did.
bool end_at_deepest(Profile& profile, const ProfileTable& table, const ProfileColumns& columns);

/// The sound speed of `profile` at `depth_m`, between the lines about it; that of the first or last
/// line above or below them. Nothing for a profile without lines.
std::optional<double> sound_at(const Profile& profile, double depth_m);

/// How far the profile's sound speed at the transducer may lie from the sensor's [m/s].
inline constexpr double surface_tolerance_m_s = 2.0;

} // namespace quillonde
