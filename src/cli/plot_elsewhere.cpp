#include "cli/plot_dispatch.h"
#include "runtime/error.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace quillonde::cli {

std::string_view plot_columns_by_default()
{
    return {}; // quillonde-cli-plot reads the command line again
}

RunResult run_plot_command(char** argv, const Water& /*water*/, std::string_view /*columns*/,
                           const std::vector<std::string>& /*inputs*/, const std::string& /*output*/,
                           Console console)
{
    // Beside this program in the build, where it is installed otherwise; never looked for in the
    // working folder, whose files are anyone's.
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::path self = fs::read_symlink("/proc/self/exe", failed);
    if (failed || !self.is_absolute()) {
        console.err << program_name << ": cannot find quillonde-cli-plot to draw the plot: the folder of "
                    << program_name << " is unknown (/proc/self/exe: " << failed.message() << ")\n";
        return RunResult::some_failed;
    }
    fs::path helper = self.parent_path() / "quillonde-cli-plot";
    if (!fs::exists(helper, failed)) {
        helper = (self.parent_path() / QUILLONDE_PLOT_HELPER).lexically_normal();
    }
    ::execv(helper.c_str(), argv);
    console.err << program_name << ": cannot start " << quoted_path(helper.string())
                << " to draw the plot: " << std::strerror(errno) << '\n';
    return RunResult::some_failed;
}

} // namespace quillonde::cli
