#include "formats/rbr.h"

#include "formats/angle.h"
#include "formats/text_cast.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

constexpr FormatFacts rbr_facts{
    "rbr",
    "RBR Ruskin *.txt",
    "*.txt",
    "RBR loggers: RBRconcerto, RBRmaestro, RBRduo ... (Ruskin text export, also of Ruskin 1.x)",
    "the channels of the title row, named or by their codes (cond10, temp12, pres08 sea pressure, "
    "pres07 absolute, dpth01, sal_01, sos_01), \"Sea pressure\" as the pressure (or the absolute "
    "\"Pressure\" less "
    "the atmospheric pressure the file states), \"Speed of sound\", the time of the first row (UTC where "
    "its title says so, else zone not stated), the "
    "model, serial and atmospheric pressure of \"key=value\" lines before the title row",
};

constexpr std::string_view time_title = "Time";
constexpr std::string_view absolute_pressure_title = "Pressure";
constexpr std::string_view sea_pressure_title = "Sea pressure";
constexpr std::string_view title_example = "Time,Conductivity,Temperature,Pressure,...,Sea pressure,...";
constexpr std::size_t lines_looked_at = 64;
// The air's pressure at sea level [dbar], and the range a stated one may have: from a lake some
// 4000 m up (about 6 dbar) to the highest ever measured at sea level (10.84 dbar).
constexpr double standard_atmosphere_dbar = 10.1325;
constexpr double lowest_atmosphere_dbar = 5.0;
constexpr double highest_atmosphere_dbar = 11.0;
constexpr std::string_view its90_note = "ITS-90";

/// A title and the unit in brackets after it: "Conductivity (mS/cm)".
struct Title {
    std::string_view name;
    std::string_view unit;
};

Title title_of(std::string_view text)
{
    const std::size_t open = text.find('(');
    if (open == std::string_view::npos || !text.ends_with(')')) {
        return {text, {}};
    }
    return {trim_space(text.substr(0, open)), trim_space(text.substr(open + 1, text.size() - open - 2))};
}

/// The unit Ruskin gives a channel whose title names none.
std::string_view unit_of(std::string_view name)
{
    constexpr std::array<std::pair<std::string_view, std::string_view>, 8> units = {{
        {"Conductivity", "mS/cm"},
        {"Temperature", "\u00B0C"},
        {"Pressure", "dbar"},
        {"Sea pressure", "dbar"},
        {"Depth", "m"},
        {"Salinity", "PSU"},
        {"Speed of sound", "m/s"},
        {"Specific conductivity", "\u00B5S/cm"},
    }};
    const auto found = std::ranges::find(units, name, [](const auto& unit) { return unit.first; });
    return found == units.end() ? std::string_view() : found->second;
}

/// The title of a channel that Ruskin 1.x names by its code, the letters naming the quantity and the
/// digits the channel ("temp12", "sal_01"): "Temperature", "Salinity". A sea pressure is "pres08";
/// any other pressure is absolute. Any other title stands as it is.
std::string_view channel_title(std::string_view title)
{
    const std::size_t digits = title.find_first_of("0123456789");
    if (digits == std::string_view::npos || digits == 0 ||
        title.find_first_not_of("0123456789", digits) != std::string_view::npos) {
        return title;
    }
    std::string_view letters = title.substr(0, digits);
    while (letters.ends_with('_')) {
        letters.remove_suffix(1);
    }
    constexpr std::array<std::pair<std::string_view, std::string_view>, 6> codes = {{
        {"cond", "Conductivity"},
        {"temp", "Temperature"},
        {"pres", absolute_pressure_title},
        {"dpth", "Depth"},
        {"sal", "Salinity"},
        {"sos", "Speed of sound"},
    }};
    if (title == "pres08") {
        return sea_pressure_title;
    }
    const auto found = std::ranges::find(codes, letters, [](const auto& code) { return code.first; });
    return found == codes.end() ? title : found->second;
}

