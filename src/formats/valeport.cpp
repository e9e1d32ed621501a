#include "formats/valeport.h"

#include "formats/angle.h"
#include "formats/text_cast.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

constexpr FormatFacts vp2_facts{
    "vp2",
    "Valeport SWiFT and RapidPro *.vp2",
    "*.vp2",
    "Valeport SWiFT SVP and CTD, RapidPro (Valeport Connect, Ocean and the SWiFT app)",
    "the [DATA] columns with their units (an absolute pressure less the file's tare), the [HEADER]'s "
    "instrument, serial number, start time (DataStartTime, the instrument's clock, zone not stated) and "
    "position (999: none)",
};

constexpr FormatFacts text_facts{
    "valeport",
    "Valeport Mini, Rapid and MIDAS *.TXT *.000",
    "*.TXT *.000",
    "Valeport MiniSVP, MiniCTD, RapidSV, RapidSVT, RapidCTD, MIDAS SVX2 (DataLog)",
    "pressure [dbar] or depth [m] as \"Pressure units:\" or the title row says, the probe's "
    "temperature, sound velocity or conductivity (a MIDAS title row's units also where written before "
    "the names; none: m/s and \u00b0C), the header's instrument, serial number, time (\"Now:\" or \"Time "
    "Stamp\", the instrument's clock, zone not stated) and position",
};

// The SWiFT's files: "Latitude=999" has no fix; the pressure is absolute until
// "PressureTareSubtracted=1" says the tare was taken off.
constexpr std::string_view header_section = "[HEADER]";
constexpr std::string_view columns_section = "[COLUMNS]";
constexpr std::string_view data_section = "[DATA]";
constexpr double standard_atmosphere_dbar = 10.1325;
// Valeport writes the unit of conductivity "mS/M", yet the values are mS/cm, as the salinity of
// the same rows shows.
constexpr std::string_view valeport_conductivity_unit = "mS/M";

bool is_date_time_name(std::string_view name)
{
    return equal_ignoring_case(name, "Date/Time") || equal_ignoring_case(name, "Date / Time") ||
           equal_ignoring_case(name, "DateTime");
}

/// A date and time as "2019/03/12 15:58:25", read from `source` on the instrument's clock, or nothing.
std::optional<CastTime> time_of(std::string_view text, std::string_view source = {})
{
    text = trim_space(text);
    const std::size_t blank = text.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        return std::nullopt;
    }
    auto time = date_and_clock(text.substr(0, blank), trim_space(text.substr(blank)));
    if (time) {
        time->source = source;
    }
    return time;
}

/// Fields of a data line: TAB-separated, or blank-separated in a line without a TAB.
std::vector<std::string_view> row_fields(std::string_view line)
{
    if (line.find('\t') != std::string_view::npos) {
        return fields_of_line(line, '\t');
    }
    std::vector<std::string_view> fields = fields_of_line(line, ' ');
    std::erase_if(fields, [](std::string_view field) { return field.empty(); });
    return fields;
}

// --- *.vp2 -----------------------------------------------------------------------------------

class Vp2Parser : public TextLineParser {
public:
    Vp2Parser(CastSink& sink, std::string_view path) : sink_(sink), path_(path) {}
    void finish() override;

protected:
    void text_line(std::string_view text) override;

private:
    enum class Section { none, header, columns, data, other };
    struct Declared {
        std::string name;
        std::string unit;
        bool calculated = false;
    };

    void header_line(std::string_view key, std::string_view value);
    void data_line(std::string_view text);
    void name_columns(const std::vector<std::string_view>& units);
    const Declared* declared(std::string_view name) const;

    CastSink& sink_;
    std::string path_;
    Section section_ = Section::none;
    std::optional<double> tare_dbar_;
    std::optional<bool> tare_subtracted_;
    std::optional<std::int64_t> row_count_;
    std::vector<Declared> declared_;
    std::vector<std::string> title_;
    std::string title_line_;
    std::string units_line_;
    bool units_expected_ = false;
    CastRows rows_{sink_};
};

