#include "formats/hypack.h"

#include "formats/angle.h"
#include "formats/profile_text.h"
#include "profile/output_file.h"
#include "runtime/error.h"

namespace quillonde {

namespace {

constexpr std::string_view vel_id = "vel";
constexpr std::string_view vel_filter = "HYPACK *.vel";
constexpr std::string_view vel_patterns = "*.vel";
constexpr std::string_view vel_title = "HYPACK hydrographic survey software";
constexpr FormatFacts vel_written{vel_id, vel_filter, vel_patterns, vel_title,
                                  "depth [m] and sound speed [m/s]; the position and time (UTC, to the "
                                  "minute) of the cast in the first line"};
constexpr FormatFacts vel_read{
    vel_id, vel_filter, vel_patterns, vel_title,
    "depth and sound speed; the first line's position (0 0: none) and time (zone not stated)"};

// HYPACK's own files begin "FTP NEW 2"; its sound velocity files, "FTP NEW 3".
constexpr std::array<std::string_view, 3> header_words = {"FTP", "NEW", "3"};
constexpr std::string_view line_end = "\r\n";
constexpr std::size_t latitude_word = 3;
constexpr std::size_t longitude_word = 4;
constexpr std::size_t time_word = 5;
constexpr std::size_t date_word = 6;

/// "13:45" (or "13:45:00") and "05/01/2024" as a time; nothing when they are not. The format names
/// no zone.
std::optional<CastTime> header_time(std::string_view clock, std::string_view date)
{
    constexpr std::array<std::string_view, 2> patterns = {"%H:%M %m/%d/%Y", "%H:%M:%S %m/%d/%Y"};
    auto time = time_by_patterns(std::string(clock) + " " + std::string(date), patterns);
    if (time) {
        time->source = "the first line";
    }
    return time;
}

class HypackParser : public TextLineParser {
public:
    explicit HypackParser(CastSink& sink) : sink_(sink) {}

    void text_line(std::string_view raw) override
    {
        if (!header_seen_) {
            handle_header(raw);
            header_seen_ = true;
        } else if (const auto sample = depth_sound_line(raw)) {
            sink_.row_appended(*sample);
        }
    }

    void finish() override {}

private:
    void handle_header(std::string_view raw)
    {
        const std::vector<std::string_view> words = words_of(raw);
        CastInfo& info = sink_.info();
        if (words.size() > longitude_word) {
            info.latitude_deg = stated_angle(words[latitude_word], Axis::latitude, decimal_degrees);
            info.longitude_deg = stated_angle(words[longitude_word], Axis::longitude, decimal_degrees);
            if (*info.latitude_deg == 0.0 && *info.longitude_deg == 0.0) { // written for no fix
                info.latitude_deg.reset();
                info.longitude_deg.reset();
            }
        }
        if (words.size() > time_word) {
            const std::string_view date = words.size() > date_word ? words[date_word] : std::string_view();
            auto when = header_time(words[time_word], date);
            if (!when) {
                throw Error(ErrorKind::bad_data_file, "the time " + quoted(words[time_word]) + " and date " +
                                                          quoted(date) + " are not HH:MM MM/DD/YYYY");
            }
            info.time = std::move(when);
        }
        sink_.columns_named(depth_sound_columns(), DepthSource{-1, 0});
    }

    CastSink& sink_;
    bool header_seen_ = false;
};

} // namespace

const FormatFacts& HypackWriter::facts() const
{
    return vel_written;
}

bool HypackWriter::writes_field(std::size_t field) const
{
    return field == sound_field;
}

void HypackWriter::write(const Profile& profile, const CastInfo& cast, OutputFile& file) const
{
    const StatedFix fix = stated_fix(cast, vel_filter);
    const Calendar at = calendar_of(fix.utc);
    ProfileBlocks blocks(file);
    for (const std::string_view word : header_words) {
        blocks.text().append(word).append(" ");
    }
    blocks.text() += degrees_text(fix.latitude_deg) + " " + degrees_text(fix.longitude_deg) + " " +
                     padded(at.hour, 2) + ":" + padded(at.minute, 2) + " " + padded(at.month, 2) + "/" +
                     padded(at.day, 2) + "/" + padded(at.year, 4) + std::string(line_end);
    write_depth_sound_lines(profile, blocks, line_end);
}

const FormatFacts& HypackReader::facts() const
{
    return vel_read;
}

Evidence HypackReader::recognises(std::string_view head) const
{
    const std::vector<std::string_view> words = words_of(first_line(head.substr(0, 256)));
    return signature_if(words.size() >= header_words.size() &&
                        std::equal(header_words.begin(), header_words.end(), words.begin()));
}

std::unique_ptr<CastParser> HypackReader::parser(CastSink& sink, std::string_view /*path*/) const
{
    return std::make_unique<HypackParser>(sink);
}

} // namespace quillonde
