#include "formats/angle.h"

#include "runtime/convert.h"
#include "runtime/error.h"

#include <array>
#include <cmath>
#include <string>

namespace quillonde {

namespace {

constexpr double minutes_per_degree = 60.0;
constexpr double seconds_per_degree = 3600.0;
constexpr double seconds_per_minute = 60.0;

enum class Fault { none, not_an_angle, beyond_limit };

struct Reading {
    double degrees = 0.0;
    Fault fault = Fault::none;
};

constexpr bool is_blank(char c) noexcept
{
    return c == ' ' || c == '\t';
}

constexpr bool is_digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) noexcept
{
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

double limit_of(Axis axis) noexcept
{
    return axis == Axis::latitude ? 90.0 : 180.0;
}

/// The end of the number that starts at `at`: digits and points, then an exponent where allowed.
std::size_t number_end(std::string_view text, std::size_t at, bool exponent) noexcept
{
    while (at < text.size() && (is_digit(text[at]) || text[at] == '.')) {
        ++at;
    }
    if (exponent && at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
            ++at;
        }
        while (at < text.size() && is_digit(text[at])) {
            ++at;
        }
    }
    return at;
}

Reading read_angle(std::string_view text, Axis axis, const AngleNotation& notation) noexcept
{
    constexpr Reading refused{0.0, Fault::not_an_angle};
    const char north = axis == Axis::latitude ? 'N' : 'E';
    const char south = axis == Axis::latitude ? 'S' : 'W';
    // +1 for a letter of the north or east, -1 for one of the south or west, 0 for none.
    const auto hemisphere = [&](char c) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        return c == north ? 1 : c == south ? -1 : 0;
    };
    text = trimmed(text);
    int letter = 0;
    if (!text.empty() && notation.letters == Letters::before_or_after &&
        (letter = hemisphere(text.front())) != 0) {
        text = trimmed(text.substr(1));
    } else if (!text.empty() && notation.letters != Letters::none &&
               (letter = hemisphere(text.back())) != 0) {
        text = trimmed(text.substr(0, text.size() - 1));
    }
    if (notation.letters == Letters::required_after && letter == 0) {
        return refused;
    }
    bool negative = false;
    if (notation.sign && !text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto separates = [&](char c) {
        return notation.separators.find(c) != std::string_view::npos ||
               (notation.degree_sign && static_cast<unsigned char>(c) >= 0x80);
    };
    std::array<double, 3> parts{};
    std::size_t count = 0;
    bool exponent_written = false;
    for (std::size_t at = 0;;) {
        const std::size_t end = number_end(text, at, notation.exponent && count == 0);
        if (end == at || count == notation.most_parts) {
            return refused;
        }
        const std::string_view number = text.substr(at, end - at);
        switch (parse_number(number, parts[count])) {
        case NumberStatus::ok: break;
        case NumberStatus::out_of_range: return {0.0, Fault::beyond_limit};
        case NumberStatus::not_a_number: return refused;
        }
        exponent_written = exponent_written || number.find_first_of("eE") != std::string_view::npos;
        ++count;
        std::size_t next = end;
        while (next < text.size() && separates(text[next])) {
            ++next;
        }
        if (next == text.size()) {
            if (next > end && !notation.marks_after) {
                return refused;
            }
            break;
        }
        if (next == end) {
            return refused; // "12x"
        }
        at = next;
    }
    if (count < notation.fewest_parts || (count > 1 && exponent_written) ||
        (count > 1 && (parts[0] != std::floor(parts[0]) || parts[1] >= minutes_per_degree)) ||
        (count > 2 && (parts[1] != std::floor(parts[1]) || parts[2] > seconds_per_minute ||
                       (parts[2] == seconds_per_minute && !notation.sixty_seconds)))) {
        return refused;
    }
    if (negative && letter > 0) {
        return refused; // "-12 N"
    }
    const double angle = parts[0] + parts[1] / minutes_per_degree + parts[2] / seconds_per_degree;
    if (!(angle <= limit_of(axis))) {
        return {0.0, Fault::beyond_limit};
    }
    return {negative || letter < 0 ? -angle : angle, Fault::none};
}

} // namespace

std::optional<double> angle_of(std::string_view text, Axis axis, const AngleNotation& notation) noexcept
{
    const Reading reading = read_angle(text, axis, notation);
    if (reading.fault != Fault::none) {
        return std::nullopt;
    }
    return reading.degrees;
}

double stated_angle(std::string_view text, Axis axis, const AngleNotation& notation)
{
    const Reading reading = read_angle(text, axis, notation);
    const std::string subject = axis == Axis::latitude ? "latitude " : "longitude ";
    switch (reading.fault) {
    case Fault::none: return reading.degrees;
    case Fault::not_an_angle:
        throw Error(ErrorKind::type_mismatch, subject + quoted(text) + " " + std::string(notation.refusal));
    case Fault::beyond_limit: break;
    }
    throw Error(ErrorKind::overflow,
                subject + quoted(text) + " lies beyond " + double_to_str(limit_of(axis)) + " degrees");
}

} // namespace quillonde