void Vp2Parser::text_line(std::string_view text)
{
    const std::string_view line = trim_space(text);
    if (line.empty()) {
        return;
    }
    if (line.front() == '[' && line.back() == ']') {
        section_ = equal_ignoring_case(line, header_section)    ? Section::header
                   : equal_ignoring_case(line, columns_section) ? Section::columns
                   : equal_ignoring_case(line, data_section)    ? Section::data
                                                                : Section::other;
        if (!title_.empty() && section_ != Section::other) {
            throw Error(ErrorKind::bad_data_file,
                        "a second " + quillonde::quoted(line) +
                            " section after the rows: the file holds more than one cast");
        }
        return;
    }
    switch (section_) {
    case Section::header:
        if (const auto pair = key_value(line, '=')) {
            header_line(pair->first, pair->second);
        }
        return;
    case Section::columns:
        if (const auto pair = key_value(line, '=')) {
            // "Pressure=Float;dBar;" and "Salinity=Float;PSU;Calculated"
            const std::vector<std::string_view> parts = fields_of_line(pair->second, ';');
            declared_.push_back({std::string(pair->first), std::string(parts.size() > 1 ? parts[1] : ""),
                                 parts.size() > 2 && equal_ignoring_case(parts[2], "Calculated")});
        }
        return;
    case Section::data: data_line(text); return;
    case Section::none:
    case Section::other: return;
    }
}

void Vp2Parser::header_line(std::string_view key, std::string_view value)
{
    CastInfo& info = sink_.info();
    if (equal_ignoring_case(key, "Instrument")) {
        info.instrument = value;
    } else if (equal_ignoring_case(key, "SerialNumber")) {
        info.serial = value;
    } else if (equal_ignoring_case(key, "Latitude")) {
        info.latitude_deg = angle_of(value, Axis::latitude, logger_position);
    } else if (equal_ignoring_case(key, "Longitude")) {
        info.longitude_deg = angle_of(value, Axis::longitude, logger_position);
    } else if (equal_ignoring_case(key, "DataStartTime") || equal_ignoring_case(key, "DateStartTime")) {
        info.time = time_of(value, key);
    } else if (equal_ignoring_case(key, "PressureTareDbar")) {
        tare_dbar_ = number_of(value);
    } else if (equal_ignoring_case(key, "PressureTareSubtracted")) {
        tare_subtracted_ = value != "0";
    } else if (equal_ignoring_case(key, "RowCount")) {
        if (const auto count = number_of(value); count && *count >= 0.0 && *count < 1e15) {
            row_count_ = static_cast<std::int64_t>(*count);
        }
    }
}

const Vp2Parser::Declared* Vp2Parser::declared(std::string_view name) const
{
    const auto found = std::ranges::find_if(
        declared_, [&](const Declared& column) { return equal_ignoring_case(column.name, name); });
    return found == declared_.end() ? nullptr : &*found;
}

void Vp2Parser::data_line(std::string_view text)
{
    const std::string_view line = trim_space(text);
    if (title_.empty()) {
        for (const std::string_view name : fields_of_line(text, '\t')) {
            title_.emplace_back(name);
        }
        title_line_ = line;
        units_expected_ = true;
        return;
    }
    if (line == title_line_ || line == units_line_) {
        return; // a title or units row repeated among the rows
    }
    const std::vector<std::string_view> fields = fields_of_line(text, '\t');
    if (units_expected_) {
        units_expected_ = false;
        // The units row: no field of it a number, and not a date ("2019/03/12 15:58:25.000").
        const bool units = std::ranges::none_of(fields, [](std::string_view field) {
            return number_of(field).has_value() || time_of(field).has_value();
        });
        if (units) {
            units_line_ = line;
            name_columns(fields);
            return;
        }
        name_columns({});
    }
    rows_.add(fields);
}

void Vp2Parser::name_columns(const std::vector<std::string_view>& units)
{
    std::vector<ColumnDescription> described;
    for (std::size_t k = 0; k < title_.size(); ++k) {
        const Declared* declaration = declared(title_[k]);
        ColumnDescription column;
        column.source = title_[k];
        column.quantity = quantity_named(title_[k]);
        column.unit = k < units.size() && !units[k].empty() ? std::string(units[k])
                      : declaration != nullptr              ? declaration->unit
                                                            : std::string();
        column.date_time = is_date_time_name(title_[k]);
        if (declaration != nullptr && declaration->calculated) {
            column.conversion = "calculated by the instrument's software";
        }
        if (column.quantity == Quantity::conductivity && column.unit == valeport_conductivity_unit) {
            column.unit = ms_cm_unit;
            column.conversion += std::string(column.conversion.empty() ? "" : "; ") + "the file's \"" +
                                 std::string(valeport_conductivity_unit) + "\" taken as mS/cm";
        }
        if (column.quantity == Quantity::pressure) {
            if (tare_subtracted_ == false) {
                const double tare = tare_dbar_.value_or(standard_atmosphere_dbar);
                column.pressure_offset = -tare;
                column.offset_note = "absolute pressure - " + double_to_str(tare) + " dbar";
            } else if (tare_dbar_) {
                column.offset_note = "sea pressure: the instrument took off its tare of " +
                                     double_to_str(*tare_dbar_) + " dbar";
            }
        }
        described.push_back(std::move(column));
    }
    rows_.name(described, "the [DATA] title row");
}

