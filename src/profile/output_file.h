#pragma once

#include "profile/text_file.h"

#include <ctime>
#include <exception>
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

/// Raised by an OutputFile whose `keep_going` said false; the target keeps what it held. Not an
/// Error: a stop is no failure, and nothing on the way turns it into one.
class WriteStopped : public std::exception {
public:
    const char* what() const noexcept override { return "the writing was stopped"; }
};

/// A file written whole or not at all, also across a power cut. The bytes go to a temporary file
/// beside the target, which replaces the target only on commit(), after its data has reached the
/// disk and the file is closed; until then the target keeps what it held, and a writer that is
/// destroyed without commit() removes its temporary file. Where the system can, the temporary file
/// has no name until it is complete, so that a killed process leaves nothing behind; where it
/// cannot, the next commit to the same target removes such leftovers once they are a minute old.
///
/// A target that is a symbolic link is followed: the file it points to is replaced and the link
/// stays. A target that is a device, a pipe or a socket (/dev/null), or that names an open
/// descriptor of the process (/dev/stdout, /dev/fd/N), cannot be replaced and is written directly,
/// in place; a pipe that takes nothing is waited on in steps, and a FIFO until a reader opens it.
/// A folder or a read-only file is refused before anything is written.
///
/// A write interrupted by a signal or cut short is carried on; `keep_going`, when given, is asked
/// then and at every step of a wait, and once it says false the writer raises WriteStopped. The
/// files are opened, written, flushed, named and closed by `calls`.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    OutputFile(const std::string& path, KeepGoing keep_going, SystemCalls& calls = real_system_calls());
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    /// Appends bytes; fails with the file system's reason (a full disk, say).
    void write(std::string_view bytes);

    /// Finishes the file and puts it in place of the target. A failure before that leaves the
    /// target as it was; one after it (the folder's flush) says that the new file is in place.
    void commit();

    /// The target as the user gave it.
    const std::string& path() const noexcept { return path_; }

private:
    void open_target();
    void open_in_place(int flags);
    void open_temporary(const std::filesystem::path& folder);
    /// Asks keep_going; raises WriteStopped when it says false, else says true.
    bool carry_on();
    void wait_until_writable();
    void name_temporary();
    void close_file(std::string_view action);
    /// The error for a link or rename that failed, from errno.
    Error naming_error(std::string_view action) const;
    void remove_leftovers(const std::string& name, std::time_t written) noexcept;
    void discard() noexcept;
    void release_folder() noexcept;

    std::string path_;             // as the user gave it, for messages
    std::filesystem::path target_; // the file to replace, links followed
    KeepGoing keep_going_;
    SystemCalls& calls_;
    int folder_ = -1; // the target's folder; -1 when writing to the target directly
    int file_ = -1;
    bool waits_ = false;    // a pipe, socket or device: written in steps that can be abandoned
    std::string temporary_; // the temporary file's name in folder_, empty while it has none
    bool committed_ = false;
};

/// The advisory lock of a file that several programs may rebuild at once (a file to which casts
/// are added): held while it lives, from the read of the file to the rename of its new version.
/// The lock is a flock(2) on ".NAME.lock" beside the file (links followed); the file goes with the
/// lock, and one that a killed process left behind is taken over by the next writer. A target that
/// is no file (a pipe, a device, a descriptor of the process), a folder that takes no new file, and
/// a file system that takes no locks get no lock: the write goes on as before.
class TargetLock {
public:
    /// Waits for the lock of `path` through `calls`, asking `keep_going` at every step of the wait;
    /// raises WriteStopped once it says false.
    TargetLock(const std::string& path, const KeepGoing& keep_going, SystemCalls& calls);
    TargetLock(const TargetLock&) = delete;
    TargetLock& operator=(const TargetLock&) = delete;
    ~TargetLock();

    /// Whether the lock is held (see above for when it is not).
    bool held() const noexcept { return file_ >= 0; }

private:
    SystemCalls& calls_;
    int folder_ = -1;
    int file_ = -1;
    std::string name_;
};

} // namespace quillonde
