#include "formats/castaway.h"

#include "formats/angle.h"
#include "formats/text_cast.h"
#include "runtime/error.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

constexpr FormatFacts castaway_facts{
    "castaway",
    "SonTek CastAway *.csv",
    "*.csv",
    "SonTek CastAway-CTD (CastAway-CTD software export)",
    "the columns of the title row, conductivity in uS/cm / 1000, the device, the cast time (UTC; else "
    "the local time, zone not stated) and the start position (else the end's) of the \"%\" header lines",
};

constexpr std::string_view instrument_name = "CastAway-CTD";
constexpr std::string_view device_key = "Device";
constexpr std::string_view title_example = "Pressure (Decibar),Depth (Meter),Temperature (Celsius),...";

/// The unit words of the title row, as the program writes the units.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> unit_words = {{
    {"Decibar", "dbar"},
    {"Meter", "m"},
    {"Celsius", "\u00B0C"},
    {"MicroSiemens per Centimeter", "\u00B5S/cm"},
    {"MilliSiemens per Centimeter", "mS/cm"},
    {"Siemens per Meter", "S/m"},
    {"Practical Salinity Scale", "PSU"},
    {"Meters per Second", "m/s"},
    {"Kilograms per Cubic Meter", "kg/m\u00B3"},
    {"Seconds", "s"},
}};

std::string_view unit_symbol(std::string_view words)
{
    for (const auto& [written, symbol] : unit_words) {
        if (equal_ignoring_case(words, written)) {
            return symbol;
        }
    }
    return words;
}

/// One load of a CastAway export.
class CastawayParser : public CommaSeparatedParser {
public:
    CastawayParser(CastSink& sink, std::string_view path) : CommaSeparatedParser(sink, path, title_example) {}

protected:
    bool header_line(std::string_view line) override;
    std::vector<ColumnReading> columns_of(const std::vector<std::string_view>& titles,
                                          DepthSource& depth) override;

private:
    std::optional<CastTime> local_time_;
    std::optional<double> end_latitude_, end_longitude_;
};

bool CastawayParser::header_line(std::string_view line)
{
    if (!line.starts_with('%')) {
        return false;
    }
    // "% Start latitude,-36.2199169"
    const std::string_view text = line.substr(1);
    const std::size_t comma = text.find(',');
    const std::string_view key = trim_space(text.substr(0, comma));
    const std::string_view value = comma == std::string_view::npos ? "" : trim_space(text.substr(comma + 1));
    CastInfo& info = sink_.info();
    if (key == device_key) {
        info.instrument = instrument_name;
        info.serial = value;
    } else if (key == "Cast time (UTC)") {
        if (auto when = iso_date_time(value)) {
            when->zone = TimeZone::utc;
            when->source = key;
            info.time = std::move(when);
        }
    } else if (key == "Cast time (local)") {
        if (auto when = iso_date_time(value)) {
            when->source = key;
            local_time_ = std::move(when);
        }
    } else if (key == "Start latitude") {
        info.latitude_deg = angle_of(value, Axis::latitude, probe_position);
    } else if (key == "Start longitude") {
        info.longitude_deg = angle_of(value, Axis::longitude, probe_position);
    } else if (key == "End latitude") {
        end_latitude_ = angle_of(value, Axis::latitude, probe_position);
    } else if (key == "End longitude") {
        end_longitude_ = angle_of(value, Axis::longitude, probe_position);
    }
    return true;
}

std::vector<ColumnReading> CastawayParser::columns_of(const std::vector<std::string_view>& titles,
                                                      DepthSource& depth)
{
    CastInfo& info = sink_.info();
    if (!info.time) {
        info.time = local_time_;
    }
    if (!info.latitude_deg && !info.longitude_deg) { // no fix at the start: the end's, if any
        info.latitude_deg = end_latitude_;
        info.longitude_deg = end_longitude_;
    }
    std::vector<ColumnFinding> found;
    for (std::size_t k = 0; k < titles.size(); ++k) {
        // "Conductivity (MicroSiemens per Centimeter)"
        const std::string_view title = titles[k];
        const std::size_t open = title.find(" (");
        const std::string_view name = title.substr(0, open);
        const std::string_view words = open == std::string_view::npos || !title.ends_with(')')
                                           ? ""
                                           : title.substr(open + 2, title.size() - open - 3);
        const std::string_view unit = unit_symbol(words);
        ColumnFinding column = ColumnFinding::of(title, without_blanks(name), unit);
        const auto take = [&](Quantity quantity) {
            const std::optional<KnownUnit> known = known_unit(quantity, unit);
            if (!known) {
                throw unknown_unit(k, title, words);
            }
            column.quantity = known->quantity;
            column.scale = known->scale;
            column.conversion = known->conversion;
        };
        if (name == "Pressure") {
            take(Quantity::pressure);
        } else if (name == "Depth") {
            take(Quantity::depth);
        } else if (name == "Temperature") {
            take(Quantity::temperature);
            column.conversion += (column.conversion.empty() ? "" : "; ") + std::string("ITS-90");
        } else if (name == "Conductivity") {
            take(Quantity::conductivity);
        } else if (name == "Salinity") {
            take(Quantity::salinity);
        } else if (name == "Sound velocity") {
            take(Quantity::sound);
        }
        found.push_back(std::move(column));
    }
    return readings_of(found, depth);
}

} // namespace

const FormatFacts& CastawayReader::facts() const
{
    return castaway_facts;
}

Evidence CastawayReader::recognises(std::string_view head) const
{
    return signature_if(head.starts_with("% ") && (head.starts_with("% Device,") ||
                                                   head.find("\n% Device,") != std::string_view::npos ||
                                                   head.find("\r% Device,") != std::string_view::npos));
}

std::unique_ptr<CastParser> CastawayReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<CastawayParser>(sink, path);
}

} // namespace quillonde
