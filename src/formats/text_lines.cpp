#include "formats/text_lines.h"

#include "runtime/error.h"

#include <string>

namespace quillonde {

std::vector<std::string_view> lines_of(std::string_view text, std::size_t most)
{
    std::vector<std::string_view> lines;
    for_each_line(text, [&](std::string_view line) {
        if (lines.size() < most) {
            lines.push_back(line);
        }
    });
    return lines;
}

std::string_view first_line(std::string_view text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

void TextLineParser::line(std::string_view raw)
{
    if (raw.empty()) {
        numbered_line(raw);
        return;
    }
    for_each_line(raw, [this](std::string_view text) { numbered_line(text); });
}

void TextLineParser::numbered_line(std::string_view text)
{
    ++number_;
    try {
        text_line(text);
    } catch (const Error& error) {
        throw error.at("line " + std::to_string(number_));
    }
}

} // namespace quillonde
