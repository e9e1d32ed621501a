// Times the headless load and the export of a cast against `wc -l` on the same file, and reports
// the peak resident memory.
//   load_bench CAST [RUNS]
#include "median.h"

#include "form/export.h"
#include "form/headless_controls.h"
#include "form/loader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using quillonde::bench::median;

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peak_resident_kib()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 10, '\n');
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_bench CAST [RUNS]\n");
        return 2;
    }
    const std::string cast = argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string output = (std::filesystem::temp_directory_path() / "load_bench.sva").string();
    const std::string wc = "wc -l '" + cast + "' > /dev/null";

    std::vector<double> wc_s, load_s, export_s;
    std::int32_t lines = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        if (std::system(wc.c_str()) != 0) {
            std::fprintf(stderr, "load_bench: wc -l failed\n");
            return 1;
        }
        wc_s.push_back(seconds_since(start));

        // Sea water, and Yes to every question, as the batch tool answers: an export the window
        // would refuse writes nothing, and times nothing worth knowing.
        quillonde::HeadlessControls controls;
        controls.set_water(quillonde::OptionButton::op_salt);
        controls.set_text(quillonde::TextBox::tx_lat, "54");
        controls.set_answerer([](const quillonde::Question&) { return true; });
        quillonde::ProfileState state;
        controls.set_text(quillonde::TextBox::tx_ss_file, cast);
        controls.set_text(quillonde::TextBox::tx_out, output);
        start = Clock::now();
        quillonde::load_data_file(controls, state);
        load_s.push_back(seconds_since(start));

        start = Clock::now();
        const quillonde::ExportOutcome outcome = quillonde::export_profile(controls, state);
        export_s.push_back(seconds_since(start));
        lines = outcome.profile_lines;
        if (!outcome.written || lines == 0) {
            std::fprintf(stderr, "load_bench: the export wrote no profile of %s\n", cast.c_str());
            return 1;
        }
        std::printf("run %d: wc -l %.3f s, load %.3f s, export %.3f s\n", run + 1, wc_s.back(), load_s.back(),
                    export_s.back());
    }
    std::filesystem::remove(output);

    const double file_mib = static_cast<double>(std::filesystem::file_size(cast)) / (1 << 20);
    const double peak_mib = static_cast<double>(peak_resident_kib()) / 1024.0;
    std::printf("file %.1f MiB, %d profile lines written\n", file_mib, lines);
    std::printf("median of %d: wc -l %.3f s, load %.3f s, export %.3f s\n", runs, median(wc_s),
                median(load_s), median(export_s));
    std::printf("load / wc -l = %.2f, export / load = %.3f\n", median(load_s) / median(wc_s),
                median(export_s) / median(load_s));
    std::printf("peak resident memory %.1f MiB = %.2f x the file\n", peak_mib, peak_mib / file_mib);
    return 0;
}
