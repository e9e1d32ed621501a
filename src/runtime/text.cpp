#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

std::string_view without_byte_order_mark(std::string_view text) noexcept
{
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    return text.starts_with(byte_order_mark) ? text.substr(byte_order_mark.size()) : text;
}

std::string_view trim_blanks(std::string_view text) noexcept
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string_view> split_at(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    for (std::size_t begin = 0;;) {
        const std::size_t end = text.find(separator, begin);
        pieces.push_back(text.substr(begin, end - begin));
        if (end == std::string_view::npos) {
            return pieces;
        }
        begin = end + 1;
    }
}

std::string counted(std::int64_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::vector<std::string_view> list_items(std::string_view list, char separator)
{
    std::vector<std::string_view> items = split_at(list, separator);
    std::erase_if(items, [](std::string_view item) { return item.empty(); });
    return items;
}

} // namespace quillonde
