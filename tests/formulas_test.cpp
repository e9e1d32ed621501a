#include "depth/formulas.h"

#include "error_matchers.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quillonde {
namespace {

TEST(FreshCon, MultipliesByTheFreshWaterFactor)
{
    EXPECT_EQ(fresh_con(100), 101.97);
    EXPECT_EQ(fresh_con(10), 10.2);
    EXPECT_EQ(fresh_con(12.5), 12.75);
    EXPECT_EQ(fresh_con(1000), 1019.72);
    EXPECT_EQ(fresh_con(10000), 10197.16);
    EXPECT_EQ(fresh_con(0), 0.0);
    EXPECT_EQ(fresh_con(-5), -5.1);
    EXPECT_ERROR_KIND(fresh_con(1.77e308), overflow);
}

// The UNESCO 1983 check table: depth [m] at 500, 5000 and 10000 dbar for latitudes 0, 30, 45, 90.
TEST(SaltCon, ReproducesThePublishedTable)
{
    struct Row {
        double pressure_dbar;
        double depth_m[4];
    };
    const std::int32_t latitudes[4] = {0, 30, 45, 90};
    const Row table[] = {
        {500, {496.65, 496.0, 495.34, 494.03}},
        {5000, {4915.04, 4908.56, 4902.08, 4889.13}},
        {10000, {9725.47, 9712.65, 9699.84, 9674.23}},
    };
    for (const Row& row : table) {
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(salt_con(latitudes[i], row.pressure_dbar), row.depth_m[i])
                << "latitude " << latitudes[i] << ", " << row.pressure_dbar << " dbar";
        }
    }
}

TEST(SaltCon, FurtherCheckValues)
{
    EXPECT_EQ(salt_con(45, 100), 99.16);
    EXPECT_EQ(salt_con(45, 1000), 989.5);
    EXPECT_EQ(salt_con(44, 10000), 9700.73);
    EXPECT_EQ(salt_con(46, 10000), 9698.95);
    EXPECT_EQ(salt_con(60, 500), 494.69);
    EXPECT_EQ(salt_con(60, 5000), 4895.6);
    for (const double p : {0.0, 500.0, 5000.0, 10000.0}) {
        EXPECT_EQ(salt_con(-30, p), salt_con(30, p));
    }
    EXPECT_EQ(salt_con(45, 0), 0.0);
    EXPECT_EQ(salt_con(-90, 0), 0.0);
    EXPECT_ERROR_KIND(salt_con(45, 1e81), overflow);
    EXPECT_ERROR_KIND(salt_con(45, -1e81), overflow);
}

} // namespace
} // namespace quillonde
