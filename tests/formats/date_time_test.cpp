#include "formats/date_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillonde {
namespace {

/// The time `text` reads as by `pattern`, as ISO 8601; "none" when it reads as none.
std::string read(std::string_view text, std::string_view pattern)
{
    const auto time = time_by_pattern(text, pattern);
    return time ? iso_time(*time) : "none";
}

// Every reader's dates and times come through one pattern reader: each field, the calendar's
// limits, the zone, and text left over.
TEST(DateTime, PatternsReadEachFieldAndRefuseWhatTheCalendarLacks)
{
    struct Case {
        std::string_view text, pattern, iso;
    };
    const std::vector<Case> cases = {
        {"2017-09-13 08:23:35", "%Y-%m-%d %H:%M:%S", "2017-09-13T08:23:35"},
        {"2017-9-3 8:23:35.750", "%Y-%m-%d %H:%M:%S", "2017-09-03T08:23:35"},
        {"Jul 12 2013  12:59:28", "%b %d %Y %H:%M:%S", "2013-07-12T12:59:28"},
        {"DEC 1 2016 06:16:51", "%b %d %Y %H:%M:%S", "2016-12-01T06:16:51"},
        {"201608240753", "%Y%m%d%H%M", "2016-08-24T07:53:00"},
        {"20160824075301", "%Y%m%d%H%M%S", "2016-08-24T07:53:01"},
        {"2016-237 07:53:13", "%Y-%j %H:%M:%S", "2016-08-24T07:53:13"},
        {"2016-366 00:00:00", "%Y-%j %H:%M:%S", "2016-12-31T00:00:00"},
        {"18.08.2016", "%d.%m.%Y", "2016-08-18"},
        {"18/07/16", "%d/%m/%y", "2016-07-18"},
        {"01/01/70", "%d/%m/%y", "1970-01-01"},
        {"2024-05-01T13:45:00Z", "%Y-%m-%dT%H:%M:%S%z", "2024-05-01T13:45:00Z"},
        {"2024-05-01T13:45:00+02:00", "%Y-%m-%dT%H:%M:%S%z", "2024-05-01T13:45:00+02:00"},
        {"2024-05-01T13:45:00-0330", "%Y-%m-%dT%H:%M:%S%z", "2024-05-01T13:45:00-03:30"},
        {"2024-05-01T13:45:00+00:00", "%Y-%m-%dT%H:%M:%S%z", "2024-05-01T13:45:00Z"},
        // Refused: a day or month the calendar lacks, an hour, minute or second beyond it, a
        // field short of its digits where fields touch, a month's name unknown, text left over.
        {"2017-02-29 08:23:35", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-13-01 08:23:35", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-00-01 08:23:35", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-01-00 08:23:35", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-01-01 24:00:00", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-01-01 23:60:00", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-01-01 23:00:61", "%Y-%m-%d %H:%M:%S", "none"},
        {"2015-366 00:00:00", "%Y-%j %H:%M:%S", "none"},
        {"2016-000 00:00:00", "%Y-%j %H:%M:%S", "none"},
        {"20160824753", "%Y%m%d%H%M", "none"},
        {"17-09-13 08:23:35", "%Y-%m-%d %H:%M:%S", "none"},
        {"Jux 12 2013 12:59:28", "%b %d %Y %H:%M:%S", "none"},
        {"2017-09-13 08:23:35 x", "%Y-%m-%d %H:%M:%S", "none"},
        {"2017-09-1308:23:35", "%Y-%m-%d %H:%M:%S", "none"},
        {"2024-05-01T13:45:00+24:00", "%Y-%m-%dT%H:%M:%S%z", "none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read(c.text, c.pattern), c.iso) << c.text << " as " << c.pattern;
    }
    const auto offset = time_by_pattern("2024-05-01T13:45:00+02:00", "%Y-%m-%dT%H:%M:%S%z");
    ASSERT_TRUE(offset && offset->utc());
    EXPECT_EQ(iso_time({*offset->utc(), TimeZone::utc, {}, false, ""}), "2024-05-01T11:45:00Z");
    EXPECT_FALSE(time_by_pattern("2024-05-01 13:45:00", "%Y-%m-%d %H:%M:%S")->utc()); // zone unknown
    EXPECT_FALSE(time_by_pattern("18.08.2016", "%d.%m.%Y")->utc());                   // a day alone
}

// Probes write the day first or the year first, with a time to the minute or the second.
TEST(DateTime, ProbeDatesAndClocks)
{
    const auto iso = [](std::string_view date, std::string_view clock) {
        const auto time = date_and_clock(date, clock);
        return time ? iso_time(*time) : std::string("none");
    };
    EXPECT_EQ(iso("18/07/2016", "20:53:53"), "2016-07-18T20:53:53");
    EXPECT_EQ(iso("2019/03/12", "15:58:25.313"), "2019-03-12T15:58:25");
    EXPECT_EQ(iso("2019-04-11", "18:25"), "2019-04-11T18:25:00");
    EXPECT_EQ(iso("10/05/12", "11:08:59"), "2012-05-10T11:08:59");
    EXPECT_EQ(iso("2019-04-11", "18"), "none");
    EXPECT_EQ(iso("31/02/2019", "18:25"), "none");
    EXPECT_EQ(iso_time(*iso_date_time(" 2020-11-06 11:07:32.500 ")), "2020-11-06T11:07:32");
    EXPECT_FALSE(iso_date_time("06/11/2020 11:07:32"));
}

} // namespace
} // namespace quillonde
