#include "plot/profile_plot.h"

#include "form/export.h"
#include "plot/text_codec.h"
#include "profile/profile_rows.h"
#include "runtime/cell.h"
#include "runtime/convert.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace quillonde {

namespace {

constexpr auto separator = u" \u00b7 ";
constexpr auto depth_title = "Depth [m]";
constexpr double value_padding = 0.04; // of the value range, either side
constexpr double depth_padding = 0.02; // of the depth range, below the deepest row

QString bytes_text(std::string_view bytes)
{
    return from_message(bytes);
}

/// The number a value cell holds, if any.
bool number_of(const Cell& cell, double& value)
{
    if (cell.kind() == Cell::Kind::number) {
        value = cell.as_number();
        return std::isfinite(value);
    }
    return cell.kind() == Cell::Kind::text && parse_number(cell.as_text(), value) == NumberStatus::ok &&
           std::isfinite(value);
}

/// Round steps (1, 2 or 5 times a power of ten) from `low` to `high`, about `count` of them.
std::vector<double> ticks(double low, double high, double count, int& decimals)
{
    std::vector<double> result;
    const double raw = (high - low) / std::max(count, 1.0);
    if (!(raw > 0.0) || !std::isfinite(raw)) {
        decimals = 0;
        return result;
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double step = magnitude * (fraction <= 1.0   ? 1.0
                                     : fraction <= 2.0 ? 2.0
                                     : fraction <= 5.0 ? 5.0
                                                       : 10.0);
    decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    for (double k = std::ceil(low / step); k * step <= high + step * 1e-9 && result.size() < 200; k += 1.0) {
        const double tick = k * step;
        result.push_back(std::abs(tick) < step * 1e-9 ? 0.0 : tick);
    }
    return result;
}

QString tick_text(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace

void ProfilePlot::set_columns(std::vector<std::string> names, std::vector<std::string> shown)
{
    names_ = std::move(names);
    requested_ = std::move(shown);
    scan();
}

void ProfilePlot::refresh()
{
    scan();
}

void ProfilePlot::zoom(double top_m, double bottom_m)
{
    zoom_ = std::minmax(top_m, bottom_m);
    scan();
}

void ProfilePlot::show_all()
{
    if (zoom_) {
        zoom_.reset();
        scan();
    }
}

QColor ProfilePlot::colour(std::size_t panel) const
{
    const std::string& name = panels_.at(panel).name;
    if (name == "SOUND") {
        return {0x1f, 0x4e, 0x9c};
    }
    if (name == "Temp") {
        return {0xc0, 0x39, 0x2b};
    }
    if (name == "SALIN") {
        return {0x1e, 0x84, 0x49};
    }
    return {0x5b, 0x2c, 0x83};
}

void ProfilePlot::scan()
{
    panels_.clear();
    shown_.clear();
    missing_.clear();
    profile_rows_.clear();
    has_depths_ = false;
    rows_without_depth_ = 0;
    scanned_columns_ = -1;
    const ProfileTable& table = state_.g_table;
    if (!table.has_shape()) {
        return;
    }
    scanned_columns_ = table.last_column();
    scanned_rows_ = table.last_row();
    // After several header lines the list holds the names of each; the table has the last ones.
    const auto columns = static_cast<std::size_t>(state_.ccolumns) + 1;
    const std::size_t first = names_.size() > columns ? names_.size() - columns : 0;
    for (const std::string& name : requested_) {
        const auto found = std::find(names_.begin() + static_cast<std::ptrdiff_t>(first), names_.end(), name);
        if (found == names_.end()) {
            missing_.push_back(name);
            continue;
        }
        Panel panel;
        panel.name = name;
        panel.column = static_cast<std::int32_t>(found - names_.begin() - static_cast<std::ptrdiff_t>(first));
        panel.title = bytes_text(name);
        const auto& described = state_.cast.columns;
        if (static_cast<std::size_t>(panel.column) < described.size() &&
            !described[static_cast<std::size_t>(panel.column)].unit.empty()) {
            panel.title += QStringLiteral(" [") +
                           bytes_text(described[static_cast<std::size_t>(panel.column)].unit) +
                           QStringLiteral("]");
        }
        panels_.push_back(std::move(panel));
        shown_.push_back(name);
    }

    for_each_profile_row(table, depth_column(), [this](std::int32_t row, double, const std::string&) {
        profile_rows_.push_back(row);
    });
    export_stop_ = export_stop(state_);

    const std::int32_t last_row = table.last_row();
    for (std::int32_t row = 1; row <= last_row; ++row) {
        const Cell depth_cell = table.cell(depth_column(), row);
        if (depth_cell.is_empty()) {
            rows_without_depth_ += table.cell(0, row).is_empty() ? 0 : 1;
            continue;
        }
        const double depth_m = depth_cell.as_number();
        shallowest_m_ = has_depths_ ? std::min(shallowest_m_, depth_m) : depth_m;
        deepest_m_ = has_depths_ ? std::max(deepest_m_, depth_m) : depth_m;
        has_depths_ = true;
        const bool in_view = !zoom_ || (depth_m >= zoom_->first && depth_m <= zoom_->second);
        for (Panel& panel : panels_) {
            double value = 0.0;
            if (!number_of(table.cell(panel.column, row), value)) {
                ++panel.no_number;
            } else if (in_view) {
                panel.low = panel.has_values ? std::min(panel.low, value) : value;
                panel.high = panel.has_values ? std::max(panel.high, value) : value;
                panel.has_values = true;
            }
        }
    }
    for (Panel& panel : panels_) {
        const double span = panel.high - panel.low;
        const double pad = span > 0.0 ? span * value_padding : std::max(std::abs(panel.low) * 0.01, 0.5);
        panel.low -= pad;
        panel.high += pad;
    }
    if (zoom_) {
        top_m_ = zoom_->first;
        bottom_m_ = zoom_->second > zoom_->first ? zoom_->second : zoom_->first + 1.0;
    } else if (has_depths_) {
        top_m_ = std::min(0.0, shallowest_m_);
        const double span = deepest_m_ - top_m_;
        bottom_m_ = span > 0.0 ? deepest_m_ + span * depth_padding : top_m_ + 1.0;
    } else {
        top_m_ = 0.0;
        bottom_m_ = 1.0;
    }
}

QString ProfilePlot::summary() const
{
    const ProfileTable& table = state_.g_table;
    if (!table.has_shape()) {
        return QString::fromUtf8(no_cast_text.data(), static_cast<qsizetype>(no_cast_text.size()));
    }
    const LoadRecord& load = state_.last_load;
    QStringList parts;
    parts << QFileInfo(bytes_text(load.cast_path)).fileName();
    parts << QStringLiteral("%1 of %2 rows stored").arg(table.filled_rows()).arg(table.last_row());
    parts << (has_depths_
                  ? QStringLiteral("depth %1 to %2 m")
                        .arg(QString::number(shallowest_m_, 'f', 2), QString::number(deepest_m_, 'f', 2))
                  : QStringLiteral("no depths"));
    if (load.depth_basis) {
        QString water =
            load.depth_basis->salt_water
                ? QStringLiteral("salt water, latitude %1\u00b0").arg(load.depth_basis->latitude_deg)
                : QStringLiteral("fresh water");
        if (load.mixed_basis) {
            water += QStringLiteral(" (later rows computed for other water or latitude)");
        }
        parts << water;
    }
    parts << QStringLiteral("%1 profile lines").arg(profile_lines());
    for (const Panel& panel : panels_) {
        parts << QStringLiteral("%1: %2 rows without a number")
                     .arg(bytes_text(panel.name))
                     .arg(panel.no_number);
    }
    for (const std::string& name : missing_) {
        parts << QStringLiteral("no column %1").arg(bytes_text(name));
    }
    if (rows_without_depth_ > 0) {
        parts << QStringLiteral("%1 rows without a depth").arg(rows_without_depth_);
    }
    if (export_stop_) {
        parts << QStringLiteral("the export would stop at %1: %2")
                     .arg(bytes_text(export_stop_->where()), bytes_text(export_stop_->detail()));
    }
    if (load.failed_line > 0) {
        parts << QStringLiteral("the load stopped at line %1").arg(load.failed_line);
    } else if (load.stopped) {
        parts << QStringLiteral("the load was stopped");
    }
    return parts.join(QString::fromUtf16(separator));
}

double ProfilePlot::map_x(const Panel& panel, double value) const
{
    return panel.frame.left() + (value - panel.low) / (panel.high - panel.low) * panel.frame.width();
}

double ProfilePlot::map_y(double depth_m) const
{
    const QRectF& frame = panels_.front().frame;
    return frame.top() + (depth_m - top_m_) / (bottom_m_ - top_m_) * frame.height();
}

QPointF ProfilePlot::position(std::size_t panel, double depth_m, double value) const
{
    return {map_x(panels_.at(panel), value), map_y(depth_m)};
}

std::optional<double> ProfilePlot::depth_at(double y) const
{
    if (panels_.empty()) {
        return std::nullopt;
    }
    const QRectF& frame = panels_.front().frame;
    if (y < frame.top() || y > frame.bottom()) {
        return std::nullopt;
    }
    return top_m_ + (y - frame.top()) / frame.height() * (bottom_m_ - top_m_);
}

std::optional<std::pair<PlotPoint, std::size_t>> ProfilePlot::nearest(QPointF at, double reach) const
{
    std::optional<std::pair<PlotPoint, std::size_t>> best;
    double best_distance = reach * reach;
    for (std::size_t p = 0; p < panels_.size(); ++p) {
        if (!panels_[p].frame.adjusted(-reach, -reach, reach, reach).contains(at)) {
            continue;
        }
        for (const PlotPoint& point : panels_[p].points) {
            const QPointF offset = position(p, point.depth_m, point.value) - at;
            const double distance = QPointF::dotProduct(offset, offset);
            if (distance <= best_distance) {
                best_distance = distance;
                best = {point, p};
            }
        }
    }
    return best;
}

void ProfilePlot::paint(QPainter& painter, const QRectF& area)
{
    const ProfileTable& table = state_.g_table;
    if (table.has_shape() ? table.last_column() != scanned_columns_ || table.last_row() != scanned_rows_
                          : scanned_columns_ >= 0) {
        scan();
    }
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font());
    const double line = metrics.height();
    const double pad = line * 0.6;
    const QString text = summary();
    for (Panel& panel : panels_) {
        panel.frame = {};
        panel.points.clear();
    }
    if (!state_.g_table.has_shape()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(area, Qt::AlignCenter, text);
        painter.restore();
        return;
    }

    // The summary line below, wrapped when the area is narrow.
    const QRectF text_room(area.left() + pad, area.top(), area.width() - 2 * pad, area.height());
    const QRectF summary_box = metrics.boundingRect(text_room, Qt::TextWordWrap, text);
    const double summary_top = area.bottom() - pad - summary_box.height();
    painter.setPen(Qt::black);
    painter.drawText(QRectF(text_room.left(), summary_top, text_room.width(), summary_box.height()),
                     Qt::TextWordWrap | Qt::AlignLeft, text);
    if (panels_.empty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(QRectF(area.left(), area.top(), area.width(), summary_top - area.top()),
                         Qt::AlignCenter, QStringLiteral("The cast has no such column"));
        painter.restore();
        return;
    }

    int depth_tick_decimals = 0;
    const double tick_length = line * 0.3;
    const double deepest_label =
        metrics.horizontalAdvance(tick_text(-std::max(std::abs(top_m_), std::abs(bottom_m_)), 2));
    const double left = area.left() + pad + line + pad * 0.5 + deepest_label + tick_length;
    const double top = area.top() + pad + 2 * line + tick_length;
    const double bottom = summary_top - pad;
    const double value_label = metrics.horizontalAdvance(QStringLiteral("00000.00"));
    const double right = area.right() - pad - value_label / 2;
    const double gap = value_label;
    const auto count = static_cast<double>(panels_.size());
    const double width = (right - left - gap * (count - 1)) / count;
    if (width < line || bottom - top < line) {
        painter.restore();
        return;
    }
    for (std::size_t p = 0; p < panels_.size(); ++p) {
        panels_[p].frame = QRectF(left + static_cast<double>(p) * (width + gap), top, width, bottom - top);
    }

    // The depth axis, pointing down, shared by the panels.
    const std::vector<double> depth_ticks =
        ticks(top_m_, bottom_m_, (bottom - top) / (line * 2.5), depth_tick_decimals);
    const QPen grid(QColor(0xe3, 0xe3, 0xe3), 0);
    const QPen axis(QColor(0x44, 0x44, 0x44), 0);
    painter.setPen(axis);
    for (const double depth : depth_ticks) {
        const double y = map_y(depth);
        painter.drawLine(QPointF(left - tick_length, y), QPointF(left, y));
        painter.drawText(
            QRectF(area.left(), y - line / 2, left - tick_length - pad * 0.3 - area.left(), line),
            Qt::AlignRight | Qt::AlignVCenter, tick_text(depth, depth_tick_decimals));
    }
    painter.save();
    painter.translate(area.left() + pad, (top + bottom) / 2);
    painter.rotate(-90);
    painter.drawText(QRectF(-(bottom - top) / 2, 0, bottom - top, line), Qt::AlignCenter,
                     QString::fromUtf8(depth_title));
    painter.restore();

    for (std::size_t p = 0; p < panels_.size(); ++p) {
        Panel& panel = panels_[p];
        const QRectF& frame = panel.frame;
        painter.setPen(grid);
        for (const double depth : depth_ticks) {
            painter.drawLine(QPointF(frame.left(), map_y(depth)), QPointF(frame.right(), map_y(depth)));
        }
        int value_decimals = 0;
        std::vector<double> value_ticks;
        // As many ticks as fit with a gap of a line's height between their labels.
        for (double wanted = frame.width() / line; panel.has_values && wanted >= 1.0; wanted *= 0.8) {
            value_ticks = ticks(panel.low, panel.high, wanted, value_decimals);
            double widest = 0.0;
            for (const double value : value_ticks) {
                widest = std::max(widest, metrics.horizontalAdvance(tick_text(value, value_decimals)));
            }
            if (value_ticks.size() < 2 ||
                map_x(panel, value_ticks[1]) - map_x(panel, value_ticks[0]) >= widest + line) {
                break;
            }
        }
        for (const double value : value_ticks) {
            const double x = map_x(panel, value);
            painter.setPen(grid);
            painter.drawLine(QPointF(x, frame.top()), QPointF(x, frame.bottom()));
            painter.setPen(axis);
            painter.drawLine(QPointF(x, frame.top() - tick_length), QPointF(x, frame.top()));
            painter.drawText(QRectF(x - value_label, frame.top() - tick_length - line, 2 * value_label, line),
                             Qt::AlignCenter, tick_text(value, value_decimals));
        }
        painter.setPen(colour(p).darker(130));
        QFont bold = painter.font();
        bold.setBold(true);
        painter.save();
        painter.setFont(bold);
        painter.drawText(QRectF(frame.left(), area.top() + pad, frame.width(), line), Qt::AlignCenter,
                         panel.title);
        painter.restore();
        if (!panel.has_values) {
            painter.setPen(Qt::darkGray);
            painter.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap,
                             QStringLiteral("No numbers in %1 at these depths").arg(bytes_text(panel.name)));
        } else {
            paint_panel(painter, panel, p);
        }
        painter.setPen(axis);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
    }
    painter.restore();
}

void ProfilePlot::paint_panel(QPainter& painter, Panel& panel, std::size_t index)
{
    const ProfileTable& table = state_.g_table;
    // Rows a little beyond the shown depths still draw, so that the line runs to the frame.
    const double span = bottom_m_ - top_m_;
    const double upper = top_m_ - span;
    const double lower = bottom_m_ + span;

    // Consecutive rows that land in one device pixel draw as one point, and a line between two
    // pixels draws once: a million rows shrink to the pixels they touch, a one-row spike included.
    std::vector<QLineF> lines;
    std::unordered_set<std::uint64_t> drawn;
    const auto pixel = [](double v) {
        return static_cast<std::uint16_t>(
            static_cast<std::int16_t>(std::clamp(std::floor(v), -32768.0, 32767.0)));
    };
    bool joined = false;
    std::uint32_t previous_cell = 0;
    QPointF previous;
    const std::int32_t last_row = table.last_row();
    for (std::int32_t row = 1; row <= last_row; ++row) {
        const Cell depth_cell = table.cell(depth_column(), row);
        double value = 0.0;
        if (depth_cell.is_empty() || depth_cell.as_number() < upper || depth_cell.as_number() > lower ||
            !number_of(table.cell(panel.column, row), value)) {
            joined = false;
            continue;
        }
        const double depth_m = depth_cell.as_number();
        const QPointF at(map_x(panel, value), map_y(depth_m));
        const std::uint32_t cell = (std::uint32_t{pixel(at.x())} << 16U) | pixel(at.y());
        if (joined && cell == previous_cell) {
            continue;
        }
        panel.points.push_back({row, depth_m, value});
        if (joined && drawn.insert((std::uint64_t{previous_cell} << 32U) | cell).second) {
            lines.emplace_back(previous, at);
        }
        joined = true;
        previous_cell = cell;
        previous = at;
    }

    const QColor colour = this->colour(index);
    QColor line_colour = colour;
    line_colour.setAlpha(150);
    painter.save();
    painter.setClipRect(panel.frame);
    painter.setPen(QPen(line_colour, 1.0));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));

    const double radius = std::max(2.0, QFontMetricsF(painter.font()).height() * 0.17);
    painter.setPen(QPen(colour.darker(140), 0.8));
    painter.setBrush(colour);
    for (const std::int32_t row : profile_rows_) {
        const double depth_m = table.cell(depth_column(), row).as_number();
        double value = 0.0;
        if (depth_m >= top_m_ && depth_m <= bottom_m_ && number_of(table.cell(panel.column, row), value)) {
            painter.drawEllipse(QPointF(map_x(panel, value), map_y(depth_m)), radius, radius);
        }
    }
    painter.restore();
}

} // namespace quillonde
