#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillonde {

/// What went wrong, independent of the words used to say it.
enum class ErrorKind {
    type_mismatch,          ///< a text that should be a number is not one
    overflow,               ///< a number outside the range it must fit
    subscript_out_of_range, ///< an index outside the profile table or a line with too few fields
    out_of_memory,          ///< more memory than the machine can give
    file_not_found,         ///< nothing at the path
    not_a_file,             ///< a folder where a file is expected
    path_not_found,         ///< the folder of the path does not exist
    permission_denied,      ///< the file system refuses access
    io_error,               ///< reading or writing failed on the way
    bad_data_file,          ///< the file is not a cast this program can read
    no_profile,             ///< an export without a loaded cast
    missing_column,         ///< the loaded cast lacks a column (or a time or position) the export needs
    refused,                ///< a doubt the user asked to treat as a failure
};

/// The title that starts the message of an error of this kind ("Type mismatch"), or an empty
/// text for kinds whose messages stand on their own.
std::string_view kind_title(ErrorKind kind);

/// The one exception type of the program. Its message says what failed and on what text, and,
/// once a caller has added it, where: `Type mismatch at line 37: row number "abc" is not a number`.
class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, std::string detail, std::string where = {});

    ErrorKind kind() const noexcept { return kind_; }
    /// What failed, without the kind's title and the place.
    const std::string& detail() const noexcept { return detail_; }
    /// Where it failed ("line 37", "table row 12"), or empty.
    const std::string& where() const noexcept { return where_; }

    /// The same error, placed: `at("line 37")` turns "Overflow: ..." into "Overflow at line 37: ...".
    /// A place already given is kept.
    Error at(std::string where) const;
    /// The same error with a word on what the failing text was: `about("row number")` turns
    /// `"abc" is not a number` into `row number "abc" is not a number`.
    Error about(std::string_view subject) const;

private:
    ErrorKind kind_;
    std::string detail_;
    std::string where_;
};

/// Runs `action`; an Error it raises is raised again with `subject` named in its message.
template <typename Action> auto with_subject(std::string_view subject, Action&& action) -> decltype(action())
{
    try {
        return action();
    } catch (const Error& error) {
        throw error.about(subject);
    }
}

/// Quotes a text for a message, control characters escaped (a CR shows as \r). Texts longer than
/// `max_shown` bytes are shortened, so that a 200 MB line does not become a 200 MB message box.
std::string quoted(std::string_view text, std::size_t max_shown = 60);

/// Quotes a path, or another text the user must see whole, for a message: control characters
/// escaped, nothing shortened.
inline std::string quoted_path(std::string_view path)
{
    return quoted(path, std::string_view::npos);
}

} // namespace quillonde
