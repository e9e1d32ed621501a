#include "formats/seabird.h"

#include "formats/angle.h"
#include "formats/date_time.h"
#include "formats/text_cast.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

constexpr FormatFacts seabird_facts{
    "cnv",
    "Sea-Bird *.cnv",
    "*.cnv",
    "Sea-Bird CTD probes: SBE 9, 19, 19plus, 25, 37 ... (SBE Data Processing)",
    "the columns of the \"# name\" lines (pressure, temperature, conductivity, salinity, sound velocity, "
    "depth; primary sensors before secondary ones) in the unit of their brackets or, without one, of the "
    "short name's last letter (svCF ft/s, depSF ft, prdE psi, t090F deg F), \"bad_flag\" values as missing, "
    "the rows after \"*END*\", the instrument, the NMEA or operator's position (\"**\" and \"@\" lines; a "
    "depth's \"lat =\" is none), the time in UTC of the NMEA (\"# start_time\" of an NMEA time, \"NMEA UTC "
    "(Time)\") or of the PC (\"System UTC\"), else the instrument's clock (\"* cast\" line, \"# "
    "start_time\"; "
    "zone not stated; a Y2K year set right by the header's other times)",
};

constexpr std::string_view first_line_marker = "* Sea-Bird";
constexpr std::string_view column_count_key = "nquan";
constexpr std::string_view nmea_source = "NMEA UTC (Time)";
constexpr std::string_view system_utc_source = "System UTC";
constexpr std::string_view upload_source = "System UpLoad Time";
constexpr std::string_view cast_line_source = "the \"* cast\" line, the instrument's clock";
constexpr std::string_view start_source = "# start_time";
constexpr std::string_view upload_note =
    ", which is the System UpLoad Time: when the data left the instrument";
constexpr std::string_view end_marker = "*END*";
constexpr std::string_view its90_note = "ITS-90";
constexpr std::string_view ipts68_note = "IPTS-68";

/// One "# name" line: "t090C: Temperature [ITS-90, deg C]".
struct NameLine {
    std::string short_name;
    std::string long_name; ///< before the brackets
    std::string bracket;   ///< within them: "ITS-90, deg C"
    std::string after;     ///< after them: ", lat = 39.00"
};

NameLine name_line(std::string_view text)
{
    NameLine line;
    const std::size_t colon = text.find(':');
    line.short_name = trim_space(text.substr(0, colon));
    if (colon == std::string_view::npos) {
        return line;
    }
    const std::string_view rest = text.substr(colon + 1);
    const std::size_t open = rest.find('[');
    line.long_name = trim_space(rest.substr(0, open));
    if (open != std::string_view::npos) {
        const std::size_t close = rest.find(']', open);
        line.bracket =
            trim_space(rest.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
        if (close != std::string_view::npos) {
            line.after = rest.substr(close + 1);
        }
    }
    return line;
}

bool contains_ignoring_case(std::string_view text, std::string_view part)
{
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (equal_ignoring_case(text.substr(at, part.size()), part)) {
            return true;
        }
    }
    return false;
}

/// The unit within the brackets: their last part ("deg C" of "ITS-90, deg C"), without a scale's
/// or a water's name written before it without a comma ("ITS-68 deg C").
std::string_view unit_of(std::string_view bracket)
{
    const std::size_t comma = bracket.rfind(',');
    std::string_view unit = trim_space(comma == std::string_view::npos ? bracket : bracket.substr(comma + 1));
    for (const std::string_view scale : {"ITS-90", "ITS-68", "IPTS-68", "salt water", "fresh water"}) {
        if (unit.size() > scale.size() && starts_with_ignoring_case(unit, scale) &&
            is_space(unit[scale.size()])) {
            return trim_space(unit.substr(scale.size()));
        }
    }
    return unit;
}

