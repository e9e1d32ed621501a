#include "form/export.h"

#include "form/loader.h"
#include "runtime/convert.h"

#include "error_matchers.h"
#include "fake_controls.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
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

const std::string casts = std::string(QUILLONDE_TEST_DATA) + "/casts/";

/// One row of a hand-made table: its depth (none for an empty row) and its texts by column name.
struct Row {
    std::optional<double> depth_m;
    std::vector<std::string> texts;
};

class Export : public ::testing::Test {
protected:
    /// Puts a table into the profile state as a load would leave it: `names` in List1, one text
    /// column per name and the depth column after them.
    void set_table(const std::vector<std::string>& names, const std::vector<Row>& rows)
    {
        controls.list = names;
        state.ccolumns = static_cast<std::int32_t>(names.size()) - 1;
        state.g_table.resize(state.ccolumns + 1, static_cast<std::int32_t>(rows.size()), 1U << 30U);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto row = static_cast<std::int32_t>(r + 1);
            if (!rows[r].depth_m) {
                continue;
            }
            std::string joined;
            for (const std::string& text : rows[r].texts) {
                joined += (joined.empty() ? "" : " ") + text;
            }
            state.g_table.store_texts(row, joined, static_cast<std::int32_t>(rows[r].texts.size()));
            state.g_table.store_depth(row, *rows[r].depth_m);
        }
    }

    /// A table in the usual column order whose rows differ only in depth.
    void set_depths(const std::vector<std::optional<double>>& depths)
    {
        std::vector<Row> rows;
        for (std::size_t r = 0; r < depths.size(); ++r) {
            rows.push_back({depths[r], {std::to_string(r + 1), "1490.5", "10.5", "35.25", "42.125"}});
        }
        set_table({"Datasets", "SOUND", "Temp", "SALIN", "Cond"}, rows);
    }

    /// Exports to `name` in the test's folder, typed into tx_out, and returns the file.
    std::string export_to(const std::string& name = "profile.sva")
    {
        controls.texts[TextBox::tx_out] = dir.file(name);
        export_profile(controls, state);
        return read_file(dir.file(name));
    }

    Error export_error(const std::string& name = "profile.sva")
    {
        return error_of([&] { export_to(name); });
    }

    // Yes to every question but computing a column: these tests check what an export writes once the
    // user goes on.
    void SetUp() override
    {
        controls.answer = [](Question question) { return question != Question::compute_column; };
    }

    TempDir dir;
    FakeControls controls;
    ProfileState state;
};

const std::string header = ".profile  1\r\n\r\n";

TEST_F(Export, WritesOnlyTheHeaderWhenNoRowIsDeepEnough)
{
    set_depths({0.25, 0.5, std::nullopt, -3.0});
    const std::string file = export_to();
    EXPECT_EQ(file, ".profile  1\r\n\r\n");
    EXPECT_EQ(file.size(), 15U);
}

TEST_F(Export, ThinsByTheUnroundedDepthOfTheLastWrittenRow)
{
    set_depths({0.25, 0.75, 1.0, 1.25, 1.5});
    EXPECT_EQ(export_to(), header + "0.8\t1490.5\t10.5\t35.25\t42.125\t\r\n"
                                    "1.5\t1490.5\t10.5\t35.25\t42.125\t\r\n");
}

TEST_F(Export, RoundsEachFieldToItsDecimals)
{
    set_table({"Datasets", "SOUND", "Temp", "SALIN", "Cond"},
              {{12.25, {"1", "1485.678", "10.12345", "35.0004", "42.1239"}}});
    EXPECT_EQ(export_to(), header + "12.2\t1485.68\t10.123\t35\t42.124\t\r\n");
}

TEST_F(Export, WritesTheDowncastOnlyAndSkipsEmptyRows)
{
    std::vector<std::optional<double>> depths;
    for (double d = 0.0; d <= 20.0; d += 0.4) {
        depths.emplace_back(d);
    }
    depths.emplace_back(std::nullopt);
    for (double d = 20.0; d >= 0.0; d -= 0.4) {
        depths.emplace_back(d);
    }
    set_depths(depths);
    const std::string file = export_to();
    std::vector<double> written;
    for (std::size_t at = header.size(); at < file.size(); at = file.find("\r\n", at) + 2) {
        written.push_back(str_to_double(file.substr(at, file.find('\t', at) - at)));
    }
    // 0.8, then every second row (0.4 m is not enough), down to 20.
    ASSERT_EQ(written.size(), 25U);
    EXPECT_EQ(written.front(), 0.8);
    EXPECT_EQ(written.back(), 20.0);
}

