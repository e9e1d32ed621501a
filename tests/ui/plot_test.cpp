#include "cli/tool.h"
#include "formats/registry.h"
#include "plot/cast_series.h"
#include "plot/plot_file.h"
#include "plot_fixture.h"
#include "profile/profile_rows.h"
#include "runtime/convert.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace quillonde {
namespace {

using testing::deneb;
using testing::Loaded;
using testing::markers;
using testing::small_cast;
using testing::TempDir;

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
        "lines for ELAC Sound File *.sva \u00b7 Temp: 0 rows without a number \u00b7 the export would stop "
        "at table row 3: SOUND "
        "\"n/a\" "
        "is not a number");
}

TEST(ProfilePlot, ATextCellIsLeftOutAndCounted)
{
    TempDir dir;
    Loaded cast(dir.write("small.TOB", small_cast), "SOUND,Cond");
    const std::vector<QPointF> centres = markers(render_plot(cast.plot, PlotFormat::svg), cast.plot);
    EXPECT_EQ(cast.plot.rows_without_number(0), 1);
    EXPECT_EQ(cast.plot.rows_without_number(1), 0);
    EXPECT_EQ(cast.plot.profile_lines(), 4);
    EXPECT_EQ(centres.size(), 3U + 4U); // SOUND without row 3, Cond with it
    EXPECT_TRUE(cast.plot.summary().contains(QStringLiteral("SOUND: 1 row without a number")));
    // It promised 4 profile lines where the export stops at row 3.
    EXPECT_TRUE(cast.plot.summary().endsWith(
        QStringLiteral("the export would stop at table row 3: SOUND \"n/a\" is not a number")));
    // Row 1 lies above the export's first step: its text stops nothing.
    std::string skipped(small_cast);
    skipped.replace(skipped.find("    n/a"), 7, "1488.00").replace(skipped.find("1490.00"), 7, "    n/a");
    Loaded other(dir.write("skipped.TOB", skipped), "SOUND");
    EXPECT_FALSE(other.plot.summary().contains(QStringLiteral("export would stop")))
        << other.plot.summary().toStdString();

    // No line bridges row 3.
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    cast.plot.paint(painter, image.rect());
    painter.end();
    const QPointF bridge =
        (cast.plot.position(0, cast.depth(2), 1489) + cast.plot.position(0, cast.depth(4), 1487)) / 2;
    EXPECT_EQ(image.pixelColor(bridge.toPoint()).saturation(), 0); // white, or a grey grid line
}

// A scan the file's flag marks bad is drawn where it lies, as a red cross and in no line, and the
// summary says why it is left out.
TEST(ProfilePlot, ASampleLeftOutByARuleIsACross)
{
    Loaded cast(QUILLONDE_TEST_DATA "/formats/seabird/sbe19plus_cr.cnv", "SOUND", true);
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    cast.plot.paint(painter, image.rect());
    painter.end();
    const QPoint cross = cast.plot.position(0, cast.depth(5), 1493.20).toPoint();
    EXPECT_GT(image.pixelColor(cross).red(), 2 * image.pixelColor(cross).green());
    EXPECT_EQ(markers(render_plot(cast.plot, PlotFormat::svg), cast.plot).size(), 5U);
    EXPECT_TRUE(
        cast.plot.summary().contains(QStringLiteral("1 row left out: marked bad by the file's flag column")))
        << cast.plot.summary().toStdString();
    // The pointer on the cross names the row and why it is left out.
    const auto found = cast.plot.nearest(cast.plot.position(0, cast.depth(5), 1493.20), 3);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->first.row, 5);
    EXPECT_EQ(found->first.left_out, Rule::file_flag);
    EXPECT_EQ(
        cast.plot.readout(found->first, found->second).toStdString(),
        "SOUND 1493.2 m/s, downcast, row 5, depth 4.96 m \u00b7 left out: marked bad by the file's flag "
        "column");
}

