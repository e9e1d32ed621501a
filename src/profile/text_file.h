#pragma once

#include "runtime/error.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

/// Closes a C stream without looking at the result; for files that were only read.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

/// Opens a file for reading. A missing file, a missing folder, a folder or a device in place of the
/// file and a refused permission each fail with an error of their own kind that names the path.
FilePointer open_for_reading(const std::string& path);

/// The error for a failed call on a file, from the errno value it left: `action` says what was
/// attempted ("read", "write", "create").
Error file_error(int errno_value, std::string_view action, std::string_view path);

/// Reads a text file line by line, as bytes, nothing decoded. A line ends at LF; the CR of a CR LF
/// ending belongs to the ending, any other CR stays in the line; the last line needs no
/// terminator. The file is read in large blocks and never held whole in memory; a line may be
/// as long as a quarter of the memory the machine can give, a longer one is an out-of-memory error.
class LineReader {
public:
    LineReader(std::FILE* file, std::string path);

    /// Whether every line has been read.
    bool at_end();

    /// The next line, valid until the next call on the reader. Call only when not at_end().
    std::string_view read_line();

private:
    void fill();
    void grow();

    std::FILE* file_;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool end_of_file_ = false;
};

} // namespace quillonde
