#pragma once

#include "cli/commands.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillonde::cli {

// The plot command is the only one that needs the toolkit, whose libraries take longer to load than
// a cast takes to convert. quillonde-cli starts without them and hands the command to
// quillonde-cli-plot, which draws it; both share the command line's parser and differ in these two.

/// The columns the plot draws side by side unless --columns names others.
std::string_view plot_columns_by_default();

/// The plot command of `columns` (a list as --columns gives it): quillonde-cli-plot draws the casts;
/// quillonde-cli starts quillonde-cli-plot in its place, with the command line `argv` as it stands,
/// and returns only when it cannot, having said why.
RunResult run_plot_command(char** argv, const Water& water, std::string_view columns,
                           const std::vector<std::string>& inputs, const std::string& output,
                           Console console);

} // namespace quillonde::cli
