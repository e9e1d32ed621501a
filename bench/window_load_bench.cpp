// Times the load of a cast through the live window (offscreen) against the headless load in the
// same run, and reports the longest stretch the window went without an event round.
//   window_load_bench CAST [RUNS]
#include "median.h"

#include "form/headless_controls.h"
#include "form/loader.h"
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using quillonde::bench::median;

using Clock = std::chrono::steady_clock;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_load_bench CAST [RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const std::string cast = argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

    quillonde::Form1 window;
    window.show();
    window.file_dialog().set_runner(
        [&](const quillonde::FileDialog::Request&) { return QString::fromStdString(cast); });
    window.set_error_presenter([](const QString& message) {
        std::fprintf(stderr, "window_load_bench: %s\n", message.toUtf8().constData());
        std::exit(1);
    });
    auto* load_button = window.findChild<QPushButton*>(QStringLiteral("Command2"));

    std::vector<double> headless_s;
    std::vector<double> window_s;
    std::vector<double> gaps_ms;
    for (int run = 0; run < runs; ++run) {
        {
            quillonde::HeadlessControls controls;
            quillonde::ProfileState state;
            controls.set_text(quillonde::TextBox::tx_ss_file, cast);
            const auto start = Clock::now();
            quillonde::load_data_file(controls, state);
            headless_s.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        }
        const auto start = Clock::now();
        load_button->click();
        window_s.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        gaps_ms.push_back(window.longest_event_gap_ms());
        std::printf("run %d: headless %.3f s, window %.3f s, %d event rounds, longest gap %.1f ms\n", run + 1,
                    headless_s.back(), window_s.back(), window.event_rounds(), gaps_ms.back());
    }
    std::printf(
        "median of %d: headless %.3f s, window %.3f s, window / headless = %.2f, longest gap %.1f ms\n", runs,
        median(headless_s), median(window_s), median(window_s) / median(headless_s),
        *std::max_element(gaps_ms.begin(), gaps_ms.end()));
    return 0;
}
