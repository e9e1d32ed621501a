#pragma once

#include "formats/format.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillonde {

// The lines of the formats written as text, whatever their line ends: LF, CR LF, CR CR LF (a CR LF
// that a program wrote through a text file) or a CR alone (classic Mac software).

/// Calls `take` with each line of `text`, without its line end. A last line without one is a line;
/// an empty text has none.
template <typename Take> void for_each_line(std::string_view text, Take&& take)
{
    // Each line end is searched for by itself: find() of one character is a memchr, and a text of
    // one kind of line end is searched through once.
    std::size_t cr = text.find('\r');
    std::size_t lf = text.find('\n');
    for (std::size_t begin = 0; begin < text.size();) {
        if (cr < begin) {
            cr = text.find('\r', begin);
        }
        if (lf < begin) {
            lf = text.find('\n', begin);
        }
        std::size_t end = std::min(cr, lf);
        if (end == std::string_view::npos) {
            take(text.substr(begin));
            return;
        }
        take(text.substr(begin, end - begin));
        if (end == cr && lf == end + 1) {
            end += 1;
        } else if (end == cr && lf == end + 2 && text[end + 1] == '\r') {
            end += 2;
        }
        begin = end + 1;
    }
}

/// The first `most` lines of `text`, as for_each_line gives them.
std::vector<std::string_view> lines_of(std::string_view text, std::size_t most = std::string_view::npos);

/// The first line of `text`, up to its first LF or CR.
std::string_view first_line(std::string_view text);

/// A parser of a format whose lines may end in any of the line ends above: the load splits at LF
/// and drops the CR of a CR LF, and this parser splits what it is given at every CR, counts the
/// lines so and places each error at the line it was raised on (a file of CR line ends is one line
/// to the load).
class TextLineParser : public CastParser {
public:
    void line(std::string_view raw) final;

protected:
    /// One line of the file, without its line end.
    virtual void text_line(std::string_view text) = 0;

private:
    void numbered_line(std::string_view text);

    std::uint64_t number_ = 0; // of the last line given to text_line, counted from 1
};

} // namespace quillonde
