#include "profile/output_file.h"

#include "profile/system_calls.h"
#include "runtime/error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillonde {

namespace fs = std::filesystem;

namespace {

constexpr int most_links_followed = 40;
constexpr int most_name_attempts = 100;
// A write that takes no bytes this many times running is a file that takes none.
constexpr int most_empty_writes = 100;
// Interrupted calls after the rename, which a stop no longer ends, are made again this many times.
constexpr int most_late_retries = 100;
// How long a write waits on a pipe that takes nothing before it asks whether to go on [ms].
constexpr int wait_step_ms = 10;
// A pipe that poll calls writable takes this many bytes without blocking.
constexpr std::size_t pipe_step = PIPE_BUF;
// A temporary file of this class that has not changed for so long belongs to no export [s].
constexpr std::time_t leftover_age_s = 60;

constexpr std::string_view suffix_letters = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t suffix_length = 8;
constexpr std::string_view temporary_ending = ".tmp";
constexpr std::string_view lock_ending = ".lock";
// How long a writer waits for another's lock before it asks whether to go on [ms].
constexpr int lock_step_ms = 5;

/// The number of the open descriptor that `path` names (/dev/fd/N, /proc/self/fd/N), or -1.
int descriptor_named(const fs::path& path)
{
    static const fs::path descriptors = [] {
        std::error_code ec;
        return fs::canonical("/proc/self/fd", ec);
    }();
    const std::string name = path.filename().string();
    if (descriptors.empty() || name.empty() || name.find_first_not_of("0123456789") != std::string::npos ||
        name.size() > 9) {
        return -1;
    }
    std::error_code ec;
    const fs::path folder = fs::canonical(path.has_parent_path() ? path.parent_path() : fs::path("."), ec);
    // /proc/self/fd is the folder of this process: compare with what it stood for at the start.
    return !ec && folder == descriptors ? std::stoi(name) : -1;
}

struct Resolved {
    fs::path target;
    int descriptor = -1; // an open descriptor the path named on the way
};

/// Follows symbolic links to the file that a write should replace; a link may point to a file
/// that does not exist yet. A link into the process's own descriptors stops at the descriptor: its
/// target is an open file, pipe or terminal, not a name to replace.
Resolved resolve_links(const fs::path& path, const std::string& shown)
{
    fs::path target = path;
    for (int hops = 0; hops < most_links_followed; ++hops) {
        if (const int descriptor = descriptor_named(target); descriptor >= 0) {
            return {target, descriptor};
        }
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec))) {
            return {target};
        }
        const fs::path points_to = fs::read_symlink(target, ec);
        if (ec) {
            throw file_error(ec.value(), "follow the link", shown);
        }
        target = points_to.is_absolute() ? points_to : target.parent_path() / points_to;
    }
    throw Error(ErrorKind::path_not_found, quoted_path(shown) + ": too many symbolic links");
}

/// A new name for a temporary file beside the file `name`: ".NAME.XXXXXXXX.tmp", random letters and
/// digits in place of the X.
std::string temporary_name(std::string_view name)
{
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, suffix_letters.size() - 1);
    std::string suffix(suffix_length, ' ');
    for (char& c : suffix) {
        c = suffix_letters[pick(generator)];
    }
    return "." + std::string(name) + "." + suffix + std::string(temporary_ending);
}

/// Whether `entry` is a name that temporary_name(name) can give.
bool is_temporary_name(std::string_view entry, std::string_view name)
{
    if (entry.size() != name.size() + 2 + suffix_length + temporary_ending.size() || entry.front() != '.' ||
        entry.substr(1, name.size()) != name || entry[name.size() + 1] != '.' ||
        !entry.ends_with(temporary_ending)) {
        return false;
    }
    return entry.substr(name.size() + 2, suffix_length).find_first_not_of(suffix_letters) ==
           std::string_view::npos;
}

/// Whether an unnamed file was refused because the file system or the kernel has none (FAT, exFAT,
/// NFS, SMB), rather than for a reason that a named file would meet as well.
bool refuses_unnamed_files(int errno_value)
{
    return errno_value == EOPNOTSUPP || errno_value == EISDIR || errno_value == EINVAL ||
           errno_value == ENOSYS;
}

/// Whether the folder open as `folder` has been removed.
bool folder_removed(int folder)
{
    struct stat facts = {};
    return ::fstat(folder, &facts) == 0 && facts.st_nlink == 0;
}

} // namespace

