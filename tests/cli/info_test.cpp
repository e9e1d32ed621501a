// quillonde-cli info: what a cast says of itself and of its columns, as text and as JSON.
#include "cli/info_command.h"

#include "formats/cast_test.h"
#include "temp_dir.h"
#include "tool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::format_casts;
using testing::Outcome;
using testing::run;

TEST(Info, TellsWhatACastSaysOfItselfAndOfItsColumns)
{
    const Outcome outcome = run({"info", "seabird/SK287_CTD05.cnv"}, format_casts);
    EXPECT_EQ(outcome.out, "seabird/SK287_CTD05.cnv\n"
                           "  format:      Sea-Bird *.cnv\n"
                           "  instrument:  SBE 9\n"
                           "  serial:      unknown\n"
                           "  time:        2011-08-01T11:34:53Z (NMEA UTC (Time), UTC)\n"
                           "  latitude:    -2.44516666666667\n"
                           "  longitude:   80.478\n"
                           "  rows:        10\n"
                           "  temperature: ITS-90, x 1.00024 for the UNESCO 1983 formulas\n"
                           "  profile:     2 lines for ELAC Sound File *.sva, the upcast\n"
                           "  columns (name, source, unit, conversion):\n"
                           "    depSM      depSM      m       salt water\n"
                           "    Press      prDM       dbar\n"
                           "    Cond       c0S/m      mS/cm   S/m x 10\n"
                           "    Temp       t090C      \u00B0C      ITS-90\n"
                           "    SALIN      sal00      PSU\n"
                           "    SOUND      svCM       m/s     Chen-Millero\n"
                           "    flECO-AFL  flECO-AFL  mg/m^3\n"
                           "    flag       flag\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 0);
}

TEST(Info, OneJsonObjectALineNullWhereTheFileSaysNothing)
{
    const Outcome outcome = run(
        {"info", "--json", "castaway/castaway_no_position.csv", "none.cnv", "seabird/CTD_with_sigma_e00.cnv"},
        format_casts);
    const std::string first = outcome.out.substr(0, outcome.out.find('\n') + 1);
    EXPECT_EQ(
        first,
        "{\"file\":\"castaway/castaway_no_position.csv\",\"format\":\"castaway\","
        "\"instrument\":\"CastAway-CTD\",\"serial\":\"CC1531002\",\"time\":\"2019-03-04T10:15:00Z\","
        "\"time_source\":\"Cast time (UTC)\",\"time_zone\":\"UTC\","
        "\"latitude\":null,\"longitude\":null,\"rows\":4,\"rows_stated\":null,\"left_out\":{},"
        "\"temperature_scale\":\"ITS-90, x 1.00024 for the UNESCO 1983 formulas\",\"profile\":{\"format\":"
        "\"sva\",\"lines\":3,\"failure\":null,\"cast\":\"downcast\",\"soak_rows\":0,\"spike_rows\":0,\"bin_"
        "m\":null,"
        "\"deepest_m\":null,\"surface_check\":null,\"sounder\":null,\"steps\":[]},\"columns\":[{"
        "\"name\":\"Press\","
        "\"source\":\"Pressure (Decibar)\",\"unit\":\"dbar\",\"conversion\":null},{\"name\":\"Depth\","
        "\"source\":\"Depth (Meter)\",\"unit\":\"m\",\"conversion\":null},{\"name\":\"Temp\","
        "\"source\":\"Temperature (Celsius)\",\"unit\":\"\u00B0C\",\"conversion\":\"ITS-90\"},"
        "{\"name\":\"Cond\","
        "\"source\":\"Conductivity (MicroSiemens per Centimeter)\",\"unit\":\"mS/cm\","
        "\"conversion\":\"uS/cm / 1000\"},{\"name\":\"Specific_conductance\","
        "\"source\":\"Specific conductance (MicroSiemens per Centimeter)\",\"unit\":\"\u00B5S/cm\","
        "\"conversion\":null},{\"name\":\"SALIN\",\"source\":\"Salinity (Practical Salinity Scale)\","
        "\"unit\":\"PSU\",\"conversion\":null},{\"name\":\"SOUND\","
        "\"source\":\"Sound velocity (Meters per Second)\",\"unit\":\"m/s\",\"conversion\":null},"
        "{\"name\":\"Density\",\"source\":\"Density (Kilograms per Cubic Meter)\",\"unit\":\"kg/m\u00B3\","
        "\"conversion\":null}]}\n");
    // The next cast follows a failure; a Latin-1 name becomes UTF-8, as JSON wants.
    EXPECT_NE(
        outcome.out.find("{\"file\":\"seabird/CTD_with_sigma_e00.cnv\",\"format\":\"cnv\",\"instrument\":"
                         "\"SBE 9\",\"serial\":null,\"time\":\"2013-07-12T12:59:29Z\",\"time_source\":\"# "
                         "start_time [NMEA time, first data scan]\","
                         "\"time_zone\":\"UTC\",\"latitude\":39.2705,"),
        std::string::npos);
    EXPECT_NE(
        outcome.out.find("{\"name\":\"sigma-\u00E900\",\"source\":\"sigma-\u00E900\",\"unit\":\"Kg/m^3\","
                         "\"conversion\":null}"),
        std::string::npos);
    EXPECT_EQ(outcome.err, "quillonde-cli: none.cnv: File not found: \"none.cnv\"\n");
    EXPECT_EQ(outcome.status, 1);
}

// With convert's options, info says what convert would write: as many lines, each step named, in
// text and in JSON.
TEST(Info, SaysTheProfileConvertWouldWriteAndEachStepThatShapedIt)
{
    const std::vector<std::string> options = {"--salt",
                                              "--latitude",
                                              "54",
                                              "--format",
                                              "asvp",
                                              "--drop-soak",
                                              "--bin",
                                              "2",
                                              "--surface-sound-speed",
                                              "1500",
                                              "--draft",
                                              "3",
                                              "seabird/19plus_V2_CTD-processing_example.cnv"};
    std::vector<std::string> arguments = {"info"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const std::string text = run(arguments, format_casts).out;
    EXPECT_NE(
        text.find("  profile:     113 lines for Kongsberg SIS *.asvp, the downcast\n"
                  "  steps:       540 soak rows left out; 2 m bins; surface sound speed 1522.53 m/s at 3 m "
                  "against the sensor's 1500; a 0 m line added; extended to 12000 m\n"),
        std::string::npos)
        << text;
    arguments.insert(arguments.begin() + 1, "--json");
    const std::string json = run(arguments, format_casts).out;
    EXPECT_NE(
        json.find("\"profile\":{\"format\":\"asvp\",\"lines\":113,\"failure\":null,\"cast\":\"downcast\","
                  "\"soak_rows\":540,\"spike_rows\":0,\"bin_m\":2.0,\"deepest_m\":null,\"surface_check\":{"
                  "\"draft_m\":3.0,\"sensor_m_s\":1500.0,\"profile_m_s\":1522.5283846394811},\"sounder\":{"
                  "\"not_deeper_left_out\":0,\"surface_line_m_s\":1522.5454350882842,\"reduced_to\":null,"
                  "\"extended_below_m\":221.0},\"steps\":[\"540 soak rows left out\",\"2 m bins\","),
        std::string::npos)
        << json;

    testing::TempDir dir;
    arguments = {"convert", "--derive", "--time", "2016-12-10T06:16:51Z", "--position",
                 "54",      "11",       "-o",     dir.file("cast.asvp")};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_NE(run(arguments, format_casts)
                  .out.find(": 3069 rows, 113 profile lines; steps: 540 soak rows left out, 2 m bins, "),
              std::string::npos);
    // Without a SOUND to give, info names the failure convert would meet.
    const std::string temperatures =
        dir.write("t.TOB", "Lines : 2\n; Datasets Press Temp\n;\n 1 1.0 10.0\n 2 2.0 9.0\n");
    const std::string refused = run({"info", "--json", "--fresh", temperatures}).out;
    EXPECT_NE(refused.find("\"lines\":null,\"failure\":\"The data file has no columns named \\\"SOUND\\\""),
              std::string::npos)
        << refused;
}

TEST(Info, BytesOfADataFileBecomeUtf8AsTheWindowShowsThem)
{
    EXPECT_EQ(cli::utf8_text("sigma-\xE9"
                             "00"),
              "sigma-\u00E9"
              "00");
    EXPECT_EQ(cli::utf8_text("\x80 \x9F \xB0"), "\u20AC \u0178 \u00B0"); // Windows-1252's signs
    EXPECT_EQ(cli::utf8_text("\xC2\xB0"
                             "C"),
              "\u00B0C");                        // UTF-8 already
    EXPECT_EQ(cli::utf8_text("\xC2"), "\u00C2"); // cut short: not UTF-8
    EXPECT_EQ(cli::utf8_text("\xF0\x9F\x8C\x8A"), "\xF0\x9F\x8C\x8A");
}

} // namespace
} // namespace quillonde
