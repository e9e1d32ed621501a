#pragma once

#include "runtime/convert.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillonde {

/// What becomes of a column's texts on the way to its values in the program's unit.
enum class Scale : std::uint8_t {
    as_given,  ///< the file's number
    times_10,  ///< S/m to mS/cm
    per_1000,  ///< uS/cm to mS/cm
    psi,       ///< psi to dbar
    celsius,   ///< deg F to deg C
    feet,      ///< ft to m, ft/s to m/s
    minus,     ///< less the column's offset only: absolute to sea pressure [dbar]
    date_time, ///< a date and a time of day: the blank between them becomes a "T"
    calendar,  ///< a date, day or year first, and a time: written as ISO 8601
    text,      ///< any text, each run of blanks in it one "_"
};

/// Whether a column of `scale` holds numbers; the others hold texts the table keeps as they come.
constexpr bool is_numeric(Scale scale) noexcept
{
    return scale != Scale::date_time && scale != Scale::calendar && scale != Scale::text;
}

/// The temperature scale a column of temperatures states.
enum class TemperatureScale : std::uint8_t {
    unstated, ///< taken as the UNESCO 1983 formulas take it (IPTS-68), as always
    its90,
    ipts68,
};

/// IPTS-68 temperatures of ITS-90 ones, T68 = 1.00024 T90, as Sea-Bird's processing and TEOS-10
/// give the UNESCO 1983 formulas their input (Saunders 1990).
inline constexpr double ipts68_per_its90 = 1.00024;

/// A temperature [degC] on `scale` as the UNESCO 1983 formulas take it (IPTS-68).
constexpr double ipts68_temperature(double temperature_c, TemperatureScale scale) noexcept
{
    return scale == TemperatureScale::its90 ? ipts68_per_its90 * temperature_c : temperature_c;
}

/// A rule that leaves a sample, or a whole row, out of the profile. Each has its reason in
/// rule_reasons.
enum class Rule : std::uint8_t {
    file_flag,     ///< the file's own flag column marks the row bad (Sea-Bird's "flag")
    outside_water, ///< a value the profile needs lies outside what water can have (water_ranges)
    soak,          ///< taken in air or while the probe soaked near the surface, before its descent
    spike,         ///< a sound speed or temperature far from its neighbours'
};
inline constexpr std::array<std::string_view, 4> rule_reasons = {
    "marked bad by the file's flag column",
    "a value lies outside what water can have",
    "taken before the descent, in air or while the probe soaked",
    "a spike, far from its neighbours",
};

/// The words that say why `rule` leaves a sample out.
constexpr std::string_view reason_of(Rule rule) noexcept
{
    return rule_reasons[static_cast<std::size_t>(rule)];
}

/// What a sample of the table holds.
enum class SampleFlag : std::uint8_t {
    good,         ///< a number in the program's unit
    missing,      ///< the file has no value there: an empty field, "NaN", its missing-value mark
    not_a_number, ///< a text that is no number (the text is kept for the message)
    left_out,     ///< a number that a rule leaves out of the profile
};

/// One value of the table: its number in the program's unit, and what it is worth.
struct Sample {
    double value = 0.0; ///< for good and left_out samples; 0 otherwise
    SampleFlag flag = SampleFlag::missing;
    Rule rule = Rule::file_flag; ///< for left_out samples
    std::string_view text;       ///< the file's text, where the table holds one

    bool good() const noexcept { return flag == SampleFlag::good; }
    /// A number, good or left out by a rule.
    bool has_value() const noexcept { return flag == SampleFlag::good || flag == SampleFlag::left_out; }
};

/// How the texts of one column of the table become its values: the scale to the program's unit,
/// the offset subtracted after it, and the file's mark of a value it has not got.
struct ValueRule {
    Scale scale = Scale::as_given;
    double offset = 0.0;
    std::optional<double> missing_mark{};
    /// The file's flag column: a value it marks missing leaves the row out (Rule::file_flag).
    bool flags_rows = false;

    /// The sample of `text` by this rule; never left out (rules are the table's).
    Sample sample_of(std::string_view text) const noexcept
    {
        // Plain numbers taken as given, or tenfold (S/m to mS/cm), inline: a long cast has millions
        // of them. Tenfold moves the point, as sample_of_any() does, and the mark is the file's
        // number: a tenth of the value, which is exact for a power of ten this small.
        const bool tenfold = scale == Scale::times_10;
        double number = 0.0;
        if ((tenfold || scale == Scale::as_given || scale == Scale::minus) &&
            parse_plain_decimal(text, tenfold ? 1 : 0, number) &&
            !(missing_mark && is_missing_mark(tenfold ? number / 10.0 : number))) {
            return {number - offset, SampleFlag::good, Rule::file_flag, text};
        }
        return sample_of_any(text);
    }
    /// sample_of() of any text.
    Sample sample_of_any(std::string_view text) const noexcept;

    /// Whether a number read from the file, before the scale, is the missing-value mark: it agrees
    /// with the mark to a millionth, as a header may write the mark with fewer digits than the data.
    bool is_missing_mark(double number) const noexcept
    {
        constexpr double tolerance = 1e-6;
        return missing_mark && std::fabs(number - *missing_mark) <= tolerance * std::fabs(*missing_mark);
    }
};

/// What a reader saw of a row as it read it.
struct RowNote {
    /// A value the profile takes is missing in the file: the row gets no depth, so it is never written.
    bool value_missing = false;
    /// A rule that leaves the whole row out.
    std::optional<Rule> left_out{};
};

/// A field that holds no value: empty, or "NaN" as some exports write it.
inline bool is_missing_text(std::string_view text) noexcept
{
    return text.empty() || (text.size() == 3 && (text[0] == 'n' || text[0] == 'N') &&
                            (text[1] == 'a' || text[1] == 'A') && (text[2] == 'n' || text[2] == 'N'));
}

} // namespace quillonde
