#pragma once

#include "formats/format.h"
#include "runtime/error.h"

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

// What the readers of probe casts written as text share: line ends of every kind, columns whose
// values are converted on their way into the table, positions and times written as text.

/// A parser of a format whose files end their lines in LF, CR LF, CR CR LF or CR alone: each line
/// the load gives is cut at its CRs, and an error is placed at the line an editor shows it on.
class TextLineParser : public CastParser {
public:
    void line(std::string_view raw) final;

protected:
    /// One line, without any CR.
    virtual void text_line(std::string_view line) = 0;

private:
    std::uint64_t number_ = 0; // of the last line given to text_line, counted from 1
};

/// What a reader does to a column's values on their way into the table.
enum class Scale {
    as_given,  ///< the file's text, checked to be a number
    times_10,  ///< S/m to mS/cm
    per_1000,  ///< uS/cm to mS/cm
    psi,       ///< psi to dbar
    celsius,   ///< deg F to deg C
    minus,     ///< less `offset`: absolute to sea pressure [dbar]
    date_time, ///< a date and a time of day: the blank between them becomes a "T"
    text,      ///< any text without a blank, taken as it stands
};

/// A column as the reader found it, and what it does with the column's values.
struct ColumnReading {
    CastColumn column;
    Scale scale = Scale::as_given;
    double offset = 0.0; ///< Scale::minus only
    /// A value the profile takes, or a mark of the row (Sea-Bird's flag): a row in which it is
    /// missing gets no depth, so that it is never written.
    bool needed = false;
};

/// What a column of a probe cast gives the profile.
enum class Quantity { other, pressure, temperature, conductivity, salinity, sound, depth };

/// A column as a reader classified it: what it gives, how its values are converted and, among the
/// columns that give the same, its rank (0 for a primary sensor; lower ranks are taken first).
struct ColumnFinding {
    std::string source; ///< the file's own name for it
    std::string name;   ///< its name when it is not taken for its quantity, without blanks
    std::string unit;   ///< the file's unit of it
    Quantity quantity = Quantity::other;
    int rank = 0;
    Scale scale = Scale::as_given; ///< for its quantity; as_given when it is not taken
    std::string conversion;        ///< what the scale does, or what the file says the values are
    double offset = 0.0;           ///< Scale::minus only
    bool vital = false;            ///< a row whose value the file marks missing gets no depth

    /// A column of no quantity, its values as given.
    static ColumnFinding of(std::string_view source, std::string name, std::string_view unit)
    {
        ColumnFinding found;
        found.source = source;
        found.name = std::move(name);
        found.unit = unit;
        return found;
    }
};

/// The readings of a file's columns: the first column of the lowest rank of each quantity under
/// the program's name (Press, Temp, Cond, SALIN, SOUND; Depth only where no column gives a
/// pressure), its values converted to the program's unit; every other column under its own name,
/// its values as given. `depth` tells which column gives the depths.
std::vector<ColumnReading> readings_of(const std::vector<ColumnFinding>& found, DepthSource& depth);

/// The columns' conversions, applied to each data row before the load takes it.
class RowConverter {
public:
    /// Names `columns` to the sink, with the depths from `depth`; values equal to `bad_value` (the
    /// file's mark of a value it has not got) are missing.
    RowConverter(CastSink& sink, std::vector<ColumnReading> columns, DepthSource depth,
                 std::optional<double> bad_value = std::nullopt);

    /// Appends a row of the table: `fields` holds one text for each column, without blanks at
    /// either end; an empty one is missing. Fails naming the column of a value the profile takes, or
    /// of one to convert, that is not a number.
    void append(std::span<const std::string_view> fields);

    std::size_t size() const noexcept { return readings_.size(); }
    const CastColumn& column(std::size_t k) const noexcept { return readings_[k].column; }
    std::int64_t rows() const noexcept { return rows_; }

private:
    /// Whether a number's text, not empty, may be the bad value: it begins as the bad value does.
    bool may_be_bad_value(std::string_view text) const noexcept
    {
        return bad_value_ && (text.front() == '-') == bad_start_.first && starts_as_bad_value(text);
    }
    bool starts_as_bad_value(std::string_view text) const noexcept;
    /// The value of column `k` as the table takes it, from the file's `text`: converted, or empty
    /// when the file marks it missing, which makes the row `depthless` when the profile takes it.
    std::string_view value_of(std::size_t k, std::string_view text, bool& depthless);
    /// Reads the value of column `k`, `text`, and converts it into `value`; true when it is the bad
    /// value.
    bool read_value(std::size_t k, std::string_view text, std::string_view& value);

