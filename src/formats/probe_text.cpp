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

char lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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

Quantity quantity_named(std::string_view name, std::span<const QuantityName> more)
{
    using enum Quantity;
    static constexpr QuantityName common[] = {
        {"PRESSURE", pressure},         {"DEPTH", depth},
        {"TEMPERATURE", temperature},   {"TEMP", temperature},
        {"CONDUCTIVITY", conductivity}, {"COND", conductivity},
        {"SALINITY", salinity},         {"CALCSALINITY", salinity},
        {"SOUNDVELOCITY", sound},       {"SV", sound},
        {"SOUNDSPEED", sound},          {"SPEEDOFSOUND", sound},
    };
    std::string plain;
    for (const char c : name) {
        if (c != ' ' && c != '\t' && c != '_' && c != '.') {
            plain += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    for (const std::span<const QuantityName> names : {std::span<const QuantityName>(common), more}) {
        for (const QuantityName& known : names) {
            if (known.prefix ? plain.starts_with(known.plain) : plain == known.plain) {
                return known.quantity;
            }
        }
    }
    return other;
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

std::optional<double> number_of(std::string_view text)
{
    double value = 0.0;
    if (parse_number(text, value) != NumberStatus::ok) {
        return std::nullopt;
    }
    return value;
}

} // namespace quillonde
