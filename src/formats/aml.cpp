#include "formats/aml.h"

#include "depth/seawater.h"
#include "formats/angle.h"
#include "formats/text_cast.h"
#include "runtime/error.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

constexpr FormatFacts aml_facts{
    "aml",
    "AML Oceanographic *.csv",
    "*.csv",
    "AML Base.X and Base.X2 (SeaCast 4, firmware 5 exports)",
    "the [data] or [MeasurementData] rows under their title row, or in the order of the [Slot n] sensors "
    "and the \"C position\" and \"SV position\" lines, the values computed after them (salinity, density, "
    "sound velocity, battery) in the one order their physics allows, the [Instrument]'s type, serial "
    "number and time (else the first row's; zone not stated), the position of [Data.X] (No-Lock: the "
    "[Instrument]'s); a record the instrument "
    "wrote broken keeps its date and time alone",
};

constexpr std::string_view first_section = "[cast header]";
constexpr std::string_view newer_first_section = "[Header]";
constexpr std::string_view newer_data_section = "[MeasurementData]";
// The first rows of a cast without a title row that tell the order of the values computed from the
// sensors', and how far a computed value may stand from the program's own for the same row.
constexpr std::size_t rows_checked = 5;
constexpr double salinity_tolerance = 0.02;
constexpr double sound_tolerance_m_s = 1.0;
constexpr double lightest_water_kg_m3 = 990.0;
constexpr double heaviest_water_kg_m3 = 1060.0;
constexpr std::string_view no_lock = "No-Lock";
constexpr std::string_view yes = "yes";

/// A value of a row, as SeaCast writes it when the file has no title row.
struct Value {
    Quantity quantity = Quantity::other;
    std::string_view source;
    std::string_view unit;
    bool calculated = false;
};

constexpr Value conductivity_value{Quantity::conductivity, "Conductivity", "mS/cm"};
constexpr Value temperature_value{Quantity::temperature, "Temperature", "C"};
constexpr Value pressure_value{Quantity::pressure, "Pressure", "dBar"};
constexpr Value depth_value{Quantity::depth, "Depth", "m"};
constexpr Value sound_value{Quantity::sound, "Sound Velocity", "m/s"};
constexpr Value salinity_value{Quantity::salinity, "Salinity", "PSU", true};
constexpr Value density_value{Quantity::other, "Density", "kg/m3", true};
constexpr Value computed_sound_value{Quantity::sound, "Sound Velocity", "m/s", true};
constexpr Value battery_value{Quantity::other, "Battery", "V"};

/// The type of a sensor in a slot: "SV" of "SV-C-CT.Xchange SV.X SN 206195 01/14/19" (the
/// Xchange port, then the sensor in it).
std::string sensor_type(std::string_view name)
{
    const std::vector<std::string_view> words = fields_of_line(name, ' ');
    for (std::size_t k = 0; k + 1 < words.size(); ++k) {
        const std::string_view word = words[k + 1];
        if (word.size() > 2 && equal_ignoring_case(word.substr(word.size() - 2), ".X") &&
            equal_ignoring_case(words[k].substr(std::max<std::size_t>(words[k].size(), 8) - 8), ".Xchange")) {
            std::string type;
            for (const char c : word.substr(0, word.size() - 2)) {
                type += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            }
            return type;
        }
    }
    return {};
}

/// Whether `text` holds `part`, ASCII letters compared without case.
bool contains_word(std::string_view text, std::string_view part)
{
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (equal_ignoring_case(text.substr(at, part.size()), part)) {
            return true;
        }
    }
    return false;
}

bool looks_like_date(std::string_view field)
{
    return !field.empty() && field.front() >= '0' && field.front() <= '9' &&
           (field.find('-') != std::string_view::npos || field.find('/') != std::string_view::npos);
}

std::vector<std::string_view> split_row(std::string_view line)
{
    if (line.find(',') != std::string_view::npos) {
        return fields_of_line(line, ',');
    }
    std::vector<std::string_view> fields = fields_of_line(line, ' ');
    std::erase_if(fields, [](std::string_view field) { return field.empty(); });
    return fields;
}

class AmlParser : public TextLineParser {
public:
    AmlParser(CastSink& sink, std::string_view path) : sink_(sink), path_(path) {}
    void finish() override;

protected:
    void text_line(std::string_view text) override;

private:
    enum class Section { none, cast_header, instrument, slot, data_x, data, other };
    struct Position {
        std::optional<double> latitude;
        std::optional<double> longitude;
        bool seen = false;
    };
    /// A row held back until the rows that tell the order of the computed values are read.
    struct Held {
        std::string line;
        std::uint64_t number;
    };

