#include "formats/text_cast.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

namespace quillonde {

namespace {

/// The sign and the first significant digit of a number's text: "-9" of "-9.990e-29".
std::pair<bool, char> sign_and_first_digit(std::string_view text) noexcept
{
    const bool negative = !text.empty() && text.front() == '-';
    for (const char c : text) {
        if (c >= '1' && c <= '9') {
            return {negative, c};
        }
        if (c == 'e' || c == 'E') {
            break;
        }
    }
    return {negative, '0'};
}

/// A text value of Scale::text, Scale::calendar or Scale::date_time as the table takes it, in `out`
/// where it changes: a date and a time as ISO 8601 (of date_time, the blank between them a "T"), any
/// other text with each run of blanks one "_". An empty text stays empty (the file marks it missing).
std::string_view written_text(std::string_view text, Scale scale, std::string& out)
{
    if (scale == Scale::date_time) {
        const std::size_t blank = text.find(' ');
        if (blank == std::string_view::npos) {
            return text;
        }
        out.assign(text);
        out[blank] = 'T';
        return out;
    }
    const std::size_t blank = text.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        return text;
    }
    if (scale == Scale::calendar) {
        const std::string_view clock = trim_space(text.substr(blank));
        if (const std::optional<std::string> date = iso_date(text.substr(0, blank));
            date && clock.find(' ') == std::string_view::npos) {
            out = *date + 'T';
            out += clock;
            return out;
        }
    }
    out = own_name(text); // a value of the table holds no blank
    return out;
}

} // namespace

std::vector<ColumnReading> readings_of(const std::vector<ColumnFinding>& found, DepthSource& depth)
{
    // The column taken for each quantity.
    constexpr std::size_t quantities = static_cast<std::size_t>(Quantity::depth) + 1;
    std::array<std::int32_t, quantities> taken;
    taken.fill(-1);
    for (std::size_t k = 0; k < found.size(); ++k) {
        const auto q = static_cast<std::size_t>(found[k].quantity);
        if (q != 0 && (taken[q] < 0 || found[k].rank < found[static_cast<std::size_t>(taken[q])].rank)) {
            taken[q] = static_cast<std::int32_t>(k);
        }
    }
    const auto pressure = static_cast<std::size_t>(Quantity::pressure);
    const auto depth_column = static_cast<std::size_t>(Quantity::depth);
    if (taken[pressure] >= 0) {
        taken[depth_column] = -1; // a depth the file gives is used only where no pressure is
    }
    depth = {taken[pressure], taken[depth_column]};
    std::vector<ColumnReading> readings;
    readings.reserve(found.size());
    for (std::size_t k = 0; k < found.size(); ++k) {
        const ColumnFinding& column = found[k];
        const auto q = static_cast<std::size_t>(column.quantity);
        if (q != 0 && taken[q] == static_cast<std::int32_t>(k)) {
            const bool profile_value = q != pressure && q != depth_column;
            const auto [name, unit] = own_column(column.quantity);
            ColumnReading reading{{std::string(name), column.source, std::string(unit), column.conversion},
                                  column.scale,
                                  column.offset};
            reading.needed = profile_value || column.vital;
            readings.push_back(std::move(reading));
        } else {
            // A second sensor's values stay in the file's unit; what the file says of them stays.
            const bool converted = q != 0 && column.scale != Scale::as_given;
            ColumnReading reading{
                {column.name, column.source, column.unit, converted ? "" : column.conversion},
                converted ? Scale::as_given : column.scale};
            reading.flags_rows = column.vital;
            readings.push_back(std::move(reading));
        }
    }
    return readings;
}

RowConverter::RowConverter(CastSink& sink, std::vector<ColumnReading> columns, DepthSource depth,
                           std::optional<double> bad_value)
    : sink_(&sink), readings_(std::move(columns)), bad_value_(bad_value), rewritten_(readings_.size()),
      out_(readings_.size())
{
    if (bad_value_) {
        bad_start_ = sign_and_first_digit(double_to_str(*bad_value_));
    }
    const std::int32_t depth_source = depth.pressure >= 0 ? depth.pressure : depth.depth;
    std::vector<CastColumn> named;
    std::vector<ValueRule> rules;
    named.reserve(readings_.size());
    for (const ColumnReading& reading : readings_) {
        const bool text = !is_numeric(reading.scale);
        const Plan plan{text, !text && (reading.needed || std::cmp_equal(plans_.size(), depth_source)),
                        !text && reading.needed, !text && reading.strict, !text && reading.flags_rows};
        (text ? texts_ : looked_at_).push_back(plans_.size());
        if (!text && !plan.needed && !plan.strict && !plan.flags_rows) {
            looked_at_.pop_back();
        }
        plans_.push_back(plan);
        named.push_back(reading.column);
        ValueRule rule;
        rule.scale = reading.scale;
        rule.offset = reading.offset;
        rule.missing_mark = text ? std::nullopt : bad_value_;
        rule.flags_rows = reading.flags_rows;
        rules.push_back(rule);
    }
    sink_->columns_named(std::move(named), depth, std::move(rules));
}

