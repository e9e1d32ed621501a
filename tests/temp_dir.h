#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde::testing {

/// A folder of its own for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("quillonde-test-" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

    /// Writes `contents` as the file `name` and returns its path.
    std::string write(std::string_view name, std::string_view contents) const
    {
        const std::string path = file(name);
        std::ofstream(path, std::ios::binary)
            .write(contents.data(), static_cast<std::streamsize>(contents.size()));
        return path;
    }

private:
    std::filesystem::path path_;
};

/// The whole content of a file, or an empty text when it cannot be read.
inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// The names in a folder, sorted.
inline std::vector<std::string> folder_entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillonde::testing
