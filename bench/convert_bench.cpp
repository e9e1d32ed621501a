// The batch tool's convert of a long cast, against what reading the file costs at least: for a
// generated Sea & Sun cast, the median of several runs of `quillonde-cli convert --salt --latitude
// 54` against `wc -l` on the same file and, where given, against another build of quillonde-cli;
// its peak resident memory against the file's size; and the same rows as a Sea-Bird *.cnv against
// the *.TOB.
//   convert_bench [--baseline OTHER_QUILLONDE_CLI] [ROWS [RUNS]]     1,000,000 rows, 5 runs by default
#include "cast_generator.h"
#include "child_run.h"
#include "median.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using quillonde::bench::median;
namespace fs = std::filesystem;

using quillonde::bench::ChildRun;

/// Runs `arguments` (the program first), its output thrown away, and measures that child alone.
ChildRun run(const std::vector<std::string>& arguments)
{
    return quillonde::bench::run_child(arguments, "convert_bench");
}

/// The convert of `cast` into `profile` by the batch tool `cli`, which must write the profile.
ChildRun convert(const std::string& cli, const std::string& cast, const std::string& profile)
{
    fs::remove(profile);
    const ChildRun measure = run({cli, "convert", "--salt", "--latitude", "54", "-o", profile, cast});
    if (!fs::exists(profile) || fs::file_size(profile) < 100) {
        std::fprintf(stderr, "convert_bench: %s wrote no profile of %s\n", cli.c_str(), cast.c_str());
        std::exit(1);
    }
    return measure;
}

} // namespace

int main(int argc, char** argv)
{
    std::string baseline;
    std::vector<std::string> numbers;
    for (int k = 1; k < argc; ++k) {
        if (std::string(argv[k]) == "--baseline" && k + 1 < argc) {
            baseline = argv[++k];
        } else {
            numbers.emplace_back(argv[k]);
        }
    }
    quillonde::bench::CastShape shape;
    shape.rows = numbers.size() > 0 ? std::atoi(numbers[0].c_str()) : 1'000'000;
    const int runs = numbers.size() > 1 ? std::atoi(numbers[1].c_str()) : 5;
    if (shape.rows < 1 || runs < 1 || numbers.size() > 2) {
        std::fprintf(stderr, "usage: convert_bench [--baseline OTHER_QUILLONDE_CLI] [ROWS [RUNS]]\n");
        return 2;
    }
    const fs::path folder =
        fs::temp_directory_path() / ("quillonde-convert-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string tob = (folder / "cast.TOB").string();
    const std::string cnv = (folder / "cast.cnv").string();
    const std::string profile = (folder / "profile.sva").string();
    quillonde::bench::write_cast(tob, shape);
    quillonde::bench::write_cnv(cnv, shape);
    const double file_mib = static_cast<double>(fs::file_size(tob)) / (1 << 20);

    std::vector<double> wc_s, tob_s, base_s, cnv_s, peak_mib;
    for (int k = 1; k <= runs; ++k) {
        wc_s.push_back(run({"wc", "-l", tob}).seconds);
        const ChildRun converted = convert(QUILLONDE_CLI, tob, profile);
        tob_s.push_back(converted.seconds);
        peak_mib.push_back(converted.peak_mib);
        if (!baseline.empty()) {
            base_s.push_back(convert(baseline, tob, profile).seconds);
        }
        cnv_s.push_back(convert(QUILLONDE_CLI, cnv, profile).seconds);
        std::printf("run %d: wc -l %.3f s, .TOB %.3f s (%.1f MiB)", k, wc_s.back(), tob_s.back(),
                    peak_mib.back());
        if (!baseline.empty()) {
            std::printf(", baseline %.3f s", base_s.back());
        }
        std::printf(", .cnv %.3f s\n", cnv_s.back());
    }
    fs::remove_all(folder);

    const double tob_median = median(tob_s);
    std::printf("%d rows, .TOB %.1f MiB; median of %d runs:\n", shape.rows, file_mib, runs);
    std::printf("  convert .TOB %.3f s = %.1f x wc -l (%.3f s; goal at most 10)\n", tob_median,
                tob_median / median(wc_s), median(wc_s));
    if (!baseline.empty()) {
        std::printf("  baseline     %.3f s = %.1f x wc -l: this build takes %.2f of its time\n",
                    median(base_s), median(base_s) / median(wc_s), tob_median / median(base_s));
    }
    std::printf("  peak memory  %.1f MiB = %.2f x the file (goal at most 2)\n", median(peak_mib),
                median(peak_mib) / file_mib);
    std::printf("  convert .cnv %.3f s = %.2f x the .TOB (goal at most 1.3)\n", median(cnv_s),
                median(cnv_s) / tob_median);
    return 0;
}
