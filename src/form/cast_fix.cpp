#include "form/cast_fix.h"

#include "formats/profile_text.h"
#include "runtime/convert.h"

#include <array>
#include <cmath>
#include <filesystem>

namespace quillonde {

namespace {

constexpr double latitude_limit = 90.0;
constexpr double longitude_limit = 180.0;
/// The file's modification time, to the second; the epoch when it cannot be read.
std::chrono::sys_seconds modified(const std::string& path)
{
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (ec) {
        return {};
    }
    return std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(written));
}

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
        if (time) {
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
    request.time_shown = cast.time ? cast.time->when : modified(cast_path);
    return request;
}

CastInfo with_fix(CastInfo cast, const CastFix& fix)
{
    cast.latitude_deg = fix.latitude_deg;
    cast.longitude_deg = fix.longitude_deg;
    cast.time = CastTime{fix.utc, true};
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

std::optional<std::chrono::sys_seconds> utc_time_of(std::string_view text)
{
    // 2024-05-01T13:45:00Z
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size()) {
        return std::nullopt;
    }
    std::array<int, 6> numbers{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < shape.size(); ++k) {
        if (shape[k] != 'd') {
            if (text[k] != shape[k]) {
                return std::nullopt;
            }
            continue;
        }
        if (text[k] < '0' || text[k] > '9') {
            return std::nullopt;
        }
        numbers[n] = numbers[n] * 10 + (text[k] - '0');
        if (k + 1 < shape.size() && shape[k + 1] != 'd') {
            ++n;
        }
    }
    return calendar_time(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]);
}

} // namespace quillonde