/// The unit a short name carries in its last letter, before a sensor's number: "ft/s" of "svCF",
/// "psi" of "prdE", "deg C" of "t190C"; the conductivity's unit follows its sensor's number
/// ("c0mS/cm"). Empty when the name carries none.
std::string short_name_unit(std::string_view s, Quantity quantity)
{
    if (quantity == Quantity::conductivity) {
        return std::string(s.size() > 2 ? s.substr(2) : std::string_view());
    }
    const std::size_t end = s.find_last_not_of("0123456789");
    const char last = end == std::string_view::npos || end < 2 ? '\0' : s[end];
    switch (quantity) {
    case Quantity::sound: return last == 'M' ? "m/s" : last == 'F' ? "ft/s" : "";
    case Quantity::depth: return last == 'M' ? "m" : last == 'F' ? "ft" : "";
    case Quantity::pressure: return s == "pr" || last == 'M' ? "db" : last == 'E' ? "psi" : "";
    case Quantity::temperature: return last == 'C' ? "deg C" : last == 'F' ? "deg F" : "";
    case Quantity::salinity: return "PSU";
    case Quantity::conductivity:
    case Quantity::other: break;
    }
    return {};
}

/// A "# name" line without a long name, as some files have it: the long name that SBE Data
/// Processing gives the short name, and what its brackets say besides the unit.
void fill_from_short_name(NameLine& line)
{
    const std::string_view s = line.short_name;
    const auto second = [&](std::size_t at) { return at < s.size() && s[at] == '1' ? ", 2" : ""; };
    if (s.starts_with("pr")) {
        line.long_name = "Pressure";
    } else if (s.starts_with("sal")) {
        line.long_name = std::string("Salinity") + second(3);
    } else if (s.starts_with("sv")) {
        line.long_name = "Sound Velocity";
        line.bracket = s.starts_with("svC")   ? "Chen-Millero"
                       : s.starts_with("svD") ? "Delgrosso"
                       : s.starts_with("svW") ? "Wilson"
                                              : "";
    } else if (s.starts_with("dep")) {
        line.long_name = "Depth";
        line.bracket = s.starts_with("depF") ? "fresh water" : s.starts_with("depS") ? "salt water" : "";
    } else if (s.size() > 2 && s[0] == 't' && (s[1] == 'v' || (s[1] >= '0' && s[1] <= '9'))) {
        line.long_name = std::string("Temperature") + second(1);
        line.bracket = s.find("68") != std::string_view::npos ? "IPTS-68" : "ITS-90";
    } else if (s.size() > 2 && s[0] == 'c' && (s[1] == '0' || s[1] == '1')) {
        line.long_name = std::string("Conductivity") + second(1);
    }
}

