#include "form/loader.h"

#include "profile/clean_line.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::error_of;
using testing::FakeControls;
using testing::TempDir;

const std::string casts = std::string(QUILLONDE_TEST_DATA) + "/casts/";

/// A window, the long-lived profile state and a folder for the casts of one test.
class Load : public testing::HandlerTest {
protected:
    /// Loads `contents` as the file typed into tx_ss_file.
    LoadOutcome load(std::string_view contents) { return load_path(dir.write("cast.TOB", contents)); }

    Error load_error(std::string_view contents)
    {
        return error_of([&] { load(contents); });
    }

    /// Row `row` of the table as texts: each text column, then the depth; "<>" stands for empty.
    std::vector<std::string> row_of(std::int32_t row) const
    {
        std::vector<std::string> texts;
        for (std::int32_t column = 0; column <= state.g_table.last_column(); ++column) {
            const Cell cell = state.g_table.cell(column, row);
            switch (cell.kind()) {
            case Cell::Kind::empty: texts.emplace_back("<>"); break;
            case Cell::Kind::text: texts.emplace_back(cell.as_text()); break;
            case Cell::Kind::number: texts.push_back(double_to_str(cell.as_number())); break;
            }
        }
        return texts;
    }

    using Texts = std::vector<std::string>;
};

constexpr std::string_view small_cast = "Sea & Sun probe, some free text\n"
                                        "Lines :        3\n"
                                        ";\n"
                                        "; Datasets    Press     Temp\n"
                                        ";            [ dbar]  [ degC]\n"
                                        "          1     0.23    18.98\n"
                                        "1 2\n"
                                        "          3    10.00    17.50\n";

TEST_F(Load, TakesEachKindOfLine)
{
    std::vector<std::string> status_during_load;
    controls.on_process_events = [&](FakeControls& window) {
        status_during_load.push_back(window.captions.at(Label::Label6));
        return true;
    };
    EXPECT_EQ(load(small_cast), LoadOutcome::loaded);

    EXPECT_EQ(controls.process_events_calls, 8); // once before every line
    EXPECT_EQ(status_during_load.front(), "Please wait ...");
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
    EXPECT_EQ(controls.captions.at(Label::Label4), "Number of rows: 3");
    EXPECT_EQ(controls.list, (Texts{"Datasets", "Press", "Temp"}));
    EXPECT_EQ(state.ccolumns, 2);
    EXPECT_EQ(state.g_table.last_column(), 3);
    EXPECT_EQ(state.g_table.last_row(), 3);
    EXPECT_EQ(row_of(1), (Texts{"1", "0.23", "18.98", "0.23"})); // fresh water: 0.23 * 1.019716
    EXPECT_EQ(row_of(2), (Texts{"<>", "<>", "<>", "<>"}));       // "1 2" is a short line
    EXPECT_EQ(row_of(3), (Texts{"3", "10.00", "17.50", "10.2"}));
    EXPECT_EQ(state.g_table.filled_rows(), 2);
}

TEST_F(Load, TheDialogChoosesThePathOrLeavesTheBoxAsItIs)
{
    // Cancelled with an empty box: nothing happens.
    EXPECT_EQ(load_data_file(controls, state), LoadOutcome::nothing_chosen);
    EXPECT_EQ(controls.dialog_filters, Texts{"Sea and Sun *.TOB"});
    EXPECT_EQ(controls.dialog_modes, std::vector{DialogMode::open});
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
    EXPECT_FALSE(state.g_table.has_shape());

    // A chosen file goes into the box before it is read.
    controls.dialog_answer = dir.write("chosen.TOB", small_cast);
    controls.on_process_events = [&](FakeControls& window) {
        EXPECT_EQ(window.texts.at(TextBox::tx_ss_file), controls.dialog_answer);
        return true;
    };
    EXPECT_EQ(load_data_file(controls, state), LoadOutcome::loaded);

    // Cancelled with a path in the box: that file is read again.
    controls.on_process_events = nullptr;
    controls.dialog_answer.clear();
    controls.list.clear();
    EXPECT_EQ(load_data_file(controls, state), LoadOutcome::loaded);
    EXPECT_EQ(controls.list.size(), 3U);
}

