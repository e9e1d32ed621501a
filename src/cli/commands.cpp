#include "cli/commands.h"

#include "form/calculate.h"
#include "form/export.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "profile/output_file.h"
#include "runtime/error.h"

#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>

namespace quillonde::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view sva_extension = ".sva";
constexpr std::string_view no_file_name_message = "no file name given";
constexpr std::string_view interrupted_message = "interrupted; neither this nor what follows was converted";

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

/// A question's reasons as a message: the text before its closing question, without the full stop,
/// beginning in lower case ("the cast declares 250 rows; 122 were read").
std::string reasons_of(std::string_view question)
{
    for (const std::string_view closing : {export_them_question, export_as_loaded_question}) {
        if (question.ends_with(closing)) {
            question.remove_suffix(closing.size());
        }
    }
    while (!question.empty() && (question.back() == ' ' || question.back() == '.')) {
        question.remove_suffix(1);
    }
    std::string reasons(question);
    if (!reasons.empty() && reasons.front() >= 'A' && reasons.front() <= 'Z') {
        reasons.front() = static_cast<char>(reasons.front() - 'A' + 'a');
    }
    return reasons;
}

/// How the tool answers the handlers' questions: as the command line asked, saying on standard error
/// why a profile may not be what the user expects.
bool answer(Console console, std::string_view input, Question question, std::string_view text)
{
    switch (question) {
    case Question::replace_file: return true; // the command line named the output
    case Question::export_anyway: report(console, input, "warning: " + reasons_of(text)); return true;
    case Question::compute_column: return false;
    }
    return false;
}

/// Keeps the casts of one command from being overwritten by it: no output may be one of its inputs
/// or a file it has already written.
class OutputGuard {
public:
    explicit OutputGuard(const std::vector<std::string>& inputs)
    {
        for (const std::string& input : inputs) {
            inputs_.insert(comparable_path(input));
        }
    }

    /// Why `output` must not be written for `input`, or an empty text.
    std::string refusal(const std::string& input, const std::string& output) const
    {
        const std::string shown = quoted(output, std::string_view::npos);
        const fs::path target = comparable_path(output);
        if (same_file(input, output) || inputs_.contains(target)) {
            return "the output " + shown + " is one of the inputs; it is left as it is";
        }
        if (const auto earlier = written_.find(target); earlier != written_.end()) {
            return "the output " + shown + " has already been written from " +
                   quoted(earlier->second, std::string_view::npos) + "; it is left as it is";
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

RunResult print_depths(const Water& water, const std::vector<std::string>& pressures, Console console)
{
    HeadlessControls controls = controls_for(water, console.stop);
    bool failed = false;
    for (const std::string& pressure : pressures) {
        if (console.stop.load()) {
            report(console, pressure, interrupted_message);
            return RunResult::interrupted;
        }
        controls.set_text(TextBox::tx_press, pressure);
        try {
            calculate_depth(controls);
            console.out << controls.caption(Label::lb_depth).substr(depth_caption_prefix.size()) << '\n';
        } catch (const std::exception& error) {
            report(console, pressure, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

RunResult convert_casts(const Water& water, const std::vector<std::string>& inputs, const std::string& output,
                        Console console)
{
    HeadlessControls controls = controls_for(water, console.stop);
    std::string current_input;
    controls.set_answerer([&](Question question, std::string_view text) {
        return answer(console, current_input, question, text);
    });
    // One table for every cast: each load replaces it, so memory does not grow with the batch.
    ProfileState state;
    OutputGuard guard(inputs);
    bool failed = false;
    for (const std::string& input : inputs) {
        if (console.stop.load()) {
            report(console, input, interrupted_message);
            return RunResult::interrupted;
        }
        try {
            current_input = input;
            if (input.empty()) {
                report(console, input, no_file_name_message);
                failed = true;
                continue;
            }
            const std::string target =
                output.empty() ? fs::path(input).replace_extension(sva_extension).string() : output;
            if (const std::string refusal = guard.refusal(input, target); !refusal.empty()) {
                report(console, input, refusal);
                failed = true;
                continue;
            }
            controls.set_text(TextBox::tx_ss_file, input);
            if (load_data_file(controls, state) == LoadOutcome::stopped) {
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            controls.set_text(TextBox::tx_out, target);
            const ExportOutcome exported = export_profile(controls, state);
            guard.written(input, target);
            console.out << input << " -> " << target << ": " << state.g_table.filled_rows() << " rows, "
                        << exported.profile_lines << " profile lines"
                        << std::endl; // a pipeline sees progress
        } catch (const std::exception& error) {
            report(console, input, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

} // namespace quillonde::cli
