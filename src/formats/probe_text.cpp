#include "formats/probe_text.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace quillonde {

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
constexpr double feet_to_metres = 0.3048;
constexpr double minutes_per_degree = 60.0;
constexpr double seconds_per_degree = 3600.0;

char lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_space(char c) noexcept
{
    return c == ' ' || c == '\t';
}

bool is_digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

/// Whether `unit` is one of `spellings`, ignoring case; a degree or micro sign may be Latin-1 or
/// UTF-8, and blanks do not count.
bool unit_is(std::string_view unit, std::initializer_list<std::string_view> spellings)
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
    for (const std::string_view spelling : spellings) {
        if (plain == spelling) {
            return true;
        }
    }
    return false;
}

/// The whole numbers of a date or time text separated by "/", "-", "." or ":", at most `most`; the
/// text after the last one (a fraction of a second) is left in `rest`.
std::vector<int> numbers_of(std::string_view text, std::size_t most, std::string_view& rest)
{
    std::vector<int> numbers;
    std::size_t at = 0;
    while (numbers.size() < most && at < text.size() && is_digit(text[at])) {
        int value = 0;
        std::size_t digits = 0;
        for (; at < text.size() && is_digit(text[at]) && digits < 9; ++at, ++digits) {
            value = value * 10 + (text[at] - '0');
        }
        numbers.push_back(value);
        if (at < text.size() && numbers.size() < most &&
            (text[at] == '/' || text[at] == '-' || text[at] == '.' || text[at] == ':')) {
            ++at;
        }
    }
    rest = text.substr(at);
    return numbers;
}

/// Year, month and day of a date, year first when its first number has four digits, else day first.
std::optional<std::array<int, 3>> calendar_date(std::string_view date)
{
    std::string_view rest;
    const std::vector<int> parts = numbers_of(date, 3, rest);
    if (parts.size() != 3 || !rest.empty()) {
        return std::nullopt;
    }
    const bool year_first = date.find_first_not_of("0123456789") == 4;
    std::array<int, 3> ymd = year_first ? std::array<int, 3>{parts[0], parts[1], parts[2]}
                                        : std::array<int, 3>{parts[2], parts[1], parts[0]};
    if (ymd[0] < 100) {
        ymd[0] += ymd[0] < 70 ? 2000 : 1900;
    }
    return ymd;
}

} // namespace

void TextCastParser::line(std::string_view raw)
{
    if (line_number_ == 0 && raw.starts_with(byte_order_mark)) {
        raw.remove_prefix(byte_order_mark.size());
    }
    // The CR that ends the last piece is the first CR of a CR CR LF line end, or a file's last.
    if (raw.ends_with('\r')) {
        raw.remove_suffix(1);
    }
    for (std::size_t begin = 0;;) {
        const std::size_t end = raw.find('\r', begin);
        ++line_number_;
        try {
            text_line(raw.substr(begin, end - begin));
        } catch (const Error& error) {
            throw error.at("line " + std::to_string(line_number_));
        }
        if (end == std::string_view::npos) {
            return;
        }
        begin = end + 1;
    }
}

std::vector<std::string_view> head_lines(std::string_view head, std::size_t most)
{
    if (head.starts_with(byte_order_mark)) {
        head.remove_prefix(byte_order_mark.size());
    }
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

bool same_text(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (lower(a[k]) != lower(b[k])) {
            return false;
        }
    }
    return true;
}

