#pragma once

#include "formats/cast.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quillonde {

// Profile formats read by echo-sounder software state where and when a cast was taken: the
// software picks the profile nearest in space and time. Where the cast does not say, the export asks
// (the window in a small dialog, the batch tool from its options); a made-up position never
// reaches a file unasked.

/// Where and when a cast was taken: the position in degrees, north and east positive, and the time
/// in UTC.
struct CastFix {
    double latitude_deg = 0.0;
    double longitude_deg = 0.0;
    std::chrono::sys_seconds utc{};

    friend bool operator==(const CastFix&, const CastFix&) = default;
};

/// The export's request for a cast's time and position: what the cast states, and what the dialog
/// shows first.
struct FixRequest {
    std::string format;                  ///< the format that needs them, as its filter names it
    std::string cast;                    ///< the cast's path
    std::optional<double> latitude_deg;  ///< as the cast states it
    std::optional<double> longitude_deg; ///< as the cast states it
    std::optional<CastTime> time;        ///< as the cast states it, maybe in a zone it does not name
    std::string latitude_shown;          ///< the cast's latitude, else the window's
    std::string longitude_shown;         ///< the cast's longitude, else empty
    std::optional<std::chrono::sys_seconds> time_shown; ///< the cast's time or day, else nothing
    std::string time_source;      ///< where time_shown comes from: "NMEA UTC (Time), UTC"
    bool time_to_confirm = false; ///< time_shown is no UTC time: the user confirms or changes it

    /// The cast lacks its position.
    bool position_missing() const { return !latitude_deg || !longitude_deg; }
    /// The cast lacks its time in UTC.
    bool time_missing() const { return !time || !time->utc(); }
    /// What the cast lacks, in words: "no position and no time in UTC (it states
    /// 2017-09-13T08:23:35 of a zone it does not name)".
    std::string missing_text() const;
};

/// The request of an export in `format` of `cast`, loaded from `cast_path`; `window_latitude` is
/// what the window's latitude box holds.
FixRequest fix_request(std::string_view format, const CastInfo& cast, const std::string& cast_path,
                       const std::string& window_latitude);

/// `cast` with the time and position of `fix`.
CastInfo with_fix(CastInfo cast, const CastFix& fix);

/// Why a position is none: "the latitude 91 lies beyond 90 degrees"; empty when it is one.
std::string position_problem(double latitude_deg, double longitude_deg);

/// Where a cast's time comes from, in words: "from the cast's header (Datum), zone not stated".
std::string time_source_text(const CastTime& time);

/// A UTC time as "2024-05-01T13:45:00Z"; nothing for any other text.
std::optional<std::chrono::sys_seconds> utc_time_of(std::string_view text);

} // namespace quillonde