    void section_line(std::string_view name);
    void key_line(std::string_view key, std::string_view value);
    void data_line(std::string_view line);
    void name_titled(std::string_view title, const std::vector<std::string_view>& units);
    void name_untitled(const std::vector<std::string_view>& first_row);
    void name_held();
    void add_row(std::string_view line);
    std::vector<Value> sensor_values() const;
    std::vector<Value> ordered_extras(const std::vector<Value>& sensors, std::size_t at,
                                      std::vector<Value> extras) const;

    CastSink& sink_;
    std::string path_;
    Section section_ = Section::none;
    std::uint64_t line_number_ = 0;
    bool depth_in_metres_ = false;
    std::vector<std::string> sensors_;   // types, in slot order
    std::vector<std::string> displayed_; // "Salinity" of "DisplaySalinity=yes"
    std::string date_;                   // of the instrument's start of the cast
    std::string clock_;
    Position instrument_position_;
    Position cast_position_; // of [Data.X]: where the cast was taken
    std::optional<int> c_position_;
    std::optional<int> sv_position_;
    std::optional<int> real_positions_;
    bool data_seen_ = false;
    std::string title_;
    std::vector<std::string> title_fields_; // of a title row waiting for a units row
    std::size_t columns_ = 0;
    std::size_t text_columns_ = 0; // the date and time before the values
    std::vector<Held> held_;
    CastRows rows_{sink_};
};

void AmlParser::text_line(std::string_view text)
{
    ++line_number_; // as TextLineParser counts them
    const std::string_view line = trim_space(text);
    if (line.empty()) {
        return;
    }
    if (line.front() == '[' && line.back() == ']') {
        section_line(line.substr(1, line.size() - 2));
        return;
    }
    if (section_ == Section::data) {
        data_line(line);
    } else if (const auto pair = key_value(line, '=')) {
        key_line(pair->first, pair->second);
    }
}

void AmlParser::section_line(std::string_view name)
{
    name = trim_space(name);
    section_ =
        equal_ignoring_case(name, "cast header") || equal_ignoring_case(name, "Header") ? Section::cast_header
        : equal_ignoring_case(name, "Instrument")                                       ? Section::instrument
        : starts_with_ignoring_case(name, "Slot")                                       ? Section::slot
        : equal_ignoring_case(name, "Data.X")                                           ? Section::data_x
        : equal_ignoring_case(name, "data") || equal_ignoring_case(name, "MeasurementData") ? Section::data
                                                                                            : Section::other;
    if (section_ != Section::data) {
        return;
    }
    if (data_seen_) {
        if (!held_.empty()) {
            name_held(); // the rows of the first cast
        }
        throw Error(ErrorKind::bad_data_file,
                    "a second [" + std::string(name) + "] section: the file holds more than one cast");
    }
    data_seen_ = true;
    // The position the Data.X took with the cast; without a fix there, the one the instrument was
    // given.
    const Position& position =
        cast_position_.latitude && cast_position_.longitude ? cast_position_ : instrument_position_;
    CastInfo& info = sink_.info();
    info.latitude_deg = position.latitude;
    info.longitude_deg = position.longitude;
    info.time = date_and_clock(trim_space(date_), trim_space(clock_));
    if (info.time) {
        info.time->source = "the [Instrument]'s Date and Time";
    }
}