bool starts_with_text(std::string_view text, std::string_view prefix) noexcept
{
    return text.size() >= prefix.size() && same_text(text.substr(0, prefix.size()), prefix);
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

std::optional<KnownUnit> known_unit(Quantity quantity, std::string_view unit)
{
    const auto as_given = [&](std::string_view name, std::string_view shown) {
        return KnownUnit{name, shown, 1.0, {}};
    };
    const auto converted = [&](std::string_view name, std::string_view shown, double factor,
                               std::string what) {
        return KnownUnit{name, shown, factor, std::string(trim_space(unit)) + " " + std::move(what)};
    };
    switch (quantity) {
    case Quantity::pressure:
        if (unit_is(unit, {"dbar", "db", "decibar", "decibars"})) {
            return as_given(pressure_name, dbar_unit);
        }
        [[fallthrough]]; // a "pressure" the probe gives in metres or feet is its depth
    case Quantity::depth:
        if (unit_is(unit, {"m", "metres", "meters", "metre", "meter"})) {
            return as_given(depth_name, metre_unit);
        }
        if (unit_is(unit, {"ft", "feet"})) {
            return converted(depth_name, metre_unit, feet_to_metres, "x 0.3048");
        }
        return std::nullopt;
    case Quantity::temperature:
        if (unit_is(unit, {"degc", "c", "deg.c", "celsius", "its-90", "its90"})) {
            return as_given(profile_fields[temperature_field].name, celsius_unit);
        }
        return std::nullopt;
    case Quantity::conductivity:
        if (unit_is(unit, {"ms/cm", "mmho/cm"})) {
            return as_given(profile_fields[conductivity_field].name, ms_cm_unit);
        }
        if (unit_is(unit, {"s/m"})) {
            return converted(profile_fields[conductivity_field].name, ms_cm_unit, 10.0, "x 10");
        }
        if (unit_is(unit, {"us/cm", "umho/cm"})) {
            return converted(profile_fields[conductivity_field].name, ms_cm_unit, 0.001, "/ 1000");
        }
        return std::nullopt;
    case Quantity::salinity:
        if (unit_is(unit, {"", "psu", "pss-78", "psu(pss-78)", "ppt"})) {
            return as_given(profile_fields[salinity_field].name, psu_unit);
        }
        return std::nullopt;
    case Quantity::sound:
        if (unit_is(unit, {"m/s", "ms-1", "m/sec", "m.s-1", "mps"})) {
            return as_given(profile_fields[sound_field].name, m_s_unit);
        }
        return std::nullopt;
    case Quantity::other: break;
    }
    return std::nullopt;
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

std::string_view converted_value(std::string_view text, const ValueRule& rule, std::size_t index,
                                 std::string_view source, std::string& out)
{
    if (text.empty()) {
        return text;
    }
    if (rule.date_time) {
        const std::size_t blank = text.find_first_of(" \t");
        if (blank == std::string_view::npos) {
            return text;
        }
        const std::string_view clock = trim_space(text.substr(blank));
        if (const auto ymd = calendar_date(text.substr(0, blank));
            ymd && clock.find(' ') == std::string_view::npos) {
            char date[32];
            std::snprintf(date, sizeof date, "%04d-%02d-%02dT", (*ymd)[0], (*ymd)[1], (*ymd)[2]);
            out = date;
            out += clock;
        } else {
            out = own_name(text);
        }
        return out;
    }
    if (!rule.number) {
        if (text.find_first_of(" \t") == std::string_view::npos) {
            return text;
        }
        out = own_name(text); // a value of the table holds no blank
        return out;
    }
    const double value = with_subject(column_place(index, source), [&] { return str_to_double(text); });
    if (rule.factor == 1.0 && rule.offset == 0.0) {
        return text;
    }
    out = double_to_str(value * rule.factor + rule.offset);
    return out;
}

std::optional<CastTime> date_time_of(std::string_view date, std::string_view clock)
{
    const auto ymd = calendar_date(trim_space(date));
    std::string_view rest;
    const std::vector<int> hms = numbers_of(trim_space(clock), 3, rest);
    if (!ymd || hms.size() < 2 || (!rest.empty() && rest.front() != '.')) {
        return std::nullopt;
    }
    const auto when =
        calendar_time((*ymd)[0], (*ymd)[1], (*ymd)[2], hms[0], hms[1], hms.size() > 2 ? hms[2] : 0);
    if (!when) {
        return std::nullopt;
    }
    return CastTime{*when, false};
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

void CastRows::name(const std::vector<ColumnDescription>& described, std::string_view where)
{
    std::vector<CastColumn> columns;
    DepthSource depth;
    rules_.clear();
    for (std::size_t k = 0; k < described.size(); ++k) {
        const ColumnDescription& column = described[k];
        std::string source = column.source.empty() ? "column " + std::to_string(k + 1) : column.source;
        CastColumn cast{own_name(column.name.empty() ? source : column.name), source, column.unit,
                        column.conversion};
        if (cast.name.empty()) {
            cast.name = "column_" + std::to_string(k + 1);
        }
        ValueRule rule;
        rule.date_time = column.date_time;
        if (column.quantity != Quantity::other) {
            const std::optional<KnownUnit> known = known_unit(column.quantity, column.unit);
            if (!known) {
                throw Error(ErrorKind::bad_data_file, column_place(k, source) + " is " +
                                                          std::string(quantity_words(column.quantity)) +
                                                          " in " + quillonde::quoted(column.unit) +
                                                          ", a unit the program does not know for it");
            }
            rule.number = true;
            rule.factor = known->factor;
            const bool first = std::ranges::none_of(
                columns, [&](const CastColumn& taken) { return taken.name == known->name; });
            const auto index = static_cast<std::int32_t>(k);
            if (first) {
                cast.name = known->name;
                cast.unit = known->unit;
                if (known->name == pressure_name) {
                    depth.pressure = index;
                } else if (known->name == depth_name) {
                    depth.depth = index;
                }
            }
            std::string conversion = known->conversion;
            if (known->name == pressure_name && !column.offset_note.empty()) {
                rule.offset = column.pressure_offset;
                conversion = column.offset_note;
            }
            if (!column.conversion.empty()) {
                conversion += (conversion.empty() ? "" : "; ") + column.conversion;
            }
            cast.conversion = std::move(conversion);
        }
        columns.push_back(std::move(cast));
        rules_.push_back(rule);
    }
    if (depth.pressure < 0 && depth.depth < 0) {
        throw Error(ErrorKind::bad_data_file,
                    std::string(where) +
                        " names neither a pressure nor a depth column, so the cast gives no depths");
    }
    sources_.clear();
    for (const CastColumn& column : columns) {
        sources_.push_back(column.source);
    }
    texts_.assign(rules_.size(), {});
    named_ = true;
    sink_.columns_named(std::move(columns), depth);
}

void CastRows::add(const std::vector<std::string_view>& fields)
{
    if (fields.size() > rules_.size()) {
        throw Error(ErrorKind::subscript_out_of_range, "the line has " + std::to_string(fields.size()) +
                                                           " values, but the header names " +
                                                           std::to_string(rules_.size()) + " columns");
    }
    values_.clear();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        values_.push_back(converted_value(fields[k], rules_[k], k, sources_[k], texts_[k]));
    }
    sink_.row_appended(values_);
    ++count_;
}

} // namespace quillonde
