#pragma once

#include "cli/commands.h"
#include "form/headless_controls.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde::cli {

/// What an empty INPUT is told.
inline constexpr std::string_view no_file_name_message = "no file name given";

/// The message of an input that failed: the error's own and, where the cast asked to compute columns
/// (`derived`, in derived_columns) and --derive was not given, how --derive would compute the last.
std::string failure_with_derive_hint(const std::exception& error, bool derive,
                                     const std::vector<std::size_t>& derived);

/// Prints "quillonde-cli: ARGUMENT: MESSAGE" on the error stream.
void report(Console console, std::string_view argument, std::string_view message);

/// The window's controls without a window, with the water and latitude of the command line.
HeadlessControls controls_for(const Water& water, const std::atomic<bool>& stop);

/// What a command does with each INPUT of a batch.
struct BatchJob {
    /// The extension of an output named after its INPUT: ".sva".
    std::string_view extension;
    /// What an interruption leaves undone: "converted", "plotted".
    std::string_view done;
    /// Each input adds to its output: one output may take several inputs.
    bool adds = false;
    /// Makes the output `target` of `input`; returns what the progress line says of it ("250 rows,
    /// 44 profile lines"), or nothing when a stop came first. Fails with the input's error.
    std::function<std::optional<std::string>(const std::string& input, const std::string& target)> make;
    /// The message of an input that failed; the error's own when not given.
    std::function<std::string(const std::exception& error)> failure;
};

/// Runs `job` for each input in turn, to `output` when it is given (a single input; "-" is standard
/// output) or else to the input with its last extension replaced. Prints "INPUT -> OUTPUT: ..." for
/// each output made, on standard error when the output is standard output. An input that fails,
/// or whose output is an input or was made already, is reported and the next one follows; a stop
/// ends the batch with "interrupted".
RunResult run_batch(const BatchJob& job, const std::vector<std::string>& inputs, const std::string& output,
                    Console console);

} // namespace quillonde::cli
