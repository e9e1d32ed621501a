#include "formats/caris.h"

#include "formats/angle.h"
#include "formats/profile_text.h"
#include "profile/output_file.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace quillonde {

namespace {

constexpr std::string_view caris_id = "caris";
constexpr std::string_view caris_filter = "CARIS SVP *.svp";
constexpr std::string_view caris_patterns = "*.svp";
constexpr std::string_view caris_title = "CARIS HIPS and SIPS; QPS Qimera";
constexpr FormatFacts caris_written{caris_id, caris_filter, caris_patterns, caris_title,
                                    "depth [m] and sound speed [m/s] as a section with the time (UTC) and "
                                    "position of the cast; added to an existing file as a new section"};
constexpr FormatFacts caris_read{
    caris_id, caris_filter, caris_patterns, caris_title,
    "depth and sound speed of the newest section, its time (UTC) and position (0:0:0 0:0:0: "
    "none)"};

constexpr std::string_view version_line = "[SVP_VERSION_2]";
constexpr std::string_view section_word = "Section";
constexpr std::string_view line_end = "\r\n";
constexpr std::int64_t hundredths_per_degree = 360000;
constexpr std::int64_t hundredths_per_minute = 6000;

/// The first line of a CARIS file, in any case, after a byte order mark if there is one.
bool is_version_line(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(without_byte_order_mark(line));
    return words.size() == 1 && std::ranges::equal(words.front(), version_line, [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
           });
}

bool is_section_line(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(line);
    return !words.empty() && words.front() == section_word;
}

/// "54:20:19.20": whole degrees, minutes and seconds to the hundredth, a "-" for south and west.
std::string sexagesimal(double degrees)
{
    const auto hundredths = static_cast<std::int64_t>(
        round_half_even(std::abs(degrees) * static_cast<double>(hundredths_per_degree)));
    const std::int64_t seconds = hundredths % hundredths_per_minute;
    return std::string(degrees < 0.0 && hundredths > 0 ? "-" : "") +
           std::to_string(hundredths / hundredths_per_degree) + ":" +
           padded(static_cast<int>(hundredths / hundredths_per_minute % 60), 2) + ":" +
           padded(static_cast<int>(seconds / 100), 2) + "." + padded(static_cast<int>(seconds % 100), 2);
}

/// The section line of a cast, with its line end.
std::string section_text(const CastInfo& cast)
{
    const StatedFix fix = stated_fix(cast, caris_filter);
    const Calendar at = calendar_of(fix.utc);
    return std::string(section_word) + " " + padded(at.year, 4) + "-" + padded(at.day_of_year, 3) + " " +
           padded(at.hour, 2) + ":" + padded(at.minute, 2) + ":" + padded(at.second, 2) + " " +
           sexagesimal(fix.latitude_deg) + " " + sexagesimal(fix.longitude_deg) + std::string(line_end);
}

/// The lines of a file, each cut into its words; lines without a word are left out.
std::vector<std::vector<std::string_view>> worded_lines(std::string_view bytes)
{
    std::vector<std::vector<std::string_view>> lines;
    for_each_line(bytes, [&](std::string_view line) {
        if (std::vector<std::string_view> words = words_of(line); !words.empty()) {
            lines.push_back(std::move(words));
        }
    });
    return lines;
}

/// Whether two lines say the same: word by word, numbers by their value ("1500.1" as "1500.10").
bool same_words(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b)
{
    return std::ranges::equal(a, b, [](std::string_view x, std::string_view y) {
        double vx = 0.0;
        double vy = 0.0;
        return x == y || (parse_number(x, vx) == NumberStatus::ok &&
                          parse_number(y, vy) == NumberStatus::ok && vx == vy);
    });
}

/// The number (from 1, in the file's order) of a section of `existing` that says what `added` does:
/// the same time, position and lines; 0 for none.
std::size_t section_held(std::string_view existing, std::string_view added)
{
    const std::vector<std::vector<std::string_view>> lines = worded_lines(existing);
    const std::vector<std::vector<std::string_view>> wanted = worded_lines(added);
    std::size_t number = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].front() != section_word) {
            continue;
        }
        ++number;
        std::size_t n = 0;
        while (n < wanted.size() && k + n < lines.size() &&
               (n == 0 || lines[k + n].front() != section_word) && same_words(lines[k + n], wanted[n])) {
            ++n;
        }
        if (n == wanted.size() && (k + n == lines.size() || lines[k + n].front() == section_word)) {
            return number;
        }
    }
    return 0;
}

