// Runs the built quillonde-cli as a user would and checks what it prints, writes and returns.
#include "form/export.h"
#include "form/loader.h"

#include "cast_generator.h"
#include "fake_controls.h"
#include "temp_dir.h"
#include "tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using testing::FakeControls;
using testing::folder_entries;
using testing::Outcome;
using testing::read_file;
using testing::run;
using testing::TempDir;

const std::string casts = std::string(QUILLONDE_TEST_DATA) + "/casts/";

const std::string usage =
    "Usage:\n"
    "  quillonde-cli depth --fresh PRESSURE...\n"
    "  quillonde-cli depth --salt --latitude LAT PRESSURE...\n"
    "  quillonde-cli convert (--fresh | --salt --latitude LAT) [--derive] [--strict] [--format FORMAT]\n"
    "                [--position LAT LON] [--time YYYY-MM-DDTHH:MM:SSZ] [--append] [--section N]\n"
    "                [--most-lines N] [--no-extend] [--cast down|up] [--drop-soak] [--despike]\n"
    "                [--bin METRES] [--surface-sound-speed M/S --draft M] [-o OUTPUT] INPUT...\n"
    "  quillonde-cli send --to sis|sis5|qinsy|pds HOST[:PORT] (--fresh | --salt --latitude LAT) [--apply]\n"
    "                [--derive] [--strict] [--position LAT LON] [--time TIME] [--most-lines N] [--no-extend] "
    "INPUT\n"
    "  quillonde-cli sound (--salinity S | --conductivity C) --temperature T PRESSURE...\n"
    "  quillonde-cli plot (--fresh | --salt --latitude LAT) [--columns SOUND,Temp,SALIN] "
    "[-o OUTPUT] INPUT...\n"
    "  quillonde-cli info [--json] [--section N] [--fresh | --salt --latitude LAT] [--format FORMAT]\n"
    "                [--most-lines N] [--no-extend] [--cast down|up] [--drop-soak] [--despike]\n"
    "                [--bin METRES] [--surface-sound-speed M/S --draft M] INPUT...\n"
    "  quillonde-cli --help | --version\n"
    "Options and examples: quillonde-cli --help\n";

std::vector<std::string> operator+(std::vector<std::string> first, const std::vector<std::string>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

/// The file the window's export handler writes for `cast` after loading it with these settings.
std::string handler_export(const std::string& cast, OptionButton water, const std::string& latitude)
{
    const TempDir dir;
    FakeControls controls;
    ProfileState state;
    controls.water = water;
    controls.texts[TextBox::tx_lat] = latitude;
    controls.texts[TextBox::tx_ss_file] = cast;
    controls.answer = [](const Question& question) { return question.kind == QuestionKind::export_anyway; };
    EXPECT_EQ(load_data_file(controls, state), LoadOutcome::loaded);
    controls.texts[TextBox::tx_out] = dir.file("handler.sva");
    export_profile(controls, state);
    return read_file(dir.file("handler.sva"));
}

TEST(Depth, ReadsTheTextsAsTheWindowReadsItsBoxes)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        std::string err;
    };
    const std::string error = "quillonde-cli: ";
    const Case cases[] = {
        {{"--salt", "--latitude", "30", "500", "10000"}, "496\n9712.65\n", ""},
        // A negative number is a value; blanks around a number and an exponent are the window's grammar.
        {{"--fresh", "-5", " 7 ", "1e2", "--", "-.5", "--salt"},
         "-5.1\n7.14\n101.97\n-0.51\n",
         error + "--salt: Type mismatch: pressure \"--salt\" is not a number\n"},
        // south is north
        {{"--salt", "--latitude=-30", "10000"}, "9712.65\n", ""},
        {{"--latitude", "-30", "10000", "--salt"}, "9712.65\n", ""},
        // A bad text prints its error and the rest follows.
        {{"--fresh", "100", "abc", "", "1e400", "10"},
         "101.97\n10.2\n",
         error + "abc: Type mismatch: pressure \"abc\" is not a number\n" + error +
             ": Type mismatch: pressure \"\" is not a number\n" + error +
             "1e400: Overflow: pressure \"1e400\" lies beyond the number range\n"},
        // As in the window, the pressure is read before the latitude.
        {{"--salt", "--latitude", "north", "10", "x"},
         "",
         error + "10: Type mismatch: latitude \"north\" is not a number\n" + error +
             "x: Type mismatch: pressure \"x\" is not a number\n"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(std::vector<std::string>{"depth"} + c.arguments);
        EXPECT_EQ(outcome.out, c.out) << c.arguments[1];
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_EQ(outcome.status, c.err.empty() ? 0 : 1);
    }
}

