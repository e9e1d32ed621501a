#include "formats/probe_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <utility>

namespace quillonde {
namespace {

// A column's name gives its quantity whatever its case, blanks, "_" and "."; a name that only
// begins like a known one is none of them, unless a format names it as a prefix.
TEST(ProbeText, ColumnNamesGiveTheirQuantity)
{
    using enum Quantity;
    const std::pair<std::string_view, Quantity> names[] = {
        {"Pressure", pressure},
        {"DEPTH", depth},
        {"temperature", temperature},
        {"Temp", temperature},
        {"Conductivity", conductivity},
        {"Cond.", conductivity},
        {"Salinity", salinity},
        {"Calc. SALINITY", salinity},
        {"Sound Velocity", sound},
        {"SV", sound},
        {"sv", sound},
        {"Sound_Speed", sound},
        {"Speed of Sound", sound},
        {"SVX", other},
        {"TempCT", other},
        {"", other},
    };
    for (const auto& [name, quantity] : names) {
        EXPECT_EQ(quantity_named(name), quantity) << name;
    }
    const std::array<QuantityName, 1> more{{{"TEMP", temperature, true}}};
    EXPECT_EQ(quantity_named("TempCT", more), temperature);
    EXPECT_EQ(quantity_named("Temp", more), temperature);
}

} // namespace
} // namespace quillonde
