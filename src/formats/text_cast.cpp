#include "formats/text_cast.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

namespace quillonde {

namespace {

constexpr double dbar_per_psi = 0.6894757293168361;
constexpr double minutes_per_degree = 60.0;
constexpr double seconds_per_degree = 3600.0;
// More than a conversion adds to a value's text: double_to_str's longest, or a point moved three places.
constexpr std::size_t longest_conversion = 32;
// A number the file marks as missing is taken as that mark when it agrees to this share of it:
// the mark may be written with fewer digits in the header than in the data ("-9.99e-29").
constexpr double bad_value_tolerance = 1e-6;

char lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

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

struct Canonical {
    std::string_view name;
    std::string_view unit;
};

/// The program's name and unit of a quantity, in the order of Quantity.
constexpr std::array<Canonical, 7> canonical = {{
    {{}, {}},
    {pressure_name, "dbar"},
    {profile_fields[temperature_field].name, "\u00B0C"},
    {profile_fields[conductivity_field].name, "mS/cm"},
    {profile_fields[salinity_field].name, "PSU"},
    {profile_fields[sound_field].name, "m/s"},
    {depth_name, "m"},
}};

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

double scaled(Scale scale, double value, double offset) noexcept
{
    switch (scale) {
    case Scale::times_10: return value * 10.0;
    case Scale::per_1000: return value / 1000.0;
    case Scale::psi: return value * dbar_per_psi;
    case Scale::celsius: return (value - 32.0) / 1.8;
    case Scale::minus: return value - offset;
    case Scale::as_given:
    case Scale::date_time:
    case Scale::text: break;
    }
    return value;
}

} // namespace

void TextLineParser::line(std::string_view raw)
{
    // A CR CR LF ending leaves a CR at the end: one line end, not two.
    while (!raw.empty() && raw.back() == '\r') {
        raw.remove_suffix(1);
    }
    for (std::size_t begin = 0;;) {
        const std::size_t end = raw.find('\r', begin);
        ++number_;
        try {
            text_line(
                raw.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        } catch (const Error& error) {
            throw error.at("line " + std::to_string(number_));
        }
        if (end == std::string_view::npos) {
            return;
        }
        begin = end + 1;
    }
}

std::vector<ColumnReading> readings_of(const std::vector<ColumnFinding>& found, DepthSource& depth)
{
    // The column taken for each quantity.
    std::array<std::int32_t, canonical.size()> taken;
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
            readings.push_back({{std::string(canonical[q].name), column.source,
                                 std::string(canonical[q].unit), column.conversion},
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
        plans_.push_back({reading.scale, reading.needed || plans_.size() == depth_source_, reading.needed});
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
    std::size_t room = 0;
    for (const std::string_view field : fields.first(plans_.size())) {
        room += field.size() + longest_conversion;
    }
    if (row_.size() < room) {
        row_.resize(room);
    }
    char* at = row_.data();
    bool depthless = false;
    for (std::size_t k = 0; k < plans_.size(); ++k) {
        const Plan plan = plans_[k];
        std::string_view value = fields[k];
        // Most values: a number kept as the file writes it that cannot be the bad value; a value the
        // profile takes is looked at, not read, which a million rows would feel ("1.2.3" fails where
        // the table's value is read). The others are looked at more closely.
        if (plan.scale == Scale::as_given && !value.empty() && value.size() != 3 &&
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
    sink_.row_appended(out_);
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
    if (plan.scale == Scale::text) {
        return text;
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
        converted_[k] = double_to_str(scaled(reading.scale, number, reading.offset));
        value = converted_[k];
    }
    return false;
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

std::string without_blanks(std::string_view text)
{
    std::string name(text);
    std::ranges::replace(name, ' ', '_');
    std::ranges::replace(name, '\t', '_');
    return name;
}

std::size_t blanks_in(std::string_view text) noexcept
{
    std::size_t blanks = 0;
    std::size_t at = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: each blank subtracts one (0xFF) from its byte's count, and the counts
    // are summed before any of them can pass 255.
    constexpr std::size_t block = 16;
    constexpr std::size_t blocks_per_sum = 255;
    const __m128i blank = _mm_set1_epi8(' ');
    while (at + block <= text.size()) {
        __m128i counts = _mm_setzero_si128();
        for (std::size_t n = 0; n < blocks_per_sum && at + block <= text.size(); ++n, at += block) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, blank));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        blanks += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                  static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
    }
#else
    constexpr std::uint64_t ones = 0x0101010101010101U;
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FU;
    for (; at + sizeof(std::uint64_t) <= text.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        word ^= ones * ' '; // a blank becomes a zero byte
        // The high bit of each byte that is not zero.
        const std::uint64_t nonzero = (((word & low7) + low7) | word) & ~low7;
        blanks += sizeof(std::uint64_t) - static_cast<std::size_t>(((nonzero >> 7U) * ones) >> 56U);
    }
#endif
    for (; at < text.size(); ++at) {
        blanks += text[at] == ' ' ? 1U : 0U;
    }
    return blanks;
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

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) noexcept
{
    return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept
{
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
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

std::optional<std::chrono::sys_seconds> iso_date_time(std::string_view text)
{
    const auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t k = at; k < at + digits; ++k) {
            if (k >= text.size() || !is_digit(text[k])) {
                return -1;
            }
            value = value * 10 + (text[k] - '0');
        }
        return value;
    };
    text = trim_space(text);
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') ||
        text[13] != ':' || text[16] != ':' || (text.size() > 19 && text[19] != '.')) {
        return std::nullopt;
    }
    const std::array<int, 6> parts = {number(0, 4),  number(5, 2),  number(8, 2),
                                      number(11, 2), number(14, 2), number(17, 2)};
    if (std::ranges::any_of(parts, [](int part) { return part < 0; })) {
        return std::nullopt;
    }
    return calendar_time(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
}

} // namespace quillonde
