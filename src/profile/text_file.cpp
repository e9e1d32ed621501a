#include "profile/text_file.h"

#include "runtime/error.h"
#include "runtime/memory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillonde {

namespace {

constexpr std::size_t read_block_size = std::size_t{1} << 20;
// How long a read waits on a silent pipe before it asks whether to go on [ms].
constexpr int wait_step_ms = 10;

} // namespace

Error file_error(int errno_value, std::string_view action, std::string_view path)
{
    const std::string cannot = "cannot " + std::string(action) + " " + quoted_path(path);
    switch (errno_value) {
    case ENOENT: return {ErrorKind::file_not_found, quoted_path(path)};
    case ENOTDIR: return {ErrorKind::path_not_found, quoted_path(path)};
    case EACCES:
    case EPERM:
    case EROFS: return {ErrorKind::permission_denied, cannot + ": " + std::strerror(errno_value)};
    case EISDIR: return {ErrorKind::not_a_file, cannot + ": it is a folder"};
    case ENOMEM: return {ErrorKind::out_of_memory, cannot};
    default: return {ErrorKind::io_error, cannot + ": " + std::strerror(errno_value)};
    }
}

Error missing_folder_error(const std::filesystem::path& path, std::string_view shown)
{
    namespace fs = std::filesystem;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    for (fs::path up = folder; !up.empty(); up = up.parent_path()) {
        std::error_code ec;
        const fs::file_type type = fs::status(up, ec).type();
        if (type == fs::file_type::directory) {
            break;
        }
        if (type != fs::file_type::not_found && type != fs::file_type::none) {
            return {ErrorKind::path_not_found,
                    quoted_path(shown) + ": " + quoted_path(up.string()) + " is a file, not a folder"};
        }
        if (up == up.parent_path()) {
            break;
        }
    }
    return {ErrorKind::path_not_found,
            quoted_path(shown) + ": the folder " + quoted_path(folder.string()) + " does not exist"};
}

Descriptor open_for_reading(const std::string& path, SystemCalls& calls)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file(path);
    const fs::file_type type = fs::status(file, ec).type();
    if (type == fs::file_type::not_found) {
        const fs::path folder = file.parent_path();
        if (!folder.empty() && !fs::is_directory(folder, ec)) {
            throw missing_folder_error(file, path);
        }
        throw Error(ErrorKind::file_not_found, quoted_path(path));
    }
    // A device gives no end (/dev/zero) or waits for a person (a terminal); a pipe may be read.
    // Refused before it is opened: opening some devices acts on them.
    const Error device(ErrorKind::bad_data_file, quoted_path(path) + " is a device, not a file");
    if (type == fs::file_type::character || type == fs::file_type::block || type == fs::file_type::socket) {
        throw device;
    }
    // Without blocking: a pipe with no writer yet must not hold the open; the reader waits on it in
    // steps that can be abandoned.
    Descriptor opened(
        retry_interrupted(
            [&] { return calls.open(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0); },
            [] { return true; }),
        calls);
    if (!opened) {
        throw file_error(errno, "read", path);
    }
    struct stat facts = {};
    if (::fstat(opened.get(), &facts) != 0) {
        throw file_error(errno, "read", path);
    }
    if (S_ISDIR(facts.st_mode)) {
        throw Error(ErrorKind::not_a_file, quoted_path(path) + " is a folder, not a cast");
    }
    if (!S_ISREG(facts.st_mode) && !S_ISFIFO(facts.st_mode)) {
        throw device;
    }
    if (!S_ISFIFO(facts.st_mode)) {
        ::fcntl(opened.get(), F_SETFL, ::fcntl(opened.get(), F_GETFL) & ~O_NONBLOCK);
    }
    return opened;
}

LineReader::LineReader(int descriptor, std::string path, KeepGoing keep_going, SystemCalls& calls)
    : descriptor_(descriptor), calls_(calls), path_(std::move(path)), keep_going_(std::move(keep_going)),
      buffer_(static_cast<char*>(std::malloc(read_block_size))), capacity_(read_block_size)
{
    if (!buffer_) {
        throw std::bad_alloc();
    }
    const int flags = ::fcntl(descriptor_, F_GETFL);
    waits_ = flags >= 0 && (flags & O_NONBLOCK) != 0;
}

