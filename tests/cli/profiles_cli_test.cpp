// quillonde-cli convert to the echo sounders' formats: --format, --position, --time, --append.
#include "tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quillonde::testing {
namespace {

namespace fs = std::filesystem;

const std::string data = std::string(QUILLONDE_TEST_DATA);

class ConvertProfiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy_file(data + "/casts/rev205_deneb.TOB", dir.file("deneb.TOB"));
        fs::copy_file(data + "/casts/rev183_duplicate_press.TOB", dir.file("stockholm.TOB"));
    }
    Outcome convert(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), {"convert", "--salt", "--latitude", "54"});
        return run(arguments, dir.path());
    }

    TempDir dir;
};

// --format names the outputs after their inputs; the files are the window's. A cast that states its
// position takes the time of --time; one that states neither fails, naming both options.
TEST_F(ConvertProfiles, FormatNamesTheOutputsAndTimeAndPositionFillWhatTheCastLacks)
{
    const Outcome asvp = convert({"--format", "asvp", "--time", "2016-08-24T07:53:13Z", "deneb.TOB"});
    EXPECT_EQ(asvp.out, "deneb.TOB -> deneb.asvp: 250 rows, 43 profile lines\n");
    EXPECT_EQ(read_file(dir.file("deneb.asvp")), read_file(data + "/profiles/rev205_deneb_salt54.asvp"));

    const Outcome missing = convert({"--format", "vel", "deneb.TOB", "stockholm.TOB"});
    EXPECT_EQ(
        missing.err,
        "quillonde-cli: deneb.TOB: the cast states no time in UTC (it states the day alone, 2016-08-18), "
        "which a "
        "HYPACK *.vel file needs: "
        "--position LAT LON and --time YYYY-MM-DDTHH:MM:SSZ give them\n"
        "quillonde-cli: stockholm.TOB: the cast states no position and no time in UTC (it states "
        "2017-09-13T08:23:35 of a zone it does not name), which a HYPACK *.vel file needs: --position LAT "
        "LON and --time YYYY-MM-DDTHH:MM:SSZ give them\n");
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(dir.file("deneb.vel")));

    const Outcome position_only =
        convert({"--format", "vel", "--position", "-59.5", "-0.25", "stockholm.TOB"});
    EXPECT_NE(position_only.err.find("stockholm.TOB: the cast states no time in UTC (it states"),
              std::string::npos);
    const Outcome given = convert(
        {"-o", "s.vel", "--position", "-59.5", "-0.25", "--time", "2017-09-13T06:23:35Z", "stockholm.TOB"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_TRUE(read_file(dir.file("s.vel")).starts_with("FTP NEW 3 -59.5 -0.25 06:23 09/13/2017\r\n"));
}

// --append adds each cast to a CARIS file as a new section, also several through one -o; without it
// a CARIS file that holds casts is never replaced.
TEST_F(ConvertProfiles, AppendAddsSectionsAndNothingElseTouchesACarisFile)
{
    const std::vector<std::string> fix = {"--position", "59.3", "18.1", "--time", "2017-09-13T06:23:35Z"};
    std::vector<std::string> arguments = fix;
    arguments.insert(arguments.end(), {"--append", "-o", "survey.svp", "deneb.TOB", "stockholm.TOB"});
    const Outcome appended = convert(arguments);
    EXPECT_EQ(appended.out,
              "deneb.TOB -> survey.svp: 250 rows, 43 profile lines\n"
              "stockholm.TOB -> survey.svp: 154 rows, 62 profile lines, added as a new section\n");
    const std::string survey = read_file(dir.file("survey.svp"));
    EXPECT_NE(survey.find("\r\nSection 2017-256 06:23:35 54:20:19.20 11:41:28.80\r\n"), std::string::npos);
    EXPECT_NE(survey.find("\r\nSection 2017-256 06:23:35 59:18:00.00 18:06:00.00\r\n"), std::string::npos);

    arguments = fix;
    arguments.insert(arguments.end(), {"-o", "survey.svp", "deneb.TOB"});
    const Outcome refused = convert(arguments);
    EXPECT_EQ(refused.err,
              "quillonde-cli: deneb.TOB: Permission denied: \"survey.svp\" holds 2 casts; --append "
              "adds the cast as a new section (without it the file is never replaced)\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(read_file(dir.file("survey.svp")), survey);
}

// A reduced profile is named with its tolerance on standard error; the window's status line says it
// (tests/formats/profile_formats_test.cpp).
TEST_F(ConvertProfiles, AReductionIsNamedOnStandardError)
{
    std::string cast = "Lines : 1200\n; Datasets Press Temp SALIN Cond SOUND\n";
    for (int row = 1; row <= 1200; ++row) {
        cast += std::to_string(row) + " " + std::to_string(row) + " 10 35 42 " +
                std::to_string(1480 + row * row % 13) + "\n";
    }
    dir.write("deep.TOB", cast);
    const Outcome outcome =
        convert({"--format", "asvp", "--position", "54", "11", "--time", "2024-05-01T13:45:00Z", "deep.TOB"});
    // Whole m/s: the lines at the tolerance go together, fewer than 1,000 stay.
    EXPECT_EQ(outcome.out, "deep.TOB -> deep.asvp: 1200 rows, 938 profile lines\n");
    EXPECT_EQ(outcome.err,
              "quillonde-cli: deep.TOB: 1200 profile lines reduced to 938, as a Kongsberg SIS "
              "*.asvp file takes at most 1000 (Douglas-Peucker on depth and sound speed, tolerance "
              "1 m/s)\n");
}

TEST_F(ConvertProfiles, WrongProfileOptionsAreUsageErrors)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--format", "sv", "deneb.TOB"},
         "--format \"sv\" is no format: the formats are sva, asvp, caris, vel, csv"},
        {{"--format", "asvp", "-o", "x.sva", "deneb.TOB"},
         "-o \"x.sva\" names another format than --format asvp"},
        {{"--time", "2024-05-01 13:45:00", "deneb.TOB"},
         "--time \"2024-05-01 13:45:00\" is no UTC time as YYYY-MM-DDTHH:MM:SSZ"},
        {{"--time", "2024-02-30T13:45:00Z", "deneb.TOB"},
         "--time \"2024-02-30T13:45:00Z\" is no UTC time as YYYY-MM-DDTHH:MM:SSZ"},
        {{"--position", "91", "0", "deneb.TOB"}, "--position: the latitude 91 lies beyond 90 degrees"},
        {{"--position", "54", "east", "deneb.TOB"},
         "--position takes two numbers, the latitude and longitude in decimal degrees"},
        {{"--append", "-o", "x.asvp", "deneb.TOB"},
         "--append adds a cast to a file that holds many: a CARIS SVP *.svp OUTPUT (or --format caris)"},
        {{"-o", "x.svp", "deneb.TOB", "stockholm.TOB"},
         "-o takes a single INPUT (or several with --append); without it each output is named after its "
         "INPUT"},
    };
    for (const auto& [arguments, hint] : cases) {
        const Outcome outcome = convert(arguments);
        EXPECT_EQ(outcome.status, 2) << hint;
        EXPECT_TRUE(outcome.err.starts_with("quillonde-cli: " + hint + "\nUsage:")) << outcome.err;
    }
    EXPECT_EQ(folder_entries(dir.path()), (std::vector<std::string>{"deneb.TOB", "stockholm.TOB"}));
}

