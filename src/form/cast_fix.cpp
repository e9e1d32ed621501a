#include "form/cast_fix.h"

#include "formats/date_time.h"
#include "formats/profile_text.h"
#include "runtime/convert.h"

#include <cmath>

namespace quillonde {

namespace {

constexpr double latitude_limit = 90.0;
constexpr double longitude_limit = 180.0;

} // namespace

std::string FixRequest::missing_text() const
{
    std::string text;
    if (position_missing()) {
        text = "no position";
    }
    if (time_missing()) {
        text += text.empty() ? "" : " and ";
        text += "no time in UTC";
        if (time && time->date_only) {
            text += " (it states the day alone, " + iso_time(*time) + ")";
        } else if (time) {
            text += " (it states " + iso_time(*time) + " of a zone it does not name)";
        }
    }
    return text;
}

FixRequest fix_request(std::string_view format, const CastInfo& cast, const std::string& cast_path,
                       const std::string& window_latitude)
{
    FixRequest request;
    request.format = format;
    request.cast = cast_path;
    request.latitude_deg = cast.latitude_deg;
    request.longitude_deg = cast.longitude_deg;
    request.time = cast.time;
    request.latitude_shown = cast.latitude_deg ? degrees_text(*cast.latitude_deg) : window_latitude;
    request.longitude_shown = cast.longitude_deg ? degrees_text(*cast.longitude_deg) : std::string();
    // A file's modification time is when it was last copied, no cast's time: nothing is shown then.
    if (cast.time) {
        request.time_shown = cast.time->utc().value_or(cast.time->when);
        request.time_source = time_source_text(*cast.time);
        request.time_to_confirm = !cast.time->utc();
    }
    return request;
}

CastInfo with_fix(CastInfo cast, const CastFix& fix)
{
    cast.latitude_deg = fix.latitude_deg;
    cast.longitude_deg = fix.longitude_deg;
    cast.time = CastTime{fix.utc, TimeZone::utc, {}, false, "given for the export"};
    return cast;
}

std::string position_problem(double latitude_deg, double longitude_deg)
{
    if (!(std::abs(latitude_deg) <= latitude_limit)) {
        return "the latitude " + double_to_str(latitude_deg) + " lies beyond 90 degrees";
    }
    if (!(std::abs(longitude_deg) <= longitude_limit)) {
        return "the longitude " + double_to_str(longitude_deg) + " lies beyond 180 degrees";
    }
    return {};
}

std::string time_source_text(const CastTime& time)
{
    std::string text = "from " + (time.source.empty() ? std::string("the cast") : time.source);
    if (time.date_only) {
        return text + ", the day alone: give the time of day in UTC";
    }
    if (time.zone == TimeZone::offset) {
        return text + ", " + zone_text(time) + " (shown in UTC)";
    }
    return text + ", " + zone_text(time);
}

std::optional<std::chrono::sys_seconds> utc_time_of(std::string_view text)
{
    const auto time = time_by_pattern(text, "%Y-%m-%dT%H:%M:%S%z");
    if (!time || time->zone != TimeZone::utc) {
        return std::nullopt;
    }
    return time->when;
}

} // namespace quillonde
