#pragma once

#include "form/state.h"
#include "runtime/error.h"

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace quillonde {

/// Shown instead of a plot while the table holds no cast.
inline constexpr std::string_view no_cast_text = "No cast loaded";

/// The export's value columns, side by side as CTD plots show them.
inline constexpr std::string_view ctd_columns = "SOUND,Temp,SALIN";

/// One stored row of a plotted column.
struct PlotPoint {
    std::int32_t row = 0;
    double depth_m = 0.0;
    double value = 0.0;
};

/// A cast drawn as columns against depth, read from the table where it stands (never copied):
/// depth down the vertical axis, each shown column in a panel of its own, every stored row joined
/// in row order by a thin line, and the rows the export writes as markers, with a summary line
/// below. Paints onto any QPainter: a widget, an image, an SVG or a PDF.
///
/// The plot keeps a reference to the state: call refresh() after every change of it. A painting
/// in the middle of a load, which may have reshaped the table, reads it anew first.
class ProfilePlot {
public:
    explicit ProfilePlot(const ProfileState& state) : state_(state) {}

    /// The table's column names, entry k naming column k (as List1 holds them: when it holds the
    /// names of several header lines, the last ones name the table), and the names of the columns
    /// to show, left to right; names the table lacks are left out (see missing_columns()).
    void set_columns(std::vector<std::string> names, std::vector<std::string> shown);

    /// Reads the table anew: after a load, also a failed one.
    void refresh();

    /// Shows only the depths from `top_m` to `bottom_m` (either order); show_all() undoes it.
    void zoom(double top_m, double bottom_m);
    void show_all();
    bool zoomed() const { return zoom_.has_value(); }

    /// The shown columns the table has, and those it lacks.
    const std::vector<std::string>& shown_columns() const { return shown_; }
    const std::vector<std::string>& missing_columns() const { return missing_; }

    /// How many profile lines the export would write, and the rows that have no number in shown
    /// column `panel` (left out of the plot).
    std::int32_t profile_lines() const { return static_cast<std::int32_t>(profile_rows_.size()); }
    std::int32_t rows_without_number(std::size_t panel) const { return panels_.at(panel).no_number; }

    /// Cast, rows stored and declared, depth range, water, profile lines, rows without a number.
    QString summary() const;

    /// Paints the plot and the summary line into `area`; afterwards position(), depth_at() and
    /// nearest() answer for this painting.
    void paint(QPainter& painter, const QRectF& area);

    /// Where a value at a depth lands in panel `panel`, in the last painting's coordinates.
    QPointF position(std::size_t panel, double depth_m, double value) const;
    /// The depth at height `y` of the last painting, when y lies within the panels.
    std::optional<double> depth_at(double y) const;
    /// The drawn point nearest to `at` within `reach`, and its panel.
    std::optional<std::pair<PlotPoint, std::size_t>> nearest(QPointF at, double reach) const;
    /// The panels' frames in the last painting.
    QRectF panel_frame(std::size_t panel) const { return panels_.at(panel).frame; }
    std::size_t panel_count() const { return panels_.size(); }
    QColor colour(std::size_t panel) const;

private:
    struct Panel {
        std::string name;
        QString title; ///< name and unit
        std::int32_t column = 0;
        std::int32_t no_number = 0;
        double low = 0.0; ///< value range, within the zoomed depths
        double high = 0.0;
        bool has_values = false;
        QRectF frame;                  ///< in the last painting
        std::vector<PlotPoint> points; ///< the drawn vertices, for nearest()
    };

    /// Reads extents and counts of the shown columns.
    void scan();
    std::int32_t depth_column() const { return state_.ccolumns + 1; }
    double map_x(const Panel& panel, double value) const;
    double map_y(double depth_m) const;
    void paint_panel(QPainter& painter, Panel& panel, std::size_t index);

    const ProfileState& state_;
    std::vector<std::string> names_;
    std::vector<std::string> requested_;
    std::vector<std::string> shown_;
    std::vector<std::string> missing_;
    std::vector<Panel> panels_;
    std::vector<std::int32_t> profile_rows_;
    std::optional<std::pair<double, double>> zoom_;
    double top_m_ = 0.0; ///< the depth axis, as painted
    double bottom_m_ = 1.0;
    bool has_depths_ = false;
    double shallowest_m_ = 0.0;
    double deepest_m_ = 0.0;
    std::int32_t rows_without_depth_ = 0;
    std::int32_t scanned_columns_ = -1; ///< the table's shape when it was scanned
    std::int32_t scanned_rows_ = 0;
    std::optional<Error> export_stop_; ///< where an export would fail on a text cell
};

} // namespace quillonde