/// What a column of a .cnv gives, from its "# name" line. Fails on a column of a profile quantity
/// whose unit the program does not know, or which its brackets and its short name give differently.
ColumnFinding finding_of(std::size_t index, NameLine line)
{
    const bool named_only = line.long_name.empty();
    if (named_only) {
        fill_from_short_name(line);
    }
    const std::string_view s = line.short_name;
    const std::string_view name = line.long_name;
    std::string_view bracket_unit = named_only ? std::string_view() : unit_of(line.bracket);
    std::string_view scale_only; // "[ITS-90]": a scale of deg C, unless the short name says deg F
    if (equal_ignoring_case(bracket_unit, "ITS-90") || equal_ignoring_case(bracket_unit, "ITS-68") ||
        equal_ignoring_case(bracket_unit, "IPTS-68")) {
        scale_only = std::exchange(bracket_unit, {});
    }
    ColumnFinding found = ColumnFinding::of(line.short_name, without_blanks(line.short_name), bracket_unit);
    if (found.name.empty()) {
        found.name = "column" + std::to_string(index + 1);
    }
    found.rank = contains_ignoring_case(name, ", 2") ? 10 : 0;
    // SBE Data Processing's Loop Edit marks a scan it finds bad (a pressure reversal, the surface
    // soak) with the bad flag in this column: the scan gets no depth.
    found.vital = s == "flag";
    // What the file says of the values, after what the unit's conversion does to them.
    std::string note;
    if (s.starts_with("pr") && starts_with_ignoring_case(name, "Pressure")) {
        found.quantity = Quantity::pressure;
    } else if (s.starts_with("t") && starts_with_ignoring_case(name, "Temperature") &&
               !contains_ignoring_case(name, "Difference")) {
        found.quantity = Quantity::temperature;
        note = contains_ignoring_case(line.long_name + line.bracket, "68") ? ipts68_note : its90_note;
    } else if (s.starts_with("c") && starts_with_ignoring_case(name, "Conductivity")) {
        found.quantity = Quantity::conductivity;
    } else if (s.starts_with("sal") && starts_with_ignoring_case(name, "Salinity")) {
        found.quantity = Quantity::salinity;
    } else if (s.starts_with("sv") && starts_with_ignoring_case(name, "Sound Velocity")) {
        found.quantity = Quantity::sound;
        constexpr std::array<std::string_view, 3> formulas = {"Chen-Millero", "Delgrosso", "Wilson"};
        found.rank += static_cast<int>(formulas.size());
        for (std::size_t f = 0; f < formulas.size(); ++f) {
            if (contains_ignoring_case(line.bracket, formulas[f])) {
                note = formulas[f];
                found.rank -= static_cast<int>(formulas.size() - f);
                break;
            }
        }
    } else if (s.starts_with("dep") && starts_with_ignoring_case(name, "Depth")) {
        found.quantity = Quantity::depth;
        note = contains_ignoring_case(line.bracket, "fresh")  ? "fresh water"
               : contains_ignoring_case(line.bracket, "salt") ? "salt water"
                                                              : "";
        // "depSM: Depth [salt water, m], lat = 39.00": the latitude the depths were computed for.
        const std::size_t lat = line.after.find("lat =");
        if (lat != std::string::npos) {
            note += (note.empty() ? "" : ", ") + std::string("for latitude ") +
                    std::string(trim_space(std::string_view(line.after).substr(lat + 5)));
        }
    } else {
        return found;
    }
    // The short name's last letter tells the unit too ("svCF" ft/s, "prdE" psi): where the brackets
    // give none, it is the unit; where they give another, the unit is not known.
    const std::string name_unit = short_name_unit(s, found.quantity);
    const std::string_view unit = !bracket_unit.empty() ? bracket_unit
                                  : !name_unit.empty()  ? std::string_view(name_unit)
                                                        : scale_only;
    const std::optional<KnownUnit> known = known_unit(found.quantity, unit);
    if (!known) {
        if (unit.empty()) {
            throw Error(ErrorKind::bad_data_file,
                        column_place(index, s) + " is " + std::string(quantity_words(found.quantity)) +
                            " in a unit neither its brackets nor its short name give, so its values cannot "
                            "be read");
        }
        throw unknown_unit(index, s, unit);
    }
    if (const std::optional<KnownUnit> named = known_unit(found.quantity, name_unit);
        !bracket_unit.empty() && named &&
        (named->quantity != known->quantity || named->scale != known->scale)) {
        throw Error(ErrorKind::bad_data_file, column_place(index, s) + " is in " +
                                                  quillonde::quoted(bracket_unit) +
                                                  " by its brackets but in " + quillonde::quoted(name_unit) +
                                                  " by its short name, so its unit cannot be known");
    }
    found.unit = unit;
    found.quantity = known->quantity;
    found.scale = known->scale;
    found.conversion = known->conversion;
    if (!note.empty()) {
        found.conversion += (found.conversion.empty() ? "" : "; ") + note;
    }
    return found;
}

/// "Aug 01 2011 11:34:32" (SBE Data Processing's and Seasave's times) as a time read on the clock
/// `zone` names; nothing when it is not one.
std::optional<CastTime> month_day_year_time(std::string_view text, std::string_view source, TimeZone zone)
{
    auto time = time_by_pattern(trim_space(text), "%b %d %Y %H:%M:%S");
    if (time) {
        time->source = source;
        time->zone = zone;
    }
    return time;
}

int year_of(std::chrono::sys_seconds when)
{
    return static_cast<int>(std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(when)).year());
}

/// The same day and time of day a hundred years later.
std::chrono::sys_seconds century_later(std::chrono::sys_seconds when)
{
    const auto day = std::chrono::floor<std::chrono::days>(when);
    const std::chrono::year_month_day date(day);
    return std::chrono::sys_days(date + std::chrono::years(100)) + (when - day);
}

