// The conversions between texts and numbers against independent oracles: a grammar written
// apart from the parser and strtod in the "C" locale for texts, the C library's nearbyint (round
// half to even in the default rounding mode) for rounding, printf's "%.14e" for double_to_str.
//
// The whole input is a text to convert; an input of nine bytes or more also gives a double
// (bytes 1 to 8) and a count of decimals (byte 0).

#include "fuzz_support.h"

#include "runtime/convert.h"
#include "runtime/error.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using quillonde::ErrorKind;
using quillonde::fuzz::require;

constexpr double untouched = 271828.0; // what parse_number must leave in place when it fails
constexpr std::array<double, 6> powers_of_ten = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5};

template <typename Action> std::optional<ErrorKind> error_kind(Action&& action)
{
    try {
        action();
    } catch (const quillonde::Error& error) {
        return error.kind();
    }
    return std::nullopt;
}

bool same_double(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool fits_32_bits(double whole)
{
    return whole >= std::numeric_limits<std::int32_t>::min() &&
           whole <= std::numeric_limits<std::int32_t>::max();
}

void check_text(std::string_view text)
{
    using namespace quillonde;
    double value = untouched;
    const NumberStatus status = parse_number(text, value);
    if (!fuzz::is_numeric_text(text)) {
        require(status == NumberStatus::not_a_number, "a text outside the grammar was read");
        require(same_double(value, untouched), "a failed parse changed the value");
        require(error_kind([&] { str_to_double(text); }) == ErrorKind::type_mismatch,
                "str_to_double did not refuse a text outside the grammar");
        require(error_kind([&] { str_to_long(text); }) == ErrorKind::type_mismatch,
                "str_to_long did not refuse a text outside the grammar");
        return;
    }
    const double expected = fuzz::c_strtod(std::string(fuzz::strip_blanks(text)));
    if (std::isinf(expected)) {
        require(status == NumberStatus::out_of_range, "a value beyond the double range was read");
        require(same_double(value, untouched), "a failed parse changed the value");
        require(error_kind([&] { str_to_double(text); }) == ErrorKind::overflow,
                "str_to_double did not fail with overflow");
        require(error_kind([&] { str_to_long(text); }) == ErrorKind::overflow,
                "str_to_long did not fail with overflow");
        return;
    }
    require(status == NumberStatus::ok, "a numeric text within the range was refused");
    require(same_double(value, expected), "parse_number differs from strtod");
    require(same_double(str_to_double(text), expected), "str_to_double differs from strtod");
    const double whole = std::nearbyint(expected);
    if (fits_32_bits(whole)) {
        require(str_to_long(text) == static_cast<std::int32_t>(whole),
                "str_to_long does not round half to even");
    } else {
        require(error_kind([&] { str_to_long(text); }) == ErrorKind::overflow,
                "str_to_long did not fail with overflow outside the 32-bit range");
    }
}

void check_double(double x, int decimals)
{
    using namespace quillonde;
    const double whole = std::nearbyint(x);
    require(std::isnan(x) ? std::isnan(round_half_even(x)) : round_half_even(x) == whole,
            "round_half_even differs from nearbyint");

    const double scale = powers_of_ten.at(static_cast<std::size_t>(decimals));
    const double scaled = x * scale;
    const double rounded = std::isfinite(scaled) ? std::nearbyint(scaled) / scale : x;
    require(std::isnan(x) ? std::isnan(round_to(x, decimals)) : round_to(x, decimals) == rounded,
            "round_to does not round the scaled double half to even");

    if (!std::isfinite(x)) {
        require(error_kind([&] { double_to_str(x); }) == ErrorKind::overflow,
                "double_to_str wrote a text for an infinity or NaN");
        return;
    }
    const std::string text = double_to_str(x);
    require(fuzz::is_numeric_text(text) && fuzz::strip_blanks(text) == text, "double_to_str wrote no number");
    require(text != "-0", "double_to_str wrote -0");
    std::array<char, 64> digits{};
    std::snprintf(digits.data(), digits.size(), "%.14e", x);
    require(fuzz::c_strtod(text) == fuzz::c_strtod(digits.data()),
            "double_to_str is not the value to 15 significant digits");
    const std::string_view written(text);
    const std::size_t e = written.find('E');
    const std::string_view mantissa = written.substr(0, e);
    require(mantissa.find('.') == std::string_view::npos ||
                (mantissa.back() != '0' && mantissa.back() != '.'),
            "double_to_str wrote trailing zeros");
    if (x != 0.0) {
        const int exponent = std::atoi(std::strchr(digits.data(), 'e') + 1);
        require((e != std::string_view::npos) == (exponent >= 15 || exponent < -4),
                "double_to_str chose the wrong notation");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check_text({reinterpret_cast<const char*>(data), size});
    if (size >= 1 + sizeof(double)) {
        double x = 0.0;
        std::memcpy(&x, data + 1, sizeof x);
        check_double(x, data[0] % static_cast<int>(powers_of_ten.size()));
    }
    return 0;
}
