#include "depth/formulas.h"

#include "error_matchers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace quillonde {
namespace {

TEST(FreshCon, MultipliesByTheFreshWaterFactor)
{
    const std::pair<double, double> cases[] = {{100, 101.97},     {10, 10.2}, {12.5, 12.75}, {1000, 1019.72},
                                               {10000, 10197.16}, {0, 0.0},   {-5, -5.1}};
    for (const auto& [pressure_dbar, depth_m] : cases) {
        EXPECT_EQ(fresh_con(pressure_dbar), depth_m) << pressure_dbar;
    }
    EXPECT_ERROR_KIND(fresh_con(1.77e308), overflow);
}

// The UNESCO 1983 check table (latitudes 0, 30, 45, 90 at 500, 5000 and 10000 dbar), then values
// between its latitudes; the last two change with 180/pi for the degrees per radian and with the
// published 2.36e-5 for the X^2 coefficient of gravity.
TEST(SaltCon, ReproducesThePublishedTable)
{
    struct Case {
        std::int32_t latitude_deg;
        double pressure_dbar;
        double depth_m;
    };
    const Case cases[] = {
        {0, 500, 496.65},    {30, 500, 496.0},     {45, 500, 495.34},     {90, 500, 494.03},
        {0, 5000, 4915.04},  {30, 5000, 4908.56},  {45, 5000, 4902.08},   {90, 5000, 4889.13},
        {0, 10000, 9725.47}, {30, 10000, 9712.65}, {45, 10000, 9699.84},  {90, 10000, 9674.23},
        {45, 100, 99.16},    {45, 1000, 989.5},    {44, 10000, 9700.73},  {46, 10000, 9698.95},
        {60, 500, 494.69},   {60, 5000, 4895.6},   {-30, 10000, 9712.65}, {-90, 0, 0.0},
        {29, 8435, 8219.99}, {90, 1110, 1095.15},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(salt_con(c.latitude_deg, c.pressure_dbar), c.depth_m)
            << "latitude " << c.latitude_deg << ", " << c.pressure_dbar << " dbar";
    }
    EXPECT_ERROR_KIND(salt_con(45, 1e81), overflow);
    EXPECT_ERROR_KIND(salt_con(45, -1e81), overflow);
}

} // namespace
} // namespace quillonde
