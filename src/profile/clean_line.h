#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillonde {

/// What the clean-up learnt of a line on its way, so that the loader need not scan it again.
struct LineFacts {
    std::size_t fields = 1; ///< how many fields the cleaned line has
    bool capital_l = true;  ///< the line may hold an "L" (of "Lines :"); never false when it does
    bool semicolon = true;  ///< the line may hold a ";"; never false when it does
};

/// The blank clean-up of a raw line: every CR removed, blanks at both ends removed, and each run
/// of blanks shortened exactly as replacing every run of 8 blanks by one, then of 7, 6, 5, 4, 3 and
/// 2, each in one left-to-right pass, shortens it: runs of up to 11366 blanks become one blank.
LineFacts clean_line(std::string_view raw, std::string& cleaned);

// The fields of a cleaned line are the pieces between single blanks, counted from 0: two blanks
// in a row hold an empty field.

/// Where field `k` begins in the line; beyond the line's end when it has fewer fields.
std::size_t field_offset(std::string_view line, std::size_t k) noexcept;

/// Field `k`, which the line must have.
std::string_view field_of(std::string_view line, std::size_t k) noexcept;

/// The first `count` fields as they stand joined in the line; the whole line when it has no more.
std::string_view first_fields(std::string_view line, std::size_t count) noexcept;

/// How many blanks `text` holds; sixteen bytes at a time, for the rows of long casts.
std::size_t blanks_in(std::string_view text) noexcept;

} // namespace quillonde
