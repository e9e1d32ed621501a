#include "cli/batch.h"

#include "form/questions.h"
#include "formats/registry.h"
#include "profile/output_file.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quillonde::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view standard_output_name = "-";
constexpr std::string_view standard_output_path = "/dev/stdout";
constexpr std::string_view derive_hint = " (--derive computes it from ";

/// Whether `target` is where standard output goes (-o -, /dev/stdout, or the file it is redirected
/// to): the progress lines go to standard error then, not into the output.
bool is_standard_output(const std::string& target)
{
    struct stat out = {};
    struct stat file = {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && ::stat(target.c_str(), &file) == 0 &&
           out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

/// Keeps the inputs of one command from being overwritten by it: no output may be one of its inputs
/// or a file it has already written.
class OutputGuard {
public:
    explicit OutputGuard(const std::vector<std::string>& inputs)
    {
        for (const std::string& input : inputs) {
            inputs_.insert(comparable_path(input));
        }
    }

    /// Why `output` must not be written for `input`, or an empty text; an output that `adds` may
    /// take several inputs.
    std::string refusal(const std::string& input, const std::string& output, bool adds) const
    {
        const fs::path target = comparable_path(output);
        if (same_file(input, output) || inputs_.contains(target)) {
            return "the output " + quoted_path(output) + " is one of the inputs; it is left as it is";
        }
        if (const auto earlier = written_.find(target); earlier != written_.end() && !adds) {
            return "the output " + quoted_path(output) + " has already been written from " +
                   quoted_path(earlier->second) + "; it is left as it is";
        }
        return {};
    }

    void written(const std::string& input, const std::string& output)
    {
        written_.emplace(comparable_path(output), input);
    }

private:
    std::set<fs::path> inputs_;
    std::map<fs::path, std::string> written_; // output -> the input it came from
};

} // namespace

void report(Console console, std::string_view argument, std::string_view message)
{
    console.err << program_name << ": " << argument << ": " << message << '\n';
}

HeadlessControls controls_for(const Water& water, const std::atomic<bool>& stop)
{
    HeadlessControls controls(&stop);
    controls.set_water(water.option);
    if (water.option == OptionButton::op_salt) {
        controls.set_text(TextBox::tx_lat, water.latitude);
    }
    return controls;
}

RunResult run_batch(const BatchJob& job, const std::vector<std::string>& inputs, const std::string& output,
                    Console console)
{
    const std::string interrupted = "interrupted; neither this nor what follows was " + std::string(job.done);
    OutputGuard guard(inputs);
    bool failed = false;
    for (const std::string& input : inputs) {
        if (console.stop.load()) {
            report(console, input, interrupted);
            return RunResult::interrupted;
        }
        try {
            if (input.empty()) {
                report(console, input, no_file_name_message);
                failed = true;
                continue;
            }
            const std::string target = output.empty()
                                           ? fs::path(input).replace_extension(job.extension).string()
                                       : output == standard_output_name ? std::string(standard_output_path)
                                                                        : output;
            if (const std::string refusal = guard.refusal(input, target, job.adds); !refusal.empty()) {
                report(console, input, refusal);
                failed = true;
                continue;
            }
            std::ostream& progress = is_standard_output(target) ? console.err : console.out;
            const std::optional<std::string> made = job.make(input, target);
            if (!made) {
                report(console, input, interrupted);
                return RunResult::interrupted;
            }
            guard.written(input, target);
            progress << input << " -> " << target << ": " << *made << std::endl; // a pipeline sees progress
        } catch (const WriteStopped&) { // a signal while the output waited on a pipe
            report(console, input, interrupted);
            return RunResult::interrupted;
        } catch (const std::exception& error) {
            if (console.stop.load()) { // a wait on a pipe that the signal cut short
                report(console, input, interrupted);
                return RunResult::interrupted;
            }
            report(console, input, job.failure ? job.failure(error) : std::string(error.what()));
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

std::string failure_with_derive_hint(const std::exception& error, bool derive,
                                     const std::vector<std::size_t>& derived)
{
    if (derive || derived.empty()) {
        return error.what();
    }
    return error.what() + std::string(derive_hint) + std::string(derived_columns[derived.back()].inputs) +
           ")";
}

} // namespace quillonde::cli