void write_section(const Profile& profile, const CastInfo& cast, ProfileBlocks& blocks, std::string_view end)
{
    std::string section = section_text(cast);
    section.replace(section.size() - line_end.size(), line_end.size(), end);
    blocks.text() += section;
    write_depth_sound_lines(profile, blocks, end);
}

/// "2024-122" and "13:45:00" (or "13:45") as a time; nothing when they are not.
std::optional<std::chrono::sys_seconds> section_time(std::string_view date, std::string_view clock)
{
    constexpr std::array<std::string_view, 2> patterns = {"%Y-%j %H:%M:%S", "%Y-%j %H:%M"};
    const auto time = time_by_patterns(std::string(date) + " " + std::string(clock), patterns);
    if (!time) {
        return std::nullopt;
    }
    return time->when;
}

/// One section as read: its time and position, and its samples as the file gives them.
struct Section {
    std::chrono::sys_seconds when{};
    std::optional<double> latitude_deg;
    std::optional<double> longitude_deg;
    std::vector<std::pair<std::string, std::string>> samples;
};

class CarisParser : public TextLineParser {
public:
    CarisParser(CastSink& sink, std::string_view path) : sink_(sink), path_(path) {}

    void text_line(std::string_view raw) override
    {
        if (!version_seen_) {
            version_seen_ = true;
            return;
        }
        if (is_section_line(raw)) {
            close_section();
            current_ = read_section(raw);
            ++sections_;
            return;
        }
        if (words_of(raw).empty()) {
            return;
        }
        if (!name_seen_ && !current_) {
            name_seen_ = true; // the file's name, which may stand apart from the version by blank lines
            return;
        }
        const auto sample = depth_sound_line(raw);
        if (!current_) {
            throw Error(ErrorKind::bad_data_file,
                        "a sample line stands before the first \"" + std::string(section_word) + "\" line");
        }
        current_->samples.emplace_back((*sample)[0], (*sample)[1]);
    }

    void finish() override
    {
        close_section();
        const std::size_t wanted = sink_.part_wanted();
        if (wanted > 0) {
            if (wanted > parts_.size()) {
                throw Error(ErrorKind::subscript_out_of_range,
                            quoted_path(path_) + " holds " + std::to_string(parts_.size()) +
                                (parts_.size() == 1 ? " section" : " sections") + ", not a section " +
                                std::to_string(wanted));
            }
            if (!wanted_) {
                throw Error(ErrorKind::bad_data_file,
                            quoted_path(path_) + ": section " + std::to_string(wanted) + " has no samples");
            }
            newest_ = std::move(wanted_);
            newest_number_ = wanted;
        }
        if (!newest_) {
            throw Error(ErrorKind::bad_data_file,
                        quoted_path(path_) + (sections_ == 0 ? " has no \"Section\" line, so it holds no cast"
                                                             : " has no section with samples"));
        }
        CastInfo& info = sink_.info();
        if (parts_.size() > 1) {
            info.parts = parts_;
            info.part = newest_number_;
        }
        info.time = CastTime{newest_->when, TimeZone::utc, {}, false, "its Section line"};
        info.latitude_deg = newest_->latitude_deg;
        info.longitude_deg = newest_->longitude_deg;
        sink_.columns_named(depth_sound_columns(), DepthSource{-1, 0});
        for (const auto& [depth, sound] : newest_->samples) {
            const std::array<std::string_view, 2> fields{depth, sound};
            sink_.row_appended(fields);
        }
    }

private:
    static Section read_section(std::string_view raw)
    {
        const std::vector<std::string_view> words = words_of(raw);
        const auto when = words.size() >= 3 ? section_time(words[1], words[2]) : std::nullopt;
        if (!when) {
            throw Error(ErrorKind::bad_data_file,
                        "the section line " + quoted(raw) + " gives no date and time as YYYY-DDD HH:MM:SS");
        }
        Section section;
        section.when = *when;
        // A comment may stand where the position does: a word that is no angle begins it.
        if (words.size() >= 4 && angle_like(words[3])) {
            section.latitude_deg = stated_angle(words[3], Axis::latitude, caris_position);
            if (words.size() < 5) {
                throw Error(ErrorKind::bad_data_file,
                            "the section line " + quoted(raw) + " gives a latitude but no longitude");
            }
            section.longitude_deg = stated_angle(words[4], Axis::longitude, caris_position);
            // "0:0:0 0:0:0" is what software writes for a cast without a fix.
            if (*section.latitude_deg == 0.0 && *section.longitude_deg == 0.0) {
                section.latitude_deg.reset();
                section.longitude_deg.reset();
            }
        }
        return section;
    }

