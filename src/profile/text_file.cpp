#include "profile/text_file.h"

#include "runtime/error.h"
#include "runtime/memory.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace quillonde {

namespace {

constexpr std::size_t read_block_size = std::size_t{1} << 20;

std::string path_text(std::string_view path)
{
    return quoted(path, std::string_view::npos);
}

} // namespace

Error file_error(int errno_value, std::string_view action, std::string_view path)
{
    const std::string cannot = "cannot " + std::string(action) + " " + path_text(path);
    switch (errno_value) {
    case ENOENT: return {ErrorKind::file_not_found, path_text(path)};
    case ENOTDIR: return {ErrorKind::path_not_found, path_text(path)};
    case EACCES:
    case EPERM:
    case EROFS: return {ErrorKind::permission_denied, cannot + ": " + std::strerror(errno_value)};
    case EISDIR: return {ErrorKind::permission_denied, cannot + ": it is a folder"};
    case ENOMEM: return {ErrorKind::out_of_memory, cannot};
    default: return {ErrorKind::io_error, cannot + ": " + std::strerror(errno_value)};
    }
}

FilePointer open_for_reading(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file(path);
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) {
        const fs::path folder = file.parent_path();
        if (!folder.empty() && !fs::is_directory(folder, ec)) {
            throw Error(ErrorKind::path_not_found,
                        path_text(path) + ": the folder " + path_text(folder.string()) + " does not exist");
        }
        throw Error(ErrorKind::file_not_found, path_text(path));
    }
    if (status.type() == fs::file_type::directory) {
        throw Error(ErrorKind::file_not_found, "no file at " + path_text(path) + ", which is a folder");
    }
    if (status.type() == fs::file_type::character || status.type() == fs::file_type::block ||
        status.type() == fs::file_type::socket) {
        // A device gives no end (/dev/zero) or waits for a person (a terminal); a pipe may be read.
        throw Error(ErrorKind::bad_data_file, path_text(path) + " is a device, not a file");
    }
    errno = 0;
    FilePointer opened(std::fopen(path.c_str(), "rb"));
    if (!opened) {
        throw file_error(errno, "read", path);
    }
    return opened;
}

LineReader::LineReader(std::FILE* file, std::string path)
    : file_(file), path_(std::move(path)), buffer_(read_block_size)
{
}

void LineReader::fill()
{
    // Keep the unread part, move it to the front, and grow the buffer when one line fills it.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        grow();
    }
    errno = 0;
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    end_ += got;
    if (got == 0) {
        if (std::ferror(file_) != 0) {
            throw file_error(errno != 0 ? errno : EIO, "read", path_);
        }
        end_of_file_ = true;
    }
}

void LineReader::grow()
{
    // A line is copied for its clean-up and may be stored: it may take a quarter of the memory the
    // machine can still give, so that an endless line ends in an error, not in the system killing
    // the program. The system is asked only for lines long enough to matter.
    const std::size_t larger = buffer_.size() * 2;
    constexpr std::size_t always_allowed = std::size_t{64} << 20;
    if (larger > always_allowed && larger > available_memory_bytes() / 4) {
        throw Error(ErrorKind::out_of_memory, "a line of more than " + std::to_string(buffer_.size() >> 20U) +
                                                  " MiB in " + path_text(path_) + " does not fit in memory");
    }
    buffer_.resize(larger);
}

bool LineReader::at_end()
{
    while (begin_ == end_ && !end_of_file_) {
        fill();
    }
    return begin_ == end_;
}

std::string_view LineReader::read_line()
{
    std::size_t searched = begin_;
    for (;;) {
        const char* data = buffer_.data();
        const void* found = std::memchr(data + searched, '\n', end_ - searched);
        if (found != nullptr) {
            const auto newline = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            std::size_t line_end = newline;
            if (line_end > begin_ && data[line_end - 1] == '\r') {
                --line_end;
            }
            const std::string_view line(data + begin_, line_end - begin_);
            begin_ = newline + 1;
            return line;
        }
        if (end_of_file_) {
            const std::string_view line(data + begin_, end_ - begin_);
            begin_ = end_;
            return line;
        }
        const std::size_t unsearched = end_ - begin_;
        fill();
        searched = begin_ + unsearched;
    }
}

} // namespace quillonde
