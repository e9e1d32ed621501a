#include "ui/form1.h"

#include "form/calculate.h"
#include "form/export.h"
#include "form/loader.h"
#include "form/preview.h"
#include "formats/profile_text.h"
#include "runtime/error.h"
#include "ui/cast_fix_dialog.h"
#include "ui/file_dialog.h"
#include "ui/icon.h"
#include "ui/key_filter.h"
#include "ui/profile_window.h"
#include "ui/send_dialog.h"
#include "ui/status_line.h"
#include "ui/text_codec.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

// The window's own texts.
constexpr auto window_caption = "Quillonde";
constexpr auto calculate_caption = "Calculate depth [m]";
constexpr auto load_caption = "Browes ...";
constexpr auto export_caption = "Browse ...";
constexpr auto fresh_caption = "Fresh water";
constexpr auto salt_caption = "Salt water";
constexpr auto latitude_at_start = "45";
constexpr auto pressure_at_start = "100";
constexpr auto latitude_caption = "Latitude [deg]";
constexpr auto pressure_caption = "Pressure [dbar]";
constexpr auto depth_at_start = "Depth [m]: ";
constexpr auto load_heading = "Load Sea && Sun data file (*.TOB) ";
constexpr auto export_heading = "Export as ELAC .sva file";
constexpr auto nothing_yet = "-";
constexpr auto sections_name = "Section of the file";
constexpr auto one_cast_at_a_time = "One cast at a time can be loaded: drop a single file.";

// The layout is given in twips, 15 to a pixel at 96 dots per inch.
constexpr int twips_per_pixel = 15;
constexpr int client_width = 5775;
constexpr int client_height = 5925;
constexpr double font_points = 8.25;

QRect twips(int left, int top, int width, int height)
{
    return {left / twips_per_pixel, top / twips_per_pixel, width / twips_per_pixel, height / twips_per_pixel};
}

