#pragma once

#include "profile/text_file.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace quillonde {

/// The path a comparison of files can rely on: links followed, "." and ".." resolved as far as the
/// path exists, absolute.
std::filesystem::path comparable_path(const std::string& path);

/// Whether two paths name the same file, however each is spelled: relative or absolute, through
/// "..", a symbolic link or a hard link. Two paths to no file are the same when they read the same.
bool same_file(const std::string& a, const std::string& b);

/// A file written whole or not at all, also across a power cut. The bytes go to a temporary file
/// beside the target, which replaces the target only on commit(), after its data has reached the
/// disk; until then the target keeps what it held, and a writer that is destroyed without commit()
/// removes its temporary file. Where the system can, the temporary file has no name until it is
/// complete, so that a killed process leaves nothing behind.
///
/// A target that is a symbolic link is followed: the file it points to is replaced and the link
/// stays. A target that is a device, a pipe or a socket (/dev/null), or that names an open
/// descriptor of the process (/dev/stdout, /dev/fd/N), cannot be replaced and is written directly,
/// in place. A folder or a read-only file is refused before anything is written.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    /// Appends bytes; fails with the file system's reason (a full disk, say).
    void write(std::string_view bytes);

    /// Finishes the file and puts it in place of the target.
    void commit();

    /// The target as the user gave it.
    const std::string& path() const noexcept { return path_; }

private:
    void open_temporary(const std::filesystem::path& folder);
    void give_name();
    void discard() noexcept;

    std::string path_;             // as the user gave it, for messages
    std::filesystem::path target_; // the file to replace, links followed
    int folder_ = -1;              // the target's folder; -1 when writing to the target directly
    int file_ = -1;
    std::string temporary_; // the temporary file's name in folder_, empty while it has none
    bool committed_ = false;
};

} // namespace quillonde
