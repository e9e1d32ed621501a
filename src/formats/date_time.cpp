#include "formats/date_time.h"

#include <array>
#include <cstddef>

namespace quillonde {

namespace {

constexpr std::array<std::string_view, 12> month_names = {"jan", "feb", "mar", "apr", "may", "jun",
                                                          "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr int minutes_per_hour = 60;

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Reads a number of `least` to `most` digits at `at` of `text`; -1 when there is none.
int digits(std::string_view text, std::size_t& at, std::size_t least, std::size_t most)
{
    int value = 0;
    std::size_t count = 0;
    while (count < most && at < text.size() && is_digit(text[at])) {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++count;
    }
    return count < least ? -1 : value;
}

struct Fields {
    int year = -1, month = -1, day = -1, day_of_year = -1, hour = -1, minute = -1, second = 0;
    std::optional<TimeZone> zone;
    int offset_minutes = 0;
};

/// Reads the offset of a %z at `at`; false when there is none.
bool read_zone(std::string_view text, std::size_t& at, Fields& fields)
{
    if (at < text.size() && text[at] == 'Z') {
        ++at;
        fields.zone = TimeZone::utc;
        return true;
    }
    if (at >= text.size() || (text[at] != '+' && text[at] != '-')) {
        return false;
    }
    const int sign = text[at] == '-' ? -1 : 1;
    ++at;
    const int hours = digits(text, at, 2, 2);
    int minutes = 0;
    if (at < text.size() && text[at] == ':') {
        ++at;
        minutes = digits(text, at, 2, 2);
    } else if (at < text.size() && is_digit(text[at])) {
        minutes = digits(text, at, 2, 2);
    }
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) {
        return false;
    }
    fields.offset_minutes = sign * (hours * minutes_per_hour + minutes);
    fields.zone = fields.offset_minutes == 0 ? TimeZone::utc : TimeZone::offset;
    return true;
}

} // namespace

std::optional<std::chrono::sys_seconds> calendar_time(int year, int month, int day, int hour, int minute,
                                                      int second)
{
    using namespace std::chrono;
    if (month < 1 || day < 1) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    return sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
}

std::optional<CastTime> time_by_pattern(std::string_view text, std::string_view pattern)
{
    Fields fields;
    std::size_t at = 0;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        const char want = pattern[p];
        if (is_blank(want)) {
            if (at >= text.size() || !is_blank(text[at])) {
                return std::nullopt;
            }
            while (at < text.size() && is_blank(text[at])) {
                ++at;
            }
            continue;
        }
        if (want != '%' || p + 1 == pattern.size()) {
            if (at >= text.size() || text[at] != want) {
                return std::nullopt;
            }
            ++at;
            continue;
        }
        const char field = pattern[++p];
        const bool touching = p + 1 < pattern.size() && pattern[p + 1] == '%';
        const std::size_t width = field == 'Y' ? 4 : field == 'j' ? 3 : 2;
        const std::size_t least = touching || field == 'Y' || field == 'y' ? width : 1;
        int* number = nullptr;
        switch (field) {
        case 'Y':
        case 'y': number = &fields.year; break;
        case 'm': number = &fields.month; break;
        case 'd': number = &fields.day; break;
        case 'j': number = &fields.day_of_year; break;
        case 'H': number = &fields.hour; break;
        case 'M': number = &fields.minute; break;
        case 'S': number = &fields.second; break;
        case 'b': {
            const std::size_t begin = at;
            while (at < text.size() &&
                   ((text[at] >= 'a' && text[at] <= 'z') || (text[at] >= 'A' && text[at] <= 'Z'))) {
                ++at;
            }
            const std::string_view word = text.substr(begin, at - begin);
            for (std::size_t m = 0; m < month_names.size() && word.size() >= 3; ++m) {
                if (lower(word[0]) == month_names[m][0] && lower(word[1]) == month_names[m][1] &&
                    lower(word[2]) == month_names[m][2]) {
                    fields.month = static_cast<int>(m) + 1;
                }
            }
            if (fields.month < 0) {
                return std::nullopt;
            }
            continue;
        }
        case 'z':
            if (!read_zone(text, at, fields)) {
                return std::nullopt;
            }
            continue;
        default: return std::nullopt;
        }
        *number = digits(text, at, least, width);
        if (*number < 0) {
            return std::nullopt;
        }
        if (field == 'y') {
            constexpr int pivot = 70; // 70 to 99 are 1970 to 1999
            fields.year += fields.year < pivot ? 2000 : 1900;
        }
        if (field == 'S' && at + 1 < text.size() && text[at] == '.' && is_digit(text[at + 1])) {
            while (++at < text.size() && is_digit(text[at])) {
            }
        }
    }
    if (at != text.size() || fields.year < 0) {
        return std::nullopt;
    }
    const bool date_only = fields.hour < 0;
    std::optional<std::chrono::sys_seconds> when;
    if (fields.day_of_year >= 0) {
        const auto new_year = calendar_time(fields.year, 1, 1, date_only ? 0 : fields.hour,
                                            date_only ? 0 : fields.minute, fields.second);
        const auto last = calendar_time(fields.year, 12, 31, 0, 0, 0);
        if (new_year && fields.day_of_year >= 1 &&
            std::chrono::floor<std::chrono::days>(*new_year) + std::chrono::days(fields.day_of_year - 1) <=
                std::chrono::floor<std::chrono::days>(*last)) {
            when = *new_year + std::chrono::days(fields.day_of_year - 1);
        }
    } else {
        when = calendar_time(fields.year, fields.month, fields.day, date_only ? 0 : fields.hour,
                             date_only ? 0 : fields.minute, fields.second);
    }
    if (!when) {
        return std::nullopt;
    }
    CastTime time;
    time.when = *when;
    time.date_only = date_only;
    if (fields.zone) {
        time.zone = *fields.zone;
        time.offset = std::chrono::minutes(fields.offset_minutes);
    }
    return time;
}

std::optional<CastTime> time_by_patterns(std::string_view text, std::span<const std::string_view> patterns)
{
    for (const std::string_view pattern : patterns) {
        if (auto time = time_by_pattern(text, pattern)) {
            return time;
        }
    }
    return std::nullopt;
}

std::optional<CastTime> date_and_clock(std::string_view date, std::string_view clock)
{
    constexpr std::array<std::string_view, 2> clocks = {" %H:%M:%S", " %H:%M"};
    const std::string text = std::string(date) + " " + std::string(clock);
    for (const std::string_view day : calendar_dates) {
        for (const std::string_view time : clocks) {
            if (auto found = time_by_pattern(text, std::string(day) + std::string(time))) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::optional<CastTime> iso_date_time(std::string_view text)
{
    constexpr std::array<std::string_view, 4> patterns = {"%Y-%m-%d %H:%M:%S", "%Y-%m-%dT%H:%M:%S",
                                                          "%Y-%m-%d %H:%M:%S%z", "%Y-%m-%dT%H:%M:%S%z"};
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return time_by_patterns(text, patterns);
}

} // namespace quillonde
