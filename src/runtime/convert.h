#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillonde {

// Conversions between texts and numbers, the same everywhere in the program. The decimal
// separator is always "."; no locale is consulted.
//
// A numeric text is: optional blanks, an optional sign, digits with at most one point (at least one
// digit in all), an optional exponent ("e" or "E", an optional sign, digits), optional blanks.

/// Outcome of reading a numeric text without raising an error.
enum class NumberStatus {
    ok,
    not_a_number, ///< the text does not follow the grammar above
    out_of_range, ///< a numeric text whose value lies beyond the double range
};

/// Reads a numeric text into `value`. On anything but `ok`, `value` is left as it was.
NumberStatus parse_number(std::string_view text, double& value) noexcept;

/// The number of a numeric text; type mismatch for any other text, overflow beyond the double range.
double str_to_double(std::string_view text);

/// The number of a numeric text rounded to a whole number, an exact half to the even neighbour
/// (45.5 gives 46, 44.5 gives 44); overflow outside the 32-bit signed range.
std::int32_t str_to_long(std::string_view text);

/// `x` rounded to `decimals` places: x is scaled by 10^decimals in double arithmetic, that double
/// is rounded half to even and scaled back; so round_to(2.675, 2) is 2.67, round_to(0.75, 1) is 0.8.
double round_to(double x, int decimals) noexcept;

/// Rounds to the nearest whole number, an exact half to the even neighbour; independent of the
/// floating-point environment.
double round_half_even(double x) noexcept;

/// The shortest text of at most 15 significant digits: no trailing zeros, no point for whole
/// values, "-" for negatives, never "-0" (2.50 gives "2.5", 0.1 + 0.2 gives "0.3"). Magnitudes of
/// 1E+15 and above or below 1E-04 are written with an exponent ("1E+15", "1.5E-05"). An infinity
/// or NaN has no such text: overflow.
std::string double_to_str(double x);

/// Decimal digits, "-" in front of negatives.
std::string long_to_str(std::int32_t n);

} // namespace quillonde
