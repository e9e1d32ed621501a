#pragma once

#include "formats/cast.h"
#include "formats/format.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

// What the text formats of profiling probes (Valeport, AML) have in common: lines that may end in
// a CR alone, "key=value" headers, units written a dozen ways, values to check and convert.

/// The units the program shows for its own columns.
inline constexpr std::string_view dbar_unit = "dbar";
inline constexpr std::string_view metre_unit = "m";
inline constexpr std::string_view celsius_unit = "\u00b0C";
inline constexpr std::string_view psu_unit = "PSU";
inline constexpr std::string_view ms_cm_unit = "mS/cm";
inline constexpr std::string_view m_s_unit = "m/s";

/// A parser of a format whose lines may end in LF, CR LF, CR alone or CR CR LF: it splits what the
/// load gives it at every CR, counts the lines so and places each error at the line it was raised
/// on (a file of CR line ends is one line to the load). A UTF-8 byte order mark is dropped.
class TextCastParser : public CastParser {
public:
    void line(std::string_view raw) final;

protected:
    /// One line of the file, without its line end.
    virtual void text_line(std::string_view text) = 0;
    /// The number of the line being read, from 1.
    std::uint64_t line_number() const noexcept { return line_number_; }

private:
    std::uint64_t line_number_ = 0;
};

/// The lines of the first bytes of a file, whatever their line ends, without a byte order mark.
std::vector<std::string_view> head_lines(std::string_view head, std::size_t most);

/// `text` without blanks and TABs at either end.
std::string_view trim_space(std::string_view text) noexcept;

/// Whether two texts are equal but for the case of ASCII letters.
bool same_text(std::string_view a, std::string_view b) noexcept;

/// Whether `text` begins with `prefix`, ignoring the case of ASCII letters.
bool starts_with_text(std::string_view text, std::string_view prefix) noexcept;

/// The key and the value of a "key=value" or "key: value" line, split at the first `separator`,
/// each trimmed; nothing when the line has no separator or no key.
std::optional<std::pair<std::string_view, std::string_view>> key_value(std::string_view line, char separator);

/// The pieces of a data line between `separator`s, each trimmed, without the empty pieces that
/// trail the last value (a separator or TAB at a line's end).
std::vector<std::string_view> fields_of_line(std::string_view line, char separator);

/// A column name of a file as the program lists it: trimmed, each run of blanks or TABs one "_".
std::string own_name(std::string_view name);

/// What a column holds, as its name says.
enum class Quantity { pressure, depth, temperature, conductivity, salinity, sound, other };

/// A column of one of the program's own quantities, read in a unit the program knows.
struct KnownUnit {
    std::string_view name; ///< the program's name: Press, Depth, Temp, Cond, SALIN, SOUND
    std::string_view unit; ///< the unit the program shows
    double factor = 1.0;   ///< the file's values times this are in `unit`
    std::string conversion;
};

/// The quantity a column's name stands for, ignoring case, blanks, "_" and ".": "Pressure",
/// "Sound Velocity", "Calc. SALINITY"...
Quantity quantity_named(std::string_view name);

/// What a column of `quantity` written in `unit` becomes. A pressure in metres or feet is a depth.
/// Nothing when the unit is not one the program knows for the quantity.
std::optional<KnownUnit> known_unit(Quantity quantity, std::string_view unit);

/// The words for a quantity in a message: "a temperature".
std::string_view quantity_words(Quantity quantity);

/// How the values of a column reach the table.
struct ValueRule {
    bool number = false;    ///< each value must be a number
    double factor = 1.0;    ///< multiplies a number
    double offset = 0.0;    ///< is added after
    bool date_time = false; ///< a date and a time with a blank between: written as ISO 8601
};

/// The place of a column in a message: column 3 ("Temperature").
std::string column_place(std::size_t index, std::string_view source);

/// A value of the column at `index` (counted from 0) named `source`, converted by `rule`: the
/// file's own text where nothing changes, else the new text, which `out` then holds; blanks in a
/// text become "_". An empty value stays empty (the file marks it missing). Fails naming the column
/// when a number is not one.
std::string_view converted_value(std::string_view text, const ValueRule& rule, std::size_t index,
                                 std::string_view source, std::string& out);

/// A date and a time, day or year first ("18/07/2016 20:53:53", "2019/03/12 15:58:25.313",
/// "2019-04-11" and "18:25:00"): nothing when the text is not one. Two-digit years are 19xx/20xx.
std::optional<CastTime> date_time_of(std::string_view date, std::string_view clock);

/// A latitude or longitude: decimal degrees, or degrees and minutes, or degrees, minutes and seconds
/// with an optional hemisphere letter ("-12 14 35 S", "59.299999"). Nothing when it is not one or lies
/// beyond `limit` degrees, as 999 does, the probes' word for "no fix".
std::optional<double> angle_of(std::string_view text, double limit);

/// The number of a text, or nothing.
std::optional<double> number_of(std::string_view text);

/// A column of a file as its header describes it.
struct ColumnDescription {
    std::string source; ///< the file's own name, as it stands
    std::string name;   ///< that name without the unit it holds ("Battery" of "Battery (V)"), or empty
    Quantity quantity = Quantity::other;
    std::string unit;       ///< as the file writes it; empty when it gives none
    std::string conversion; ///< what the file says of the values ("calculated by the instrument")
    bool date_time = false; ///< a date and a time with a blank between
    /// Added to a pressure in dbar, with what it does: the tare of an absolute pressure.
    double pressure_offset = 0.0;
    std::string offset_note;
};

/// The rows of a cast, as they reach the sink under the columns its header describes.
class CastRows {
public:
    explicit CastRows(CastSink& sink) : sink_(sink) {}

    /// Names the table's columns for `described`: the first column of each of the program's
    /// quantities under the program's name and unit, converted; a later one (a second sensor) and
    /// every other column under its own name. Fails naming the column whose unit the program does
    /// not know for its quantity, and when no column gives depths (`where` names the header).
    void name(const std::vector<ColumnDescription>& described, std::string_view where);
    bool named() const noexcept { return named_; }

    /// Appends `fields`, converted by the rules of their columns, as the next row. Fails naming the
    /// column of a value that is not a number, and when there are more fields than columns.
    void add(const std::vector<std::string_view>& fields);
    /// The rows appended.
    std::int64_t count() const noexcept { return count_; }

private:
    CastSink& sink_;
    bool named_ = false;
    std::vector<std::string> sources_;
    std::vector<ValueRule> rules_;
    std::vector<std::string> texts_;
    std::vector<std::string_view> values_;
    std::int64_t count_ = 0;
};

} // namespace quillonde