/// Whether a title names the time of the rows: "Time", or Ruskin 1.x's "Date & Time".
bool is_time_title(std::string_view name)
{
    return name == time_title || equal_ignoring_case(name, "Date & Time") ||
           equal_ignoring_case(name, "Date&Time") || equal_ignoring_case(name, "Timestamp");
}

/// A "key=value" line's key, lower case, without blanks, "_" and "-": "serialnumber".
std::string key_of(std::string_view text)
{
    std::string key;
    for (const char c : text) {
        if (c != ' ' && c != '_' && c != '-' && c != '\t') {
            key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return key;
}

/// Whether a title row names the time first and a pressure or depth.
bool is_title_row(std::string_view line)
{
    std::vector<std::string_view> titles;
    comma_fields(line, titles);
    return titles.size() > 1 && is_time_title(title_of(titles[0]).name) &&
           std::ranges::any_of(titles, [](std::string_view title) {
               const std::string_view name = channel_title(title_of(title).name);
               return name == absolute_pressure_title || name == sea_pressure_title || name == "Depth";
           });
}

/// One load of an RBR export.
class RbrParser : public CommaSeparatedParser {
public:
    RbrParser(CastSink& sink, std::string_view path) : CommaSeparatedParser(sink, path, title_example) {}

protected:
    bool header_line(std::string_view line) override;
    std::vector<ColumnReading> columns_of(const std::vector<std::string_view>& titles,
                                          DepthSource& depth) override;
    void first_row(std::span<const std::string_view> fields) override;

private:
    std::optional<double> atmosphere_dbar_;
    std::int32_t time_column_ = -1;
    bool time_utc_ = false;
};

bool RbrParser::header_line(std::string_view line)
{
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || line.find(',') < equals) {
        return false;
    }
    const std::string key = key_of(line.substr(0, equals));
    const std::string_view value = trim_space(line.substr(equals + 1));
    CastInfo& info = sink_.info();
    if (key == "model" || key == "instrument") {
        info.instrument = value;
    } else if (key == "serial" || key == "serialnumber") {
        info.serial = value;
    } else if (key == "latitude") {
        info.latitude_deg = angle_of(value, Axis::latitude, probe_position);
    } else if (key == "longitude") {
        info.longitude_deg = angle_of(value, Axis::longitude, probe_position);
    } else if (key == "atmosphere" || key == "atmosphericpressure") {
        // RBR's loggers call the atmospheric pressure they subtract "atmosphere", in dbar.
        std::string_view number = value;
        if (number.ends_with("dbar")) {
            number = trim_space(number.substr(0, number.size() - 4));
        }
        atmosphere_dbar_ = with_subject("the atmospheric pressure", [&] { return str_to_double(number); });
    }
    return true;
}

std::vector<ColumnReading> RbrParser::columns_of(const std::vector<std::string_view>& titles,
                                                 DepthSource& depth)
{
    std::vector<ColumnFinding> found;
    std::int32_t absolute = -1;
    KnownUnit absolute_unit;
    bool sea_pressure = false;
    for (std::size_t k = 0; k < titles.size(); ++k) {
        const Title title = title_of(titles[k]);
        const std::string_view name = channel_title(title.name);
        const std::string_view unit = title.unit;
        ColumnFinding column =
            ColumnFinding::of(titles[k], without_blanks(title.name), unit.empty() ? unit_of(name) : unit);
        // A title without a unit is in the unit Ruskin gives the channel.
        const auto known = [&](Quantity quantity) {
            const std::optional<KnownUnit> in = known_unit(quantity, column.unit);
            if (!in) {
                throw unknown_unit(k, titles[k], unit);
            }
            return *in;
        };
        const auto take = [&](Quantity quantity) {
            const KnownUnit in = known(quantity);
            column.quantity = in.quantity;
            column.scale = in.scale;
            column.conversion = in.conversion;
        };
        if (is_time_title(name) && k == 0) {
            column.scale = Scale::date_time;
            column.conversion = "the blank between date and time made a \"T\"";
            time_column_ = static_cast<std::int32_t>(k);
            time_utc_ = equal_ignoring_case(unit, "UTC");
        } else if (name == "Conductivity") {
            take(Quantity::conductivity);
        } else if (name == "Temperature") {
            take(Quantity::temperature); // a second one is another sensor's: the first is the CTD's
            column.conversion += (column.conversion.empty() ? "" : "; ") + std::string(its90_note);
        } else if (name == absolute_pressure_title || name == sea_pressure_title) {
            const KnownUnit in = known(Quantity::pressure);
            if (name == sea_pressure_title) {
                take(Quantity::pressure);
                sea_pressure = true;
            } else if (absolute < 0) {
                absolute = static_cast<std::int32_t>(k);
                absolute_unit = in;
                column.conversion = "absolute: sea pressure and the air's";
            }
        } else if (name == "Depth") {
            take(Quantity::depth);
        } else if (name == "Salinity") {
            take(Quantity::salinity);
        } else if (name == "Speed of sound") {
            take(Quantity::sound);
            column.conversion = "Chen-Millero (UNESCO), as the logger derives it";
        }
        found.push_back(std::move(column));
    }
    if (!sea_pressure && absolute >= 0) {
        // An absolute pressure is never taken for a sea pressure: it is one only less the air's.
        if (!atmosphere_dbar_) {
            throw Error(ErrorKind::bad_data_file,
                        "the title row names the absolute \"Pressure\" but no \"Sea pressure\", and the file "
                        "states no atmospheric pressure (\"atmosphere=10.1325\"), so the cast gives no "
                        "depths; export it from Ruskin with \"Sea pressure\"");
        }
        // 101325 (Pa), 1013.25 (hPa) or 14.7 (psi) taken for dbar would put every depth kilometres
        // off: such a statement is doubted, and the air's standard pressure subtracted instead.
        double atmosphere_dbar = *atmosphere_dbar_;
        if (!(atmosphere_dbar >= lowest_atmosphere_dbar && atmosphere_dbar <= highest_atmosphere_dbar)) {
            sink_.info().doubts.push_back(
                "The file states the atmospheric pressure " + double_to_str(atmosphere_dbar) +
                ", far from about 10.1 dbar: the standard " + double_to_str(standard_atmosphere_dbar) +
                " dbar was subtracted from the absolute pressures instead.");
            atmosphere_dbar = standard_atmosphere_dbar;
        }
        ColumnFinding& pressure = found[static_cast<std::size_t>(absolute)];
        pressure.quantity = absolute_unit.quantity;
        pressure.scale = absolute_unit.scale == Scale::as_given ? Scale::minus : absolute_unit.scale;
        pressure.offset = atmosphere_dbar;
        pressure.conversion = std::string(absolute_unit.conversion) +
                              (absolute_unit.conversion.empty() ? "" : "; ") + "absolute pressure - " +
                              double_to_str(atmosphere_dbar) + " dbar";
    }
    return readings_of(found, depth);
}

void RbrParser::first_row(std::span<const std::string_view> fields)
{
    if (time_column_ >= 0) {
        if (auto when = iso_date_time(fields[static_cast<std::size_t>(time_column_)])) {
            if (time_utc_) {
                when->zone = TimeZone::utc;
            }
            when->source = "the first row's time";
            sink_.info().time = std::move(when);
        }
    }
}

} // namespace

const FormatFacts& RbrReader::facts() const
{
    return rbr_facts;
}

Evidence RbrReader::recognises(std::string_view head) const
{
    // "key=value" lines may come first; the first other line is the title row.
    std::size_t begin = 0;
    for (std::size_t lines = 0; lines < lines_looked_at && begin < head.size(); ++lines) {
        const std::size_t end = std::min(head.find_first_of("\r\n", begin), head.size());
        const std::string_view line = trim_space(head.substr(begin, end - begin));
        begin = end + 1;
        if (line.empty()) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || line.find(',') < equals) {
            return is_title_row(line) ? Evidence::layout : Evidence::none;
        }
    }
    return Evidence::none;
}

std::unique_ptr<CastParser> RbrReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<RbrParser>(sink, path);
}

} // namespace quillonde
