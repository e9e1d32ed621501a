// A long file read in two parts at once leaves what reading it line by line leaves, whatever the
// file holds where.
#include "form/loader.h"

#include "cast_generator.h"
#include "fake_controls.h"
#include "temp_dir.h"

#include "runtime/convert.h"
#include "runtime/error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::FakeControls;
using testing::TempDir;

/// The real calls, counting the reads at an offset: a load in two parts makes them.
class CountingCalls : public SystemCalls {
public:
    ssize_t pread(int descriptor, void* bytes, std::size_t count, off_t offset) override
    {
        ++preads;
        return SystemCalls::pread(descriptor, bytes, count, offset);
    }
    std::atomic<int> preads{0};
};

/// Everything a load leaves, as lines of text: its outcome or error, the list and the row count
/// label, the load's record and the table row by row, with the rule that leaves a row out.
std::string left_by_load(FakeControls& controls, const std::string& path, SystemCalls& calls)
{
    ProfileState state;
    controls.texts[TextBox::tx_ss_file] = path;
    controls.list.clear();
    controls.process_events_calls = 0;
    std::ostringstream out;
    try {
        out << "outcome " << static_cast<int>(load_data_file(controls, state, calls)) << "\n";
    } catch (const Error& error) {
        out << "error " << error.what() << "\n";
    }
    for (const std::string& entry : controls.list) {
        out << "listed " << entry << "\n";
    }
    const LoadRecord& record = state.last_load;
    out << "label " << controls.captions[Label::Label4] << "\nfailed " << record.failed_line << " "
        << record.failure << " after " << record.rows_before_failure << " rows\nunended "
        << record.unended_line << "\ndeclared " << record.rows_declared.value_or(-1) << "\nwater "
        << (record.depth_basis ? record.depth_basis->latitude_deg : -1) << " " << record.mixed_basis
        << "\noutside " << record.outside_water.rows << " " << record.outside_water.samples.size() << "\n";
    const ProfileTable& table = state.g_table;
    if (!table.has_shape()) {
        return out.str();
    }
    out << "rows " << table.last_row() << " filled " << table.filled_rows() << "\n";
    for (std::int32_t row = 1; row <= table.last_row(); ++row) {
        for (std::int32_t column = 0; column <= table.last_column(); ++column) {
            const Cell cell = table.cell(column, row);
            switch (cell.kind()) {
            case Cell::Kind::empty: out << "<> "; break;
            case Cell::Kind::text: out << cell.as_text() << " "; break;
            case Cell::Kind::number: out << double_to_str(cell.as_number()) << " "; break;
            }
        }
        const std::optional<Rule> left_out = table.row_left_out(row);
        out << (left_out ? static_cast<int>(*left_out) : -1) << "\n";
    }
    return out.str();
}

/// The first line where `one` and `other` differ, both versions; empty when they do not.
std::string first_difference(const std::string& one, const std::string& other)
{
    std::istringstream a(one);
    std::istringstream b(other);
    std::string line_a;
    std::string line_b;
    for (int line = 1;; ++line) {
        const bool more_a = static_cast<bool>(std::getline(a, line_a));
        const bool more_b = static_cast<bool>(std::getline(b, line_b));
        if (!more_a && !more_b) {
            return {};
        }
        if (more_a != more_b || line_a != line_b) {
            return "line " + std::to_string(line) + ": " + (more_a ? line_a : "(none)") + " | " +
                   (more_b ? line_b : "(none)");
        }
    }
}

class TwoParts : public ::testing::Test {
protected:
    void SetUp() override { controls.water = OptionButton::op_salt; }

