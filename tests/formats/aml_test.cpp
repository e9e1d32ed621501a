// AML Oceanographic casts as SeaCast exports them, with and without a title row.
#include "formats/cast_test.h"

namespace quillonde {
namespace {

using testing::Broken;
using testing::read_file;
using testing::replaced;

class Aml : public testing::SaltWaterCastTest {
protected:
    /// A Base.X2 header with an SV.X in slot 1 and a P.X in slot 3, then `data`.
    std::string with_header(const std::string& data_x, const std::string& data)
    {
        return "[cast header]\n[Instrument]\nType=Base.X2\nSN=1\nDisplayBattery=yes\n[Slot 1]\n"
               "SensorName=SV-C-CT.Xchange SV.X SN 2 01/14/19\n[Slot 3]\n"
               "SensorName=P-T-TU-DO-UV.Xchange P.X SN 3 01/15/19\n[Data.X]\n" +
               data_x + "[data]\n" + data;
    }
};

// The shared sample: CR CR LF line ends, no title row, an SV.X and a P.X, a downcast and back up.
TEST_F(Aml, BaseX2SampleFollowsItsSlotsAndPositionLines)
{
    load_cast("aml/025485_2019-04-11_18-25-00.csv");
    EXPECT_EQ(described(),
              "aml|Base.X2|25485|2019-04-11T18:25:00 [the [Instrument]'s Date and Time]|43.0733|-70.7107");
    EXPECT_EQ(columns(), (Texts{"Date|Date||", "Time|Time||", "SOUND|Sound Velocity|m/s|",
                                "Press|Pressure|dbar|", "Battery|Battery|V|"}));
    EXPECT_EQ(state.g_table.last_row(), 19);
    EXPECT_EQ(row_of(1), "2019-04-11|18:25:01.36|1451.274|0000.09|007.60|0.09");
    EXPECT_EQ(row_of(19), "2019-04-11|18:25:26.21|1457.410|0000.15|007.63|0.15");
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n"
                           "1.1\t1457.4\t0\t0\t0\t\r\n"
                           "2.1\t1457.28\t0\t0\t0\t\r\n");
}

TEST_F(Aml, TitleRowNamesTheColumnsAndItsUnits)
{
    load_cast("aml/basex2_ct_titled.csv"); // lower-case keys, a Latin-1 degree sign, a title row repeated
    EXPECT_EQ(described(),
              "aml|base.x2|25102|2021-07-25T18:22:27 [the [Instrument]'s Date and Time]|70.2284|-145.8477");
    EXPECT_EQ(columns(), (Texts{"Date|Date||", "Time|Time||", "Cond|Conductivity (mS/cm)|mS/cm|",
                                "Temp|Temperature (\xb0"
                                "C)|\u00b0C|",
                                "Press|Pressure (dBar)|dbar|", "Battery|Battery (V)|V|"}));
    EXPECT_EQ(state.g_table.last_row(), 6);
    EXPECT_EQ(row_of(6), "2021-07-25|18:22:32.71|26.390|02.801|0003.05|007.92|3.02");
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n"
                           "0.7\t1461.56\t5.016\t27.733\t27.113\t\r\n");

    // Units converted as they are read, and said; a text keeps no blank.
    load_text("units.csv", "[cast header]\n[data]\n"
                           "Date,Time,Station,Depth (ft),SV (m/s),Conductivity (S/m),Temperature (\u00b0C)\n"
                           "2020-01-01,10:00:00,North Pier,3.28,1490.5,4.2,10.5\n");
    EXPECT_EQ(columns(),
              (Texts{"Date|Date||", "Time|Time||", "Station|Station||", "Depth|Depth (ft)|m|ft x 0.3048",
                     "SOUND|SV (m/s)|m/s|", "Cond|Conductivity (S/m)|mS/cm|S/m x 10",
                     "Temp|Temperature (\u00b0C)|\u00b0C|"}));
    EXPECT_EQ(row_of(1), "2020-01-01|10:00:00|North_Pier|0.999744|1490.5|42|10.5|0.999744");
}

