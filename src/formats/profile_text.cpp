#include "formats/profile_text.h"

#include "profile/output_file.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <cmath>

namespace quillonde {

namespace {

constexpr std::string_view word_separators = " \t\r";
constexpr std::size_t write_block_bytes = std::size_t{1} << 16;
constexpr int degree_decimals = 7;
// In the order of a profile line: depth, then profile_fields.
constexpr std::array<std::string_view, line_fields> line_field_units = {"m", "m/s", "degC", "PSU", "mS/cm"};

} // namespace

std::vector<std::string_view> words_of(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t begin = line.find_first_not_of(word_separators); begin != std::string_view::npos;) {
        const std::size_t end = std::min(line.find_first_of(word_separators, begin), line.size());
        words.push_back(line.substr(begin, end - begin));
        begin = line.find_first_not_of(word_separators, end);
    }
    return words;
}

std::string_view line_field_name(std::size_t k)
{
    return k == 0 ? depth_name : profile_fields.at(k - 1).name;
}

CastColumn line_field_column(std::size_t k, std::string_view source)
{
    return {std::string(line_field_name(k)), std::string(source), std::string(line_field_units.at(k)), {}};
}

std::vector<CastColumn> depth_sound_columns()
{
    return {line_field_column(0, "depth"), line_field_column(1 + sound_field, "sound speed")};
}

std::string_view number_text(std::string_view subject, std::string_view text)
{
    with_subject(subject, [&] { return str_to_double(text); });
    return text;
}

std::optional<std::array<std::string_view, 2>> depth_sound_line(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(line);
    if (words.empty()) {
        return std::nullopt;
    }
    if (words.size() != 2) {
        throw Error(ErrorKind::bad_data_file, "a sample line holds two numbers, depth and sound speed; " +
                                                  quoted(line) + " holds " + std::to_string(words.size()) +
                                                  (words.size() == 1 ? " word" : " words"));
    }
    return std::array{number_text("depth", words[0]), number_text("sound speed", words[1])};
}

Calendar calendar_of(std::chrono::sys_seconds time)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    const sys_days new_year = sys_days(date.year() / January / 1);
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>((day - new_year).count()) + 1,
            static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count())};
}

int digits_at(std::string_view text, std::size_t at, std::size_t count) noexcept
{
    constexpr std::size_t most_digits = 9; // an int holds them all
    if (at > text.size() || count > text.size() - at || count == 0 || count > most_digits) {
        return -1;
    }
    int value = 0;
    for (const char c : text.substr(at, count)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string padded(int value, int digits)
{
    std::string text = std::to_string(value);
    if (text.size() < static_cast<std::size_t>(digits)) {
        text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    }
    return text;
}

std::string degrees_text(double degrees)
{
    return value_text(degrees, degree_decimals);
}

StatedFix stated_fix(const CastInfo& cast, std::string_view format)
{
    if (!cast.time || !cast.time->utc() || !cast.latitude_deg || !cast.longitude_deg) {
        throw Error(ErrorKind::bad_data_file,
                    "a " + std::string(format) + " file states the cast's time in UTC and its position");
    }
    return {*cast.time->utc(), *cast.latitude_deg, *cast.longitude_deg};
}

std::string line_depth_text(const ProfileRow& line, int decimals)
{
    if (!line.depth_text.empty()) {
        return std::string(line.depth_text);
    }
    // The .sva's one decimal comes from the depth the rows were thinned by, as it always has.
    const double exact_m = std::isnan(line.exact_depth_m) ? line.depth_m : line.exact_depth_m;
    return value_text(decimals == depth_decimals ? line.depth_m : exact_m, decimals);
}

std::string line_sound_text(const ProfileRow& line)
{
    return line.sound_text.empty()
               ? value_text(line.values[sound_field], profile_fields[sound_field].decimals)
               : std::string(line.sound_text);
}

std::string depth_sound_text(const ProfileRow& line)
{
    return line_depth_text(line) + " " + line_sound_text(line);
}

void write_depth_sound_lines(const Profile& profile, ProfileBlocks& blocks, std::string_view end)
{
    for (const ProfileRow& line : profile.rows) {
        blocks.text() += depth_sound_text(line);
        blocks.text() += end;
        blocks.line_done(line.table_row);
    }
    blocks.finish();
}

void ProfileBlocks::line_done(std::int32_t table_row)
{
    block_row_ = table_row;
    if (block_.size() >= write_block_bytes) {
        flush();
    }
}

void ProfileBlocks::finish()
{
    flush();
}

void ProfileBlocks::flush()
{
    try {
        file_.write(block_);
    } catch (const Error& error) {
        throw error.at(row_place(block_row_));
    }
    block_.clear();
}

} // namespace quillonde
