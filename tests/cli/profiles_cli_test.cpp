// quillonde-cli convert to the echo sounders' formats: --format, --position, --time, --append.
#include "tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
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
    // For SIS: the profile of the other formats between a 0 m line and a 12000 m line, said as notes.
    const Outcome asvp = convert({"--format", "asvp", "--time", "2016-08-24T07:53:13Z", "deneb.TOB"});
    EXPECT_EQ(asvp.out,
              "deneb.TOB -> deneb.asvp: 250 rows, 46 profile lines; steps: ends at the deepest sample, "
              "24.88 m, a 0 m line added, extended to 12000 m\n");
    EXPECT_EQ(asvp.err, "quillonde-cli: deneb.TOB: a 0 m line added with the first sound speed, 1491.88 m/s\n"
                        "quillonde-cli: deneb.TOB: extended to 12000 m below the cast's 24.88 m\n");
    const std::string lines = read_file(data + "/profiles/rev205_deneb_salt54.asvp");
    const std::string header = "( SoundVelocity 1.0 0 201608240753 54.3386667 11.6913333 -1 0 0 Quillonde P ";
    const std::string body = lines.substr(lines.find("\r\n") + 2);
    EXPECT_EQ(read_file(dir.file("deneb.asvp")),
              header + "46 )\r\n0 1491.88\r\n" + body + "12000 1675.8\r\n");
    const Outcome flat = convert({"--format", "asvp", "--no-extend", "--time", "2016-08-24T07:53:13Z", "-o",
                                  "flat.asvp", "deneb.TOB"});
    EXPECT_EQ(flat.status, 0) << flat.err;
    EXPECT_EQ(read_file(dir.file("flat.asvp")), header + "45 )\r\n0 1491.88\r\n" + body);

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
    EXPECT_EQ(
        appended.out,
        "deneb.TOB -> survey.svp: 250 rows, 44 profile lines; steps: ends at the deepest sample, 24.88 m\n"
        "stockholm.TOB -> survey.svp: 154 rows, 62 profile lines, added as a new section\n");
    const std::string survey = read_file(dir.file("survey.svp"));
    EXPECT_NE(survey.find("\r\nSection 2017-256 06:23:35 54:20:19.20 11:41:28.80\r\n"), std::string::npos);
    EXPECT_NE(survey.find("\r\nSection 2017-256 06:23:35 59:18:00.00 18:06:00.00\r\n"), std::string::npos);

    // info lists the sections and the one loaded, the newest; --section takes another.
    const Outcome listed = run({"info", "survey.svp"}, dir.path());
    EXPECT_NE(listed.out.find("  rows:        62\n  sections:    2, section 2 loaded\n"
                              "    1  2017-09-13T06:23:35Z  54.3386666666667 11.6913333333333  44 lines\n"
                              "    2  2017-09-13T06:23:35Z  59.3 18.1  62 lines\n"),
              std::string::npos)
        << listed.out;
    const std::string first = run({"info", "--section", "1", "survey.svp"}, dir.path()).out;
    EXPECT_NE(
        first.find("  latitude:    54.3386666666667\n  longitude:   11.6913333333333\n  rows:        44\n"
                   "  sections:    2, section 1 loaded\n"),
        std::string::npos)
        << first;
    EXPECT_NE(first.find("  profile:     44 lines for ELAC Sound File *.sva, the file's lines as given\n"),
              std::string::npos)
        << first;
    const std::string json = run({"info", "--json", "survey.svp"}, dir.path()).out;
    EXPECT_NE(
        json.find("\"lines\":44},{\"time\":\"2017-09-13T06:23:35Z\",\"latitude\":59.3,\"longitude\":18.1,"
                  "\"lines\":62}],\"section\":2,\"profile\""),
        std::string::npos)
        << json;
    EXPECT_EQ(run({"info", "--section", "3", "survey.svp"}, dir.path()).err,
              "quillonde-cli: survey.svp: Subscript out of range: \"survey.svp\" holds 2 sections, not a "
              "section 3\n");
    EXPECT_EQ(convert({"--section", "1", "-o", "first.csv", "survey.svp"}).out,
              "survey.svp -> first.csv: 44 rows, 44 profile lines\n");

    arguments = fix;
    arguments.insert(arguments.end(), {"-o", "survey.svp", "deneb.TOB"});
    const Outcome refused = convert(arguments);
    EXPECT_EQ(refused.err,
              "quillonde-cli: deneb.TOB: Permission denied: \"survey.svp\" holds 2 casts; --append "
              "adds the cast as a new section (without it the file is never replaced)\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(read_file(dir.file("survey.svp")), survey);
}