void Vp2Parser::finish()
{
    if (title_.empty()) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no [DATA] section with a title row, "
                                                                   "so it holds no cast");
    }
    if (!rows_.named()) {
        name_columns({});
    }
    if (rows_.count() == 0) {
        throw Error(ErrorKind::bad_data_file, quoted_path(path_) + " has no rows under its [DATA] title row, "
                                                                   "so it holds no cast");
    }
    if (row_count_) {
        sink_.rows_declared(*row_count_);
    }
}

// --- *.TXT and *.000 ---------------------------------------------------------------------------

// The Mini and Rapid series: "Now: 18/07/2016 20:53:53", "RapidSVT: S/N 53615", "Latitude: 59.3",
// "Tare: 10.1256", "Pressure units: dBar" (or m), then rows.
constexpr std::string_view now_key = "Now";
constexpr std::string_view serial_prefix = "S/N";
constexpr std::string_view units_key = "Pressure units";
constexpr std::string_view tare_key = "Tare";
// The MIDAS series: "Model Name :<TAB>MIDAS SVX2 3000", "Serial No. :<TAB>40710",
// "Time Stamp :<TAB>...", then "Date / Time<TAB>SOUND VELOCITY;M/SEC<TAB>PRESSURE;DBAR<TAB>...".
constexpr std::string_view model_key = "Model Name";
constexpr std::string_view midas_serial_key = "Serial No.";
constexpr std::string_view stamp_key = "Time Stamp";
constexpr std::string_view midas_title_start = "Date / Time";

constexpr std::string_view midas_no_unit_note = "the title row names no unit: ";

/// Whether every unit of a MIDAS title row stands one column early, as some firmware writes it:
/// "SOUND VELOCITY;DBAR<TAB>PRESSURE;C<TAB>TEMPERATURE;" gives the pressure in dbar and the
/// temperature in C. So where the last column has no unit and each unit fits the next column's
/// quantity, one of them not its own.
bool units_shifted(const std::vector<ColumnDescription>& described)
{
    std::size_t first = 0;
    while (first < described.size() && described[first].date_time) {
        ++first;
    }
    if (described.size() < first + 2 || !described.back().unit.empty()) {
        return false;
    }
    bool misplaced = false;
    for (std::size_t k = first; k + 1 < described.size(); ++k) {
        const std::string& unit = described[k].unit;
        const Quantity next = described[k + 1].quantity;
        if (unit.empty() || (next != Quantity::other && !known_unit(next, unit))) {
            return false;
        }
        misplaced = misplaced ||
                    (described[k].quantity != Quantity::other && !known_unit(described[k].quantity, unit));
    }
    return misplaced;
}

/// Puts the units of a title row that units_shifted finds each under its own column.
void shift_midas_units(std::vector<ColumnDescription>& described)
{
    if (!units_shifted(described)) {
        return;
    }
    std::string unit; // the unit of the column before: none for the first
    for (ColumnDescription& column : described) {
        if (!column.date_time) {
            std::swap(unit, column.unit);
            if (!column.unit.empty()) {
                column.conversion =
                    "the unit written before its name (\"" + column.unit + " " + column.name + "\")";
            }
        }
    }
}

/// Whether a line is the title row of a MIDAS file: TAB-separated "NAME;UNIT" fields.
bool is_midas_title(std::string_view line)
{
    const std::vector<std::string_view> fields = fields_of_line(line, '\t');
    return starts_with_ignoring_case(trim_space(line), midas_title_start) ||
           (fields.size() > 1 && std::ranges::count_if(fields, [](std::string_view field) {
                                     return field.find(';') != std::string_view::npos;
                                 }) > 1);
}

class ValeportTextParser : public TextLineParser {
public:
    ValeportTextParser(CastSink& sink, std::string_view path) : sink_(sink), path_(path) {}
    void finish() override;

protected:
    void text_line(std::string_view text) override;

private:
    void header_line(std::string_view key, std::string_view value);
    void name_mini_columns(std::size_t fields);
    void name_midas_columns(std::string_view title);

