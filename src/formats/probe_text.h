#pragma once

#include "formats/cast.h"
#include "formats/date_time.h"
#include "formats/format.h"
#include "formats/text_lines.h"
#include "profile/clean_line.h"
#include "profile/sample.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillonde {

// What the readers of probe casts written as text share below their rows: line ends of every
// kind, "key=value" headers, column names and the units they are written in, positions and times.

/// The units the program shows for its own columns.
inline constexpr std::string_view dbar_unit = "dbar";
inline constexpr std::string_view metre_unit = "m";
inline constexpr std::string_view celsius_unit = "\u00b0C";
inline constexpr std::string_view psu_unit = "PSU";
inline constexpr std::string_view ms_cm_unit = "mS/cm";
inline constexpr std::string_view m_s_unit = "m/s";

/// Whether `c` is a blank or a tab.
constexpr bool is_space(char c) noexcept
{
    return c == ' ' || c == '\t';
}

/// `text` without blanks and tabs at both ends.
std::string_view trim_space(std::string_view text) noexcept;

/// Whether `a` and `b` are equal, ASCII letters compared without case.
bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept;

/// Whether `text` begins with `prefix`, ASCII letters compared without case.
bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) noexcept;

/// The key and the value of a "key=value" or "key: value" line, split at the first `separator`,
/// each trimmed; nothing when the line has no separator or no key.
std::optional<std::pair<std::string_view, std::string_view>> key_value(std::string_view line, char separator);

/// The pieces of a data line between `separator`s, each trimmed, without the empty pieces that
/// trail the last value (a separator or TAB at a line's end).
std::vector<std::string_view> fields_of_line(std::string_view line, char separator);

/// The pieces of `line` between commas, each without blanks at its ends, empty ones kept.
void comma_fields(std::string_view line, std::vector<std::string_view>& fields);

/// A column name of a file as the program lists it: trimmed, each run of blanks or TABs one "_".
std::string own_name(std::string_view name);

/// `text` with each blank and tab made a "_", for a column name of the file.
std::string without_blanks(std::string_view text);

/// Whether `text` is written with the characters of a number only, a digit among them: "1.2.3"
/// passes, "abc" and "1 2" do not. Inline and without branches: a million rows of a dozen fields
/// each pass through here.
inline bool looks_like_number(std::string_view text) noexcept
{
    // Bit 0: a character of a number; bit 1: a digit.
    static constexpr std::array<unsigned char, 256> classes = [] {
        std::array<unsigned char, 256> table{};
        for (const char c : std::string_view(".+-eE")) {
            table[static_cast<unsigned char>(c)] = 1;
        }
        for (char c = '0'; c <= '9'; ++c) {
            table[static_cast<unsigned char>(c)] = 3;
        }
        return table;
    }();
    unsigned all = 1;
    unsigned any = 0;
    for (const char c : text) {
        const unsigned kind = classes[static_cast<unsigned char>(c)];
        all &= kind;
        any |= kind;
    }
    return (all & 1U) != 0 && (any & 2U) != 0;
}

/// The number of a text, or nothing.
std::optional<double> number_of(std::string_view text);

/// What a column of a probe cast gives the profile.
enum class Quantity { other, pressure, temperature, conductivity, salinity, sound, depth };

/// A spelling of a column's name as quantity_named compares names (in capitals, without blanks, TABs,
/// "_" and "."), and the quantity it stands for; a `prefix` begins longer names too ("TEMP" of
/// "TempCT").
struct QuantityName {
    std::string_view plain;
    Quantity quantity;
    bool prefix = false;
};

/// The quantity a column's name stands for: one of the names every probe's software uses
/// ("Pressure", "Sound Velocity", "Calc. SALINITY"...), else the first of a format's `more` names
/// that matches; case, blanks, TABs, "_" and "." aside.
Quantity quantity_named(std::string_view name, std::span<const QuantityName> more = {});

/// The words for a quantity in a message: "a temperature".
std::string_view quantity_words(Quantity quantity);

/// The program's name of a quantity's column (Press, Temp, Cond, SALIN, SOUND, Depth) and its unit.
std::pair<std::string_view, std::string_view> own_column(Quantity quantity);

/// A unit the program knows for a quantity, and what its values need to be in the program's unit.
struct KnownUnit {
    Quantity quantity = Quantity::other; ///< what the column gives: a pressure in metres is a depth
    Scale scale = Scale::as_given;
    std::string_view conversion; ///< what the scale does: "S/m x 10"; empty for none
    std::string_view operation;  ///< what follows the unit in it, "x 10", where it is a factor
};

/// What a column of `quantity` written in `unit` becomes, the unit's case, blanks and Latin-1 or
/// UTF-8 degree and micro signs aside; nothing when the program does not know the unit for it.
std::optional<KnownUnit> known_unit(Quantity quantity, std::string_view unit);

/// A date, day or year first ("18/07/2016", "2019-04-11"), as ISO 8601 writes it; nothing when the
/// text is not one. Two-digit years are 19xx/20xx.
std::optional<std::string> iso_date(std::string_view date);

} // namespace quillonde
