// The profile formats: each writer's bytes, each reader's reading of them and of broken files, the
// CARIS file that takes one cast after another, and the reduction to what SIS takes.
#include "form/export.h"
#include "formats/caris.h"
#include "formats/csv.h"
#include "formats/registry.h"
#include "formats/sva.h"
#include "profile/output_file.h"
#include "profile/profile_reduction.h"
#include "runtime/convert.h"

#include "cast_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using testing::error_of;
using testing::read_file;
using Texts = std::vector<std::string>;

const std::string data = std::string(QUILLONDE_TEST_DATA);

/// The extension of each format written, as the registry lists them: "sva", "asvp", ...; each has a
/// file in tests/data/profiles.
Texts written_formats()
{
    Texts extensions;
    for (const ProfileWriter* writer : profile_writers()) {
        extensions.emplace_back(default_extension(writer->facts()).substr(1));
    }
    return extensions;
}

const Texts formats = written_formats();

/// 2016-08-24T07:53:13Z, when the deneb cast was taken (its file states no time).
std::chrono::sys_seconds deneb_time()
{
    return *utc_time_of("2016-08-24T07:53:13Z");
}

/// The depths and sound speeds of the loaded table as its texts; T, S and C too where it has them.
Texts table_lines(const ProfileState& state)
{
    Texts lines;
    for (std::int32_t row = 1; row <= state.g_table.last_row(); ++row) {
        std::string line;
        for (std::int32_t column = 0; column <= state.ccolumns; ++column) {
            line += (column == 0 ? "" : " ") + std::string(state.g_table.cell(column, row).as_text());
        }
        lines.push_back(line);
    }
    return lines;
}

