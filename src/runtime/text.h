#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

/// `text` without the blanks at both ends.
std::string_view trim_blanks(std::string_view text) noexcept;

/// `text` without the UTF-8 byte order mark that some programs write before a file's first line.
std::string_view without_byte_order_mark(std::string_view text) noexcept;

/// The pieces of `text` between the separators, counted from 0: two separators in a row hold an
/// empty piece, and a text without one is one piece.
std::vector<std::string_view> split_at(std::string_view text, char separator);

/// A count and what it counts, in the plural unless it is one: "1 row", "250 rows", "0 rows".
std::string counted(std::int64_t count, std::string_view noun);

/// The pieces of a list such as "SOUND,Temp", without the empty ones.
std::vector<std::string_view> list_items(std::string_view list, char separator = ',');

} // namespace quillonde