    CastSink& sink_;
    std::string path_;
    std::string instrument_;
    std::optional<double> tare_dbar_;
    std::string first_unit_; // of the Mini series' first column
    std::string midas_title_;
    CastRows rows_{sink_};
};

void ValeportTextParser::text_line(std::string_view text)
{
    const std::string_view line = trim_space(text);
    if (line.empty()) {
        return;
    }
    if (!midas_title_.empty()) {
        if (line != midas_title_) { // a title row repeated among the rows is skipped
            rows_.add(fields_of_line(text, '\t'));
        }
        return;
    }
    // A data row begins with the pressure or depth; a header line with its key.
    const std::vector<std::string_view> fields = row_fields(line);
    if (number_of(fields.front())) {
        if (!rows_.named()) {
            name_mini_columns(fields.size());
        }
        rows_.add(fields);
        return;
    }
    if (rows_.named()) {
        throw Error(ErrorKind::bad_data_file, "the line " + quillonde::quoted(line) +
                                                  " is not a row of numbers, as the rows before it are");
    }
    if (is_midas_title(line)) {
        name_midas_columns(line);
        return;
    }
    if (const auto pair = key_value(line, ':')) {
        header_line(pair->first, pair->second);
    }
}

void ValeportTextParser::header_line(std::string_view key, std::string_view value)
{
    CastInfo& info = sink_.info();
    if (starts_with_ignoring_case(value, serial_prefix)) { // "MiniSVP: S/N 34826"
        instrument_ = key;
        info.instrument = key;
        info.serial = trim_space(value.substr(serial_prefix.size()));
    } else if (equal_ignoring_case(key, model_key)) {
        instrument_ = value;
        info.instrument = value;
    } else if (equal_ignoring_case(key, midas_serial_key)) {
        info.serial = value;
    } else if (equal_ignoring_case(key, now_key) || equal_ignoring_case(key, stamp_key)) {
        info.time = time_of(value, std::string("the \"") + std::string(key) + "\" line");
    } else if (equal_ignoring_case(key, "Latitude") || equal_ignoring_case(key, "Lat")) {
        info.latitude_deg = angle_of(value, Axis::latitude, logger_position);
    } else if (equal_ignoring_case(key, "Longitude") || equal_ignoring_case(key, "Longtitude") ||
               equal_ignoring_case(key, "Long") || equal_ignoring_case(key, "Lon")) {
        info.longitude_deg = angle_of(value, Axis::longitude, logger_position);
    } else if (equal_ignoring_case(key, tare_key)) {
        tare_dbar_ = number_of(value);
    } else if (equal_ignoring_case(key, units_key)) {
        first_unit_ = value;
    }
}

