// AML Oceanographic casts as SeaCast exports them, with and without a title row.
#include "formats/cast_test.h"

namespace quillonde {
namespace {

using testing::Broken;

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
    EXPECT_EQ(described(), "aml|Base.X2|25485|2019-04-11T18:25:00|43.0733|-70.7107");
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
    EXPECT_EQ(described(), "aml|base.x2|25102|2021-07-25T18:22:27|70.2284|-145.8477");
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

// CR line ends alone, a comma after each row, the salinity and sound velocity the instrument shows
// after its sensors' values, no GPS lock.
TEST_F(Aml, WithoutTitleRowTheDisplayOptionsFollowTheSensors)
{
    load_cast("aml/basex2_ct_untitled.csv");
    EXPECT_EQ(described(), "aml|Base.X2|25310|2022-05-03T11:04:50|?|?");
    EXPECT_EQ(columns(),
              (Texts{"Date|Date||", "Time|Time||", "Cond|Conductivity|mS/cm|", "Temp|Temperature|\u00b0C|",
                     "Press|Pressure|dbar|", "SALIN|Salinity|PSU|calculated by the instrument",
                     "SOUND|Sound Velocity|m/s|calculated by the instrument", "Battery|Battery|V|"}));
    EXPECT_EQ(row_of(1), "2022-05-03|11:04:51.02|31.455|08.120|0000.31|31.104|1482.915|012.41|0.31");
    EXPECT_EQ(exported(3), ".profile  1\r\n\r\n"
                           "0.9\t1482.88\t8.101\t31.131\t31.47\t\r\n");
    EXPECT_EQ(controls.questions, Texts{});

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
        {"unit.csv", with_header("", "Date,Time,SV (ft/s),Pressure (dBar)\n"),
         "Not a data file at line 12: column 3 (\"SV (ft/s)\") is a sound velocity in \"ft/s\", a unit the "
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