/// A label caption as it shows: "&&" is one "&".
QString shown(const char* caption)
{
    return QString::fromUtf8(caption).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

template <typename Widget> Widget* make(QWidget* parent, const char* name, QRect geometry)
{
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* make_label(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* label = make<QLabel>(parent, name, geometry);
    label->setText(shown(caption));
    return label;
}

QPushButton* make_button(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* button = make<QPushButton>(parent, name, geometry);
    button->setText(QString::fromUtf8(caption));
    button->setAutoDefault(false); // Enter and Escape press no button
    button->setDefault(false);
    return button;
}

QWidget* make_line(QWidget* parent, const char* name, int x1, int x2, int y)
{
    auto* line = make<QFrame>(parent, name, twips(std::min(x1, x2), y, std::abs(x2 - x1), twips_per_pixel));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    return line;
}

/// Long runs without a blank (a quoted line of NUL bytes, a deep path) get invisible break points,
/// so that a message box can wrap them and stays narrower than the screen.
QString breakable(const QString& message)
{
    constexpr int longest_run = 40;
    constexpr char16_t zero_width_space = u'\u200B';
    QString out;
    int run = 0;
    for (const QChar c : message) {
        if (c.isSpace()) {
            run = 0;
        } else if (++run > longest_run && !c.isLowSurrogate()) {
            out += QChar(zero_width_space);
            run = 1;
        }
        out += c;
    }
    return out;
}

std::string bytes(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return {utf8.constData(), static_cast<std::size_t>(utf8.size())};
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(window_caption));
    setWindowIcon(quillonde_icon());
    setFixedSize(client_width / twips_per_pixel, client_height / twips_per_pixel);
    setAcceptDrops(true);
    QFont window_font = font();
    window_font.setPointSizeF(font_points);
    setFont(window_font);
    QFont bold = window_font;
    bold.setBold(true);
    QFont underlined = window_font;
    underlined.setUnderline(true);

    // In the order the window has always created them; positions inside Frame1 count from the
    // frame, which stands 60 twips above the window's top.
    Frame1 = make<QFrame>(this, "Frame1", twips(0, -60, 5775, 5655));
    Frame1->setFrameShape(QFrame::Box); // a border and nothing else, no caption
    Frame1->setFrameShadow(QFrame::Sunken);
    Command3 = make_button(Frame1, "Command3", export_caption, twips(120, 5160, 1095, 255));
    tx_out = make<QLineEdit>(Frame1, "tx_out", twips(1440, 5160, 4215, 285));
    List1 = make<QListWidget>(Frame1, "List1", twips(2760, 2160, 2895, 2400));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    tx_ss_file = make<QLineEdit>(Frame1, "tx_ss_file", twips(1440, 1800, 4215, 285));
    Command2 = make_button(Frame1, "Command2", load_caption, twips(120, 1800, 1095, 255));
    tx_lat = make<QLineEdit>(Frame1, "tx_lat", twips(120, 840, 1215, 285));
    tx_lat->setText(QString::fromUtf8(latitude_at_start));
    tx_press = make<QLineEdit>(Frame1, "tx_press", twips(1560, 840, 1215, 285));
    tx_press->setText(QString::fromUtf8(pressure_at_start));
    Command1 = make_button(Frame1, "Command1", calculate_caption, twips(3480, 360, 1815, 375));
    op_salt = make<QRadioButton>(Frame1, "op_salt", twips(1680, 240, 1215, 255));
    op_salt->setText(QString::fromUtf8(salt_caption));
    op_fresh = make<QRadioButton>(Frame1, "op_fresh", twips(120, 240, 1455, 255));
    op_fresh->setText(QString::fromUtf8(fresh_caption));
    op_fresh->setChecked(true);
    CD = new FileDialog(this);
    Label6 = make_label(Frame1, "Label6", nothing_yet, twips(120, 3120, 2535, 255));
    Label6->setFont(bold);
    Label5 = make_label(Frame1, "Label5", export_heading, twips(120, 4800, 3135, 255));
    Label5->setFont(underlined);
    Line2 = make_line(Frame1, "Line2", 5640, 120, 4680);
    Label4 = make_label(Frame1, "Label4", nothing_yet, twips(120, 2160, 2775, 255));
    Label3 = make_label(Frame1, "Label3", load_heading, twips(120, 1440, 2535, 255));
    Label3->setFont(underlined);
    Line1 = make_line(Frame1, "Line1", 120, 5640, 1320);
    Label1 = make_label(Frame1, "Label1", latitude_caption, twips(120, 600, 1215, 255));
    Label2 = make_label(Frame1, "Label2", pressure_caption, twips(1560, 600, 1215, 255));
    lb_depth = make_label(Frame1, "lb_depth", depth_at_start, twips(3000, 840, 2655, 255));
    lb_depth->setFont(bold);
    Label7 = make_label(this, "Label7", "", twips(120, 5640, 5535, 255));
    // Below the row count, in the room the window leaves beside the list of columns.
    sections_ = make<QComboBox>(Frame1, "sections", twips(120, 2520, 2535, 315));
    sections_->setAccessibleName(QString::fromUtf8(sections_name));
    sections_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    sections_->hide();
    status_ = std::make_unique<StatusLine>(Label7);
    status_->water_chosen(op_salt->isChecked());

    for (QLabel* caption : findChildren<QLabel*>()) {
        if (caption != Label7) {
            fit_caption(caption);
        }
    }

    // Where a label reaches under a box, the box covers it.
    for (QWidget* box :
         {static_cast<QWidget*>(List1), static_cast<QWidget*>(tx_lat), static_cast<QWidget*>(tx_press)}) {
        box->raise();
    }

    for (QLineEdit* any_box : {tx_lat, tx_press, tx_ss_file, tx_out}) {
        any_box->setMaxLength(std::numeric_limits<int>::max()); // the toolkit would stop at 32767
    }

    key_filter_ = new NumberKeyFilter(this);
    for (QLineEdit* number_box : {tx_lat, tx_press}) {
        number_box->installEventFilter(key_filter_);
        number_box->setAttribute(Qt::WA_InputMethodEnabled, false); // every character comes as a key
    }

    QWidget* order[] = {op_fresh,   op_salt,   Command1, tx_press, tx_lat,  Command2,
                        tx_ss_file, sections_, List1,    tx_out,   Command3};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    op_fresh->setFocus(Qt::OtherFocusReason);

    connect(Command1, &QPushButton::clicked, this, &Form1::calculate_clicked);
    connect(Command2, &QPushButton::clicked, this, &Form1::load_clicked);
    connect(Command3, &QPushButton::clicked, this, &Form1::export_clicked);
    connect(List1, &QListWidget::itemActivated, this, &Form1::open_profile); // double-click, Enter
    connect(sections_, &QComboBox::activated, this, [this](int index) { choose_section(index + 1); });
    // Made hidden at once, so that it reads a loaded cast ahead before it is first opened.
    profile_ = new ProfileWindow(*this, state_, this);
    connect(this, &Form1::table_changed, profile_, &ProfileWindow::table_changed);
    profile_->set_sender([this](const SendRequest& request) { send_clicked(request); });
    connect(tx_out, &QLineEdit::textChanged, profile_, &ProfileWindow::target_changed);
    // Enter in a box does what the box is for; it presses no button.
    connect(tx_press, &QLineEdit::returnPressed, this, &Form1::calculate_clicked);
    connect(tx_lat, &QLineEdit::returnPressed, this, &Form1::calculate_clicked);
    connect(tx_ss_file, &QLineEdit::returnPressed, this, [this] { open_cast(tx_ss_file->text()); });
    connect(op_salt, &QRadioButton::toggled, this, [this](bool salt) { status_->water_chosen(salt); });

    show_error_ = [this](const QString& message) {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(window_caption), breakable(message),
                        QMessageBox::Ok, this);
        box.exec();
    };
    ask_question_ = [this](const QString& question) {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(window_caption), breakable(question),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    choose_answer_ = [this](const QString& question, const QStringList& answers) {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(window_caption), breakable(question),
                        QMessageBox::NoButton, this);
        std::vector<QAbstractButton*> buttons;
        for (qsizetype k = 0; k < answers.size(); ++k) {
            buttons.push_back(box.addButton(answers[k], k + 1 == answers.size() ? QMessageBox::RejectRole
                                                                                : QMessageBox::AcceptRole));
        }
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.back()));
        box.setEscapeButton(buttons.back());
        box.exec();
        const auto chosen = std::ranges::find(buttons, box.clickedButton());
        return static_cast<std::size_t>(std::min(chosen, buttons.end() - 1) - buttons.begin());
    };
}

