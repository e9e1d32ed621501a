// Times the Profile window in a real window on a generated cast, from each user action until the
// plot is painted and on the X server: the double-click on a List1 entry, a zoom key, a pan key, a
// drag-zoom and a pointer move, for one column and for SOUND, Temp and SALIN side by side, and the
// side-by-side plot redrawn after a load; a first paint "cold" finds nothing read ahead. Run it under Xvfb
// (the offscreen platform paints into an image only):
//   xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" env QT_QPA_PLATFORM=xcb profile_window_bench [ROWS
//   [RUNS]]
// defaults: 1000000 rows, 5 runs.
#include "median.h"

#include "loaded_window.h"
#include "ui/profile_window.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using quillonde::bench::median;
using Clock = std::chrono::steady_clock;

/// Counts the paint events of the plot.
class PaintCounter : public QObject {
public:
    int painted = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->objectName() == QStringLiteral("plot")) {
            ++painted;
        }
        return false;
    }
};

PaintCounter* counter = nullptr;

/// Seconds from `act` until the plot has painted and the X server has it; negative if it never did.
double time_to_painted(const std::function<void()>& act)
{
    const int before = counter->painted;
    const auto start = Clock::now();
    act();
    QElapsedTimer waited;
    waited.start();
    while (counter->painted == before && waited.elapsed() < 10'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QGuiApplication::sync(); // a round trip: the server has drawn what was sent before it
    return counter->painted == before ? -1.0 : std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toUtf8() + "/quillonde-profile-window-bench");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        std::fprintf(stderr,
                     "profile_window_bench: on %s, not a real window; run it under xvfb-run with "
                     "QT_QPA_PLATFORM=xcb\n",
                     qPrintable(QGuiApplication::platformName()));
    }
    PaintCounter paints;
    counter = &paints;
    app.installEventFilter(&paints);

    quillonde::bench::LoadedWindow loaded(rows);
    quillonde::Form1& window = loaded.window;
    QListWidget* list = loaded.list;
    std::map<std::string, std::vector<double>> figures;
    const QPoint sound = loaded.entry("SOUND");
    const QPoint temp = loaded.entry("Temp");
    auto* profile = window.findChild<quillonde::ProfileWindow*>();
    const auto double_click = [&](QPoint at) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        return time_to_painted([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at); });
    };
    for (int run = 0; run < runs; ++run) {
        // As after a load: the window reads the table anew. A double-click at once finds nothing
        // read ahead yet (cold); one a second later finds SOUND, Temp and SALIN read.
        emit window.table_changed();
        figures["one column: first paint, cold"].push_back(double_click(temp));
        profile->close();
        emit window.table_changed();
        QTest::qWait(1500);
        figures["one column: first paint"].push_back(double_click(sound));
        QWidget* view = profile->findChild<QWidget*>(QStringLiteral("plot"));
        auto* chooser = profile->findChild<QComboBox*>(QStringLiteral("chooser"));
        if (!QTest::qWaitForWindowExposed(profile)) {
            std::fprintf(stderr, "profile_window_bench: the Profile window never showed\n");
            return 1;
        }

        const auto interactions = [&](const std::string& which) {
            QWidget* focused = QApplication::focusWidget();
            QWidget* keys = focused != nullptr ? focused : view;
            figures[which + ": zoom key (+)"].push_back(
                time_to_painted([&] { QTest::keyClick(keys, Qt::Key_Plus); }));
            figures[which + ": pan key (Down)"].push_back(
                time_to_painted([&] { QTest::keyClick(keys, Qt::Key_Down); }));
            const QRect area = view->rect();
            const QPoint from(area.width() / 3, area.height() / 4);
            const QPoint to(area.width() / 3, area.height() / 2);
            figures[which + ": drag-zoom"].push_back(time_to_painted([&] {
                QTest::mousePress(view, Qt::LeftButton, {}, from);
                QTest::mouseMove(view, to);
                QTest::mouseRelease(view, Qt::LeftButton, {}, to);
            }));
            figures[which + ": pointer move"].push_back(time_to_painted([&] {
                const QPointF to_point(area.width() / 4.0, area.height() / 3.0 + run);
                QMouseEvent move(QEvent::MouseMove, to_point, view->mapToGlobal(to_point), Qt::NoButton,
                                 Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(view, &move);
            }));
            figures[which + ": show all (Home)"].push_back(
                time_to_painted([&] { QTest::keyClick(keys, Qt::Key_Home); }));
        };
        interactions("one column");
        figures["side by side: chosen, first paint"].push_back(time_to_painted([&] {
            chooser->setCurrentIndex(0);
            emit chooser->activated(0);
        }));
        interactions("side by side");
        figures["side by side: redrawn after a load, cold"].push_back(
            time_to_painted([&] { emit window.table_changed(); }));
        std::printf("run %d:", run + 1);
        for (const auto& [name, times] : figures) {
            std::printf(" %s %.0f ms;", name.c_str(), times.back() * 1000);
        }
        std::printf("\n");
        profile->close();
        QTest::qWait(50);
    }
    std::printf("%d rows on %s, median of %d runs (goal: first paint 150 ms, every other 50 ms):\n", rows,
                qPrintable(QGuiApplication::platformName()), runs);
    for (const auto& [name, times] : figures) {
        std::printf("  %-40s %6.1f ms\n", name.c_str(), median(times) * 1000);
    }
    return 0;
}