void ValeportTextParser::name_mini_columns(std::size_t fields)
{
    std::string upper;
    for (const char c : instrument_) {
        upper += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    // After the pressure or depth, as the probe's manual orders them.
    std::vector<Quantity> after;
    if (upper.find("CTD") != std::string::npos) {
        after = {Quantity::temperature, Quantity::conductivity};
    } else if (upper.find("SVP") != std::string::npos || upper.find("SVT") != std::string::npos) {
        after = {Quantity::temperature, Quantity::sound};
    } else if (upper.find("SV") != std::string::npos) {
        after =
            fields == 2 ? std::vector{Quantity::sound} : std::vector{Quantity::temperature, Quantity::sound};
    } else if (upper.find("TIDE") != std::string::npos) {
        after = {Quantity::temperature};
    } else {
        throw Error(ErrorKind::bad_data_file,
                    instrument_.empty()
                        ? "the header names no probe (a line such as \"MiniSVP: S/N 34826\"), so the columns "
                          "of the rows are unknown"
                        : "the header names the probe " + quillonde::quoted(instrument_) +
                              ", whose columns the program does not know");
    }
    if (fields != after.size() + 1) {
        throw Error(ErrorKind::subscript_out_of_range, "the line has " + std::to_string(fields) +
                                                           " values, but a " + instrument_ + " writes " +
                                                           std::to_string(after.size() + 1));
    }
    std::vector<ColumnDescription> described(1);
    described[0].source = "pressure";
    described[0].quantity = Quantity::pressure;
    described[0].unit = first_unit_.empty() ? std::string(dbar_unit) : first_unit_;
    if (first_unit_.empty()) {
        described[0].conversion = "no \"Pressure units:\" line: taken as dbar";
    }
    if (tare_dbar_) {
        described[0].offset_note =
            "sea pressure: the probe took off its tare of " + double_to_str(*tare_dbar_) + " dbar";
    }
    for (const Quantity quantity : after) {
        ColumnDescription column;
        column.source = quantity_words(quantity).substr(2); // "temperature"
        column.quantity = quantity;
        column.unit = quantity == Quantity::temperature ? celsius_unit
                      : quantity == Quantity::sound     ? m_s_unit
                                                        : ms_cm_unit;
        described.push_back(std::move(column));
    }
    rows_.name(described, "the header");
}

void ValeportTextParser::name_midas_columns(std::string_view title)
{
    midas_title_ = title;
    std::vector<ColumnDescription> described;
    bool measured_sound = false;
    for (const std::string_view field : fields_of_line(title, '\t')) {
        const std::size_t semicolon = field.find(';');
        ColumnDescription column;
        column.source = field;
        const std::string_view name = trim_space(field.substr(0, semicolon));
        column.name = name;
        column.unit = semicolon == std::string_view::npos ? "" : trim_space(field.substr(semicolon + 1));
        column.quantity = quantity_named(name);
        column.date_time = is_date_time_name(name);
        measured_sound = measured_sound || column.quantity == Quantity::sound;
        if (starts_with_ignoring_case(name, "Calc.")) {
            column.conversion = "calculated by the instrument's software";
            column.quantity = quantity_named(trim_space(name.substr(5)));
        }
        described.push_back(std::move(column));
    }
    shift_midas_units(described);
    for (ColumnDescription& column : described) {
        // The sound velocity the probe calculates stands in only for one it does not measure.
        if (measured_sound && column.quantity == Quantity::sound && !column.conversion.empty()) {
            column.quantity = Quantity::other;
        }
        // A name without a unit: the one unit a Valeport sensor of sound or temperature writes in.
        // A pressure is written in dbar or in metres, so it needs its unit.
        if (column.unit.empty() &&
            (column.quantity == Quantity::sound || column.quantity == Quantity::temperature)) {
            column.unit = column.quantity == Quantity::sound ? m_s_unit : celsius_unit;
            column.conversion += std::string(column.conversion.empty() ? "" : "; ") +
                                 std::string(midas_no_unit_note) + std::string(column.unit);
        } else if (column.unit.empty() && column.quantity != Quantity::other) {
            throw Error(ErrorKind::bad_data_file, "the title row's " + quillonde::quoted(column.source) +
                                                      " names no unit, and " +
                                                      std::string(quantity_words(column.quantity)) +
                                                      " may be written in more than one");
        }
    }
    rows_.name(described, "the title row");
}

void ValeportTextParser::finish()
{
    if (rows_.count() == 0) {
        throw Error(ErrorKind::bad_data_file,
                    quoted_path(path_) + " has no rows after its header, so it holds no cast");
    }
}

} // namespace

const FormatFacts& Vp2Reader::facts() const
{
    return vp2_facts;
}

Evidence Vp2Reader::recognises(std::string_view head) const
{
    const std::vector<std::string_view> lines = lines_of(head);
    for (const std::string_view line : lines) {
        if (!trim_space(line).empty()) {
            // AML's newer exports begin "[Header]" too, and hold a [MeasurementData] section.
            return signature_if(equal_ignoring_case(trim_space(line), header_section) &&
                                std::ranges::none_of(lines, [](std::string_view other) {
                                    return equal_ignoring_case(trim_space(other), "[MeasurementData]");
                                }));
        }
    }
    return Evidence::none;
}

std::unique_ptr<CastParser> Vp2Reader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<Vp2Parser>(sink, path);
}

const FormatFacts& ValeportTextReader::facts() const
{
    return text_facts;
}

Evidence ValeportTextReader::recognises(std::string_view head) const
{
    bool now = false;
    bool serial = false;
    bool model = false;
    for (const std::string_view line : lines_of(head, 60)) {
        const auto pair = key_value(line, ':');
        if (pair && equal_ignoring_case(pair->first, units_key)) {
            return Evidence::signature;
        }
        now = now || (pair && equal_ignoring_case(pair->first, now_key));
        serial = serial || (pair && starts_with_ignoring_case(pair->second, serial_prefix));
        model = model || (pair && equal_ignoring_case(pair->first, model_key));
        if (model && starts_with_ignoring_case(line, midas_title_start) &&
            line.find('\t') != std::string_view::npos) {
            return Evidence::signature;
        }
    }
    return signature_if(now && serial);
}

std::unique_ptr<CastParser> ValeportTextReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<ValeportTextParser>(sink, path);
}

} // namespace quillonde
