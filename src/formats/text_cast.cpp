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

constexpr double dbar_per_psi = 0.6894757293168361;
constexpr double metres_per_foot = 0.3048;
// More than a conversion adds to a value's text: double_to_str's longest, or a point moved three places.
constexpr std::size_t longest_conversion = 32;
// A number the file marks as missing is taken as that mark when it agrees to this share of it:
// the mark may be written with fewer digits in the header than in the data ("-9.99e-29").
constexpr double bad_value_tolerance = 1e-6;

bool is_digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

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

/// A field that holds no value: empty, or "NaN" as some exports write it.
bool is_missing(std::string_view text) noexcept
{
    return text.empty() || (text.size() == 3 && equal_ignoring_case(text, "nan"));
}

/// A decimal text times 10 (Scale::times_10) or over 1000 (Scale::per_1000), exactly, by moving
/// its point: "4.468541" gives "44.68541". False, `out` unfinished, for other scales and for texts
/// that are not plain decimals ("1e-3").
bool shift_point(std::string_view text, Scale scale, std::string& out)
{
    const int places = scale == Scale::times_10 ? 1 : scale == Scale::per_1000 ? -3 : 0;
    constexpr std::size_t longest = 48;
    if (places == 0 || text.size() > longest) {
        return false;
    }
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    // The digits without the point, and how many of them stand before it.
    std::array<char, longest> digits; // written before it is read
    std::size_t count = 0;
    std::size_t whole = text.size();
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '.' && whole == text.size()) {
            whole = k;
        } else if (!is_digit(text[k])) {
            return false;
        } else {
            digits[count++] = text[k];
        }
    }
    if (count == 0) {
        return false;
    }
    // Written after a place for the sign, which goes before the first digit kept.
    std::array<char, 2 * longest + 8> written; // written before it is read
    std::size_t end = 1;
    auto point = static_cast<std::ptrdiff_t>(whole) + places; // where the point stands now
    if (point <= 0) {
        written[end++] = '0';
        written[end++] = '.';
        for (std::ptrdiff_t zero = point; zero < 0; ++zero) {
            written[end++] = '0';
        }
        point = 0;
    }
    for (std::size_t k = 0; k < count || static_cast<std::ptrdiff_t>(k) < point; ++k) {
        if (point > 0 && static_cast<std::ptrdiff_t>(k) == point) {
            written[end++] = '.';
        }
        written[end++] = k < count ? digits[k] : '0';
    }
    std::size_t begin = 1; // "07.87909" of "0.787909" loses its leading zero
    while (begin + 1 < end && written[begin] == '0' && is_digit(written[begin + 1])) {
        ++begin;
    }
    if (negative) {
        written[--begin] = '-';
    }
    out.assign(written.data() + begin, end - begin);
    return true;
}

double scaled(Scale scale, double value) noexcept
{
    switch (scale) {
    case Scale::times_10: return value * 10.0;
    case Scale::per_1000: return value / 1000.0;
    case Scale::psi: return value * dbar_per_psi;
    case Scale::celsius: return (value - 32.0) / 1.8;
    case Scale::feet: return value * metres_per_foot;
    case Scale::as_given:
    case Scale::minus:
    case Scale::date_time:
    case Scale::calendar:
    case Scale::text: break;
    }
    return value;
}

/// A text value of Scale::text or Scale::calendar as the table takes it, in `out` where it changes:
/// a date and a time as ISO 8601, any other text with each run of blanks one "_". An empty text
/// stays empty (the file marks it missing).
std::string_view written_text(std::string_view text, Scale scale, std::string& out)
{
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
            readings.push_back({{std::string(name), column.source, std::string(unit), column.conversion},
                                column.scale,
                                column.offset,
                                profile_value || column.vital});
        } else {
            // A second sensor's values stay in the file's unit; what the file says of them stays.
            const bool converted = q != 0 && column.scale != Scale::as_given;
            readings.push_back({{column.name, column.source, column.unit, converted ? "" : column.conversion},
                                converted ? Scale::as_given : column.scale,
                                0.0,
                                column.vital});
        }
    }
    return readings;
}

RowConverter::RowConverter(CastSink& sink, std::vector<ColumnReading> columns, DepthSource depth,
                           std::optional<double> bad_value)
    : sink_(sink), readings_(std::move(columns)),
      depth_source_(
          static_cast<std::size_t>(std::max(depth.pressure >= 0 ? depth.pressure : depth.depth, 0))),
      bad_value_(bad_value), converted_(readings_.size()), out_(readings_.size())
{
    if (bad_value_) {
        bad_start_ = sign_and_first_digit(double_to_str(*bad_value_));
    }
    for (const ColumnReading& reading : readings_) {
        plans_.push_back(
            {reading.scale, reading.needed || plans_.size() == depth_source_, reading.needed, reading.strict});
    }
    std::vector<CastColumn> named;
    named.reserve(readings_.size());
    for (const ColumnReading& reading : readings_) {
        named.push_back(reading.column);
    }
    sink_.columns_named(std::move(named), depth);
}