// The profile drawn is the one the export to the chosen format writes: bins as steps, each value
// held over its bin's depths, and for SIS the 0 m and 12000 m lines it adds dashed; the summary
// counts that format's lines and names each step.
TEST(ProfilePlot, DrawsAndCountsTheProfileOfTheChosenExport)
{
    TempDir dir;
    constexpr std::string_view binned = "Lines :        5\n"
                                        "; Datasets    Press     Temp    SOUND\n"
                                        ";            [ dbar]  [ degC]  [  m/s]\n"
                                        ";\n"
                                        "          1     0.60    18.00  1490.00\n"
                                        "          2     0.80    18.00  1492.00\n"
                                        "          3     1.20    17.00  1480.00\n"
                                        "          4     1.40    17.00  1482.00\n"
                                        "          5     2.50    16.00  1470.00\n";
    Loaded cast(dir.write("bins.TOB", binned), "SOUND,Temp");
    cast.state.steps.bin_m = 1.0;
    cast.plot.refresh();
    using Step = std::pair<DepthValue, DepthValue>;
    const ProfileDrawing& sound = cast.plot.profile_drawing(0);
    EXPECT_EQ(sound.markers, (std::vector<DepthValue>{{0.5, 1491}, {1.5, 1481}, {2.5, 1470}}));
    EXPECT_EQ(sound.steps, (std::vector<Step>{{{0, 1491}, {1, 1491}},
                                              {{1, 1491}, {1, 1481}},
                                              {{1, 1481}, {2, 1481}},
                                              {{2, 1481}, {2, 1470}},
                                              {{2, 1470}, {3, 1470}}}));
    EXPECT_TRUE(sound.dashed.empty());
    EXPECT_EQ(cast.plot.profile_drawing(1).steps.front(), (Step{{0, 18}, {1, 18}}));
    EXPECT_TRUE(cast.plot.summary().contains(
        QStringLiteral("3 profile lines for ELAC Sound File *.sva \u00b7 1 m bins \u00b7 ")))
        << cast.plot.summary().toStdString();

    cast.plot.set_target(writer_for_path("x.asvp"), {});
    EXPECT_EQ(cast.plot.profile_lines(), 5);
    EXPECT_EQ(cast.plot.profile_drawing(0).markers, sound.markers);
    EXPECT_EQ(cast.plot.profile_drawing(0).added, (std::vector<DepthValue>{{0, 1491}, {12000, 1675.8}}));
    EXPECT_EQ(cast.plot.profile_drawing(0).dashed,
              (std::vector<Step>{{{0, 1491}, {0.5, 1491}}, {{2.5, 1470}, {12000, 1675.8}}}));
    EXPECT_EQ(cast.plot.profile_drawing(1).dashed,
              (std::vector<Step>{{{0, 18}, {0.5, 18}}})); // no Temp down there
    EXPECT_TRUE(cast.plot.summary().contains(
        QStringLiteral("5 profile lines for Kongsberg SIS *.asvp \u00b7 1 m bins \u00b7 a 0 m line added "
                       "\u00b7 extended to 12000 m")))
        << cast.plot.summary().toStdString();
    // Dashed where it runs below the cast, also at 12000 m beyond the frame.
    cast.state.steps.bin_m.reset();
    cast.plot.refresh();
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    cast.plot.paint(painter, image.rect());
    painter.end();
    int ink = 0;
    int gaps = 0;
    for (double depth_m = 2.6; depth_m < cast.plot.shown_depths().second; depth_m += 0.002) {
        const int lightness = image.pixelColor(cast.plot.position(0, depth_m, 1470).toPoint()).lightness();
        ink += lightness < 200 ? 1 : 0;
        gaps += lightness > 235 ? 1 : 0;
    }
    EXPECT_GT(ink, 10);
    EXPECT_GT(gaps, 2);
    cast.plot.set_target(writer_for_path("x.asvp"), {false, 0});
    EXPECT_EQ(cast.plot.profile_lines(), 4);

    // Without bins, a format that ends with the deepest sample counts it: deneb's 43 lines are 44.
    Loaded deep(deneb, "SOUND", true);
    EXPECT_EQ(deep.plot.profile_lines(), 43);
    deep.plot.set_target(writer_for_path("x.csv"), {});
    EXPECT_EQ(deep.plot.profile_lines(), 44);
    EXPECT_TRUE(deep.plot.profile_drawing(0).steps.empty());
    EXPECT_TRUE(deep.plot.summary().contains(QStringLiteral("ends at the deepest sample, 24.88 m")));
}

TEST(ProfilePlot, ReadingAheadStopsWhereTheTableIsReplaced)
{
    TempDir dir;
    Loaded cast(deneb, "Temp");
    cast.plot.prepare(cast.names(), {"SOUND"});
    EXPECT_TRUE(cast.plot.prepare_more(100));
    cast.controls.set_text(TextBox::tx_ss_file, dir.write("small.TOB", small_cast));
    load_data_file(cast.controls, cast.state);
    EXPECT_FALSE(cast.plot.prepare_more(100));
    cast.plot.set_columns(cast.names(), {"SOUND"});
    EXPECT_EQ(cast.plot.rows_without_number(0), 1);
}

