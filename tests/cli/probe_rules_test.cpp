// Casts of sound-velocity probes, and casts recorded on the way up, through the export, the plot and
// the batch tool.
#include "cli/batch.h"
#include "cli/commands.h"
#include "formats/registry.h"
#include "plot/profile_plot.h"
#include "profile/output_file.h"

#include "error_matchers.h"
#include "formats/cast_test.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;

constexpr std::string_view rapidsv_question =
    "The cast gives no values for Temp, SALIN and Cond, and the export cannot compute them: each line of the "
    "profile holds 0 for them. Write the profile?";

constexpr FormatFacts depth_sound_facts{"ds", "Depth and sound *.ds", "*.ds", "tests", "depth and sound"};

/// Depth and sound velocity, and which fields the profile said it gave.
class DepthSoundWriter : public ProfileWriter {
public:
    explicit DepthSoundWriter(std::array<bool, 4>& given) : given_(given) {}
    const FormatFacts& facts() const override { return depth_sound_facts; }
    bool writes_field(std::size_t field) const override { return field == sound_field; }
    void write(const Profile& profile, const CastInfo&, OutputFile& file) const override
    {
        given_ = profile.given;
        std::string text;
        for (const ProfileRow& row : profile.rows) {
            text += value_text(row.depth_m, 1) + " " + value_text(row.values[sound_field], 2) + "\n";
        }
        file.write(text);
    }

private:
    std::array<bool, 4>& given_;
};

class ProbeRules : public testing::SaltWaterCastTest {
protected:
    /// Runs the batch tool's convert on `inputs` for salt water at 54 degrees.
    cli::RunResult convert(const std::vector<std::string>& inputs)
    {
        const cli::Console console{out, err, stop};
        return cli::convert_casts({OptionButton::op_salt, "54"}, inputs, "", false, console);
    }

    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
};

TEST_F(ProbeRules, TheSvaHoldsZeroForWhatASoundProbeCannotGiveOnceTheUserAgrees)
{
    load_cast("valeport/rapidsv.TXT");
    controls.answer = [](const Question& question) { return question.kind != QuestionKind::export_anyway; };
    EXPECT_FALSE(export_path(dir.file("no.sva")).written);
    EXPECT_EQ(controls.questions, Texts{std::string(rapidsv_question)});
    EXPECT_FALSE(std::filesystem::exists(dir.file("no.sva")));

    controls.answer = [](const Question&) { return true; };
    EXPECT_EQ(exported(4), ".profile  1\r\n\r\n"
                           "0.6\t1496.1\t0\t0\t0\t\r\n"
                           "1.2\t1496.01\t0\t0\t0\t\r\n");

    // Only what cannot be computed is 0: without a pressure, SALIN cannot be had from Cond.
    controls.questions.clear();
    load_text("depths.csv",
              "[cast header]\n[data]\nDate,Time,Depth (m),SV (m/s),Temperature (C),Conductivity (mS/cm)\n"
              "2020-01-01,10:00:00,1.25,1490.5,10.5,42.125\n");
    EXPECT_EQ(exported(), ".profile  1\r\n\r\n1.2\t1490.5\t10.5\t0\t42.125\t\r\n");
    EXPECT_EQ(controls.questions,
              Texts{"The cast gives no values for SALIN, and the export cannot compute them: each line of "
                    "the profile holds 0 for them. Write the profile?"});

    // Without sound velocity, and nothing to compute it from, there is no profile.
    controls.questions.clear();
    load_text(
        "ctd.csv",
        "[cast header]\n[data]\nDate,Time,Pressure (dBar),Conductivity (mS/cm)\n2020-01-01,10:00:00,1,42\n");
    controls.dialog_modes.clear();
    EXPECT_STREQ(testing::error_of([&] { exported(); }).what(),
                 R"(The data file has no columns named "SOUND", "Temp", "SALIN")");
    EXPECT_TRUE(controls.dialog_modes.empty());
    EXPECT_EQ(controls.questions, Texts{});
}

TEST_F(ProbeRules, AFormatOfDepthAndSoundOnlyAsksNothing)
{
    std::array<bool, 4> given{};
    const AddedFormat format(std::make_unique<DepthSoundWriter>(given));
    load_cast("valeport/rapidsv.TXT");
    EXPECT_EQ(exported(2, "profile.ds"), "0.6 1496.1\n1.2 1496.01\n");
    EXPECT_EQ(controls.questions, Texts{});
    EXPECT_EQ(given, (std::array<bool, 4>{true, false, false, false}));
}

TEST_F(ProbeRules, TheBatchToolWarnsOfTheZerosOnStandardError)
{
    const std::string input =
        dir.write("rapid.TXT", read_file(testing::format_casts + "valeport/rapidsv.TXT"));
    EXPECT_EQ(convert({input}), cli::RunResult::all_done);
    EXPECT_EQ(err.str(), "quillonde-cli: " + input +
                             ": warning: the cast gives no values for Temp, SALIN and Cond, and the export "
                             "cannot compute them: each line of the profile holds 0 for them\n");
    EXPECT_EQ(out.str(), input + " -> " + dir.file("rapid.sva") + ": 6 rows, 5 profile lines\n");
}

