// Converts many generated casts in one quillonde-cli call and compares the peak resident memory and
// the time per file with converting a single one of them.
//   cli_bench [CASTS [ROWS [RUNS]]]      defaults: 50 casts of 100000 rows, 5 runs
#include "child_run.h"
#include "median.h"

#include "cast_generator.h"

#include <algorithm>
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

/// Runs quillonde-cli with `arguments`, its output thrown away, and measures that child alone.
ChildRun run_cli(const std::vector<std::string>& arguments)
{
    std::vector<std::string> texts = {QUILLONDE_CLI};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    return quillonde::bench::run_child(texts, "cli_bench", true);
}

} // namespace

int main(int argc, char** argv)
{
    const int casts = argc > 1 ? std::atoi(argv[1]) : 50;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 100'000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    if (casts < 1 || rows < 1 || runs < 1) {
        std::fprintf(stderr, "usage: cli_bench [CASTS [ROWS [RUNS]]]\n");
        return 2;
    }

    const fs::path folder = fs::temp_directory_path() / ("quillonde-cli-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::vector<std::string> batch = {"convert", "--salt", "--latitude", "54"};
    quillonde::bench::CastShape shape;
    shape.rows = rows;
    for (int k = 1; k <= casts; ++k) {
        shape.seed = static_cast<std::uint32_t>(k);
        const std::string cast = (folder / ("cast" + std::to_string(k) + ".TOB")).string();
        quillonde::bench::write_cast(cast, shape);
        batch.push_back(cast);
    }
    const std::vector<std::string> single(batch.begin(), batch.begin() + 5);

    std::vector<double> single_s, single_mib, batch_s, batch_mib;
    for (int run = 0; run < runs; ++run) {
        const ChildRun one = run_cli(single);
        const ChildRun all = run_cli(batch);
        single_s.push_back(one.seconds);
        single_mib.push_back(one.peak_mib);
        batch_s.push_back(all.seconds / casts);
        batch_mib.push_back(all.peak_mib);
        std::printf("run %d: 1 cast %.3f s, %.1f MiB; %d casts %.3f s (%.4f s per file), %.1f MiB\n", run + 1,
                    one.seconds, one.peak_mib, casts, all.seconds, all.seconds / casts, all.peak_mib);
    }
    const double cast_mib = static_cast<double>(fs::file_size(folder / "cast1.TOB")) / (1 << 20);
    fs::remove_all(folder);

    std::printf("%d casts of %d rows, %.1f MiB each; median of %d runs:\n", casts, rows, cast_mib, runs);
    std::printf("  1 cast:   %.4f s per file, peak resident memory %.1f MiB\n", median(single_s),
                median(single_mib));
    std::printf("  %d casts: %.4f s per file, peak resident memory %.1f MiB\n", casts, median(batch_s),
                median(batch_mib));
    std::printf("  peak memory of the batch / of one cast = %.3f\n", median(batch_mib) / median(single_mib));
    return 0;
}
