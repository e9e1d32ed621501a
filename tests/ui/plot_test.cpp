#include "cli/tool.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "plot/plot_file.h"
#include "plot/profile_plot.h"
#include "profile/profile_rows.h"
#include "runtime/convert.h"
#include "ui/profile_window.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <set>

namespace quillonde {
namespace {

using testing::TempDir;

const std::string deneb = QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB";

// Row 1 lies above the export's first step; row 3 holds a text where SOUND should be; row 6 is
// declared and never stored.
constexpr std::string_view small_cast = "Lines :        6\n"
                                        "; Datasets    Press     Temp    SALIN    SOUND     Cond\n"
                                        ";            [ dbar]  [ degC]  [  ppt]  [  m/s]  [mS/cm]\n"
                                        ";\n"
                                        "          1     0.20    18.00    30.00  1490.00    40.00\n"
                                        "          2     1.00    17.00    31.00  1489.00    41.00\n"
                                        "          3     2.00    16.00    32.00      n/a    42.00\n"
                                        "          4     3.00    15.00    33.00  1487.00    43.00\n"
                                        "          5     4.00    14.00    34.00  1486.00    44.00\n";

struct Loaded {
    HeadlessControls controls;
    ProfileState state;
    ProfilePlot plot{state};

    Loaded(const std::string& path, const std::string& columns, bool salt = false)
    {
        if (salt) {
            controls.set_water(OptionButton::op_salt);
            controls.set_text(TextBox::tx_lat, "54");
        }
        controls.set_text(TextBox::tx_ss_file, path);
        load_data_file(controls, state);
        std::vector<std::string> shown;
        for (const QString& name : QString::fromStdString(columns).split(QLatin1Char(','))) {
            shown.push_back(name.toStdString());
        }
        plot.set_columns(state.listed_names(), shown);
    }
    double depth(std::int32_t row) const { return state.g_table.cell(state.ccolumns + 1, row).as_number(); }
};

/// The centres of the markers of an SVG.
std::vector<QPointF> markers(const QByteArray& svg)
{
    std::vector<QPointF> centres;
    const QRegularExpression circle(QStringLiteral("<circle cx=\"([-0-9.e]+)\" cy=\"([-0-9.e]+)\""));
    for (auto match = circle.globalMatch(QString::fromUtf8(svg)); match.hasNext();) {
        const auto found = match.next();
        centres.emplace_back(found.captured(1).toDouble(), found.captured(2).toDouble());
    }
    return centres;
}

TEST(ProfilePlot, AMarkerLandsWhereItsDepthAndValueMap)
{
    TempDir dir;
    Loaded cast(dir.write("small.TOB", small_cast), "Temp");
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    cast.plot.paint(painter, image.rect());
    painter.end();

    // Depths from 0 down to the deepest row and 2 % more; values 14 to 18 and 4 % either side.
    const QRectF frame = cast.plot.panel_frame(0);
    const double bottom_m = cast.depth(5) * 1.02;
    const QPointF expected(frame.left() + (15.0 - 13.84) / 4.32 * frame.width(),
                           frame.top() + cast.depth(4) / bottom_m * frame.height());
    EXPECT_EQ(image.pixelColor(expected.toPoint()), cast.plot.colour(0));
    EXPECT_EQ(
        cast.plot.summary().toStdString(),
        "small.TOB \u00b7 5 of 6 rows stored \u00b7 depth 0.20 to 4.08 m \u00b7 fresh water \u00b7 4 profile "
        "lines \u00b7 Temp: 0 rows without a number \u00b7 the export would stop at table row 3: SOUND "
        "\"n/a\" "
        "is not a number");
}

TEST(ProfilePlot, ATextCellIsLeftOutAndCounted)
{
    TempDir dir;
    Loaded cast(dir.write("small.TOB", small_cast), "SOUND,Cond");
    const std::vector<QPointF> centres = markers(render_plot(cast.plot, PlotFormat::svg));
    EXPECT_EQ(cast.plot.rows_without_number(0), 1);
    EXPECT_EQ(cast.plot.rows_without_number(1), 0);
    EXPECT_EQ(cast.plot.profile_lines(), 4);
    EXPECT_EQ(centres.size(), 3U + 4U); // SOUND without row 3, Cond with it
    EXPECT_TRUE(cast.plot.summary().contains(QStringLiteral("SOUND: 1 rows without a number")));
    // It promised 4 profile lines where the export stops at row 3.
    EXPECT_TRUE(cast.plot.summary().endsWith(
        QStringLiteral("the export would stop at table row 3: SOUND \"n/a\" is not a number")));
    // Row 1 lies above the export's first step: its text stops nothing.
    std::string skipped(small_cast);
    skipped.replace(skipped.find("    n/a"), 7, "1488.00").replace(skipped.find("1490.00"), 7, "    n/a");
    Loaded other(dir.write("skipped.TOB", skipped), "SOUND");
    EXPECT_FALSE(other.plot.summary().contains(QStringLiteral("export would stop")))
        << other.plot.summary().toStdString();
}

QByteArray contents(const std::string& path)
{
    return QByteArray::fromStdString(testing::read_file(path));
}

TEST(ProfilePlot, TheMarkersOfDenebAreTheRowsTheExportWrites)
{
    TempDir dir;
    const std::vector<std::string> salt = {"--salt", "--latitude", "54", "-o"};
    const auto command = [&](const char* name, const std::string& output) {
        std::vector<std::string> arguments = {name};
        arguments.insert(arguments.end(), salt.begin(), salt.end());
        arguments.insert(arguments.end(), {output, deneb});
        return arguments;
    };
    ASSERT_EQ(testing::run(command("convert", dir.file("deneb.sva"))).status, 0);
    std::vector<std::string> plot = command("plot", dir.file("deneb.svg"));
    plot.insert(plot.begin() + 1, {"--columns", "SOUND"});
    ASSERT_EQ(testing::run(plot).status, 0);
    const std::vector<QPointF> centres = markers(contents(dir.file("deneb.svg")));
    EXPECT_TRUE(contents(dir.file("deneb.svg")).contains("SOUND [m/s]")); // the unit of the units line
    const auto lines = contents(dir.file("deneb.sva")).count("\r\n") - 2; // after the header

    Loaded cast(deneb, "SOUND", true);
    render_plot(cast.plot, PlotFormat::svg); // lays the plot out as the tool did
    ASSERT_EQ(static_cast<qsizetype>(centres.size()), lines);
    ASSERT_EQ(cast.plot.profile_lines(), lines);
    std::size_t k = 0;
    for_each_profile_row(cast.state.g_table, cast.state.ccolumns + 1,
                         [&](std::int32_t row, double depth_m, auto&) {
                             double sound = 0.0;
                             parse_number(cast.state.g_table.cell(6, row).as_text(), sound);
                             const QPointF at = cast.plot.position(0, depth_m, sound);
                             EXPECT_NEAR(centres[k].x(), at.x(), 0.01) << row;
                             EXPECT_NEAR(centres[k].y(), at.y(), 0.01) << row;
                             ++k;
                         });

    // The same picture as PNG and PDF, by the output's extension.
    ASSERT_EQ(testing::run(command("plot", dir.file("deneb.PNG"))).status, 0);
    ASSERT_EQ(testing::run(command("plot", dir.file("deneb.pdf"))).status, 0);
    EXPECT_TRUE(contents(dir.file("deneb.PNG")).startsWith("\x89PNG"));
    EXPECT_TRUE(contents(dir.file("deneb.pdf")).startsWith("%PDF"));
}

TEST(ProfilePlot, AOneRowSpikeAmongThousandsStillShows)
{
    TempDir dir;
    std::string cast = "Lines : 5000\n; Datasets Press Temp\n";
    for (int row = 1; row <= 5000; ++row) {
        cast += std::to_string(row) + " " + std::to_string(row / 100) + "." + std::to_string(row % 100 / 10) +
                (row == 2500 ? " 30\n" : " 10\n");
    }
    Loaded spiky(dir.write("spike.TOB", cast), "Temp");
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    spiky.plot.paint(painter, image.rect());
    painter.end();
    // Near its tip, 20 degrees right of all the other rows, within a few pixels of its depth.
    const QPoint tip = (spiky.plot.position(0, spiky.depth(2500), 30.0) - QPointF(2, 0)).toPoint();
    EXPECT_NE(image.pixelColor(tip), QColor(Qt::white));
}

TEST(ProfilePlot, APaintingInTheMiddleOfALoadReadsTheNewTable)
{
    TempDir dir;
    Loaded cast(deneb, "SerNo"); // the last of 8 columns and 250 rows
    cast.controls.set_text(TextBox::tx_ss_file, dir.write("small.TOB", small_cast));
    load_data_file(cast.controls, cast.state); // no refresh(), as when a load lets the window paint
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    EXPECT_NO_THROW(cast.plot.paint(painter, image.rect()));
    EXPECT_EQ(cast.plot.profile_lines(), 4);
}

TEST(ProfilePlot, SaysWhenNoCastIsLoaded)
{
    ProfileState state;
    ProfilePlot plot(state);
    plot.set_columns({}, {"SOUND"});
    EXPECT_EQ(plot.summary(), QStringLiteral("No cast loaded"));
}

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