fs::path comparable_path(const std::string& path)
{
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::path(path), ec);
    return ec ? fs::absolute(fs::path(path), ec).lexically_normal() : resolved;
}

bool same_file(const std::string& a, const std::string& b)
{
    std::error_code ec;
    // equivalent() compares device and inode, so it also sees a hard link.
    return fs::equivalent(fs::path(a), fs::path(b), ec) || comparable_path(a) == comparable_path(b);
}

OutputFile::OutputFile(const std::string& path) : OutputFile(path, {}) {}

OutputFile::OutputFile(const std::string& path, KeepGoing keep_going, SystemCalls& calls)
    : path_(path), keep_going_(std::move(keep_going)), calls_(calls)
{
    try {
        open_target();
    } catch (...) {
        discard();
        release_folder();
        throw;
    }
}

void OutputFile::open_target()
{
    const Resolved resolved = resolve_links(fs::path(path_), path_);
    target_ = resolved.target;
    if (resolved.descriptor >= 0) {
        // Standard output and the like: written where they stand, never replaced by name.
        file_ = ::fcntl(resolved.descriptor, F_DUPFD_CLOEXEC, 0);
        if (file_ < 0) {
            throw file_error(errno, "write", path_);
        }
        struct stat facts = {};
        waits_ = ::fstat(file_, &facts) != 0 || !S_ISREG(facts.st_mode);
        return;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(target_, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        throw file_error(ec.value(), "write", path_);
    }
    const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    switch (status.type()) {
    case fs::file_type::directory:
        throw Error(ErrorKind::not_a_file, quoted_path(path_) + " is a folder, not a profile");
    case fs::file_type::not_found:
        if (!fs::is_directory(folder, ec)) {
            throw missing_folder_error(target_, path_);
        }
        break;
    case fs::file_type::regular: {
        constexpr fs::perms any_write =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if ((status.permissions() & any_write) == fs::perms::none) {
            throw Error(ErrorKind::permission_denied, quoted_path(path_) + " is read-only");
        }
        // The file system's own answer, for a file someone else may write but this user may not.
        if (const Descriptor probe(
                retry_interrupted(
                    [&] { return calls_.open(AT_FDCWD, target_.c_str(), O_WRONLY | O_CLOEXEC, 0); },
                    [this] { return carry_on(); }),
                calls_);
            !probe) {
            throw file_error(errno, "write", path_);
        }
        break;
    }
    case fs::file_type::fifo:
        // Without blocking, so that a FIFO nobody reads yet is waited on in steps that can end.
        open_in_place(O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        return;
    case fs::file_type::character:
    case fs::file_type::socket:
        // A device: there is nothing to replace, so it is written directly.
        open_in_place(O_WRONLY | O_CLOEXEC | O_NOCTTY);
        return;
    default:
        throw Error(ErrorKind::permission_denied, quoted_path(path_) + " is not a file that can be written");
    }
    open_temporary(folder);
}

bool OutputFile::carry_on()
{
    if (keep_going_ && !keep_going_()) {
        throw WriteStopped();
    }
    return true;
}

void OutputFile::open_in_place(int flags)
{
    for (;;) {
        file_ = retry_interrupted([&] { return calls_.open(AT_FDCWD, target_.c_str(), flags, 0); },
                                  [this] { return carry_on(); });
        if (file_ >= 0) {
            waits_ = true;
            return;
        }
        // ENXIO: a FIFO opened without blocking that no one reads yet.
        if (errno != ENXIO || (flags & O_NONBLOCK) == 0) {
            throw file_error(errno, "write", path_);
        }
        ::poll(nullptr, 0, wait_step_ms);
        carry_on();
    }
}

void OutputFile::open_temporary(const fs::path& folder)
{
    const auto go_on = [this] { return carry_on(); };
    // The folder is held open: the file is named in this folder or not at all, even when another
    // folder takes its name meanwhile.
    folder_ = retry_interrupted(
        [&] { return calls_.open(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); }, go_on);
    if (folder_ < 0) {
        throw file_error(errno, "create a file in the folder of", path_);
    }
#ifdef O_TMPFILE
    file_ = retry_interrupted(
        [&] { return calls_.open(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); }, go_on);
    if (file_ >= 0) {
        return;
    }
    // Some file systems refuse unnamed files; a named one does as well, short of a kill.
    if (!refuses_unnamed_files(errno)) {
        throw file_error(errno, "create a file in the folder of", path_);
    }
#endif
    const std::string name = target_.filename().string();
    for (int attempt = 0; attempt < most_name_attempts && file_ < 0; ++attempt) {
        temporary_ = temporary_name(name);
        file_ = retry_interrupted(
            [&] {
                return calls_.open(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                   0666);
            },
            go_on);
        if (file_ < 0 && errno != EEXIST) {
            const int reason = errno;
            temporary_.clear();
            throw file_error(reason, "create a file in the folder of", path_);
        }
    }
    if (file_ < 0) {
        temporary_.clear();
        throw Error(ErrorKind::io_error, "cannot create a temporary file beside " + quoted_path(path_));
    }
}

OutputFile::~OutputFile()
{
    if (!committed_) {
        discard();
    }
    release_folder();
}

void OutputFile::release_folder() noexcept
{
    if (folder_ >= 0) {
        calls_.close(std::exchange(folder_, -1)); // only read: nothing to lose
    }
}

void OutputFile::discard() noexcept
{
    if (file_ >= 0) {
        calls_.close(std::exchange(file_, -1));
    }
    if (!temporary_.empty()) {
        calls_.unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }
}

void OutputFile::wait_until_writable()
{
    pollfd wanted = {file_, POLLOUT, 0};
    // An error or a hung-up reader also ends the wait: the write says what is wrong.
    for (int ready = 0; ready == 0 || (ready < 0 && errno == EINTR);) {
        ready = ::poll(&wanted, 1, wait_step_ms);
        carry_on();
    }
}

void OutputFile::write(std::string_view bytes)
{
    // Each write goes straight to the file system, so that a failure shows at the row that caused it.
    int empty_writes = 0;
    while (!bytes.empty()) {
        if (waits_) {
            wait_until_writable();
        }
        const std::size_t count = waits_ ? std::min(bytes.size(), pipe_step) : bytes.size();
        const ssize_t written = calls_.write(file_, bytes.data(), count);
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            empty_writes = 0;
            if (static_cast<std::size_t>(written) < count) {
                carry_on(); // cut short, perhaps by a signal
            }
            continue;
        }
        if (written == 0) {
            if (++empty_writes == most_empty_writes) {
                throw Error(ErrorKind::io_error,
                            "cannot write " + quoted_path(path_) + ": it takes no bytes");
            }
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            waits_ = true; // a pipe that is full, opened without blocking: wait on it
        } else if (errno != EINTR) {
            throw file_error(errno, "write", path_);
        }
        carry_on();
    }
}

void OutputFile::close_file(std::string_view action)
{
    // After EINTR the descriptor is closed all the same (Linux); closing it again could close a
    // descriptor opened meanwhile.
    if (calls_.close(std::exchange(file_, -1)) != 0 && errno != EINTR) {
        throw file_error(errno, action, path_);
    }
}

Error OutputFile::naming_error(std::string_view action) const
{
    const int reason = errno;
    if (reason == ENOENT && folder_removed(folder_)) {
        return {ErrorKind::path_not_found, "the folder of " + quoted_path(path_) + " no longer exists"};
    }
    return file_error(reason, action, path_);
}

#ifdef O_TMPFILE
void OutputFile::name_temporary()
{
    const std::string descriptor = "/proc/self/fd/" + std::to_string(file_);
    const std::string name = target_.filename().string();
    for (int attempt = 0; attempt < most_name_attempts; ++attempt) {
        std::string link_name = temporary_name(name);
        if (retry_interrupted(
                [&] {
                    return calls_.linkat(AT_FDCWD, descriptor.c_str(), folder_, link_name.c_str(),
                                         AT_SYMLINK_FOLLOW);
                },
                [this] { return carry_on(); }) == 0) {
            temporary_ = std::move(link_name);
            return;
        }
        if (errno != EEXIST) {
            throw naming_error("replace");
        }
    }
    throw Error(ErrorKind::io_error, "cannot create a temporary file beside " + quoted_path(path_));
}
#endif

void OutputFile::remove_leftovers(const std::string& name, std::time_t written) noexcept
{
    const int listing = ::openat(folder_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return;
    }
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return;
    }
    // Aged by the folder's own clock, the time its file system gave the new file: a share's
    // clock may differ from this machine's.
    while (const dirent* entry = ::readdir(entries)) {
        struct stat facts = {};
        if (is_temporary_name(entry->d_name, name) &&
            ::fstatat(folder_, entry->d_name, &facts, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(facts.st_mode) &&
            written - facts.st_mtime > leftover_age_s) {
            calls_.unlinkat(folder_, entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

void OutputFile::commit()
{
    if (folder_ < 0) { // written in place: there is nothing to rename
        close_file("write");
        committed_ = true;
        return;
    }
    const auto go_on = [this] { return carry_on(); };
    const std::string name = target_.filename().string();
    struct stat old = {};
    if (::fstatat(folder_, name.c_str(), &old, 0) == 0) {
        ::fchmod(file_, old.st_mode & 07777); // keep the target's mode
    }
    carry_on();
    // The data reaches the disk, and the file is closed (where NFS reports a write that failed),
    // before the file takes the target's place: a power cut or a failure leaves the old file or the
    // new one, never an empty one.
    if (retry_interrupted([&] { return calls_.fsync(file_); }, go_on) != 0) {
        throw file_error(errno, "write", path_);
    }
    struct stat written = {};
    ::fstat(file_, &written);
#ifdef O_TMPFILE
    if (temporary_.empty()) {
        name_temporary(); // a descriptor cannot be named once closed
    }
#endif
    close_file("write");
    // A name that another export gave the target meanwhile is replaced too: the last one wins.
    if (retry_interrupted([&] { return calls_.renameat(folder_, temporary_.c_str(), folder_, name.c_str()); },
                          go_on) != 0) {
        throw naming_error("replace");
    }
    temporary_.clear();
    committed_ = true;
    remove_leftovers(name, written.st_mtime);
    // The new name reaches the disk too; a file system that cannot flush a folder says EINVAL.
    int late_retries = 0;
    if (retry_interrupted([&] { return calls_.fsync(folder_); },
                          [&] { return ++late_retries < most_late_retries; }) != 0 &&
        errno != EINVAL && errno != ENOTSUP) {
        throw Error(ErrorKind::io_error,
                    quoted_path(path_) + ": the new profile is in place but may not be on the disk yet (" +
                        std::strerror(errno) + ")");
    }
}

TargetLock::TargetLock(const std::string& path, const KeepGoing& keep_going, SystemCalls& calls)
    : calls_(calls)
{
    const Resolved resolved = resolve_links(fs::path(path), path);
    std::error_code ec;
    const fs::file_type type = fs::status(resolved.target, ec).type();
    if (resolved.descriptor >= 0 || (type != fs::file_type::regular && type != fs::file_type::not_found)) {
        return;
    }
    const fs::path folder = resolved.target.has_parent_path() ? resolved.target.parent_path() : fs::path(".");
    folder_ = calls_.open(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folder_ < 0) {
        return; // the write fails, naming the folder
    }
    name_ = "." + resolved.target.filename().string() + std::string(lock_ending);
    // A writer that is done removes the lock file before it lets go of it; one that waited on the
    // removed file then holds a lock nobody else sees, and takes the one under the name instead.
    for (;;) {
        const int file =
            calls_.open(folder_, name_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (file < 0) {
            break;
        }
        int locked = -1;
        while ((locked = calls_.flock(file, LOCK_EX | LOCK_NB)) != 0 &&
               (errno == EWOULDBLOCK || errno == EINTR)) {
            if (keep_going && !keep_going()) {
                calls_.close(file);
                calls_.close(std::exchange(folder_, -1));
                throw WriteStopped();
            }
            ::poll(nullptr, 0, lock_step_ms);
        }
        if (locked != 0) { // no locks on this file system
            calls_.unlinkat(folder_, name_.c_str(), 0);
            calls_.close(file);
            break;
        }
        struct stat held = {};
        struct stat named = {};
        if (::fstat(file, &held) == 0 &&
            ::fstatat(folder_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            file_ = file;
            return;
        }
        calls_.close(file);
    }
    calls_.close(std::exchange(folder_, -1));
}

TargetLock::~TargetLock()
{
    if (file_ >= 0) {
        calls_.unlinkat(folder_, name_.c_str(), 0);
        calls_.close(file_);
    }
    if (folder_ >= 0) {
        calls_.close(folder_);
    }
}

} // namespace quillonde