/// The value of a "key = value" header line whose key is `key` (any case), or nothing.
std::optional<std::string_view> value_of(std::string_view text, std::string_view key)
{
    const auto pair = key_value(text, '=');
    if (!pair || !equal_ignoring_case(pair->first, key)) {
        return std::nullopt;
    }
    return pair->second;
}

/// One load of a Sea-Bird cast.
class SeabirdParser : public TextLineParser {
public:
    SeabirdParser(CastSink& sink, std::string_view path) : sink_(&sink), path_(path) {}

    void finish() override;
    std::unique_ptr<CastParser> rows_reader(CastSink& sink) const override;

protected:
    void text_line(std::string_view line) override;

private:
    void instrument_line(std::string_view text);
    void user_line(std::string_view text);
    void processing_line(std::string_view text);
    void end_header();
    void data_line(std::string_view line);
    /// Splits `row` into fields of one width, each a right-aligned value; false when it is not so.
    bool split_by_width(std::string_view row);

    CastSink* sink_;
    std::string path_;
    bool first_line_ = true;
    bool ended_ = false;
    std::optional<std::int32_t> stated_columns_; // "# nquan"
    std::optional<std::int32_t> stated_rows_;    // "# nvalues"
    std::optional<double> bad_flag_;
    bool binary_ = false;
    std::map<std::int32_t, NameLine> names_;
    // The position and time as the header gives them, most trusted first.
    std::optional<double> nmea_latitude_, nmea_longitude_, user_latitude_, user_longitude_;
    std::optional<CastTime> start_time_, nmea_time_, system_utc_, cast_time_, upload_time_;
    std::vector<int> header_years_; // of the header's other times, to see a start time's Y2K year
    std::optional<RowConverter> rows_;
    std::vector<std::string_view> fields_;
    bool width_shown_ = false; // a row has shown right-aligned values in fields of one width
};

void SeabirdParser::text_line(std::string_view line)
{
    if (ended_) {
        data_line(line);
        return;
    }
    const bool first = std::exchange(first_line_, false);
    if (trim_space(line) == end_marker) {
        end_header();
    } else if (line.starts_with("**")) {
        user_line(line.substr(2));
    } else if (line.starts_with("*")) {
        if (first && line.starts_with(first_line_marker)) {
            // "* Sea-Bird SBE 9 Data File:"
            std::string_view model = trim_space(line.substr(first_line_marker.size()));
            model = trim_space(model.substr(0, model.find("Data File")));
            sink_->info().instrument = model;
        }
        instrument_line(line.substr(1));
    } else if (line.starts_with("#")) {
        processing_line(line.substr(1));
    } else if (line.starts_with("@")) {
        user_line(line.substr(1)); // "@ Latitude: 54 57.83 N", a cruise's own lines after processing
    }
    // Any other line of the header says nothing the program reads.
}

void SeabirdParser::instrument_line(std::string_view text)
{
    CastInfo& info = sink_->info();
    if (const auto latitude = value_of(text, "NMEA Latitude")) {
        nmea_latitude_ = angle_of(*latitude, Axis::latitude, probe_position);
    } else if (const auto longitude = value_of(text, "NMEA Longitude")) {
        nmea_longitude_ = angle_of(*longitude, Axis::longitude, probe_position);
    } else if (const auto nmea_time = value_of(text, "NMEA UTC (Time)")) {
        nmea_time_ = month_day_year_time(*nmea_time, nmea_source, TimeZone::utc);
        if (nmea_time_) {
            header_years_.push_back(year_of(nmea_time_->when));
        }
    } else if (const auto system_time = value_of(text, "System UTC")) {
        system_utc_ = month_day_year_time(*system_time, system_utc_source, TimeZone::utc);
        if (system_utc_) {
            header_years_.push_back(year_of(system_utc_->when));
        }
    } else if (const auto upload = value_of(text, "System UpLoad Time")) {
        upload_time_ = month_day_year_time(*upload, upload_source, TimeZone::unknown);
        if (upload_time_) {
            header_years_.push_back(year_of(upload_time_->when));
        }
    } else if (const std::vector<std::string_view> words = list_items(trim_space(text), ' ');
               words.size() > 5 && words[0] == "cast") {
        // "* cast   1 10 Dec 2016 06:16:51 samples 1 to 3069": day, month, year.
        cast_time_ = month_day_year_time(std::string(words[3]) + " " + std::string(words[2]) + " " +
                                             std::string(words[4]) + " " + std::string(words[5]),
                                         cast_line_source, TimeZone::unknown);
        if (cast_time_) {
            header_years_.push_back(year_of(cast_time_->when));
        }
    }
    // The instrument's status as it was uploaded: "* SBE 19plus V 2.5.2  SERIAL NO. 01906855 ...".
    for (const std::string_view marker :
         {std::string_view("SERIAL NO."), std::string_view("SerialNumber='")}) {
        const std::size_t at = text.find(marker);
        if (at != std::string_view::npos && info.serial.empty()) {
            const std::string_view rest = trim_space(text.substr(at + marker.size()));
            info.serial = rest.substr(0, rest.find_first_of(" \t'"));
        }
    }
}

