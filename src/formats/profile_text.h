#pragma once

#include "formats/cast.h"
#include "formats/date_time.h"
#include "formats/format.h"
#include "formats/text_lines.h"
#include "profile/profile_rows.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

class OutputFile;

// What the formats of sound velocity profiles share: lines of depth and sound speed, times and
// positions in a header, and the writing of a profile in blocks.

/// The words of a line, separated by blanks, TABs or CRs.
std::vector<std::string_view> words_of(std::string_view line);

/// The fields of a profile line as a file gives them: the depth, then profile_fields.
inline constexpr std::size_t line_fields = 1 + profile_fields.size();

/// The program's name of field `k` of a profile line: Depth, SOUND, Temp, SALIN, Cond.
std::string_view line_field_name(std::size_t k);

/// The column of field `k` of a profile line, in its usual unit, named by the file as `source`.
CastColumn line_field_column(std::size_t k, std::string_view source);

/// The columns of a file that gives depth [m] and sound speed [m/s] alone: Depth, then SOUND.
std::vector<CastColumn> depth_sound_columns();

/// The two numbers of a sample line, depth and sound speed, or nothing for an empty line. Fails
/// naming what the line holds when it holds anything else.
std::optional<std::array<std::string_view, 2>> depth_sound_line(std::string_view line);

/// `text`, which must be a number: fails naming it `subject` ("depth "1,5" is not a number").
std::string_view number_text(std::string_view subject, std::string_view text);

/// A time's calendar date and clock, as profile files write them.
struct Calendar {
    int year = 0;
    int month = 0;
    int day = 0;
    int day_of_year = 0; ///< 1 for January 1st
    int hour = 0;
    int minute = 0;
    int second = 0;
};
Calendar calendar_of(std::chrono::sys_seconds time);

/// The number written by the `count` digits (at most 9) of `text` from `at`; -1 when they are not
/// all digits.
int digits_at(std::string_view text, std::size_t at, std::size_t count) noexcept;

/// `value` with at least `digits` digits, zeros in front: padded(7, 2) is "07".
std::string padded(int value, int digits);

/// Decimal degrees as profile headers write them: 7 decimals at most (about a centimetre).
std::string degrees_text(double degrees);

/// The time in UTC and the position of a cast, which a writer of a format that needs them gets
/// from the export: fails naming `format` when the cast lacks them.
struct StatedFix {
    std::chrono::sys_seconds utc;
    double latitude_deg;
    double longitude_deg;
};
StatedFix stated_fix(const CastInfo& cast, std::string_view format);

/// A profile line's depth as written: the file's own text where the line repeats it, else the depth
/// as computed to `decimals`.
std::string line_depth_text(const ProfileRow& line, int decimals = fine_depth_decimals);

/// A profile line's sound speed as written: the file's own text where the line repeats it.
std::string line_sound_text(const ProfileRow& line);

/// A profile line's depth and sound speed as written: "12.53 1490.25".
std::string depth_sound_text(const ProfileRow& line);

class ProfileBlocks;

/// Writes each line of `profile` as its depth and sound speed, each ended by `end`, then the rest of
/// the blocks.
void write_depth_sound_lines(const Profile& profile, ProfileBlocks& blocks, std::string_view end);

/// Writes a profile's text in blocks, so that a failure names the table row of the block's last
/// line (the header before any line).
class ProfileBlocks {
public:
    explicit ProfileBlocks(OutputFile& file) : file_(file) {}
    /// The text still to write; each line is added here.
    std::string& text() { return block_; }
    /// After each profile line: writes the block once it is large.
    void line_done(std::int32_t table_row);
    /// Writes what is left.
    void finish();

private:
    void flush();

    OutputFile& file_;
    std::string block_;
    std::int32_t block_row_ = 0;
};

} // namespace quillonde
