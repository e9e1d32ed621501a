// The Profile window as a user drives it: opened from the list, keys and mouse on the plot, the
// picture saved and copied, a reference cast compared.
#include "plot_fixture.h"
#include "ui/profile_window.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QRadioButton>
#include <QWheelEvent>

#include <filesystem>

namespace quillonde {
namespace {

using testing::deneb;

class ProfileWindowTest : public testing::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        load(deneb);
    }

    QListWidgetItem* entry(const char* name)
    {
        return list()->findItems(QString::fromLatin1(name), Qt::MatchExactly).value(0);
    }
    ProfileWindow* profile() { return window.findChild<ProfileWindow*>(); }
    QWidget* view() { return profile()->findChild<QWidget*>(QStringLiteral("plot")); }
    QComboBox* chooser() { return profile()->findChild<QComboBox*>(QStringLiteral("chooser")); }
    QString readout() { return profile()->findChild<QLabel*>(QStringLiteral("readout"))->text(); }
    std::pair<double, double> shown() { return profile()->plot().shown_depths(); }
    /// The pointer moved to `at`, at once (a real X server would move it later).
    QString hover(QPointF at)
    {
        QMouseEvent move(QEvent::MouseMove, at, view()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view(), &move);
        return readout();
    }

    void open_by_double_click(const char* name)
    {
        const QPoint at = list()->visualItemRect(entry(name)).center();
        // As the toolkit sees a double-click: a click, then a press that makes it double.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        ASSERT_TRUE(QTest::qWaitForWindowActive(profile()));
        QTest::qWait(50); // painted: the frames are known
    }
};

TEST_F(ProfileWindowTest, OpensByDoubleClickAndByEnterOnTheEntry)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("Temp"));
    EXPECT_EQ(profile()->plot().shown_columns(), std::vector<std::string>{"Temp"});
    EXPECT_EQ(chooser()->findText(QStringLiteral("Datasets")), -1) << "row numbers are nothing to plot";
    profile()->close();
    list()->setCurrentItem(entry("SALIN"));
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_TRUE(profile()->isVisible());
    EXPECT_EQ(profile()->plot().shown_columns(), std::vector<std::string>{"SALIN"});
    EXPECT_EQ(window.findChildren<ProfileWindow*>().size(), 1);
}

TEST_F(ProfileWindowTest, TheKeysMoveThePlotNotTheChooser)
{
    // Down once switched SOUND to SerNo: the chooser had the focus after a double-click.
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    ASSERT_EQ(QApplication::focusWidget(), view());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Plus);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(chooser()->currentText(), QStringLiteral("SOUND"));
    EXPECT_GT(shown().first, 0.0);

    // After the chooser is used the plot has the keys again; only while it has the focus are
    // they its own.
    chooser()->setFocus();
    QTest::keyClick(chooser(), Qt::Key_Down);
    EXPECT_NE(chooser()->currentText(), QStringLiteral("SOUND"));
    EXPECT_EQ(QApplication::focusWidget(), view());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    EXPECT_FALSE(profile()->plot().zoomed());
}

TEST_F(ProfileWindowTest, DragsAndTheWheelZoomAndADoubleClickShowsAllAgain)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    chooser()->setCurrentIndex(0); // the three side by side
    emit chooser()->activated(0);
    ProfilePlot& plot = profile()->plot();
    EXPECT_EQ(plot.panel_count(), 3U);
    QTest::qWait(50);
    const QRectF frame = plot.panel_frame(1);
    const double from_y = frame.top() + frame.height() * 0.25;
    const double to_y = frame.top() + frame.height() * 0.5;
    const double from_m = *plot.depth_at(from_y);
    const double to_m = *plot.depth_at(to_y);
    QTest::mousePress(view(), Qt::LeftButton, {}, QPointF(frame.center().x(), from_y).toPoint());
    QTest::mouseMove(view(), QPointF(frame.center().x(), to_y).toPoint());
    QTest::mouseRelease(view(), Qt::LeftButton, {}, QPointF(frame.center().x(), to_y).toPoint());
    QTest::qWait(50);
    EXPECT_NEAR(shown().first, from_m, (to_m - from_m) * 0.02);
    EXPECT_NEAR(shown().second, to_m, (to_m - from_m) * 0.02);

    // One notch towards the screen: about the pointer, the depth under it stays.
    const auto [top_m, bottom_m] = shown();
    const QPointF at(frame.center().x(), frame.top() + frame.height() * 0.25);
    const double pointed_m = *plot.depth_at(at.y());
    QWheelEvent wheel(at, view()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view(), &wheel);
    EXPECT_NEAR(*plot.depth_at(at.y()), pointed_m, 1e-9);
    EXPECT_NEAR(shown().second - shown().first, (bottom_m - top_m) * 0.8, 1e-9);

    QTest::mouseDClick(view(), Qt::LeftButton, {}, frame.center().toPoint());
    EXPECT_FALSE(plot.zoomed());
}

TEST_F(ProfileWindowTest, HoverNamesTheNearestRowWithItsUnit)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    ProfilePlot& plot = profile()->plot();
    const auto point = plot.nearest(plot.panel_frame(0).center(), 1e6);
    ASSERT_TRUE(point);
    EXPECT_TRUE(hover(plot.position(0, point->first.depth_m, point->first.value))
                    .startsWith(QStringLiteral("SOUND %1 m/s, downcast, row %2, depth ")
                                    .arg(point->first.value)
                                    .arg(point->first.row)))
        << readout().toStdString();
}

