#include "formats/sva.h"

#include "formats/profile_text.h"
#include "profile/output_file.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::string_view sva_id = "sva";
constexpr std::string_view sva_filter = "ELAC Sound File *.sva";
constexpr std::string_view sva_patterns = "*.sva";
constexpr std::string_view sva_title = "ELAC Nautik multibeam echo sounders";
constexpr FormatFacts sva_facts{
    sva_id,
    sva_filter,
    sva_patterns,
    sva_title,
    "depth [m], sound velocity [m/s], temperature, salinity and conductivity",
};
constexpr FormatFacts sva_read{
    sva_id,
    sva_filter,
    sva_patterns,
    sva_title,
    "depth, sound velocity, temperature, salinity and conductivity, from the \".profile  1\" files "
    "written here and the \".profile 0\" files of other software",
};

constexpr std::string_view profile_word = ".profile";
constexpr char comment_mark = '#';

// The words of other software's comment line, and the program's column each one names.
struct HeaderWord {
    std::string_view word;
    std::size_t field; // in a profile line: the depth, then profile_fields
};
constexpr std::array<HeaderWord, 5> header_words = {{
    {"depth", 0},
    {"veloc.", 1 + sound_field},
    {"temp.", 1 + temperature_field},
    {"salin.", 1 + salinity_field},
    {"cond.", 1 + conductivity_field},
}};

/// The ".profile N" line that ends the header; other lines are not.
bool is_profile_line(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(line);
    return words.size() == 2 && words[0] == profile_word && !words[1].empty() &&
           std::ranges::all_of(words[1], [](char c) { return c >= '0' && c <= '9'; });
}

bool is_comment(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(line);
    return words.empty() || words.front().front() == comment_mark;
}

class SvaParser : public TextLineParser {
public:
    SvaParser(CastSink& sink, std::string_view path) : sink_(sink), path_(path) {}

    void text_line(std::string_view raw) override
    {
        if (!columns_.empty()) {
            handle_row(raw);
        } else if (is_profile_line(raw)) {
            name_columns();
        } else if (!is_comment(raw)) {
            throw Error(ErrorKind::bad_data_file, quoted(raw) + " stands before the \".profile\" line");
        } else if (named_.empty()) {
            read_names(raw);
        }
    }

    void finish() override
    {
        if (columns_.empty()) {
            throw Error(ErrorKind::bad_data_file,
                        quoted_path(path_) + " has no \".profile\" line, so it holds no profile");
        }
    }

private:
    /// "# depth veloc. temp. salin. cond.": the columns, where every word is one the program knows.
    void read_names(std::string_view raw)
    {
        std::vector<std::string_view> words = words_of(raw.substr(raw.find(comment_mark) + 1));
        std::vector<std::size_t> fields;
        for (const std::string_view word : words) {
            const auto known = std::ranges::find(header_words, word, &HeaderWord::word);
            if (known == header_words.end()) {
                return; // some other comment
            }
            fields.push_back(known->field);
        }
        if (!fields.empty() && fields.front() == 0) {
            named_.assign(words.begin(), words.end());
            fields_ = std::move(fields);
        }
    }

    void name_columns()
    {
        std::vector<CastColumn> columns;
        if (fields_.empty()) {
            for (std::size_t k = 0; k < line_fields; ++k) {
                columns.push_back(line_field_column(k, line_field_name(k)));
            }
        } else {
            for (std::size_t k = 0; k < fields_.size(); ++k) {
                columns.push_back(line_field_column(fields_[k], named_[k]));
            }
        }
        for (const CastColumn& column : columns) {
            columns_.push_back(column.name);
        }
        sink_.columns_named(std::move(columns), DepthSource{-1, 0});
    }

    void handle_row(std::string_view raw)
    {
        const std::vector<std::string_view> words = words_of(raw);
        if (words.empty()) {
            return;
        }
        if (words.size() != columns_.size()) {
            throw Error(ErrorKind::bad_data_file,
                        "the row " + quoted(raw) + " holds " + std::to_string(words.size()) +
                            " values; the file has " + std::to_string(columns_.size()) + " columns");
        }
        for (std::size_t k = 0; k < words.size(); ++k) {
            number_text(columns_[k], words[k]);
        }
        sink_.row_appended(words);
    }

    CastSink& sink_;
    std::string path_;
    std::vector<std::string> named_;   // the comment's words, once a comment named the columns
    std::vector<std::size_t> fields_;  // the field of a profile line each of them names
    std::vector<std::string> columns_; // the program's names, once the ".profile" line has come
};

} // namespace

const FormatFacts& SvaWriter::facts() const
{
    return sva_facts;
}

void SvaWriter::write(const Profile& profile, const CastInfo& /*cast*/, OutputFile& file) const
{
    ProfileBlocks blocks(file);
    blocks.text() = sva_header;
    for (const ProfileRow& line : profile.rows) {
        std::string& text = blocks.text();
        text += line_depth_text(line, depth_decimals);
        text += '\t';
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            text += f == sound_field ? line_sound_text(line)
                                     : value_text(line.values[f], profile_fields[f].decimals);
            text += '\t';
        }
        text += "\r\n";
        blocks.line_done(line.table_row);
    }
    blocks.finish();
}

const FormatFacts& SvaReader::facts() const
{
    return sva_read;
}

Evidence SvaReader::recognises(std::string_view head) const
{
    // Comments and empty lines may come first; the first other line must be ".profile N".
    for (const std::string_view line : lines_of(head)) {
        if (!is_comment(line)) {
            return signature_if(is_profile_line(line));
        }
    }
    return Evidence::none;
}

std::unique_ptr<CastParser> SvaReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<SvaParser>(sink, path);
}

} // namespace quillonde