TEST_F(Load, ReadsTheRowCountFromEveryLinesLine)
{
    // Only a line that begins with "Lines :" gives the count; the 8th character on is taken anyway.
    Error error = load_error("; Lines : 250\n; Datasets Press\n");
    EXPECT_EQ(controls.captions.at(Label::Label4), "Number of rows: : 250");
    EXPECT_EQ(error.kind(), ErrorKind::type_mismatch);
    EXPECT_STREQ(error.what(), R"(Type mismatch at line 2: the row count ": 250" is not a number)");

    // The CR of a CR LF ending is not part of the count.
    EXPECT_EQ(load("Lines :        250\r\n; Datasets Press\r\n"), LoadOutcome::loaded);
    EXPECT_EQ(state.g_table.last_row(), 250);

    // A "Lines :" line is then a data line: skipped before the header, a failure after it.
    std::vector<std::string> row_count_captions;
    controls.on_process_events = [&](FakeControls& window) {
        row_count_captions.push_back(window.captions.at(Label::Label4));
        return true;
    };
    error = load_error("Lines : 5\n; Datasets Press\nLines : 7\n");
    EXPECT_EQ(row_count_captions, (Texts{"Number of rows: 250", "Number of rows:5", "Number of rows: 5"}));
    EXPECT_EQ(controls.captions.at(Label::Label4), "Number of rows:7");
    EXPECT_EQ(state.g_table.last_row(), 5);
    EXPECT_STREQ(error.what(), R"(Type mismatch at line 3: row number "Lines" is not a number)");
}

TEST_F(Load, NamesTheColumnsOfTheHeaderLine)
{
    // A ";" that stands alone leaves an empty name.
    load("Lines : 2\n; Datasets ; Press\n  2   5.5  12\n");
    EXPECT_EQ(controls.list, (Texts{"Datasets", "", "Press"}));
    EXPECT_EQ(row_of(2), (Texts{"2", "5.5", "12", "12.24"}));

    // Of two "Press" columns the first is the pressure in decibar; the second holds raw counts.
    load("Lines : 1\n; Datasets Press Temp Press\n1 10.0 12 3046\n");
    EXPECT_EQ(row_of(1).back(), "10.2");

    // A second header line empties the table again and appends its names.
    load("Lines : 2\n; Datasets Press\n1 10\n2 20\n; Datasets Temp Press\n2 5 30\n");
    EXPECT_EQ(controls.list, (Texts{"Datasets", "Press", "Datasets", "Temp", "Press"}));
    EXPECT_EQ(state.ccolumns, 2);
    EXPECT_EQ(row_of(1), (Texts{"<>", "<>", "<>", "<>"}));
    EXPECT_EQ(row_of(2), (Texts{"2", "5", "30", "30.59"}));
}

TEST_F(Load, StoresRowsByTheirNumber)
{
    load("Lines : 6\n; Datasets Press\n"
         "3 3.0\n1 1.0\n5 5.0\n5 50.0\n" // out of order, row 5 twice: the later line wins
         "0 7.0\n-3 7.0\n"               // field 0 not above 0: skipped
         "2.5 2.0\n"                     // rounds half to even: row 2
         "6 6.0 more fields than names\n");
    EXPECT_EQ(row_of(1), (Texts{"1", "1.0", "1.02"}));
    EXPECT_EQ(row_of(2), (Texts{"2.5", "2.0", "2.04"}));
    EXPECT_EQ(row_of(3), (Texts{"3", "3.0", "3.06"}));
    EXPECT_EQ(row_of(4), (Texts{"<>", "<>", "<>"}));
    EXPECT_EQ(row_of(5), (Texts{"5", "50.0", "50.99"}));
    EXPECT_EQ(row_of(6), (Texts{"6", "6.0", "6.12"}));

    // Every other row of 3000, backwards: more than a sparsely kept block of rows holds, so the
    // table changes how it keeps them on the way; each row must stay where its number says.
    std::string sparse = "Lines : 3000\n; Datasets Press\n";
    for (int row = 2999; row > 0; row -= 2) {
        sparse += std::to_string(row) + " 1.0\n";
    }
    load(sparse);
    for (std::int32_t row = 1; row <= 3000; ++row) {
        ASSERT_EQ(row_of(row)[0], row % 2 == 1 ? std::to_string(row) : "<>") << row;
    }
    // A walk over the stored rows sees each of them once, also across chunks that hold none.
    const auto stored_rows = [&] {
        std::vector<std::int32_t> rows;
        for (std::int32_t row = state.g_table.next_stored_row(0); row <= state.g_table.last_row();
             row = state.g_table.next_stored_row(row + 1)) {
            rows.push_back(row);
        }
        return rows;
    };
    EXPECT_EQ(stored_rows().size(), 1500U);
    load("Lines : 20000\n; Datasets Press\n19999 2\n4096 1\n4097 3\n");
    EXPECT_EQ(stored_rows(), (std::vector<std::int32_t>{4096, 4097, 19999}));

    const Error error = load_error("Lines : 6\n; Datasets Press\n0.4 1.0\n");
    EXPECT_EQ(error.kind(), ErrorKind::subscript_out_of_range);
    EXPECT_STREQ(error.what(),
                 "Subscript out of range at line 3: row 0 lies outside the table's rows 1 to 6");
}