TEST_F(Export, TakesTheColumnsByNameInTheFilesOrder)
{
    // The cast's order differs, and "Temp" and "SOUND" appear twice: the first one is the value.
    set_table({"Cond", "Datasets", "Temp", "SALIN", "SOUND", "Sound", "Temp", "SOUND"},
              {{3.0, {"42.5", "1", "11.5", "34.5", "1480.25", "9", "99", "3046"}}});
    EXPECT_EQ(export_to(), header + "3\t1480.25\t11.5\t34.5\t42.5\t\r\n");
}

TEST_F(Export, TheDialogGivesThePathOrTheBoxIsUsed)
{
    set_depths({1.0});
    // Cancelled with an empty box: no file, no status change.
    controls.status_log.clear();
    EXPECT_FALSE(export_profile(controls, state).written);
    EXPECT_EQ(controls.dialog_filters, std::vector{DialogFilter::elac_sound});
    EXPECT_EQ(controls.dialog_modes, std::vector{DialogMode::save});
    EXPECT_TRUE(controls.status_log.empty());
    EXPECT_TRUE(folder_entries(dir.path()).empty());

    // A chosen name goes into the box and is used as it is: no extension is added.
    controls.dialog_answer = dir.file("chosen");
    const ExportOutcome outcome = export_profile(controls, state);
    EXPECT_EQ(outcome.profile_lines, 1);
    EXPECT_EQ(controls.texts.at(TextBox::tx_out), dir.file("chosen"));
    EXPECT_EQ(controls.status_log, (std::vector<std::string>{"Please wait ...", "-"}));
    EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"chosen"});

    // Cancelled with a path in the box: that path is written again, the second export replacing
    // the first.
    controls.dialog_answer.clear();
    set_depths({2.0});
    export_profile(controls, state);
    EXPECT_EQ(read_file(dir.file("chosen")), header + "2\t1490.5\t10.5\t35.25\t42.125\t\r\n");
    EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"chosen"});
}

TEST_F(Export, RefusesACastWithoutTheColumnsBeforeAnyDialog)
{
    Error error = export_error();
    EXPECT_EQ(error.kind(), ErrorKind::no_profile);
    EXPECT_STREQ(error.what(), "No data file has been loaded");

    const std::vector<std::string> needed = {"SOUND", "Temp", "SALIN", "Cond"};
    for (const std::string& missing : needed) {
        std::vector<std::string> names = {"Datasets"};
        std::copy_if(needed.begin(), needed.end(), std::back_inserter(names),
                     [&](const std::string& name) { return name != missing; });
        set_table(names, {{1.0, {"1", "10", "35", "42"}}});
        EXPECT_EQ(export_error().what(), "The data file has no column named \"" + missing + "\"");
    }
    set_table({"Datasets", "Sound", "Cond"}, {{1.0, {"1", "1480", "42"}}});
    error = export_error();
    EXPECT_EQ(error.kind(), ErrorKind::missing_column);
    EXPECT_STREQ(error.what(), R"(The data file has no columns named "SOUND", "Temp", "SALIN")");
    EXPECT_TRUE(controls.dialog_modes.empty());
    EXPECT_TRUE(folder_entries(dir.path()).empty());

    // The real cast without a sound velocity column.
    controls.texts[TextBox::tx_ss_file] = casts + "rev183_utf8_partial.TOB";
    load_data_file(controls, state);
    EXPECT_STREQ(export_error().what(), R"(The data file has no column named "SOUND")");

    // A file with two header lines leaves List1 naming more columns than the table has.
    controls.texts[TextBox::tx_ss_file] = dir.write(
        "two.TOB",
        "Lines : 1\n; Datasets Press SOUND Temp SALIN Cond\n; Datasets SOUND Temp SALIN Cond Press\n"
        "1 1480 10 35 42 2\n");
    controls.list.clear();
    load_data_file(controls, state);
    EXPECT_EQ(export_error().kind(), ErrorKind::bad_data_file);
    EXPECT_FALSE(fs::exists(dir.file("profile.sva")));
}

TEST_F(Export, AFailureLeavesTheTargetAsItWas)
{
    const std::string old_file = dir.write("profile.sva", "the old profile");
    const auto old_entries = folder_entries(dir.path());

    // A text that is not a number, in row 3.
    set_table({"Datasets", "SOUND", "Temp", "SALIN", "Cond"}, {{1.0, {"1", "1480", "10", "35", "42"}},
                                                               {2.0, {"2", "1481", "10", "35", "42"}},
                                                               {3.0, {"3", "1482", "10,5", "35", "42"}}});
    controls.status_log.clear();
    const Error error = export_error();
    EXPECT_STREQ(error.what(), R"(Type mismatch at table row 3: Temp "10,5" is not a number)");
    EXPECT_EQ(read_file(old_file), "the old profile");
    EXPECT_EQ(folder_entries(dir.path()), old_entries);
    EXPECT_EQ(controls.status_log, (std::vector<std::string>{"Please wait ...", "-"}));

    // A target that is missing its folder; folders and read-only targets: tests/fault_test.cpp.
    set_depths({1.0});
    EXPECT_ERROR_KIND(export_to("no such folder/profile.sva"), path_not_found);
    EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"profile.sva"});
}