void AmlParser::key_line(std::string_view key, std::string_view value)
{
    CastInfo& info = sink_.info();
    const auto whole = [](std::string_view text) -> std::optional<int> {
        const auto number = number_of(text);
        return number && *number >= 0.0 && *number < 1000.0 ? std::optional<int>(static_cast<int>(*number))
                                                            : std::nullopt;
    };
    const auto take_position = [&](Position& position) {
        if (equal_ignoring_case(key, "Latitude")) {
            position.latitude = equal_ignoring_case(value, no_lock)
                                    ? std::nullopt
                                    : angle_of(value, Axis::latitude, logger_position);
            position.seen = true;
        } else if (equal_ignoring_case(key, "Longitude")) {
            position.longitude = equal_ignoring_case(value, no_lock)
                                     ? std::nullopt
                                     : angle_of(value, Axis::longitude, logger_position);
            position.seen = true;
        }
    };
    const bool instrument_key = equal_ignoring_case(key, "Type") || equal_ignoring_case(key, "Instrument") ||
                                equal_ignoring_case(key, "InstrumentType") ||
                                equal_ignoring_case(key, "Model");
    const bool serial_key = equal_ignoring_case(key, "SN") || equal_ignoring_case(key, "SerialNumber") ||
                            equal_ignoring_case(key, "Serial");
    switch (section_) {
    case Section::cast_header:
        if (equal_ignoring_case(key, "DepthInMeters")) {
            depth_in_metres_ = equal_ignoring_case(value, yes);
        } else if (instrument_key && info.instrument.empty()) {
            info.instrument = value;
        } else if (serial_key && info.serial.empty()) {
            info.serial = value;
        } else if (equal_ignoring_case(key, "Date")) {
            date_ = value;
        } else if (equal_ignoring_case(key, "Time")) {
            clock_ = value;
        } else {
            take_position(instrument_position_);
        }
        return;
    case Section::instrument:
        if (instrument_key) {
            info.instrument = value;
        } else if (serial_key) {
            info.serial = value;
        } else if (equal_ignoring_case(key, "Date")) {
            date_ = value;
        } else if (equal_ignoring_case(key, "Time")) {
            clock_ = value;
        } else if (starts_with_ignoring_case(key, "Display") && equal_ignoring_case(value, yes)) {
            displayed_.emplace_back(key.substr(7));
        } else {
            take_position(instrument_position_);
        }
        return;
    case Section::slot:
        if (equal_ignoring_case(key, "SensorName")) {
            sensors_.push_back(sensor_type(value));
        }
        return;
    case Section::data_x:
        if (equal_ignoring_case(key, "C position")) {
            c_position_ = whole(value);
        } else if (equal_ignoring_case(key, "SV position")) {
            sv_position_ = whole(value);
        } else if (equal_ignoring_case(key, "Real positions")) {
            real_positions_ = whole(value);
        } else {
            take_position(cast_position_);
        }
        return;
    case Section::none:
    case Section::data:
    case Section::other: return;
    }
}

/// Whether a field of a data section is a word: a title, or a unit ("mS/cm", "hh:mm:ss"), not a
/// number or a date.
bool is_word(std::string_view field)
{
    return !field.empty() && (field.front() < '0' || field.front() > '9') && field.front() != '-' &&
           field.front() != '+' && field.front() != '.';
}

void AmlParser::data_line(std::string_view line)
{
    if (!rows_.named() && held_.empty()) {
        const char first = line.front();
        if (!title_fields_.empty()) {
            // After a title row without units in brackets, a row of units may follow.
            const std::vector<std::string_view> units = split_row(line);
            const bool unit_row = std::ranges::all_of(units, [](std::string_view unit) {
                return unit.empty() || is_word(unit) || unit.front() == '(' || unit.front() == '[';
            });
            name_titled(title_, unit_row ? units : std::vector<std::string_view>{});
            if (unit_row) {
                return;
            }
        } else if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) {
            title_ = line;
            const std::vector<std::string_view> fields = split_row(line);
            if (std::ranges::any_of(fields, [](std::string_view field) { return field.ends_with(')'); })) {
                name_titled(line, {});
            } else {
                title_fields_.assign(fields.begin(), fields.end());
            }
            return;
        }
    }
    if (line == title_) {
        return; // the title row repeated among the rows
    }
    if (!rows_.named()) {
        // No title row: the order of the computed values is told by the first rows.
        held_.push_back({std::string(line), line_number_});
        if (held_.size() == rows_checked) {
            name_held();
        }
        return;
    }
    add_row(line);
}

void AmlParser::add_row(std::string_view line)
{
    std::vector<std::string_view> fields = split_row(line);
    if (fields.size() > columns_ &&
        std::any_of(fields.begin() + static_cast<std::ptrdiff_t>(columns_), fields.end(),
                    [](std::string_view field) { return !field.empty(); })) {
        // A record the instrument wrote broken, the start of a later one run into it
        // ("...,-0.24,00-13,11:10:03.65,1540.582,-0000.13"): none of its values can be trusted.
        fields.resize(columns_);
        std::fill(fields.begin() + static_cast<std::ptrdiff_t>(std::min(text_columns_, columns_)),
                  fields.end(), std::string_view());
    }
    rows_.add(fields);
}