// Four batch tools at once, fifty times, add to one CARIS file: every section stays, and no lock
// file is left beside it.
TEST_F(ConvertProfiles, ConcurrentAppendsKeepEverySection)
{
    const auto append_at = [&](int minute, int second) {
        const std::string time = "2024-05-01T13:" + std::string(minute < 10 ? "0" : "") +
                                 std::to_string(minute) + ":" + (second < 10 ? "0" : "") +
                                 std::to_string(second) + "Z";
        return std::make_unique<Tool>(std::vector<std::string>{"convert", "--salt", "--latitude", "54",
                                                               "--append", "--time", time, "-o", "survey.svp",
                                                               "deneb.TOB"},
                                      dir.path());
    };
    ASSERT_EQ(append_at(0, 0)->wait().status, 0);
    constexpr int rounds = 25;
    constexpr int writers = 4;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::unique_ptr<Tool>> tools;
        for (int writer = 0; writer < writers; ++writer) {
            tools.push_back(append_at(1 + round, writer));
        }
        for (const std::unique_ptr<Tool>& tool : tools) {
            const Outcome outcome = tool->wait();
            ASSERT_EQ(outcome.status, 0) << outcome.err;
        }
    }
    const std::string survey = read_file(dir.file("survey.svp"));
    std::size_t sections = 0;
    for (std::size_t at = survey.find("\r\nSection "); at != std::string::npos;
         at = survey.find("\r\nSection ", at + 1)) {
        ++sections;
    }
    EXPECT_EQ(sections, std::size_t{1 + rounds * writers});
    EXPECT_EQ(folder_entries(dir.path()),
              (std::vector<std::string>{"deneb.TOB", "stockholm.TOB", "survey.svp"}));
}

// --append adds to a CARIS file or makes one, and refuses any other file, naming what it found, and a
// cast the file holds already: each leaves the file byte for byte. A name with a line end is
// written without it, and the file reads back.
TEST_F(ConvertProfiles, AppendRefusesWhatItCannotAddTo)
{
    const std::vector<std::string> append = {"--append", "--time", "2024-05-01T13:45:00Z", "-o"};
    const auto append_to = [&](const std::string& name) {
        std::vector<std::string> arguments = append;
        arguments.insert(arguments.end(), {name, "deneb.TOB"});
        return convert(arguments);
    };
    ASSERT_EQ(append_to("survey.svp").status, 0);
    const std::string survey = read_file(dir.file("survey.svp"));
    const std::pair<std::string, std::string> cases[] = {
        {"\r\n" + survey, "a CARIS file whose [SVP_VERSION_2] stands after a blank line"},
        {"[SVP_VERSION_1]\r\nold.svp\r\n", "a CARIS file of another version (\"[SVP_VERSION_1]\")"},
        {"depth;speed\n1;1500\n", "a file of another kind (its first line reads \"depth;speed\")"},
    };
    for (const auto& [bytes, found] : cases) {
        dir.write("other.svp", bytes);
        const Outcome refused = append_to("other.svp");
        EXPECT_EQ(refused.err,
                  "quillonde-cli: deneb.TOB: --append adds to a file of its format or makes a new "
                  "one: \"other.svp\" holds " +
                      found + "; it was left as it is\n");
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(read_file(dir.file("other.svp")), bytes);
    }
    const Outcome again = append_to("survey.svp");
    EXPECT_EQ(again.err,
              "quillonde-cli: deneb.TOB: \"survey.svp\" holds this cast already, as its section 1 "
              "(\"Section 2024-122 13:45:00 54:20:19.20 11:41:28.80\", 44 lines); it was left as it "
              "is\n");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(read_file(dir.file("survey.svp")), survey);

    ASSERT_EQ(append_to("line\nend.svp").status, 0);
    EXPECT_TRUE(
        read_file(dir.file("line\nend.svp")).starts_with("[SVP_VERSION_2]\r\nlineend.svp\r\nSection "));
    EXPECT_EQ(run({"info", "line\nend.svp"}, dir.path()).status, 0);
}