void RowConverter::append(std::span<const std::string_view> fields)
{
    // The values go joined by single blanks into one text, which the load then takes as it stands:
    // room for each, and for what a conversion may add to it.
    const std::size_t count = std::min(fields.size(), plans_.size());
    std::size_t room = 0;
    for (const std::string_view field : fields.first(count)) {
        room += field.size() + longest_conversion;
    }
    if (row_.size() < room) {
        row_.resize(room);
    }
    char* at = row_.data();
    bool depthless = false;
    for (std::size_t k = 0; k < count; ++k) {
        const Plan plan = plans_[k];
        std::string_view value = fields[k];
        // Most values: a number kept as the file writes it that cannot be the bad value; a value the
        // profile takes is looked at, not read, which a million rows would feel ("1.2.3" fails where
        // the table's value is read). The others are looked at more closely.
        if (plan.scale == Scale::as_given && !plan.strict && !value.empty() && value.size() != 3 &&
            (!bad_value_ || (value.front() == '-') != bad_start_.first)) {
            if (plan.checked && !looks_like_number(value)) {
                throw not_a_number(k, value);
            }
        } else {
            value = value_of(k, value, depthless);
        }
        if (!value.empty()) { // a missing value has no text to copy from
            std::memcpy(at, value.data(), value.size());
        }
        out_[k] = std::string_view(at, value.size());
        at += value.size();
        *at++ = ' ';
    }
    if (depthless) {
        out_[depth_source_] = out_[depth_source_].substr(0, 0);
    }
    sink_.row_appended(std::span<const std::string_view>(out_).first(count));
    ++rows_;
}

Error RowConverter::not_a_number(std::size_t k, std::string_view text) const
{
    return {ErrorKind::type_mismatch,
            column_place(k, readings_[k].column.source) + ": " + quoted(text) + " is not a number"};
}

std::string_view RowConverter::value_of(std::size_t k, std::string_view text, bool& depthless)
{
    const Plan plan = plans_[k];
    if (plan.strict) {
        return strict_value(k, text);
    }
    if (plan.scale == Scale::text || plan.scale == Scale::calendar) {
        return written_text(text, plan.scale, converted_[k]);
    }
    if (plan.scale == Scale::date_time) {
        std::string& joined = converted_[k];
        joined.assign(text);
        if (const std::size_t blank = joined.find(' '); blank != std::string::npos) {
            joined[blank] = 'T';
        }
        return joined;
    }
    std::string_view value = text;
    const bool read = !is_missing(text) && may_be_bad_value(text);
    if (is_missing(text) || (read && read_value(k, text, value))) {
        depthless = depthless || plan.needed;
        return {};
    }
    if (plan.scale != Scale::as_given) {
        // A plain decimal is scaled by moving its point; any other number is read and written again.
        if (!read && !shift_point(text, plan.scale, converted_[k]) && read_value(k, text, value)) {
            depthless = depthless || plan.needed;
            return {};
        }
        value = converted_[k];
    } else if (plan.checked && !looks_like_number(text)) {
        throw not_a_number(k, text);
    }
    return value;
}

std::string_view RowConverter::strict_value(std::size_t k, std::string_view text)
{
    const ColumnReading& reading = readings_[k];
    if (text.empty()) {
        return text;
    }
    const double value = with_subject(column_place(k, reading.column.source), [&] { return str_to_double(text); });
    if ((reading.scale == Scale::as_given || reading.scale == Scale::minus) && reading.offset == 0.0) {
        return text;
    }
    converted_[k] = double_to_str(scaled(reading.scale, value) - reading.offset);
    return converted_[k];
}

bool RowConverter::read_value(std::size_t k, std::string_view text, std::string_view& value)
{
    const ColumnReading& reading = readings_[k];
    double number = 0.0;
    const NumberStatus status = parse_number(text, number);
    if (status != NumberStatus::ok) {
        throw Error(status == NumberStatus::out_of_range ? ErrorKind::overflow : ErrorKind::type_mismatch,
                    column_place(k, reading.column.source) + ": " + quoted(text) +
                        (status == NumberStatus::out_of_range ? " lies beyond the number range"
                                                              : " is not a number"));
    }
    if (bad_value_ && std::fabs(number - *bad_value_) <= bad_value_tolerance * std::fabs(*bad_value_)) {
        return true;
    }
    if (reading.scale != Scale::as_given) {
        converted_[k] = double_to_str(scaled(reading.scale, number) - reading.offset);
        value = converted_[k];
    }
    return false;
}

void CastRows::name(const std::vector<ColumnDescription>& described, std::string_view where)
{
    std::vector<ColumnReading> readings;
    DepthSource depth;
    for (std::size_t k = 0; k < described.size(); ++k) {
        const ColumnDescription& column = described[k];
        std::string source = column.source.empty() ? "column " + std::to_string(k + 1) : column.source;
        ColumnReading reading{{own_name(column.name.empty() ? source : column.name), source, column.unit,
                               column.conversion},
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
            std::string conversion = known->operation.empty()
                                         ? std::string(known->conversion)
                                         : std::string(trim_space(column.unit)) + " " + std::string(known->operation);
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
