// Times the Profile window from a double-click on a List1 entry until the plot is painted, for a
// generated cast just loaded, and quillonde-cli plot of a real cast from start to finish (start-up
// included). Offscreen, painting into an image; profile_window_bench times a real window.
//   plot_bench [ROWS [RUNS]]      defaults: 1000000 rows, 5 runs
#include "median.h"

#include "loaded_window.h"
#include "ui/profile_window.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QProcess>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using quillonde::bench::median;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toUtf8() + "/quillonde-plot-bench");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    quillonde::bench::LoadedWindow loaded(rows);
    quillonde::Form1& window = loaded.window;
    QTemporaryDir& folder = loaded.folder;

    std::vector<double> open_s;
    std::vector<double> three_s;
    for (int run = 0; run < runs; ++run) {
        const char* name = run % 2 == 0 ? "SOUND" : "Temp";
        emit window.table_changed(); // as after a load: nothing read yet
        const QPoint at = loaded.entry(name);
        const auto start = Clock::now();
        QTest::mouseClick(loaded.list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(loaded.list->viewport(), Qt::LeftButton, {}, at);
        auto* profile = window.findChild<quillonde::ProfileWindow*>();
        QWidget* view = profile->findChild<QWidget*>(QStringLiteral("plot"));
        view->repaint();
        open_s.push_back(seconds_since(start));

        auto* chooser = profile->findChild<QComboBox*>(QStringLiteral("chooser"));
        const auto switched = Clock::now();
        chooser->setCurrentIndex(0);
        emit chooser->activated(0);
        view->repaint();
        three_s.push_back(seconds_since(switched));
        profile->close();
        std::printf("run %d: double-click to painted %.3f s; SOUND, Temp, SALIN side by side %.3f s\n",
                    run + 1, open_s.back(), three_s.back());
    }

    std::vector<double> cli_s;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        QProcess cli;
        cli.start(QStringLiteral(QUILLONDE_CLI),
                  {QStringLiteral("plot"), QStringLiteral("--salt"), QStringLiteral("--latitude"),
                   QStringLiteral("54"), QStringLiteral("-o"), folder.filePath(QStringLiteral("deneb.svg")),
                   QStringLiteral(QUILLONDE_DENEB)});
        if (!cli.waitForFinished() || cli.exitCode() != 0) {
            std::fprintf(stderr, "plot_bench: quillonde-cli plot failed\n");
            return 1;
        }
        cli_s.push_back(seconds_since(start));
    }
    std::printf("%d rows, median of %d: double-click to painted %.3f s (goal 0.15 s), three side by side "
                "%.3f s; quillonde-cli plot of deneb, start-up included %.3f s\n",
                rows, runs, median(open_s), median(three_s), median(cli_s));
    return 0;
}
