#include "formats/angle.h"

#include "error_matchers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace quillonde {
namespace {

constexpr Axis lat = Axis::latitude;
constexpr Axis lon = Axis::longitude;

// Each notation with what it reads and what it refuses; nothing is "no angle", or beyond the limit.
TEST(Angle, EachNotationReadsItsOwnWritingsAndNoOther)
{
    struct Case {
        const AngleNotation& notation;
        Axis axis;
        std::string_view text;
        std::optional<double> degrees;
    };
    const std::optional<double> none;
    const Case cases[] = {
        {probe_position, lat, "02 26.71 S", -2.4451666666666667},
        {probe_position, lat,
         "054\xB0"
         "20.32' N",
         54.33866666666667},
        {probe_position, lat, "N 54 20.32", 54.33866666666667},
        {probe_position, lat, "s 54 20.32", -54.33866666666667},
        {probe_position, lat, "-36.2199169", -36.2199169},
        {probe_position, lat, "12 40.46N", 12.674333333333333},
        {probe_position, lat, "-0 30", -0.5},
        {probe_position, lat, "-12 30 S", -12.5},
        {probe_position, lat,
         "72\xC2\xB0"
         "30'30\"S",
         -72.50833333333334},
        {probe_position, lon, "150 06.34 W", -150.10566666666668},
        {probe_position, lon, "180", 180.0},
        {probe_position, lon, "180 0 1", none},
        {probe_position, lat, "90 0 0.5", none},
        {probe_position, lat, "999", none},
        {probe_position, lat, "", none},
        {probe_position, lat, "NaN", none},
        {probe_position, lat, "1e1", none},
        {probe_position, lat, "54 60.0 N", none},
        {probe_position, lat, "54 20 60", none},
        {probe_position, lat, "-12 40.46 N", none},
        {probe_position, lat, "54.5 20", none},
        {probe_position, lat, "54 20.5 30", none},
        {probe_position, lat, "54 20.32 E", none},
        {probe_position, lat, "54 20 30 10", none},
        {probe_position, lat, "54x20", none},

        {logger_position, lat, "-12 14 35 S", -12.243055555555555},
        {logger_position, lat, "12 14 35 n", 12.243055555555555},
        {logger_position, lat, "48 42.126 S", -48.7021},
        {logger_position, lon, "130 55.667W", -130.92778333333334},
        {logger_position, lon, "5E-05", 5e-05},
        {logger_position, lat, "5E-05 30", none},
        {logger_position, lat, "12 E", none},
        {logger_position, lat, "S 12", none},
        {logger_position, lat,
         "54\xB0"
         "20",
         none},
        {logger_position, lat, "90.5", none},

        {tob_position, lat, "054\xB0 20.32' N", 54.33866666666667},
        {tob_position, lon, "011\xC2\xB0 41.48' w", -11.691333333333333},
        {tob_position, lat, "054\xB0 20.32'", none},
        {tob_position, lat, "54.5' N", none},
        {tob_position, lat, "-054\xB0 20.32' N", none},
        {tob_position, lat, "054\xB0 20 30' N", none},
        {tob_position, lat, "095\xB0 20.32' N", none},

        {caris_position, lat, "-0:30:00.00", -0.5},
        {caris_position, lon, "+12:15", 12.25},
        {caris_position, lon, "-12:16:60.00", -(12 + 17.0 / 60)},
        {caris_position, lon, "-12.5", -12.5},
        {caris_position, lon, "179:59:59.99", 179 + 59.0 / 60 + 59.99 / 3600},
        {caris_position, lat, "12:60:00", none},
        {caris_position, lat, "12:-5:00", none},
        {caris_position, lat, "12.5:30", none},
        {caris_position, lat, "1:2:3:4", none},
        {caris_position, lat, "--1", none},
        {caris_position, lat, "12 30", none},
        {caris_position, lat, "12:30:", none},
        {caris_position, lat, "12:30 N", none},

        {decimal_degrees, lat, "-38.016269107", -38.016269107},
        {decimal_degrees, lat, "+1e-05", 1e-05},
        {decimal_degrees, lat, "-90", -90.0},
        {decimal_degrees, lon, "-180.0001", none},
        {decimal_degrees, lat, "12 30", none},
        {decimal_degrees, lat, "12:30", none},
    };
    for (const Case& c : cases) {
        const std::optional<double> angle = angle_of(c.text, c.axis, c.notation);
        ASSERT_EQ(angle.has_value(), c.degrees.has_value()) << c.text;
        if (angle) {
            EXPECT_DOUBLE_EQ(*angle, *c.degrees) << c.text;
        }
    }
}

TEST(Angle, AStatedAngleFailsSayingWhatItIsAndWhy)
{
    EXPECT_EQ(stated_angle("-0:30", lon, caris_position), -0.5);
    EXPECT_STREQ(testing::error_of([] { stated_angle("12:60:00", lat, caris_position); }).what(),
                 R"(Type mismatch: latitude "12:60:00" is no angle (D:MM:SS.ss or degrees))");
    EXPECT_STREQ(testing::error_of([] { stated_angle("1,5", lon, decimal_degrees); }).what(),
                 R"(Type mismatch: longitude "1,5" is not a number)");
    EXPECT_STREQ(testing::error_of([] { stated_angle("90:00:00.01", lat, caris_position); }).what(),
                 R"(Overflow: latitude "90:00:00.01" lies beyond 90 degrees)");
    EXPECT_STREQ(testing::error_of([] { stated_angle("1e999", lon, decimal_degrees); }).what(),
                 R"(Overflow: longitude "1e999" lies beyond 180 degrees)");
}

} // namespace
} // namespace quillonde
