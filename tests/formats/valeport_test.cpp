// Valeport casts: the SWiFT's *.vp2, the Mini and Rapid series' *.TXT, the MIDAS series' *.000.
#include "formats/cast_test.h"

#include "depth/seawater.h"

namespace quillonde {
namespace {

using testing::Broken;
using testing::format_casts;
using testing::read_file;
using Valeport = testing::SaltWaterCastTest;

TEST_F(Valeport, SwiftSvpSampleGivesItsColumnsHeaderAndProfile)
{
    load_cast("valeport/VL_68630_190312155825.vp2");
    EXPECT_EQ(described(), "vp2|SWIFT SVP|68630|2019-03-12T15:58:25 [DataStartTime]|38.332203|-76.457718");
    EXPECT_EQ(columns(),
              (Texts{"Date/Time|Date/Time||", "Depth|Depth|m|calculated by the instrument's software",
                     "Press|Pressure|dbar|sea pressure: the instrument took off its tare of 10.269 dbar",
                     "SOUND|Sound Velocity|m/s|", "Temp|Temperature|\u00b0C|",
                     "SALIN|Salinity|PSU|calculated by the instrument's software",
                     "Density|Density|kg/M3|calculated by the instrument's software",
                     "Cond|Conductivity|mS/cm|calculated by the instrument's software; the file's \"mS/M\" "
                     "taken as mS/cm"}));
    EXPECT_EQ(controls.list.front(), "Date/Time");
    EXPECT_EQ(controls.captions[Label::Label4], "Number of rows: 33");
    EXPECT_EQ(row_of(1), "2019-03-12T15:58:25.000|0.502|0.506|1439.255|5.419|8.803|1006.944|9.540|0.5");
    EXPECT_EQ(row_of(33), "2019-03-12T15:58:35.719|3.673|3.701|1436.931|5.049|8.203|1006.502|8.843|3.67");
    // "mS/M" in the file, yet mS/cm: PSS-78 gives the same conductivity from the row's salinity.
    EXPECT_NEAR(conductivity(8.803, 5.419, 0.506), 9.540, 0.01);

    // A downcast: the sound velocity as the probe gave it, no question but the one on the window's
    // latitude, 54, far from the cast's.
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n"
                           "0.6\t1439.09\t5.523\t8.319\t9.078\t\r\n"
                           "1.2\t1438.87\t5.708\t7.505\t8.291\t\r\n");
    EXPECT_EQ(controls.questions, Texts{"The cast states latitude 38.33, but its depths were computed for "
                                        "salt water at 54 degrees. Export them?"});
    EXPECT_EQ(controls.captions[Label::Label6], "-");
}

TEST_F(Valeport, RapidSvtSampleIsPressureTemperatureAndSound)
{
    load_cast("valeport/V000007.TXT");
    EXPECT_EQ(described(), "valeport|RapidSVT|53615|2016-07-18T20:53:53 [the \"Now\" line]|59.299999|?");
    EXPECT_EQ(columns(),
              (Texts{"Press|pressure|dbar|sea pressure: the probe took off its tare of 10.1256 dbar",
                     "Temp|temperature|\u00b0C|", "SOUND|sound velocity|m/s|"}));
    EXPECT_EQ(state.g_table.last_row(), 184);
    EXPECT_EQ(row_of(1), "00.030|21.186|1478.114|0.03");
    EXPECT_EQ(row_of(184), "-0.003|15.001|0000.000|0");
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n"
                           "1\t1477.91\t21.186\t0\t0\t\r\n"
                           "1.6\t1477.61\t14.166\t0\t0\t\r\n");
}