TEST_F(Load, ShortensRunsOfBlanksAndKeepsTabs)
{
    // Runs of blanks: tests CleanLine. TAB separates nothing: the whole line is field 0.
    EXPECT_STREQ(load_error("Lines : 2\n; Datasets Press\n1\t4.0\n").what(),
                 R"(Type mismatch at line 3: row number "1\t4.0" is not a number)");
}

TEST_F(Load, ReadsEveryKindOfLineEnding)
{
    for (const std::string_view ending : {"\n", "\r\n"}) {
        std::string cast;
        for (const char* line : {"Lines : 2", "; Datasets Press Temp", "1 1.5 20", "2 2.5 21"}) {
            cast += line;
            cast += ending;
        }
        for (const bool terminated : {true, false}) {
            controls.list.clear();
            load(terminated ? cast : cast.substr(0, cast.size() - ending.size()));
            EXPECT_EQ(controls.list, (Texts{"Datasets", "Press", "Temp"}));
            EXPECT_EQ(row_of(2), (Texts{"2", "2.5", "21", "2.55"}));
            // Kept, but noted: a cast still being written ends the same way.
            EXPECT_EQ(state.last_load.unended_line, terminated ? 0U : 4U);
        }
    }
    load("Lines : 2\n; Datasets Press Temp\n1 1.5 20\r"); // cut between CR and LF
    EXPECT_EQ(state.last_load.unended_line, 3U);
    // A CR inside a line is removed by the clean-up; blanks on both sides of it join.
    load("Lines : 2\n; Datasets Press Temp\r\r\n1 \r 1.5\r 20\n");
    EXPECT_EQ(row_of(1), (Texts{"1", "1.5", "20", "1.53"}));
}

TEST_F(Load, TheWaterTypeAndLatitudeApplyFromTheNextLineOn)
{
    controls.on_process_events = [](FakeControls& window) {
        if (window.process_events_calls == 4) { // before line 4, the second data line
            window.water = OptionButton::op_salt;
        }
        if (window.process_events_calls == 5) {
            window.texts[TextBox::tx_lat] = "4"; // the start of the latitude before
        }
        return true;
    };
    load("Lines : 3\n; Datasets Press\n1 1000\n2 1000\n3 1000\n");
    EXPECT_EQ(row_of(1).back(), "1019.72"); // fresh
    EXPECT_EQ(row_of(2).back(), "989.5");   // salt at 45
    EXPECT_EQ(row_of(3).back(), "992.09");  // salt at 4
}

TEST_F(Load, ControlsThatStayAsTheyAreGiveEveryTableTheirWater)
{
    controls.steady = true;
    controls.water = OptionButton::op_salt;
    load("Lines : 2\n; Datasets Press\n1 1000\n2 1000\n; Datasets Press\n1 2000\n2 1000\n");
    EXPECT_EQ(row_of(1).back(), "1974.33");
    EXPECT_EQ(row_of(2).back(), "989.5");
    // The second header begins the load's record again, which learns the water from its rows.
    ASSERT_TRUE(state.last_load.depth_basis.has_value());
    EXPECT_TRUE(state.last_load.depth_basis->salt_water);
    EXPECT_EQ(state.last_load.depth_basis->latitude_deg, 45);
}

