// Values no water can have, profiles of no line, and the temperature scale the formulas are given:
// through the window's export and the batch tool.
#include "cli/commands.h"
#include "cli/info_command.h"
#include "formats/csv.h"
#include "profile/profile_rows.h"

#include "error_matchers.h"
#include "formats/cast_test.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;

/// A profile of this program's CSV, its title row and `rows`.
std::string csv_profile(std::string_view rows)
{
    return std::string(csv_title) + "\r\n" + std::string(rows);
}

class WaterRules : public testing::SaltWaterCastTest {
protected:
    cli::RunResult convert(const std::vector<std::string>& inputs, const std::string& output, bool strict,
                           bool derive = false)
    {
        const cli::Console console{out, err, stop};
        return cli::convert_casts({OptionButton::op_salt, "54"}, inputs, output, derive, console, {}, strict);
    }

    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
};

TEST_F(WaterRules, ARowWithAValueNoWaterCanHaveIsLeftOutCountedAndAskedAbout)
{
    // Markers of missing values, a failed sensor and a broken probe; 0 degC and salinity 0 are water.
    load_text("marks.csv", csv_profile("1,1490,10,30,40\r\n"
                                       "2,9999.999,10,30,40\r\n"
                                       "3,1491,-9999,30,40\r\n"
                                       "4,1492,10,1E+308,40\r\n"
                                       "5,1493,0,0,0\r\n"
                                       "6,1494,-242.2,30,40\r\n"
                                       "7,3072.76,10,30,200\r\n"
                                       "8,1495,10,30,40\r\n"));
    EXPECT_EQ(state.g_table.rows_left_out(), (std::map<Rule, std::int32_t>{{Rule::outside_water, 5}}));
    EXPECT_EQ(state.g_table.row_left_out(7), Rule::outside_water);
    EXPECT_FALSE(state.g_table.row_left_out(5));
    EXPECT_EQ(exported(std::string::npos, "p.csv"), csv_profile("1,1490,10,30,40\r\n"
                                                                "5,1493,0,0,0\r\n"
                                                                "8,1495,10,30,40\r\n"));
    EXPECT_EQ(
        controls.questions,
        Texts{"6 samples lie outside what water can have (sound speed 9999.999 m/s at table row 2, "
              "temperature -9999 degC at table row 3, salinity 1E+308 at table row 4, ...); the profile "
              "leaves their rows out. Write the profile without them?"});

    // A No writes nothing.
    controls.answer = [](const Question&) { return false; };
    EXPECT_FALSE(export_path(dir.file("no.csv")).written);
    EXPECT_FALSE(std::filesystem::exists(dir.file("no.csv")));

    // Every row outside: nothing to write, in any format.
    controls.answer = [](const Question&) { return true; };
    controls.fix = [](const FixRequest&) { return CastFix{54.5, 11.5, std::chrono::sys_seconds{}}; };
    load_text("none.csv", csv_profile("1,9082.08,10,30,40\r\n2,1490,99,30,40\r\n"));
    for (const char* name : {"none.sva", "none.asvp"}) {
        EXPECT_STREQ(testing::error_of([&] { export_path(dir.file(name)); }).what(),
                     ("the profile holds no line: the rows of \"" + dir.file("none.csv") +
                      "\" that it would take have values outside what water can have")
                         .c_str());
        EXPECT_FALSE(std::filesystem::exists(dir.file(name)));
    }
}

// A Sea-Bird SBE 25 cast whose first scan is a bad record: the cast is written without it.
TEST_F(WaterRules, ABadFirstScanIsLeftOutAndNoLongerRefusesTheCast)
{
    const std::string cast = dir.write("sbe25.cnv", "* Sea-Bird SBE 25 Data File:\n"
                                                    "# name 0 = prDM: Pressure, Digiquartz [db]\n"
                                                    "# name 1 = t090C: Temperature [ITS-90, deg C]\n"
                                                    "# name 2 = sal00: Salinity, Practical [PSU]\n"
                                                    "# bad_flag = -9.990e-29\n"
                                                    "*END*\n"
                                                    "    163.900    99.0000    99.0000\n"
                                                    "      1.000    10.0000    35.0000\n"
                                                    "      2.000     9.0000    35.0000\n");
    EXPECT_EQ(convert({cast}, dir.file("sbe25.sva"), false, true), cli::RunResult::all_done);
    EXPECT_EQ(read_file(dir.file("sbe25.sva")), ".profile  1\r\n\r\n"
                                                "1\t1489.85\t10\t35\t38.09\t\r\n"
                                                "2\t1486.23\t9\t35\t37.148\t\r\n");
    EXPECT_EQ(err.str().substr(0, err.str().find('\n')),
              "quillonde-cli: " + cast +
                  ": warning: 2 samples lie outside what water can have (temperature 99 degC at table row 1, "
                  "salinity 99 at table row 1); the profile leaves their rows out");
}

