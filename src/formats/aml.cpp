#include "formats/aml.h"

#include "formats/text_cast.h"
#include "runtime/error.h"

#include <algorithm>
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
    "AML Base.X and Base.X2 (SeaCast)",
    "the [data] rows under their title row, or in the order of the [Slot n] sensors and the \"C position\" "
    "and \"SV position\" lines, the [Instrument]'s type, serial number and time, the position of [Data.X] "
    "(No-Lock: none)",
};

constexpr std::string_view first_section = "[cast header]";
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

    void section_line(std::string_view name);
    void key_line(std::string_view key, std::string_view value);
    void data_line(std::string_view line);
    void name_titled(std::string_view title);
    void name_untitled(const std::vector<std::string_view>& first_row);
    std::vector<Value> sensor_values() const;

    CastSink& sink_;
    std::string path_;
    Section section_ = Section::none;
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
    CastRows rows_{sink_};
};

void AmlParser::text_line(std::string_view text)
{
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
    section_ = equal_ignoring_case(name, "cast header")  ? Section::cast_header
               : equal_ignoring_case(name, "Instrument") ? Section::instrument
               : starts_with_ignoring_case(name, "Slot") ? Section::slot
               : equal_ignoring_case(name, "Data.X")     ? Section::data_x
               : equal_ignoring_case(name, "data")       ? Section::data
                                                         : Section::other;
    if (section_ != Section::data) {
        return;
    }
    if (data_seen_) {
        throw Error(ErrorKind::bad_data_file, "a second [data] section: the file holds more than one cast");
    }
    data_seen_ = true;
    // The position the Data.X took with the cast, else the one the instrument was given.
    const Position& position = cast_position_.seen ? cast_position_ : instrument_position_;
    CastInfo& info = sink_.info();
    info.latitude_deg = position.latitude;
    info.longitude_deg = position.longitude;
    info.time = date_time_of(date_, clock_);
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
            position.latitude = equal_ignoring_case(value, no_lock) ? std::nullopt : angle_of(value, 90.0);
            position.seen = true;
        } else if (equal_ignoring_case(key, "Longitude")) {
            position.longitude = equal_ignoring_case(value, no_lock) ? std::nullopt : angle_of(value, 180.0);
            position.seen = true;
        }
    };
    switch (section_) {
    case Section::cast_header:
        if (equal_ignoring_case(key, "DepthInMeters")) {
            depth_in_metres_ = equal_ignoring_case(value, yes);
        }
        return;
    case Section::instrument:
        if (equal_ignoring_case(key, "Type")) {
            info.instrument = value;
        } else if (equal_ignoring_case(key, "SN")) {
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

void AmlParser::data_line(std::string_view line)
{
    if (!rows_.named()) {
        const char first = line.front();
        if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) {
            title_ = line;
            name_titled(line);
            return;
        }
        name_untitled(split_row(line));
    }
    if (line == title_) {
        return; // the title row repeated among the rows
    }
    rows_.add(split_row(line));
}

void AmlParser::name_titled(std::string_view title)
{
    // "Date,Time,Conductivity (mS/cm),Temperature (C),Pressure (dBar),Battery (V)"
    std::vector<ColumnDescription> described;
    for (const std::string_view field : split_row(title)) {
        ColumnDescription column;
        column.source = field;
        std::string_view name = field;
        const std::size_t open = field.rfind('(');
        if (open != std::string_view::npos && field.back() == ')') {
            name = trim_space(field.substr(0, open));
            column.name = name;
            column.unit = trim_space(field.substr(open + 1, field.size() - open - 2));
        }
        column.quantity = quantity_named(name);
        described.push_back(std::move(column));
    }
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
        sink_.info().time = date_time_of(first_row[0], first_row[1]);
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
    if (ctd && shown("Salinity")) {
        values.push_back(salinity_value);
    }
    if (ctd && shown("Density")) {
        values.push_back(density_value);
    }
    if (ctd && !sensed_sound && shown("SoundVelocity")) {
        values.push_back(computed_sound_value);
    }
    if (shown("Battery")) {
        values.push_back(battery_value);
    }
    if (first_row.size() - at != values.size()) {
        throw Error(ErrorKind::subscript_out_of_range,
                    "the row has " + std::to_string(first_row.size() - at) +
                        " values after its date and time, but the header's slots and display options give " +
                        std::to_string(values.size()) + ": " + names(values));
    }
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
    rows_.name(described, "the header's slots");
}

void AmlParser::finish()
{
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
    for (const std::string_view line : head_lines(head, 8)) {
        if (!trim_space(line).empty()) {
            return signature_if(equal_ignoring_case(trim_space(line), first_section));
        }
    }
    return Evidence::none;
}

std::unique_ptr<CastParser> AmlReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<AmlParser>(sink, path);
}

} // namespace quillonde
