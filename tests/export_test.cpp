#include "form/export.h"

#include "depth/formulas.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using testing::error_of;
using testing::FakeControls;
using testing::folder_entries;
using testing::read_file;
using testing::TempDir;
using Names = std::vector<std::string>;

const std::string casts = std::string(QUILLONDE_TEST_DATA) + "/casts/";
const Names usual = {"Datasets", "SOUND", "Temp", "SALIN", "Cond"};

/// One row of a hand-made table: its depth (none for an empty row) and its texts by column name.
struct Row {
    std::optional<double> depth_m;
    Names texts;
};

/// Rows in the usual column order that differ only in depth.
std::vector<Row> at_depths(const std::vector<std::optional<double>>& depths)
{
    std::vector<Row> rows;
    for (const auto& depth : depths) {
        rows.push_back({depth, {std::to_string(rows.size() + 1), "1490.5", "10.5", "35.25", "42.125"}});
    }
    return rows;
}

class Export : public testing::GoingOnTest {
protected:
    /// Puts a table into the profile state as a load would leave it: the cast's columns named
    /// `names`, one text column per name and the depth column after them.
    void set_table(const Names& names, const std::vector<Row>& rows)
    {
        state.cast.columns.clear();
        for (const std::string& name : names) {
            state.cast.columns.push_back({name, name, {}, {}});
        }
        state.last_load.names_listed = static_cast<std::int32_t>(names.size());
        state.ccolumns = static_cast<std::int32_t>(names.size()) - 1;
        state.g_table.resize(state.ccolumns + 1, static_cast<std::int32_t>(rows.size()), 1U << 30U);
        for (std::int32_t row = 1; const Row& r : rows) {
            if (r.depth_m) {
                std::string joined;
                for (const std::string& text : r.texts) {
                    joined += (joined.empty() ? "" : " ") + text;
                }
                state.g_table.store_texts(row, joined, static_cast<std::int32_t>(r.texts.size()));
                state.g_table.store_depth(row, *r.depth_m);
            }
            ++row;
        }
    }

    /// Exports to `name` in the test's folder, typed into tx_out, and returns the file.
    std::string export_to(const std::string& name = "profile.sva")
    {
        export_path(dir.file(name));
        return read_file(dir.file(name));
    }

    Error export_error(const std::string& name = "profile.sva")
    {
        return error_of([&] { export_to(name); });
    }
};

const std::string header = ".profile  1\r\n\r\n";
const std::string usual_values = "\t1490.5\t10.5\t35.25\t42.125\t\r\n";

// A row is written when it lies more than 0.5 m below the row written last, by unrounded depths;
// fields are rounded to their decimals and taken by name, the first of two with one name.
TEST_F(Export, ThinsByTheUnroundedDepthOfTheLastWrittenRow)
{
    struct Case {
        Names names;
        std::vector<Row> rows;
        std::string lines;
    };
    const Case cases[] = {
        {usual, at_depths({0.25, 0.5, std::nullopt, -3.0}), ""},
        {usual, at_depths({0.25, 0.75, 1.0, 1.25, 1.5}), "0.8" + usual_values + "1.5" + usual_values},
        // a downcast by 0.4 m, an empty row, an upcast
        {usual, at_depths({0.4, 0.8, 1.2, 1.6, 2.0, std::nullopt, 1.6, 0.8, 2.4}),
         "0.8" + usual_values + "1.6" + usual_values + "2.4" + usual_values},
        {usual,
         {{12.25, {"1", "1485.678", "10.12345", "35.0004", "42.1239"}}},
         "12.2\t1485.68\t10.123\t35\t42.124\t\r\n"},
        // fuzz/regressions/export/same_depth_text: beyond 1E+15 m the 15 digits of a depth's text step
        // by more than 0.5 m, so two rows far enough apart could be written with one depth.
        {usual, at_depths({fresh_con(1e15), fresh_con(1000000000000001.0), fresh_con(1000000000000011.0)}),
         "1.019716E+15" + usual_values + "1.01971600000001E+15" + usual_values},
        {{"Cond", "Datasets", "Temp", "SALIN", "SOUND", "Sound", "Temp", "SOUND"},
         {{3.0, {"42.5", "1", "11.5", "34.5", "1480.25", "9", "99", "3046"}}},
         "3\t1480.25\t11.5\t34.5\t42.5\t\r\n"},
    };
    for (const Case& c : cases) {
        set_table(c.names, c.rows);
        EXPECT_EQ(export_to(), header + c.lines);
    }
}

