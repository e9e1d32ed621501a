// Times the load and the export of the same synthetic cast as a Sea & Sun *.TOB and as a Sea-Bird
// *.cnv, in one run each round, and prints both and their ratio.
//   format_bench [ROWS [RUNS]]          1,000,000 rows and 5 runs unless given
#include "cast_generator.h"
#include "median.h"

#include "form/export.h"
#include "form/headless_controls.h"
#include "form/loader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// Loads `cast` and writes its profile to `profile`, as the batch tool does in salt water at 54
/// degrees; returns the seconds taken.
double convert_seconds(const std::string& cast, const std::string& profile, std::int32_t& lines)
{
    quillonde::HeadlessControls controls;
    controls.set_water(quillonde::OptionButton::op_salt);
    controls.set_text(quillonde::TextBox::tx_lat, "54");
    controls.set_answerer([](const quillonde::Question&) { return true; });
    quillonde::ProfileState state;
    controls.set_text(quillonde::TextBox::tx_ss_file, cast);
    controls.set_text(quillonde::TextBox::tx_out, profile);
    const auto start = Clock::now();
    quillonde::load_data_file(controls, state);
    lines = quillonde::export_profile(controls, state).profile_lines;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    quillonde::bench::CastShape shape;
    shape.rows = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (shape.rows < 1 || runs < 1) {
        std::fprintf(stderr, "usage: format_bench [ROWS [RUNS]]\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::string tob = (folder / "format_bench.TOB").string();
    const std::string cnv = (folder / "format_bench.cnv").string();
    const std::string profile = (folder / "format_bench.sva").string();
    quillonde::bench::write_cast(tob, shape);
    quillonde::bench::write_cnv(cnv, shape);

    std::vector<double> tob_s, cnv_s, ratios;
    std::int32_t tob_lines = 0;
    std::int32_t cnv_lines = 0;
    for (int run = 1; run <= runs; ++run) {
        tob_s.push_back(convert_seconds(tob, profile, tob_lines));
        cnv_s.push_back(convert_seconds(cnv, profile, cnv_lines));
        ratios.push_back(cnv_s.back() / tob_s.back());
        std::printf("run %d: .TOB %.3f s, .cnv %.3f s, .cnv / .TOB = %.2f\n", run, tob_s.back(), cnv_s.back(),
                    ratios.back());
    }
    std::printf("%d rows (%.1f MiB .TOB, %.1f MiB .cnv), %d and %d profile lines\n", shape.rows,
                static_cast<double>(std::filesystem::file_size(tob)) / (1 << 20),
                static_cast<double>(std::filesystem::file_size(cnv)) / (1 << 20), tob_lines, cnv_lines);
    const double ratio = quillonde::bench::median(ratios);
    std::printf("median of %d: .TOB %.3f s, .cnv %.3f s, .cnv / .TOB = %.2f (%s 1.3)\n", runs,
                quillonde::bench::median(tob_s), quillonde::bench::median(cnv_s), ratio,
                ratio <= 1.3 ? "within" : "beyond");
    for (const std::string& file : {tob, cnv, profile}) {
        std::filesystem::remove(file);
    }
    return 0;
}
