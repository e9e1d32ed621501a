#include "profile/output_file.h"

#include "runtime/error.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace quillonde {

namespace fs = std::filesystem;

namespace {

constexpr int most_links_followed = 40;
constexpr int most_name_attempts = 100;

std::string path_text(std::string_view path)
{
    return quoted(path, std::string_view::npos);
}

/// Follows symbolic links to the file that a write should replace; a link may point to a file
/// that does not exist yet.
fs::path resolve_links(const fs::path& path, const std::string& shown)
{
    fs::path target = path;
    for (int hops = 0; hops < most_links_followed; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec))) {
            return target;
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

OutputFile::OutputFile(const std::string& path) : path_(path), target_(resolve_links(fs::path(path), path))
{
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
            throw Error(ErrorKind::path_not_found,
                        path_text(path) + ": the folder " + path_text(folder.string()) + " does not exist");
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
        // A device or a pipe: there is nothing to replace, so it is written directly.
        errno = 0;
        file_.reset(std::fopen(target_.c_str(), "wb"));
        if (!file_) {
            throw file_error(errno, "write", path);
        }
        std::setvbuf(file_.get(), nullptr, _IONBF, 0);
        return;
    default:
        throw Error(ErrorKind::permission_denied, path_text(path) + " is not a file that can be written");
    }

    for (int attempt = 0; attempt < most_name_attempts && !file_; ++attempt) {
        temporary_ = folder / ("." + target_.filename().string() + "." + random_suffix() + ".tmp");
        errno = 0;
        file_.reset(std::fopen(temporary_.c_str(), "wbx")); // "x": never an existing file
        if (!file_ && errno != EEXIST) {
            const int reason = errno;
            temporary_.clear();
            throw file_error(reason, "create a file in the folder of", path);
        }
    }
    if (!file_) {
        temporary_.clear();
        throw Error(ErrorKind::io_error, "cannot create a temporary file beside " + path_text(path));
    }
    // The writer buffers whole blocks itself; each write goes straight to the file system, so that
    // a failure shows at the row that caused it.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

OutputFile::~OutputFile()
{
    if (!committed_) {
        discard();
    }
}

void OutputFile::discard() noexcept
{
    file_.reset();
    if (!temporary_.empty()) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
        temporary_.clear();
    }
}

void OutputFile::write(std::string_view bytes)
{
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
        throw file_error(errno != 0 ? errno : EIO, "write", path_);
    }
}

void OutputFile::commit()
{
    errno = 0;
    std::FILE* file = file_.release();
    if (std::fclose(file) != 0) {
        throw file_error(errno != 0 ? errno : EIO, "write", path_);
    }
    if (!temporary_.empty()) {
        std::error_code ec;
        if (fs::exists(target_, ec)) {
            fs::permissions(temporary_, fs::status(target_, ec).permissions(), ec); // keep the target's mode
        }
        fs::rename(temporary_, target_, ec);
        if (ec == std::errc::no_such_file_or_directory) {
            throw Error(ErrorKind::path_not_found, "the folder of " + path_text(path_) + " no longer exists");
        }
        if (ec) {
            throw file_error(ec.value(), "replace", path_);
        }
        temporary_.clear();
    }
    committed_ = true;
}

} // namespace quillonde
