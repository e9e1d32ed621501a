#include "formats/csv.h"

#include "formats/profile_text.h"
#include "profile/output_file.h"
#include "runtime/error.h"
#include "runtime/text.h"

namespace quillonde {

namespace {

constexpr std::string_view csv_id = "csv";
constexpr std::string_view csv_filter = "Spreadsheet CSV *.csv";
constexpr std::string_view csv_patterns = "*.csv";
constexpr std::string_view csv_software = "spreadsheets (LibreOffice Calc, Excel), scripts";
constexpr FormatFacts csv_written{csv_id, csv_filter, csv_patterns, csv_software,
                                  "depth [m], sound speed [m/s], temperature, salinity and conductivity, "
                                  "under a title row"};
constexpr FormatFacts csv_read{csv_id, csv_filter, csv_patterns, csv_software,
                               "depth, sound speed, temperature, salinity and conductivity, as written here"};

constexpr std::string_view line_end = "\r\n";

class CsvParser : public TextLineParser {
public:
    explicit CsvParser(CastSink& sink) : sink_(sink) {}

    void text_line(std::string_view raw) override
    {
        if (!title_seen_) {
            title_seen_ = true;
            std::vector<CastColumn> columns;
            const std::vector<std::string_view> titles = split_at(csv_title, ',');
            for (std::size_t k = 0; k < line_fields; ++k) {
                columns.push_back(line_field_column(k, titles[k]));
            }
            sink_.columns_named(std::move(columns), DepthSource{-1, 0});
            return;
        }
        if (trim_blanks(raw).empty()) {
            return;
        }
        std::vector<std::string_view> cells = split_at(raw, ',');
        if (cells.size() != line_fields) {
            throw Error(ErrorKind::bad_data_file,
                        "the row " + quoted(raw) + " has " + std::to_string(cells.size()) +
                            " cells; the title row names " + std::to_string(line_fields));
        }
        for (std::size_t k = 0; k < line_fields; ++k) {
            cells[k] = trim_blanks(cells[k]);
            if (!cells[k].empty()) {
                number_text(line_field_name(k), cells[k]);
            }
        }
        sink_.row_appended(cells);
    }

    void finish() override {}

private:
    CastSink& sink_;
    bool title_seen_ = false;
};

} // namespace

const FormatFacts& CsvWriter::facts() const
{
    return csv_written;
}

void CsvWriter::write(const Profile& profile, const CastInfo& /*cast*/, OutputFile& file) const
{
    ProfileBlocks blocks(file);
    blocks.text() = std::string(csv_title) + std::string(line_end);
    for (const ProfileRow& line : profile.rows) {
        blocks.text() += line_depth_text(line);
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            blocks.text() += ',';
            // A field the cast does not give stays empty: a spreadsheet would take 0 for 0 degC.
            if (f == sound_field) {
                blocks.text() += line_sound_text(line);
            } else if (profile.given[f]) {
                blocks.text() += value_text(line.values[f], profile_fields[f].decimals);
            }
        }
        blocks.text() += line_end;
        blocks.line_done(line.table_row);
    }
    blocks.finish();
}

const FormatFacts& CsvReader::facts() const
{
    return csv_read;
}

Evidence CsvReader::recognises(std::string_view head) const
{
    return signature_if(first_line(head) == csv_title);
}

std::unique_ptr<CastParser> CsvReader::parser(CastSink& sink, std::string_view /*path*/) const
{
    return std::make_unique<CsvParser>(sink);
}

} // namespace quillonde