    /// A generated cast of 10,000 rows, of the format of `extension`, as text.
    std::string cast(const std::string& extension) const
    {
        bench::CastShape shape;
        shape.rows = 10'000;
        shape.deepest_dbar = 300.0;
        const std::string path = dir.file("generated" + extension);
        if (extension == ".cnv") {
            bench::write_cnv(path, shape);
        } else {
            bench::write_cast(path, shape);
        }
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    /// Loads `contents` line by line, and in two parts with controls that stay as they are: both
    /// must leave the same, and the second must have been read in two parts.
    void expect_alike(const std::string& name, const std::string& contents)
    {
        SCOPED_TRACE(name);
        const std::string path = dir.write(name, contents);
        CountingCalls calls;
        controls.steady = false;
        const std::string line_by_line = left_by_load(controls, path, calls);
        ASSERT_EQ(calls.preads, 0);
        controls.steady = true;
        const std::string in_parts = left_by_load(controls, path, calls);
        EXPECT_GT(calls.preads, 0) << "read in one part";
        EXPECT_EQ(first_difference(in_parts, line_by_line), "");
    }

    TempDir dir;
    FakeControls controls;
};

/// `text` with line `line` (counted from 1) replaced by `replacement`, which may hold several lines
/// or none.
std::string with_line(const std::string& text, int line, const std::string& replacement)
{
    std::size_t begin = 0;
    for (int k = 1; k < line; ++k) {
        begin = text.find('\n', begin) + 1;
    }
    const std::size_t end = text.find('\n', begin) + 1;
    return text.substr(0, begin) + replacement + text.substr(end);
}

/// Line `line` of `text`, with its line end.
std::string line_of(const std::string& text, int line)
{
    std::size_t begin = 0;
    for (int k = 1; k < line; ++k) {
        begin = text.find('\n', begin) + 1;
    }
    return text.substr(begin, text.find('\n', begin) + 1 - begin);
}

TEST_F(TwoParts, ASeaAndSunCastOfAnyShape)
{
    const std::string whole = cast(".TOB");
    const int late = 8'500; // a line of the later part
    expect_alike("whole.TOB", whole);
    expect_alike("cut.TOB", whole.substr(0, whole.size() - 2));
    // A row that fails in the second half fails the load there.
    expect_alike("late_error.TOB", with_line(whole, late, "8500 1,5 10 30 35 1490\r\n"));
    expect_alike("short_row.TOB", with_line(whole, late, "8500\r\n"));
    // A row number of the first half again: the later line replaces the row.
    std::string again = line_of(whole, late);
    const std::size_t number = again.find_first_not_of(' ');
    again.replace(number, again.find(' ', number) - number, "100");
    expect_alike("again.TOB", with_line(whole, late, again));
    expect_alike("again_short.TOB", with_line(whole, late, "100 7.5\r\n"));
    expect_alike("beyond.TOB", with_line(whole, late, "20000 7.5 1 2 3 4 5 6 7 8 9 10 11\r\n"));
    // A second header in either half, a row count after the first rows.
    expect_alike("late_header.TOB", with_line(whole, late, "; Datasets Press Temp\r\n1 5.5 3\r\n"));
    expect_alike("early_header.TOB",
                 with_line(whole, 5'000, "; Datasets Temp Press Cond\r\n" + line_of(whole, 5'000)));
    expect_alike("early_count.TOB", with_line(whole, 5'000, "Lines : 20\r\n"));
    expect_alike("late_count.TOB", with_line(whole, late, "Lines : 20\r\n"));
    // Lines of nothing and a line end of CR alone.
    expect_alike("blank.TOB", with_line(whole, late, "\r\n  \r\n"));
    std::string records = line_of(whole, late);
    records.replace(records.size() - 2, 2, "\r");
    expect_alike("records.TOB", with_line(whole, late, records + line_of(whole, late + 1)));
    // The last line holds two records that each end in a CR.
    std::string last_records = whole.substr(0, whole.size() - 2) + "\r";
    last_records.replace(last_records.rfind("\r\n"), 2, "\r");
    expect_alike("last_records.TOB", last_records);
    // A stop while the second half is read: the rows before it stay.
    controls.on_process_events = [](FakeControls& window) { return window.process_events_calls < 5'000; };
    expect_alike("stopped.TOB", whole);
}

TEST_F(TwoParts, ASeaBirdCastOfAnyShape)
{
    const std::string whole = cast(".cnv");
    const int late = 8'500;
    const std::string row = line_of(whole, late);
    expect_alike("whole.cnv", whole);
    expect_alike("cut.cnv", whole.substr(0, whole.size() - 5));
    // The file's flag leaves a row out; a value that is no number, a row of fewer values, fail.
    expect_alike("flagged.cnv", with_line(whole, late, row.substr(0, row.size() - 13) + " -9.990e-29\r\n"));
    expect_alike("not_a_number.cnv", with_line(whole, late, "       abc" + row.substr(10)));
    expect_alike("fewer.cnv", with_line(whole, late, row.substr(0, 44) + "\r\n"));
    expect_alike("title_again.cnv", with_line(whole, late, "Depth  Press  Conduct\r\n" + row));
    expect_alike("blank.cnv", with_line(whole, late, "\r\n"));
}

} // namespace
} // namespace quillonde
