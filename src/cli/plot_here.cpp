#include "cli/plot_command.h"
#include "cli/plot_dispatch.h"
#include "plot/profile_plot.h"
#include "runtime/text.h"

namespace quillonde::cli {

std::string_view plot_columns_by_default()
{
    return ctd_columns;
}

RunResult run_plot_command(char** /*argv*/, const Water& water, std::string_view columns,
                           const std::vector<std::string>& inputs, const std::string& output, Console console)
{
    const std::vector<std::string_view> names = list_items(columns);
    return plot_casts(water, {names.begin(), names.end()}, inputs, output, console);
}

} // namespace quillonde::cli
