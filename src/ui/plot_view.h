#pragma once

#include "plot/profile_plot.h"

#include <QPixmap>
#include <QWidget>

#include <optional>
#include <utility>

class QLabel;

namespace quillonde {

/// The Profile window's plot area: the plot painted once into a pixmap, the hover mark and the
/// drag band on top. The pointer names the nearest row in the readout; a drag or the wheel zooms
/// into depths, the keys zoom (+, -), move (arrows, Page Up, Page Down) and show all (Home,
/// Escape, 0). Its context menu holds the actions added to it.
class PlotView : public QWidget {
public:
    PlotView(ProfilePlot& plot, QLabel& readout, QWidget* parent);

    /// The plot changed: paint it anew at the next paint event.
    void invalidate();
    /// Zooms to the depths from `top_m` to `bottom_m` and paints anew.
    void zoom_to(double top_m, double bottom_m);
    void show_all();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void show_readout();

    ProfilePlot& plot_;
    QLabel& readout_;
    QPixmap cache_;
    std::optional<std::pair<PlotPoint, std::size_t>> hover_;
    std::optional<double> drag_from_;
    double drag_to_ = 0.0;
};

} // namespace quillonde
