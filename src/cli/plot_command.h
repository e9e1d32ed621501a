#pragma once

#include "cli/commands.h"

#include <string>
#include <vector>

namespace quillonde::cli {

/// Loads each cast as the window's load does and writes its profile plot, as the window's Profile
/// window paints it, of `columns` side by side: to `output` when given (a single input), else to the
/// input with its last extension replaced by ".svg"; SVG, or PNG or PDF by the output's extension.
/// Prints "INPUT -> OUTPUT: N rows, M profile lines" for each file written. Starts the toolkit on
/// its offscreen platform unless a platform is chosen: no display is needed.
RunResult plot_casts(const Water& water, const std::vector<std::string>& columns,
                     const std::vector<std::string>& inputs, const std::string& output, Console console);

} // namespace quillonde::cli