void AmlParser::name_held()
{
    try {
        name_untitled(split_row(held_.front().line));
    } catch (const Error& error) {
        throw error.at("line " + std::to_string(held_.front().number));
    }
    const std::vector<Held> held = std::move(held_);
    held_.clear();
    for (const Held& row : held) {
        try {
            add_row(row.line);
        } catch (const Error& error) {
            throw error.at("line " + std::to_string(row.number));
        }
    }
}

/// The names of the newer exports that go on: "TempCT", "TempSV" (the first temperature is taken,
/// the others stay), "SV2", "Calculated SV", "CondCT"; SeaCast's are the common ones.
constexpr QuantityName aml_names[] = {
    {"TEMP", Quantity::temperature, true},   {"SV", Quantity::sound, true},
    {"CALCULATEDSV", Quantity::sound, true}, {"CALCSV", Quantity::sound, true},
    {"COND", Quantity::conductivity, true},
};

void AmlParser::name_titled(std::string_view title, const std::vector<std::string_view>& units)
{
    // "Date,Time,Conductivity (mS/cm),Temperature (C),Pressure (dBar),Battery (V)", or the titles in
    // one row and their units in the next.
    std::vector<ColumnDescription> described;
    const std::vector<std::string_view> fields = split_row(title);
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const std::string_view field = fields[k];
        ColumnDescription column;
        column.source = field;
        std::string_view name = field;
        const std::size_t open = field.rfind('(');
        if (open != std::string_view::npos && field.back() == ')') {
            name = trim_space(field.substr(0, open));
            column.name = name;
            column.unit = trim_space(field.substr(open + 1, field.size() - open - 2));
        } else if (k < units.size()) {
            std::string_view unit = units[k];
            if (unit.size() > 1 && (unit.front() == '(' || unit.front() == '[')) {
                unit = trim_space(unit.substr(1, unit.size() - 2));
            }
            column.unit = unit;
        }
        column.quantity = quantity_named(name, aml_names);
        column.date_time = equal_ignoring_case(name, "Date Time") || equal_ignoring_case(name, "DateTime");
        const bool calculated = contains_word(name, "calc");
        if (calculated) {
            column.conversion = "calculated by the instrument";
        }
        if (column.quantity != Quantity::other && !column.date_time &&
            !known_unit(column.quantity, column.unit) && calculated) {
            // Some exports label a computed value with another column's unit ("mS/cm" for a sound
            // velocity): such a column is kept as it stands, not taken for its quantity.
            column.quantity = Quantity::other;
            column.conversion +=
                "; its unit is none of " + std::string(quantity_words(quantity_named(name, aml_names)));
        }
        described.push_back(std::move(column));
    }
    text_columns_ = 0;
    while (text_columns_ < described.size() && described[text_columns_].quantity == Quantity::other &&
           (equal_ignoring_case(described[text_columns_].source, "Date") ||
            equal_ignoring_case(described[text_columns_].source, "Time") ||
            described[text_columns_].date_time)) {
        ++text_columns_;
    }
    columns_ = described.size();
    title_fields_.clear();
    rows_.name(described, "the title row");
}

std::vector<Value> AmlParser::sensor_values() const
{
    std::vector<Value> values;
    for (const std::string& type : sensors_) {
        if (type == "SV") {
            values.push_back(sound_value);
        } else if (type == "C") {
            values.push_back(conductivity_value);
        } else if (type == "CT") {
            values.push_back(conductivity_value);
            values.push_back(temperature_value);
        } else if (type == "T") {
            values.push_back(temperature_value);
        } else if (type == "P") {
            values.push_back(depth_in_metres_ ? depth_value : pressure_value);
        } else {
            values.push_back({Quantity::other, type.empty() ? std::string_view("Sensor") : type, ""});
        }
    }
    return values;
}