TEST_F(Load, ClosingTheWindowStopsTheLoad)
{
    controls.on_process_events = [](FakeControls& window) { return window.process_events_calls < 4; };
    EXPECT_EQ(load(small_cast), LoadOutcome::stopped);
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
    EXPECT_EQ(state.g_table.filled_rows(), 0); // stopped before the first data line

    // Within a long line too: the part read before the stop is no line of the cast.
    controls.process_events_calls = 0;
    EXPECT_EQ(load("Lines : 3\n; Datasets Press\n1 " + std::string(std::size_t{3} << 20, '7') + "\n"),
              LoadOutcome::stopped);
    EXPECT_EQ(state.g_table.filled_rows(), 0);
}

// What stands after each failure: what was done before it stays, nothing after it happens.
TEST_F(Load, FailuresBeforeAndAtTheHeaderLine)
{
    load(small_cast);
    const auto before = row_of(1);

    // A missing file (its messages: tests/fault_test.cpp): only the path box changed.
    controls.list = {"kept"};
    controls.texts[TextBox::tx_ss_file] = dir.file("no folder/missing.TOB");
    EXPECT_ERROR_KIND(load_data_file(controls, state), path_not_found);
    EXPECT_EQ(controls.list, Texts{"kept"});
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");

    // No "Lines :" line before the header: the header is refused, so the list names no columns;
    // the table is gone.
    Error error = load_error("; Datasets Press Temp\n1 2 3\n");
    EXPECT_EQ(error.kind(), ErrorKind::subscript_out_of_range);
    EXPECT_STREQ(error.what(), "Subscript out of range at line 1: no \"Lines :\" line came before the header "
                               "line, so the table has no rows");
    EXPECT_TRUE(controls.list.empty());
    EXPECT_TRUE(state.listed_names().empty());
    EXPECT_EQ(state.ccolumns, 2);
    EXPECT_EQ(controls.captions.at(Label::Label4), "Number of rows: ");
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
    EXPECT_FALSE(state.g_table.has_shape());

    // Prose that mentions both markers, as the README does, is no header either.
    error_of([&] { load_path(std::string(QUILLONDE_TEST_DATA) + "/../../README.md"); });
    EXPECT_TRUE(controls.list.empty());

    EXPECT_ERROR_KIND(load("Lines : 0\n; Datasets Press\n"), subscript_out_of_range);
    EXPECT_ERROR_KIND(load("Lines : -4\n; Datasets Press\n"), subscript_out_of_range);
    EXPECT_ERROR_KIND(load("Lines :\n; Datasets Press\n"), type_mismatch);
    EXPECT_ERROR_KIND(load("Lines : 3000000000\n; Datasets Press\n"), overflow);

    // A file without a header line: List1 is emptied, the table stays, and the load says why.
    load(small_cast);
    error = load_error("Lines : 3\nsome text\n");
    EXPECT_EQ(error.kind(), ErrorKind::bad_data_file);
    EXPECT_TRUE(controls.list.empty());
    EXPECT_EQ(row_of(1), before);
    EXPECT_ERROR_KIND(load(""), bad_data_file);
}

TEST_F(Load, FailuresOnADataLine)
{
    // The line after a good row 1, the message, and what stands in the row it names.
    struct Case {
        std::string line;
        std::string message;
        std::int32_t row;
        Texts texts;
    };
    const std::string too_few =
        "Subscript out of range at line 4: the line has 2 fields, but the header names 3 columns";
    const Case cases[] = {
        {"x 20 6", R"(Type mismatch at line 4: row number "x" is not a number)", 1, {"1", "10", "5", "10.2"}},
        {"4 20 6",
         "Subscript out of range at line 4: row 4 lies outside the table's rows 1 to 3",
         1,
         {"1", "10", "5", "10.2"}},
        // Too few fields: the first fields are stored, the depth is not; over a row already filled
        // they replace only the first fields.
        {"2 20.5", too_few, 2, {"2", "20.5", "<>", "<>"}},
        {"1 20.5", too_few, 1, {"1", "20.5", "5", "10.2"}},
        {"2 2O 6", R"(Type mismatch at line 4: pressure "2O" is not a number)", 2, {"2", "2O", "6", "<>"}},
        {"2 1.77e308 6",
         "Overflow at line 4: the depth of the pressure 1.77E+308 dbar lies beyond the number range",
         2,
         {"2", "1.77e308", "6", "<>"}},
    };
    const std::string head = "Lines : 3\n; Datasets Press Temp\n1 10 5\n";
    for (const Case& c : cases) {
        EXPECT_EQ(load_error(head + c.line + "\n").what(), c.message);
        EXPECT_EQ(row_of(c.row), c.texts) << c.line;
        EXPECT_EQ(controls.captions.at(Label::Label6), "-");
    }

    controls.water = OptionButton::op_salt;
    EXPECT_ERROR_KIND(load(head + "2 1e300 6\n"), overflow);
}

