#include "ui/profile_window.h"

#include "formats/registry.h"

#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/steps.h"
#include "plot/plot_file.h"
#include "plot/text_codec.h"
#include "profile/output_file.h"
#include "runtime/convert.h"
#include "ui/file_dialog.h"
#include "ui/plot_view.h"
#include "ui/send_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

namespace quillonde {

namespace {

constexpr auto window_title = "Quillonde - Profile";
constexpr auto side_by_side_caption = "SOUND, Temp, SALIN side by side";
constexpr auto row_number_column = "Datasets"; // the cast's row numbers: nothing to plot
constexpr auto reference_caption = "&Reference ...";
constexpr auto save_caption = "&Save picture ...";
constexpr auto copy_caption = "&Copy picture";
constexpr auto send_caption = "Se&nd to echo sounder ...";
constexpr auto remove_reference_caption = "Re&move reference";
constexpr auto picture_filters = "PNG picture *.png|*.png|SVG picture *.svg|*.svg|PDF document *.pdf|*.pdf|";
constexpr auto svg_mime_type = "image/svg+xml";
constexpr auto settings_key = "profile/geometry";
// In the order of CastChoice.
constexpr std::array<const char*, 3> cast_choice_captions = {"Cast by its format", "Downcast", "Upcast"};
constexpr auto drop_soak_caption = "Leave out the s&oak";
constexpr auto despike_caption = "Leave out s&pikes";
constexpr auto no_bins_caption = "0.5 m thinning";
constexpr double largest_bin_m = 100.0;
constexpr auto surface_sound_hint = "sensor m/s";
constexpr auto draft_hint = "draft m";
const QSize first_size(900, 680);
const QSize smallest_plot(440, 300);
constexpr double most_of_screen = 0.9;           // a first size never fills the screen
constexpr std::int32_t rows_read_ahead = 32'768; // about 10 ms of reading between events

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

QByteArray bytes_of(std::string_view text)
{
    return {text.data(), static_cast<qsizetype>(text.size())};
}

} // namespace

/// The reference cast: loaded by the load handler, as the batch tool loads, into a state of its own.
struct ProfileWindow::Reference {
    std::string path;
    DepthBasis basis;
    ProfileState state;
    std::vector<std::string> names;
};

ProfileWindow::ProfileWindow(Controls& controls, ProfileState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), controls_(controls), state_(state), plot_(state)
{
    setObjectName(QStringLiteral("ProfileWindow"));
    setWindowTitle(QString::fromUtf8(window_title));
    setAttribute(Qt::WA_QuitOnClose, false); // closing the main window ends the program
    read_ahead_ = new QTimer(this);
    read_ahead_->setInterval(0);
    connect(read_ahead_, &QTimer::timeout, this, [this] {
        if (!plot_.prepare_more(rows_read_ahead)) {
            read_ahead_->stop();
            plot_.prepare_preview();
        }
    });
    show_error_ = [this](const QString& message) {
        QMessageBox::warning(this, QString::fromUtf8(window_title), message);
    };
}

void ProfileWindow::build()
{
    if (view_ != nullptr) {
        return;
    }
    chooser_ = new QComboBox(this);
    chooser_->setObjectName(QStringLiteral("chooser"));
    chooser_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Reached with Tab or Alt+C; a click opens it without taking the plot's keys.
    chooser_->setFocusPolicy(Qt::TabFocus);
    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("readout"));
    // A long readout wraps, in room for two lines kept at all times: the plot does not jump.
    readout_->setWordWrap(true);
    readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    readout_->setFixedHeight(2 * readout_->fontMetrics().lineSpacing());
    view_ = new PlotView(plot_, *readout_, this);
    view_->setMinimumSize(smallest_plot);
    picture_dialog_ = new FileDialog(this);
    picture_dialog_->set_filter(QString::fromUtf8(picture_filters), 1);

