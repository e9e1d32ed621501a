#include "formats/probe_text.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quillonde {

namespace {

constexpr double minutes_per_degree = 60.0;
constexpr double seconds_per_degree = 3600.0;

char lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

/// `unit` as the table of units spells it: lower case, without blanks; a degree sign, Latin-1 or
/// UTF-8, as "deg", a micro sign as "u".
std::string plain_unit(std::string_view unit)
{
    std::string plain;
    for (std::size_t k = 0; k < unit.size(); ++k) {
        const auto byte = static_cast<unsigned char>(unit[k]);
        if (byte == 0xC2 && k + 1 < unit.size() &&
            (static_cast<unsigned char>(unit[k + 1]) == 0xB0 ||
             static_cast<unsigned char>(unit[k + 1]) == 0xB5)) {
            continue; // the lead byte of UTF-8's degree and micro signs
        }
        if (byte == 0xB0) {
            plain += "deg";
        } else if (byte == 0xB5) {
            plain += 'u';
        } else if (!is_space(unit[k])) {
            plain += lower(unit[k]);
        }
    }
    return plain;
}

/// A line of the table of units: the spellings of a unit of `of`, as plain_unit writes them.
struct UnitSpellings {
    Quantity of;
    std::initializer_list<std::string_view> spellings;
    KnownUnit unit;
};

} // namespace

void TextLineParser::line(std::string_view raw)
{
    // The CR that ends the last piece is the first CR of a CR CR LF line end, or a file's last.
    if (raw.ends_with('\r')) {
        raw.remove_suffix(1);
    }
    for (std::size_t begin = 0;;) {
        const std::size_t end = raw.find('\r', begin);
        ++number_;
        try {
            text_line(raw.substr(begin, end - begin));
        } catch (const Error& error) {
            throw error.at("line " + std::to_string(number_));
        }
        if (end == std::string_view::npos) {
            return;
        }
        begin = end + 1;
    }
}

std::vector<std::string_view> head_lines(std::string_view head, std::size_t most)
{
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (lines.size() < most && begin < head.size()) {
        const std::size_t end = std::min(head.find_first_of("\r\n", begin), head.size());
        lines.push_back(head.substr(begin, end - begin));
        begin = end < head.size() && head[end] == '\r' && end + 1 < head.size() && head[end + 1] == '\n'
                    ? end + 2
                    : end + 1;
    }
    return lines;
}