void AmlParser::name_untitled(const std::vector<std::string_view>& first_row)
{
    std::vector<ColumnDescription> described;
    std::size_t at = 0;
    const auto text_column = [&](std::string_view name) {
        ColumnDescription column;
        column.source = name;
        described.push_back(std::move(column));
        ++at;
    };
    if (at < first_row.size() && looks_like_date(first_row[at])) {
        text_column("Date");
    }
    if (at < first_row.size() && first_row[at].find(':') != std::string_view::npos) {
        text_column("Time");
    }
    if (!sink_.info().time && at == 2) {
        sink_.info().time = date_and_clock(trim_space(first_row[0]), trim_space(first_row[1]));
        if (sink_.info().time) {
            sink_.info().time->source = "the first row's date and time";
        }
    }

    std::vector<Value> values = sensor_values();
    const auto names = [](const std::vector<Value>& list) {
        std::string text;
        for (const Value& value : list) {
            text += (text.empty() ? "" : ", ") + std::string(value.source);
        }
        return text.empty() ? std::string("none") : text;
    };
    const auto position_of = [&](Quantity quantity) {
        const auto found = std::ranges::find(values, quantity, &Value::quantity);
        return found == values.end() ? 0 : static_cast<int>(found - values.begin()) + 1;
    };
    const std::pair<std::string_view, std::optional<int>> stated[] = {{"C position", c_position_},
                                                                      {"SV position", sv_position_}};
    const Quantity quantities[] = {Quantity::conductivity, Quantity::sound};
    for (std::size_t k = 0; k < 2; ++k) {
        if (stated[k].second && *stated[k].second != position_of(quantities[k])) {
            throw Error(ErrorKind::bad_data_file, "the header's \"" + std::string(stated[k].first) + " =" +
                                                      std::to_string(*stated[k].second) +
                                                      "\" does not match its slots, which give " +
                                                      names(values));
        }
    }
    if (real_positions_ && static_cast<std::size_t>(*real_positions_) != values.size()) {
        throw Error(ErrorKind::bad_data_file,
                    "the header's \"Real positions =" + std::to_string(*real_positions_) +
                        "\" does not match its slots, which give " + names(values));
    }
    // After the sensors' values, what the instrument computes from them and shows.
    const auto shown = [&](std::string_view what) {
        return std::ranges::any_of(displayed_,
                                   [&](const std::string& name) { return equal_ignoring_case(name, what); });
    };
    const bool ctd = position_of(Quantity::conductivity) > 0 && position_of(Quantity::temperature) > 0 &&
                     (position_of(Quantity::pressure) > 0 || position_of(Quantity::depth) > 0);
    const bool sensed_sound = position_of(Quantity::sound) > 0;
    std::vector<Value> extras;
    if (ctd && shown("Salinity")) {
        extras.push_back(salinity_value);
    }
    if (ctd && shown("Density")) {
        extras.push_back(density_value);
    }
    if (ctd && !sensed_sound && shown("SoundVelocity")) {
        extras.push_back(computed_sound_value);
    }
    if (shown("Battery")) {
        extras.push_back(battery_value);
    }
    if (first_row.size() - at != values.size() + extras.size()) {
        values.insert(values.end(), extras.begin(), extras.end());
        throw Error(ErrorKind::subscript_out_of_range,
                    "the row has " + std::to_string(first_row.size() - at) +
                        " values after its date and time, but the header's slots and display options give " +
                        std::to_string(values.size()) + ": " + names(values));
    }
    extras = ordered_extras(values, at, std::move(extras));
    values.insert(values.end(), extras.begin(), extras.end());
    for (const Value& value : values) {
        ColumnDescription column;
        column.source = value.source;
        column.quantity = value.quantity;
        column.unit = value.unit;
        if (value.calculated) {
            column.conversion = "calculated by the instrument";
        }
        described.push_back(std::move(column));
    }
    text_columns_ = at;
    columns_ = described.size();
    rows_.name(described, "the header's slots");
}

/// The sensors' values of a held row, and the salinity the row gives where it gives one.
struct RowValues {
    double conductivity, temperature, pressure;
    std::optional<double> salinity;
};

/// Whether `value` of a held row agrees with the sensors' values: a salinity with PSS-78 of the
/// conductivity, temperature and pressure, a sound velocity with Chen and Millero's of the
/// salinity, temperature and pressure, a density with water's. Nothing when the row cannot tell.

std::optional<bool> agrees(const Value& value, double number, const RowValues& row)
{
    if (value.source == battery_value.source) {
        return true; // nothing to check a battery's voltage against
    }
    if (value.source == density_value.source) {
        return number >= lightest_water_kg_m3 && number <= heaviest_water_kg_m3;
    }
    try {
        const double salinity = practical_salinity(row.conductivity, row.temperature, row.pressure);
        if (value.quantity == Quantity::salinity) {
            return std::fabs(number - salinity) <= salinity_tolerance;
        }
        if (value.quantity == Quantity::sound) {
            return std::fabs(number - sound_speed(row.salinity.value_or(salinity), row.temperature,
                                                  row.pressure)) <= sound_tolerance_m_s;
        }
    } catch (const Error&) {
        return std::nullopt; // no water the formulas take: the row tells nothing
    }
    return std::nullopt;
}