TEST_F(Export, TheDialogGivesThePathOrTheBoxIsUsed)
{
    set_table(usual, at_depths({1.0}));
    // Cancelled with an empty box: no file, no status change.
    EXPECT_FALSE(export_profile(controls, state).written);
    EXPECT_EQ(controls.dialog_filters, Names{"ELAC Sound File *.sva"});
    EXPECT_EQ(controls.dialog_modes, std::vector{DialogMode::save});
    EXPECT_TRUE(controls.status_log.empty());
    EXPECT_TRUE(folder_entries(dir.path()).empty());

    // A chosen name goes into the box and is used as it is: no extension is added.
    controls.dialog_answer = dir.file("chosen");
    EXPECT_EQ(export_profile(controls, state).profile_lines, 1);
    EXPECT_EQ(controls.texts.at(TextBox::tx_out), dir.file("chosen"));
    EXPECT_EQ(controls.status_log, (Names{"Please wait ...", "-"}));

    // Cancelled with a path in the box: that path is written again, replacing the first export.
    controls.dialog_answer.clear();
    set_table(usual, at_depths({2.0}));
    export_profile(controls, state);
    EXPECT_EQ(read_file(dir.file("chosen")), header + "2" + usual_values);
    EXPECT_EQ(folder_entries(dir.path()), Names{"chosen"});
}

TEST_F(Export, RefusesACastWithoutTheColumnsBeforeAnyDialog)
{
    Error error = export_error();
    EXPECT_EQ(error.kind(), ErrorKind::no_profile);
    EXPECT_STREQ(error.what(), "No data file has been loaded");

    // Every profile holds the sound velocity; without Press it cannot be computed.
    set_table({"Datasets", "Temp", "SALIN", "Cond"}, {{1.0, {"1", "10", "35", "42"}}});
    EXPECT_STREQ(export_error().what(), R"(The data file has no column named "SOUND")");
    set_table({"Datasets", "Sound", "Cond"}, {{1.0, {"1", "1480", "42"}}});
    error = export_error();
    EXPECT_EQ(error.kind(), ErrorKind::missing_column);
    EXPECT_STREQ(error.what(), R"(The data file has no columns named "SOUND", "Temp", "SALIN")");
    EXPECT_TRUE(controls.dialog_modes.empty());

    // A file with two header lines lists more names than the table has columns.
    controls.texts[TextBox::tx_ss_file] = dir.write(
        "two.TOB",
        "Lines : 1\n; Datasets Press SOUND Temp SALIN Cond\n; Datasets SOUND Temp SALIN Cond Press\n"
        "1 1480 10 35 42 2\n");
    controls.list.clear();
    load_data_file(controls, state);
    EXPECT_EQ(export_error().kind(), ErrorKind::bad_data_file);
    EXPECT_EQ(folder_entries(dir.path()), Names{"two.TOB"});
}

TEST_F(Export, AFailureLeavesTheTargetAsItWas)
{
    const std::string old_file = dir.write("profile.sva", "the old profile");
    set_table(usual, {{1.0, {"1", "1480", "10", "35", "42"}},
                      {2.0, {"2", "1481", "10", "35", "42"}},
                      {3.0, {"3", "1482", "10,5", "35", "42"}}});
    EXPECT_STREQ(export_error().what(), R"(Type mismatch at table row 3: Temp "10,5" is not a number)");
    EXPECT_EQ(read_file(old_file), "the old profile");
    EXPECT_EQ(folder_entries(dir.path()), Names{"profile.sva"});
    EXPECT_EQ(controls.status_log, (Names{"Please wait ...", "-"}));

    // Root writes into any folder; the kernel's own folder stands in for a locked one then.
    fs::create_directory(dir.file("locked"));
    fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    controls.texts[TextBox::tx_out] = geteuid() == 0 ? "/sys/profile.sva" : dir.file("locked/profile.sva");
    EXPECT_ERROR_KIND(export_profile(controls, state), permission_denied);
    EXPECT_TRUE(folder_entries(dir.file("locked")).empty());

    set_table(usual, at_depths({1.0, 2.0}));
    controls.texts[TextBox::tx_out] = "/dev/full";
    EXPECT_STREQ(error_of([&] { export_profile(controls, state); }).what(),
                 R"(Input/output error at table row 2: cannot write "/dev/full": No space left on device)");
}

TEST_F(Export, DepthsOfMixedWaterAreNamedInTheQuestion)
{
    // Salt water for a while during the load; fresh water again, as at its start, at the export.
    controls.on_process_events = [](FakeControls& window) {
        const bool salt = window.process_events_calls >= 100 && window.process_events_calls < 200;
        window.water = salt ? OptionButton::op_salt : OptionButton::op_fresh;
        return true;
    };
    load_path(casts + "rev205_deneb.TOB");
    controls.answer = [](const Question&) { return false; };
    EXPECT_FALSE(export_path(dir.file("mixed.sva")).written);
    EXPECT_EQ(
        controls.questions,
        Names{
            "The depths were computed for fresh water at first, then for other settings; the window "
            "shows fresh water. The median salinity of the stored rows is 19.225, as in sea water, but the "
            "depths were computed for fresh water. Export the depths as loaded? (Load the cast again to use "
            "the window's settings.)"});
}

