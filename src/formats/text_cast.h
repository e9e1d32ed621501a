#pragma once

#include "formats/format.h"
#include "formats/probe_text.h"
#include "runtime/error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillonde {

// How the readers of probe casts written as text take their rows: the columns each finds, named
// as the program names its own quantities, and the rule by which the table reads each column's
// values when they are needed.

/// A column as the reader found it, and the rule of its values.
struct ColumnReading {
    CastColumn column;
    Scale scale = Scale::as_given;
    double offset = 0.0; ///< subtracted after the scale: the air's pressure of an absolute pressure
    /// A value the profile takes: a row in which it is missing gets no depth, so that it is never
    /// written, and a text that is no number fails the load.
    bool needed = false;
    /// Each value read as it comes: a text that is not a number fails at once, naming the column.
    bool strict = false;
    /// The file's flag column (Sea-Bird's "flag"): a value it marks missing leaves the row out.
    bool flags_rows = false;
};

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
    double offset = 0.0;           ///< subtracted after the scale
    /// A value the file marks missing leaves the row out: of a quantity taken, as a value the
    /// profile needs; of any other column, as the file's flag of a bad row.
    bool vital = false;

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

/// Hands the rows of a table to the load: each field as the file writes it, with the rule of its
/// column, and what the row shows of values that are missing or flagged.
class RowConverter {
public:
    /// Names `columns` to the sink, with the depths from `depth`; values equal to `bad_value` (the
    /// file's mark of a value it has not got) are missing.
    RowConverter(CastSink& sink, std::vector<ColumnReading> columns, DepthSource depth,
                 std::optional<double> bad_value = std::nullopt);

    /// Appends a row of the table: `fields` holds one text for each column, or for the first
    /// columns, without blanks at either end; an empty one is missing. Fails naming the column of a
    /// value the profile takes, or of a strict column, that is not a number.
    void append(std::span<const std::string_view> fields);

    std::size_t size() const noexcept { return readings_.size(); }
    const CastColumn& column(std::size_t k) const noexcept { return readings_[k].column; }
    std::int64_t rows() const noexcept { return rows_; }

    /// Hands the rows after this to `sink`: a copy made for a rows reader.
    void feed(CastSink& sink) noexcept
    {
        sink_ = &sink;
        rows_ = 0;
    }

private:
    /// Whether a number's text, not empty, may be the bad value: it begins as the bad value does.
    bool may_be_bad_value(std::string_view text) const noexcept
    {
        return bad_value_ && (text.front() == '-') == bad_start_.first && starts_as_bad_value(text);
    }
    bool starts_as_bad_value(std::string_view text) const noexcept;
    /// Whether the value `text` of column `k`, not empty, is one the file marks missing; fails when a
    /// text that begins as the mark does is no number.
    bool marked_missing(std::size_t k, std::string_view text) const
    {
        return bad_value_ && may_be_bad_value(text) && read_as_bad_value(k, text);
    }
    bool read_as_bad_value(std::size_t k, std::string_view text) const;
    /// The error for value `k`, `text`, that is not a number.
    Error not_a_number(std::size_t k, std::string_view text) const;

    /// What append looks at, for each column.
    struct Plan {
        bool text;       ///< a column of texts, which the table takes without blanks
        bool needed;     ///< a value the profile takes, or the depths' source: the row's depth needs it
        bool checked;    ///< a value the profile takes: looked at to be a number
        bool strict;     ///< read as it comes
        bool flags_rows; ///< the file's flag column
    };

    CastSink* sink_;
    std::vector<ColumnReading> readings_;
    std::vector<Plan> plans_;
    std::vector<std::size_t> looked_at_; // the columns of numbers whose values append looks at
    std::vector<std::size_t> texts_;     // the columns of texts
    std::optional<double> bad_value_;
    std::pair<bool, char> bad_start_{false, '0'}; // the bad value's sign and first significant digit
    std::vector<std::string> rewritten_;          // the texts of text columns, without blanks
    std::vector<std::string_view> out_;
    std::int64_t rows_ = 0;
};

/// A column of a file as its header describes it, for CastRows.
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

/// The rows of a cast whose header describes its columns (Valeport, AML), as they reach the sink:
/// every value of one of the program's quantities read at once, and rows that may stop short of
/// the last columns.
class CastRows {
public:
    explicit CastRows(CastSink& sink) : sink_(sink) {}

    /// Names the table's columns for `described`: the first column of each of the program's
    /// quantities under the program's name and unit, converted; a later one (a second sensor)
    /// converted but under its own name and the file's unit; every other column under its own
    /// name. Fails naming the column whose unit the program does not know for its quantity, and
    /// when no column gives depths (`where` names the header).
    void name(const std::vector<ColumnDescription>& described, std::string_view where);
    bool named() const noexcept { return rows_.has_value(); }

    /// Appends `fields`, converted by the rules of their columns, as the next row. Fails naming the
    /// column of a value that is not a number, and when there are more fields than columns.
    void add(const std::vector<std::string_view>& fields);
    /// The rows appended.
    std::int64_t count() const noexcept { return rows_ ? rows_->rows() : 0; }

private:
    CastSink& sink_;
    std::optional<RowConverter> rows_;
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

/// "column 4 ("t090C")", naming a column (counted from 0) in a message.
std::string column_place(std::size_t index, std::string_view source);

/// The error for a column whose unit the reader does not know.
Error unknown_unit(std::size_t index, std::string_view source, std::string_view unit);

} // namespace quillonde
