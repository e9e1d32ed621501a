// A load of arbitrary file contents, then its export as an ELAC file and in one other format (the
// first byte chooses: Kongsberg, CARIS, CARIS added to a file of another section, HYPACK, CSV).
// The other export either fails, or is stopped, and leaves the target as it was, or writes a file
// that the program's own readers read back to the ELAC file's depths and sound speeds.

#include "fuzz_support.h"

#include "form/cast_fix.h"
#include "form/export.h"
#include "form/loader.h"
#include "form/questions.h"
#include "profile/sounder_shaping.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace quillonde;

constexpr std::string_view previous_profile = "the previous profile\n";
// Written to 0.01 m from the exact depth, where the ELAC file has 0.1 m; speeds to 0.01 m/s in both.
constexpr double depth_tolerance_m = 0.0501;
constexpr double sound_tolerance_m_s = 0.0051;

struct Target {
    std::string_view name;
    std::string_view previous;
};

constexpr std::string_view other_section = "[SVP_VERSION_2]\r\nsurvey.svp\r\nSection 1999-001 00:00:00 "
                                           "1:00:00.00 2:00:00.00\r\n1.00 1400.00\r\n";

constexpr std::array<Target, 5> targets = {{
    {"profile.asvp", previous_profile},
    {"profile.svp", previous_profile},
    {"survey.svp", other_section},
    {"profile.vel", previous_profile},
    {"profile.csv", previous_profile},
}};

/// The depth and sound speed of each line of a checked ELAC file.
std::vector<std::pair<double, double>> sva_lines(std::string_view file)
{
    std::vector<std::pair<double, double>> lines;
    const std::vector<std::string_view> rows = split_at(file, '\n');
    for (std::size_t k = 2; k < rows.size(); ++k) { // after the header and its empty line
        const std::vector<std::string_view> fields = split_at(rows[k], '\t');
        if (fields.size() > 2) {
            lines.emplace_back(fuzz::c_strtod(std::string(fields[0])),
                               fuzz::c_strtod(std::string(fields[1])));
        }
    }
    return lines;
}

/// Reads `path` back as a cast and checks that its rows are lines of `sva`, in order (all of them
/// where the format took every line), `lines` of them.
void check_read_back(const std::string& path, const std::vector<std::pair<double, double>>& sva,
                     std::int32_t lines)
{
    HeadlessControls controls;
    controls.set_text(TextBox::tx_ss_file, path);
    ProfileState back;
    try {
        fuzz::require(load_data_file(controls, back) == LoadOutcome::loaded, "the written file did not load");
    } catch (const Error& error) {
        fuzz::fail("the written file does not read back: " + std::string(error.what()));
    }
    const std::int32_t sound = back.cast.column_named("SOUND");
    fuzz::require(sound >= 0, "the written file reads back without sound speeds");
    fuzz::require(back.g_table.last_row() == lines, "the written file reads back to another count of lines");
    // Beside the .sva's lines, the export adds for other formats the cast's deepest sample after
    // the thinned lines, and for SIS a 0 m line first (the first sound speed) and the 12000 m line
    // last.
    const std::int32_t last = back.g_table.last_row();
    std::size_t at = 0;
    for (std::int32_t row = 1; row <= last; ++row) {
        const std::optional<double> depth_m = back.g_table.exact_depth_m(row);
        const Sample speed = back.g_table.sample(sound, row);
        fuzz::require(depth_m.has_value() && speed.flag == SampleFlag::good,
                      "a line reads back without a value");
        if ((row == 1 && *depth_m == 0.0) ||
            (row == last && *depth_m == extension_depth_m && speed.value == extension_speed_m_s)) {
            continue;
        }
        std::size_t match = at;
        while (match < sva.size() && !(std::fabs(sva[match].first - *depth_m) <= depth_tolerance_m &&
                                       std::fabs(sva[match].second - speed.value) <= sound_tolerance_m_s)) {
            ++match;
        }
        if (match == sva.size()) {
            const bool deepest = sva.empty() || *depth_m >= sva.back().first - depth_tolerance_m;
            fuzz::require(deepest && (row == last || row == last - 1),
                          "a line reads back to a depth or sound speed the profile does not hold");
            continue;
        }
        at = match + 1;
    }
    fuzz::require(static_cast<std::size_t>(lines) == sva.size() || lines <= 1000,
                  "lines were left out of a profile the format takes whole");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return -1;
    }
    const Target& chosen = targets[data[0] % targets.size()];
    fuzz::FuzzWindow window;
    ProfileState state;
    if (!fuzz::load_input({reinterpret_cast<const char*>(data) + 1, size - 1}, window, state)) {
        return -1;
    }
    static const std::string sva = fuzz::scratch_file("profile.sva");
    fuzz::write_file(sva, previous_profile);
    window.set_text(TextBox::tx_out, sva);
    ExportOutcome first;
    try {
        first = export_profile(window, state);
    } catch (const Error&) {
        return 0; // the export fuzzer checks this path
    }
    if (!first.written || first.stopped) {
        return 0;
    }
    const std::vector<std::pair<double, double>> lines = sva_lines(fuzz::read_file(sva));

    const std::string target = fuzz::scratch_file(chosen.name);
    fuzz::write_file(target, chosen.previous);
    window.set_text(TextBox::tx_out, target);
    window.set_chooser([](const Question&) { return add_section_answer; });
    window.set_fixer([](const FixRequest&) {
        return CastFix{54.25, -11.5, *utc_time_of("2024-05-01T13:45:00Z")};
    });
    try {
        const ExportOutcome outcome = export_profile(window, state);
        if (outcome.stopped) {
            fuzz::require(fuzz::read_file(target) == chosen.previous, "a stopped export changed the target");
        } else {
            fuzz::require(outcome.written, "the export wrote nothing to a chosen path");
            fuzz::require(outcome.added == (chosen.previous == other_section),
                          "the cast was added where it was not asked");
            std::string written = fuzz::read_file(target);
            if (outcome.added) {
                fuzz::require(written.starts_with(chosen.previous),
                              "an added cast changed the sections before it");
                // The section added, read as a file of its own.
                written = "[SVP_VERSION_2]\r\nadded.svp\r\n" + written.substr(chosen.previous.size());
                fuzz::write_file(target, written);
            }
            fuzz::require(written.find('\0') == std::string::npos, "the file holds a NUL");
            if (outcome.profile_lines > 0) { // a file of no line is a matter of its own
                check_read_back(target, lines, outcome.profile_lines);
            }
        }
    } catch (const Error& error) {
        fuzz::require(!error.detail().empty(), "an error without a message");
        fuzz::require(fuzz::read_file(target) == chosen.previous, "a failed export changed the target");
    }
    std::filesystem::remove(target);
    return 0;
}