    void open_by_double_click(const char* name)
    {
        const QPoint at = list()->visualItemRect(entry(name)).center();
        // As the toolkit sees a double-click: a click, then a press that makes it double.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        ASSERT_NE(profile(), nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(profile()));
    }
};

TEST_F(ProfileWindowTest, OpensByDoubleClickAndByEnterOnTheEntry)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("Temp"));
    EXPECT_EQ(profile()->plot().shown_columns(), std::vector<std::string>{"Temp"});
    profile()->close();
    list()->setCurrentItem(entry("SALIN"));
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_TRUE(profile()->isVisible());
    EXPECT_EQ(profile()->plot().shown_columns(), std::vector<std::string>{"SALIN"});
    EXPECT_EQ(window.findChildren<ProfileWindow*>().size(), 1);
}

TEST_F(ProfileWindowTest, SwitchesColumnsZoomsAndShowsAllAgain)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    auto* chooser = profile()->findChild<QComboBox*>(QStringLiteral("chooser"));
    chooser->setCurrentIndex(0); // the three side by side
    emit chooser->activated(0);
    EXPECT_EQ(profile()->plot().panel_count(), 3U);

    ProfilePlot& plot = profile()->plot();
    QTest::qWait(50); // painted: the frames are known
    const QRectF frame = plot.panel_frame(1);
    const double from_y = frame.top() + frame.height() * 0.25;
    const double to_y = frame.top() + frame.height() * 0.5;
    const double from_m = *plot.depth_at(from_y);
    const double to_m = *plot.depth_at(to_y);
    QTest::mousePress(view(), Qt::LeftButton, {}, QPointF(frame.center().x(), from_y).toPoint());
    QTest::mouseMove(view(), QPointF(frame.center().x(), to_y).toPoint());
    QTest::mouseRelease(view(), Qt::LeftButton, {}, QPointF(frame.center().x(), to_y).toPoint());
    QTest::qWait(50);
    ASSERT_TRUE(plot.zoomed());
    EXPECT_NEAR(*plot.depth_at(plot.panel_frame(0).top()), from_m, (to_m - from_m) * 0.02);
    EXPECT_NEAR(*plot.depth_at(plot.panel_frame(0).bottom()), to_m, (to_m - from_m) * 0.02);

    QTest::mouseDClick(view(), Qt::LeftButton, {}, frame.center().toPoint());
    EXPECT_FALSE(plot.zoomed());
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Plus);
    EXPECT_TRUE(plot.zoomed());
    QTest::keyClick(view(), Qt::Key_Escape);
    EXPECT_FALSE(plot.zoomed());
}

TEST_F(ProfileWindowTest, HoverNamesTheNearestRow)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    QTest::qWait(50);
    ProfilePlot& plot = profile()->plot();
    const auto point = plot.nearest(plot.panel_frame(0).center(), 1e6);
    ASSERT_TRUE(point);
    QTest::mouseMove(view(), plot.position(0, point->first.depth_m, point->first.value).toPoint());
    EXPECT_TRUE(profile()
                    ->findChild<QLabel*>(QStringLiteral("readout"))
                    ->text()
                    .startsWith(QStringLiteral("Row %1: depth ").arg(point->first.row)));
}

TEST_F(ProfileWindowTest, FollowsEveryLoadAlsoAFailedOne)
{
    ASSERT_NO_FATAL_FAILURE(open_by_double_click("SOUND"));
    std::string broken(small_cast);
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
