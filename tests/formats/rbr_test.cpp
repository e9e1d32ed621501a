// RBR casts as Ruskin exports them to text: the shared real cast, casts written after RBR's
// description, and broken ones.
#include "cast_test.h"

namespace quillonde {
namespace {

using testing::CastTest;
using testing::error_of;
using testing::format_casts;
using testing::read_file;
using testing::replaced;

class Rbr : public CastTest {};

constexpr std::string_view small_cast = "Time,Conductivity,Temperature,Pressure,Sea pressure,Salinity\n"
                                        "2021-06-03 14:20:01.000,48.2102,14.8021,11.6325,1.5000,35.0021\n"
                                        "2021-06-03 14:20:01.500,48.1988,14.7810,12.6325,2.5000,35.0102\n";

TEST_F(Rbr, ARealExportWithCrCrLfLineEnds)
{
    load_cast("rbr/OXR20201007_RBR_1106_027_data_head300.txt");
    EXPECT_EQ(
        described(),
        "rbr|?|?|2020-11-06T11:07:32 [the first row's time]|?|?"); // the logger's clock, its zone unsaid
    // Sea pressure gives the depths; the absolute pressure and the depth Ruskin computed keep their
    // names; the second temperature is another sensor's.
    EXPECT_EQ(controls.list,
              (Texts{"Time", "Cond", "Temp", "Pressure", "Chlorophyll", "Backscatter", "Temperature",
                     "Dissolved_O2_concentration", "PAR", "Transmittance", "Press", "Depth", "SALIN", "SOUND",
                     "Specific_conductivity", "Dissolved_O2_saturation", "Density_anomaly"}));
    EXPECT_EQ(columns()[0], "Time|Time||the blank between date and time made a \"T\"");
    EXPECT_EQ(columns()[3], "Pressure|Pressure|dbar|absolute: sea pressure and the air's");
    EXPECT_EQ(columns()[10], "Press|Sea pressure|dbar|");
    EXPECT_EQ(columns()[13], "SOUND|Speed of sound|m/s|Chen-Millero (UNESCO), as the logger derives it");
    EXPECT_EQ(state.g_table.filled_rows(), 299);
    EXPECT_EQ(row_of(1), "2020-11-06T11:07:32.000|64.4920801|28.8269775|11.7174966|51.0000000|53.0000000|28."
                         "5110000|220.4810211|5.0786251|45.2408983|1.5849966|1.5720715|40.1622547|1548."
                         "5931006|60091.7189728|114.4066351|26.0116833|1.62");
    // 34.2773585 dbar of sea pressure, fresh water.
    EXPECT_EQ(row_of(299), "2020-11-06T11:10:01.000|64.6932541|28.8421994|44.4098585|53.0000000|52.0000000|"
                           "28.8425000|222.5238276|-7.8253740|45.2411538|34.2773585|33.9978390|40.2808102|"
                           "1549.3003796|60262.8374431|115.5708018|26.2348278|34.95");
    // Speed of sound is written as the logger gives it.
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n1.6\t1548.59\t28.827\t40.162\t64.492\t\r\n"
                           "2.1\t1548.51\t28.779\t40.172\t64.45\t\r\n");
}

TEST_F(Rbr, AnAbsolutePressureLessTheAtmosphereTheFileStates)
{
    load_cast("rbr/ruskin_absolute_pressure.txt");
    EXPECT_EQ(described(), "rbr|RBRconcerto|060130|2021-06-03T14:20:01Z [the first row's time]|?|?");
    EXPECT_EQ(columns(),
              (Texts{"Time|Time (UTC)|UTC|the blank between date and time made a \"T\"",
                     "Cond|Conductivity (mS/cm)|mS/cm|", "Temp|Temperature (\u00B0C)|\u00B0C|ITS-90",
                     "Press|Pressure (dbar)|dbar|absolute pressure - 10.1325 dbar", "Depth|Depth (m)|m|",
                     "SALIN|Salinity (PSU)|PSU|",
                     "SOUND|Speed of sound (m/s)|m/s|Chen-Millero (UNESCO), as the logger derives it"}));
    // A title row once more, a blank line and separators after the last value pass; a row without
    // its conductivity gets no depth.
    EXPECT_EQ(state.g_table.filled_rows(), 5);
    EXPECT_EQ(row_of(1), "2021-06-03T14:20:01.000|48.2102|14.8021|0.5|0.4912|35.0021|1505.9012|0.51");
    EXPECT_EQ(row_of(4), "2021-06-03T14:20:02.500|<>|14.5001|2.8|2.7770|35.0399|1505.2042|<>");
    EXPECT_EQ(exported(5),
              ".profile  1\r\n\r\n0.5\t1505.9\t14.802\t35.002\t48.21\t\r\n"
              "1.3\t1505.87\t14.781\t35.01\t48.199\t\r\n2\t1505.56\t14.652\t35.031\t48.152\t\r\n");
}

// Ruskin 1.x names its channels by codes: the letters the quantity, the digits the channel. "pres08"
// is the sea pressure, "pres07" absolute; without a sea pressure the atmosphere the file states
// comes off the absolute one.
TEST_F(Rbr, RuskinOneNamesItsChannelsByCodes)
{
    load_cast("rbr/ruskin1_concerto.txt");
    EXPECT_EQ(described(), "rbr|RBRconcerto|060671|2016-08-17T18:37:49 [the first row's time]|?|?");
    EXPECT_EQ(columns(), (Texts{"Date_&_Time|Date & Time||the blank between date and time made a \"T\"",
                                "Cond|cond10|mS/cm|", "Temp|temp12|\u00B0C|ITS-90",
                                "pres07|pres07|dbar|absolute: sea pressure and the air's",
                                "Press|pres08|dbar|", "dpth01|dpth01|m|", "SALIN|sal_01|PSU|",
                                "SOUND|sos_01|m/s|Chen-Millero (UNESCO), as the logger derives it"}));
    EXPECT_EQ(row_of(1),
              "2016-08-17T18:37:49.000|41.9020|14.2030|10.6345|0.5020|0.4979|34.7860|1503.878|0.51");
    EXPECT_EQ(row_of(4),
              "2016-08-17T18:37:52.000|41.4000|12.8050|13.6295|3.4970|3.4686|35.6010|1500.305|3.57");

    const std::string cast = read_file(format_casts + "rbr/ruskin1_concerto.txt");
    load_text("air.txt",
              replaced(replaced(cast, ",pres08", ",pres99"), "Serial", "atmosphere=10.1325\r\nSerial"));
    EXPECT_EQ(columns()[3], "Press|pres07|dbar|absolute pressure - 10.1325 dbar");
    EXPECT_EQ(row_of(1).substr(0, 44), "2016-08-17T18:37:49.000|41.9020|14.2030|0.50"); // 10.6345 - 10.1325
    EXPECT_EQ(
        load_error("absolute.txt", replaced(cast, ",pres08", ",pres99")).what(),
        std::string("Not a data file at line 7: the title row names the absolute \"Pressure\" but no \"Sea "
                    "pressure\", and the file states no atmospheric pressure (\"atmosphere=10.1325\"), so "
                    "the cast gives no depths; export it from Ruskin with \"Sea pressure\""));
}

TEST_F(Rbr, AnExportOfDepthsWithoutPressures)
{
    // A logger without a pressure channel: Ruskin's depths as they stand.
    load_text("depths.txt", "Time,Temperature,Depth,Salinity,Speed of sound\n"
                            "2021-06-03 14:20:01.000,14.8021,0.9000,35.0021,1505.9012\n"
                            "2021-06-03 14:20:02.000,14.7810,1.8000,35.0102,1505.8731\n");
    EXPECT_EQ(state.cast.format, "rbr");
    EXPECT_EQ(columns()[2], "Depth|Depth|m|");
    EXPECT_EQ(row_of(2), "2021-06-03T14:20:02.000|14.7810|1.8000|35.0102|1505.8731|1.8");
    // What "key=value" lines before the title row say of the logger, written as people write them.
    load_text("keys.txt", "Model = RBRmaestro\nSerial Number=204223\nLatitude=54 20.32 N\nLongitude=-11.5\n"
                          "Sampling period=0.5\n" +
                              std::string(small_cast));
    EXPECT_EQ(described(),
              "rbr|RBRmaestro|204223|2021-06-03T14:20:01 [the first row's time]|54.338667|-11.5");
    // The time is the title row's first column: another first column is no RBR export.
    const Error other = load_error("other.txt", "Depth,Time,Temperature\n1.0,2021-06-03 14:20:01.000,14.8\n");
    EXPECT_NE(other.detail().find("so it holds no cast; the formats tried: Sea and Sun *.TOB, "),
              std::string::npos)
        << other.what();
}

TEST_F(Rbr, BrokenExportsNameTheLineAndTheField)
{
    expect_failures({
        // An absolute pressure alone is no sea pressure, and the air's is not guessed.
        {"absolute.txt", replaced(small_cast, "Pressure,Sea pressure", "Pressure,Depth"),
         "Not a data file at line 1: the title row names the absolute \"Pressure\" but no \"Sea pressure\", "
         "and the file states no atmospheric pressure (\"atmosphere=10.1325\"), so the cast gives no depths; "
         "export it from Ruskin with \"Sea pressure\"",
         0},
        {"atmosphere.txt", "atmosphere=ten\n" + std::string(small_cast),
         "Type mismatch at line 1: the atmospheric pressure \"ten\" is not a number", 0},
        {"cut.txt", std::string(small_cast.substr(0, small_cast.size() - 20)),
         "Subscript out of range at line 3: the line has 4 values, but the title row names 6 columns; is the "
         "file cut short?",
         1},
        {"unit.txt", replaced(small_cast, "Conductivity,", "Conductivity (furlongs),"),
         "Not a data file at line 1: column 2 (\"Conductivity (furlongs)\"): the unit \"furlongs\" is not "
         "one this program knows",
         0},
        {"byte.txt",
         replaced(small_cast, "14.7810",
                  "14.7\xB0"
                  "10"),
         "Type mismatch at line 3: column 3 (\"Temperature\"): \"14.7\xB0"
         "10\" is not a number",
         1},
        {"extra.txt", replaced(small_cast, "12.6325", "12.6325,7"),
         "Subscript out of range at line 3: the line has 7 values, but the title row names 6 columns", 1},
        {"blank.txt", replaced(small_cast, "2021-06-03 14:20:01.500", "2021-06-03  14:20:01.500"),
         "Not a data file at line 3: the value \"2021-06-03T 14:20:01.500\" holds a blank", 1},
    });
    // A first row that fails leaves no table: none of no rows.
    EXPECT_EQ(
        load_error("first.txt", replaced(small_cast, "2021-06-03 14:20:01.000", "2021-06-03  14:20:01.000"))
            .what(),
        std::string("Not a data file at line 2: the value \"2021-06-03T 14:20:01.000\" holds a blank"));
    EXPECT_FALSE(state.g_table.has_shape());
    // A CR CR LF ends one line.
    std::string doubled = replaced(small_cast, "14.7810", "14.78x0");
    for (std::size_t at = 0; (at = doubled.find('\n', at)) != std::string::npos; at += 3) {
        doubled.replace(at, 1, "\r\r\n");
    }
    EXPECT_EQ(
        load_error("doubled.txt", doubled).what(),
        std::string("Type mismatch at line 3: column 3 (\"Temperature\"): \"14.78x0\" is not a number"));
    // Sea pressure in another unit, the conductivity in S/m.
    load_text("units.txt", replaced(replaced(small_cast, "Conductivity,", "Conductivity (S/m),"),
                                    "Sea pressure,", "Sea pressure (dBar),"));
    EXPECT_EQ(row_of(2), "2021-06-03T14:20:01.500|481.988|14.7810|12.6325|2.5000|35.0102|2.55");
}

} // namespace
} // namespace quillonde