// A SWiFT in SMART PROFILE mode records from 7 m up to 0.6 m.
TEST_F(ProbeRules, AnUpcastIsWrittenFromItsDeepestRowAndSaysSo)
{
    load_cast("valeport/swift_upcast.vp2");
    const ExportOutcome outcome = export_path(dir.file("up.sva"));
    EXPECT_TRUE(outcome.from_upcast);
    EXPECT_EQ(read_file(dir.file("up.sva")), ".profile  1\r\n\r\n"
                                             "0.6\t1439.09\t5.523\t0\t0\t\r\n"
                                             "1.2\t1438.8\t5.52\t0\t0\t\r\n"
                                             "2.2\t1437.64\t5.38\t0\t0\t\r\n"
                                             "2.8\t1437.16\t5.224\t0\t0\t\r\n"
                                             "3.4\t1437\t5.112\t0\t0\t\r\n"
                                             "4\t1436.88\t5.11\t0\t0\t\r\n"
                                             "4.6\t1436.61\t5.06\t0\t0\t\r\n"
                                             "5.2\t1436.4\t5.002\t0\t0\t\r\n"
                                             "5.8\t1436.2\t4.95\t0\t0\t\r\n"
                                             "6.4\t1436.14\t4.911\t0\t0\t\r\n"
                                             "7\t1436.12\t4.9\t0\t0\t\r\n");
    EXPECT_EQ(controls.captions[Label::Label6], status_upcast);

    // The plot marks the rows the export takes.
    ProfilePlot plot(state);
    plot.set_columns(state.listed_names(), {"SOUND"});
    EXPECT_EQ(plot.profile_lines(), 11);

    // The batch tool's note.
    const std::string input =
        dir.write("up.vp2", read_file(testing::format_casts + "valeport/swift_upcast.vp2"));
    convert({input});
    EXPECT_EQ(out.str(),
              input + " -> " + dir.file("up.sva") + ": 12 rows, 11 profile lines from the upcast\n");

    // A downcast keeps its order and the status.
    load_cast("valeport/VL_68630_190312155825.vp2");
    EXPECT_FALSE(export_path(dir.file("down.sva")).from_upcast);
    EXPECT_EQ(controls.captions[Label::Label6], "-");
    plot.set_columns(state.listed_names(), {"SOUND"});
    EXPECT_EQ(plot.profile_lines(), 6);
}

TEST_F(ProbeRules, ASeaAndSunCastKeepsItsRowOrderUpOrDown)
{
    load_text("up.TOB", "Lines : 3\n; Datasets Press SOUND Temp SALIN Cond\n1 7.0 1490 10 35 42\n"
                        "2 4.0 1491 10 35 42\n3 1.0 1492 10 35 42\n");
    const ExportOutcome outcome = export_path(dir.file("up.sva"));
    EXPECT_FALSE(outcome.from_upcast);
    EXPECT_EQ(outcome.profile_lines, 1);
    EXPECT_EQ(controls.captions[Label::Label6], "-");
}

TEST(Upcast, RowsAreTakenFromTheDeepestUpAndWrittenShallowestFirst)
{
    const auto table_of = [](const std::vector<std::optional<double>>& depths) {
        ProfileTable table;
        table.resize(1, static_cast<std::int32_t>(depths.size()), 1U << 20U); // text column 0, depths in 1
        for (std::int32_t row = 1; const auto& depth : depths) {
            if (depth) {
                table.store_texts(row, "x", 1);
                table.store_depth(row, *depth);
            }
            ++row;
        }
        return table;
    };
    const ProfileTable up = table_of({6.9, 7.1, 6.8, 7.1, 6.5, 6.55, 6.0, 5.9, std::nullopt, 0.7, 0.4});
    EXPECT_TRUE(recorded_upward(up, 1));
    std::string visited;
    for_each_upcast_row(up, 1, [&](std::int32_t row, double, const std::string& text) {
        visited += std::to_string(row) + ":" + text + " ";
    });
    EXPECT_EQ(visited, "10:0.7 8:5.9 5:6.5 2:7.1 "); // the first of two deepest rows

    // Beyond 1E+15 m two depths 0.75 m apart read alike: the second would not read shallower.
    visited.clear();
    for_each_upcast_row(table_of({2e15, 2e15 - 0.75}), 1,
                        [&](std::int32_t row, double, const std::string& text) {
                            visited += std::to_string(row) + ":" + text + " ";
                        });
    EXPECT_EQ(visited, "1:2E+15 ");

    EXPECT_FALSE(recorded_upward(table_of({1.0, 2.0, 1.0}), 1)); // down, then up
    EXPECT_FALSE(recorded_upward(table_of({5.0, 5.6, 1.0}), 1)); // more than 0.5 m down first
    EXPECT_FALSE(recorded_upward(table_of({5.0, 5.2, 4.6}), 1)); // never more than 0.5 m up
    EXPECT_TRUE(recorded_upward(table_of({std::nullopt, 5.0, 5.5, 4.4}), 1));
}

} // namespace
} // namespace quillonde
