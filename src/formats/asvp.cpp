#include "formats/asvp.h"

#include "formats/angle.h"
#include "formats/profile_text.h"
#include "profile/output_file.h"
#include "profile/sounder_shaping.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::string_view asvp_id = "asvp";
constexpr std::string_view asvp_filter = "Kongsberg SIS *.asvp";
constexpr std::string_view asvp_patterns = "*.asvp";
constexpr std::string_view asvp_title = "Kongsberg EM multibeam echo sounders (SIS)";
constexpr FormatFacts asvp_written{asvp_id, asvp_filter, asvp_patterns, asvp_title,
                                   "depth [m] and sound speed [m/s] from a 0 m line, no depth twice, at most "
                                   "1,000 lines, a last line at 12000 m; the time (UTC) and position of the "
                                   "cast in the header"};
constexpr FormatFacts asvp_read{asvp_id, asvp_filter, asvp_patterns, asvp_title,
                                "depth and sound speed; the header's time (UTC), position and source"};

constexpr std::string_view header_open = "(";
constexpr std::string_view header_close = ")";
constexpr std::string_view file_type = "SoundVelocity";
// Version, id; after the position a radius of -1 (everywhere) and no validity period; after the
// source "P", a profile as the probe measured it.
constexpr std::string_view header_start = "( SoundVelocity 1.0 0 ";
constexpr std::string_view header_middle = " -1 0 0 ";
constexpr std::string_view history_probe = " P ";
constexpr std::string_view header_end = " )";
constexpr std::string_view unnamed_source = "Quillonde";
constexpr std::string_view line_end = "\r\n";

// The header's fields, counted from the file type; SIS 5 adds a thinning factor after the longitude.
constexpr std::size_t time_word = 3;
constexpr std::size_t latitude_word = 4;
constexpr std::size_t longitude_word = 5;
constexpr std::size_t sis4_words = 12;
constexpr std::size_t sis5_words = 13;

/// A probe's name as a header word: blanks would shift the fields after it, and a line end or
/// another control character would break the header.
std::string source_word(const CastInfo& cast)
{
    std::string source = cast.instrument.empty() ? std::string(unnamed_source) : cast.instrument;
    std::ranges::replace_if(
        source,
        [](char c) { return c == ' ' || c == ')' || static_cast<unsigned char>(c) < ' ' || c == '\x7f'; },
        '_');
    return source;
}

/// "YYYYMMDDhhmm" or "YYYYMMDDhhmmss" as a time in UTC; nothing for any other word.
std::optional<CastTime> header_time(std::string_view word)
{
    constexpr std::array<std::string_view, 2> patterns = {"%Y%m%d%H%M%S", "%Y%m%d%H%M"};
    auto time = time_by_patterns(word, patterns);
    if (time) {
        time->zone = TimeZone::utc;
        time->source = "the header";
    }
    return time;
}

class AsvpParser : public TextLineParser {
public:
    explicit AsvpParser(CastSink& sink) : sink_(sink) {}

    void text_line(std::string_view raw) override
    {
        if (!header_seen_) {
            handle_header(raw);
            header_seen_ = true;
            return;
        }
        const auto sample = depth_sound_line(raw);
        if (!sample) {
            return;
        }
        if (announced_ && samples_ == *announced_) {
            throw Error(ErrorKind::bad_data_file, "the header announces " + std::to_string(*announced_) +
                                                      " samples; this line is one more");
        }
        ++samples_;
        sink_.row_appended(*sample);
    }

    void finish() override
    {
        if (announced_) {
            sink_.rows_declared(static_cast<std::int64_t>(*announced_));
        }
    }

private:
    void handle_header(std::string_view raw)
    {
        std::string_view text = trim_blanks(raw);
        const std::size_t close = text.rfind(header_close);
        if (!text.starts_with(header_open) || close == std::string_view::npos) {
            throw Error(ErrorKind::bad_data_file,
                        "the header " + quoted(raw) + " is not enclosed in brackets");
        }
        const std::vector<std::string_view> words = words_of(text.substr(1, close - 1));
        if (words.size() != sis4_words && words.size() != sis5_words) {
            throw Error(ErrorKind::bad_data_file, "the header holds " + std::to_string(words.size()) +
                                                      " fields; a Kongsberg header holds " +
                                                      std::to_string(sis4_words) + ", or " +
                                                      std::to_string(sis5_words) + " from SIS 5 on");
        }
        CastInfo& info = sink_.info();
        info.time = header_time(words[time_word]);
        info.latitude_deg = stated_angle(words[latitude_word], Axis::latitude, decimal_degrees);
        info.longitude_deg = stated_angle(words[longitude_word], Axis::longitude, decimal_degrees);
        info.instrument = words[words.size() - 3];
        const std::string_view count = words.back();
        announced_ = static_cast<std::size_t>(
            std::max(0, with_subject("the number of samples", [&] { return str_to_long(count); })));
        sink_.columns_named(depth_sound_columns(), DepthSource{-1, 0});
    }

    CastSink& sink_;
    bool header_seen_ = false;
    std::optional<std::size_t> announced_;
    std::size_t samples_ = 0;
};

} // namespace

const FormatFacts& AsvpWriter::facts() const
{
    return asvp_written;
}

std::size_t AsvpWriter::most_lines() const
{
    return sis_default_most_lines;
}

bool AsvpWriter::writes_field(std::size_t field) const
{
    return field == sound_field;
}

void AsvpWriter::write(const Profile& profile, const CastInfo& cast, OutputFile& file) const
{
    const StatedFix fix = stated_fix(cast, asvp_filter);
    const Calendar at = calendar_of(fix.utc);
    ProfileBlocks blocks(file);
    blocks.text() = std::string(header_start) + padded(at.year, 4) + padded(at.month, 2) + padded(at.day, 2) +
                    padded(at.hour, 2) + padded(at.minute, 2) + " " + degrees_text(fix.latitude_deg) + " " +
                    degrees_text(fix.longitude_deg) + std::string(header_middle) + source_word(cast) +
                    std::string(history_probe) + std::to_string(profile.rows.size()) +
                    std::string(header_end) + std::string(line_end);
    write_depth_sound_lines(profile, blocks, line_end);
}

const FormatFacts& AsvpReader::facts() const
{
    return asvp_read;
}

Evidence AsvpReader::recognises(std::string_view head) const
{
    const std::string_view first = trim_blanks(first_line(head));
    if (!first.starts_with(header_open)) {
        return Evidence::none;
    }
    const std::vector<std::string_view> words = words_of(first.substr(header_open.size(), 32));
    return signature_if(!words.empty() && words.front() == file_type);
}

std::unique_ptr<CastParser> AsvpReader::parser(CastSink& sink, std::string_view /*path*/) const
{
    return std::make_unique<AsvpParser>(sink);
}

} // namespace quillonde
