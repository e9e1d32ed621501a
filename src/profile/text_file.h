#pragma once

#include "profile/system_calls.h"
#include "runtime/error.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

/// Asked while a read waits or a long line arrives: false stops the reading.
using KeepGoing = std::function<bool()>;

/// The error for a path whose folder is not there: names the part of the path that is a file where
/// a folder should be, or else the folder that does not exist.
Error missing_folder_error(const std::filesystem::path& path, std::string_view shown);

/// Opens a file for reading. A missing file, a missing folder, a folder or a device in place of the
/// file and a refused permission each fail with an error of their own kind that names the path.
/// The file is opened, and later closed, by `calls`.
Descriptor open_for_reading(const std::string& path, SystemCalls& calls = real_system_calls());

/// The error for a failed call on a file, from the errno value it left: `action` says what was
/// attempted ("read", "write", "create").
Error file_error(int errno_value, std::string_view action, std::string_view path);

/// Reads a text file line by line, as bytes, nothing decoded. A line ends at LF; the CR of a CR LF
/// ending belongs to the ending, any other CR stays in the line; the last line needs no
/// terminator (line_ended() tells whether it had one). The file is read in large blocks and never
/// held whole in memory; a line may be as long as a quarter of the memory the machine can give, a
/// longer one is an out-of-memory error. `keep_going` is asked between the blocks of a long line
/// and while a pipe has nothing to give; once it says false, the reader stops: at_end() and
/// stopped() are true.
class LineReader {
public:
    /// Reads from `descriptor` by `calls`; the descriptor stays open: the caller closes it.
    LineReader(int descriptor, std::string path, KeepGoing keep_going = {},
               SystemCalls& calls = real_system_calls());

    /// The first `bytes` bytes of the file, or all of a shorter one, without reading past them: the
    /// lines are still to be read. Call before the first line; when the reading stops meanwhile,
    /// stopped() is true.
    std::string_view head(std::size_t bytes);

    /// Whether every line has been read, or the reading stopped.
    bool at_end();

    /// The next line, valid until the next call on the reader. Call only when not at_end(); when
    /// the reading stops within the line, stopped() is true and the line is to be dropped.
    std::string_view read_line();

    /// Whether keep_going said false.
    bool stopped() const noexcept { return stopped_; }

    // A reader may read part of a regular file: from an offset on, or up to one, while another
    // reader reads the rest.

    /// Reads from byte `offset` of the file on, whatever the descriptor's own offset: call before
    /// anything is read.
    void read_from(std::uint64_t offset) noexcept
    {
        read_ = offset;
        preads_ = true;
    }
    /// Ends the lines at byte `offset` of the file, where a line begins: at_end() is true there.
    void end_at(std::optional<std::uint64_t> offset) noexcept { end_at_ = offset; }
    /// The byte of the file where the next line begins, counted from its start for a file read
    /// from its start or by read_from().
    std::uint64_t offset() const noexcept { return read_ - (end_ - begin_); }

    /// Whether the line read_line() gave last ended with a line end. False for the last bytes of
    /// a file that ends without one (a file cut inside its last line, or one edited by hand) and
    /// for a line cut short by a stop.
    bool line_ended() const noexcept { return line_ended_; }

private:
    struct Free {
        void operator()(char* bytes) const noexcept { std::free(bytes); }
    };

    void fill();
    bool wait_for_data();
    bool keep_going();
    void grow();

    int descriptor_;
    SystemCalls& calls_;
    bool waits_ = false; // a pipe opened without blocking: poll before each read
    std::string path_;
    KeepGoing keep_going_;
    std::unique_ptr<char, Free> buffer_;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool end_of_file_ = false;
    bool stopped_ = false;
    bool line_ended_ = false;
    bool preads_ = false; // reads from read_ on, not from the descriptor's offset
    std::optional<std::uint64_t> end_at_;
    std::uint64_t read_ = 0; // the byte of the file after the last one read
};

} // namespace quillonde