// The Mini and Rapid series, one probe each, and every kind of line end.
TEST_F(Valeport, MiniAndRapidSeriesFilesOfEachProbe)
{
    struct Case {
        std::string file;
        std::string cast;
        Texts columns;
        std::int32_t rows;
        std::string first;
        std::string last;
    };
    const Case cases[] = {
        {"minisvp_dbar.TXT", // CR LF, a TAB after each row
         "valeport|MiniSVP|34826|2015-05-28T23:49:31 [the \"Now\" line]|-12.243056|130.927778",
         {"Press|pressure|dbar|sea pressure: the probe took off its tare of 10.0854 dbar",
          "Temp|temperature|\u00b0C|", "SOUND|sound velocity|m/s|"},
         8,
         "00.040|24.047|0000.000|0.04",
         "04.205|27.158|1539.380|4.17"},
        {"minisvp_metres.TXT", // LF; the first column a depth as it stands
         "valeport|MiniSVP|41007|2021-06-02T07:15:02 [the \"Now\" line]|52.915959|?",
         {"Depth|pressure|m|", "Temp|temperature|\u00b0C|", "SOUND|sound velocity|m/s|"},
         6,
         "00.351|17.412|1474.210|0.351",
         "03.104|11.530|1456.010|3.104"},
        {"minictd.TXT", // CR alone
         "valeport|MiniCTD|20311|2019-09-11T14:02:40 [the \"Now\" line]|50.4264|-3.6814",
         {"Press|pressure|dbar|sea pressure: the probe took off its tare of 10.1322 dbar",
          "Temp|temperature|\u00b0C|", "Cond|conductivity|mS/cm|"},
         6,
         "00.105|14.210|00.512|0.1",
         "02.702|13.801|44.650|2.68"},
        {"rapidsv.TXT", // CR CR LF; "Latitude: 999"
         "valeport|RapidSV|55120|2022-04-03T10:11:12 [the \"Now\" line]|?|?",
         {"Press|pressure|dbar|sea pressure: the probe took off its tare of 10.129 dbar",
          "SOUND|sound velocity|m/s|"},
         6,
         "00.020|0000.000|0.02",
         "02.915|1494.870|2.89"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        load_cast("valeport/" + c.file);
        EXPECT_EQ(described(), c.cast);
        EXPECT_EQ(columns(), c.columns);
        EXPECT_EQ(state.g_table.last_row(), c.rows);
        EXPECT_EQ(row_of(1), c.first);
        EXPECT_EQ(row_of(c.rows), c.last);
        EXPECT_EQ(state.last_load.failed_line, 0U);
    }
    // A depth in metres is written as it stands, whatever the window's water.
    load_cast("valeport/minisvp_metres.TXT");
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n"
                           "0.9\t1474.19\t17.398\t0\t0\t\r\n"
                           "1.5\t1472.66\t16.87\t0\t0\t\r\n");
    // A CTD without sound velocity: computed after UNESCO 1983, as for a Sea & Sun cast.
    load_cast("valeport/minictd.TXT");
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n"
                           "0.6\t1507.14\t14.205\t37.556\t44.871\t\r\n");
}

// Editors on Windows start a UTF-8 file with a byte order mark: the first line stays the header's.
TEST_F(Valeport, SwiftCtdTakesTheTareOffAnAbsolutePressure)
{
    load_cast("valeport/swift_ctd.vp2"); // a Latin-1 byte in SiteInfo, a title row among the rows
    EXPECT_EQ(described(), "vp2|SWIFT CTD|70411|2023-06-14T09:41:07 [DataStartTime]|48.7021|-3.8817");
    EXPECT_EQ(columns()[2], "Press|Pressure|dbar|absolute pressure - 10.132 dbar");
    EXPECT_EQ(columns()[3], "SOUND|Sound Velocity|m/s|calculated by the instrument's software");
    EXPECT_EQ(state.g_table.last_row(), 6);
    EXPECT_EQ(row_of(1), "2023-06-14T09:41:07.000|0.410|0.413|1505.210|14.875|43.120|35.201|0.41");
    EXPECT_EQ(row_of(6), "2023-06-14T09:41:09.500|3.490|3.518|1504.700|14.530|42.801|35.216|3.49");
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n"
                           "1\t1505.19\t14.87\t35.203\t43.118\t\r\n");
    EXPECT_EQ(controls.questions, Texts{"The cast states latitude 48.7, but its depths were computed for "
                                        "salt water at 54 degrees. Export them?"});
}