Form1::~Form1() = default;

void Form1::set_error_presenter(std::function<void(const QString&)> presenter)
{
    show_error_ = std::move(presenter);
}

void Form1::set_question_presenter(std::function<bool(const QString&)> presenter)
{
    ask_question_ = std::move(presenter);
}

void Form1::set_choice_presenter(std::function<std::size_t(const QString&, const QStringList&)> presenter)
{
    choose_answer_ = std::move(presenter);
}

bool Form1::ask(const Question& question)
{
    if (question.kind == QuestionKind::computed_notes) {
        export_notes_ = notes_text(question.notes); // told after the export, not asked
        return true;
    }
    // A question before a load (the latitude) is the user's turn: the busy cursor steps aside.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    // Questions quote paths and messages, as errors do.
    const bool yes = ask_question_(from_message(question_text(question)));
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return yes;
}

std::size_t Form1::choose(const Question& question)
{
    QStringList answers;
    for (const std::string_view answer : question_answers(question)) {
        answers << QString::fromUtf8(answer.data(), static_cast<qsizetype>(answer.size()));
    }
    return std::min(choose_answer_(from_message(question_text(question)), answers),
                    static_cast<std::size_t>(answers.size()) - 1);
}

std::optional<CastFix> Form1::ask_time_and_position(const FixRequest& request)
{
    FixRequest shown = request;
    // What the user gave for this cast before is shown first the next time; each section of a file
    // of many casts is a cast of its own.
    const std::string cast =
        state_.cast.parts.empty() ? request.cast : request.cast + '#' + std::to_string(state_.cast.part);
    if (const auto given = fixes_.find(cast); given != fixes_.end()) {
        shown.latitude_shown = degrees_text(given->second.latitude_deg);
        shown.longitude_shown = degrees_text(given->second.longitude_deg);
        shown.time_shown = given->second.utc;
        shown.time_source = "as given for this cast before";
        shown.time_to_confirm = false;
    }
    CastFixDialog dialog(shown, this);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return fixes_.insert_or_assign(cast, dialog.fix()).first->second;
}

