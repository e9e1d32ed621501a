#include "runtime/cell.h"
#include "runtime/convert.h"

#include "error_matchers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quillonde {
namespace {

using testing::error_of;

TEST(StrToDouble, ReadsTheNumericGrammar)
{
    const std::vector<std::pair<std::string, double>> cases = {
        {"0", 0.0},     {"12.5", 12.5}, {"  12.5  ", 12.5}, {"-3", -3.0},           {"+3", 3.0},
        {".5", 0.5},    {"5.", 5.0},    {"1e3", 1000.0},    {"1E+3", 1000.0},       {"2.5e-1", 0.25},
        {"-0.0", -0.0}, {"007", 7.0},   {"1e-400", 0.0},    {"1485.678", 1485.678},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(str_to_double(text), expected) << '"' << text << '"';
    }
}

TEST(StrToDouble, RejectsEverythingElseAsTypeMismatch)
{
    for (const char* text : {"",    " ",  ".",   "-",  "+",   "1.2.3", "12,5", "1/2", "abc", "0x10", "inf",
                             "nan", "1e", "1e+", "e5", "1 2", "--1",   "1-",   "\t1", "1\r", "١"}) {
        const Error error = error_of([&] { str_to_double(text); });
        EXPECT_EQ(error.kind(), ErrorKind::type_mismatch) << '"' << text << '"';
    }
    EXPECT_STREQ(error_of([] { str_to_double("12,5"); }).what(), R"(Type mismatch: "12,5" is not a number)");
}

TEST(StrToDouble, FailsWithOverflowBeyondTheDoubleRange)
{
    for (const char* text : {"1e400", "-1e400", "1e999999999999999999",
                             "1797693134862315807937289714053034150799341327100378269361737789804449682927647"
                             "5094664901797758720709633028641669288791094655554785194040263065748867150582068"
                             "1908902000708383676273854845817711531764475730270069855571366959622842914819860"
                             "834936475292719074168444365510704342711559699508093042880177904174497792"}) {
        EXPECT_ERROR_KIND(str_to_double(text), overflow) << text;
    }
    EXPECT_EQ(str_to_double("1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST(StrToLong, RoundsHalfToEvenWithinThe32BitRange)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"45", 45},
        {"45.5", 46},
        {"44.5", 44},
        {"-2.5", -2},
        {"2.5", 2},
        {"0.4", 0},
        {"-0.5", 0},
        {"1.5", 2},
        {"45.50001", 46},
        {" 7 ", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483648.5", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(str_to_long(text), expected) << '"' << text << '"';
    }
    EXPECT_ERROR_KIND(str_to_long("3000000000"), overflow);
    EXPECT_ERROR_KIND(str_to_long("2147483647.5"), overflow);
    EXPECT_ERROR_KIND(str_to_long("-2147483649"), overflow);
    EXPECT_ERROR_KIND(str_to_long("45,5"), type_mismatch);
    EXPECT_ERROR_KIND(str_to_long(""), type_mismatch);
}

TEST(RoundTo, JudgesTheHalfOnTheScaledDouble)
{
    // 2.675 lies just below the half, but 2.675 * 100 is exactly 267.5 as a double: the half goes to even.
    const std::tuple<double, int, double> cases[] = {
        {0.75, 1, 0.8},        {1.15, 1, 1.2},       {1.45, 1, 1.4},        {12.25, 1, 12.2},
        {2.675, 2, 2.68},      {2.665, 2, 2.66},     {10.12345, 3, 10.123}, {-2.5, 0, -2.0},
        {101.9716, 2, 101.97}, {1.7e308, 2, 1.7e308}}; // no decimals left to round; not infinity
    for (const auto& [value, decimals, expected] : cases) {
        EXPECT_EQ(round_to(value, decimals), expected) << value;
    }
}

TEST(DoubleToStr, WritesTheShortestTextOfAtMost15Digits)
{
    const std::pair<double, const char*> cases[] = {
        {10.0, "10"},
        {2.50, "2.5"},
        {101.97, "101.97"},
        {0.1 + 0.2, "0.3"},
        {-0.0, "0"},
        {-12.75, "-12.75"},
        {0.0001, "0.0001"},
        {0.00012, "0.00012"},
        {0.00001, "1E-05"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {1.5e100, "1.5E+100"},
        {1234567.891234567, "1234567.89123457"},
        {9999999999999999.0, "1E+16"},
        {9712.65, "9712.65"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(double_to_str(value), expected) << value;
    }
    EXPECT_ERROR_KIND(double_to_str(std::numeric_limits<double>::infinity()), overflow);
    EXPECT_EQ(long_to_str(-2147483647 - 1), "-2147483648");
}

TEST(Cell, ConvertsEmptyTextAndNumber)
{
    EXPECT_EQ(cell_to_double(Cell()), 0.0);
    EXPECT_EQ(cell_to_double(Cell::text(" 12.5 ")), 12.5);
    EXPECT_EQ(cell_to_double(Cell::number(9.5)), 9.5);
    EXPECT_ERROR_KIND(cell_to_double(Cell::text("")), type_mismatch);
}

} // namespace
} // namespace quillonde