void SeabirdParser::user_line(std::string_view text)
{
    // "** Latitude: 54 20.32 N", "** Lon = 011 41.48 E": free text, typed by the operator.
    const std::size_t separator = text.find_first_of(":=");
    if (separator == std::string_view::npos) {
        return;
    }
    const std::string_view key = trim_space(text.substr(0, separator));
    const std::string_view value = text.substr(separator + 1);
    if (equal_ignoring_case(key, "Latitude") || equal_ignoring_case(key, "Lat")) {
        user_latitude_ = angle_of(value, Axis::latitude, probe_position);
    } else if (equal_ignoring_case(key, "Longitude") || equal_ignoring_case(key, "Lon") ||
               equal_ignoring_case(key, "Long")) {
        user_longitude_ = angle_of(value, Axis::longitude, probe_position);
    }
}

void SeabirdParser::processing_line(std::string_view text)
{
    const auto whole_number = [](std::string_view subject, std::string_view value) {
        return with_subject(subject, [&] { return str_to_long(value); });
    };
    const std::string_view trimmed = trim_space(text);
    if (trimmed.starts_with("name ")) {
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos) {
            return;
        }
        const std::int32_t index =
            whole_number("the column number", trim_space(trimmed.substr(5, equals - 5)));
        if (index < 0 || names_.contains(index)) {
            throw Error(ErrorKind::bad_data_file,
                        "\"# name " + std::to_string(index) + "\" names no new column");
        }
        names_[index] = name_line(trimmed.substr(equals + 1));
    } else if (const auto columns = value_of(trimmed, column_count_key)) {
        stated_columns_ = whole_number("nquan", *columns);
    } else if (const auto rows = value_of(trimmed, "nvalues")) {
        stated_rows_ = whole_number("nvalues", *rows);
    } else if (const auto flag = value_of(trimmed, "bad_flag")) {
        bad_flag_ = with_subject("bad_flag", [&] { return str_to_double(*flag); });
    } else if (const auto type = value_of(trimmed, "file_type")) {
        binary_ = equal_ignoring_case(*type, "binary");
    } else if (const auto start = value_of(trimmed, "start_time")) {
        // "Jul 12 2013 12:59:29 [NMEA time, first data scan]": the brackets say where it came from.
        const std::size_t bracket = std::min(start->find('['), start->size());
        const std::string_view named = trim_space(start->substr(bracket));
        const bool utc = contains_ignoring_case(named, "NMEA") || contains_ignoring_case(named, "UTC");
        start_time_ =
            month_day_year_time(start->substr(0, bracket),
                                std::string(start_source) + (named.empty() ? "" : " ") + std::string(named),
                                utc ? TimeZone::utc : TimeZone::unknown);
    }
}