/// The profile lines of the deneb cast as `format` writes them, the first `fields` of each joined by
/// blanks: "0.5 1491.88" of the .sva's depths to 0.1 m, "0.51 1491.88" of every other format's.
Texts deneb_lines(std::size_t fields, const std::string& format = "sva")
{
    Texts lines;
    const bool sva = format == "sva";
    const std::string file = read_file(data + "/profiles/rev205_deneb_salt54." + (sva ? "sva" : "csv"));
    const char separator = sva ? '\t' : ',';
    for (std::size_t at = sva ? file.find("\r\n\r\n") + 4 : file.find('\n') + 1; at < file.size();
         at = file.find('\n', at) + 1) {
        std::string line;
        std::size_t field = at;
        for (std::size_t k = 0; k < fields; ++k) {
            const std::size_t end = std::min(file.find(separator, field), file.find('\r', field));
            line += (k == 0 ? "" : " ") + file.substr(field, end - field);
            field = end + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

class ProfileFormats : public testing::CastTest {
protected:
    void load_deneb()
    {
        salt_water_at_54();
        load_path(data + "/casts/rev205_deneb.TOB");
        // Its header gives the position; the time is the user's.
        controls.fix = [](const FixRequest& request) {
            return CastFix{*request.latitude_deg, *request.longitude_deg, deneb_time()};
        };
    }
};

// One cast, every format: the files are those in tests/data/profiles, byte for byte; their first
// lines spelled out here, as the echo sounders' software reads them.
TEST_F(ProfileFormats, TheDenebCastInEveryFormatByteForByte)
{
    load_deneb();
    for (const std::string& format : formats) {
        const std::string name = "rev205_deneb_salt54." + format;
        const ExportOutcome outcome = export_path(dir.file(name));
        if (format == "asvp") {
            // Shaped for SIS: the stored file's lines between a 0 m line and the 12000 m line.
            EXPECT_EQ(outcome.profile_lines, 46);
            EXPECT_EQ(outcome.notes, (Texts{"a 0 m line added with the first sound speed, 1491.88 m/s",
                                            "extended to 12000 m below the cast's 24.88 m"}));
            const std::string stored = read_file(data + "/profiles/" + name);
            const std::size_t body = stored.find("\r\n") + 2;
            EXPECT_EQ(read_file(dir.file(name)), stored.substr(0, body - 6) + "46 )\r\n0 1491.88\r\n" +
                                                     stored.substr(body) + "12000 1675.8\r\n");
            continue;
        }
        EXPECT_EQ(outcome.profile_lines, format == "sva" ? 43 : 44) << format; // ends at 24.88 m
        EXPECT_TRUE(outcome.notes.empty()) << format;
        EXPECT_EQ(read_file(dir.file(name)), read_file(data + "/profiles/" + name)) << format;
    }
    const auto expect_start = [&](const std::string& format, const std::string& start) {
        EXPECT_EQ(read_file(dir.file("rev205_deneb_salt54." + format)).substr(0, start.size()), start);
    };
    expect_start("asvp",
                 "( SoundVelocity 1.0 0 201608240753 54.3386667 11.6913333 -1 0 0 Quillonde P 46 )\r\n"
                 "0 1491.88\r\n0.51 1491.88\r\n");
    expect_start("svp", "[SVP_VERSION_2]\r\nrev205_deneb_salt54.svp\r\n"
                        "Section 2016-237 07:53:13 54:20:19.20 11:41:28.80\r\n0.51 1491.88\r\n");
    expect_start("vel", "FTP NEW 3 54.3386667 11.6913333 07:53 08/24/2016\r\n0.51 1491.88\r\n");
    expect_start("csv", std::string(csv_title) + "\r\n0.51,1491.88,19.03,11.02,16.43\r\n");
    // The time was asked once for each format that states it; the cast gave its position.
    ASSERT_EQ(controls.fix_requests.size(), 3U);
    // Its header's Datum is the day alone, and the time of day is the user's to give.
    EXPECT_EQ(controls.fix_requests[0].missing_text(),
              "no time in UTC (it states the day alone, 2016-08-18)");
    EXPECT_EQ(controls.fix_requests[0].time_source,
              "from the header's Datum line, the day alone: give the time "
              "of day in UTC");
    EXPECT_TRUE(controls.fix_requests[0].time_to_confirm);
    EXPECT_EQ(controls.fix_requests[0].format, "Kongsberg SIS *.asvp");
}

// What a writer writes, its reader reads, whatever the file is called: the same depths and sound
// speeds, and T, S and C where the format holds them; the time and position too (the .asvp
// header keeps the minute).
TEST_F(ProfileFormats, EveryFileWrittenReadsBackToTheSameLines)
{
    load_deneb();
    for (const std::string& format : formats) {
        export_path(dir.file("deneb." + format));
        fs::rename(dir.file("deneb." + format), dir.file("deneb.txt"));
        controls.water = OptionButton::op_fresh; // depths are taken as they stand, not recomputed
        ASSERT_EQ(load_path(dir.file("deneb.txt")), LoadOutcome::loaded) << format;
        const bool all_fields = format == "sva" || format == "csv";
        EXPECT_EQ(state.cast.format, format == "svp" ? "caris" : format);
        Texts lines = deneb_lines(all_fields ? 5 : 2, format);
        if (format == "asvp") {
            lines.insert(lines.begin(), "0 1491.88");
            lines.emplace_back("12000 1675.8");
        }
        EXPECT_EQ(table_lines(state), lines) << format;
        const Texts names =
            all_fields ? Texts{"Depth", "SOUND", "Temp", "SALIN", "Cond"} : Texts{"Depth", "SOUND"};
        EXPECT_EQ(controls.list, names);
        EXPECT_EQ(controls.captions.at(Label::Label4), format == "asvp"  ? "Number of rows: 46"
                                                       : format == "sva" ? "Number of rows: 43"
                                                                         : "Number of rows: 44");
        EXPECT_EQ(state.cast.instrument, format == "asvp" ? "Quillonde" : "");
        if (!all_fields) {
            EXPECT_NEAR(*state.cast.latitude_deg, 54 + 20.32 / 60, 5e-8) << format;
            EXPECT_NEAR(*state.cast.longitude_deg, 11 + 41.48 / 60, 5e-8) << format;
            EXPECT_EQ(iso_time(*state.cast.time),
                      format == "svp"   ? "2016-08-24T07:53:13Z"
                      : format == "vel" ? "2016-08-24T07:53:00" // HYPACK names no zone
                                        : "2016-08-24T07:53:00Z");
        }
        controls.list.clear();
        load_deneb();
    }
}

// A profile of depth and sound speed alone goes to every format of depth and sound speed; a format
// that needs temperature, salinity and conductivity refuses it, naming them, and writes nothing.
TEST_F(ProfileFormats, ASoundSpeedProfileGoesToTheFormatsOfDepthAndSound)
{
    const std::string asvp = data + "/profiles/rev205_deneb_salt54.asvp";
    load_path(asvp);
    export_path(dir.file("from_asvp.vel"));
    EXPECT_EQ(read_file(dir.file("from_asvp.vel")).substr(0, 68),
              "FTP NEW 3 54.3386667 11.6913333 07:53 08/24/2016\r\n0.51 1491.88\r\n1.04");
    EXPECT_TRUE(controls.fix_requests.empty()); // the file gave time and position
    // The formats that hold more ask before they write 0 for what the cast cannot give.
    const std::string zeros =
        "The cast gives no values for Temp, SALIN and Cond, and the export cannot compute "
        "them: each line of the profile holds 0 for them. Write the profile?";
    controls.answer = [](const Question&) { return false; };
    controls.questions.clear();
    EXPECT_FALSE(export_path(dir.file("from_asvp.sva")).written);
    EXPECT_EQ(controls.questions, Texts{zeros});
    EXPECT_EQ(testing::folder_entries(dir.path()), Texts{"from_asvp.vel"});
    // A spreadsheet gets empty cells for them, and no question.
    controls.questions.clear();
    export_path(dir.file("from_asvp.csv"));
    EXPECT_EQ(controls.questions, Texts{});
    EXPECT_TRUE(
        read_file(dir.file("from_asvp.csv")).starts_with(std::string(csv_title) + "\r\n0.51,1491.88,,,\r\n"));
}

// A profile file is a profile already: every line of it, a 0 m line too, goes to every format as
// the file writes its depth and sound speed, none thinned by the 0.5 m rule of a probe's cast.
TEST_F(ProfileFormats, AProfileFileKeepsEveryLineAndItsOwnTexts)
{
    controls.answer = [](const Question&) { return true; };
    const std::string asvp = data + "/profiles/rev205_deneb_salt54.asvp";
    load_path(asvp);
    const std::string samples = read_file(asvp).substr(read_file(asvp).find('\n') + 1);
    for (const std::string format : {"vel", "svp", "csv", "sva"}) {
        EXPECT_EQ(export_path(dir.file("deneb." + format)).profile_lines, 44) << format;
    }
    const std::string vel = read_file(dir.file("deneb.vel"));
    EXPECT_EQ(vel.substr(vel.find('\n') + 1), samples);
    EXPECT_TRUE(read_file(dir.file("deneb.svp")).ends_with(samples));

    load_path(dir.write("own.asvp",
                        "( SoundVelocity 1.0 0 201608240753 54.5 11.5 -1 0 0 Probe P 5 )\r\n"
                        "0 1500.10\r\n0.25 1500.2\r\n0.50 1500.30\r\n0.4 1500.4\r\n+1e1 1501\r\n"));
    export_path(dir.file("own.vel"));
    EXPECT_EQ(read_file(dir.file("own.vel")),
              "FTP NEW 3 54.5 11.5 07:53 08/24/2016\r\n0 1500.10\r\n0.25 1500.2\r\n"
              "0.50 1500.30\r\n0.4 1500.4\r\n+1e1 1501\r\n");
    export_path(dir.file("own.sva"));
    EXPECT_EQ(read_file(dir.file("own.sva")), std::string(sva_header) +
                                                  "0\t1500.10\t0\t0\t0\t\r\n0.25\t1500.2\t0\t0\t0\t\r\n"
                                                  "0.50\t1500.30\t0\t0\t0\t\r\n0.4\t1500.4\t0\t0\t0\t\r\n"
                                                  "+1e1\t1501\t0\t0\t0\t\r\n");
}

// Two casts in one CARIS file, then a third: each comes after the others as a new section, the
// sections before stay byte for byte. The reader loads the newest, wherever it stands.
TEST_F(ProfileFormats, ACarisFileTakesOneCastAfterAnother)
{
    load_deneb();
    const std::string survey = dir.file("survey.svp");
    export_path(survey);
    const std::string first = read_file(survey);
    const auto add_at = [&](const char* time, double latitude) {
        controls.fix = [=](const FixRequest&) { return CastFix{latitude, -0.01, *utc_time_of(time)}; };
        controls.choice = [](const Question&) { return add_section_answer; };
        state.cast.latitude_deg.reset(); // asked, as for a cast without position
        EXPECT_TRUE(export_path(survey).added);
    };
    add_at("2016-12-31T23:59:59Z", -0.5);
    add_at("2016-01-01T00:00:00Z", 12.2083333);
    const std::string file = read_file(survey);
    EXPECT_TRUE(file.starts_with(first));
    const std::string lines = deneb_lines(2, "svp")[0] + "\r\n";
    EXPECT_NE(file.find("\r\nSection 2016-366 23:59:59 -0:30:00.00 -0:00:36.00\r\n" + lines),
              std::string::npos);
    EXPECT_NE(file.find("\r\nSection 2016-001 00:00:00 12:12:30.00 -0:00:36.00\r\n" + lines),
              std::string::npos);
    EXPECT_EQ(file.size(), 3 * first.size() - 2 * first.find("Section")); // sections of one length
    EXPECT_EQ(controls.questions.back(), "\"" + survey + "\" holds 2 casts already. Add the profile of \"" +
                                             data +
                                             "/casts/rev205_deneb.TOB\" to it as a new section, or "
                                             "replace the file?");

    // Cancel leaves it; Replace writes the cast alone.
    controls.choice = [](const Question&) { return cancel_answer; };
    EXPECT_FALSE(export_path(survey).written);
    EXPECT_EQ(read_file(survey), file);

    ASSERT_EQ(load_path(survey), LoadOutcome::loaded);
    EXPECT_EQ(iso_time(*state.cast.time), "2016-12-31T23:59:59Z"); // the second section, the newest
    EXPECT_EQ(*state.cast.latitude_deg, -0.5);                     // the sign of "-0:30:00.00"
    EXPECT_DOUBLE_EQ(*state.cast.longitude_deg, -0.01);
    EXPECT_EQ(state.g_table.last_row(), 44);

    load_deneb();
    controls.choice = [](const Question&) { return replace_file_answer; };
    EXPECT_FALSE(export_path(survey).added);
    EXPECT_EQ(read_file(survey), first);

    // A file no cast can be added to is replaced only after a question that says what it holds.
    const std::string old = dir.write("old.svp", "[SVP_VERSION_1]\r\nold.svp\r\n");
    controls.answer = [](const Question&) { return false; };
    EXPECT_FALSE(export_path(old).written);
    EXPECT_EQ(controls.questions.back(),
              "\"" + old +
                  "\" holds a CARIS file of another version (\"[SVP_VERSION_1]\"), to "
                  "which no cast can be added. Replace \"" +
                  old + "\" with the profile of \"" + data + "/casts/rev205_deneb.TOB\"?");
    EXPECT_EQ(read_file(old), "[SVP_VERSION_1]\r\nold.svp\r\n");
}

// Another program's CARIS file, with LF line ends, a comment after a position and no end to its
// last line: the cast is added after it with the file's own line ends. Of two sections of one
// time, the later one in the file is the newer.
TEST_F(ProfileFormats, ACastAddedToAnotherProgramsCarisFileFollowsItsLineEnds)
{
    const std::string theirs = "[SVP_VERSION_2]\nrun.svp\n"
                               "Section 2020-001 00:00:00 -12:14:35.00 130:55:40.00 first cast\n1 1500\n"
                               "Section 2019-100 00:00:00 no position yet\n1 1499\n"
                               "Section 2020-001 00:00:00 -12:16:60.00 130:55:11.00\n2 1501";
    const std::string run = dir.write("run.svp", theirs);
    load_deneb();
    controls.choice = [](const Question&) { return add_section_answer; };
    export_path(run);
    const std::string deneb_section = "Section 2016-237 07:53:13 54:20:19.20 11:41:28.80\n0.51 1491.88\n";
    EXPECT_EQ(read_file(run).substr(0, theirs.size() + 1 + deneb_section.size()),
              theirs + "\n" + deneb_section);
    EXPECT_EQ(read_file(run).find('\r'), std::string::npos);

    load_path(run);
    EXPECT_EQ(table_lines(state), Texts{"2 1501"});
    EXPECT_DOUBLE_EQ(*state.cast.latitude_deg, -(12 + 17.0 / 60));
}

// A latitude or longitude of a CARIS section: the sign stands for the whole angle, also where the
// degrees are 0, which some readers get wrong.
// Real CARIS and HYPACK files of other software; "0:0:0 0:0:0" and "0 0" are what such software
// writes for a cast without a fix: no position, not the Gulf of Guinea.
TEST_F(ProfileFormats, RealFilesOfOtherSoftwareAndTheirZeroPositions)
{
    load_path(data + "/formats/caris/2020_036_182635.svp");
    EXPECT_EQ(described(), "caris|?|?|2020-02-05T18:26:00Z [its Section line]|37.850944|-122.464917");
    EXPECT_EQ(state.g_table.last_row(), 24);
    EXPECT_EQ(row_of(1), "0.031000|1487.619079|0.031");
    EXPECT_EQ(row_of(24), "23.031000|1491.519287|23.031");
    load_path(data + "/formats/caris/s20200713_071750.svp");
    EXPECT_EQ(described(), "caris|?|?|2020-07-13T07:17:50Z [its Section line]|54.292833|11.955167");
    EXPECT_EQ(state.g_table.last_row(), 207);
    EXPECT_EQ(row_of(1), "0.840000|1484.430000|0.84");
    EXPECT_EQ(row_of(207), "18.090000|1485.820000|18.09");
    load_path(data + "/formats/hypack/20190819_SV_2035_D.vel");
    EXPECT_EQ(described(), "vel|?|?|2019-08-19T20:33:00 [the first line]|38.016269|-122.395375");
    EXPECT_EQ(columns(), (Texts{"Depth|depth|m|", "SOUND|sound speed|m/s|"}));
    EXPECT_EQ(state.g_table.last_row(), 33);
    EXPECT_EQ(row_of(1), "0.0|1508.27|0");
    EXPECT_EQ(row_of(33), "46.3|1509.70|46.3");

    for (const std::string section : {"0:0:0 0:0:0", "0 0", "0:00:00.00 -0:00:00.00"}) {
        load_text("zero.svp",
                  "[SVP_VERSION_2]\nzero.svp\nSection 2020-036 18:26:00 " + section + "\n1 1490\n");
        EXPECT_EQ(described(), "caris|?|?|2020-02-05T18:26:00Z [its Section line]|?|?") << section;
    }
    load_text("equator.svp", "[SVP_VERSION_2]\ne.svp\nSection 2020-036 18:26:00 0:0:0 -0:30:0\n1 1490\n");
    EXPECT_EQ(described(), "caris|?|?|2020-02-05T18:26:00Z [its Section line]|0|-0.5");
    load_text("zero.vel", "FTP NEW 3 0.000 0.000 20:33 08/19/2019\r\n1 1490\r\n");
    EXPECT_EQ(described(), "vel|?|?|2019-08-19T20:33:00 [the first line]|?|?");
}

// Broken profile files fail at the line and with the words that say what is wrong; what was read
// before stays.
TEST_F(ProfileFormats, BrokenProfilesAreNamedByLineAndField)
{
    const std::string asvp_header = "( SoundVelocity 1.0 0 201608240753 54.3 11.7 -1 0 0 SVP-16 P 3 )\r\n";
    expect_failures({
        // Kongsberg
        {"asvp_long.txt", asvp_header + "0.5 1490\r\n1 1491\r\n2 1492\r\n3 1493\r\n",
         "Not a data file at line 5: the header announces 3 samples; this line is one more", 3},
        {"asvp_comma.txt", asvp_header + "0.5 1490\r\n1,5 1491\r\n",
         "Type mismatch at line 3: depth \"1,5\" is not a number", 1},
        {"asvp_words.txt", asvp_header + "0.5 1490 12.5\r\n",
         "Not a data file at line 2: a sample line holds two numbers, "
         "depth and sound speed; \"0.5 1490 12.5\" "
         "holds 3 words",
         0},
        {"asvp_fields.txt", "( SoundVelocity 1.0 0 201608240753 54.3 11.7 SVP-16 P 3 )\r\n",
         "Not a data file at line 1: the header holds 9 fields; a Kongsberg header holds 12, or 13 from SIS "
         "5 on",
         0},
        {"asvp_beyond.txt", "( SoundVelocity 1.0 0 201608240753 94.3 11.7 -1 0 0 SVP-16 P 3 )\r\n",
         "Overflow at line 1: latitude \"94.3\" lies beyond 90 degrees", 0},
        {"asvp_bracket.txt", "( SoundVelocity 1.0 0 201608240753 54.3 11.7 -1 0 0 SVP-16 P 3\r\n",
         "Not a data file at line 1: the header \"( SoundVelocity 1.0 0 201608240753 54.3 11.7 -1 0 0 SVP-16 "
         "P...\" is not enclosed in brackets",
         0},
        // CARIS
        // CR line ends: a line is counted as such.
        {"svp_sample.txt", "[SVP_VERSION_2]\rx.svp\r0.5 1490\r",
         "Not a data file at line 3: a sample line stands before the first \"Section\" line", 0},
        {"svp_day.txt", "[SVP_VERSION_2]\r\nx.svp\r\nSection 2016-367 07:53:13 54:20:19.20 11:41:28.80\r\n",
         "Not a data file at line 3: the section line \"Section 2016-367 07:53:13 54:20:19.20 11:41:28.80\" "
         "gives no date and time as YYYY-DDD HH:MM:SS",
         0},
        {"svp_bare.txt", "[SVP_VERSION_2]\r\nx.svp\r\nSection\r\n",
         "Not a data file at line 3: the section line \"Section\" "
         "gives no date and time as YYYY-DDD HH:MM:SS",
         0},
        {"svp_longitude.txt", "[SVP_VERSION_2]\r\nx.svp\r\nSection 2016-237 07:53:13 54:20:19.20\r\n",
         "Not a data file at line 3: the section line \"Section 2016-237 07:53:13 54:20:19.20\" gives a "
         "latitude but no longitude",
         0},
        {"svp_angle.txt", "[SVP_VERSION_2]\r\nx.svp\r\nSection 2016-237 07:53:13 54:20:19.20 11:41:61\r\n",
         "Type mismatch at line 3: longitude \"11:41:61\" is no angle (D:MM:SS.ss or degrees)", 0},
        {"svp_nosection.txt", "[SVP_VERSION_2]\r\nx.svp\r\n",
         "Not a data file: \"" + dir.file("svp_nosection.txt") +
             "\" has no \"Section\" line, so it holds no cast",
         0},
        {"svp_nosamples.txt", "[SVP_VERSION_2]\r\nx.svp\r\nSection 2016-237 07:53:13\r\n",
         "Not a data file: \"" + dir.file("svp_nosamples.txt") + "\" has no section with samples", 0},
        // HYPACK
        {"vel_date.txt", "FTP NEW 3 54.3 11.7 07:53 24/08/2016\r\n",
         "Not a data file at line 1: the time \"07:53\" and date \"24/08/2016\" are not HH:MM MM/DD/YYYY", 0},
        {"vel_nodate.txt", "FTP NEW 3 54.3 11.7 07:53\r\n",
         "Not a data file at line 1: the time \"07:53\" and date \"\" are not HH:MM MM/DD/YYYY", 0},
        {"vel_speed.txt", "FTP NEW 3 54.3 11.7 07:53 08/24/2016\r\n0.5\t1490\r\n1 x\r\n",
         "Type mismatch at line 3: sound speed \"x\" is not a number", 1},
        // ELAC
        {"sva_row.txt", ".profile  1\r\n\r\n0.5\t1491.88\t19.03\t11.02\t\r\n",
         "Not a data file at line 3: the row \"0.5\\t1491.88\\t19.03\\t11.02\\t\" holds 4 values; the file "
         "has 5 columns",
         0},
        {"sva_na.txt", "# depth veloc.\r\n.profile 0\r\n    0.50   1490.00\r\n    1.00      n/a\r\n",
         "Type mismatch at line 4: SOUND \"n/a\" is not a number", 1},
        // CSV
        {"csv_cells.txt", std::string(csv_title) + "\r\n0.5,1490,10,35\r\n",
         "Not a data file at line 2: the row \"0.5,1490,10,35\" has 4 cells; the title row names 5", 0},
    });
    // A header without samples loads a table without rows (fuzz/regressions/loader).
    load_path(dir.write("empty.vel", "FTP NEW 3 54.3386667 11.69333 07:53 08/24/2016\r\n"));
    EXPECT_EQ(state.g_table.last_row(), 0);
    EXPECT_EQ(controls.list, (Texts{"Depth", "SOUND"}));
    // A Kongsberg file shorter than its header's count loads the samples it holds, the count kept.
    EXPECT_EQ(load_path(dir.write("short.asvp", asvp_header + "0.5 1490\r\n1 1491\r\n")),
              LoadOutcome::loaded);
    EXPECT_EQ(table_lines(state), (Texts{"0.5 1490", "1 1491"}));
    EXPECT_EQ(state.last_load.rows_declared, 3);
}

// Other software's ELAC dialect: comment lines naming the columns and their units, ".profile 0",
// fixed-width rows; columns by the names the comment gives. Every kind of line end.
TEST_F(ProfileFormats, ElacFilesOfOtherSoftwareLoadByTheirColumnNames)
{
    load_path(dir.write("other.sva", "# depth veloc. temp. salin. cond.\r\r\n"
                                     "# [m] [m/s] [?C] [o/oo] [mmho/cm]\r\r\n\r\r\n.profile 0\r\r\n"
                                     "    0.50   1490.12     12.30     35.00      0.00\r\r\n"
                                     "   12.25   1489.50     -1.20     35.10      0.00\r\r\n"));
    EXPECT_EQ(controls.list, (Texts{"Depth", "SOUND", "Temp", "SALIN", "Cond"}));
    EXPECT_EQ(state.cast.columns[2].source, "temp.");
    EXPECT_EQ(table_lines(state), (Texts{"0.50 1490.12 12.30 35.00 0.00", "12.25 1489.50 -1.20 35.10 0.00"}));

    load_path(dir.write("two.sva", "# depth veloc.\n.profile 0\n0.5 1490.1\n"));
    EXPECT_EQ(controls.list, (Texts{"Depth", "SOUND"}));
    // Lines that end in a CR alone; a blank line after a CARIS file's name.
    load_path(dir.write(
        "mac.asvp", "( SoundVelocity 1.0 0 201608240753 54.3 11.7 -1 0 0 SVP-16 P 2 )\r0.5 1490\r1 1491\r"));
    EXPECT_EQ(table_lines(state), (Texts{"0.5 1490", "1 1491"}));
    load_path(dir.write("mac.svp", "[SVP_VERSION_2]\rmac.svp\r\rSection 2016-237 07:53:13\r0.5 1490\r"));
    EXPECT_EQ(table_lines(state), Texts{"0.5 1490"});
    load_path(dir.write("mac.sva", "# depth veloc.\r.profile 0\r0.5 1490\r"));
    EXPECT_EQ(table_lines(state), Texts{"0.5 1490"});
    // An empty CSV cell is a value the file does not give.
    load_path(dir.write("gaps.csv", std::string(csv_title) + "\n0.5,1490, ,35,\n"));
    EXPECT_EQ(table_lines(state), Texts{"0.5 1490  35 "});
    // Comment lines that are not the column names (they must begin with the depth), then a file that
    // names none.
    load_path(dir.write("sound_first.sva", "# veloc. depth\n.profile 0\n1490 0.5 10 35 42\n"));
    EXPECT_EQ(controls.list, (Texts{"Depth", "SOUND", "Temp", "SALIN", "Cond"}));
    load_path(dir.write("plain.sva", "# written by hand\n\n.profile  1\n\n1\t1490\t10\t35\t42\t\n"));
    EXPECT_EQ(table_lines(state), (Texts{"1 1490 10 35 42"}));
}

/// The file a writer makes of one profile line, for a cast taken at deneb_time().
std::string one_line_file(const char* format, CastInfo cast, double latitude, double longitude)
{
    testing::TempDir dir;
    Profile profile;
    profile.rows.push_back({7, 2.25, {1500.125}});
    {
        OutputFile file(dir.file("one"));
        writer_with_id(format)->write(profile, with_fix(std::move(cast), {latitude, longitude, deneb_time()}),
                                      file);
        file.commit();
    }
    return read_file(dir.file("one"));
}

// A probe's name is the source word of a Kongsberg header: a blank in it would shift the fields. A
// CARIS position is written to the hundredth of a second: 59.995 seconds is the next minute, never
// "60.00", and an angle that rounds to 0 has no sign.
TEST(ProfileWriters, HeaderWordsAndAnglesAsTheReadersTakeThem)
{
    CastInfo probe;
    probe.instrument = "SBE 911 plus";
    EXPECT_EQ(
        one_line_file("asvp", probe, -33.5, -70.25),
        "( SoundVelocity 1.0 0 201608240753 -33.5 -70.25 -1 0 0 SBE_911_plus P 1 )\r\n2.25 1500.12\r\n");
    EXPECT_EQ(
        one_line_file("caris", {}, -(12 + 16.0 / 60 + 59.996 / 3600), -0.000001),
        "[SVP_VERSION_2]\r\none\r\nSection 2016-237 07:53:13 -12:17:00.00 0:00:00.00\r\n2.25 1500.12\r\n");
}

// Reader recognition is by content: each reader takes its own files and no other's.
TEST(ProfileReaders, EachRecognisesItsOwnHeaderOnly)
{
    const std::pair<const char*, const char*> heads[] = {
        {".profile  1\r\n\r\n0.5\t1490\t", "sva"},
        {"# depth veloc. temp. salin. cond.\n# [m]\n\n.profile 0\n", "sva"},
        {"( SoundVelocity 1.00 12 200605290813 22.3452678 66.4483298 4500 200605290813 200605301210 SVP-16 "
         "PE 8 )\n",
         "asvp"},
        {"\xEF\xBB\xBF[svp_version_2]\r\n", "caris"},
        {"FTP NEW 3 54.3 11.7 07:53 08/24/2016\r\n", "vel"},
        {"depth_m,sound_speed_m_s,temperature_c,salinity_psu,conductivity_ms_cm\r\n", "csv"},
        // Not a profile: HYPACK's raw data, a comment with nothing after it, a CSV of other titles.
        {"FTP NEW 2\r\nVER 16.1.1.0\r\n", "tob"},
        {"# depth veloc.\n0.5 1490\n", "tob"},
        {"depth_m,sound_speed_m_s\r\n", "tob"},
        {"[SVP_VERSION_2] x\r\n", "tob"},
        // "[Header]" begins Valeport's files and AML's newer ones, which hold "[MeasurementData]".
        {"[HEADER]\r\nInstrument=SWIFT SVP\r\n", "vp2"},
        {"[Header]\r\nInstrument=Base.X2\r\n[MeasurementData]\r\n", "aml"},
    };
    for (const auto& [head, format] : heads) {
        EXPECT_EQ(reader_for(head).facts().id, format) << head;
    }
}

// Douglas-Peucker on depth and sound speed, at the smallest tolerance that leaves no more lines than
// allowed: the first and last lines stay, each line dropped lies within the tolerance of the straight
// line between those kept around it.
TEST(ProfileReduction, KeepsTheLinesFarthestFromTheLineBetweenTheOthers)
{
    const auto profile_of = [](const std::vector<double>& speeds) {
        Profile profile;
        for (std::size_t k = 0; k < speeds.size(); ++k) {
            profile.rows.push_back(
                {static_cast<std::int32_t>(k + 1), static_cast<double>(k + 1), {speeds[k]}});
        }
        return profile;
    };
    const auto depths = [](const Profile& profile) {
        std::vector<double> kept;
        for (const ProfileRow& row : profile.rows) {
            kept.push_back(row.depth_m);
        }
        return kept;
    };
    // The split at depth 4 is 3 m/s off, at 3 then 2, at 2 then 1.
    for (const auto& [most, kept, tolerance] : {std::tuple{3U, std::vector<double>{1, 4, 5}, 2.0},
                                                std::tuple{4U, std::vector<double>{1, 3, 4, 5}, 1.0},
                                                std::tuple{2U, std::vector<double>{1, 5}, 3.0}}) {
        Profile profile = profile_of({0, 1, 0, 3, 0});
        const auto reduction = reduce_profile(profile, most);
        ASSERT_TRUE(reduction);
        EXPECT_EQ(depths(profile), kept);
        EXPECT_EQ(reduction->tolerance_m_s, tolerance);
        EXPECT_EQ(reduction->lines_before, 5U);
        EXPECT_EQ(reduction->lines_after, kept.size());
    }
    Profile short_enough = profile_of({0, 1, 0});
    EXPECT_FALSE(reduce_profile(short_enough, 3));
    EXPECT_EQ(short_enough.rows.size(), 3U);

    // A wavy profile of 300 lines to 100: each line dropped lies within the tolerance of the straight
    // line between the lines kept around it, and one more line allowed needs a smaller tolerance.
    std::vector<double> speeds;
    for (int k = 0; k < 300; ++k) {
        speeds.push_back(1480.0 + 10.0 * std::sin(k / 23.0) + 0.5 * std::sin(k * 1.3));
    }
    Profile reduced = profile_of(speeds);
    const double tolerance = reduce_profile(reduced, 100)->tolerance_m_s;
    // Lines of one tolerance go together: a line kept only inside a span kept no more than it.
    ASSERT_LE(reduced.rows.size(), 100U);
    ASSERT_GE(reduced.rows.size(), 95U);
    for (std::size_t kept = 0; kept + 1 < reduced.rows.size(); ++kept) {
        const ProfileRow& above = reduced.rows[kept];
        const ProfileRow& below = reduced.rows[kept + 1];
        for (auto k = static_cast<std::size_t>(above.depth_m);
             k + 1 < static_cast<std::size_t>(below.depth_m); ++k) {
            const double between = above.values[0] + (below.values[0] - above.values[0]) *
                                                         (static_cast<double>(k + 1) - above.depth_m) /
                                                         (below.depth_m - above.depth_m);
            EXPECT_LE(std::abs(speeds[k] - between), tolerance) << k;
        }
    }
    // Douglas-Peucker at a given tolerance, as textbooks write it: the tolerance found keeps the lines
    // kept, and any smaller one keeps more than 100.
    const std::function<std::size_t(std::size_t, std::size_t, double)> kept_between =
        [&](std::size_t first, std::size_t last, double limit) -> std::size_t {
        std::size_t farthest = first;
        double distance = 0.0;
        for (std::size_t k = first + 1; k < last; ++k) {
            const double off = std::abs(speeds[k] - speeds[first] -
                                        (speeds[last] - speeds[first]) * static_cast<double>(k - first) /
                                            static_cast<double>(last - first));
            if (off > distance) {
                distance = off;
                farthest = k;
            }
        }
        return distance > limit
                   ? kept_between(first, farthest, limit) + kept_between(farthest, last, limit) - 1
                   : 2;
    };
    EXPECT_EQ(kept_between(0, speeds.size() - 1, tolerance), reduced.rows.size());
    EXPECT_GT(kept_between(0, speeds.size() - 1, tolerance * (1 - 1e-12)), 100U);
}

// A cast deeper than SIS takes in 0.5 m steps: the .asvp gets 1,000 lines with the 0 m and 12000 m
// ones, the status line says so with the tolerance, and the other formats get every line.
TEST_F(ProfileFormats, ALongCastIsReducedToWhatSisTakes)
{
    std::string cast = "Lines : 1600\n; Datasets Press Temp SALIN Cond SOUND\n";
    for (int row = 1; row <= 1600; ++row) {
        const double sound = 1480.0 + 12.0 * std::sin(row / 57.0) + 0.3 * std::sin(row * 1.7);
        cast +=
            std::to_string(row) + " " + double_to_str(0.6 * row) + " 10 35 42 " + value_text(sound, 2) + "\n";
    }
    load_path(dir.write("deep.TOB", cast));
    controls.fix = [](const FixRequest&) { return CastFix{54.5, 11.5, deneb_time()}; };
    const ExportOutcome outcome = export_path(dir.file("deep.asvp"));
    ASSERT_TRUE(outcome.reduced);
    EXPECT_EQ(outcome.profile_lines, 1000);
    EXPECT_EQ(outcome.reduced->lines_before, 1602U);
    EXPECT_EQ(controls.captions.at(Label::Label6), "Reduced: 1000 (0.19 m/s)");
    const std::string file = read_file(dir.file("deep.asvp"));
    EXPECT_TRUE(file.starts_with("( SoundVelocity 1.0 0 201608240753 54.5 11.5 -1 0 0 Quillonde P 1000 )\r\n"
                                 "0 1480.51\r\n1.84 1480.35\r\n"))
        << file.substr(0, 200);
    EXPECT_TRUE(file.ends_with("\r\n978.93 1482.26\r\n12000 1675.8\r\n")) << file.substr(file.size() - 100);
    // Older echo sounders take fewer; the window's setting says how many.
    const ExportOutcome older = export_profile(controls, state, SounderSettings{false, 570});
    EXPECT_EQ(older.profile_lines, 570);
    EXPECT_TRUE(read_file(dir.file("deep.asvp")).ends_with("\r\n978.93 1482.26\r\n"));

    EXPECT_EQ(export_path(dir.file("deep.vel")).profile_lines, 1600);
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
}

// The filter chosen in the dialog names the format, and gives the name its extension; a name the
// filter changed is asked about before it replaces a file.
TEST_F(ProfileFormats, TheChosenFilterSetsFormatAndExtension)
{
    load_deneb();
    const ProfileWriter& vel = *writer_with_id("vel");
    controls.dialog_filter_answer = save_filter_index(vel);
    for (const char* typed : {"cast", "cast.sva", "cast.VEL"}) {
        controls.dialog_answer = dir.file(typed);
        export_profile(controls, state);
    }
    EXPECT_EQ(testing::folder_entries(dir.path()), (Texts{"cast.VEL", "cast.vel"}));
    EXPECT_EQ(controls.texts.at(TextBox::tx_out), dir.file("cast.VEL"));
    EXPECT_TRUE(read_file(dir.file("cast.VEL")).starts_with("FTP NEW 3 "));
    // "cast.sva" became cast.vel, which the first export had written: asked before it was replaced.
    EXPECT_EQ(controls.questions, Texts{"Replace \"" + dir.file("cast.vel") + "\" with the profile of \"" +
                                        data + "/casts/rev205_deneb.TOB\"?"});
    EXPECT_EQ(controls.dialog_filters.back(), "ELAC Sound File *.sva"); // offered first, as always
}

} // namespace
} // namespace quillonde
