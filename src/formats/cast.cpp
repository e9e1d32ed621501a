#include "formats/cast.h"

#include <algorithm>
#include <cstdio>

namespace quillonde {

std::int32_t CastInfo::column_named(std::string_view name) const noexcept
{
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (columns[k].name == name) {
            return static_cast<std::int32_t>(k);
        }
    }
    return -1;
}

TemperatureScale temperature_scale(const CastColumn& column)
{
    std::string text = column.unit + " " + column.conversion;
    std::ranges::transform(text, text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    if (text.find("IPTS-68") != std::string::npos || text.find("ITS-68") != std::string::npos ||
        text.find("IPTS68") != std::string::npos) {
        return TemperatureScale::ipts68;
    }
    if (text.find("ITS-90") != std::string::npos || text.find("ITS90") != std::string::npos) {
        return TemperatureScale::its90;
    }
    return TemperatureScale::unstated;
}

std::string_view temperature_scale_text(TemperatureScale scale)
{
    switch (scale) {
    case TemperatureScale::its90: return "ITS-90, x 1.00024 for the UNESCO 1983 formulas";
    case TemperatureScale::ipts68: return "IPTS-68, as the UNESCO 1983 formulas take it";
    case TemperatureScale::unstated: break;
    }
    return "not stated, taken as the UNESCO 1983 formulas take it (IPTS-68)";
}

namespace {

std::string offset_text(std::chrono::minutes offset)
{
    const long total = offset.count();
    const long whole = total < 0 ? -total : total;
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", total < 0 ? '-' : '+', whole / 60, whole % 60);
    return text;
}

} // namespace

std::optional<std::chrono::sys_seconds> CastTime::utc() const
{
    if (date_only || zone == TimeZone::unknown) {
        return std::nullopt;
    }
    return zone == TimeZone::offset ? when - offset : when;
}

std::string iso_time(const CastTime& time)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(time.when);
    const year_month_day date(day);
    const hh_mm_ss clock(time.when - day);
    char text[64];
    if (time.date_only) {
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        return text;
    }
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()));
    return std::string(text) + (time.zone == TimeZone::utc      ? "Z"
                                : time.zone == TimeZone::offset ? offset_text(time.offset)
                                                                : "");
}

std::string zone_text(const CastTime& time)
{
    switch (time.zone) {
    case TimeZone::utc: return "UTC";
    case TimeZone::offset: return "UTC" + offset_text(time.offset);
    case TimeZone::unknown: break;
    }
    return "zone not stated";
}

} // namespace quillonde