bool LineReader::keep_going()
{
    if (keep_going_ && !keep_going_()) {
        stopped_ = true;
    }
    return !stopped_;
}

bool LineReader::wait_for_data()
{
    pollfd wanted = {descriptor_, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&wanted, 1, wait_step_ms);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            throw file_error(errno, "read", path_);
        }
        if (!keep_going()) {
            return false;
        }
    }
}

void LineReader::fill()
{
    // Keep the unread part, move it to the front, and grow the buffer when one line fills it.
    char* data = buffer_.get();
    if (begin_ > 0) {
        std::memmove(data, data + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) {
        grow();
        data = buffer_.get();
    }
    // At most a block at a time, so that a long line gives keep_going its turns.
    const std::size_t room = std::min(capacity_ - end_, read_block_size);
    for (;;) {
        if (waits_ && !wait_for_data()) {
            return;
        }
        const ssize_t got = preads_ ? calls_.pread(descriptor_, data + end_, room, static_cast<off_t>(read_))
                                    : calls_.read(descriptor_, data + end_, room);
        if (got > 0) {
            end_ += static_cast<std::size_t>(got);
            read_ += static_cast<std::uint64_t>(got);
            return;
        }
        if (got == 0) {
            end_of_file_ = true;
            return;
        }
        if (errno == EINTR) {
            if (!keep_going()) {
                return;
            }
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            throw file_error(errno, "read", path_);
        }
    }
}

void LineReader::grow()
{
    // A line is copied for its clean-up and may be stored: it may take a quarter of the memory the
    // machine can still give, so that an endless line ends in an error, not in the system killing
    // the program. The system is asked only for lines long enough to matter. realloc moves the
    // pages of a large buffer instead of copying them.
    const std::size_t larger = capacity_ * 2;
    constexpr std::size_t always_allowed = std::size_t{64} << 20;
    const auto too_long = [&] {
        return Error(ErrorKind::out_of_memory, "a line of more than " + std::to_string(capacity_ >> 20U) +
                                                   " MiB in " + quoted_path(path_) +
                                                   " does not fit in memory");
    };
    if (larger > always_allowed && larger > available_memory_bytes() / 4) {
        throw too_long();
    }
    char* grown = static_cast<char*>(std::realloc(buffer_.get(), larger));
    if (grown == nullptr) {
        throw too_long();
    }
    static_cast<void>(buffer_.release());
    buffer_.reset(grown);
    capacity_ = larger;
}

std::string_view LineReader::head(std::size_t bytes)
{
    bytes = std::min(bytes, read_block_size);
    while (end_ - begin_ < bytes && !end_of_file_ && !stopped_) {
        fill();
    }
    // A file still being written may grow before its lines are read: its end is looked for again.
    end_of_file_ = false;
    return {buffer_.get() + begin_, std::min(end_ - begin_, bytes)};
}

bool LineReader::at_end()
{
    if (end_at_ && offset() >= *end_at_) {
        return true;
    }
    while (begin_ == end_ && !end_of_file_ && !stopped_) {
        fill();
    }
    return stopped_ || begin_ == end_;
}

std::string_view LineReader::read_line()
{
    std::size_t searched = begin_;
    for (;;) {
        const char* data = buffer_.get();
        const void* found = std::memchr(data + searched, '\n', end_ - searched);
        if (found != nullptr) {
            const auto newline = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            std::size_t line_end = newline;
            if (line_end > begin_ && data[line_end - 1] == '\r') {
                --line_end;
            }
            const std::string_view line(data + begin_, line_end - begin_);
            begin_ = newline + 1;
            line_ended_ = true;
            return line;
        }
        if (end_of_file_ || stopped_) {
            const std::string_view line(data + begin_, end_ - begin_);
            begin_ = end_;
            line_ended_ = false;
            return line;
        }
        const std::size_t unsearched = end_ - begin_;
        if (unsearched >= read_block_size && !keep_going()) {
            continue;
        }
        fill();
        searched = begin_ + unsearched;
    }
}

} // namespace quillonde
