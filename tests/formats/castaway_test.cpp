// SonTek CastAway-CTD casts as its software exports them, and files of no format at all.
#include "cast_test.h"

#include "formats/registry.h"

namespace quillonde {
namespace {

using testing::CastTest;
using testing::error_of;
using testing::format_casts;
using testing::read_file;
using testing::replaced;

class Castaway : public CastTest {};

constexpr std::string_view small_cast = "% Device,CC1531002\n"
                                        "% Cast time (local),2019-03-04 11:15:00\n"
                                        "% Start latitude,54.1\n"
                                        "Pressure (Decibar),Temperature (Celsius),Conductivity (MicroSiemens "
                                        "per Centimeter),Salinity (Practical Salinity Scale)\n"
                                        "0.85,8.120,36048.9,33.105\n"
                                        "1.55,8.101,36031.2,33.109\n";

TEST_F(Castaway, ARealCastWithItsPosition)
{
    load_cast("castaway/castaway_data.csv");
    EXPECT_EQ(described(),
              "castaway|CastAway-CTD|CC1449004|2017-08-22T02:39:11Z [Cast time (UTC)]|-36.219917|150.230106");
    EXPECT_EQ(columns(),
              (Texts{"Press|Pressure (Decibar)|dbar|", "Depth|Depth (Meter)|m|",
                     "Temp|Temperature (Celsius)|\u00B0C|ITS-90",
                     "Cond|Conductivity (MicroSiemens per Centimeter)|mS/cm|uS/cm / 1000",
                     "Specific_conductance|Specific conductance (MicroSiemens per Centimeter)|\u00B5S/cm|",
                     "SALIN|Salinity (Practical Salinity Scale)|PSU|",
                     "SOUND|Sound velocity (Meters per Second)|m/s|",
                     "Density|Density (Kilograms per Cubic Meter)|kg/m\u00B3|"}));
    EXPECT_EQ(state.g_table.filled_rows(), 141);
    EXPECT_EQ(row_of(1), "0.15|0.14918969207604846|16.44616462140171|45.033875|54328.157275071106|35."
                         "607839890028522|1511.8595379477067|1026.1134459830698|0.15");
    EXPECT_EQ(row_of(141), "42.133501106668788|41.8996421229912|16.180421275171469|44.8169958403191|54415."
                           "416905096376|35.636314358944084|1511.7792774224181|1026.3825110580399|42.96");
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n0.8\t1511.54\t16.318\t35.661\t44.965\t\r\n"
                           "1.4\t1511.48\t16.293\t35.664\t44.943\t\r\n");
    EXPECT_EQ(controls.questions, Texts{"The median salinity of the stored rows is 35.644, as in sea water, "
                                        "but the depths were computed for fresh water. Export them?"});

    controls.questions.clear();
    controls.water = OptionButton::op_salt;
    controls.texts[TextBox::tx_lat] = "36";
    load_cast("castaway/castaway_data.csv");
    exported(0);
    EXPECT_TRUE(controls.questions.empty()); // 36.2 degrees south is within a degree of 36
    controls.texts[TextBox::tx_lat] = "38";
    load_cast("castaway/castaway_data.csv");
    exported(0);
    EXPECT_EQ(controls.questions, Texts{"The cast states latitude -36.22, but its depths were computed for "
                                        "salt water at 38 degrees. Export them?"});
    // A Sea & Sun cast keeps the questions it always had, whatever the position in its header.
    controls.questions.clear();
    load_path(std::string(QUILLONDE_TEST_DATA) + "/casts/rev205_deneb.TOB"); // 54.3 degrees north
    exported(0);
    EXPECT_EQ(state.cast.latitude_deg.value_or(0.0), 54.33866666666667);
    EXPECT_TRUE(controls.questions.empty());
}

TEST_F(Castaway, ACastWithoutAPosition)
{
    load_cast("castaway/castaway_no_position.csv");
    EXPECT_EQ(described(), "castaway|CastAway-CTD|CC1531002|2019-03-04T10:15:00Z [Cast time (UTC)]|?|?");
    EXPECT_EQ(row_of(4), "2.25|2.234|8.050|35.9907|51616.9|33.118|1480.84|1025.98|2.29");
    EXPECT_EQ(exported(5),
              ".profile  1\r\n\r\n0.9\t1481.02\t8.12\t33.105\t36.049\t\r\n"
              "1.6\t1480.98\t8.101\t33.109\t36.031\t\r\n2.3\t1480.84\t8.05\t33.118\t35.991\t\r\n");
    controls.questions.clear(); // the one on sea water's salinity under fresh water
    controls.water = OptionButton::op_salt;
    load_cast("castaway/castaway_no_position.csv");
    exported(0);
    EXPECT_TRUE(controls.questions.empty()); // no position, no doubt
}

TEST_F(Castaway, ARawExportComputesWhatItLacks)
{
    // The raw export: time, pressure, temperature and conductivity; the position of the cast's end.
    load_text(
        "raw.csv",
        "% Device,CC1531002\n% Cast time (UTC),2019-03-04 10:15:00\n% Start latitude,NaN\n"
        "% End latitude,54.1\n% End longitude,-3.2\n"
        "Time (Seconds),Pressure (Decibar),Temperature (Celsius),Conductivity (MicroSiemens per Centimeter)\n"
        "0.2,0.85,8.120,36048.9\n0.4,1.55,8.101,36031.2\n");
    EXPECT_EQ(described(),
              "castaway|CastAway-CTD|CC1531002|2019-03-04T10:15:00Z [Cast time (UTC)]|54.1|-3.2");
    EXPECT_EQ(columns()[0], "Time|Time (Seconds)|s|");
    controls.answer = [](const Question&) { return true; };
    // PSS-78 of the raw values, then Chen and Millero, of 1.00024 x the ITS-90 temperatures.
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n0.9\t1482.58\t8.12\t34.705\t36.049\t\r\n"
                           "1.6\t1482.52\t8.101\t34.705\t36.031\t\r\n");
    EXPECT_EQ(controls.questions,
              (Texts{std::string(derived_columns[0].question), std::string(derived_columns[1].question)}));
}