TEST_F(Valeport, MidasTitleRowNamesTheColumnsAndTheMeasuredSoundWins)
{
    load_cast("valeport/midas_svx2.000");
    EXPECT_EQ(described(),
              "valeport|MIDAS SVX2 3000|40710|2020-08-21T06:30:12 [the \"Time Stamp\" line]|?|?");
    EXPECT_EQ(
        columns(),
        (Texts{"Date_/_Time|Date / Time||", "SOUND|SOUND VELOCITY;M/SEC|m/s|", "Press|PRESSURE;DBAR|dbar|",
               "Temp|TEMPERATURE;C|\u00b0C|", "Cond|CONDUCTIVITY;MS/CM|mS/cm|",
               "SALIN|Calc. SALINITY;PSU|PSU|calculated by the instrument's software",
               "Calc._DENSITY|Calc. DENSITY;KG/M3|KG/M3|calculated by the instrument's software",
               "Calc._SOUND_VELOCITY|Calc. SOUND VELOCITY;M/SEC|M/SEC|calculated by the instrument's "
               "software"}));
    EXPECT_EQ(row_of(1), "2020-08-21T06:30:12|1512.402|0.352|18.210|48.905|35.611|1025.980|1512.390|0.35");
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n"
                           "0.9\t1512.4\t18.208\t35.612\t48.902\t\r\n");

    // Without the probe's own sound velocity, the one it calculated is the cast's; a depth in metres
    // stands as it is.
    load_text("calc.000",
              "Model Name :\tMIDAS CTD\nDate / Time\tPRESSURE;M\tTEMPERATURE;C\tCalc. SOUND VELOCITY;M/SEC\n"
              "21/08/2020 06:30:12\t1.5\t18.2\t1512.4\n");
    EXPECT_EQ(columns(),
              (Texts{"Date_/_Time|Date / Time||", "Depth|PRESSURE;M|m|", "Temp|TEMPERATURE;C|\u00b0C|",
                     "SOUND|Calc. SOUND VELOCITY;M/SEC|m/s|calculated by the instrument's software"}));
}

// A real MIDAS SVP 6000 file whose title row writes each unit before its column's name, the first
// column's none: "SOUND VELOCITY;DBAR<TAB>PRESSURE;C<TAB>TEMPERATURE;".
TEST_F(Valeport, MidasUnitsWrittenBeforeTheirNamesOrNotAtAll)
{
    load_cast("valeport/FILE1.000");
    EXPECT_EQ(described(), "valeport|MIDAS SVP 6000|36570|2012-05-10T11:08:59 [the \"Time Stamp\" line]|?|?");
    EXPECT_EQ(
        columns(),
        (Texts{"Date_/_Time|Date / Time||", "SOUND|SOUND VELOCITY;DBAR|m/s|the title row names no unit: m/s",
               "Press|PRESSURE;C|dbar|the unit written before its name (\"DBAR PRESSURE\")",
               "Temp|TEMPERATURE;|\u00b0C|the unit written before its name (\"C TEMPERATURE\")"}));
    EXPECT_EQ(state.g_table.last_row(), 6590);
    EXPECT_EQ(row_of(1), "2012-05-10T11:08:59.000|0.000|-0.064|10.671|-0.06");
    EXPECT_EQ(row_of(6590), "2012-05-10T12:03:53.500|0.000|-0.012|15.415|-0.01");

    // A name without a unit, and a pressure in metres: a depth. A pressure without a unit may be
    // either, so it is refused.
    const std::string header = "Model Name :\tMIDAS SVX2 1000\nDate / Time\t";
    load_text("svx2.000",
              header +
                  "SOUND VELOCITY;\tPRESSURE;M\tTEMPERATURE;C\n21/08/2020 06:30:12\t1512.4\t1.5\t18.2\n");
    EXPECT_EQ(columns(), (Texts{"Date_/_Time|Date / Time||",
                                "SOUND|SOUND VELOCITY;|m/s|the title row names no unit: m/s",
                                "Depth|PRESSURE;M|m|", "Temp|TEMPERATURE;C|\u00b0C|"}));
    EXPECT_EQ(row_of(1), "2020-08-21T06:30:12|1512.4|1.5|18.2|1.5");
    EXPECT_EQ(
        load_error("bare.000", header + "SOUND VELOCITY;M/SEC\tPRESSURE;\n21/08/2020 06:30:12\t1512.4\t1.5\n")
            .what(),
        std::string("Not a data file at line 2: the title row's \"PRESSURE;\" names no unit, and a pressure "
                    "may be written in more than one"));
}

