#include "profile/sample.h"

#include "runtime/convert.h"

#include <cmath>

namespace quillonde {

namespace {

constexpr double dbar_per_psi = 0.6894757293168361;
constexpr double metres_per_foot = 0.3048;
constexpr double fahrenheit_zero_c = 32.0;
constexpr double fahrenheit_per_celsius = 1.8;

/// The power of ten a scale multiplies by, applied to the text's decimal point so that the value is
/// rounded once; 0 for the others.
constexpr int decimal_shift(Scale scale) noexcept
{
    return scale == Scale::times_10 ? 1 : scale == Scale::per_1000 ? -3 : 0;
}

/// 10^`shift` as std::pow gives it, the shifts of the scales worked out once: a long cast asks for
/// it with every sample of a column that has a missing-value mark.
double ten_to(int shift) noexcept
{
    static const double tenfold = std::pow(10.0, decimal_shift(Scale::times_10));
    static const double thousandth = std::pow(10.0, decimal_shift(Scale::per_1000));
    return shift == decimal_shift(Scale::times_10)   ? tenfold
           : shift == decimal_shift(Scale::per_1000) ? thousandth
                                                     : std::pow(10.0, shift);
}

double scaled(Scale scale, double value) noexcept
{
    switch (scale) {
    case Scale::psi: return value * dbar_per_psi;
    case Scale::celsius: return (value - fahrenheit_zero_c) / fahrenheit_per_celsius;
    case Scale::feet: return value * metres_per_foot;
    case Scale::as_given:
    case Scale::times_10:
    case Scale::per_1000:
    case Scale::minus:
    case Scale::date_time:
    case Scale::calendar:
    case Scale::text: break;
    }
    return value;
}

} // namespace

Sample ValueRule::sample_of_any(std::string_view text) const noexcept
{
    Sample sample;
    sample.text = text;
    if (is_missing_text(text)) {
        return sample;
    }
    if (!is_numeric(scale)) {
        sample.flag = SampleFlag::not_a_number;
        return sample;
    }
    const int shift = decimal_shift(scale);
    double number = 0.0;
    if (parse_scaled(text, shift, number) != NumberStatus::ok) {
        sample.flag = SampleFlag::not_a_number;
        return sample;
    }
    // The mark is the file's number, before any scale.
    if (missing_mark && is_missing_mark(shift == 0 ? number : number / ten_to(shift))) {
        return sample;
    }
    sample.value = scaled(scale, number) - offset;
    sample.flag = SampleFlag::good;
    return sample;
}

} // namespace quillonde
