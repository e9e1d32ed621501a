#include "profile/output_file.h"

#include "runtime/error.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillonde {

namespace fs = std::filesystem;

namespace {

constexpr int most_links_followed = 40;
constexpr int most_name_attempts = 100;

std::string path_text(std::string_view path)
{
    return quoted(path, std::string_view::npos);
}

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
    throw Error(ErrorKind::path_not_found, path_text(shown) + ": too many symbolic links");
}

std::string random_suffix()
{
    static std::mt19937_64 generator{std::random_device{}()};
    constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(letters) - 2);
    std::string suffix(8, ' ');
    for (char& c : suffix) {
        c = letters[pick(generator)];
    }
    return suffix;
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

OutputFile::OutputFile(const std::string& path) : path_(path)
{
    const Resolved resolved = resolve_links(fs::path(path), path);
    target_ = resolved.target;
    if (resolved.descriptor >= 0) {
        // Standard output and the like: written where they stand, never replaced by name.
        file_ = ::fcntl(resolved.descriptor, F_DUPFD_CLOEXEC, 0);
        if (file_ < 0) {
            throw file_error(errno, "write", path);
        }
        return;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(target_, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        throw file_error(ec.value(), "write", path);
    }
    const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    switch (status.type()) {
    case fs::file_type::directory:
        throw Error(ErrorKind::permission_denied, path_text(path) + " is a folder, not a file");
    case fs::file_type::not_found:
        if (!fs::is_directory(folder, ec)) {
            throw missing_folder_error(target_, path);
        }
        break;
    case fs::file_type::regular: {
        constexpr fs::perms any_write =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if ((status.permissions() & any_write) == fs::perms::none) {
            throw Error(ErrorKind::permission_denied, path_text(path) + " is read-only");
        }
        // The file system's own answer, for a file someone else may write but this user may not.
        errno = 0;
        if (FilePointer probe(std::fopen(target_.c_str(), "r+b")); !probe) {
            throw file_error(errno, "write", path);
        }
        break;
    }
    case fs::file_type::character:
    case fs::file_type::fifo:
    case fs::file_type::socket:
        // A device or a pipe: there is nothing to replace, so it is written directly.
        file_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (file_ < 0) {
            throw file_error(errno, "write", path);
        }
        return;
    default:
        throw Error(ErrorKind::permission_denied, path_text(path) + " is not a file that can be written");
    }
    open_temporary(folder);
}

void OutputFile::open_temporary(const fs::path& folder)
{
    // The folder is held open: the file is named in this folder or not at all, even when another
    // folder takes its name meanwhile.
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) {
        throw file_error(errno, "create a file in the folder of", path_);
    }
#ifdef O_TMPFILE
    file_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (file_ >= 0) {
        return;
    }
    // Some file systems refuse unnamed files; a named one does as well, short of a kill.
#endif
    for (int attempt = 0; attempt < most_name_attempts && file_ < 0; ++attempt) {
        temporary_ = "." + target_.filename().string() + "." + random_suffix() + ".tmp";
        file_ = ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file_ < 0 && errno != EEXIST) {
            const int reason = errno;
            temporary_.clear();
            throw file_error(reason, "create a file in the folder of", path_);
        }
    }
    if (file_ < 0) {
        temporary_.clear();
        throw Error(ErrorKind::io_error, "cannot create a temporary file beside " + path_text(path_));
    }
}

OutputFile::~OutputFile()
{
    if (!committed_) {
        discard();
    }
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

void OutputFile::discard() noexcept
{
    if (file_ >= 0) {
        ::close(file_);
        file_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }
}

void OutputFile::write(std::string_view bytes)
{
    // Each write goes straight to the file system, so that a failure shows at the row that caused it.
    while (!bytes.empty()) {
        const ssize_t written = ::write(file_, bytes.data(), bytes.size());
        if (written < 0) {
            throw file_error(errno, "write", path_);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void OutputFile::give_name()
{
    const std::string name = target_.filename().string();
    struct stat old = {};
    const bool replaces = ::fstatat(folder_, name.c_str(), &old, 0) == 0;
    if (replaces) {
        ::fchmod(file_, old.st_mode & 07777); // keep the target's mode
    }
    // The data reaches the disk before the file takes the target's place: a power cut leaves the
    // old file or the new one, never an empty one.
    if (::fsync(file_) != 0) {
        throw file_error(errno, "write", path_);
    }
#ifdef O_TMPFILE
    if (temporary_.empty()) {
        const std::string descriptor = "/proc/self/fd/" + std::to_string(file_);
        const std::string link_name = replaces ? "." + name + "." + random_suffix() + ".tmp" : name;
        if (::linkat(AT_FDCWD, descriptor.c_str(), folder_, link_name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == ENOENT) {
                throw Error(ErrorKind::path_not_found,
                            "the folder of " + path_text(path_) + " no longer exists");
            }
            throw file_error(errno, "replace", path_);
        }
        if (!replaces) {
            return;
        }
        temporary_ = link_name;
    }
#endif
    if (::renameat(folder_, temporary_.c_str(), folder_, name.c_str()) != 0) {
        if (errno == ENOENT) {
            throw Error(ErrorKind::path_not_found, "the folder of " + path_text(path_) + " no longer exists");
        }
        throw file_error(errno, "replace", path_);
    }
    temporary_.clear();
}

void OutputFile::commit()
{
    if (folder_ >= 0) {
        give_name();
        // The new name reaches the disk too; a file system that cannot flush a folder says EINVAL.
        if (::fsync(folder_) != 0 && errno != EINVAL && errno != ENOTSUP) {
            throw file_error(errno, "write", path_);
        }
    }
    const int file = file_;
    file_ = -1;
    if (::close(file) != 0 && errno != EINTR) {
        throw file_error(errno, "write", path_);
    }
    committed_ = true;
}

} // namespace quillonde
