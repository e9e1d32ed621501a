#pragma once

#include "profile/sample.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

/// A column of a loaded cast, as the program names it and as the file did.
struct CastColumn {
    std::string name;       ///< the program's name (Press, Temp, SALIN, Cond, SOUND, Depth) or the file's own
    std::string source;     ///< the file's own name for it ("prDM", "Pressure (Decibar)")
    std::string unit;       ///< as the file's bytes ("dbar", "mS/cm"); empty when the file gives none
    std::string conversion; ///< what was done to the file's values ("S/m x 10"), or what the file says
                            ///< they are ("Chen-Millero"); empty when they are taken as they stand
};

/// The temperature scale `column` states in its unit or in what the file says of its values
/// ("ITS-90", "IPTS-68"); unstated where it names none.
TemperatureScale temperature_scale(const CastColumn& column);

/// What the UNESCO 1983 formulas are given of temperatures on `scale`, in words.
std::string_view temperature_scale_text(TemperatureScale scale);

/// Which clock a time a file states was read on.
enum class TimeZone {
    unknown, ///< a local time of a zone the file does not name
    utc,
    offset, ///< a local time whose offset from UTC the file states
};

/// The time of a cast, to the second, as a file states it.
struct CastTime {
    std::chrono::sys_seconds when{}; ///< as the file's clock reads
    TimeZone zone = TimeZone::unknown;
    std::chrono::minutes offset{}; ///< TimeZone::offset: how far the file's clock runs ahead of UTC
    bool date_only = false;        ///< the file states the day alone, no time of day
    std::string source;            ///< where in the file it stands: "NMEA UTC (Time)", "the Datum line"

    /// The time in UTC; nothing where the file's zone is unknown or it states the day alone.
    std::optional<std::chrono::sys_seconds> utc() const;

    friend bool operator==(const CastTime&, const CastTime&) = default;
};

/// Which rows of a cast its profile takes, in which order.
enum class RowOrderRule {
    as_recorded,   ///< the rows as recorded, the downcast (Sea & Sun's rule)
    upcast_if_any, ///< a cast recorded on the way up only is taken from its deepest row up
    every_row,     ///< a profile already: every row that has a depth, as the file gives them
};

/// How the program takes the casts of a format: facts its reader declares, which the load records
/// and the export, the plot and the batch tool follow.
struct ReaderRules {
    RowOrderRule row_order = RowOrderRule::upcast_if_any;
    /// The position the file states may be checked against the latitude the depths are computed for.
    bool position_holds = true;
    /// The rows carry their numbers, and the file states how many there are.
    bool rows_numbered = false;
    /// A profile for echo sounders already: taken as it stands, never thinned, and its depths and
    /// sound speeds written again as the file writes them.
    bool profile = false;

    friend bool operator==(const ReaderRules&, const ReaderRules&) = default;
};

/// What a cast file says of itself and of its columns. Each piece may be unknown.
/// One of the casts of a file that holds many (a CARIS file's sections), as the file states it.
struct CastPart {
    std::optional<CastTime> time;
    std::optional<double> latitude_deg;
    std::optional<double> longitude_deg;
    std::size_t lines = 0;
};

struct CastInfo {
    std::string format;     ///< the id of the format it was read as ("tob"); empty before a load
    ReaderRules rules;      ///< how the format's casts are taken
    std::string instrument; ///< the probe's type, as the file names it
    std::string serial;     ///< the probe's serial number
    std::optional<CastTime> time;
    std::optional<double> latitude_deg;  ///< north positive
    std::optional<double> longitude_deg; ///< east positive
    /// Each cast of a file of many, in the file's order; empty for a file of one cast.
    std::vector<CastPart> parts;
    std::size_t part = 0; ///< the one of parts loaded, counted from 1
    /// One for each text column of the profile table, in the table's order.
    std::vector<CastColumn> columns;
    /// What the reader doubts of the file, in a sentence each, for the export to ask about.
    std::vector<std::string> doubts;

    /// The index of the first column named `name`, or -1.
    std::int32_t column_named(std::string_view name) const noexcept;
};

/// A time as ISO 8601: "2016-08-24T07:53:13", with "Z" when it is UTC or its offset ("+02:00");
/// a date alone as "2016-08-18".
std::string iso_time(const CastTime& time);

/// A time's zone in words: "UTC", "UTC+02:00", "zone not stated".
std::string zone_text(const CastTime& time);

} // namespace quillonde