TEST_F(ProfileWindowTest, SavesAndCopiesThePictureByItsKeys)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    QString chosen;
    profile()->picture_dialog().set_runner([&](const FileDialog::Request&) { return chosen; });
    const auto save_as = [&](const char* name) {
        chosen = QString::fromStdString(dir.file(name));
        QTest::keyClick(view(), Qt::Key_S, Qt::ControlModifier);
    };
    save_as("plot.svg");
    save_as("plot"); // a name without a picture's extension gets ".png"
    save_as("plot.pdf");
    EXPECT_TRUE(QByteArray::fromStdString(testing::read_file(dir.file("plot.svg")))
                    .contains("lines the export writes"));
    EXPECT_TRUE(QByteArray::fromStdString(testing::read_file(dir.file("plot.png"))).startsWith("\x89PNG"));
    EXPECT_TRUE(QByteArray::fromStdString(testing::read_file(dir.file("plot.pdf"))).startsWith("%PDF"));

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(qvariant_cast<QImage>(copied->imageData()).size(), view()->size() * 2);
    EXPECT_TRUE(copied->data(QStringLiteral("image/svg+xml")).contains("SOUND [m/s]"));
}

TEST_F(ProfileWindowTest, ComparesWithAReferenceInTheWaterOfThePlottedCast)
{
    control<QRadioButton>("op_salt")->setChecked(true);
    box("tx_lat")->setText(QStringLiteral("54"));
    const std::string cast = dir.write("up.TOB", testing::up_and_down);
    load(cast);
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    std::vector<QString> profile_errors;
    profile()->set_error_presenter([&](const QString& message) { profile_errors.push_back(message); });
    answer = QString::fromStdString(dir.write("yesterday.TOB", testing::up_and_down_reference));
    QTest::mouseClick(profile()->findChild<QPushButton*>(QStringLiteral("reference")), Qt::LeftButton);
    QTest::qWait(50);

    const auto point_at_row_3 = [&] {
        testing::Loaded mirror(cast, "SOUND", control<QRadioButton>("op_salt")->isChecked());
        return hover(profile()->plot().position(0, mirror.depth(3), 1488));
    };
    const QString compared = QStringLiteral(" \u00b7 SOUND -0.50 m/s against the reference");
    EXPECT_TRUE(point_at_row_3().endsWith(compared)) << point_at_row_3().toStdString();
    // Its depths follow those of the cast: loaded again in fresh water, the comparison holds.
    control<QRadioButton>("op_fresh")->setChecked(true);
    load(cast);
    QTest::qWait(50);
    EXPECT_TRUE(point_at_row_3().endsWith(compared)) << point_at_row_3().toStdString();

    // A file that is no cast leaves the reference as it was, and says why.
    answer = QString::fromStdString(dir.write("notes.txt", "Yesterday's cast is in the other folder.\n"));
    QTest::mouseClick(profile()->findChild<QPushButton*>(QStringLiteral("reference")), Qt::LeftButton);
    EXPECT_EQ(profile_errors.size(), 1U);
    EXPECT_TRUE(point_at_row_3().endsWith(compared)) << point_at_row_3().toStdString();
    // One that cannot follow the cast into other water any more is taken away.
    std::filesystem::remove(dir.file("yesterday.TOB"));
    control<QRadioButton>("op_salt")->setChecked(true);
    load(cast);
    QTest::qWait(50);
    EXPECT_EQ(profile_errors.size(), 2U);
    EXPECT_FALSE(point_at_row_3().contains(QStringLiteral("reference")));
}

TEST_F(ProfileWindowTest, ReadsTheSameFileAnewWhenItChanged)
{
    // The cast file rewritten between two loads, its shape as before: row 3 now has its SOUND.
    const std::string cast = dir.write("small.TOB", testing::small_cast);
    load(cast);
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    EXPECT_EQ(profile()->plot().rows_without_number(0), 1);
    profile()->close();
    std::string mended(testing::small_cast);
    mended.replace(mended.find("    n/a"), 7, "1488.00");
    dir.write("small.TOB", mended);
    load(cast);
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    EXPECT_EQ(profile()->plot().rows_without_number(0), 0);
}

TEST_F(ProfileWindowTest, FollowsEveryLoadAlsoAFailedOne)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    std::string broken(testing::small_cast);
    broken += "          x     5.00    13.00    35.00  1485.00    45.00\n";
    load(dir.write("broken.TOB", broken));
    ASSERT_EQ(errors.size(), 1U);
    const QString summary = profile()->plot().summary();
    EXPECT_TRUE(summary.startsWith(
        QStringLiteral("broken.TOB \u00b7 5 of 6 rows stored \u00b7 depth 0.20 to 4.08 m")))
        << summary.toStdString();
    EXPECT_EQ(profile()->plot().profile_lines(), 4);
    EXPECT_TRUE(summary.endsWith(QStringLiteral("the load stopped at line 10"))) << summary.toStdString();
}

} // namespace
} // namespace quillonde
