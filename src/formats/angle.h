#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillonde {

// Every latitude and longitude a file states is read here, in the notations its format allows:
// decimal degrees ("-36.2199169"), degrees and decimal minutes ("02 26.71 S", "054°20.32' N"),
// degrees, minutes and seconds ("72°30'30\"S", "-12:14:35.00"), a sign before the degrees, a
// hemisphere letter before or after, in either case. Degrees are whole where minutes follow, and
// minutes where seconds follow; minutes and seconds lie below 60. A sign and a letter of the
// other hemisphere ("-12 N") contradict each other: no angle.

/// Which angle a text states: a latitude (to 90 degrees, N or S) or a longitude (to 180, E or W).
enum class Axis { latitude, longitude };

/// Where a hemisphere letter may stand.
enum class Letters {
    none,            ///< never: a sign alone says south or west
    after,           ///< after the angle, optional
    before_or_after, ///< before or after the angle, optional
    required_after,  ///< after the angle, always
};

/// The notations of an angle that a format allows.
struct AngleNotation {
    std::size_t fewest_parts = 1; ///< 2 where decimal degrees alone are no angle
    std::size_t most_parts = 1;   ///< 1: decimal degrees; 2: and minutes; 3: and seconds
    Letters letters = Letters::none;
    bool sign = true;                    ///< a "+" or "-" may stand before the degrees
    std::string_view separators = " \t"; ///< between the parts
    bool degree_sign = false;            ///< a degree sign (Latin-1 or UTF-8 bytes) separates too
    bool marks_after = false;            ///< separators may follow the last part: "20.32'"
    bool exponent = false;               ///< decimal degrees may carry an exponent: "5e-06"
    bool sixty_seconds = false;          ///< seconds may read 60, as software rounding 59.995 writes them
    std::string_view refusal = "is no angle"; ///< what a message says of a text that is no angle
};

/// Decimal degrees with a sign, as the software of profile files writes them: "-38.016269107",
/// "1e-05" (Kongsberg, HYPACK).
inline constexpr AngleNotation decimal_degrees{.exponent = true, .refusal = "is not a number"};

/// A CARIS section's "-12:14:35.00": degrees, minutes and seconds between colons, or decimal degrees,
/// a sign for the whole angle.
inline constexpr AngleNotation caris_position{.most_parts = 3,
                                              .separators = ":",
                                              .sixty_seconds = true,
                                              .refusal = "is no angle (D:MM:SS.ss or degrees)"};

/// A position a probe's software writes: "72 30.50 N", "S 72 30.50", "-72.508333", "72°30'30\"S"
/// (Sea-Bird, RBR, CastAway).
inline constexpr AngleNotation probe_position{.most_parts = 3,
                                              .letters = Letters::before_or_after,
                                              .separators = " \t'\":",
                                              .degree_sign = true,
                                              .marks_after = true};

/// A position a logger's software writes: "-12 14 35 S", "48 42.126 S", "-48.7021", "5E-05": parts
/// between blanks, a hemisphere letter after them (Valeport, AML).
inline constexpr AngleNotation logger_position{.most_parts = 3, .letters = Letters::after, .exponent = true};

/// The position line of a Sea & Sun header: "054°20.32' N", degrees and decimal minutes, always the
/// hemisphere letter.
inline constexpr AngleNotation tob_position{.fewest_parts = 2,
                                            .most_parts = 2,
                                            .letters = Letters::required_after,
                                            .sign = false,
                                            .separators = " \t'",
                                            .degree_sign = true,
                                            .marks_after = true};

/// The angle `text`, all of it but blanks at its ends, states in `notation`, in degrees north or
/// east; nothing when it is no such angle or lies beyond the axis' limit (999, the probes' word for
/// "no fix").
std::optional<double> angle_of(std::string_view text, Axis axis, const AngleNotation& notation) noexcept;

/// As angle_of, but fails naming the axis: a text that is no angle as a type mismatch ("latitude
/// "x" is not a number"), an angle beyond the limit as an overflow ("lies beyond 90 degrees").
double stated_angle(std::string_view text, Axis axis, const AngleNotation& notation);

} // namespace quillonde
