#include "ui/plot_view.h"

#include "plot/text_codec.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <exception>

namespace quillonde {

namespace {

constexpr auto readout_hint =
    "Point at the plot for a row; drag or turn the wheel to zoom; Escape shows all; right-click to save, "
    "copy or compare";
constexpr int hover_reach_px = 12;
constexpr double zoom_step = 0.5;  // of the shown depths, per key press
constexpr double wheel_step = 0.8; // the shown depths shrink to this per wheel notch
constexpr int smallest_drag_px = 4;

} // namespace

PlotView::PlotView(ProfilePlot& plot, QLabel& readout, QWidget* parent)
    : QWidget(parent), plot_(plot), readout_(readout)
{
    setObjectName(QStringLiteral("plot"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    readout_.setText(QString::fromUtf8(readout_hint));
}

void PlotView::invalidate()
{
    cache_ = QPixmap();
    hover_.reset();
    update();
}

void PlotView::zoom_to(double top_m, double bottom_m)
{
    plot_.zoom(top_m, bottom_m);
    invalidate();
    show_readout();
}

void PlotView::show_all()
{
    plot_.show_all();
    invalidate();
    show_readout();
}

void PlotView::paintEvent(QPaintEvent*)
{
    if (cache_.size() != size() * devicePixelRatioF()) {
        cache_ = QPixmap(size() * devicePixelRatioF());
        cache_.setDevicePixelRatio(devicePixelRatioF());
        QPainter painter(&cache_);
        painter.setFont(font());
        try {
            plot_.paint(painter, rect());
        } catch (const std::exception& error) {
            // An error must not leave a paint event; the plot says it instead.
            painter.fillRect(rect(), Qt::white);
            painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, from_message(error.what()));
        }
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, cache_);
    painter.setRenderHint(QPainter::Antialiasing);
    if (drag_from_) {
        const double top = std::min(*drag_from_, drag_to_);
        const double bottom = std::max(*drag_from_, drag_to_);
        for (std::size_t p = 0; p < plot_.panel_count(); ++p) {
            const QRectF frame = plot_.panel_frame(p);
            painter.fillRect(QRectF(frame.left(), top, frame.width(), bottom - top), QColor(30, 80, 160, 50));
        }
    }
    if (hover_) {
        const QPointF at = plot_.position(hover_->second, hover_->first.depth_m, hover_->first.value);
        painter.setPen(QPen(Qt::black, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at, 6.0, 6.0);
    }
}

void PlotView::resizeEvent(QResizeEvent*)
{
    invalidate();
}

void PlotView::mouseMoveEvent(QMouseEvent* event)
{
    if (drag_from_) {
        drag_to_ = event->position().y();
        update();
        return;
    }
    hover_ = plot_.nearest(event->position(), hover_reach_px);
    show_readout();
    update();
}

void PlotView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && plot_.depth_at(event->position().y())) {
        drag_from_ = drag_to_ = event->position().y();
    }
}

void PlotView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!drag_from_ || event->button() != Qt::LeftButton) {
        return;
    }
    const double from = *drag_from_;
    drag_from_.reset();
    const std::optional<double> top = plot_.depth_at(from);
    const std::optional<double> bottom = plot_.depth_at(
        std::clamp(event->position().y(), plot_.panel_frame(0).top(), plot_.panel_frame(0).bottom()));
    if (top && bottom && std::abs(event->position().y() - from) >= smallest_drag_px) {
        zoom_to(*top, *bottom);
    }
    update();
}

void PlotView::mouseDoubleClickEvent(QMouseEvent*)
{
    show_all();
}

void PlotView::wheelEvent(QWheelEvent* event)
{
    // About the pointer: the depth under it stays where it is.
    const std::optional<double> depth_m = plot_.depth_at(event->position().y());
    const double notches = event->angleDelta().y() / 120.0;
    if (!depth_m || notches == 0.0) {
        event->ignore();
        return;
    }
    const double factor = std::pow(wheel_step, notches);
    const auto [top_m, bottom_m] = plot_.shown_depths();
    zoom_to(*depth_m - (*depth_m - top_m) * factor, *depth_m + (bottom_m - *depth_m) * factor);
}

void PlotView::keyPressEvent(QKeyEvent* event)
{
    if (plot_.panel_count() == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const auto [top_m, bottom_m] = plot_.shown_depths();
    const double span = bottom_m - top_m;
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Home:
    case Qt::Key_0: show_all(); return;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom_to(top_m + span * zoom_step / 2, bottom_m - span * zoom_step / 2); return;
    case Qt::Key_Minus: zoom_to(top_m - span / 2, bottom_m + span / 2); return;
    case Qt::Key_Up:
    case Qt::Key_PageUp: zoom_to(top_m - span * zoom_step, bottom_m - span * zoom_step); return;
    case Qt::Key_Down:
    case Qt::Key_PageDown: zoom_to(top_m + span * zoom_step, bottom_m + span * zoom_step); return;
    default: QWidget::keyPressEvent(event);
    }
}

void PlotView::leaveEvent(QEvent*)
{
    hover_.reset();
    show_readout();
    update();
}

void PlotView::show_readout()
{
    readout_.setText(hover_ ? plot_.readout(hover_->first, hover_->second) : QString::fromUtf8(readout_hint));
}

} // namespace quillonde