// The latitude box is read before the dialog: a bad one names the box, not a line of the cast, and
// one beyond the poles (540 for 54) is asked about. Either way a load that does not start changes
// nothing.
TEST_F(Load, TheLatitudeIsCheckedBeforeTheLoad)
{
    load(small_cast);
    const Texts before = row_of(3);
    controls.dialog_modes.clear();
    controls.water = OptionButton::op_salt;
    const std::pair<const char*, const char*> latitudes[] = {
        {" ", "Type mismatch: the latitude box is empty"},
        {"45,5", R"(Type mismatch: latitude "45,5" is not a number)"},
        {"3000000000", R"(Overflow: latitude "3000000000" lies outside the whole-number range)"},
        {"540", nullptr}, // asked, and No
    };
    for (const auto& [latitude, message] : latitudes) {
        controls.texts[TextBox::tx_lat] = latitude;
        controls.list = {"kept"};
        if (message != nullptr) {
            EXPECT_STREQ(load_error("Lines : 1\n; Datasets Press\n1 2\n").what(), message);
        } else {
            EXPECT_EQ(load("Lines : 1\n; Datasets Press\n1 2\n"), LoadOutcome::nothing_chosen);
        }
        EXPECT_TRUE(controls.dialog_modes.empty());
        EXPECT_EQ(controls.list, Texts{"kept"});
        EXPECT_EQ(row_of(3), before);
    }
    EXPECT_EQ(controls.questions,
              Texts{"The latitude 540 lies outside -90 to 90 degrees. Compute the depth for it anyway?"});
    controls.answer = [](const Question&) { return true; };
    EXPECT_EQ(load(small_cast), LoadOutcome::loaded);
    EXPECT_EQ(row_of(3).back(), "9.94"); // sin 540 degrees is sin 0: the equator's depth, as asked
}