void SeabirdParser::end_header()
{
    ended_ = true;
    if (binary_) {
        throw Error(ErrorKind::bad_data_file,
                    "the rows are binary (\"# file_type = binary\"); convert the cast to ASCII with SBE "
                    "Data Processing");
    }
    if (names_.empty()) {
        throw Error(ErrorKind::bad_data_file, "the header has no \"# name\" lines, so it names no columns (a "
                                              "raw .hex or .dat file is read once SBE Data Processing has "
                                              "converted it to .cnv)");
    }
    const auto count = static_cast<std::int32_t>(names_.size());
    if (stated_columns_ && *stated_columns_ != count) {
        throw Error(ErrorKind::bad_data_file, "the header names " + std::to_string(count) +
                                                  " columns, but \"# nquan = " +
                                                  std::to_string(*stated_columns_) + "\" says otherwise");
    }
    std::vector<ColumnFinding> found;
    std::int32_t expected = 0;
    for (const auto& [index, line] : names_) {
        if (index != expected++) {
            throw Error(ErrorKind::bad_data_file,
                        "the header has no \"# name " + std::to_string(expected - 1) + "\" line");
        }
        found.push_back(finding_of(static_cast<std::size_t>(index), line));
    }
    DepthSource depth;
    std::vector<ColumnReading> readings = readings_of(found, depth);
    if (depth.pressure < 0 && depth.depth < 0) {
        throw Error(ErrorKind::bad_data_file, "the header names no pressure column (prDM, prdM ...) and no "
                                              "depth column (depSM ...), so the cast gives no depths");
    }
    CastInfo& info = sink_->info();
    // The latitude a depth column was computed for ("lat = 50") is no position.
    info.latitude_deg = nmea_latitude_ ? nmea_latitude_ : user_latitude_;
    info.longitude_deg = nmea_longitude_ ? nmea_longitude_ : user_longitude_;
    if (start_time_) {
        // Old Seasoft wrote 2003 as 1903 in "# start_time", while its other lines are right.
        const int year = year_of(start_time_->when);
        if (year >= 1900 && year < 2000 && std::ranges::find(header_years_, year) == header_years_.end() &&
            std::ranges::find(header_years_, year + 100) != header_years_.end()) {
            start_time_->when = century_later(start_time_->when);
        }
    }
    // UTC first, the NMEA's best; then the instrument's clock as the cast began; the upload's time,
    // hours later, is no cast's time even where "# start_time" repeats it.
    if (start_time_ && upload_time_ && start_time_->zone == TimeZone::unknown &&
        start_time_->when == upload_time_->when) {
        start_time_->source += upload_note;
    }
    const bool start_utc = start_time_ && start_time_->zone == TimeZone::utc;
    if (start_utc && contains_ignoring_case(start_time_->source, "NMEA")) {
        info.time = start_time_; // the first scan's NMEA time
    } else if (nmea_time_) {
        info.time = nmea_time_;
    } else if (start_utc) {
        info.time = start_time_;
    } else {
        info.time = system_utc_ ? system_utc_ : cast_time_ ? cast_time_ : start_time_;
    }
    rows_.emplace(*sink_, std::move(readings), depth, bad_flag_);
    fields_.reserve(rows_->size());
}

bool SeabirdParser::split_by_width(std::string_view row)
{
    const std::size_t columns = rows_->size();
    const std::size_t width = row.size() / columns;
    if (width == 0 || row.size() != width * columns) {
        return false;
    }
    fields_.resize(columns);
    std::size_t leading = 0; // the blanks before the values
    for (std::size_t k = 0; k < columns; ++k) {
        const char* begin = row.data() + k * width;
        const char* const end = begin + width;
#ifdef __SSE2__
        // The first byte that is not a blank, from a mask of sixteen at once, where the row has them.
        constexpr std::size_t block = 16;
        if (width <= block && k * width + block <= row.size()) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
            const auto blanks =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
            begin += std::min<std::size_t>(static_cast<std::size_t>(std::countr_one(blanks)), width);
        }
#endif
        while (begin != end && *begin == ' ') {
            ++begin;
        }
        if (begin == end) {
            return false;
        }
        leading += static_cast<std::size_t>(begin - (row.data() + k * width));
        fields_[k] = std::string_view(begin, static_cast<std::size_t>(end - begin));
    }
    // Right-aligned values only, no blank within them: any other layout takes the slower way. A
    // file that shows it on its first row keeps to it; a blank within a value fails the load.
    if (!width_shown_ && blanks_in(row) != leading) {
        return false;
    }
    width_shown_ = true;
    return true;
}