TEST(ProfilePlot, ALoadOfTheSameShapeIsReadAnew)
{
    // As the batch tool plots one cast after another: the same file again, now for salt water.
    TempDir dir;
    const std::string path = dir.write("small.TOB", small_cast);
    Loaded cast(path, "Temp");
    cast.controls.set_water(OptionButton::op_salt);
    cast.controls.set_text(TextBox::tx_lat, "54");
    load_data_file(cast.controls, cast.state);
    cast.plot.set_columns(cast.names(), {"Temp"});
    EXPECT_EQ(cast.plot.summary(), Loaded(path, "Temp", true).plot.summary());
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
    Loaded cast(deneb, "SOUND", true);
    render_plot(cast.plot, PlotFormat::svg); // lays the plot out as the tool did
    const std::vector<QPointF> centres = markers(contents(dir.file("deneb.svg")), cast.plot);
    EXPECT_TRUE(contents(dir.file("deneb.svg")).contains("SOUND [m/s]")); // the unit of the units line
    EXPECT_TRUE(contents(dir.file("deneb.svg")).contains("lines the export writes")); // the legend
    const auto lines = contents(dir.file("deneb.sva")).count("\r\n") - 2;             // after the header
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

TEST(ProfilePlot, AOneRowSpikeAmongThousandsStillShowsAndARowLeftOutBreaksTheLine)
{
    TempDir dir;
    std::string cast = "Lines : 5000\n; Datasets Press Temp\n";
    for (int row = 1; row <= 5000; ++row) {
        cast += std::to_string(row) + " " + std::to_string(row / 100) + "." + std::to_string(row % 100 / 10) +
                (row == 2500   ? " 30\n"
                 : row == 4000 ? " n/a\n"
                 : row > 4000  ? " 20\n"
                               : " 10\n");
    }
    Loaded spiky(dir.write("spike.TOB", cast), "Temp");
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    spiky.plot.paint(painter, image.rect());
    painter.end();
    // Near its tip, 20 degrees right of all the other rows, within a few pixels of its depth.
    const QPoint tip = (spiky.plot.position(0, spiky.depth(2500), 30.0) - QPointF(2, 0)).toPoint();
    EXPECT_NE(image.pixelColor(tip), QColor(Qt::white));
    for (int dy = -2; dy <= 2; ++dy) {
        const QPoint gap = spiky.plot.position(0, spiky.depth(4000), 15.0).toPoint() + QPoint(0, dy);
        EXPECT_EQ(image.pixelColor(gap).saturation(), 0) << "no line from 10 to 20 degrees at row 4000";
    }
    EXPECT_TRUE(spiky.plot.summary().contains(QStringLiteral("5,000 of 5,000 rows stored")));
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

/// The lightness of the darkest pixel near `at`.
int darkest(const QImage& image, QPointF at)
{
    int darkest = 255;
    for (int dx = -3; dx <= 3; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            darkest = std::min(darkest, image.pixelColor(at.toPoint() + QPoint(dx, dy)).lightness());
        }
    }
    return darkest;
}

TEST(ProfilePlot, TheUpcastIsTheRowsAfterTheDeepestDrawnLighterAndNamed)
{
    TempDir dir;
    Loaded cast(dir.write("up.TOB", testing::up_and_down), "Temp");
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    cast.plot.paint(painter, image.rect());
    painter.end();
    const auto point_at = [&](std::int32_t row, double value) {
        return cast.plot.nearest(cast.plot.position(0, cast.depth(row), value), 2).value();
    };
    const auto [upcast, panel] = point_at(6, 12.25);
    EXPECT_EQ(upcast.row, 6);
    EXPECT_EQ(cast.plot.readout(upcast, panel),
              QStringLiteral("Temp 12.25 \u00b0C, upcast, row 6, depth 3.57 m"));
    EXPECT_EQ(cast.plot.readout(point_at(5, 14.25).first, 0),
              QStringLiteral("Temp 14.25 \u00b0C, downcast, row 5, depth 4.08 m"));

    const auto between = [&](std::int32_t row, double a, double b) {
        return (cast.plot.position(0, cast.depth(row), a) + cast.plot.position(0, cast.depth(row + 1), b)) /
               2;
    };
    EXPECT_GT(darkest(image, between(6, 12.25, 11.25)), darkest(image, between(2, 17.25, 16.25)) + 30);
}

TEST(ProfilePlot, AReferenceIsDrawnInGreyAndComparedAtTheHoveredDepth)
{
    TempDir dir;
    Loaded cast(dir.write("up.TOB", testing::up_and_down), "SOUND");
    Loaded reference(dir.write("yesterday.TOB", testing::up_and_down_reference), "SOUND");
    cast.plot.set_reference(&reference.state, reference.names());
    const QByteArray svg = render_plot(cast.plot, PlotFormat::svg);
    EXPECT_TRUE(svg.contains("reference yesterday.TOB"));
    EXPECT_TRUE(svg.contains("stroke=\"#808080\""));
    const auto readout = [&](std::int32_t row, double sound) {
        const auto point = cast.plot.nearest(cast.plot.position(0, cast.depth(row), sound), 2).value();
        return cast.plot.readout(point.first, point.second);
    };
    // Both profiles as the export writes them, between their lines at the depth of upcast row 7.
    EXPECT_TRUE(readout(3, 1488).endsWith(QStringLiteral(" \u00b7 SOUND -0.50 m/s against the reference")));
    EXPECT_TRUE(readout(5, 1486).endsWith(QStringLiteral(" \u00b7 SOUND +0.50 m/s against the reference")));
    EXPECT_TRUE(readout(7, 1484).endsWith(QStringLiteral(" \u00b7 SOUND -1.00 m/s against the reference")));
    EXPECT_TRUE(readout(1, 1490).endsWith(QStringLiteral(" \u00b7 the profile does not reach this depth")));
    EXPECT_TRUE(cast.plot.panel_frame(0).contains(cast.plot.position(0, cast.depth(1), 1490.5)))
        << "the reference's values are within the panel";
}

TEST(CastSeries, ReadsInPartsAsInOneAndItsBlocksHoldWhatTheirPointsDo)
{
    // A row without a number breaks the line, also across a part of the reading (rows 50,001 to
    // 100,000 below) that no line carried; such rows alone do not. The cast turns at row 120,000.
    constexpr std::int32_t rows = 150'000;
    const auto depth_m = [](std::int32_t row) {
        return (row <= 120'000 ? row : 240'000 - row) * 0.001 + std::sin(row) * 0.0005;
    };
    const auto value = [](std::int32_t row) { return std::round(std::sin(row * 0.37) * 10000.0) / 1000.0; };
    const auto stored = [](std::int32_t row) { return row != 10 && (row <= 50'000 || row > 100'000); };
    const auto has_number = [&](std::int32_t row) { return stored(row) && row != 40'000 && row != 50'000; };
    ProfileTable table;
    table.resize(2, rows, std::uint64_t{1} << 30);
    char line[64];
    for (std::int32_t row = 1; row <= rows; ++row) {
        if (stored(row)) {
            std::snprintf(line, sizeof line, has_number(row) ? "%d %.3f" : "%d x", row, value(row));
            table.store_texts(row, line, 2);
            table.store_depth(row, depth_m(row));
        }
    }
    SeriesReader reader(table, {1}, 2);
    while (reader.read_more(50'000)) {
    }
    for (const CastSeries& series : {reader.finish().front(), CastSeries::read(table, {1}, 2).front()}) {
        ASSERT_EQ(series.size(), static_cast<std::size_t>(rows - 1 - 50'000 - 2));
        EXPECT_EQ(series.rows_without_number(), 2);
        EXPECT_FALSE(series.starts_run(*series.point_of_row(11)));
        EXPECT_TRUE(series.starts_run(*series.point_of_row(40'001)));
        EXPECT_TRUE(series.starts_run(*series.point_of_row(100'001)));
        EXPECT_EQ(series.row(series.downcast_end() - 1), 120'000);

        series.walk(
            0, series.size(),
            [&](const SeriesExtent& extent, std::size_t first, std::size_t last) {
                SeriesExtent points{series.depth_m(first), series.depth_m(first), series.value(first),
                                    series.value(first), true};
                for (std::size_t i = first + 1; i < last; ++i) {
                    points = {std::min(points.depth_low, series.depth_m(i)),
                              std::max(points.depth_high, series.depth_m(i)),
                              std::min(points.value_low, series.value(i)),
                              std::max(points.value_high, series.value(i)),
                              points.joined && !series.starts_run(i)};
                }
                EXPECT_TRUE(extent.depth_low == points.depth_low && extent.depth_high == points.depth_high &&
                            extent.value_low == points.value_low && extent.value_high == points.value_high &&
                            extent.joined == points.joined)
                    << "points " << first << " to " << last;
                return WalkStep::split;
            },
            [](std::size_t) {});
        for (const auto& [top, bottom] : {std::pair(0.0, 200.0), std::pair(10.0101, 10.0249),
                                          std::pair(33.3, 77.7), std::pair(-5.0, -1.0)}) {
            std::optional<std::pair<double, double>> expected;
            for (std::int32_t row = 1; row <= rows; ++row) {
                if (has_number(row) && depth_m(row) >= top && depth_m(row) <= bottom) {
                    expected = expected ? std::pair(std::min(expected->first, value(row)),
                                                    std::max(expected->second, value(row)))
                                        : std::pair(value(row), value(row));
                }
            }
            EXPECT_EQ(series.value_range(top, bottom), expected) << top << " to " << bottom;
        }
    }
}

} // namespace
} // namespace quillonde