void RowConverter::append(std::span<const std::string_view> fields)
{
    const std::size_t count = std::min(fields.size(), plans_.size());
    RowNote note;
    // Only the columns that matter are looked at, and their values only looked at, not read, which a
    // million rows would feel ("1.2.3" fails where the table's value is read).
    for (const std::size_t k : looked_at_) {
        if (k >= count) {
            break;
        }
        const Plan plan = plans_[k];
        const std::string_view value = fields[k];
        if (plan.strict && !value.empty()) {
            with_subject(column_place(k, readings_[k].column.source), [&] { return str_to_double(value); });
        }
        if (!plan.needed && !plan.flags_rows) {
            continue;
        }
        if (is_missing_text(value) || marked_missing(k, value)) {
            // A strict column's empty value is missing as the file gives it; only the depth's source
            // makes the row depthless then, which the load sees.
            if (plan.flags_rows) {
                note.left_out = Rule::file_flag;
            } else if (!plan.strict) {
                note.value_missing = true;
            }
        } else if (plan.checked && !looks_like_number(value)) {
            throw not_a_number(k, value);
        }
    }
    std::span<const std::string_view> row = fields.first(count);
    if (!texts_.empty()) {
        bool rewritten = false;
        std::ranges::copy(row, out_.begin());
        for (const std::size_t k : texts_) {
            if (k < count) {
                out_[k] = written_text(fields[k], readings_[k].scale, rewritten_[k]);
                rewritten = rewritten || out_[k].data() != fields[k].data();
            }
        }
        if (rewritten) {
            row = std::span<const std::string_view>(out_).first(count);
        }
    }
    sink_->row_appended(row, note);
    ++rows_;
}

bool RowConverter::read_as_bad_value(std::size_t k, std::string_view text) const
{
    double number = 0.0;
    const NumberStatus status = parse_number(text, number);
    if (status != NumberStatus::ok) {
        throw Error(status == NumberStatus::out_of_range ? ErrorKind::overflow : ErrorKind::type_mismatch,
                    column_place(k, readings_[k].column.source) + ": " + quoted(text) +
                        (status == NumberStatus::out_of_range ? " lies beyond the number range"
                                                              : " is not a number"));
    }
    ValueRule rule;
    rule.missing_mark = bad_value_;
    return rule.is_missing_mark(number);
}

Error RowConverter::not_a_number(std::size_t k, std::string_view text) const
{
    return {ErrorKind::type_mismatch,
            column_place(k, readings_[k].column.source) + ": " + quoted(text) + " is not a number"};
}