    auto* reference = new QPushButton(QString::fromUtf8(reference_caption), this);
    reference->setObjectName(QStringLiteral("reference"));
    reference->setFocusPolicy(Qt::TabFocus);
    auto* top = new QHBoxLayout;
    auto* chooser_label = new QLabel(QStringLiteral("&Column:"), this);
    chooser_label->setBuddy(chooser_);
    top->addWidget(chooser_label);
    top->addWidget(chooser_);
    top->addStretch();
    top->addWidget(reference);
    auto* send = new QPushButton(QString::fromUtf8(send_caption), this);
    send->setObjectName(QStringLiteral("send"));
    send->setFocusPolicy(Qt::TabFocus);
    top->addWidget(send);
    connect(send, &QPushButton::clicked, this, &ProfileWindow::send_to_sounder);
    cast_choice_ = new QComboBox(this);
    cast_choice_->setObjectName(QStringLiteral("cast_choice"));
    for (const char* caption : cast_choice_captions) {
        cast_choice_->addItem(QString::fromUtf8(caption));
    }
    drop_soak_ = new QCheckBox(QString::fromUtf8(drop_soak_caption), this);
    drop_soak_->setObjectName(QStringLiteral("drop_soak"));
    despike_ = new QCheckBox(QString::fromUtf8(despike_caption), this);
    despike_->setObjectName(QStringLiteral("despike"));
    bin_ = new QDoubleSpinBox(this);
    bin_->setObjectName(QStringLiteral("bin"));
    bin_->setRange(0.0, largest_bin_m);
    bin_->setSingleStep(0.5);
    bin_->setSpecialValueText(QString::fromUtf8(no_bins_caption));
    bin_->setSuffix(QStringLiteral(" m bins"));
    // The transducer's own sound speed sensor and its draft: the export checks the profile there.
    const auto number_box = [this](const char* name, const char* hint) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromUtf8(name));
        box->setPlaceholderText(QString::fromUtf8(hint));
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QString::fromUtf8(hint)) * 5 / 4);
        connect(box, &QLineEdit::editingFinished, this, &ProfileWindow::steps_changed);
        return box;
    };
    surface_sound_ = number_box("surface_sound", surface_sound_hint);
    draft_ = number_box("draft", draft_hint);
    steps_ = new QLabel(this);
    steps_->setObjectName(QStringLiteral("steps"));
    auto* steps = new QHBoxLayout;
    steps->addWidget(cast_choice_);
    steps->addWidget(drop_soak_);
    steps->addWidget(despike_);
    steps->addWidget(bin_);
    steps->addWidget(surface_sound_);
    steps->addWidget(draft_);
    steps->addWidget(steps_, 1);
    connect(cast_choice_, &QComboBox::activated, this, &ProfileWindow::steps_changed);
    connect(drop_soak_, &QCheckBox::toggled, this, &ProfileWindow::steps_changed);
    connect(despike_, &QCheckBox::toggled, this, &ProfileWindow::steps_changed);
    connect(bin_, &QDoubleSpinBox::valueChanged, this, &ProfileWindow::steps_changed);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(steps);
    layout->addWidget(view_, 1);
    layout->addWidget(readout_);
    setTabOrder(chooser_, view_);
    setTabOrder(view_, reference);
    setTabOrder(reference, send);

    // In the plot's context menu, and their keys wherever the focus is in this window.
    const auto add_action = [this](const char* caption, QKeySequence keys, void (ProfileWindow::*slot)()) {
        auto* action = new QAction(QString::fromUtf8(caption), view_);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        view_->addAction(action);
        return action;
    };
    add_action(save_caption, QKeySequence::Save, &ProfileWindow::save_picture);
    add_action(copy_caption, QKeySequence::Copy, &ProfileWindow::copy_picture);
    auto* separator = new QAction(view_);
    separator->setSeparator(true);
    view_->addAction(separator);
    add_action(reference_caption, {}, &ProfileWindow::choose_reference);
    remove_reference_ = add_action(remove_reference_caption, {}, &ProfileWindow::remove_reference);
    remove_reference_->setEnabled(false);
    connect(reference, &QPushButton::clicked, this, &ProfileWindow::choose_reference);

    if (!restoreGeometry(user_settings()->value(QString::fromUtf8(settings_key)).toByteArray())) {
        resize(first_size);
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

void ProfileWindow::send_to_sounder()
{
    SendDialog dialog(this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    target_changed(); // the dialog keeps the settings of a profile for SIS
    if (accepted && sender_) {
        sender_(dialog.request());
    }
}

void ProfileWindow::fit_to_screen()
{
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // Within the screen's free area, also where the toolkit scales everything up.
    const QRect free = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    const QSize room =
        (free.size() - frame).boundedTo(QSize(free.size() * most_of_screen)).expandedTo(minimumSizeHint());
    if (width() > room.width() || height() > room.height()) {
        resize(size().boundedTo(room));
    }
    QRect placed = frameGeometry();
    placed.moveRight(std::min(placed.right(), free.right()));
    placed.moveBottom(std::min(placed.bottom(), free.bottom()));
    placed.moveLeft(std::max(placed.left(), free.left()));
    placed.moveTop(std::max(placed.top(), free.top()));
    if (placed.topLeft() != frameGeometry().topLeft()) {
        move(placed.topLeft());
    }
}

std::vector<std::string> ProfileWindow::column_names() const
{
    return state_.listed_names();
}

void ProfileWindow::fill_chooser()
{
    const QVariant current = chooser_->currentData();
    chooser_->clear();
    chooser_->addItem(QString::fromUtf8(side_by_side_caption), bytes_of(ctd_columns));
    for (const std::string& entry : column_names()) {
        const QByteArray bytes = bytes_of(entry);
        if (entry != row_number_column && chooser_->findData(bytes) < 0) {
            chooser_->addItem(from_windows_1252(entry), bytes);
        }
    }
    chooser_->setCurrentIndex(std::max(0, chooser_->findData(current)));
}

void ProfileWindow::chosen(int index)
{
    const QByteArray choice = chooser_->itemData(index).toByteArray();
    plot_.set_columns(column_names(), split_names(std::string_view(choice.constData(),
                                                                   static_cast<std::size_t>(choice.size()))));
    view_->invalidate();
    view_->setFocus(Qt::OtherFocusReason); // the keys zoom and move the plot, not the chooser
}

void ProfileWindow::show_column(const std::string& name)
{
    build();
    fill_chooser();
    const int index = chooser_->findData(bytes_of(name));
    chooser_->setCurrentIndex(std::max(0, index));
    plot_.show_all();
    chosen(chooser_->currentIndex());
    const bool first = !isVisible();
    show();
    if (first) {
        fit_to_screen();
    }
    raise();
    activateWindow();
    read_ahead_columns(); // what the showing did not need, if it dropped what was read ahead
}

void ProfileWindow::steps_changed()
{
    Steps& chosen_steps = state_.steps;
    chosen_steps.cast = static_cast<CastChoice>(cast_choice_->currentIndex());
    chosen_steps.drop_soak = drop_soak_->isChecked();
    chosen_steps.despike = despike_->isChecked();
    chosen_steps.bin_m = bin_->value() > 0.0 ? std::optional(bin_->value()) : std::nullopt;
    double sound_m_s = 0.0;
    double draft_m = 0.0;
    const bool surface = parse_number(surface_sound_->text().toStdString(), sound_m_s) == NumberStatus::ok &&
                         parse_number(draft_->text().toStdString(), draft_m) == NumberStatus::ok &&
                         sound_m_s > 0.0 && !(draft_m < 0.0);
    chosen_steps.surface = surface ? std::optional(SurfaceSensor{sound_m_s, draft_m}) : std::nullopt;
    apply_steps(state_);
    table_changed();
}

void ProfileWindow::target_changed()
{
    plot_.set_target(writer_for_path(controls_.text(TextBox::tx_out)), sounder_settings());
    if (view_ != nullptr) {
        view_->invalidate();
    }
}

void ProfileWindow::table_changed()
{
    plot_.set_target(writer_for_path(controls_.text(TextBox::tx_out)), sounder_settings());
    if (steps_ != nullptr) {
        steps_->setText(QString::fromUtf8(steps_text(steps_on_cast(state_))));
    }
    if (reference_ && !(reference_->basis == depth_basis()) &&
        !load_reference(std::string(reference_->path))) {
        remove_reference(); // its depths would no longer match those of the cast
    }
    plot_.forget_table();
    if (isVisible()) {
        fill_chooser();
        plot_.show_all();
        chosen(chooser_->currentIndex());
    }
    read_ahead_columns();
}

void ProfileWindow::read_ahead_columns()
{
    plot_.prepare(column_names(), split_names(ctd_columns));
    read_ahead_->start();
}

DepthBasis ProfileWindow::depth_basis() const
{
    if (state_.last_load.depth_basis) {
        return *state_.last_load.depth_basis;
    }
    DepthBasis basis;
    basis.salt_water = controls_.selected(OptionButton::op_salt);
    double latitude = 0.0;
    if (basis.salt_water && parse_number(controls_.text(TextBox::tx_lat), latitude) == NumberStatus::ok) {
        basis.latitude_deg = static_cast<std::int32_t>(std::lround(latitude));
    }
    return basis;
}

void ProfileWindow::choose_reference()
{
    const FilterList filters = any_cast_filters();
    controls_.dialog_set_filter(filters.text, filters.selected);
    controls_.dialog_show(DialogMode::open);
    const std::string path = controls_.dialog_file_name();
    if (!path.empty()) {
        load_reference(path);
    }
}

bool ProfileWindow::load_reference(const std::string& path)
{
    build();
    auto loaded = std::make_unique<Reference>();
    loaded->path = path;
    loaded->basis = depth_basis();
    HeadlessControls controls;
    controls.set_water(loaded->basis.salt_water ? OptionButton::op_salt : OptionButton::op_fresh);
    controls.set_text(TextBox::tx_lat, std::to_string(loaded->basis.latitude_deg));
    controls.set_text(TextBox::tx_ss_file, path);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<QString> failure;
    try {
        load_data_file(controls, loaded->state);
    } catch (const std::exception& error) {
        failure = from_message(error.what());
    }
    QApplication::restoreOverrideCursor();
    if (failure) {
        show_error_(*failure); // a reference cut short would mislead: the old one stays
        return false;
    }
    loaded->names = loaded->state.listed_names();
    reference_ = std::move(loaded);
    plot_.set_reference(&reference_->state, reference_->names);
    remove_reference_->setEnabled(true);
    view_->invalidate();
    return true;
}

void ProfileWindow::remove_reference()
{
    build();
    plot_.set_reference(nullptr, {});
    reference_.reset();
    remove_reference_->setEnabled(false);
    view_->invalidate();
}

void ProfileWindow::save_picture()
{
    build();
    picture_dialog_->show(static_cast<int>(DialogMode::save));
    QString path = picture_dialog_->file_name();
    if (path.isEmpty()) {
        return;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QStringLiteral("png") && suffix != QStringLiteral("svg") &&
        suffix != QStringLiteral("pdf")) {
        path += QStringLiteral(".png");
    }
    const std::string target = path.toStdString();
    try {
        const QByteArray bytes = render_plot(plot_, plot_format_for(target), view_->size());
        OutputFile file(target);
        file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        file.commit();
    } catch (const std::exception& error) {
        show_error_(from_message(error.what()));
    }
    view_->invalidate(); // the picture laid the plot out with its own font
}

void ProfileWindow::copy_picture()
{
    build();
    auto* picture = new QMimeData;
    picture->setImageData(QImage::fromData(render_plot(plot_, PlotFormat::png, view_->size()), "PNG"));
    picture->setData(QString::fromUtf8(svg_mime_type), render_plot(plot_, PlotFormat::svg, view_->size()));
    QGuiApplication::clipboard()->setMimeData(picture);
    view_->invalidate();
}

} // namespace quillonde