TEST(Usage, AWrongCommandLineExitsWith2AndAHint)
{
    const TempDir dir;
    const std::string cast = casts + "rev205_deneb.TOB";
    struct Case {
        std::vector<std::string> arguments;
        std::string hint;
    };
    const std::vector<Case> cases = {
        {{}, "a command is required: depth, convert, send, sound, plot or info"},
        {{"--frobnicate"}, "The following argument was not expected: --frobnicate"},
        {{"frobnicate", "--fresh", "10"},
         "unknown command \"frobnicate\": the commands are depth, convert, send, sound, plot and info"},
        {{"depth", "10"}, "the water is required: --fresh, or --salt --latitude LAT"},
        {{"depth", "--latitude", "54", "10"}, "the water is required: --fresh, or --salt --latitude LAT"},
        {{"depth", "--salt", "10"}, "--salt requires --latitude"},
        // 540 for 54 gave the equator's depth without a word.
        {{"depth", "--salt", "--latitude", "540", "1000"}, "the latitude 540 lies outside -90 to 90 degrees"},
        {{"convert", "--salt", "--latitude=-90.6", "c.TOB"},
         "the latitude -90.6 lies outside -90 to 90 degrees"},
        {{"plot", "--salt", "--latitude", " ", "c.TOB"}, "--latitude needs a number of degrees, -90 to 90"},
        {{"depth", "--salt", "--latitude"}, "--latitude: 1 required TEXT missing"},
        {{"depth", "--fresh", "--salt", "--latitude", "54", "10"}, "--fresh excludes --salt"},
        {{"depth", "--fresh", "--latitude", "54", "10"}, "--fresh excludes --latitude"},
        {{"depth", "--fresh"}, "PRESSURE is required"},
        {{"depth", "--fresh", "-.5"}, "-.5 is read as an option: write -0.5, or give it after \"--\""},
        {{"depth", "--fresh", "-o", "x.sva", "10"}, "The following argument was not expected: -o"},
        {{"convert", "--salt", "--latitude", "54"}, "INPUT is required"},
        {{"convert", "--fresh", "-o", "x.sva", cast, cast},
         "-o takes a single INPUT (or several with --append); without it each output is named after its "
         "INPUT"},
        {{"convert", "--fresh", "-o", "", cast}, "-o needs a file name"},
        {{"info", "--json"}, "INPUT is required"},
        {{"info", "-o", "x.sva", cast}, "The following argument was not expected: -o"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(c.arguments, dir.path());
        EXPECT_EQ(outcome.err, "quillonde-cli: " + c.hint + "\n" + usage);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.status, 2) << c.hint;
    }
    EXPECT_TRUE(folder_entries(dir.path()).empty());
}