    /// What append looks at first, for each column.
    struct Plan {
        Scale scale;
        bool needed;  ///< a value the profile takes, or the depths' source: the row's depth needs it
        bool checked; ///< a value the profile takes: looked at to be a number
    };

    CastSink& sink_;
    std::vector<ColumnReading> readings_;
    std::vector<Plan> plans_;
    std::size_t depth_source_;
    std::optional<double> bad_value_;
    std::pair<bool, char> bad_start_{false, '0'}; // the bad value's sign and first significant digit
    std::vector<std::string> converted_;
    std::vector<std::string_view> out_;
    /// The error for value `k`, `text`, that is not a number.
    Error not_a_number(std::size_t k, std::string_view text) const;

    std::string row_; // the row's values joined by single blanks, with room to spare
    std::int64_t rows_ = 0;
};

/// A parser of a cast written as comma-separated values: header lines, a title row naming the
/// columns, then one row per line. Blank lines, title rows repeated in the data and separators
/// after the last column are passed over.
class CommaSeparatedParser : public TextLineParser {
public:
    /// `title_example` shows in the error for a file without a title row.
    CommaSeparatedParser(CastSink& sink, std::string_view path, std::string_view title_example);
    void finish() override;

protected:
    /// A line before the title row, without blanks at its ends: whether it belongs to the header
    /// (otherwise it is the title row).
    virtual bool header_line(std::string_view line) = 0;
    /// The readings of the columns `titles` names, and the columns that give the depths.
    virtual std::vector<ColumnReading> columns_of(const std::vector<std::string_view>& titles,
                                                  DepthSource& depth) = 0;
    /// The fields of the first data row, as the file gives them.
    virtual void first_row(std::span<const std::string_view> /*fields*/) {}

    CastSink& sink_;

private:
    void text_line(std::string_view line) final;

    std::string path_;
    std::string_view title_example_;
    std::optional<RowConverter> rows_;
    std::string title_; // the title row, to know it again in the data
    std::vector<std::string_view> fields_;
};

/// The pieces of `line` between commas, each without blanks at its ends.
void comma_fields(std::string_view line, std::vector<std::string_view>& fields);

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

/// "column 4 ("t090C")", naming a column (counted from 0) in a message.
std::string column_place(std::size_t index, std::string_view source);

/// The error for a column whose unit the reader does not know.
Error unknown_unit(std::size_t index, std::string_view source, std::string_view unit);

/// `text` with each blank made a "_", for a column name of the file.
std::string without_blanks(std::string_view text);

/// Whether `c` is a blank or a tab.
constexpr bool is_space(char c) noexcept
{
    return c == ' ' || c == '\t';
}

/// How many blanks `text` holds; eight bytes at a time, for the rows of long casts.
std::size_t blanks_in(std::string_view text) noexcept;

/// `text` without blanks and tabs at both ends.
std::string_view trim_space(std::string_view text) noexcept;

/// Whether `text` begins with `prefix`, letters compared without case.
bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) noexcept;

/// Whether `a` and `b` are equal, letters compared without case.
bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept;

/// An angle as probes write a latitude or longitude: decimal degrees ("-36.2199169", "54.3387 N"),
/// or degrees and decimal minutes ("02 26.71 S", "054°20.32' N", "12 40.46N"); the hemisphere
/// letter, `positive` or `negative`, may stand before or after. Nothing when it is not one, or when
/// it lies beyond `limit` degrees (999 marks an unknown position).
std::optional<double> angle_of(std::string_view text, char positive, char negative, double limit);

/// "2017-08-22 02:39:11" or "2017-08-22T02:39:11.500" as a time, to the second; nothing when it is
/// not one.
std::optional<std::chrono::sys_seconds> iso_date_time(std::string_view text);

} // namespace quillonde
