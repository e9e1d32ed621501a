#include "ui/profile_window.h"

#include "plot/text_codec.h"
#include "ui/file_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

namespace quillonde {

namespace {

constexpr auto window_title = "Quillonde - Profile";
constexpr auto side_by_side_caption = "SOUND, Temp, SALIN side by side";
constexpr auto readout_hint = "Point at the plot for a row; drag to zoom into depths; Escape shows all";
constexpr auto settings_key = "profile/geometry";
constexpr int hover_reach_px = 12;
constexpr double zoom_step = 0.5; // of the shown depths, per key press
constexpr int smallest_drag_px = 4;

std::vector<std::string> split_names(std::string_view list)
{
    std::vector<std::string> names;
    for (std::size_t begin = 0; begin <= list.size();) {
        const std::size_t comma = std::min(list.find(',', begin), list.size());
        names.emplace_back(list.substr(begin, comma - begin));
        begin = comma + 1;
    }
    return names;
}

} // namespace

/// The plot area: the plot painted once into a pixmap, the hover mark and the drag band on top.
class PlotView : public QWidget {
public:
    PlotView(ProfilePlot& plot, QLabel& readout, QWidget* parent)
        : QWidget(parent), plot_(plot), readout_(readout)
    {
        setObjectName(QStringLiteral("plot"));
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(320, 240);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    /// The plot changed: paint it anew at the next paint event.
    void invalidate()
    {
        cache_ = QPixmap();
        hover_.reset();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
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
                painter.fillRect(QRectF(frame.left(), top, frame.width(), bottom - top),
                                 QColor(30, 80, 160, 50));
            }
        }
        if (hover_) {
            const QPointF at = plot_.position(hover_->second, hover_->first.depth_m, hover_->first.value);
            painter.setPen(QPen(Qt::black, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, 6.0, 6.0);
        }
    }

    void resizeEvent(QResizeEvent*) override { invalidate(); }

    void mouseMoveEvent(QMouseEvent* event) override
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

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && plot_.depth_at(event->position().y())) {
            drag_from_ = drag_to_ = event->position().y();
        }
    }

    void mouseReleaseEvent(QMouseEvent* event) override
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
            plot_.zoom(*top, *bottom);
            invalidate();
        }
        update();
    }

    void mouseDoubleClickEvent(QMouseEvent*) override { show_all(); }

    void keyPressEvent(QKeyEvent* event) override
    {
        const std::optional<double> top =
            plot_.depth_at(plot_.panel_count() ? plot_.panel_frame(0).top() : -1);
        const std::optional<double> bottom =
            plot_.depth_at(plot_.panel_count() ? plot_.panel_frame(0).bottom() : -1);
        if (!top || !bottom) {
            QWidget::keyPressEvent(event);
            return;
        }
        const double span = *bottom - *top;
        switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Home:
        case Qt::Key_0: show_all(); return;
        case Qt::Key_Plus:
        case Qt::Key_Equal: zoom_to(*top + span * zoom_step / 2, *bottom - span * zoom_step / 2); return;
        case Qt::Key_Minus: zoom_to(*top - span / 2, *bottom + span / 2); return;
        case Qt::Key_Up:
        case Qt::Key_PageUp: zoom_to(*top - span * zoom_step, *bottom - span * zoom_step); return;
        case Qt::Key_Down:
        case Qt::Key_PageDown: zoom_to(*top + span * zoom_step, *bottom + span * zoom_step); return;
        default: QWidget::keyPressEvent(event);
        }
    }

    void leaveEvent(QEvent*) override
    {
        hover_.reset();
        show_readout();
        update();
    }

private:
    void show_all()
    {
        plot_.show_all();
        invalidate();
        show_readout();
    }

    void zoom_to(double top, double bottom)
    {
        plot_.zoom(top, bottom);
        invalidate();
    }

    void show_readout()
    {
        if (!hover_) {
            readout_.setText(QString::fromUtf8(readout_hint));
            return;
        }
        const PlotPoint& point = hover_->first;
        const std::string& name = plot_.shown_columns().at(hover_->second);
        readout_.setText(QStringLiteral("Row %1: depth %2 m, %3 %4")
                             .arg(point.row)
                             .arg(QString::number(point.depth_m, 'f', 2), from_message(name),
                                  QString::number(point.value, 'g', 10)));
    }

    ProfilePlot& plot_;
    QLabel& readout_;
    QPixmap cache_;
    std::optional<std::pair<PlotPoint, std::size_t>> hover_;
    std::optional<double> drag_from_;
    double drag_to_ = 0.0;
};

ProfileWindow::ProfileWindow(const ProfileState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), plot_(state)
{
    setObjectName(QStringLiteral("ProfileWindow"));
    setWindowTitle(QString::fromUtf8(window_title));
    setAttribute(Qt::WA_QuitOnClose, false); // closing the main window ends the program
    chooser_ = new QComboBox(this);
    chooser_->setObjectName(QStringLiteral("chooser"));
    chooser_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    readout_ = new QLabel(QString::fromUtf8(readout_hint), this);
    readout_->setObjectName(QStringLiteral("readout"));
    view_ = new PlotView(plot_, *readout_, this);

    auto* top = new QHBoxLayout;
    auto* chooser_label = new QLabel(QStringLiteral("&Column:"), this);
    chooser_label->setBuddy(chooser_);
    top->addWidget(chooser_label);
    top->addWidget(chooser_);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addWidget(readout_);
    setTabOrder(chooser_, view_);

    if (!restoreGeometry(user_settings()->value(QString::fromUtf8(settings_key)).toByteArray())) {
        resize(900, 680);
    }
    connect(chooser_, &QComboBox::activated, this, &ProfileWindow::chosen);
}

ProfileWindow::~ProfileWindow()
{
    if (isVisible()) {
        save_place();
    }
}

void ProfileWindow::hideEvent(QHideEvent* event)
{
    save_place();
    QWidget::hideEvent(event);
}

void ProfileWindow::save_place() const
{
    user_settings()->setValue(QString::fromUtf8(settings_key), saveGeometry());
}

void ProfileWindow::fill_chooser()
{
    const QVariant current = chooser_->currentData();
    chooser_->clear();
    chooser_->addItem(QString::fromUtf8(side_by_side_caption),
                      QByteArray(ctd_columns.data(), static_cast<qsizetype>(ctd_columns.size())));
    for (const std::string& entry : state_.listed_names()) {
        const QByteArray bytes(entry.data(), static_cast<qsizetype>(entry.size()));
        if (chooser_->findData(bytes) < 0) {
            chooser_->addItem(from_windows_1252(entry), bytes);
        }
    }
    chooser_->setCurrentIndex(std::max(0, chooser_->findData(current)));
}

void ProfileWindow::chosen(int index)
{
    const QByteArray choice = chooser_->itemData(index).toByteArray();
    plot_.set_columns(
        state_.listed_names(),
        split_names(std::string_view(choice.constData(), static_cast<std::size_t>(choice.size()))));
    view_->invalidate();
}

void ProfileWindow::show_column(const std::string& name)
{
    fill_chooser();
    const int index = chooser_->findData(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    chooser_->setCurrentIndex(std::max(0, index));
    plot_.show_all();
    chosen(chooser_->currentIndex());
    show();
    raise();
    activateWindow();
}

void ProfileWindow::table_changed()
{
    if (!isVisible()) {
        return; // show_column() reads the table when the window opens again
    }
    fill_chooser();
    plot_.show_all();
    chosen(chooser_->currentIndex());
}

} // namespace quillonde
