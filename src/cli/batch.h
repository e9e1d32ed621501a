#pragma once

#include "cli/commands.h"
#include "form/headless_controls.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde::cli {

/// What a batch says of an argument that has no file name.
inline constexpr std::string_view no_file_name_message = "no file name given";

/// Prints "quillonde-cli: ARGUMENT: MESSAGE" on the error stream.
void report(Console console, std::string_view argument, std::string_view message);

/// The window's controls without a window, with the water and latitude of the command line.
HeadlessControls controls_for(const Water& water, const std::atomic<bool>& stop);

/// Keeps the casts of one command from being overwritten by it: no output may be one of its inputs
/// or a file it has already written.
class OutputGuard {
public:
    explicit OutputGuard(const std::vector<std::string>& inputs);

    /// Why `output` must not be written for `input`, or an empty text.
    std::string refusal(const std::string& input, const std::string& output) const;

    void written(const std::string& input, const std::string& output);

private:
    std::set<std::filesystem::path> inputs_;
    std::map<std::filesystem::path, std::string> written_; // output -> the input it came from
};

} // namespace quillonde::cli
