#include "form/calculate.h"

#include "error_matchers.h"
#include "fake_controls.h"

#include <gtest/gtest.h>

namespace quillonde {
namespace {

using testing::error_of;
using testing::FakeControls;

struct Boxes {
    OptionButton water;
    const char* pressure;
    const char* latitude;
    const char* shown; // the caption after the click, or the error's message
};

FakeControls window_with(const Boxes& boxes)
{
    FakeControls controls;
    controls.water = boxes.water;
    controls.texts[TextBox::tx_press] = boxes.pressure;
    controls.texts[TextBox::tx_lat] = boxes.latitude;
    return controls;
}

constexpr auto fresh = OptionButton::op_fresh;
constexpr auto salt = OptionButton::op_salt;

TEST(CalculateDepth, ConvertsTheBoxesAsTheFormulasExpect)
{
    const Boxes cases[] = {
        {fresh, "100", "45", "Depth [m]:  101.97"},     {fresh, "10", "abc", "Depth [m]:  10.2"},
        {fresh, "0", "3000000000", "Depth [m]:  0"}, // fresh water never reads the latitude
        {salt, "100", "45", "Depth [m]:  99.16"},       {salt, "10000", "30", "Depth [m]:  9712.65"},
        {salt, "10000", "45.5", "Depth [m]:  9698.95"}, // as 46
        {salt, "10000", "44.5", "Depth [m]:  9700.73"}, // as 44
    };
    for (const Boxes& c : cases) {
        FakeControls controls = window_with(c);
        calculate_depth(controls);
        EXPECT_EQ(controls.captions.at(Label::lb_depth), c.shown) << c.pressure << ", " << c.latitude;
    }
}

TEST(CalculateDepth, AFailureLeavesTheCaptionAsItWas)
{
    const Boxes cases[] = {
        {fresh, "", "45", R"(Type mismatch: pressure "" is not a number)"},
        {salt, "", "45", R"(Type mismatch: pressure "" is not a number)"},
        {salt, ".", "", R"(Type mismatch: pressure "." is not a number)"}, // the pressure first
        {salt, "100", " ", "Type mismatch: the latitude box is empty"},    // the box, not a text of it
        {salt, "100", "x", R"(Type mismatch: latitude "x" is not a number)"},
        {salt, "100", "3000000000", R"(Overflow: latitude "3000000000" lies outside the whole-number range)"},
        {salt, "1e81", "45", "Overflow: the depth of the pressure 1E+81 dbar lies beyond the number range"},
    };
    for (const Boxes& c : cases) {
        FakeControls controls = window_with(c);
        EXPECT_STREQ(error_of([&] { calculate_depth(controls); }).what(), c.shown);
        EXPECT_EQ(controls.captions.at(Label::lb_depth), "Depth [m]: ");
    }
}

// A typo such as 540 for 54 gave the equator's depth without a word.
TEST(CalculateDepth, AsksBeforeALatitudeBeyondThePoles)
{
    for (const bool yes : {false, true}) {
        FakeControls controls = window_with({salt, "1000", " 540 ", ""});
        controls.answer = [&](const Question&) { return yes; };
        EXPECT_EQ(calculate_depth(controls).has_value(), yes);
        EXPECT_EQ(controls.questions,
                  std::vector<std::string>{"The latitude 540 lies outside -90 to 90 degrees. "
                                           "Compute the depth for it anyway?"});
        EXPECT_EQ(controls.captions.at(Label::lb_depth), yes ? "Depth [m]:  992.12" : "Depth [m]: ");
    }
    // The whole degree decides: 90.5 acts as 90, 90.6 as 91, -90.6 as -91.
    for (const auto& [latitude, asked] :
         {std::pair{"-90", false}, {"90.5", false}, {"90.6", true}, {"-90.6", true}}) {
        FakeControls controls = window_with({salt, "1000", latitude, ""});
        calculate_depth(controls);
        EXPECT_EQ(controls.questions.size(), asked ? 1U : 0U) << latitude;
    }
    // A bad pressure fails before anything is asked.
    FakeControls controls = window_with({salt, "x", "540", ""});
    EXPECT_ERROR_KIND(calculate_depth(controls), type_mismatch);
    EXPECT_TRUE(controls.questions.empty());
}

} // namespace
} // namespace quillonde