std::vector<Value> AmlParser::ordered_extras(const std::vector<Value>& sensors, std::size_t at,
                                             std::vector<Value> extras) const
{
    if (extras.size() < 2) {
        return extras; // the only order there is
    }
    const auto index_of = [&](Quantity quantity) {
        const auto found = std::ranges::find(sensors, quantity, &Value::quantity);
        return found == sensors.end() ? std::optional<std::size_t>()
                                      : static_cast<std::size_t>(found - sensors.begin());
    };
    const std::optional<std::size_t> c = index_of(Quantity::conductivity);
    const std::optional<std::size_t> t = index_of(Quantity::temperature);
    const std::optional<std::size_t> p =
        index_of(Quantity::pressure) ? index_of(Quantity::pressure) : index_of(Quantity::depth);
    const auto names = [](const std::vector<Value>& list) {
        std::string text;
        for (const Value& value : list) {
            text += (text.empty() ? "" : ", ") + std::string(value.source);
        }
        return text;
    };
    // Every order of the computed values, tried on the held rows: the one that every row allows.
    std::ranges::sort(extras, {}, &Value::source);
    std::vector<std::vector<Value>> fitting;
    std::size_t telling_rows = 0;
    do {
        bool fits = true;
        telling_rows = 0;
        for (const Held& held : held_) {
            const std::vector<std::string_view> fields = split_row(held.line);
            const auto number = [&](std::size_t k) {
                return k < fields.size() ? number_of(fields[k]) : std::nullopt;
            };
            const auto cv = number(at + *c);
            const auto tv = number(at + *t);
            const auto pv = number(at + *p);
            if (!cv || !tv || !pv) {
                continue;
            }
            RowValues row{*cv, *tv, *pv, std::nullopt};
            for (std::size_t e = 0; e < extras.size(); ++e) {
                if (extras[e].quantity == Quantity::salinity) {
                    row.salinity = number(at + sensors.size() + e);
                }
            }
            bool told = true;
            for (std::size_t e = 0; e < extras.size() && fits; ++e) {
                const auto value = number(at + sensors.size() + e);
                const std::optional<bool> agreed = value ? agrees(extras[e], *value, row) : std::nullopt;
                told = told && agreed.has_value();
                fits = agreed.value_or(true);
            }
            telling_rows += told ? 1U : 0U;
            if (!fits) {
                break;
            }
        }
        if (fits && telling_rows > 0) {
            fitting.push_back(extras);
        }
    } while (std::ranges::next_permutation(extras, {}, &Value::source).found);
    if (fitting.size() == 1) {
        return fitting.front();
    }
    throw Error(ErrorKind::bad_data_file,
                "the file has no title row, and its first rows leave the order of the values after " +
                    names(sensors) + " open: " +
                    (fitting.empty() ? "no order of " + names(extras) + " agrees with the sensors' values"
                                     : std::to_string(fitting.size()) + " orders of " + names(extras) +
                                           " agree with them") +
                    " (salinity by PSS-78, sound velocity by Chen and Millero, density as water's); export "
                    "the cast from SeaCast with its title row");
}

void AmlParser::finish()
{
    if (!held_.empty()) {
        name_held();
    } else if (!rows_.named() && !title_fields_.empty()) {
        name_titled(title_, {});
    }
    if (!data_seen_) {
        throw Error(ErrorKind::bad_data_file,
                    quoted_path(path_) + " has no [data] section, so it holds no cast");
    }
    if (rows_.count() == 0) {
        throw Error(ErrorKind::bad_data_file,
                    quoted_path(path_) + " has no rows in its [data] section, so it holds no cast");
    }
}

} // namespace

const FormatFacts& AmlReader::facts() const
{
    return aml_facts;
}

Evidence AmlReader::recognises(std::string_view head) const
{
    const std::vector<std::string_view> lines = lines_of(head);
    for (const std::string_view line : lines) {
        if (!trim_space(line).empty()) {
            // The newer exports begin "[Header]", as Valeport's files do: their data section tells.
            return signature_if(equal_ignoring_case(trim_space(line), first_section) ||
                                (equal_ignoring_case(trim_space(line), newer_first_section) &&
                                 std::ranges::any_of(lines, [](std::string_view other) {
                                     return equal_ignoring_case(trim_space(other), newer_data_section);
                                 })));
        }
    }
    return Evidence::none;
}

std::unique_ptr<CastParser> AmlReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<AmlParser>(sink, path);
}

} // namespace quillonde