TEST(Usage, HelpDocumentsEveryOptionAndVersionNamesTheRelease)
{
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_NE(help.out.find(usage.substr(0, usage.find("Options and"))), std::string::npos);
    // A newcomer learns first that every cast and profile format is read and written.
    const std::string first_lines = help.out.substr(0, help.out.find("Usage:"));
    for (const char* format : {"Sea & Sun", "Sea-Bird", "Valeport", "ELAC", "Kongsberg", "CARIS", "HYPACK"}) {
        EXPECT_NE(first_lines.find(format), std::string::npos) << format;
    }
    for (const char* option :
         {"  --latitude LAT ", "  -o, --output OUTPUT ", "  --derive ", "  --strict ", "  --format FORMAT ",
          "  --position LAT LON ", "  --time TIME ", "  --append ", "  --section N ", "  --cast down|up ",
          "  --drop-soak ", "  --despike ", "  --bin METRES ", "  --surface-sound-speed M/S --draft M\n",
          "  --columns NAMES ", "  --json ", "  info ", "  --version ", "Exit status"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(run({"plot", "--help"}).out, help.out);
    EXPECT_EQ(run({"depth", "--salt", "-h"}).out, help.out);

    const Outcome version = run({"--version"});
    EXPECT_EQ(version.out, "quillonde-cli " QUILLONDE_VERSION "\n");
    EXPECT_EQ(version.status, 0);
}

class Convert : public ::testing::Test {
protected:
    /// Copies a cast of tests/data into the working folder as `name`.
    void copy_cast(const std::string& cast, const std::string& name) const
    {
        fs::create_directories(fs::path(dir.file(name)).parent_path());
        fs::copy_file(casts + cast, dir.file(name));
    }

    Outcome convert(const std::vector<std::string>& arguments) const
    {
        return run(std::vector<std::string>{"convert"} + arguments, dir.path());
    }

    TempDir dir;
};

// Brackish: neither water type is asked about.
const std::string tiny_cast = "Lines : 3\n"
                              "; Datasets Press Temp Cond SALIN SOUND\n"
                              "1 1.0 10.0 30.0 2.0 1490.0\n"
                              "2 2.0 10.0 30.0 2.0 1490.0\n"
                              "3 3.0 10.0 30.0 2.0 1490.0\n";

TEST_F(Convert, WritesTheFilesOfTheExportHandler)
{
    copy_cast("rev205_deneb.TOB", "deneb.TOB");
    copy_cast("rev183_duplicate_press.TOB", "stockholm.TOB");
    bench::CastShape shape;
    shape.rows = 3000;
    bench::write_cast(dir.file("synthetic.TOB"), shape); // CR LF endings, blank-padded columns

    const Outcome salt =
        convert({"--salt", "--latitude", "54", "deneb.TOB", "stockholm.TOB", "synthetic.TOB"});
    EXPECT_EQ(salt.out, "deneb.TOB -> deneb.sva: 250 rows, 43 profile lines\n"
                        "stockholm.TOB -> stockholm.sva: 154 rows, 62 profile lines\n"
                        "synthetic.TOB -> synthetic.sva: 3000 rows, 704 profile lines\n");
    EXPECT_EQ(salt.err, "");
    EXPECT_EQ(salt.status, 0);
    for (const std::string name : {"deneb", "stockholm", "synthetic"}) {
        EXPECT_EQ(read_file(dir.file(name + ".sva")),
                  handler_export(dir.file(name + ".TOB"), OptionButton::op_salt, "54"))
            << name;
    }

    const Outcome fresh = convert({"--fresh", "-o", "fresh.sva", "deneb.TOB"});
    EXPECT_EQ(fresh.out, "deneb.TOB -> fresh.sva: 250 rows, 44 profile lines\n");
    EXPECT_EQ(read_file(dir.file("fresh.sva")),
              handler_export(dir.file("deneb.TOB"), OptionButton::op_fresh, ""));

    dir.write("tiny.TOB", tiny_cast);
    convert({"--salt", "--latitude", "54", "tiny.TOB"});
    EXPECT_EQ(read_file(dir.file("tiny.sva")), ".profile  1\r\n\r\n"
                                               "1\t1490\t10\t2\t30\t\r\n"
                                               "2\t1490\t10\t2\t30\t\r\n"
                                               "3\t1490\t10\t2\t30\t\r\n");
}

TEST_F(Convert, NamesTheOutputAfterTheInput)
{
    for (const std::string name : {"a/cast.TOB", "b/cast", "c/cast.v2.TOB", "d.TOB/cast", "e/-cast.TOB"}) {
        fs::create_directories(fs::path(dir.file(name)).parent_path());
        dir.write(name, tiny_cast);
    }
    const Outcome outcome =
        convert({"--fresh", "a/cast.TOB", "b/cast", "c/cast.v2.TOB", "d.TOB/cast", "--", "e/-cast.TOB"});
    EXPECT_EQ(outcome.out, "a/cast.TOB -> a/cast.sva: 3 rows, 3 profile lines\n"
                           "b/cast -> b/cast.sva: 3 rows, 3 profile lines\n"
                           "c/cast.v2.TOB -> c/cast.v2.sva: 3 rows, 3 profile lines\n"
                           "d.TOB/cast -> d.TOB/cast.sva: 3 rows, 3 profile lines\n"
                           "e/-cast.TOB -> e/-cast.sva: 3 rows, 3 profile lines\n");
    EXPECT_EQ(outcome.status, 0);

    fs::create_directory(dir.file("f"));
    EXPECT_EQ(convert({"--fresh", "--output=f/out.txt", "--", "a/cast.TOB"}).out,
              "a/cast.TOB -> f/out.txt: 3 rows, 3 profile lines\n");
    EXPECT_EQ(folder_entries(dir.path() / "f"), (std::vector<std::string>{"out.txt"}));
    EXPECT_EQ(folder_entries(dir.path() / "a"), (std::vector<std::string>{"cast.TOB", "cast.sva"}));
}

TEST_F(Convert, AFailedInputIsReportedAndTheNextOneConverted)
{
    copy_cast("rev205_deneb.TOB", "first.TOB");
    copy_cast("rev183_utf8_partial.TOB", "partial.TOB");
    copy_cast("rev205_deneb.TOB", "last.TOB");
    dir.write("broken.TOB", "Lines : 3\n"
                            "; Datasets Press Temp Cond SALIN SOUND\n"
                            "1 1.0 10.0 30.0 35.0 1490.0\n"
                            "x2 2.0 10.0 30.0 35.0 1490.0\n");
    dir.write("broken.sva", "the profile of yesterday");
    fs::create_directory(dir.file("folder.TOB"));

    const Outcome outcome = convert({"--salt", "--latitude", "54", "first.TOB", "missing.TOB", "partial.TOB",
                                     "broken.TOB", "folder.TOB", "", "last.TOB"});
    EXPECT_EQ(outcome.out, "first.TOB -> first.sva: 250 rows, 43 profile lines\n"
                           "last.TOB -> last.sva: 250 rows, 43 profile lines\n");
    EXPECT_EQ(outcome.err,
              "quillonde-cli: missing.TOB: File not found: \"missing.TOB\"\n"
              "quillonde-cli: partial.TOB: The data file has no column named \"SOUND\" "
              "(--derive computes it from Temp, SALIN and Press)\n"
              "quillonde-cli: broken.TOB: Type mismatch at line 4: row number \"x2\" is not a number\n"
              "quillonde-cli: folder.TOB: Not a file: \"folder.TOB\" is a folder, not a cast\n"
              "quillonde-cli: : no file name given\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(read_file(dir.file("broken.sva")), "the profile of yesterday");
    EXPECT_EQ(read_file(dir.file("last.sva")), read_file(dir.file("first.sva")));
    EXPECT_EQ(folder_entries(dir.path()),
              (std::vector<std::string>{"broken.TOB", "broken.sva", "first.TOB", "first.sva", "folder.TOB",
                                        "last.TOB", "last.sva", "partial.TOB"}));

    // A latitude that is no number fails before the load, as in the window: not a line of the cast.
    EXPECT_EQ(convert({"--salt", "--latitude", "x", "first.TOB"}).err,
              "quillonde-cli: first.TOB: Type mismatch: latitude \"x\" is not a number\n");
}

TEST_F(Convert, NeverOverwritesAnInputOrItsOwnOutput)
{
    dir.write("cast", tiny_cast);
    dir.write("cast.TOB", tiny_cast + "4 4.0 10.0 30.0 35.0 1490.0\n");
    dir.write("named.sva", tiny_cast);
    fs::create_symlink("cast.TOB", dir.file("link.sva"));

    const Outcome outcome = convert({"--fresh", "cast", "cast.TOB", "named.sva", "./cast"});
    EXPECT_EQ(outcome.out, "cast -> cast.sva: 3 rows, 3 profile lines\n");
    EXPECT_EQ(
        outcome.err,
        "quillonde-cli: cast.TOB: the output \"cast.sva\" has already been written from \"cast\"; it is "
        "left as it is\n"
        "quillonde-cli: named.sva: the output \"named.sva\" is one of the inputs; it is left as it is\n"
        "quillonde-cli: ./cast: the output \"./cast.sva\" has already been written from \"cast\"; it is "
        "left as it is\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(read_file(dir.file("named.sva")), tiny_cast);

    EXPECT_EQ(convert({"--fresh", "-o", "cast.TOB", "cast.TOB"}).err,
              "quillonde-cli: cast.TOB: the output \"cast.TOB\" is one of the inputs; it is left as it is\n");
    EXPECT_EQ(convert({"--fresh", "-o", "link.sva", "cast.TOB"}).err,
              "quillonde-cli: cast.TOB: the output \"link.sva\" is one of the inputs; it is left as it is\n");
    // "cast" would name "cast.sva", which is also given as an input.
    EXPECT_EQ(convert({"--fresh", "cast", "cast.sva"}).err,
              "quillonde-cli: cast: the output \"cast.sva\" is one of the inputs; it is left as it is\n"
              "quillonde-cli: cast.sva: the output \"cast.sva\" is one of the inputs; it is left as it is\n");
    EXPECT_EQ(read_file(dir.file("cast.TOB")), tiny_cast + "4 4.0 10.0 30.0 35.0 1490.0\n");
}

TEST_F(Convert, DeriveComputesAMissingColumnAndSaysSo)
{
    copy_cast("rev183_utf8_partial.TOB", "partial.TOB");
    const Outcome outcome = convert({"--salt", "--latitude", "54", "--derive", "partial.TOB"});
    EXPECT_EQ(outcome.out, "partial.TOB -> partial.sva: 722 rows, 16 profile lines\n");
    EXPECT_EQ(outcome.err,
              "quillonde-cli: partial.TOB: warning: the cast declares 980 rows; 722 were read\n"
              "quillonde-cli: partial.TOB: SOUND computed from Temp, SALIN and Press (UNESCO 1983)\n");
    EXPECT_EQ(outcome.status, 0);
}

// A cast cut inside its last line ("... 11.04  14" where SOUND was 1491.75) was converted without a
// word; every warning was answered Yes with exit status 0, which a pipeline takes for success.
TEST_F(Convert, WarnsOfACutLastLineAndStrictMakesEveryWarningAFailure)
{
    const std::string whole = read_file(casts + "rev205_deneb.TOB");
    const std::string reference = read_file(QUILLONDE_TEST_DATA "/profiles/rev205_deneb_salt54.sva");
    dir.write("whole.TOB", whole);
    dir.write("cut.TOB", whole.substr(0, whole.size() - 4)); // "... 1481.95   55" where SerNo was 55.00
    dir.write("cut.sva", "yesterday's profile");

    // Every line ends: no word, the profile's bytes as they have always been.
    const Outcome kept = convert({"--salt", "--latitude", "54", "--strict", "whole.TOB"});
    EXPECT_EQ(kept.err, "");
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(read_file(dir.file("whole.sva")), reference);

    const std::string cut_line =
        "the last line of the cast (line 278) has no line end: the cast may have been "
        "cut while it was written";
    const Outcome warned = convert({"--salt", "--latitude", "54", "cut.TOB"});
    EXPECT_EQ(warned.err, "quillonde-cli: cut.TOB: warning: " + cut_line + "\n");
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(read_file(dir.file("cut.sva")), "yesterday's profile");

    // With --strict, each warning fails its input and the batch goes on; the fresh-water one too.
    dir.write("cut.sva", "yesterday's profile");
    const Outcome refused = convert({"--fresh", "--strict", "cut.TOB", "whole.TOB"});
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "quillonde-cli: cut.TOB: refused by --strict: " + cut_line +
                  ". The median salinity of the stored rows is 19.225, as in sea water, but the "
                  "depths were computed for fresh water\n"
                  "quillonde-cli: whole.TOB: refused by --strict: the median salinity of the stored "
                  "rows is 19.225, as in sea water, but the depths were computed for fresh water\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(read_file(dir.file("cut.sva")), "yesterday's profile");
    EXPECT_EQ(read_file(dir.file("whole.sva")), reference);

    dir.write("one.TOB", "Lines : 1\n; Datasets Press Temp Cond SALIN SOUND\n1 1.0 10.0 0.3 0.2 1450.0\n");
    EXPECT_EQ(convert({"--fresh", "--strict", "one.TOB"}).out, "one.TOB -> one.sva: 1 row, 1 profile line\n");
    // A sound velocity computed slightly outside the formula's range is a warning as well.
    dir.write("cold.TOB", "Lines : 1\n; Datasets Press Temp Cond SALIN\n1 1.0 -1.9 30 35\n");
    const Outcome cold = convert({"--salt", "--latitude", "54", "--derive", "--strict", "cold.TOB"});
    EXPECT_EQ(cold.err,
              "quillonde-cli: cold.TOB: refused by --strict: 1 row of SOUND was computed from values "
              "slightly outside the range of Chen and Millero's formula\n");
    EXPECT_EQ(cold.status, 1);
    EXPECT_FALSE(fs::exists(dir.file("cold.sva")));
}

TEST(Sound, PrintsChenAndMilleroForEachPressure)
{
    const Outcome salinity = run({"sound", "--salinity", "40", "--temperature", "40", "10000", "0", "x"});
    EXPECT_EQ(salinity.out, "1732\n1568.12\n");
    EXPECT_EQ(salinity.err, "quillonde-cli: x: Type mismatch: pressure \"x\" is not a number\n");
    EXPECT_EQ(salinity.status, 1);
    // C(35, 15, 0) is salinity 35.
    EXPECT_EQ(run({"sound", "--conductivity", "42.914", "--temperature", "15", "0"}).out,
              run({"sound", "--salinity", "35", "--temperature", "15", "0"}).out);
    const Outcome negative = run({"sound", "--conductivity", "-1", "--temperature", "15", "0"});
    EXPECT_EQ(negative.err, "quillonde-cli: 0: Overflow: the salinity of -1 mS/cm at 15 degC and 0 dbar lies "
                            "beyond the range of the formula\n");
}

} // namespace
} // namespace quillonde