void CastRows::name(const std::vector<ColumnDescription>& described, std::string_view where)
{
    std::vector<ColumnReading> readings;
    DepthSource depth;
    for (std::size_t k = 0; k < described.size(); ++k) {
        const ColumnDescription& column = described[k];
        std::string source = column.source.empty() ? "column " + std::to_string(k + 1) : column.source;
        ColumnReading reading{
            {own_name(column.name.empty() ? source : column.name), source, column.unit, column.conversion},
            column.date_time ? Scale::calendar : Scale::text};
        CastColumn& cast = reading.column;
        if (cast.name.empty()) {
            cast.name = "column_" + std::to_string(k + 1);
        }
        if (column.quantity != Quantity::other) {
            const std::optional<KnownUnit> known = known_unit(column.quantity, column.unit);
            if (!known) {
                throw Error(ErrorKind::bad_data_file, column_place(k, source) + " is " +
                                                          std::string(quantity_words(column.quantity)) +
                                                          " in " + quillonde::quoted(column.unit) +
                                                          ", a unit the program does not know for it");
            }
            reading.strict = !column.date_time;
            if (reading.strict) {
                reading.scale = known->scale;
            }
            const std::pair<std::string_view, std::string_view> own = own_column(known->quantity);
            const std::string_view name = own.first;
            const std::string_view unit = own.second;
            const bool first = std::ranges::none_of(
                readings, [&](const ColumnReading& taken) { return taken.column.name == name; });
            const auto index = static_cast<std::int32_t>(k);
            if (first) {
                cast.name = name;
                cast.unit = unit;
                if (known->quantity == Quantity::pressure) {
                    depth.pressure = index;
                } else if (known->quantity == Quantity::depth) {
                    depth.depth = index;
                }
            }
            // The file's own spelling of a unit its factor converts: "S/m x 10", "ft x 0.3048".
            std::string conversion = known->operation.empty() ? std::string(known->conversion)
                                                              : std::string(trim_space(column.unit)) + " " +
                                                                    std::string(known->operation);
            if (known->quantity == Quantity::pressure && !column.offset_note.empty()) {
                reading.offset = -column.pressure_offset;
                if (reading.strict && reading.scale == Scale::as_given) {
                    reading.scale = Scale::minus;
                }
                conversion = column.offset_note;
            }
            if (!column.conversion.empty()) {
                conversion += (conversion.empty() ? "" : "; ") + column.conversion;
            }
            cast.conversion = std::move(conversion);
        }
        readings.push_back(std::move(reading));
    }
    if (depth.pressure < 0 && depth.depth < 0) {
        throw Error(ErrorKind::bad_data_file,
                    std::string(where) +
                        " names neither a pressure nor a depth column, so the cast gives no depths");
    }
    rows_.emplace(sink_, std::move(readings), depth);
}

void CastRows::add(const std::vector<std::string_view>& fields)
{
    if (fields.size() > rows_->size()) {
        throw Error(ErrorKind::subscript_out_of_range, "the line has " + std::to_string(fields.size()) +
                                                           " values, but the header names " +
                                                           std::to_string(rows_->size()) + " columns");
    }
    rows_->append(fields);
}

CommaSeparatedParser::CommaSeparatedParser(CastSink& sink, std::string_view path,
                                           std::string_view title_example)
    : sink_(sink), path_(path), title_example_(title_example)
{
}

void CommaSeparatedParser::text_line(std::string_view line)
{
    const std::string_view trimmed = trim_space(line);
    if (trimmed.empty()) {
        return;
    }
    if (!rows_) {
        if (header_line(trimmed)) {
            return;
        }
        comma_fields(trimmed, fields_);
        while (!fields_.empty() && fields_.back().empty()) {
            fields_.pop_back();
        }
        DepthSource depth;
        std::vector<ColumnReading> readings = columns_of(fields_, depth);
        if (depth.pressure < 0 && depth.depth < 0) {
            throw Error(ErrorKind::bad_data_file,
                        "the title row names no pressure and no depth column, so the cast gives no depths");
        }
        title_ = trimmed;
        rows_.emplace(sink_, std::move(readings), depth);
        return;
    }
    if (trimmed.starts_with(title_) &&
        trimmed.find_first_not_of(", \t", title_.size()) == std::string_view::npos) {
        return; // the title row once more
    }
    comma_fields(trimmed, fields_);
    const std::size_t columns = rows_->size();
    while (fields_.size() > columns && fields_.back().empty()) {
        fields_.pop_back(); // a separator after the last value
    }
    if (fields_.size() != columns) {
        throw Error(ErrorKind::subscript_out_of_range,
                    "the line has " + std::to_string(fields_.size()) + " values, but the title row names " +
                        std::to_string(columns) + " columns" +
                        (fields_.size() < columns ? "; is the file cut short?" : ""));
    }
    rows_->append(fields_);
    if (rows_->rows() == 1) {
        first_row(fields_);
    }
}

void CommaSeparatedParser::finish()
{
    if (!rows_) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no title row (\"" +
                                                  std::string(title_example_) + "\"), so it holds no cast");
    }
    if (rows_->rows() == 0) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no rows after its title row");
    }
}

bool RowConverter::starts_as_bad_value(std::string_view text) const noexcept
{
    return sign_and_first_digit(text) == bad_start_;
}

std::string column_place(std::size_t index, std::string_view source)
{
    return "column " + std::to_string(index + 1) + " (" + quoted(source) + ")";
}

Error unknown_unit(std::size_t index, std::string_view source, std::string_view unit)
{
    return {ErrorKind::bad_data_file,
            column_place(index, source) + ": the unit " + quoted(unit) + " is not one this program knows"};
}

} // namespace quillonde