void SeabirdParser::data_line(std::string_view line)
{
    const std::string_view trimmed = trim_space(line);
    if (trimmed.empty()) {
        return;
    }
    // A title row that some processing repeats in the data: "Depth  Press  Conduct ...".
    const char first = trimmed.front();
    if (((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) &&
        !starts_with_ignoring_case(trimmed, "nan") && !starts_with_ignoring_case(trimmed, "inf")) {
        return;
    }
    // Most rows: numbers right-aligned in fields of one width, the line's length over the columns.
    const std::size_t row_end = static_cast<std::size_t>(trimmed.data() - line.data()) + trimmed.size();
    if (split_by_width(line.substr(0, row_end))) {
        rows_->append(fields_);
        return;
    }
    const std::size_t columns = rows_->size();
    fields_.clear();
    for (std::size_t at = 0; at < trimmed.size();) {
        std::size_t end = at;
        while (end < trimmed.size() && !is_space(trimmed[end])) {
            ++end;
        }
        fields_.push_back(trimmed.substr(at, end - at));
        at = end;
        while (at < trimmed.size() && is_space(trimmed[at])) {
            ++at;
        }
    }
    if (fields_.size() < columns) {
        // Fields that touch: a wide value fills its field. Every field has the width of the line's
        // length over the columns, values right-aligned.
        const std::string_view row = line.substr(0, row_end);
        const std::size_t shown = fields_.size();
        fields_.clear();
        const std::size_t width = row.size() % columns == 0 ? row.size() / columns : 0;
        for (std::size_t k = 0; width > 0 && k < columns; ++k) {
            const std::string_view field = trim_space(row.substr(k * width, width));
            if (field.empty() || field.find_first_of(" \t") != std::string_view::npos) {
                break;
            }
            fields_.push_back(field);
        }
        if (fields_.size() != columns) {
            throw Error(ErrorKind::subscript_out_of_range,
                        "the line has " + std::to_string(shown) + " values, but the header names " +
                            std::to_string(columns) +
                            " columns, and its fields are not of one width; is "
                            "the file cut short?");
        }
    } else if (fields_.size() > columns) {
        throw Error(ErrorKind::subscript_out_of_range, "the line has " + std::to_string(fields_.size()) +
                                                           " values, but the header names " +
                                                           std::to_string(columns) + " columns");
    }
    rows_->append(fields_);
}

std::unique_ptr<CastParser> SeabirdParser::rows_reader(CastSink& sink) const
{
    // After the header every line is a row or nothing, and a row reaches the sink alone; finish()
    // asks only whether a row came, which one has.
    if (!ended_ || !rows_ || rows_->rows() == 0) {
        return nullptr;
    }
    auto reader = std::make_unique<SeabirdParser>(*this);
    reader->sink_ = &sink;
    reader->rows_->feed(sink);
    return reader;
}

void SeabirdParser::finish()
{
    if (!ended_) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no \"" + std::string(end_marker) +
                                                  "\" line after its header, so it holds no rows");
    }
    if (rows_ && rows_->rows() == 0) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no rows after its header");
    }
    if (stated_rows_) {
        sink_->rows_declared(*stated_rows_); // files cut on upload keep the count of the whole cast
    }
}

} // namespace

const FormatFacts& SeabirdReader::facts() const
{
    return seabird_facts;
}

Evidence SeabirdReader::recognises(std::string_view head) const
{
    if (head.starts_with(first_line_marker)) {
        return Evidence::signature;
    }
    // A file another program wrote, without the instrument's lines: "# nquan" before "*END*".
    const std::size_t end = head.find(end_marker);
    for (std::size_t at = head.find("# nquan"); at != std::string_view::npos && at < end;
         at = head.find("# nquan", at + 1)) {
        if (at == 0 || head[at - 1] == '\n' || head[at - 1] == '\r') {
            return Evidence::layout;
        }
    }
    return Evidence::none;
}

std::unique_ptr<CastParser> SeabirdReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<SeabirdParser>(sink, path);
}

} // namespace quillonde
