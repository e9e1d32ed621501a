#pragma once

#include "formats/cast.h"

#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <string_view>

namespace quillonde {

// Every date and time a file states is read here, by a pattern of the file's own layout:
//   %Y  a year of four digits          %j  a day of the year, 1 to 366
//   %y  a year of two digits, 1970 to 2069
//   %m  a month, 1 to 12               %b  a month's English name, its first three letters or more
//   %d  a day of the month             %H %M %S  hour, minute, second (a decimal fraction is dropped)
//   %z  "Z", or an offset "+HH:MM", "+HHMM", "+HH" (then the zone is known)
//   a blank: one or more blanks or tabs; any other character: itself.
// A number that another field follows at once takes two digits (four for a year, three for a day of
// the year), as in "201608240753"; otherwise it takes one digit or more. A pattern without %H gives
// the date alone.

/// The time that `text`, all of it, writes as `pattern` does; nothing when it is no such time (a
/// day that the calendar lacks, an hour beyond 23). The zone is unknown unless the pattern's %z
/// states it; the source is left empty.
std::optional<CastTime> time_by_pattern(std::string_view text, std::string_view pattern);

/// The time of the first of `patterns` that reads `text`.
std::optional<CastTime> time_by_patterns(std::string_view text, std::span<const std::string_view> patterns);

/// The time of a calendar date and a time of day; nothing when the date or the time is not one.
std::optional<std::chrono::sys_seconds> calendar_time(int year, int month, int day, int hour, int minute,
                                                      int second);

/// The dates probes write: year first ("2016-08-18", "2019/03/12"), else day first ("18.08.2016",
/// "18/07/16").
inline constexpr std::array<std::string_view, 9> calendar_dates = {"%Y-%m-%d", "%Y/%m/%d", "%Y.%m.%d",
                                                                   "%d/%m/%Y", "%d-%m-%Y", "%d.%m.%Y",
                                                                   "%d/%m/%y", "%d-%m-%y", "%d.%m.%y"};

/// A date of calendar_dates and a time of day, "HH:MM:SS" (a fraction dropped) or "HH:MM", apart.
std::optional<CastTime> date_and_clock(std::string_view date, std::string_view clock);

/// "2017-08-22 02:39:11", "2017-08-22T02:39:11.500" or with a zone ("...Z", "...+02:00").
std::optional<CastTime> iso_date_time(std::string_view text);

} // namespace quillonde
