#include "formats/tob.h"

#include "formats/angle.h"
#include "formats/date_time.h"
#include "profile/clean_line.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quillonde {

namespace {

constexpr FormatFacts tob_facts{
    tob_id,
    "Sea and Sun *.TOB",
    "*.TOB",
    "Sea & Sun CTD probes (SSDA acquisition software)",
    "the columns of the \"; Datasets\" header with the units line, the row count of \"Lines :\", "
    "the position of the header's \"Position :\" line, the time of the first row's IntD and IntT "
    "columns (zone not stated), else the date alone of the header's \"Datum :\"",
};

constexpr std::string_view row_count_marker = "Lines :";
constexpr std::string_view header_marker = "; Datasets";
constexpr std::size_t shortest_line = 5; // shorter cleaned lines carry nothing
// The acquisition software's header: "  Position :  Lat.:  054°20.32' N      Lon.:  011°41.48' E".
constexpr std::string_view position_marker = "Position :";
constexpr std::string_view latitude_marker = "Lat.:";
constexpr std::string_view longitude_marker = "Lon.:";
// Columns with the date (2017-09-13) and time (08:23:35) of each row.
constexpr std::string_view date_column = "IntD";
constexpr std::string_view time_column = "IntT";
constexpr std::string_view columns_source = "the first row's IntD and IntT columns";
// The survey's day, in the header the operator fills in: "  Aufgabe  :  1061610_   Datum :  18.08.2016".
// The third line, when the software wrote the file, is in the PC's language and no cast's time.
constexpr std::string_view date_marker = "Datum :";
constexpr std::string_view date_source = "the header's Datum line";

/// The text of a header's position up to its hemisphere letter: what follows the letter is no part
/// of it.
std::string_view through_hemisphere(std::string_view text)
{
    const std::size_t mark = text.find('\'');
    const std::size_t letter =
        mark == std::string_view::npos ? mark : text.find_first_not_of(" \t", mark + 1);
    return letter == std::string_view::npos ? text : text.substr(0, letter + 1);
}

/// One load of a Sea & Sun cast. The working values start empty with every file.
class TobParser : public CastParser {
public:
    TobParser(CastSink& sink, std::string_view path) : sink_(&sink), path_(path) {}

    void line(std::string_view raw) override;
    void finish() override;
    std::unique_ptr<CastParser> rows_reader(CastSink& sink) const override;

private:
    void handle_header();
    void handle_data_line(std::size_t fields);
    void handle_units(std::string_view raw);
    void handle_position(std::string_view raw);
    void take_time(std::string_view line);

