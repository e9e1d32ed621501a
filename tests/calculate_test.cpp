#include "form/calculate.h"

#include "error_matchers.h"
#include "fake_controls.h"

#include <gtest/gtest.h>

namespace quillonde {
namespace {

using testing::error_of;
using testing::FakeControls;

std::string caption_after_click(FakeControls& controls)
{
    calculate_depth(controls);
    return controls.captions.at(Label::lb_depth);
}

TEST(CalculateDepth, ShowsTheDepthOfAFreshWindowsTexts)
{
    FakeControls controls;
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  101.97");
    controls.water = OptionButton::op_salt;
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  99.16");
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  99.16"); // a second click, the same
}

TEST(CalculateDepth, ConvertsTheBoxesAsTheFormulasExpect)
{
    FakeControls controls;
    controls.texts[TextBox::tx_press] = "10";
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  10.2");
    controls.texts[TextBox::tx_press] = "0";
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  0");

    controls.water = OptionButton::op_salt;
    controls.texts[TextBox::tx_press] = "10000";
    controls.texts[TextBox::tx_lat] = "30";
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  9712.65");
    controls.texts[TextBox::tx_lat] = "45.5";
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  9698.95"); // as 46
    controls.texts[TextBox::tx_lat] = "44.5";
    EXPECT_EQ(caption_after_click(controls), "Depth [m]:  9700.73"); // as 44
}

TEST(CalculateDepth, FreshWaterDoesNotReadTheLatitude)
{
    FakeControls controls;
    for (const char* latitude : {"", "abc", "3000000000"}) {
        controls.texts[TextBox::tx_lat] = latitude;
        EXPECT_EQ(caption_after_click(controls), "Depth [m]:  101.97");
    }
}

TEST(CalculateDepth, AFailureLeavesTheCaptionAsItWas)
{
    FakeControls controls;
    controls.texts[TextBox::tx_press] = "";
    Error error = error_of([&] { calculate_depth(controls); });
    EXPECT_EQ(error.kind(), ErrorKind::type_mismatch);
    EXPECT_STREQ(error.what(), R"(Type mismatch: pressure "" is not a number)");
    EXPECT_EQ(controls.captions.at(Label::lb_depth), "Depth [m]: ");

    controls.water = OptionButton::op_salt;
    EXPECT_ERROR_KIND(calculate_depth(controls), type_mismatch);

    controls.texts[TextBox::tx_press] = "100";
    controls.texts[TextBox::tx_lat] = "";
    error = error_of([&] { calculate_depth(controls); });
    EXPECT_STREQ(error.what(), R"(Type mismatch: latitude "" is not a number)");

    controls.texts[TextBox::tx_lat] = "3000000000";
    EXPECT_ERROR_KIND(calculate_depth(controls), overflow);

    // With both texts bad, the pressure is converted first.
    controls.texts[TextBox::tx_press] = ".";
    error = error_of([&] { calculate_depth(controls); });
    EXPECT_STREQ(error.what(), R"(Type mismatch: pressure "." is not a number)");

    controls.texts[TextBox::tx_press] = "1e81";
    controls.texts[TextBox::tx_lat] = "45";
    EXPECT_ERROR_KIND(calculate_depth(controls), overflow);
    EXPECT_EQ(controls.captions.at(Label::lb_depth), "Depth [m]: ");
}

} // namespace
} // namespace quillonde
