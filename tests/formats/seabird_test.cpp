// Sea-Bird casts (*.cnv): the shared real casts, casts written after SBE Data Processing's
// description, and broken ones.
#include "cast_test.h"

#include "formats/csv.h"
#include "formats/text_cast.h"

namespace quillonde {
namespace {

using testing::CastTest;
using testing::error_of;
using testing::format_casts;
using testing::read_file;
using testing::replaced;

class Seabird : public CastTest {};

// Three columns, two rows: the shape of every broken cast below.
constexpr std::string_view small_header = "* Sea-Bird SBE 9 Data File:\n"
                                          "# nquan = 3\n"
                                          "# nvalues = 2\n"
                                          "# name 0 = prDM: Pressure, Digiquartz [db]\n"
                                          "# name 1 = t090C: Temperature [ITS-90, deg C]\n"
                                          "# name 2 = c0S/m: Conductivity [S/m]\n"
                                          "# bad_flag = -9.990e-29\n"
                                          "*END*\n";
constexpr std::string_view small_rows = "      1.000    10.0000   3.500000\n"
                                        "      2.000     9.5000   3.400000\n";

TEST_F(Seabird, ACastWithSoundVelocityAndATitleRowInItsData)
{
    load_cast("seabird/SK287_CTD05.cnv");
    EXPECT_EQ(described(), "cnv|SBE 9|?|2011-08-01T11:34:53Z [NMEA UTC (Time)]|-2.445167|80.478");
    EXPECT_EQ(columns(),
              (Texts{"depSM|depSM|m|salt water", "Press|prDM|dbar|", "Cond|c0S/m|mS/cm|S/m x 10",
                     "Temp|t090C|\u00B0C|ITS-90", "SALIN|sal00|PSU|", "SOUND|svCM|m/s|Chen-Millero",
                     "flECO-AFL|flECO-AFL|mg/m^3|", "flag|flag||"}));
    EXPECT_EQ(controls.list,
              (Texts{"depSM", "Press", "Cond", "Temp", "SALIN", "SOUND", "flECO-AFL", "flag"}));
    // The title row between header and data is no row.
    EXPECT_EQ(state.g_table.filled_rows(), 10);
    EXPECT_EQ(controls.captions.at(Label::Label4), "Number of rows: 10");
    EXPECT_EQ(row_of(1), "3.973|3.995|52.94085|28.9682|32.0462|1540.41|0.0844|0.000e+00|4.07");
    EXPECT_EQ(row_of(10), "0.811|0.816|32.82917|28.9404|18.8553|1526.53|0.0844|0.000e+00|0.83");
    // svCM is written as the file gives it. The cast was recorded on the way up: the profile starts
    // at its shallowest row.
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n0.8\t1526.53\t28.94\t18.855\t32.829\t\r\n");
    EXPECT_EQ(controls.questions, Texts{"The median salinity of the stored rows is 32.067, as in sea water, "
                                        "but the depths were computed for fresh water. Export them?"});
    controls.questions.clear();

    // Sea-water depths for 45 degrees, 2.4 degrees south: asked first.
    controls.water = OptionButton::op_salt;
    load_cast("seabird/SK287_CTD05.cnv");
    exported(0);
    EXPECT_EQ(controls.questions, Texts{"The cast states latitude -2.45, but its depths were computed for "
                                        "salt water at 45 degrees. Export them?"});
    controls.questions.clear();
    controls.texts[TextBox::tx_lat] = "-3"; // gravity knows no hemisphere
    load_cast("seabird/SK287_CTD05.cnv");
    exported(0);
    EXPECT_TRUE(controls.questions.empty());
}

TEST_F(Seabird, BadFlagValuesAreMissingAndTheirRowsGetNoDepth)
{
    load_cast("seabird/dPIRX003.cnv");
    EXPECT_EQ(described(),
              "cnv|SBE 9|?|2008-04-02T18:52:30 [# start_time, which is the System UpLoad Time: when the data "
              "left the instrument]|?|?"); // "** 12 40.46 N" is not named a latitude
    // The primary sensors are taken; the secondary ones keep their names and units.
    EXPECT_EQ(controls.list, (Texts{"timeS", "Press", "Temp", "t190C", "Cond", "c1S/m", "potemp090C",
                                    "potemp190C", "SALIN", "sal11", "flag"}));
    EXPECT_EQ(columns()[3], "t190C|t190C|deg C|ITS-90");
    EXPECT_EQ(columns()[5], "c1S/m|c1S/m|S/m|");
    EXPECT_EQ(state.g_table.filled_rows(), 349);
    EXPECT_EQ(row_of(1), "246.446|162.000|15.8635|15.7969|44.68541|4.497739|15.8372|15.7713|35.7561|36.0788|"
                         "0.0000e+00|165.19");
    // Every value but the scan's time marked missing, the flag too: no depth, its texts kept.
    EXPECT_EQ(row_of(20), "<>|181.000|<>|<>|<>|<>|<>|<>|<>|<>|<>|<>");
    // A missing temperature: no depth either, so the export never meets an empty value.
    EXPECT_EQ(row_of(349), "729.875|510.000|<>|7.8190|<>|<>|<>|7.7944|<>|<>|0.0000e+00|<>");
    controls.answer = [](const Question&) { return true; };
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n165.2\t1512.93\t15.864\t35.756\t44.685\t\r\n"
                           "166.2\t1512.07\t15.48\t36.02\t44.591\t\r\n");
    EXPECT_EQ(controls.questions[0], std::string(derived_columns[0].question));
}

TEST_F(Seabird, LatinOneNamesTemperaturesOnIpts68AndAColumnNamedTwice)
{
    load_cast("seabird/CTD_with_sigma_e00.cnv");
    EXPECT_EQ(described(), "cnv|SBE 9|?|2013-07-12T12:59:29Z [# start_time [NMEA time, first data "
                           "scan]]|39.2705|-150.105667"); // start_time of the NMEA
    ASSERT_EQ(state.cast.columns.size(), 22U);
    EXPECT_EQ(columns()[2], "Temp|t068C|\u00B0C|IPTS-68");
    EXPECT_EQ(columns()[9], "sigma-\xE9"
                            "00|sigma-\xE9"
                            "00|Kg/m^3|"); // the file's bytes, Latin-1
    EXPECT_EQ(controls.list[0], "scan");
    EXPECT_EQ(controls.list[11], "scan");
    // 200 dbar of fresh water.
    EXPECT_EQ(row_of(199), "20605|200.000|10.3344|37.53002|204.767|0.0160|0.0078|0|34.0235|26.1368|10.3085|"
                           "20605|10.3296|3.752722|211.306|6.0564e-02|34.0251|26.1388|10.3061|9.5994e-02|5|"
                           "0.0000e+00|203.94");
}

TEST_F(Seabird, AnSbe19plusWithCrLineEndsAndMarkedScans)
{
    load_cast("seabird/sbe19plus_cr.cnv");
    // The NMEA clock, in UTC, before the instrument's own.
    EXPECT_EQ(described(), "cnv|SBE19plus|01906855|2024-05-02T08:41:09Z [NMEA UTC (Time)]|53.542|8.581167");
    EXPECT_EQ(columns(), (Texts{"Press|prdM|dbar|", "Temp|t090C|\u00B0C|ITS-90", "Cond|c0mS/cm|mS/cm|",
                                "SALIN|sal00|PSU|", "SOUND|svCM|m/s|Chen-Millero", "flag|flag||"}));
    // A title row and a blank line among the rows; the third lacks its conductivity, the fifth is
    // marked bad by Loop Edit.
    EXPECT_EQ(state.g_table.filled_rows(), 7);
    EXPECT_EQ(row_of(3), "3.000|11.9870|<>|31.4012|1495.17|0.000e+00|<>");
    // The row Loop Edit marks keeps its depth; the flag leaves it out of the profile.
    EXPECT_EQ(row_of(5), "5.000|11.2001|37.7004|31.7002|1493.20|<>|5.1");
    EXPECT_EQ(state.g_table.row_left_out(5), Rule::file_flag);
    EXPECT_EQ(state.g_table.row_left_out(4), std::nullopt);
    EXPECT_EQ(row_of(7), "7.000|10.5010|37.1100|32.0500|1490.77|0.000e+00|7.14");
    EXPECT_EQ(exported(6), ".profile  1\r\n\r\n1\t1496.12\t12.346\t31.234\t38.123\t\r\n"
                           "2\t1496.03\t12.296\t31.33\t38.2\t\r\n4.1\t1493.88\t11.501\t31.602\t37.812\t\r\n"
                           "6.1\t1492.01\t10.874\t31.901\t37.402\t\r\n");

    // An error names the line an editor shows it on, CRs counted as line ends.
    const std::string cast = read_file(format_casts + "seabird/sbe19plus_cr.cnv");
    EXPECT_EQ(load_error("cut.cnv", replaced(cast, "1493.88", "1493x88")).what(),
              std::string("Type mismatch at line 35: column 5 (\"svCM\"): \"1493x88\" is not a number"));
}

TEST_F(Seabird, FieldsThatTouchAreSplitByTheirWidth)
{
    load_cast("seabird/sbe25_touching.cnv");
    EXPECT_EQ(described(),
              "cnv|SBE 25|?|2023-03-14T06:02:40 [# start_time]|72.508333|-19.2"); // the operator's lines
    EXPECT_EQ(state.g_table.filled_rows(), 4);
    EXPECT_EQ(row_of(3), "3|2.25000000000|-1.67890123456|27.6512345678|34.14000000000|2.29");
    controls.answer = [](const Question&) { return true; };
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n0.8\t1442.18\t-1.235\t34.1\t27.731\t\r\n");

    // Values that touch and are not of one width cannot be told apart.
    EXPECT_EQ(load_error("uneven.cnv", std::string(small_header) + "      1.000-10.0000003.500000\n").what(),
              std::string("Subscript out of range at line 9: the line has 1 values, but the header names 3 "
                          "columns, and its fields are not of one width; is the file cut short?"));
    // A value that leaves a blank at the end of its field: the row is still cut at the width.
    load_text("left.cnv", std::string(small_header) + "      1.000-10.000000    3.500000\n" +
                              "      2.000    10.0000   3.500000\n");
    EXPECT_EQ(row_of(1), "1.000|-10.000000|35|1.02");
}

TEST_F(Seabird, TheSensorsAndHeadersOfTheFamily)
{
    struct Variant {
        std::string header; // the lines between "* Sea-Bird" and "*END*"
        std::string row;
        Texts columns;      // "name|source|unit|conversion"
        std::string values; // the row, then its depth
    };
    const Variant variants[] = {
        // Pressure in psi, temperature in deg F, conductivity in uS/cm.
        {"# name 0 = prdE: Pressure, Strain Gauge [psi]\n# name 1 = t090F: Temperature [ITS-90, deg F]\n"
         "# name 2 = c0uS/cm: Conductivity [uS/cm]\n",
         "     14.504    50.0000   35000.00",
         {"Press|prdE|dbar|psi x 0.6894757", "Temp|t090F|\u00B0C|(deg F - 32) / 1.8; ITS-90",
          "Cond|c0uS/cm|mS/cm|uS/cm / 1000"},
         "10.0001559780114|10|35|10.2"},
        // Depths and no pressure: the depths as the file gives them; Chen-Millero before DelGrosso.
        {"# name 0 = depFM: Depth [fresh water, m]\n# name 1 = svDM: Sound Velocity [Delgrosso, m/s]\n"
         "# name 2 = svCM: Sound Velocity [Chen-Millero, m/s]\n",
         "     12.345    1490.12    1490.55",
         {"Depth|depFM|m|fresh water", "svDM|svDM|m/s|Delgrosso", "SOUND|svCM|m/s|Chen-Millero"},
         "12.345|1490.12|1490.55|12.345"},
        // The second sensors alone are taken; without long names, the short ones tell.
        {"# name 0 = prDM\n# name 1 = t190C: Temperature, 2 [ITS-90, deg C]\n# name 2 = c1S/m\n",
         "      2.000    10.0000   3.500000",
         {"Press|prDM|dbar|", "Temp|t190C|\u00B0C|ITS-90", "Cond|c1S/m|mS/cm|S/m x 10"},
         "2.000|10.0000|35|2.04"},
        // avgsvCM is the mean of the water above, not the speed at the depth.
        {"# name 0 = prDM: Pressure, Digiquartz [db]\n# name 1 = avgsvCM: Average Sound Velocity "
         "[Chen-Millero, m/s]\n"
         "# name 2 = sal00: Salinity, Practical [PSU]\n",
         "      2.000    1490.00    35.0000",
         {"Press|prDM|dbar|", "avgsvCM|avgsvCM|m/s|", "SALIN|sal00|PSU|"},
         "2.000|1490.00|35.0000|2.04"},
    };
    for (const Variant& v : variants) {
        load_text("variant.cnv", "* Sea-Bird SBE 25plus Data File:\n" + v.header + "*END*\n" + v.row + "\n");
        EXPECT_EQ(columns(), v.columns) << v.header;
        EXPECT_EQ(row_of(1), v.values) << v.header;
    }
    // What the operator and the deck unit write: a position, a clock in UTC, a serial number.
    load_text("header.cnv",
              "* Sea-Bird SBE 19plus Data File:\n* <HardwareData DeviceType='SBE19plus' "
              "SerialNumber='01906855'>\n* System UTC = Jun 03 2021 14:20:01\n** Lat = 54 20.32 N\n"
              "** Long: 011 41.48 E\n# name 0 = prdM: Pressure, Strain Gauge [db]\n"
              "# start_time = Jun 03 2021 14:19:58 [Instrument's time stamp, header]\n*END*\n"
              "      1.000\n");
    EXPECT_EQ(described(), "cnv|SBE 19plus|01906855|2021-06-03T14:20:01Z [System UTC]|54.338667|11.691333");
    // A time that is none stays unknown; so do a latitude of 999 and a longitude without its degrees.
    load_text("unknown.cnv", "* Sea-Bird SBE 19plus Data File:\n** Latitude: 999\n** Lon = 41.48 E W\n"
                             "# name 0 = prdM: Pressure, Strain Gauge [db]\n"
                             "# start_time = Foo 03 2021 14:19:58\n*END*\n      1.000\n");
    EXPECT_EQ(described(), "cnv|SBE 19plus|?|?|?|?");
}

// Real casts of three more instruments: an SBE 9 with secondary sensors, the NMEA latitude south and
// a depth column twice, the second computed for a latitude; a raw SBE 19plus V2 cast without a
// position; an SBE 49 upcast bin file whose position stands only in "@" lines after the processing.
TEST_F(Seabird, SecondarySensorsARawCastAndAnUpcastBinFile)
{
    load_cast("seabird/WQR086CFACLWDB.cnv");
    EXPECT_EQ(described(), "cnv|SBE 9|?|2025-02-02T03:59:48Z [NMEA UTC (Time)]|-23.340667|150.905333");
    EXPECT_EQ(controls.list,
              (Texts{"Press", "Temp", "Cond", "scan", "depSM", "timeS", "cpar", "spar", "turbWETntu0",
                     "flECO-AFL", "par", "t190C", "c1S/m", "depSM", "SALIN", "nbin", "flag"}));
    EXPECT_EQ(columns()[13], "depSM|depSM|m|salt water, for latitude -23.3407");
    EXPECT_EQ(row_of(1), "1.006|28.0831|58.11991|5248|0.998|218.616|6.9285e+01|3.9379e+02|11.8057|0.8223|"
                         "2.7316e+02|28.0829|5.811250|1.000|36.2666|31|0.0000e+00|1.03");
    EXPECT_EQ(row_of(6), "6.038|28.0926|58.13011|6492|6.023|270.441|-3.827e-02|4.4360e+02|13.3155|1.0252|"
                         "-1.563e-01|28.0929|5.812366|6.000|36.2649|3|0.0000e+00|6.16");

    load_cast("seabird/19plus_V2_CTD-processing_example.cnv");
    EXPECT_EQ(described(),
              "cnv|SBE19plus|6130|2016-12-10T06:16:51 [the \"* cast\" line, the instrument's clock]|?|?");
    EXPECT_EQ(controls.list, (Texts{"Temp", "Cond", "Press", "f0", "f1", "f2", "SALIN", "flag"}));
    EXPECT_EQ(state.g_table.last_row(), 3069);
    EXPECT_EQ(row_of(1), "20.4459|0.08453|-0.105|322798|2638.340|533539|0.0476|0.000e+00|-0.11");
    EXPECT_EQ(row_of(3069), "20.1628|47.04514|-0.107|326317|6214.621|533538|34.1533|0.000e+00|-0.11");

    load_cast("seabird/BON010.up");
    EXPECT_EQ(described(),
              "cnv|SBE 49|?|2015-05-16T12:22:41Z [# start_time [System UTC, header]]|54.963833|-158.497333");
    EXPECT_EQ(columns()[2], "Cond|c0mS/cm|mS/cm|");
    EXPECT_EQ(state.g_table.last_row(), 103);
    EXPECT_EQ(row_of(1), "103.000|5.4557|31.353743|32.0797|25.3097|0.0000e+00|105.03");
    EXPECT_EQ(row_of(103), "1.000|6.4823|31.893913|31.7644|24.9374|0.0000e+00|1.02");
}

// The unit a short name carries, where the brackets give none or say it without commas; a unit
// that cannot be known is refused, naming the column.
TEST_F(Seabird, UnitsOfTheShortNamesAndTheBrackets)
{
    const auto cast = [](const std::string& names, const std::string& header = "") {
        return "* Sea-Bird SBE 9 Data File:\n" + header + names + "*END*\n";
    };
    load_text("feet.cnv",
              cast("# name 0 = depSF:\n# name 1 = svCF:\n# name 2 = t068C: Temperature [ITS-68 deg C]\n"
                   "# name 3 = prdE: Pressure\n") +
                  "     32.808    4921.59    10.0000     14.504\n");
    EXPECT_EQ(columns(), (Texts{"depSF|depSF|ft|", "SOUND|svCF|m/s|ft/s x 0.3048; Chen-Millero",
                                "Temp|t068C|\u00B0C|IPTS-68", "Press|prdE|dbar|psi x 0.6894757"}));
    EXPECT_EQ(row_of(1), "32.808|1500.100632|10.0000|10.0001559780114|10.2");
    load_text("depth.cnv",
              cast("# name 0 = depFF: Depth [fresh water, ft]\n# name 1 = t090F: Temperature [ITS-90]\n"
                   "# name 2 = t068: Temperature [IPTS-68]\n") +
                  "    129.921    50.0000    10.0000\n");
    EXPECT_EQ(row_of(1), "39.5999208|10|10.0000|39.5999208"); // 129.921 ft, 50 deg F

    expect_failures({
        {"bare.cnv", cast("# name 0 = prDM:\n# name 1 = sv: Sound Velocity\n") + "  1.0  1490.0\n",
         "Not a data file at line 4: column 2 (\"sv\") is a sound velocity in a unit neither its brackets "
         "nor its "
         "short name give, so its values cannot be read",
         0},
        {"contrary.cnv",
         cast("# name 0 = prDM:\n# name 1 = svCF: Sound Velocity [Chen-Millero, m/s]\n") + "  1.0  1490.0\n",
         "Not a data file at line 4: column 2 (\"svCF\") is in \"m/s\" by its brackets but in \"ft/s\" by "
         "its short "
         "name, so its unit cannot be known",
         0},
    });

    // The latitude a depth was computed for is no position; a Y2K year in the start time is set
    // right by the header's other times.
    load_text("lat.cnv",
              cast("# name 0 = depSM: Depth [salt water, m], lat = 50\n",
                   "* System UpLoad Time = Mar 04 2003 10:00:00\n# start_time = Mar 04 1903 09:12:00\n") +
                  "      1.000\n");
    EXPECT_EQ(described(), "cnv|SBE 9|?|2003-03-04T09:12:00 [# start_time]|?|?");
    EXPECT_EQ(columns()[0], "Depth|depSM|m|salt water, for latitude 50");
    load_text("1998.cnv", cast("# name 0 = prDM:\n", "* System UpLoad Time = Mar 04 1998 10:00:00\n"
                                                     "# start_time = Mar 04 1998 09:12:00\n") +
                              "  1.0\n");
    EXPECT_EQ(described(), "cnv|SBE 9|?|1998-03-04T09:12:00 [# start_time]|?|?");
}

TEST_F(Seabird, BrokenCastsNameTheLineAndTheField)
{
    const std::string cast = std::string(small_header) + std::string(small_rows);
    expect_failures({
        {"cut.cnv", cast.substr(0, cast.size() - 15),
         "Subscript out of range at line 10: the line has 2 values, but the header names 3 columns, and its "
         "fields are not of one width; is the file cut short?",
         1},
        {"nquan.cnv", replaced(cast, "# name 1 = t090C: Temperature [ITS-90, deg C]\n", ""),
         "Not a data file at line 7: the header names 2 columns, but \"# nquan = 3\" says otherwise", 0},
        {"gap.cnv",
         replaced(replaced(cast, "# nquan = 3\n", ""), "# name 1 = t090C: Temperature [ITS-90, deg C]\n", ""),
         "Not a data file at line 6: the header has no \"# name 1\" line", 0},
        {"unit.cnv", replaced(cast, "[S/m]", "[furlongs]"),
         "Not a data file at line 8: column 3 (\"c0S/m\"): the unit \"furlongs\" is not one this program "
         "knows",
         0},
        {"flag.cnv", replaced(cast, "-9.990e-29", "-9.99x"),
         "Type mismatch at line 7: bad_flag \"-9.99x\" is not a number", 0},
        {"byte.cnv",
         replaced(cast, "10.0000",
                  "10.0\xE9"
                  "00"),
         "Type mismatch at line 9: column 2 (\"t090C\"): \"10.0\xE9"
         "00\" is not a number",
         0},
        {"extra.cnv", replaced(cast, "3.400000", "3.4 0.5"),
         "Subscript out of range at line 10: the line has 4 values, but the header names 3 columns", 1},
        {"no_depth.cnv", replaced(cast, "prDM: Pressure, Digiquartz [db]", "scan: Scan Count"),
         "Not a data file at line 8: the header names no pressure column (prDM, prdM ...) and no depth "
         "column (depSM ...), so the cast gives no depths",
         0},
        {"binary.cnv", replaced(cast, "*END*", "# file_type = binary\n*END*"),
         "Not a data file at line 9: the rows are binary (\"# file_type = binary\"); convert the cast to "
         "ASCII with SBE Data Processing",
         0},
        {"hex.cnv", "* Sea-Bird SBE 19plus Data File:\n*END*\n0A1B2C3D\n",
         "Not a data file at line 2: the header has no \"# name\" lines, so it names no columns (a raw .hex "
         "or .dat file is read once SBE Data Processing has converted it to .cnv)",
         0},
        {"twice.cnv", replaced(cast, "# name 1", "# name 0"),
         "Not a data file at line 5: \"# name 0\" names no new column", 0},
    });
    EXPECT_EQ(
        load_error("endless.cnv", std::string(small_header.substr(0, small_header.find("*END*")))).what(),
        "Not a data file: \"" + dir.file("endless.cnv") +
            "\" has no \"*END*\" line after its header, so it holds no rows");
    // The header on its own, without "* Sea-Bird": the column count tells the format.
    // Widths that differ from column to column, and a conductivity below 1 S/m.
    load_text("plain.cnv", replaced(cast.substr(cast.find('\n') + 1), "      1.000    10.0000   3.500000",
                                    "       1.000   10.0000   0.500000"));
    EXPECT_EQ(state.cast.format, "cnv");
    EXPECT_EQ(row_of(1), "1.000|10.0000|5|1.02");
    EXPECT_EQ(row_of(2), "2.000|9.5000|34|2.04"); // S/m x 10, every digit kept
}

// The operator's note "** Lines : ..." is no Sea & Sun header: the cast is a Sea-Bird cast. Its depths
// reach a CSV file to the centimetre, from the depth as computed: 6.000 dbar at 50 degrees lies
// 5.9485 m down, written 5.95 (the .sva keeps its one decimal of 5.95: 6).
TEST_F(Seabird, AnOperatorsNoteAndDepthsToTheCentimetre)
{
    controls.water = OptionButton::op_salt;
    controls.texts[TextBox::tx_lat] = "50";
    controls.answer = [](const Question&) { return true; };
    load_text("bottles.cnv",
              "* Sea-Bird SBE 9 Data File:\n** Lines : 2 bottles fired\n"
              "# name 0 = prDM: Pressure, Digiquartz [db]\n# name 1 = t090C: Temperature [ITS-90, deg C]\n"
              "# name 2 = c0S/m: Conductivity [S/m]\n# name 3 = sal00: Salinity, Practical [PSU]\n"
              "# name 4 = svCM: Sound Velocity [Chen-Millero, m/s]\n*END*\n"
              "      6.000    10.0000   4.000000    35.0000    1490.00\n");
    EXPECT_EQ(state.cast.format, "cnv");
    EXPECT_EQ(exported(std::string::npos, "bottles.csv"),
              std::string(csv_title) + "\r\n5.95,1490,10,35,40\r\n");
    EXPECT_EQ(exported(), ".profile  1\r\n\r\n6\t1490\t10\t35\t40\t\r\n");
}

TEST_F(Seabird, ACastCutShortKeepsTheRowsBeforeTheCutAndTheExportAsks)
{
    // The real cast without its last row: its header states ten.
    const std::string cast = read_file(format_casts + "seabird/SK287_CTD05.cnv");
    const std::string path = dir.write("cut.cnv", cast.substr(0, cast.find("      0.811      0.816")));
    EXPECT_EQ(load_path(path), LoadOutcome::loaded);
    EXPECT_EQ(state.g_table.filled_rows(), 9);
    EXPECT_EQ(state.last_load.rows_declared, 10);
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n4.1\t1540.41\t28.968\t32.046\t52.941\t\r\n");
    EXPECT_EQ(
        controls.questions,
        Texts{"The cast declares 10 rows; 9 were read. The median salinity of the stored "
              "rows is 32.074, as in sea water, but the depths were computed for fresh water. Export them?"});
    // The whole cast raises no doubt.
    load_cast("seabird/SK287_CTD05.cnv");
    EXPECT_EQ(state.last_load.rows_declared, 10);
    controls.questions.clear();
    exported();
    EXPECT_EQ(controls.questions.size(), 1U); // the salinity's alone
    EXPECT_EQ(controls.questions[0].find("declares"), std::string::npos);
    // A header without rows is no cast.
    EXPECT_EQ(load_error("empty.cnv", replaced(small_header, "# nvalues = 2\n", "")).what(),
              "Not a data file: \"" + dir.file("empty.cnv") + "\" has no rows after its header");
}

TEST(TextCast, BlanksAndTheLooksOfNumbers)
{
    // Blanks counted sixteen bytes at a time, and the counts summed before any can overflow.
    for (std::size_t length = 0; length < 5000; length += length < 40 ? 1 : 997) {
        std::string text(length, 'x');
        for (std::size_t at = 0; at < length; at += 3) {
            text[at] = ' ';
        }
        EXPECT_EQ(blanks_in(text), (length + 2) / 3) << length;
    }
    EXPECT_EQ(blanks_in(std::string(4096 * 3, ' ')), 4096U * 3);
    for (const std::string_view number : {"1.2", "-3e5", "+0.5E-3", "7", "1.2.3"}) {
        EXPECT_TRUE(looks_like_number(number)) << number;
    }
    for (const std::string_view other : {"", "abc", "1 2", "1,5", ".", "+-e", "12\xB0", "0x1F"}) {
        EXPECT_FALSE(looks_like_number(other)) << other;
    }
}

} // namespace
} // namespace quillonde
