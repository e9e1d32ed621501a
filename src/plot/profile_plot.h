#pragma once

#include "form/preview.h"
#include "form/state.h"
#include "plot/cast_series.h"
#include "runtime/error.h"

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QFontMetricsF;
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
    bool upcast = false;          ///< after the deepest stored row
    std::optional<Rule> left_out; ///< the rule that leaves the sample out, if one does
};

/// A depth [m] and a value, as a plot places them.
struct DepthValue {
    double depth_m = 0.0;
    double value = 0.0;

    friend bool operator==(const DepthValue&, const DepthValue&) = default;
};

/// How a panel draws the profile an export would write: a dot for each of its lines, each bin held
/// over its depths as a step, and the lines added for an echo sounder (the 0 m line, the last line
/// at 12000 m) joined by dashes.
struct ProfileDrawing {
    std::vector<DepthValue> markers;                       ///< the lines taken from the cast
    std::vector<DepthValue> added;                         ///< the lines added for the echo sounder
    std::vector<std::pair<DepthValue, DepthValue>> steps;  ///< bins: from top to bottom, and the risers
    std::vector<std::pair<DepthValue, DepthValue>> dashed; ///< to and from the added lines
};

/// A cast drawn as columns against depth: depth down the vertical axis, each shown column in a
/// panel of its own, every stored row joined in row order by a thin line (the upcast lighter), the
/// lines the export writes as dots, optionally a reference cast in grey, a legend and a summary
/// line below. Paints onto any QPainter: a widget, an image, an SVG or a PDF.
///
/// Each shown column is read from the table into numbers once (see CastSeries), so that zooming
/// and painting never read the table. The plot keeps a reference to the state: call refresh()
/// after every change of it. A painting in the middle of a load, which may have reshaped the
/// table, reads it anew first.
class ProfilePlot {
public:
    explicit ProfilePlot(const ProfileState& state);
    ~ProfilePlot();

    /// The table's column names, entry k naming column k (when they hold the names of several
    /// header lines, the last ones name the table), and the names of the columns to show, left to
    /// right; names the table lacks are left out (see missing_columns()).
    void set_columns(std::vector<std::string> names, std::vector<std::string> shown);

    /// Reads the table anew: after a load, also a failed one.
    void refresh();
    /// Drops what was read of the table without reading it again: the next set_columns(),
    /// refresh() or paint() does.
    void forget_table();

    /// Reads the columns named `wanted` ahead, about `rows` rows at each call of prepare_more(), so
    /// that showing them later reads nothing: after a load, while the user looks at the window.
    /// `names` are the table's column names, as for set_columns().
    void prepare(std::vector<std::string> names, const std::vector<std::string>& wanted);
    /// Reads on; false once nothing is left to read ahead (or the table changed meanwhile).
    bool prepare_more(std::int32_t rows);
    /// Makes the profile the export would write, unless it is made: once the columns are read ahead.
    void prepare_preview();

    /// A second cast drawn in grey behind the first, its column names as for set_columns(), or
    /// none (nullptr). The plot keeps a reference to `reference`: set it again after it changes.
    void set_reference(const ProfileState* reference, std::vector<std::string> names);
    bool has_reference() const { return reference_ != nullptr; }

    /// Shows only the depths from `top_m` to `bottom_m` (either order); show_all() undoes it.
    void zoom(double top_m, double bottom_m);
    void show_all();
    bool zoomed() const { return zoom_.has_value(); }
    /// The depths the depth axis shows, top first.
    std::pair<double, double> shown_depths() const { return {top_m_, bottom_m_}; }

    /// The shown columns the table has, and those it lacks.
    const std::vector<std::string>& shown_columns() const { return shown_; }
    const std::vector<std::string>& missing_columns() const { return missing_; }

    /// The format whose export the plot shows (the first until one is set) and how a profile for an
    /// echo sounder is shaped: the profile lines drawn and counted are those that export writes.
    void set_target(const ProfileWriter* writer, const SounderSettings& sounder);
    const ProfileWriter& target() const { return *writer_; }

    /// How many profile lines the export would write, and the rows that have no number in shown
    /// column `panel` (left out of the plot).
    std::int32_t profile_lines() const;
    /// The profile the export would write and how it came about; read with the table.
    const ProfilePreview& preview() const { return preview_; }
    /// How panel `panel` draws that profile.
    const ProfileDrawing& profile_drawing(std::size_t panel) const { return panels_.at(panel).drawing; }
    std::int32_t rows_without_number(std::size_t panel) const;

    /// Cast, rows stored and declared, depth range, water, profile lines, rows without a number;
    /// summary() joins the parts on one line.
    QStringList summary_parts() const;
    QString summary() const;

    /// What a pointer at `point` of panel `panel` learns: the value with its unit, downcast or
    /// upcast, the row and its depth, and with a reference the difference of sound speed there.
    QString readout(const PlotPoint& point, std::size_t panel) const;