namespace {

/// Runs a handler and returns the message of the error it raised, if any.
std::optional<QString> attempt(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const Error& error) {
        return from_message(error.what());
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        return from_message(error.what());
    }
    return std::nullopt;
}

} // namespace

void Form1::run_handler(const std::function<void()>& handler)
{
    if (const std::optional<QString> failure = attempt(handler)) {
        status_->failed(*failure);
        show_error_(*failure);
    }
}

void Form1::choose_water(bool salt, const QString& latitude)
{
    (salt ? op_salt : op_fresh)->setChecked(true);
    if (salt) {
        tx_lat->setText(latitude);
    }
}

void Form1::calculate_clicked()
{
    run_handler([this] {
        if (const std::optional<WaterDepth> depth = calculate_depth(*this)) {
            status_->depth_calculated(*depth, tx_press->text());
        }
    });
}

void Form1::load_clicked()
{
    // A second load or an export in the middle of a load would mix two files in one table.
    loading_ = true;
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    pacer_.start();

    // A file loaded anew shows the section its reader takes; only the list chooses another.
    state_.part_wanted = std::exchange(section_wanted_, 0);
    LoadOutcome outcome = LoadOutcome::nothing_chosen;
    const std::optional<QString> failure = attempt([&] { outcome = load_data_file(*this, state_); });

    QApplication::restoreOverrideCursor();
    Command2->setEnabled(true);
    Command3->setEnabled(true);
    loading_ = false;
    // A cancelled dialog leaves the cast as it was; a failed load leaves no section to choose.
    if (failure || outcome != LoadOutcome::nothing_chosen) {
        list_sections(!failure && outcome == LoadOutcome::loaded);
    }
    emit table_changed();
    if (closing_) {
        QCoreApplication::quit(); // closed during the load: the program ends, whatever the load gave
    } else if (failure) {
        status_->load_failed(*failure, state_);
        show_error_(*failure);
    } else if (outcome == LoadOutcome::loaded) {
        status_->loaded(state_);
    }
}

void Form1::export_clicked()
{
    run_handler([this] {
        export_notes_.clear();
        if (const ExportOutcome outcome = export_profile(*this, state_, sounder_settings());
            outcome.written) {
            std::string notes = export_notes_;
            for (const std::string& note : outcome.notes) {
                notes += (notes.empty() ? "" : "; ") + note;
            }
            status_->written(outcome.profile_lines, tx_out->text(), from_message(notes));
        }
    });
}

void Form1::send_clicked(const SendRequest& request)
{
    // The table of a load in progress is not yet the cast.
    if (loading_) {
        return;
    }
    run_handler([&] {
        export_notes_.clear();
        const SendOutcome outcome = send_profile(*this, state_, request, *resolver_);
        if (!outcome.sent) {
            return;
        }
        SendDialog::remember(request);
        std::string notes = export_notes_;
        for (const std::string& note : outcome.notes) {
            notes += (notes.empty() ? "" : "; ") + note;
        }
        status_->sent(from_message(outcome.status), from_message(notes));
    });
}

void Form1::open_profile(QListWidgetItem* entry)
{
    const QByteArray name = entry->data(Qt::UserRole).toByteArray();
    profile_->show_column({name.constData(), static_cast<std::size_t>(name.size())});
}

void Form1::list_sections(bool loaded)
{
    const std::vector<CastPart>& parts = state_.cast.parts;
    sections_->clear();
    for (std::size_t k = 0; k < parts.size(); ++k) {
        sections_->addItem(QString::fromUtf8(section_line(parts[k], k + 1)));
    }
    sections_->setCurrentIndex(static_cast<int>(state_.cast.part) - 1);
    sections_->setToolTip(sections_->currentText());
    // The entries are wider than the box: the open list shows them whole.
    sections_->view()->setMinimumWidth(sections_->view()->sizeHintForColumn(0) +
                                       2 * sections_->view()->frameWidth());
    sections_->setVisible(loaded && parts.size() > 1);
}