TEST_F(WaterRules, AProfileOfNoLineIsRefusedOrAskedAbout)
{
    // No row deeper than 0.5 m.
    const std::string shallow =
        dir.write("shallow.TOB", "Lines : 1\n; Datasets Press Temp SALIN Cond SOUND\n1 0.3 10 30 40 1490\n");
    load_path(shallow);
    const std::string before = dir.write("old.asvp", "the sounder's profile");
    controls.fix = [](const FixRequest&) { return CastFix{54.5, 11.5, std::chrono::sys_seconds{}}; };
    EXPECT_STREQ(testing::error_of([&] { export_path(before); }).what(),
                 ("the profile holds no line: no usable row of \"" + shallow +
                  "\" lies deeper than 0.5 m; the target is left as it was")
                     .c_str());
    EXPECT_EQ(read_file(before), "the sounder's profile");
    controls.questions.clear();

    // The .sva of the header alone is written after its question, as it always was.
    EXPECT_EQ(exported(), ".profile  1\r\n\r\n");
    EXPECT_EQ(
        controls.questions,
        Texts{"The profile holds no line: no usable row of the cast lies deeper than 0.5 m, so the file "
              "holds its header alone. Write the file anyway?"});

    // The batch tool warns of it; --strict refuses it.
    EXPECT_EQ(convert({shallow}, dir.file("b.sva"), false), cli::RunResult::all_done);
    EXPECT_EQ(err.str(), "quillonde-cli: " + shallow +
                             ": warning: the profile holds no line: no usable row of the cast lies deeper "
                             "than 0.5 m, so the file holds its header alone\n");
    err.str("");
    EXPECT_EQ(convert({shallow}, dir.file("strict.sva"), true), cli::RunResult::some_failed);
    EXPECT_FALSE(std::filesystem::exists(dir.file("strict.sva")));
}

// An RBR export that states the air's pressure in pascals.
TEST_F(WaterRules, AnAtmosphereFarFromTheAirsIsDoubtedNotSubtracted)
{
    const std::string rbr = read_file(testing::format_casts + "rbr/ruskin_absolute_pressure.txt");
    load_text("pa.txt", testing::replaced(rbr, "atmosphere=10.1325 dbar", "atmosphere=101325"));
    EXPECT_EQ(columns().at(3), "Press|Pressure (dbar)|dbar|absolute pressure - 10.1325 dbar");
    EXPECT_EQ(exported(2), ".profile  1\r\n\r\n");
    EXPECT_EQ(controls.questions,
              Texts{"The file states the atmospheric pressure 101325, far from about 10.1 dbar: the standard "
                    "10.1325 dbar was subtracted from the absolute pressures instead. Export them?"});
}

TEST_F(WaterRules, ASpreadsheetLeavesWhatTheCastDoesNotGiveEmpty)
{
    load_cast("valeport/rapidsv.TXT");
    const std::string written = exported(3, "rapid.csv");
    EXPECT_EQ(written, csv_profile("0.6,1496.1,,,\r\n1.19,1496.01,,,\r\n"));
    // Read back, the empty cells are what the cast does not give, not values missing in a row.
    load_path(dir.file("rapid.csv"));
    EXPECT_EQ(exported(2, "again.csv"), csv_profile("0.6,1496.1,,,\r\n"));
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n0.6\t1496.1\t0\t0\t0\t\r\n");
}

// The row of SK287_CTD05.cnv at 3.995 dbar, without its salinity: TEOS-10's gsw_SP_from_C gives
// 32.0461670 for it, and gsw_C_from_SP of 35 at 25 degC and 500 dbar 53.2820821 mS/cm.
TEST_F(WaterRules, TheFormulasTakeITS90TemperaturesTimes1_00024)
{
    const auto cast = [](std::string_view temperature) {
        return "* Sea-Bird SBE 9 Data File:\n# name 0 = prDM: Pressure, Digiquartz [db]\n"
               "# name 1 = c0S/m: Conductivity [S/m]\n# name 2 = " +
               std::string(temperature) +
               "\n# name 3 = svCM: Sound Velocity [Chen-Millero, m/s]\n*END*\n"
               "      3.995   5.294085    28.9682    1540.41\n";
    };
    const auto salinity = [&](std::string_view temperature) {
        load_text("scale.cnv", cast(temperature));
        return exported(std::string::npos, "scale.csv");
    };
    controls.answer = [](const Question&) { return true; };
    EXPECT_EQ(salinity("t090C: Temperature [ITS-90, deg C]"),
              csv_profile("3.96,1540.41,28.968,32.046,52.941\r\n"));
    EXPECT_EQ(salinity("t068C: Temperature [IPTS-68, deg C]"),
              csv_profile("3.96,1540.41,28.968,32.051,52.941\r\n"));
}

} // namespace
} // namespace quillonde