// A profile longer than --most-lines is reduced, the added lines among those kept, and each step is
// named on standard error; the window's status line says the same (tests/formats/profile_formats_test.cpp).
TEST_F(ConvertProfiles, MostLinesReducesAndEachStepIsNamedOnStandardError)
{
    std::string cast = "Lines : 1200\n; Datasets Press Temp SALIN Cond SOUND\n";
    for (int row = 1; row <= 1200; ++row) {
        cast += std::to_string(row) + " " + std::to_string(row) + " 10 35 42 " +
                std::to_string(1480 + row * row % 13) + "\n";
    }
    dir.write("deep.TOB", cast);
    const Outcome outcome = convert({"--format", "asvp", "--most-lines", "570", "--position", "54", "11",
                                     "--time", "2024-05-01T13:45:00Z", "deep.TOB"});
    EXPECT_EQ(outcome.out, "deep.TOB -> deep.asvp: 1200 rows, 561 profile lines; steps: a 0 m line added, "
                           "reduced to 561 lines, extended to 12000 m\n");
    EXPECT_EQ(outcome.err,
              "quillonde-cli: deep.TOB: a 0 m line added with the first sound speed, 1481 m/s\n"
              "quillonde-cli: deep.TOB: 1202 lines reduced to 561 (Douglas-Peucker on depth and sound speed, "
              "tolerance 4.5 m/s)\n"
              "quillonde-cli: deep.TOB: extended to 12000 m below the cast's 1185.86 m\n");
    const std::string asvp = read_file(dir.file("deep.asvp"));
    EXPECT_TRUE(asvp.ends_with("\r\n1185.86 1483\r\n12000 1675.8\r\n")) << asvp.substr(asvp.size() - 40);
    EXPECT_NE(asvp.find(" P 561 )\r\n0 1481\r\n"), std::string::npos);
}

// The steps are named on the line; a surface sound speed far from the profile's is a warning, and
// fails the cast under --strict.
TEST_F(ConvertProfiles, TheStepsAreNamedAndTheSurfaceCheckWarns)
{
    const Outcome steps = convert({"--cast", "down", "--bin", "2", "--surface-sound-speed", "1491.9",
                                   "--draft", "1", "--format", "sva", "deneb.TOB"});
    EXPECT_EQ(steps.out, "deneb.TOB -> deneb.sva: 250 rows, 13 profile lines; steps: the downcast, 2 m bins, "
                         "surface sound speed 1491.89 m/s at 1 m against the sensor's 1491.9\n");
    EXPECT_EQ(steps.err, "");
    const Outcome far = convert({"--strict", "--surface-sound-speed", "1488", "--draft", "1", "deneb.TOB"});
    EXPECT_EQ(far.status, 1);
    EXPECT_NE(far.err.find("refused by --strict: at the transducer's draft of 1 m the profile gives 1491.92"),
              std::string::npos)
        << far.err;
}

TEST_F(ConvertProfiles, WrongProfileOptionsAreUsageErrors)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--format", "sv", "deneb.TOB"},
         "--format \"sv\" is no format: the formats are sva, asvp, caris (svp), vel, csv"},
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
        {{"--most-lines", "2", "deneb.TOB"}, "--most-lines takes a whole number of lines from 3 to 9999"},
        {{"--most-lines", "many", "--no-extend", "deneb.TOB"},
         "--most-lines takes a whole number of lines from 2 to 9999"},
        {{"--cast", "sideways", "deneb.TOB"}, "--cast takes down or up, not \"sideways\""},
        {{"--bin", "0", "deneb.TOB"}, "--bin takes the height of a bin in metres, more than 0, not \"0\""},
        {{"--surface-sound-speed", "fast", "--draft", "2", "deneb.TOB"},
         "--surface-sound-speed takes the sensor's sound speed in m/s, not \"fast\""},
        {{"--surface-sound-speed", "1490", "--draft", "-1", "deneb.TOB"},
         "--draft takes the transducer's depth in metres, 0 or more, not \"-1\""},
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
