#include "cli/send_command.h"

#include "cli/batch.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "runtime/error.h"

#include <exception>
#include <optional>
#include <vector>

namespace quillonde::cli {

namespace {

constexpr std::string_view not_sent = "nothing was sent";
constexpr std::string_view warning_prefix = "warning: ";
constexpr std::string_view strict_prefix = "refused by --strict: ";

} // namespace

RunResult send_cast(const Water& water, const std::string& input, const SendOptions& options, Console console,
                    const Resolver& resolver)
{
    HeadlessControls controls = controls_for(water, console.stop);
    std::optional<Error> refusal;
    std::vector<std::size_t> derived;
    controls.set_fixer([&](const FixRequest& request) { return options_fix(request, options.fix, refusal); });
    const auto warn = [&](const std::string& reasons) {
        if (options.strict) {
            throw Error(ErrorKind::refused, std::string(strict_prefix) + reasons);
        }
        report(console, input, std::string(warning_prefix) + reasons);
    };
    controls.set_answerer([&](const Question& question) {
        switch (question.kind) {
        case QuestionKind::export_anyway: warn(reasons_text(question.doubts)); return true;
        case QuestionKind::compute_column: derived.push_back(question.derived); return options.derive;
        case QuestionKind::computed_notes: warn(notes_text(question.notes)); return true;
        case QuestionKind::far_latitude:
            throw Error(ErrorKind::refused, far_latitude_text(question.latitude));
        case QuestionKind::replace_file:
        case QuestionKind::add_or_replace: break; // nothing is written
        }
        return false;
    });
    ProfileState state;
    try {
        controls.set_text(TextBox::tx_ss_file, input);
        if (load_data_file(controls, state) == LoadOutcome::stopped) {
            return RunResult::interrupted;
        }
        const SendOutcome outcome = send_profile(controls, state, options.request, resolver);
        if (!outcome.sent) {
            throw refusal.value_or(Error(ErrorKind::refused, std::string(not_sent)));
        }
        for (const std::string& note : outcome.notes) {
            report(console, input, note);
        }
        console.out << outcome.status << '\n';
        return RunResult::all_done;
    } catch (const std::exception& error) {
        report(console, input, failure_with_derive_hint(error, options.derive, derived));
        return console.stop.load() ? RunResult::interrupted : RunResult::some_failed;
    }
}

} // namespace quillonde::cli