    CastSink* sink_;
    std::string path_;
    std::optional<std::string> row_count_; // empty until a "Lines :" line
    bool header_seen_ = false;
    bool units_may_follow_ = false; // the line before was a header line
    std::int32_t date_col_ = -1;    // the columns of a row's date and time, while no row gave them
    std::int32_t time_col_ = -1;
    std::string cleaned_;
};

void TobParser::line(std::string_view raw)
{
    const LineFacts facts = clean_line(raw, cleaned_);
    const bool after_header = std::exchange(units_may_follow_, false);
    if (facts.capital_l && raw.find(row_count_marker) != std::string_view::npos) {
        // The count stands after the marker only when the line begins with it; the 8th character
        // on is taken either way.
        row_count_ = std::string(trim_blanks(raw.substr(row_count_marker.size())));
        sink_->row_count_stated(*row_count_);
    }
    if (cleaned_.size() < shortest_line) {
        return;
    }
    if (facts.semicolon && cleaned_.find(header_marker) != std::string::npos) {
        handle_header();
        return;
    }
    if (facts.semicolon && cleaned_.front() == ';') {
        if (after_header) {
            handle_units(raw);
        }
        return;
    }
    if (!header_seen_) {
        handle_position(raw);
        return;
    }
    handle_data_line(facts.fields);
}

void TobParser::handle_header()
{
    std::string names_text;
    names_text.reserve(cleaned_.size());
    for (const char c : cleaned_) {
        if (c != ';') {
            names_text += c;
        }
    }
    // A ";" that stood alone leaves two blanks behind: an empty name.
    std::vector<CastColumn> columns;
    DepthSource depth;
    date_col_ = -1;
    time_col_ = -1;
    for (const std::string_view name : split_at(trim_blanks(names_text), ' ')) {
        const auto k = static_cast<std::int32_t>(columns.size());
        // Acquisition software appends raw-count channels under the same name: the first "Press"
        // is the one in decibar.
        if (depth.pressure < 0 && name == pressure_name) {
            depth.pressure = k;
        }
        if (date_col_ < 0 && name == date_column) {
            date_col_ = k;
        }
        if (time_col_ < 0 && name == time_column) {
            time_col_ = k;
        }
        columns.push_back({std::string(name), std::string(name), {}, {}});
    }
    sink_->columns_named(std::move(columns), depth);
    if (!row_count_) {
        throw Error(ErrorKind::subscript_out_of_range,
                    "no \"" + std::string(row_count_marker) +
                        "\" line came before the header line, so the table has no rows");
    }
    sink_->rows_stated(with_subject("the row count", [&] { return str_to_long(*row_count_); }));
    header_seen_ = true;
    units_may_follow_ = true;
}

void TobParser::handle_units(std::string_view raw)
{
    // ";            [ dbar]  [ degC] ...": one unit for each name after "Datasets".
    std::vector<std::string_view> units(1);
    for (std::size_t open = raw.find('['); open != std::string_view::npos; open = raw.find('[', open)) {
        const std::size_t close = raw.find(']', open);
        if (close == std::string_view::npos) {
            return;
        }
        units.push_back(trim_blanks(raw.substr(open + 1, close - open - 1)));
        open = close;
    }
    std::vector<CastColumn>& columns = sink_->info().columns;
    if (units.size() == columns.size()) {
        for (std::size_t k = 0; k < units.size(); ++k) {
            columns[k].unit = units[k];
        }
    }
}

void TobParser::handle_position(std::string_view raw)
{
    if (const std::size_t date = raw.find(date_marker); date != std::string_view::npos) {
        const std::string_view rest = trim_blanks(raw.substr(date + date_marker.size()));
        if (auto day = time_by_patterns(rest.substr(0, rest.find(' ')), calendar_dates)) {
            day->source = date_source;
            sink_->info().time = std::move(*day);
        }
    }
    const std::size_t position = raw.find(position_marker);
    if (position == std::string_view::npos) {
        return;
    }
    const std::size_t latitude = raw.find(latitude_marker, position);
    const std::size_t longitude = raw.find(longitude_marker, position);
    if (latitude == std::string_view::npos || longitude == std::string_view::npos || longitude < latitude) {
        return;
    }
    const std::size_t latitude_begin = latitude + latitude_marker.size();
    CastInfo& info = sink_->info();
    info.latitude_deg = angle_of(through_hemisphere(raw.substr(latitude_begin, longitude - latitude_begin)),
                                 Axis::latitude, tob_position);
    info.longitude_deg = angle_of(through_hemisphere(raw.substr(longitude + longitude_marker.size())),
                                  Axis::longitude, tob_position);
}

void TobParser::take_time(std::string_view line)
{
    const auto date = static_cast<std::size_t>(date_col_);
    const auto clock = static_cast<std::size_t>(time_col_);
    if (auto when =
            time_by_pattern(std::string(field_of(line, date)) + " " + std::string(field_of(line, clock)),
                            "%Y-%m-%d %H:%M:%S")) {
        when->source = columns_source;
        sink_->info().time = std::move(*when);
    }
    date_col_ = -1; // the first row that has them gives the cast's time
}

void TobParser::handle_data_line(std::size_t fields)
{
    const std::string_view line = cleaned_;
    const std::string_view field0 = field_of(line, 0);
    // Field 0 must be above 0; a text that is not a number counts as above any number, and then
    // fails as a row number.
    double number = 0.0;
    const bool numeric = parse_number(field0, number) == NumberStatus::ok;
    if (numeric && !(number > 0.0)) {
        return;
    }
    const std::int32_t row = numeric && number < 2147483647.5
                                 ? static_cast<std::int32_t>(round_half_even(number))
                                 : with_subject("row number", [&] { return str_to_long(field0); });
    sink_->row_read(row, line, fields);
    if (date_col_ >= 0 && time_col_ >= 0 &&
        static_cast<std::size_t>(std::max(date_col_, time_col_)) < fields) {
        take_time(line);
    }
}

std::unique_ptr<CastParser> TobParser::rows_reader(CastSink& sink) const
{
    // After the header and its units line, once a row gave the cast's time: a line is a row, a
    // line of nothing, or a row count or header, which the rows reader's sink refuses. finish()
    // asks only whether a header came.
    if (!header_seen_ || units_may_follow_ || (date_col_ >= 0 && time_col_ >= 0)) {
        return nullptr;
    }
    auto reader = std::make_unique<TobParser>(*this);
    reader->sink_ = &sink;
    return reader;
}

void TobParser::finish()
{
    if (!header_seen_) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no header line (\"" +
                                                  std::string(header_marker) +
                                                  " ...\"), so it holds no cast");
    }
}

} // namespace

const FormatFacts& TobReader::facts() const
{
    return tob_facts;
}

Evidence TobReader::recognises(std::string_view head) const
{
    // The header line, where the acquisition software writes it: at the start of a line, after
    // blanks at most. Its banner is no part of the evidence: the window never required it.
    for (std::size_t at = head.find(header_marker); at != std::string_view::npos;
         at = head.find(header_marker, at + 1)) {
        std::size_t begin = at;
        while (begin > 0 && (head[begin - 1] == ' ' || head[begin - 1] == '\t')) {
            --begin;
        }
        if (begin == 0 || head[begin - 1] == '\n' || head[begin - 1] == '\r') {
            return Evidence::signature;
        }
    }
    return Evidence::none;
}

ReaderRules TobReader::rules() const
{
    // The rows as recorded, with the questions the window always asked: the header's position is
    // not checked against the window's latitude.
    return {RowOrderRule::as_recorded, false, true, false};
}

std::unique_ptr<CastParser> TobReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<TobParser>(sink, path);
}

} // namespace quillonde