std::string_view trim_space(std::string_view text) noexcept
{
    // By hand: find_first_not_of looks each character up in the set with a call.
    std::size_t first = 0;
    while (first < text.size() && is_space(text[first])) {
        ++first;
    }
    std::size_t end = text.size();
    while (end > first && is_space(text[end - 1])) {
        --end;
    }
    return text.substr(first, end - first);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept
{
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) noexcept
{
    return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

std::optional<std::pair<std::string_view, std::string_view>> key_value(std::string_view line, char separator)
{
    const std::size_t at = line.find(separator);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view key = trim_space(line.substr(0, at));
    if (key.empty()) {
        return std::nullopt;
    }
    return std::pair{key, trim_space(line.substr(at + 1))};
}

std::vector<std::string_view> fields_of_line(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    for (std::size_t begin = 0;;) {
        const std::size_t end = line.find(separator, begin);
        fields.push_back(trim_space(line.substr(begin, end - begin)));
        if (end == std::string_view::npos) {
            break;
        }
        begin = end + 1;
    }
    while (fields.size() > 1 && fields.back().empty()) {
        fields.pop_back();
    }
    return fields;
}

std::string own_name(std::string_view name)
{
    std::string own;
    for (const char c : trim_space(name)) {
        if (!is_space(c)) {
            own += c;
        } else if (own.back() != '_') {
            own += '_';
        }
    }
    return own;
}

void comma_fields(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    for (std::size_t begin = 0;;) {
        const std::size_t end = line.find(',', begin);
        fields.push_back(trim_space(line.substr(begin, end == std::string_view::npos ? end : end - begin)));
        if (end == std::string_view::npos) {
            return;
        }
        begin = end + 1;
    }
}

std::string without_blanks(std::string_view text)
{
    std::string name(text);
    std::ranges::replace(name, ' ', '_');
    std::ranges::replace(name, '\t', '_');
    return name;
}

std::optional<KnownUnit> known_unit(Quantity quantity, std::string_view unit)
{
    using enum Quantity;
    static const UnitSpellings table[] = {
        {pressure, {"dbar", "db", "decibar", "decibars"}, {pressure, Scale::as_given, {}, {}}},
        {pressure, {"psi"}, {pressure, Scale::psi, "psi x 0.6894757", "x 0.6894757"}},
        // A "pressure" a probe gives in metres or feet is its depth.
        {pressure, {"m", "metres", "meters", "metre", "meter"}, {depth, Scale::as_given, {}, {}}},
        {pressure, {"ft", "feet"}, {depth, Scale::feet, "ft x 0.3048", "x 0.3048"}},
        {depth, {"m", "metres", "meters", "metre", "meter"}, {depth, Scale::as_given, {}, {}}},
        {depth, {"ft", "feet"}, {depth, Scale::feet, "ft x 0.3048", "x 0.3048"}},
        {temperature,
         {"degc", "c", "deg.c", "celsius", "its-90", "its90", "ipts-68", "its-68"},
         {temperature, Scale::as_given, {}, {}}},
        {temperature, {"degf", "f"}, {temperature, Scale::celsius, "(deg F - 32) / 1.8", {}}},
        {conductivity, {"ms/cm", "mmho/cm"}, {conductivity, Scale::as_given, {}, {}}},
        {conductivity, {"s/m"}, {conductivity, Scale::times_10, "S/m x 10", "x 10"}},
        {conductivity, {"us/cm", "umho/cm"}, {conductivity, Scale::per_1000, "uS/cm / 1000", "/ 1000"}},
        {salinity, {"", "psu", "pss-78", "psu(pss-78)", "ppt"}, {salinity, Scale::as_given, {}, {}}},
        {sound, {"m/s", "ms-1", "m/sec", "m.s-1", "mps"}, {sound, Scale::as_given, {}, {}}},
        {sound, {"ft/s", "ft/sec", "fps"}, {sound, Scale::feet, "ft/s x 0.3048", "x 0.3048"}},
    };
    const std::string plain = plain_unit(unit);
    for (const UnitSpellings& line : table) {
        if (line.of == quantity && std::ranges::find(line.spellings, plain) != line.spellings.end()) {
            return line.unit;
        }
    }
    return std::nullopt;
}

std::pair<std::string_view, std::string_view> own_column(Quantity quantity)
{
    switch (quantity) {
    case Quantity::pressure: return {pressure_name, dbar_unit};
    case Quantity::depth: return {depth_name, metre_unit};
    case Quantity::temperature: return {profile_fields[temperature_field].name, celsius_unit};
    case Quantity::conductivity: return {profile_fields[conductivity_field].name, ms_cm_unit};
    case Quantity::salinity: return {profile_fields[salinity_field].name, psu_unit};
    case Quantity::sound: return {profile_fields[sound_field].name, m_s_unit};
    case Quantity::other: break;
    }
    return {};
}

Quantity quantity_named(std::string_view name)
{
    std::string plain;
    for (const char c : name) {
        if (c != ' ' && c != '\t' && c != '_' && c != '.') {
            plain += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    if (plain == "PRESSURE") {
        return Quantity::pressure;
    }
    if (plain == "DEPTH") {
        return Quantity::depth;
    }
    if (plain == "TEMPERATURE" || plain == "TEMP") {
        return Quantity::temperature;
    }
    if (plain == "CONDUCTIVITY" || plain == "COND") {
        return Quantity::conductivity;
    }
    if (plain == "SALINITY" || plain == "CALCSALINITY") {
        return Quantity::salinity;
    }
    if (plain == "SOUNDVELOCITY" || plain == "SV" || plain == "SOUNDSPEED" || plain == "SPEEDOFSOUND") {
        return Quantity::sound;
    }
    return Quantity::other;
}

std::string_view quantity_words(Quantity quantity)
{
    switch (quantity) {
    case Quantity::pressure: return "a pressure";
    case Quantity::depth: return "a depth";
    case Quantity::temperature: return "a temperature";
    case Quantity::conductivity: return "a conductivity";
    case Quantity::salinity: return "a salinity";
    case Quantity::sound: return "a sound velocity";
    case Quantity::other: break;
    }
    return "a value";
}

std::optional<std::string> iso_date(std::string_view date)
{
    const auto day = time_by_patterns(date, calendar_dates);
    if (!day) {
        return std::nullopt;
    }
    return iso_time(*day);
}

std::optional<double> angle_of(std::string_view text, double limit)
{
    text = trim_space(text);
    bool southern_or_western = false;
    if (!text.empty()) {
        const char hemisphere = lower(text.back());
        if (hemisphere == 'n' || hemisphere == 's' || hemisphere == 'e' || hemisphere == 'w') {
            southern_or_western = hemisphere == 's' || hemisphere == 'w';
            text = trim_space(text.substr(0, text.size() - 1));
        }
    }
    std::vector<double> parts;
    for (std::string_view piece : fields_of_line(text, ' ')) {
        if (piece.empty()) {
            continue;
        }
        const auto number = number_of(piece);
        if (!number) {
            return std::nullopt;
        }
        parts.push_back(*number);
    }
    if (parts.empty() || parts.size() > 3) {
        return std::nullopt;
    }
    const bool negative = std::signbit(parts[0]);
    double angle = std::abs(parts[0]);
    if (parts.size() > 1) {
        if (parts[1] < 0.0 || parts[1] >= minutes_per_degree) {
            return std::nullopt;
        }
        angle += parts[1] / minutes_per_degree;
    }
    if (parts.size() > 2) {
        if (parts[2] < 0.0 || parts[2] >= minutes_per_degree) {
            return std::nullopt;
        }
        angle += parts[2] / seconds_per_degree;
    }
    if (negative || southern_or_western) {
        angle = -angle;
    }
    if (!(std::abs(angle) <= limit)) {
        return std::nullopt;
    }
    return angle;
}

std::optional<double> number_of(std::string_view text)
{
    double value = 0.0;
    if (parse_number(text, value) != NumberStatus::ok) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> angle_of(std::string_view text, char positive, char negative, double limit)
{
    text = trim_space(text);
    bool south_or_west = false;
    bool lettered = false;
    const auto take_letter = [&](char c) {
        if (lower(c) == lower(positive) || lower(c) == lower(negative)) {
            south_or_west = lower(c) == lower(negative);
            lettered = true;
            return true;
        }
        return false;
    };
    if (!text.empty() && take_letter(text.front())) {
        text.remove_prefix(1);
    } else if (!text.empty() && take_letter(text.back())) {
        text.remove_suffix(1);
    }
    // Degrees, then minutes, then seconds, between blanks and the signs of degrees and minutes.
    std::array<double, 3> parts{};
    std::size_t count = 0;
    bool negative_degrees = false;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (is_digit(c) || ((c == '-' || c == '+' || c == '.') && count == 0)) {
            std::size_t end = at + 1;
            while (end < text.size() && (is_digit(text[end]) || text[end] == '.')) {
                ++end;
            }
            double value = 0.0;
            if (count == parts.size() || parse_number(text.substr(at, end - at), value) != NumberStatus::ok) {
                return std::nullopt;
            }
            negative_degrees = negative_degrees || (count == 0 && c == '-');
            parts[count++] = std::fabs(value);
            at = end;
        } else if (c == ' ' || c == '\t' || c == '\'' || c == '"' || c == ':' ||
                   static_cast<unsigned char>(c) >= 0x80) { // a degree sign, Latin-1 or UTF-8
            ++at;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0 || (count > 1 && (parts[0] != std::floor(parts[0]) || parts[1] >= minutes_per_degree)) ||
        (count > 2 && (parts[1] != std::floor(parts[1]) || parts[2] >= minutes_per_degree))) {
        return std::nullopt;
    }
    const double angle = parts[0] + parts[1] / minutes_per_degree + parts[2] / seconds_per_degree;
    if (!(angle <= limit) || (lettered && negative_degrees && !south_or_west)) {
        return std::nullopt; // beyond the limit, or "-12 40.46 N"
    }
    return south_or_west || negative_degrees ? -angle : angle;
}

} // namespace quillonde
