#pragma once

#include <array>
#include <cmath>
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

/// Reads a numeric text times 10^`power_of_ten` into `value`, rounded once: "4.468541" at 1 gives
/// the double nearest 44.68541, as parse_number("44.68541") does.
NumberStatus parse_scaled(std::string_view text, int power_of_ten, double& value) noexcept;

/// The powers of ten that are exact doubles.
inline constexpr std::array<double, 23> exact_powers_of_ten = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
};

/// parse_scaled() of the texts measured values are written as: a "-" at most, then up to 15 digits
/// with at most one point among them, no blanks, no exponent. False, `value` untouched, for any
/// other text. Inline, as a long cast has millions of them.
inline bool parse_plain_decimal(std::string_view text, int power_of_ten, double& value) noexcept
{
    constexpr std::size_t most_exact_digits = 15; // whole numbers below 2^53 are exact doubles
    const char* at = text.data();
    const char* const end = at + text.size();
    const bool negative = at != end && *at == '-';
    at += negative ? 1 : 0;
    const char* const first = at;
    const char* point = nullptr;
    std::uint64_t whole = 0;
    for (; at != end; ++at) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*at)) - unsigned{'0'};
        if (digit < 10) {
            whole = whole * 10 + digit;
        } else if (*at == '.' && point == nullptr) {
            point = at;
        } else {
            return false;
        }
    }
    const auto digits = static_cast<std::size_t>(at - first) - (point != nullptr ? 1 : 0);
    const std::int64_t decimals = (point != nullptr ? end - point - 1 : 0) - power_of_ten;
    constexpr auto powers = static_cast<std::int64_t>(exact_powers_of_ten.size());
    if (digits == 0 || digits > most_exact_digits || decimals <= -powers || decimals >= powers) {
        return false;
    }
    // The digits as a whole number and the power of ten of the point are both exact doubles, so
    // their quotient (or product) is the correctly rounded value.
    const double power = exact_powers_of_ten[static_cast<std::size_t>(decimals < 0 ? -decimals : decimals)];
    const double magnitude =
        decimals < 0 ? static_cast<double>(whole) * power : static_cast<double>(whole) / power;
    value = negative ? -magnitude : magnitude;
    return true;
}

/// Reads a numeric text into `value`. On anything but `ok`, `value` is left as it was.
inline NumberStatus parse_number(std::string_view text, double& value) noexcept
{
    return parse_plain_decimal(text, 0, value) ? NumberStatus::ok : parse_scaled(text, 0, value);
}

/// The number of a numeric text; type mismatch for any other text, overflow beyond the double range.
double str_to_double(std::string_view text);

/// The number of a numeric text rounded to a whole number, an exact half to the even neighbour
/// (45.5 gives 46, 44.5 gives 44); overflow outside the 32-bit signed range.
std::int32_t str_to_long(std::string_view text);

/// Rounds to the nearest whole number, an exact half to the even neighbour; independent of the
/// floating-point environment. Inline: a million rows of a cast are rounded on their way in.
inline double round_half_even(double x) noexcept
{
    // From 2^52 on every double is a whole number; below it the value fits a 64-bit integer, whose
    // conversion truncates without a library call.
    constexpr double all_whole = 4503599627370496.0;
    if (!(std::fabs(x) < all_whole)) {
        return x; // whole already, or not finite
    }
    const auto truncated = static_cast<std::int64_t>(x);
    const std::int64_t below = truncated - static_cast<std::int64_t>(static_cast<double>(truncated) > x);
    const double fraction = x - static_cast<double>(below); // exact: both share their leading bits
    // Up above a half, and at exactly a half when that makes the whole number even; no branches,
    // since the fraction of measured values is as likely below a half as above it.
    const std::int64_t up =
        static_cast<std::int64_t>(fraction > 0.5) | (static_cast<std::int64_t>(fraction == 0.5) & below);
    return static_cast<double>(below + (up & 1));
}

/// `x` rounded to `decimals` places: x is scaled by 10^decimals in double arithmetic, that double
/// is rounded half to even and scaled back; so round_to(2.675, 2) is 2.67, round_to(0.75, 1) is 0.8.
inline double round_to(double x, int decimals) noexcept
{
    const double scale = decimals >= 0 && decimals < static_cast<int>(exact_powers_of_ten.size())
                             ? exact_powers_of_ten[static_cast<std::size_t>(decimals)]
                             : std::pow(10.0, decimals);
    const double scaled = x * scale;
    if (!std::isfinite(scaled)) {
        return x; // so large that it has no decimals left to round
    }
    return round_half_even(scaled) / scale;
}

/// The shortest text of at most 15 significant digits: no trailing zeros, no point for whole
/// values, "-" for negatives, never "-0" (2.50 gives "2.5", 0.1 + 0.2 gives "0.3"). Magnitudes of
/// 1E+15 and above or below 1E-04 are written with an exponent ("1E+15", "1.5E-05"). An infinity
/// or NaN has no such text: overflow.
std::string double_to_str(double x);

/// Decimal digits, "-" in front of negatives.
std::string long_to_str(std::int32_t n);

} // namespace quillonde