// A sea cast loaded at once got fresh-water depths, about 3% too deep, and nothing was asked.
TEST_F(Export, AsksWhenTheCastsSalinitySaysOtherWater)
{
    const auto with_salinities = [](const Names& salinities) {
        std::vector<Row> rows;
        for (const std::string& salinity : salinities) {
            const double depth_m =
                salinity == "x" ? 0.25 : static_cast<double>(rows.size() + 1); // x: not written
            rows.push_back({depth_m, {std::to_string(rows.size() + 1), "1480", "10", salinity, "42"}});
        }
        return rows;
    };
    struct Case {
        DepthBasis water;
        Names salinities;
        std::string question; // empty: none
    };
    const Case cases[] = {
        {{},
         {"35.25", "2", "36"},
         "The median salinity of the stored rows is 35.25, as in sea water, but the "
         "depths were computed for fresh water. Export them?"},
        {{true, 54},
         {"x", "0.1", "0.4", "0.2", "0.3"},
         "The median salinity of the stored rows is 0.25, as in "
         "fresh water, but the depths were computed for salt "
         "water at 54 degrees. Export them?"},
        {{}, {"5", "5", "40"}, ""}, // up to 5 fits fresh water
        {{true, 54}, {"0.5"}, ""},  // from 0.5 on salt water
        // No salinity, nothing to say of it; no row to write either.
        {{true, 54},
         {"x"},
         "The profile holds no line: no usable row of the cast lies deeper than 0.5 m, so the file holds its "
         "header alone. Write the file anyway?"},
    };
    int file = 0;
    for (const Case& c : cases) {
        set_table(usual, with_salinities(c.salinities));
        state.last_load.depth_basis = c.water;
        controls.water = c.water.salt_water ? OptionButton::op_salt : OptionButton::op_fresh;
        controls.texts[TextBox::tx_lat] = "54";
        controls.questions.clear();
        export_to(std::to_string(++file) + ".sva"); // a new file each time: no question on replacing it
        EXPECT_EQ(controls.questions, c.question.empty() ? Names{} : Names{c.question}) << c.salinities[0];
    }
}

TEST_F(Export, CountsTheRowsBeforeAFailedLineAndNamesALastLineWithoutAnEnd)
{
    const std::string head = "Lines : 3\n; Datasets Press Temp SALIN Cond SOUND\n1 1 10 0.2 42 1480\n";
    controls.answer = [](const Question&) { return false; };
    // The failed line's row holds its first fields, but it was not read: 1 row, not 2.
    EXPECT_ANY_THROW(load_path(dir.write("failed.TOB", head + "2 2 10\n")));
    export_to();
    // Cut inside its last value: SOUND 14 where 1480 was being written.
    load_path(dir.write("cut.TOB", head + "2 2 10 0.2 42 14"));
    export_to();
    load_path(dir.write("whole.TOB", head + "2 2 10 0.2 42 1480\n3 3 10 0.2 42 1480\n"));
    export_to();
    EXPECT_EQ(
        controls.questions,
        (Names{"The last load stopped at line 4 (Subscript out of range at line 4: the line has 3 fields, "
               "but the header names 6 columns). The table holds only the 1 row read before that line. "
               "The cast declares 3 rows; 1 was read. Export them?",
               "The last line of the cast (line 4) has no line end: the cast may have been cut while it "
               "was written. The cast declares 3 rows; 2 were read. 1 sample lies outside what water can "
               "have (sound speed 14 m/s at table row 2); the profile leaves its row out. Export them?"}));
}

TEST_F(Export, ARealCastFollowsTheRuleInFreshAndSaltWater)
{
    controls.texts[TextBox::tx_ss_file] = casts + "rev205_deneb.TOB";
    load_data_file(controls, state);
    controls.texts[TextBox::tx_out] = dir.file("fresh.sva");
    EXPECT_EQ(export_profile(controls, state).profile_lines, 44);

    controls.water = OptionButton::op_salt;
    controls.texts[TextBox::tx_lat] = "54";
    load_data_file(controls, state);
    const std::string salt = export_to("salt.sva");
    EXPECT_EQ(std::count(salt.begin(), salt.end(), '\n'), 2 + 43);
    EXPECT_EQ(salt.substr(0, salt.find('\n', header.size()) + 1),
              header + "0.5\t1491.88\t19.03\t11.02\t16.43\t\r\n"); // row 4, 0.51 dbar
    EXPECT_TRUE(salt.ends_with("\r\n24.4\t1482.67\t10.42\t27.5\t30.98\t\r\n"));
}

} // namespace
} // namespace quillonde