TEST_F(Export, AFolderThatCannotBeWrittenIsRefused)
{
    set_depths({1.0});
    fs::create_directory(dir.file("locked"));
    fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    // Root writes into any folder; the kernel's own folder stands in for a locked one then.
    controls.texts[TextBox::tx_out] = geteuid() == 0 ? "/sys/profile.sva" : dir.file("locked/profile.sva");
    EXPECT_ERROR_KIND(export_profile(controls, state), permission_denied);
    EXPECT_TRUE(folder_entries(dir.file("locked")).empty());
}

TEST_F(Export, AFullDeviceFailsNamingTheRow)
{
    set_depths({1.0, 2.0});
    controls.texts[TextBox::tx_out] = "/dev/full";
    const Error error = error_of([&] { export_profile(controls, state); });
    EXPECT_STREQ(error.what(),
                 R"(Input/output error at table row 2: cannot write "/dev/full": No space left on device)");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

/// Checks a file against the rule of the export for the loaded table: the rows it must hold, in
/// order, each field rounded to its decimals.
void expect_follows_the_rule(const std::string& file, const ProfileState& state,
                             const std::vector<int>& columns)
{
    ASSERT_EQ(file.substr(0, header.size()), header);
    std::vector<std::int32_t> rows;
    double last = 0.0;
    const std::int32_t depth_column = state.ccolumns + 1;
    for (std::int32_t r = 1; r <= state.g_table.last_row(); ++r) {
        const Cell depth = state.g_table.cell(depth_column, r);
        if (!depth.is_empty() && depth.as_number() > last + 0.5) {
            rows.push_back(r);
            last = depth.as_number();
        }
    }
    ASSERT_GT(rows.size(), 10U);
    std::size_t at = header.size();
    double last_written = -1.0;
    for (const std::int32_t r : rows) {
        const std::size_t end = file.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = file.substr(at, end - at);
        at = end + 2;
        std::vector<std::string> fields;
        for (std::size_t from = 0, tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
            fields.push_back(line.substr(from, tab - from));
        }
        ASSERT_EQ(fields.size(), 5U) << line;
        ASSERT_EQ(line.back(), '\t');
        const double depth = state.g_table.cell(depth_column, r).as_number();
        EXPECT_NEAR(str_to_double(fields[0]), depth, 0.05 + 1e-9) << "row " << r;
        EXPECT_GT(depth, last_written + 0.5);
        last_written = depth;
        const std::size_t decimals[] = {2, 3, 3, 3};
        for (std::size_t f = 0; f < 4; ++f) {
            const double value = str_to_double(state.g_table.cell(columns[f], r).as_text());
            const std::string& text = fields[f + 1];
            EXPECT_NEAR(str_to_double(text), value,
                        0.5 * std::pow(10.0, -static_cast<double>(decimals[f])) + 1e-9)
                << line;
            const std::size_t point = text.find('.');
            EXPECT_TRUE(point == std::string::npos || text.size() - point - 1 <= decimals[f]) << text;
        }
    }
    EXPECT_EQ(at, file.size());
}

TEST_F(Export, ARealCastFollowsTheRuleInFreshAndSaltWater)
{
    controls.texts[TextBox::tx_ss_file] = casts + "rev205_deneb.TOB";
    const std::vector<int> columns = {6, 2, 4, 3}; // SOUND, Temp, SALIN, Cond in that cast
    load_data_file(controls, state);
    expect_follows_the_rule(export_to("fresh.sva"), state, columns);

    controls.water = OptionButton::op_salt;
    controls.texts[TextBox::tx_lat] = "54";
    load_data_file(controls, state);
    const std::string salt = export_to("salt.sva");
    expect_follows_the_rule(salt, state, columns);
    EXPECT_NE(salt, read_file(dir.file("fresh.sva")));
    EXPECT_EQ(salt.substr(header.size(), salt.find("\r\n", header.size()) - header.size() + 2),
              "0.5\t1491.88\t19.03\t11.02\t16.43\t\r\n"); // row 4, 0.51 dbar
}

} // namespace
} // namespace quillonde