// CR line ends alone, a comma after each row, the battery's voltage, the salinity and the sound
// velocity the instrument shows after its sensors' values, no GPS lock: the instrument's position.
TEST_F(Aml, WithoutTitleRowTheDisplayOptionsFollowTheSensors)
{
    load_cast("aml/basex2_ct_untitled.csv");
    EXPECT_EQ(described(),
              "aml|Base.X2|25310|2022-05-03T11:04:50 [the [Instrument]'s Date and Time]|44.6488|-63.5752");
    EXPECT_EQ(columns(), (Texts{"Date|Date||", "Time|Time||", "Cond|Conductivity|mS/cm|",
                                "Temp|Temperature|\u00b0C|", "Press|Pressure|dbar|", "Battery|Battery|V|",
                                "SALIN|Salinity|PSU|calculated by the instrument",
                                "SOUND|Sound Velocity|m/s|calculated by the instrument"}));
    EXPECT_EQ(row_of(1), "2022-05-03|11:04:51.02|31.455|08.120|0000.31|012.41|29.837|1476.538|0.31");
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n"
                           "0.9\t1476.52\t8.101\t29.868\t31.47\t\r\n");

    // A sound velocity sensor's own values: the instrument computes none after the salinity.
    load_text("svctd.csv",
              "[cast header]\n[Instrument]\nDisplaySalinity=yes\nDisplaySoundVelocity=yes\n[Slot 1]\n"
              "SensorName=SV-C-CT.Xchange SV.X SN 1\n[Slot 2]\nSensorName=SV-C-CT.Xchange CT.X SN 2\n"
              "[Slot 3]\nSensorName=P-T-TU-DO-UV.Xchange P.X SN 3\n[data]\n"
              "2022-05-03,11:04:51.02,1482.9,31.455,08.120,0000.95,31.104\n");
    EXPECT_EQ(columns(), (Texts{"Date|Date||", "Time|Time||", "SOUND|Sound Velocity|m/s|",
                                "Cond|Conductivity|mS/cm|", "Temp|Temperature|\u00b0C|",
                                "Press|Pressure|dbar|", "SALIN|Salinity|PSU|calculated by the instrument"}));

    // A P.X set to depth in metres gives depths as they stand.
    load_text("metres.csv",
              "[cast header]\nDepthInMeters=yes\n" +
                  with_header("SV position =1\n", "2019-04-11,18:25:05.04,1457.401,0001.09,007.60\n")
                      .substr(std::string("[cast header]\n").size()));
    EXPECT_EQ(columns()[3], "Depth|Depth|m|");
    EXPECT_EQ(row_of(1), "2019-04-11|18:25:05.04|1457.401|0001.09|007.60|1.09");
}

// A real Base.X2 CT file without a title row: conductivity, temperature, pressure, then the
// battery, salinity, density and sound velocity, an order only their physics tells.
TEST_F(Aml, TheOrderOfComputedValuesIsTheOnePhysicsAllows)
{
    load_cast("aml/_025485_2019-05-11_18-05-08.csv");
    EXPECT_EQ(
        described(),
        "aml|Base.X2|25485|2019-05-11T18:05:08 [the [Instrument]'s Date and Time]|45.0548|-83.4215"); // no
                                                                                                      // lock:
                                                                                                      // [Instrument]'s
    EXPECT_EQ(controls.list,
              (Texts{"Date", "Time", "Cond", "Temp", "Press", "Battery", "SALIN", "Density", "SOUND"}));
    EXPECT_EQ(state.g_table.last_row(), 11);
    EXPECT_EQ(row_of(1), "2019-05-11|18:05:09.85|00.070|08.721|0000.15|007.00|00.047|0999.842|1442.19|0.15");
    EXPECT_EQ(row_of(11), "2019-05-11|18:05:40.51|00.172|08.869|0000.24|007.03|00.118|0999.888|1442.88|0.24");

    // Where the rows allow no order, or more than one, the file is refused, naming the doubt.
    const std::string cast = read_file(testing::format_casts + "aml/_025485_2019-05-11_18-05-08.csv");
    const std::string no_order =
        "the file has no title row, and its first rows leave the order of the values "
        "after Conductivity, Temperature, Pressure open: ";
    const std::string formulas =
        " (salinity by PSS-78, sound velocity by Chen and Millero, density as water's); "
        "export the cast from SeaCast with its title row";
    expect_failures({
        {"none.csv", replaced(cast, "007.00,00.047,0999.842,1442.19", "007.00,00.047,0999.842,1452.19"),
         "Not a data file at line 99: " + no_order +
             "no order of Battery, Density, Salinity, Sound Velocity agrees with the sensors' values" +
             formulas,
         0},
        {"two.csv",
         replaced(replaced(cast, "DisplaySoundVelocity=yes", "DisplaySoundVelocity=no"), "DisplayDensity=yes",
                  "DisplayDensity=no")
                 .substr(0, cast.find("[data]") + 8) +
             "2019-05-11,18:05:09.85,00.070,08.721,0000.15,00.047,00.047\r\r\n",
         "Not a data file at line 99: " + no_order + "2 orders of Battery, Salinity agree with them" +
             formulas,
         0},
    });
}