    static bool angle_like(std::string_view word) { return word.find_first_of("+-0123456789") == 0; }

    void close_section()
    {
        if (!current_) {
            return;
        }
        parts_.push_back(CastPart{CastTime{current_->when, TimeZone::utc, {}, false, "its Section line"},
                                  current_->latitude_deg, current_->longitude_deg, current_->samples.size()});
        if (!current_->samples.empty() && parts_.size() == sink_.part_wanted()) {
            wanted_ = current_;
        }
        if (!current_->samples.empty() && (!newest_ || current_->when >= newest_->when)) {
            newest_ = std::move(current_);
            newest_number_ = parts_.size();
        }
        current_.reset();
    }

    CastSink& sink_;
    std::string path_;
    bool version_seen_ = false;
    bool name_seen_ = false;
    std::size_t sections_ = 0;
    std::optional<Section> current_;
    std::optional<Section> newest_;
    std::size_t newest_number_ = 0;
    std::optional<Section> wanted_;
    std::vector<CastPart> parts_;
};

} // namespace

const FormatFacts& CarisWriter::facts() const
{
    return caris_written;
}

bool CarisWriter::writes_field(std::size_t field) const
{
    return field == sound_field;
}

void CarisWriter::write(const Profile& profile, const CastInfo& cast, OutputFile& file) const
{
    // The name stands on a line of its own: a line end in it would break the file.
    std::string name = std::filesystem::path(file.path()).filename().string();
    std::erase_if(name, [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; });
    ProfileBlocks blocks(file);
    blocks.text() = std::string(version_line) + std::string(line_end) + name + std::string(line_end);
    write_section(profile, cast, blocks, line_end);
}

std::optional<std::size_t> CarisWriter::casts_held(std::string_view bytes) const
{
    if (!is_version_line(first_line(bytes))) {
        return std::nullopt;
    }
    std::size_t sections = 0;
    for_each_line(bytes, [&](std::string_view line) { sections += is_section_line(line) ? 1U : 0U; });
    return sections;
}

void CarisWriter::write_added(const Profile& profile, const CastInfo& cast, std::string_view existing,
                              OutputFile& file) const
{
    // The new section ends its lines as the file's first line does.
    const std::size_t first_end = existing.find('\n');
    const std::string_view end =
        first_end != std::string_view::npos && first_end > 0 && existing[first_end - 1] == '\r' ? "\r\n"
                                                                                                : "\n";
    std::string section = section_text(cast);
    for (const ProfileRow& line : profile.rows) {
        section += depth_sound_text(line) + "\n";
    }
    if (const std::size_t held = section_held(existing, section); held > 0) {
        const std::string_view line = std::string_view(section).substr(0, section.find('\r'));
        throw Error(ErrorKind::refused,
                    quoted_path(file.path()) + " holds this cast already, as its section " +
                        std::to_string(held) + " (" + quoted(line) + ", " +
                        std::to_string(profile.rows.size()) + " lines); it was left as it is");
    }
    ProfileBlocks blocks(file);
    blocks.text() = existing;
    if (!existing.empty() && existing.back() != '\n') {
        blocks.text() += end;
    }
    write_section(profile, cast, blocks, end);
}

std::string CarisWriter::foreign_file(std::string_view head) const
{
    const std::string_view first = first_line(head);
    const std::vector<std::vector<std::string_view>> lines = worded_lines(head.substr(0, 4096));
    if (!lines.empty() && is_version_line(lines.front().front()) && !is_version_line(first)) {
        return "a CARIS file whose " + std::string(version_line) + " stands after a blank line";
    }
    if (std::string_view word = without_byte_order_mark(first); word.starts_with("[SVP_VERSION_")) {
        return "a CARIS file of another version (" + quoted(word) + ")";
    }
    return "a file of another kind (its first line reads " + quoted(first) + ")";
}

const FormatFacts& CarisReader::facts() const
{
    return caris_read;
}

Evidence CarisReader::recognises(std::string_view head) const
{
    return signature_if(is_version_line(first_line(head)));
}

std::unique_ptr<CastParser> CarisReader::parser(CastSink& sink, std::string_view path) const
{
    return std::make_unique<CarisParser>(sink, path);
}

} // namespace quillonde
