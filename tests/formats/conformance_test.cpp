// Every reader the registry lists, on one cast of its format (conformance/samples.tsv): what it
// reads and what each writer makes of it, the same cast with a byte order mark and every kind of
// line end, cut after each of its lines, and its position written in each notation of the format
// (conformance/positions.tsv). A new reader needs its cast in those files, and no line here.
#include "formats/cast_test.h"

#include "form/cast_fix.h"
#include "formats/registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace quillonde {
namespace {

using testing::read_file;

const std::string conformance = std::string(QUILLONDE_TEST_DATA) + "/conformance/";

/// A table of the conformance folder, its lines split at tabs; "#" lines and blank ones left out.
std::vector<std::vector<std::string>> table_of(const std::string& name)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(conformance + name);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == '\t') {
                fields.emplace_back();
            } else {
                fields.back().push_back(c);
            }
        }
        rows.push_back(fields);
    }
    return rows;
}

/// `text` with each "\n" in it made a line end.
std::string unescaped(std::string text)
{
    for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1)) {
        text.replace(at, 2, "\n");
    }
    return text;
}

/// The lines of `text`, without their LF and a CR before it.
std::vector<std::string> lines_of(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

/// The first `count` of `lines`, each ended by `end`.
std::string joined(const std::vector<std::string>& lines, std::string_view end, std::size_t count)
{
    std::string text;
    for (std::size_t k = 0; k < count && k < lines.size(); ++k) {
        text.append(lines[k]).append(end);
    }
    return text;
}

struct Sample {
    const CastReader* reader;
    std::string name; ///< the file's name, with its extension
    std::string bytes;
    std::vector<std::string_view> line_ends; ///< those its files may have
};

/// Each reader's cast; a reader without one fails the test.
std::vector<Sample> samples()
{
    const std::map<std::string, std::string_view> ends{
        {"LF", "\n"}, {"CRLF", "\r\n"}, {"CR", "\r"}, {"CRCRLF", "\r\r\n"}};
    std::map<std::string, std::vector<std::string>> files;
    for (const auto& row : table_of("samples.tsv")) {
        files[row.at(0)] = row;
    }
    std::vector<Sample> found;
    for (const CastReader* reader : cast_readers()) {
        const auto file = files.find(std::string(reader->facts().id));
        if (file == files.end()) {
            ADD_FAILURE() << "no cast of reader " << reader->facts().id << " in samples.tsv";
            continue;
        }
        const std::string path = std::string(QUILLONDE_TEST_DATA) + "/" + file->second.at(1);
        found.push_back({reader, std::filesystem::path(path).filename().string(), read_file(path), {}});
        std::istringstream names(file->second.at(2));
        for (std::string name; names >> name;) {
            found.back().line_ends.push_back(ends.at(name));
        }
        EXPECT_FALSE(found.back().bytes.empty()) << path;
    }
    return found;
}

class Conformance : public testing::SaltWaterCastTest {
protected:
    /// A time and position asked for: the cast's own, else a fixed one.
    void SetUp() override
    {
        SaltWaterCastTest::SetUp();
        controls.fix = [](const FixRequest& request) {
            constexpr std::chrono::sys_seconds fixed_time{std::chrono::seconds{1'600'000'000}};
            return CastFix{request.latitude_deg.value_or(-33.5), request.longitude_deg.value_or(-71.25),
                           request.time ? request.time->when : fixed_time};
        };
    }

    /// What a load of `bytes` as the file `name` gives: the cast's description, its columns and its
    /// rows, or the load's message; `rows` is set to the rows it fills.
    std::string loaded(const Sample& sample, std::string_view bytes, std::int32_t* rows = nullptr)
    {
        state = ProfileState{};
        controls.questions.clear();
        std::filesystem::create_directories(dir.file("in"));
        try {
            load_text("in/" + sample.name, bytes);
        } catch (const Error& error) {
            return std::string("error: ") + error.what();
        }
        EXPECT_EQ(state.cast.format, sample.reader->facts().id);
        std::string text = described() + "\n";
        for (const std::string& column : columns()) {
            text += column + "\n";
        }
        const std::int32_t filled = state.g_table.has_shape() ? state.g_table.filled_rows() : 0;
        for (std::int32_t row = 1; row <= filled; ++row) {
            text += row_of(row) + "\n";
        }
        if (rows != nullptr) {
            *rows = filled;
        }
        return text;
    }

    /// The file the loaded cast exports to as `name` in `folder`, or the export's message.
    std::string written(const std::string& folder, const std::string& name)
    {
        std::filesystem::create_directories(dir.file(folder));
        std::filesystem::remove(dir.file(folder + "/" + name));
        controls.questions.clear();
        try {
            return export_path(dir.file(folder + "/" + name)).written
                       ? read_file(dir.file(folder + "/" + name))
                       : "not written\n";
        } catch (const Error& error) {
            return std::string("error: ") + error.what() + "\n";
        }
    }

    /// The questions asked since the last load or export, the test's folder named "DIR" in them.
    std::string questions() const
    {
        std::string text;
        for (std::string question : controls.questions) {
            for (std::size_t at = question.find(dir.path().string()); at != std::string::npos;
                 at = question.find(dir.path().string())) {
                question.replace(at, dir.path().string().size(), "DIR");
            }
            text += "? " + question + "\n";
        }
        return text;
    }
};

// What each reader reads from its cast and what each writer writes of it, against the reviewed
// record in <id>.expected (written there when it is missing). Each file written is read back and
// written again, byte for byte the same.
TEST_F(Conformance, EachReaderReadsItsCastAndEachWriterWritesIt)
{
    for (const Sample& sample : samples()) {
        const std::string id(sample.reader->facts().id);
        SCOPED_TRACE(id);
        std::string record = loaded(sample, sample.bytes) + questions();
        for (const ProfileWriter* writer : profile_writers()) {
            const std::string name = "profile" + std::string(default_extension(writer->facts()));
            loaded(sample, sample.bytes);
            const std::string first = written("out", name);
            record += "== " + std::string(writer->facts().id) + "\n" + first + questions();
            if (first.starts_with("error: ") || first == "not written\n") {
                continue;
            }
            const Sample again{&reader_for(first), name, first, {}};
            EXPECT_FALSE(loaded(again, again.bytes).starts_with("error: ")) << writer->facts().id;
            EXPECT_EQ(written("again", name), first) << writer->facts().id;
        }
        const std::string path = conformance + id + ".expected";
        if (!std::filesystem::exists(path)) {
            std::ofstream(path, std::ios::binary) << record;
            ADD_FAILURE() << path << " written: review it";
        }
        EXPECT_EQ(record, read_file(path));
    }
}

// A UTF-8 byte order mark and LF, CR LF, a lone CR or CR CR LF after each line leave the cast as it
// is read from its own file.
TEST_F(Conformance, AByteOrderMarkAndEveryLineEndLeaveTheCastAsItIs)
{
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.reader->facts().id);
        const std::string read = loaded(sample, sample.bytes);
        EXPECT_EQ(loaded(sample, "\xEF\xBB\xBF" + sample.bytes), read) << "byte order mark";
        const std::vector<std::string> lines = lines_of(sample.bytes);
        for (const std::string_view end : sample.line_ends) {
            EXPECT_EQ(loaded(sample, joined(lines, end, lines.size())), read)
                << "line end "
                << (end == "\r"     ? "CR"
                    : end == "\n"   ? "LF"
                    : end == "\r\n" ? "CR LF"
                                    : "CR CR LF");
        }
    }
}

// A cast cut after any of its lines fails with a message or keeps the rows before the cut as the
// whole file gives them.
TEST_F(Conformance, ACastCutAfterAnyLineFailsOrKeepsItsFirstRows)
{
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.reader->facts().id);
        std::int32_t all = 0;
        loaded(sample, sample.bytes, &all);
        std::vector<std::string> whole;
        for (std::int32_t row = 1; row <= all; ++row) {
            whole.push_back(row_of(row));
        }
        const std::vector<std::string> lines = lines_of(sample.bytes);
        for (std::size_t count = 1; count < lines.size(); ++count) {
            std::int32_t rows = 0;
            if (loaded(sample, joined(lines, "\n", count), &rows).starts_with("error: ")) {
                continue;
            }
            ASSERT_LE(rows, all) << count << " lines";
            for (std::int32_t row = 1; row <= rows; ++row) {
                EXPECT_EQ(row_of(row), whole[static_cast<std::size_t>(row - 1)])
                    << count << " lines, row " << row;
            }
        }
    }
}

// Positions north, south, east and west in each notation a format's files use, beyond the poles,
// and the positions of a file that gives two of them.
TEST_F(Conformance, PositionsInEachNotationOfEachFormat)
{
    std::map<std::string, Sample> by_id;
    for (Sample& sample : samples()) {
        by_id.emplace(std::string(sample.reader->facts().id), std::move(sample));
    }
    for (const auto& row : table_of("positions.tsv")) {
        const Sample& sample = by_id.at(row.at(0));
        SCOPED_TRACE(row.at(0) + ": " + row.at(2));
        ASSERT_NE(sample.bytes.find(row.at(1)), std::string::npos) << row.at(1);
        const std::string read =
            loaded(sample, testing::replaced(sample.bytes, row.at(1), unescaped(row.at(2))));
        if (read.starts_with("error: ")) {
            EXPECT_EQ(read, "error: " + row.at(3));
        } else {
            const std::string head = read.substr(0, read.find('\n'));
            const std::size_t longitude = head.rfind('|');
            EXPECT_EQ(head.substr(head.rfind('|', longitude - 1) + 1), row.at(3));
        }
    }
}

} // namespace
} // namespace quillonde