TEST_F(Load, AnImpossibleTableFailsAtOnceAndTheNextLoadWorks)
{
    const auto start = std::chrono::steady_clock::now();
    const Error error = load_error("Lines : 2000000000\n; Datasets Press\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(error.kind(), ErrorKind::out_of_memory);
    EXPECT_FALSE(state.g_table.has_shape());

    // A header so wide that a million rows of it cannot fit.
    std::string wide_header = "Lines : 1000000\n; Datasets Press";
    for (int i = 0; i < 200000; ++i) {
        wide_header += " c";
    }
    EXPECT_ERROR_KIND(load(wide_header + "\n"), out_of_memory);

    EXPECT_EQ(load(small_cast), LoadOutcome::loaded);
    EXPECT_EQ(state.g_table.last_row(), 3);

    // A table the machine could hold costs only the rows that arrive.
    EXPECT_EQ(load("Lines : 50000000\n; Datasets Press\n7 1.0\n49999999 2.0\n"), LoadOutcome::loaded);
    EXPECT_EQ(state.g_table.last_row(), 50000000);
    EXPECT_EQ(state.g_table.filled_rows(), 2);
    EXPECT_EQ(row_of(49999999), (Texts{"49999999", "2.0", "2.04"}));
    EXPECT_EQ(row_of(8), (Texts{"<>", "<>", "<>"}));
}

TEST_F(Load, FilesThatAreNoCasts)
{
    controls.texts[TextBox::tx_ss_file] = dir.path().string();
    EXPECT_ERROR_KIND(load_data_file(controls, state), not_a_file);
    controls.texts[TextBox::tx_ss_file] = "/dev/zero"; // a device would never end
    EXPECT_ERROR_KIND(load_data_file(controls, state), bad_data_file);
    EXPECT_ERROR_KIND(load(""), bad_data_file);

    // One line longer than the 64 MiB a line may always take: read whole, and a clear error that it
    // holds no cast.
    const Error error = load_error(std::string(65 << 20, '7'));
    EXPECT_EQ(error.kind(), ErrorKind::bad_data_file);
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
}

TEST_F(Load, ReadsRealCasts)
{
    controls.texts[TextBox::tx_ss_file] = casts + "rev205_deneb.TOB";
    load_data_file(controls, state);
    EXPECT_EQ(controls.list,
              (Texts{"Datasets", "Press", "Temp", "Cond", "SALIN", "SIGMA", "SOUND", "SerNo"}));
    EXPECT_EQ(state.g_table.last_row(), 250);
    EXPECT_EQ(state.g_table.filled_rows(), 250);
    EXPECT_EQ(row_of(1), (Texts{"1", "0.23", "18.98", "16.45", "11.05", "6.81", "1491.75", "55.00", "0.23"}));
    EXPECT_EQ(row_of(250).back(), "25.61"); // 25.11 dbar * 1.019716

    controls.water = OptionButton::op_salt;
    controls.texts[TextBox::tx_lat] = "54";
    load_data_file(controls, state);
    EXPECT_EQ(row_of(250).back(), "24.88");

    controls.water = OptionButton::op_fresh;
    controls.texts[TextBox::tx_ss_file] = casts + "rev183_utf8_partial.TOB";
    load_data_file(controls, state);
    EXPECT_EQ(state.g_table.last_row(), 980);
    EXPECT_EQ(state.g_table.filled_rows(), 805 - 84 + 1);
    EXPECT_EQ(row_of(84),
              (Texts{"84", "1.42", "1.17", "12:31:47.856", "13.87", "45.14", "38.14", "15/03/2019", "1.19"}));
    EXPECT_EQ(row_of(805).back(), "7.3");
}

/// The clean-up as a sequence of left-to-right replacements, each pass not rescanned.
std::string clean_by_replacing(std::string text)
{
    const auto replace = [](const std::string& s, const std::string& find, const std::string& with) {
        std::string out;
        std::size_t at = 0;
        for (std::size_t hit; (hit = s.find(find, at)) != std::string::npos; at = hit + find.size()) {
            out.append(s, at, hit - at).append(with);
        }
        return out.append(s, at);
    };
    text = replace(text, "\r\n", "");
    text = replace(text, "\r", "");
    const std::size_t first = text.find_first_not_of(' ');
    text = first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
    for (std::size_t run = 8; run >= 2; --run) {
        text = replace(text, std::string(run, ' '), " ");
    }
    return text;
}

TEST(CleanLine, GivesWhatTheReplacementsGive)
{
    std::mt19937 random(20261206);
    const std::vector<std::string> pieces = {" ", "  ", "        ", "\r", "a",
                                             ";", "L",  "1.5",      "\t", "abcdefghijk"};
    std::string cleaned;
    const auto check = [&](const std::string& raw) {
        const LineFacts facts = clean_line(raw, cleaned);
        const std::string expected = clean_by_replacing(raw);
        ASSERT_EQ(cleaned, expected) << "raw line of " << raw.size() << " bytes";
        ASSERT_EQ(facts.fields,
                  static_cast<std::size_t>(std::count(expected.begin(), expected.end(), ' ')) + 1);
        EXPECT_TRUE(facts.capital_l || expected.find('L') == std::string::npos);
        EXPECT_TRUE(facts.semicolon || expected.find(';') == std::string::npos);
        std::string joined; // the fields, one after the other, are the line
        for (std::size_t k = 0; k < facts.fields; ++k) {
            joined.append(k == 0 ? "" : " ").append(field_of(cleaned, k));
        }
        ASSERT_EQ(joined, expected);
    };
    for (int round = 0; round < 5000; ++round) {
        std::string raw;
        const int parts = std::uniform_int_distribution<int>(0, 30)(random);
        for (int i = 0; i < parts; ++i) {
            raw += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
            if (std::uniform_int_distribution<int>(0, 60)(random) == 0) {
                raw.append(std::uniform_int_distribution<std::size_t>(0, 40000)(random), ' ');
            }
        }
        check(raw);
    }
    for (const std::size_t run : {11365U, 11366U, 11367U, 11368U, 100000U}) {
        check("a" + std::string(run, ' ') + "b");
        check(std::string(run, ' ') + "b ");
    }
}

} // namespace
} // namespace quillonde
