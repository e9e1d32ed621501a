#include "cli/batch.h"

#include "profile/output_file.h"
#include "runtime/error.h"

namespace quillonde::cli {

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

OutputGuard::OutputGuard(const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        inputs_.insert(comparable_path(input));
    }
}

std::string OutputGuard::refusal(const std::string& input, const std::string& output) const
{
    const std::string shown = quoted(output, std::string_view::npos);
    const std::filesystem::path target = comparable_path(output);
    if (same_file(input, output) || inputs_.contains(target)) {
        return "the output " + shown + " is one of the inputs; it is left as it is";
    }
    if (const auto earlier = written_.find(target); earlier != written_.end()) {
        return "the output " + shown + " has already been written from " +
               quoted(earlier->second, std::string_view::npos) + "; it is left as it is";
    }
    return {};
}

void OutputGuard::written(const std::string& input, const std::string& output)
{
    written_.emplace(comparable_path(output), input);
}

} // namespace quillonde::cli
