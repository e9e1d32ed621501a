// A load of arbitrary file contents, then an export of whatever the load left: the export either
// fails, or is stopped by the window closing, and leaves the target and its folder as they were, or
// writes a well-formed ELAC file.

#include "fuzz_support.h"

#include "form/export.h"
#include "form/loader.h"
#include "runtime/error.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view previous_profile = "the previous profile\n";

std::size_t scratch_entries(const std::string& target)
{
    const auto entries = std::filesystem::directory_iterator(std::filesystem::path(target).parent_path());
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillonde;
    fuzz::FuzzWindow window;
    ProfileState state;
    if (!fuzz::load_input({reinterpret_cast<const char*>(data), size}, window, state)) {
        return -1;
    }
    static const std::string target = fuzz::scratch_file("profile.sva");
    fuzz::write_file(target, previous_profile);
    window.set_text(TextBox::tx_out, target);
    bool upcast = false; // written from a cast recorded on the way up: the status says so
    try {
        const ExportOutcome outcome = export_profile(window, state);
        upcast = outcome.written && outcome.from_upcast;
        fuzz::require(!outcome.written ||
                          outcome.from_upcast == (export_row_order(state) == RowOrder::upcast),
                      "the outcome and the row order disagree on the upcast");
        if (outcome.stopped) { // the window closed before the file took the target's place
            fuzz::require(fuzz::read_file(target) == previous_profile, "a stopped export changed the target");
        } else {
            fuzz::require(outcome.written, "the export wrote nothing to a chosen path");
            fuzz::check_sva(fuzz::read_file(target), outcome.profile_lines, state.cast.rules.profile);
        }
    } catch (const Error& error) {
        fuzz::require(!error.detail().empty(), "an error without a message");
        fuzz::require(fuzz::read_file(target) == previous_profile, "a failed export changed the target");
    }
    fuzz::require(window.caption(Label::Label6) == (upcast ? status_upcast : status_idle),
                  "the status caption was left busy");
    // The cast and the target, and no temporary file left behind.
    fuzz::require(scratch_entries(target) == 2, "the export left a stray file");
    return 0;
}