// SeaCast 4.3.1 pads its rows with empty columns; one record the instrument wrote broken, the start
// of a later one run into it, keeps its date and time alone.
TEST_F(Aml, PaddedRowsAndABrokenRecord)
{
    load_cast("aml/_as_2018_286_1116a.csv");
    EXPECT_EQ(described(),
              "aml|base.x2|25410|2018-10-13T11:10:02 [the [Instrument]'s Date and Time]|28.7283|-88.4929");
    EXPECT_EQ(columns(), (Texts{"Date|Date||", "Time|Time||", "SOUND|SV (m/s)|m/s|", "Depth|Depth (m)|m|",
                                "Battery|Battery (V)|V|"}));
    EXPECT_EQ(state.g_table.last_row(), 9150);
    EXPECT_EQ(row_of(1), "2018-10-13|11:10:01.37|1540.593|-0.29|008.07|-0.29");
    EXPECT_EQ(row_of(9), "2018-10-13|11:10:01.72|<>|<>|<>|<>");
    EXPECT_EQ(row_of(10), "2018-10-13|11:10:03.69|1540.578|-0.13|008.07|-0.13");
    EXPECT_EQ(row_of(9150), "2018-10-13|11:16:45.41|1541.081|33.71|008.07|33.71");
}

// The export of firmware 5: "[Header]" and "[MeasurementData]", a row of units under the titles,
// a computed sound velocity labelled with a conductivity's unit, which is not taken.
TEST_F(Aml, TheNewerExportWithHeaderAndMeasurementData)
{
    load_cast("aml/basex2_fw5_header.csv");
    EXPECT_EQ(described(),
              "aml|Base.X2|25485|2024-09-04T11:02:33 [the [Instrument]'s Date and Time]|44.6488|-63.5752");
    EXPECT_EQ(columns(),
              (Texts{"Date|Date|yyyy-mm-dd|", "Time|Time|hh:mm:ss.ss|", "Cond|Cond|mS/cm|",
                     "Temp|TempCT|\u00b0C|", "Press|Pressure|dbar|", "Density|Density|kg/cm^3|",
                     "svcalculated|svcalculated|mS/cm|calculated by the instrument; its unit is none of a "
                     "sound velocity",
                     "Battery|Battery|V|"}));
    EXPECT_EQ(row_of(3), "2024-09-04|11:02:36.10|41.612|13.110|2.503|1026.705|1501.202|12.39|2.48");
}

TEST_F(Aml, BrokenFilesFailNamingTheLineAndTheField)
{
    const std::string row = "2019-04-11,18:25:05.04,1457.401,0001.09,007.60\n";
    const std::vector<Broken> cases = {
        {"position.csv", with_header("C position =1\nSV position =0\n", row),
         "Not a data file at line 14: the header's \"C position =1\" does not match its slots, which give "
         "Sound Velocity, Pressure",
         0},
        {"real.csv", with_header("Real positions =3\n", row),
         "Not a data file at line 13: the header's \"Real positions =3\" does not match its slots, which "
         "give Sound Velocity, Pressure",
         0},
        {"missing.csv", with_header("", "2019-04-11,18:25:05.04,1457.401,0001.09\n"),
         "Subscript out of range at line 12: the row has 2 values after its date and time, but the header's "
         "slots and display options give 3: Sound Velocity, Pressure, Battery",
         0},
        {"cut.csv", with_header("", row + "2019-04-11,18:25:05.95,1457.279,00"),
         "Subscript out of range at line 13: the line has 4 values, but the header names 5 columns", 2},
        {"unit.csv", with_header("", "Date,Time,SV (knots),Pressure (dBar)\n"),
         "Not a data file at line 12: column 3 (\"SV (knots)\") is a sound velocity in \"knots\", a unit the "
         "program does not know for it",
         0},
        {"byte.csv",
         with_header("", row + "2019-04-11,18:25:05.95,1457.2\xb5"
                               "9,0002.13,007.60\n"),
         "Type mismatch at line 13: column 3 (\"Sound Velocity\") \"1457.2\xb5"
         "9\" is not a number",
         1},
        {"two.csv", with_header("", row) + "[data]\n" + row,
         "Not a data file at line 13: a second [data] section: the file holds more than one cast", 1},
        {"norows.csv", with_header("", "Date,Time,SV (m/s),Pressure (dBar)\n"),
         "Not a data file: \"" + dir.file("norows.csv") +
             "\" has no rows in its [data] section, so it holds no cast",
         0},
        {"nodata.csv", "[cast header]\n[Instrument]\nType=Base.X2\n",
         "Not a data file: \"" + dir.file("nodata.csv") + "\" has no [data] section, so it holds no cast", 0},
    };
    expect_failures(cases);
}

} // namespace
} // namespace quillonde