// A cast shorter than its header says is written with a warning, and --strict refuses it; where the
// cast states its own UTC time and position, those are written and the options' are named as unused.
TEST_F(ConvertProfiles, AShortCastWarnsAndTheCastsOwnTimeAndPositionWin)
{
    const std::string cast = read_file(data + "/formats/seabird/SK287_CTD05.cnv");
    dir.write("cut.cnv", cast.substr(0, cast.find("      0.811      0.816")));
    const Outcome warned = convert({"--format", "csv", "cut.cnv"});
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.err.find("cut.cnv: warning: the cast declares 10 rows; 9 were read."), std::string::npos)
        << warned.err;
    const Outcome strict = convert({"--strict", "--format", "csv", "-o", "strict.csv", "cut.cnv"});
    EXPECT_NE(strict.status, 0);
    EXPECT_NE(strict.err.find("refused by --strict: the cast declares 10 rows; 9 were read."),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("strict.csv")));

    const Outcome own =
        convert({"--format", "vel", "--position", "1", "2", "--time", "2020-01-01T00:00:00Z", "cut.cnv"});
    EXPECT_NE(own.err.find("cut.cnv: the cast's own position -2.4451667 80.478 is written, not --position"),
              std::string::npos)
        << own.err;
    EXPECT_NE(
        own.err.find("cut.cnv: the cast's own time 2011-08-01T11:34:53Z (NMEA UTC (Time)) is written, not "
                     "--time"),
        std::string::npos);
    EXPECT_TRUE(
        read_file(dir.file("cut.vel")).starts_with("FTP NEW 3 -2.4451667 80.478 11:34 08/01/2011\r\n"));
}

} // namespace
} // namespace quillonde::testing