TEST_F(Castaway, BrokenCastsNameTheLineAndTheField)
{
    load_text("small.csv", small_cast);
    EXPECT_EQ(described(),
              "castaway|CastAway-CTD|CC1531002|2019-03-04T11:15:00 [Cast time (local)]|54.1|?"); // a local
                                                                                                 // time only
    EXPECT_EQ(row_of(2), "1.55|8.101|36.0312|33.109|1.58");
    load_text("fresh.csv", replaced(small_cast, "36031.2", "150.5")); // a river's
    EXPECT_EQ(row_of(2), "1.55|8.101|0.1505|33.109|1.58");
    expect_failures({
        {"cut.csv", std::string(small_cast.substr(0, small_cast.size() - 8)),
         "Subscript out of range at line 6: the line has 3 values, but the title row names 4 columns; is the "
         "file cut short?",
         1},
        {"unit.csv", replaced(small_cast, "(Celsius)", "(Fahrenheit)"),
         "Not a data file at line 4: column 2 (\"Temperature (Fahrenheit)\"): the unit \"Fahrenheit\" is not "
         "one this program knows",
         0},
        {"byte.csv", replaced(small_cast, "8.101", "8.1\xE9"),
         "Type mismatch at line 6: column 2 (\"Temperature (Celsius)\"): \"8.1\xE9\" is not a number", 1},
        {"no_depth.csv", replaced(small_cast, "Pressure (Decibar),", "Time (Seconds),"),
         "Not a data file at line 4: the title row names no pressure and no depth column, so the cast gives "
         "no depths",
         0},
        {"norows.csv", std::string(small_cast.substr(0, small_cast.find("0.85"))),
         "Not a data file: \"" + dir.file("norows.csv") + "\" has no rows after its title row", 0},
        {"notitle.csv", std::string(small_cast.substr(0, small_cast.find("Pressure"))),
         "Not a data file: \"" + dir.file("notitle.csv") +
             "\" has no title row (\"Pressure (Decibar),Depth (Meter),Temperature (Celsius),...\"), so it "
             "holds no cast",
         0},
    });
}

TEST_F(Castaway, AFileOfNoFormatSaysWhichFormatsWereTried)
{
    std::string tried;
    for (const CastReader* reader : cast_readers()) {
        tried += (tried.empty() ? "" : ", ") + std::string(reader->facts().filter);
    }
    const std::string text = dir.write("notes.txt", "Station 7, calm sea\nno cast today\n");
    EXPECT_EQ(
        error_of([&] { load_path(text); }).what(),
        "Not a data file: \"" + text +
            "\" has no header line (\"; Datasets ...\"), so it holds no cast; the formats tried: " + tried);
    // Bytes of no text: a NUL, or control characters more than now and then.
    const std::string controls_only =
        dir.write("data.bin", "\x01\x02\x03\x04 data\n\x05\x06\x07\x08\x0E\x0F");
    EXPECT_EQ(error_of([&] { load_path(controls_only); }).what(),
              "Not a data file at line 1: \"" + controls_only +
                  "\" is not a text file, so it holds no cast; the formats tried: " + tried);
    const std::string image = dir.write("photo.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    EXPECT_EQ(error_of([&] { load_path(image); }).what(),
              "Not a data file at line 1: \"" + image +
                  "\" is not a text file, so it holds no cast; the formats tried: " + tried);
    // A cast each reader knows, whatever its name.
    for (const auto& [name, format] : {std::pair{"seabird/SK287_CTD05.cnv", "cnv"},
                                       std::pair{"rbr/OXR20201007_RBR_1106_027_data_head300.txt", "rbr"},
                                       std::pair{"castaway/castaway_data.csv", "castaway"}}) {
        load_text("cast", read_file(format_casts + name));
        EXPECT_EQ(state.cast.format, format);
    }
}

} // namespace
} // namespace quillonde
