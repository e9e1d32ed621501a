#include "runtime/convert.h"

#include "runtime/error.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quillonde {

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

/// Decides, for a numeric text that std::from_chars found out of range, whether its value is too
/// large (overflow) or too small (it rounds to zero). `mantissa` is the text of the digits and the
/// point, `exponent` the value of the exponent part.
bool beyond_largest(std::string_view mantissa, std::int64_t exponent)
{
    // The power of ten of the first significant digit: digits before the point count up,
    // zeros after the point count down.
    std::int64_t power = 0;
    bool before_point = true;
    bool found = false;
    std::int64_t integer_digits = 0;
    std::int64_t leading_fraction_zeros = 0;
    for (const char c : mantissa) {
        if (c == '.') {
            before_point = false;
            continue;
        }
        if (before_point) {
            if (found || c != '0') {
                found = true;
                ++integer_digits;
            }
        } else if (!found) {
            if (c == '0') {
                ++leading_fraction_zeros;
            } else {
                found = true;
            }
        }
    }
    power = integer_digits > 0 ? integer_digits - 1 : -(leading_fraction_zeros + 1);
    return power + exponent >= 0;
}

/// `value` rounded half to even as a 32-bit whole number; `shown` is the value's text for the message.
std::int32_t to_long(double value, std::string_view shown)
{
    const double rounded = round_half_even(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        throw Error(ErrorKind::overflow, quoted(shown) + " lies outside the whole-number range");
    }
    return static_cast<std::int32_t>(rounded);
}

// Whole numbers of up to 15 digits are exact doubles (below 2^53).
constexpr std::size_t max_exact_digits = 15;

Error not_a_number(std::string_view text)
{
    return {ErrorKind::type_mismatch, quoted(text) + " is not a number"};
}

} // namespace

NumberStatus parse_scaled(std::string_view text, int power_of_ten, double& value) noexcept
{
    if (parse_plain_decimal(text, power_of_ten, value)) {
        return NumberStatus::ok;
    }
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissa_begin = i;
    std::size_t digits = 0;
    std::size_t point_at = n; // where the point stands, if there is one
    std::uint64_t whole = 0;  // the digits as a whole number, while there are few enough
    for (; i < n; ++i) {
        if (is_digit(text[i])) {
            ++digits;
            whole =
                whole * 10 + static_cast<std::uint64_t>(text[i] - '0'); // wraps for long texts; unused then
        } else if (text[i] == '.' && point_at == n) {
            point_at = i;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return NumberStatus::not_a_number;
    }
    const std::size_t mantissa_end = i;
    std::int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exponent_negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            exponent_negative = text[i] == '-';
            ++i;
        }
        const std::size_t exponent_begin = i;
        for (; i < n && is_digit(text[i]); ++i) {
            if (exponent < 1'000'000'000) { // saturates: only the order of magnitude matters here
                exponent = exponent * 10 + (text[i] - '0');
            }
        }
        if (i == exponent_begin) {
            return NumberStatus::not_a_number;
        }
        if (exponent_negative) {
            exponent = -exponent;
        }
    }
    const std::size_t number_end = i;
    while (i < n && text[i] == ' ') {
        ++i;
    }
    if (i != n) {
        return NumberStatus::not_a_number;
    }

    double magnitude = 0.0;
    const auto decimals =
        static_cast<std::int64_t>(point_at == n ? 0 : mantissa_end - point_at - 1) - power_of_ten;
    if (digits <= max_exact_digits && number_end == mantissa_end &&
        decimals > -static_cast<std::int64_t>(exact_powers_of_ten.size()) &&
        decimals < static_cast<std::int64_t>(exact_powers_of_ten.size())) {
        // Few digits and no exponent: the digits as a whole number and the power of ten of the
        // point are both exact doubles, so their quotient (or product) is the correctly rounded value.
        const double power =
            exact_powers_of_ten[static_cast<std::size_t>(decimals < 0 ? -decimals : decimals)];
        magnitude = decimals < 0 ? static_cast<double>(whole) * power : static_cast<double>(whole) / power;
        value = negative ? -magnitude : magnitude;
        return NumberStatus::ok;
    }
    const char* first = text.data() + mantissa_begin;
    const char* last = text.data() + number_end;
    // A scale by a power of ten moves the exponent, so that the value is rounded once.
    std::array<char, 96> shifted{};
    if (power_of_ten != 0) {
        const std::string_view mantissa = text.substr(mantissa_begin, mantissa_end - mantissa_begin);
        constexpr std::size_t exponent_room = 24;
        if (mantissa.size() + exponent_room > shifted.size()) {
            // Digits beyond a double's precision: scaled after all, the one more rounding unseen.
            const NumberStatus status = parse_scaled(text, 0, magnitude);
            if (status == NumberStatus::ok) {
                value = magnitude * std::pow(10.0, power_of_ten);
            }
            return status;
        }
        char* at = std::copy(mantissa.begin(), mantissa.end(), shifted.data());
        *at++ = 'e';
        exponent += power_of_ten;
        at = std::to_chars(at, shifted.data() + shifted.size(), exponent).ptr;
        first = shifted.data();
        last = at;
    }
    const auto [ptr, ec] = std::from_chars(first, last, magnitude, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (beyond_largest(text.substr(mantissa_begin, mantissa_end - mantissa_begin), exponent)) {
            return NumberStatus::out_of_range;
        }
        magnitude = 0.0; // below the smallest double: the value rounds to zero
    } else if (ec != std::errc{} || ptr != last) {
        return NumberStatus::not_a_number; // not reached for texts that pass the grammar
    }
    value = negative ? -magnitude : magnitude;
    return NumberStatus::ok;
}

double str_to_double(std::string_view text)
{
    double value = 0.0;
    switch (parse_number(text, value)) {
    case NumberStatus::ok: return value;
    case NumberStatus::out_of_range:
        throw Error(ErrorKind::overflow, quoted(text) + " lies beyond the number range");
    case NumberStatus::not_a_number: break;
    }
    throw not_a_number(text);
}

std::int32_t str_to_long(std::string_view text)
{
    return to_long(str_to_double(text), text);
}

std::string double_to_str(double x)
{
    if (!std::isfinite(x)) {
        throw Error(ErrorKind::overflow, "a result lies beyond the number range");
    }
    if (x == 0.0) {
        return "0";
    }
    // 15 significant digits, correctly rounded: d.dddddddddddddde±xx
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(x),
                                      std::chars_format::scientific, 14);
    const std::string_view scientific(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    const std::size_t e = scientific.find('e');
    std::string digits;
    digits += scientific[0];
    digits += scientific.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    int exponent = 0;
    std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), exponent);

    std::string out = x < 0 ? "-" : "";
    const auto count = static_cast<int>(digits.size());
    if (exponent >= 15 || exponent < -4) {
        out += digits[0];
        if (count > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += exponent < 0 ? "E-" : "E+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) {
            out += '0';
        }
        out += std::to_string(magnitude);
    } else if (exponent >= 0) {
        const int integer_digits = exponent + 1;
        if (count <= integer_digits) {
            out += digits;
            out.append(static_cast<std::size_t>(integer_digits - count), '0');
        } else {
            out.append(digits, 0, static_cast<std::size_t>(integer_digits));
            out += '.';
            out.append(digits, static_cast<std::size_t>(integer_digits));
        }
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::string long_to_str(std::int32_t n)
{
    std::array<char, 16> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), n);
    return {buffer.data(), result.ptr};
}

} // namespace quillonde