void Form1::choose_section(int number)
{
    if (loading_ || state_.last_load.cast_path.empty() ||
        static_cast<std::size_t>(number) == state_.cast.part) {
        return;
    }
    section_wanted_ = static_cast<std::size_t>(number);
    open_cast(from_message(state_.last_load.cast_path));
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A load in progress sees this at its next event round, within a line too, and stops; the window
    // closes now and the program ends with the load.
    closing_ = loading_;
    QWidget::closeEvent(event);
}

void Form1::open_cast(const QString& path)
{
    if (loading_) {
        return;
    }
    tx_ss_file->setText(path);
    dialog_cancelled_ = true;
    load_clicked();
}

void Form1::open_cast_later(const QString& path)
{
    if (!path.isEmpty()) {
        QTimer::singleShot(0, this, [this, path] { open_cast(path); });
    }
}

namespace {

bool all_local_files(const QMimeData* data)
{
    const QList<QUrl> urls = data->urls();
    return !urls.isEmpty() &&
           std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

} // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!loading_ && all_local_files(event->mimeData())) {
        event->acceptProposedAction();
    }
}

void Form1::dropEvent(QDropEvent* event)
{
    if (loading_ || !all_local_files(event->mimeData())) {
        return;
    }
    event->acceptProposedAction();
    // The drop ends before anything is loaded or shown, so the file manager does not wait for it.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() > 1) {
        QTimer::singleShot(0, this, [this] { show_error_(QString::fromUtf8(one_cast_at_a_time)); });
        return;
    }
    open_cast_later(urls.front().toLocalFile());
}

bool Form1::process_events()
{
    // Event rounds belong to the load; an export only asks whether to go on.
    if (loading_ && pacer_.due()) {
        QCoreApplication::processEvents();
    }
    return !closing_;
}

QLineEdit* Form1::box(TextBox which) const
{
    switch (which) {
    case TextBox::tx_lat: return tx_lat;
    case TextBox::tx_press: return tx_press;
    case TextBox::tx_ss_file: return tx_ss_file;
    case TextBox::tx_out: return tx_out;
    }
    return tx_out;
}

QLabel* Form1::label(Label which) const
{
    switch (which) {
    case Label::lb_depth: return lb_depth;
    case Label::Label4: return Label4;
    case Label::Label6: return Label6;
    }
    return Label6;
}

std::string Form1::text(TextBox which) const
{
    return bytes(box(which)->text());
}

void Form1::set_text(TextBox which, std::string_view text)
{
    box(which)->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool Form1::selected(OptionButton option) const
{
    return option == OptionButton::op_fresh ? op_fresh->isChecked() : op_salt->isChecked();
}

void Form1::set_caption(Label which, std::string_view caption)
{
    // Captions may quote the data file, whose bytes are Windows-1252.
    label(which)->setText(from_windows_1252(caption));
}

void Form1::list_clear()
{
    List1->clear();
}

void Form1::list_add(std::string_view entry)
{
    // Shown decoded, kept as the file's bytes for the export's search by name.
    auto* item = new QListWidgetItem(from_windows_1252(entry));
    item->setData(Qt::UserRole, QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
    List1->addItem(item);
}

void Form1::dialog_set_filter(std::string_view filter_list, int index)
{
    CD->set_filter(QString::fromUtf8(filter_list.data(), static_cast<qsizetype>(filter_list.size())), index);
}

void Form1::dialog_show(DialogMode mode)
{
    // A profile is proposed beside its cast, under its name.
    CD->propose_for(mode == DialogMode::save ? from_message(state_.last_load.cast_path) : QString());
    if (std::exchange(dialog_cancelled_, false)) {
        CD->cancel(static_cast<int>(mode));
    } else {
        CD->show(static_cast<int>(mode));
    }
}

std::string Form1::dialog_file_name() const
{
    return bytes(CD->file_name());
}

int Form1::dialog_filter_index() const
{
    return CD->chosen_filter_index();
}

} // namespace quillonde