    /// Paints the plot, the legend and the summary line into `area`; afterwards position(),
    /// depth_at() and nearest() answer for this painting.
    void paint(QPainter& painter, const QRectF& area);

    /// Where a value at a depth lands in panel `panel`, in the last painting's coordinates.
    QPointF position(std::size_t panel, double depth_m, double value) const;
    /// The depth at height `y` of the last painting, when y lies within the panels.
    std::optional<double> depth_at(double y) const;
    /// The shown point nearest to `at` within `reach`, and its panel.
    std::optional<std::pair<PlotPoint, std::size_t>> nearest(QPointF at, double reach) const;
    /// The panels' frames in the last painting.
    QRectF panel_frame(std::size_t panel) const { return panels_.at(panel).frame; }
    std::size_t panel_count() const { return panels_.size(); }
    QColor colour(std::size_t panel) const;

private:
    struct Panel {
        std::string name;
        QString title;       ///< name and unit
        QString short_title; ///< the name alone, where the title does not fit
        QString unit;
        std::shared_ptr<const CastSeries> series;
        std::shared_ptr<const CastSeries> reference; ///< the reference's column of that name
        ProfileDrawing drawing;
        double low = 0.0; ///< value range, within the shown depths
        double high = 0.0;
        bool has_values = false;
        QRectF frame; ///< in the last painting
    };
    /// A cast as the plot reads it: the state and its column names.
    struct Source {
        const ProfileState* state = nullptr;
        std::vector<std::string> names;
        std::map<std::int32_t, std::shared_ptr<const CastSeries>> series; ///< by table column
        std::unique_ptr<SeriesReader> ahead;                              ///< columns being read ahead
        bool has_depths = false;
        double shallowest_m = 0.0;
        double deepest_m = 0.0;
        std::int32_t rows_without_depth = 0;
        std::vector<std::pair<std::int32_t, double>> profile_rows; ///< row and depth of each
        std::vector<std::pair<double, double>> sound_profile;      ///< depth and SOUND of the profile rows

        /// Reads the depths, the profile rows and their SOUND; forgets the columns read before.
        void read();
        std::optional<std::int32_t> column_of(const std::string& name) const;
        /// The columns named `wanted` (those it has), each read once.
        std::map<std::string, std::shared_ptr<const CastSeries>>
        read_columns(const std::vector<std::string>& wanted);
        /// Takes what was read ahead into `series`, reading its rest now.
        void take_ahead();
    };
    struct Layout;

    void take_names(std::vector<std::string> names);
    /// Reads depths and profile rows, unless they are read.
    void read_depths();
    /// Reads depths, profile rows and the shown columns, as far as not read yet.
    void read_table();
    /// Sets the depth axis and each panel's value range for the shown depths.
    void fit();
    /// What tells one load's table from another's: its shape, its stored rows and the load record.
    struct ReadKey {
        std::int32_t columns = -1;
        std::int32_t rows = 0;
        std::int32_t filled = 0;
        std::string cast_path;
        std::optional<DepthBasis> basis;
        bool mixed_basis = false;
        std::uint64_t failed_line = 0;
        bool stopped = false;

        friend bool operator==(const ReadKey&, const ReadKey&) = default;
    };
    static ReadKey key_of(const ProfileState& state);
    /// Whether the table is another than the one read: another load, or one in progress.
    bool table_replaced() const;
    double map_x(const Panel& panel, double value) const;
    double map_y(double depth_m) const;

    Layout lay_out(const QFontMetricsF& metrics, const QRectF& area);
    void paint_depth_axis(QPainter& painter, const Layout& layout) const;
    void paint_value_axis(QPainter& painter, const Layout& layout, const Panel& panel,
                          std::size_t index) const;
    void paint_data(QPainter& painter, const Panel& panel, std::size_t index) const;
    void paint_legend(QPainter& painter, const Layout& layout) const;
    /// Adds the lines joining points `begin` to `end` of `series` to `lines`, the first joined to
    /// `previous`; returns the last point drawn, if the line goes on there.
    std::optional<QPointF> trace(const CastSeries& series, const Panel& panel, std::size_t begin,
                                 std::size_t end, std::optional<QPointF> previous,
                                 std::vector<QLineF>& lines) const;

    Source main_;
    std::unique_ptr<Source> reference_;
    std::vector<std::string> requested_;
    std::vector<std::string> shown_;
    std::vector<std::string> missing_;
    std::vector<Panel> panels_;
    std::optional<std::pair<double, double>> zoom_;
    double top_m_ = 0.0; ///< the depth axis
    double bottom_m_ = 1.0;
    bool read_ = false;                ///< the depths and profile rows are read
    ReadKey read_key_;                 ///< of the table read
    std::optional<Error> export_stop_; ///< where an export would fail on a text cell
    const ProfileWriter* writer_;
    SounderSettings sounder_;
    ProfilePreview preview_;
    bool previewed_ = false; ///< preview_ is of the table read and the target set

    /// How `panel` draws preview_.
    ProfileDrawing drawing_of(const Panel& panel) const;
};

} // namespace quillonde
