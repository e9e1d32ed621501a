#pragma once
// Casts and helpers of the profile plot's tests and the Profile window's.
#include "form/headless_controls.h"
#include "form/loader.h"
#include "plot/profile_plot.h"
#include "temp_dir.h"

#include <QPointF>
#include <QRegularExpression>

#include <string>
#include <string_view>
#include <vector>

namespace quillonde::testing {

inline const std::string deneb = QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB";

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

// Down to row 5 and up again between the pressures of the way down.
constexpr std::string_view up_and_down = "Lines :        8\n"
                                         "; Datasets    Press     Temp    SOUND\n"
                                         ";            [ dbar]  [ degC]  [  m/s]\n"
                                         ";\n"
                                         "          1     0.20    18.25  1490.00\n"
                                         "          2     1.00    17.25  1489.00\n"
                                         "          3     2.00    16.25  1488.00\n"
                                         "          4     3.00    15.25  1487.00\n"
                                         "          5     4.00    14.25  1486.00\n"
                                         "          6     3.50    12.25  1485.00\n"
                                         "          7     2.50    11.25  1484.00\n"
                                         "          8     1.50    10.25  1483.00\n";
constexpr std::string_view up_and_down_reference = "Lines :        5\n"
                                                   "; Datasets    Press    SOUND\n"
                                                   ";\n"
                                                   "          1     0.20  1490.50\n"
                                                   "          2     1.00  1489.50\n"
                                                   "          3     2.00  1488.50\n"
                                                   "          4     3.00  1488.50\n"
                                                   "          5     4.00  1485.50\n";

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
        plot.set_columns(names(), shown);
    }
    std::vector<std::string> names() const { return state.listed_names(); }
    double depth(std::int32_t row) const { return state.g_table.cell(state.ccolumns + 1, row).as_number(); }
};

/// The centres of the markers of an SVG painted as `plot` was last painted: its circles within
/// a panel (the legend has one too).
inline std::vector<QPointF> markers(const QByteArray& svg, const ProfilePlot& plot)
{
    std::vector<QPointF> centres;
    const QRegularExpression circle(QStringLiteral("<circle cx=\"([-0-9.e]+)\" cy=\"([-0-9.e]+)\""));
    for (auto match = circle.globalMatch(QString::fromUtf8(svg)); match.hasNext();) {
        const auto found = match.next();
        const QPointF centre(found.captured(1).toDouble(), found.captured(2).toDouble());
        for (std::size_t p = 0; p < plot.panel_count(); ++p) {
            if (plot.panel_frame(p).contains(centre)) {
                centres.push_back(centre);
            }
        }
    }
    return centres;
}

} // namespace quillonde::testing