TEST_F(Valeport, BrokenFilesFailNamingTheLineAndTheField)
{
    const std::string vp2_header =
        "[HEADER]\nRowCount=3\n[DATA]\nDepth\tPressure\tTemperature\tSound Velocity\n"
        "m\tdBar\tDegC\tMs-1\n";
    const std::string mini_header = "Now: 28/05/2015 23:49:31\nMiniSVP: S/N 34826\nPressure units: dBar\n";
    const std::vector<Broken> cases = {
        {"cut_row.vp2", vp2_header + "1.0\t1.0\t10.0\t1490.0\n2.0\t2.0\t10",
         "Subscript out of range at line 7: the line has 3 values, but the header names 4 columns", 2},
        {"unit.vp2", "[HEADER]\n[DATA]\nPressure\tTemperature\tSound Velocity\ndBar\tK\tMs-1\n1\t283\t1490\n",
         "Not a data file at line 4: column 2 (\"Temperature\") is a temperature in \"K\", a unit the "
         "program does not know for it",
         0},
        {"no_depth.vp2", "[HEADER]\n[DATA]\nTemperature\tSound Velocity\nDegC\tMs-1\n10\t1490\n",
         "Not a data file at line 4: the [DATA] title row names neither a pressure nor a depth column, so "
         "the cast gives no depths",
         0},
        {"latin1.TXT", mini_header + "01.000\t10.5\t1490.1\n02.000\t1\xe9.5\t1490.2\n",
         "Type mismatch at line 5: column 2 (\"temperature\") \"1\xe9.5\" is not a number", 1},
        {"extra.TXT", mini_header + "01.000\t10.5\t1490.1\n02.000\t10.5\t1490.2\t7\n",
         "Subscript out of range at line 5: the line has 4 values, but the header names 3 columns", 1},
        {"short.TXT", mini_header + "01.000\t10.5\n",
         "Subscript out of range at line 4: the line has 2 values, but a MiniSVP writes 3", 0},
        {"svt.TXT", "RapidSVT: S/N 53615\nPressure units: dBar\n01.000\t1490.1\n",
         "Subscript out of range at line 3: the line has 2 values, but a RapidSVT writes 3", 0},
        {"probe.TXT", "Now: 28/05/2015 23:49:31\nMiniFOO: S/N 1\nPressure units: dBar\n1\t2\t3\n",
         "Not a data file at line 4: the header names the probe \"MiniFOO\", whose columns the program does "
         "not know",
         0},
        {"kPa.TXT", "Now: 28/05/2015 23:49:31\nMiniSVP: S/N 1\nPressure units: kPa\n1\t2\t3\n",
         "Not a data file at line 4: column 1 (\"pressure\") is a pressure in \"kPa\", a unit the program "
         "does not know for it",
         0},
        {"mixed.TXT", mini_header + "01.000\t10.5\t1490.1\nNow: 28/05/2015 23:59:31\n",
         "Not a data file at line 5: the line \"Now: 28/05/2015 23:59:31\" is not a row of numbers, as the "
         "rows before it are",
         1},
        {"two.vp2", vp2_header + "1.0\t1.0\t10.0\t1490.0\n[HEADER]\n",
         "Not a data file at line 7: a second \"[HEADER]\" section after the rows: the file holds more than "
         "one cast",
         1},
        {"title.vp2", "[HEADER]\n[DATA]\nPressure\tSound Velocity\ndBar\tMs-1\n",
         "Not a data file: \"" + dir.file("title.vp2") +
             "\" has no rows under its [DATA] title row, so it holds no cast",
         0},
        {"empty.vp2", "[HEADER]\nInstrument=SWIFT SVP\n",
         "Not a data file: \"" + dir.file("empty.vp2") +
             "\" has no [DATA] section with a title row, so it holds no cast",
         0},
    };
    expect_failures(cases);
    // A cast shorter than its RowCount loads the rows it holds, and the export asks before it
    // writes them.
    load_text("cut.vp2", vp2_header + "1.0\t1.0\t10.0\t1490.0\n2.0\t2.0\t10.0\t1490.5\n");
    EXPECT_EQ(state.last_load.rows_declared, 3);
    controls.questions.clear();
    exported();
    EXPECT_EQ(controls.questions.front().substr(0, 50), "The cast declares 3 rows; 2 were read. Export them");
}

} // namespace
} // namespace quillonde
