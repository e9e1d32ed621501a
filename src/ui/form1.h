#pragma once

#include "form/controls.h"
#include "form/send.h"
#include "form/state.h"
#include "ui/event_pacer.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;

namespace quillonde {

class FileDialog;
class NumberKeyFilter;
class ProfileWindow;
class StatusLine;

/// The one window. It lays out the controls, routes the three buttons to the calculator, the
/// load and the export, and is the control interface those handlers work through. A failed
/// handler shows its message in a message box; the window goes on.
class Form1 : public QWidget, public Controls {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    FileDialog& file_dialog() { return *CD; }

    /// Selects the water as the user would, and for salt water puts `latitude` into tx_lat: the
    /// water of the command line.
    void choose_water(bool salt, const QString& latitude);

    /// Loads a cast as if its path had been typed into tx_ss_file and the dialog cancelled: a
    /// cast named on the command line or dropped onto the window, or Enter in tx_ss_file.
    void open_cast(const QString& path);
    /// Opens a cast at the next turn of the event loop: once the window shows, once a drop is
    /// over. Nothing for an empty path.
    void open_cast_later(const QString& path);

    /// How the last load shared its time with the window: the longest stretch without an event
    /// round, in milliseconds, and how many rounds there were.
    double longest_event_gap_ms() const { return pacer_.longest_gap_ms(); }
    int event_rounds() const { return pacer_.rounds(); }

    /// Who turns the host of a send into addresses: the system's, unless a test has handed another.
    void set_resolver(const Resolver& resolver) { resolver_ = &resolver; }

    /// Shows an error; a modal message box unless a test has put something else in its place.
    void set_error_presenter(std::function<void(const QString&)> presenter);
    /// Asks a yes-or-no question; a modal box unless a test has put something else in its place.
    void set_question_presenter(std::function<bool(const QString&)> presenter);
    /// Asks a question of several answers and returns the index of the one taken; a modal box unless
    /// a test has put something else in its place.
    void set_choice_presenter(std::function<std::size_t(const QString&, const QStringList&)> presenter);

    // Controls
    std::string text(TextBox box) const override;
    void set_text(TextBox box, std::string_view text) override;
    bool selected(OptionButton option) const override;
    void set_caption(Label label, std::string_view caption) override;
    void list_clear() override;
    void list_add(std::string_view entry) override;
    void dialog_set_filter(std::string_view filter_list, int index) override;
    void dialog_show(DialogMode mode) override;
    std::string dialog_file_name() const override;
    int dialog_filter_index() const override;
    bool ask(const Question& question) override;
    std::size_t choose(const Question& question) override;
    std::optional<CastFix> ask_time_and_position(const FixRequest& request) override;
    bool process_events() override;

signals:
    /// After every load, also one that failed: the table may have changed.
    void table_changed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void calculate_clicked();
    void load_clicked();
    void export_clicked();
    /// The Profile window's send, once its dialog has said where.
    void send_clicked(const SendRequest& request);
    void open_profile(QListWidgetItem* entry);
    /// Lists the loaded file's sections, and shows the list only for a file of more than one that
    /// `loaded` whole.
    void list_sections(bool loaded);
    /// Loads section `number` (from 1) of the loaded file in place of the one shown.
    void choose_section(int number);
    /// Runs a handler; an error it raises reaches the user, never the event loop.
    void run_handler(const std::function<void()>& handler);
    QLineEdit* box(TextBox box) const;
    QLabel* label(Label label) const;

    ProfileState state_;

    QFrame* Frame1;
    QPushButton* Command3;
    QLineEdit* tx_out;
    QListWidget* List1;
    QLineEdit* tx_ss_file;
    QPushButton* Command2;
    QLineEdit* tx_lat;
    QLineEdit* tx_press;
    QPushButton* Command1;
    QRadioButton* op_salt;
    QRadioButton* op_fresh;
    FileDialog* CD;
    QLabel* Label6;
    QLabel* Label5;
    QWidget* Line2;
    QLabel* Label4;
    QLabel* Label3;
    QWidget* Line1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lb_depth;
    QLabel* Label7;
    QComboBox* sections_; // of a file of many casts, the one loaded
    NumberKeyFilter* key_filter_;
    std::unique_ptr<StatusLine> status_;
    ProfileWindow* profile_ = nullptr;
    std::string export_notes_; // what the computed values of the export in progress met

    std::function<void(const QString&)> show_error_;
    std::function<bool(const QString&)> ask_question_;
    std::function<std::size_t(const QString&, const QStringList&)> choose_answer_;
    std::map<std::string, CastFix> fixes_; // the time and position given for a cast, by its path
    bool loading_ = false;
    std::size_t section_wanted_ = 0; // of the next load; 0 for the file's own choice
    SystemResolver system_resolver_;
    const Resolver* resolver_ = &system_resolver_;
    bool dialog_cancelled_ = false; // the next showing of CD is cancelled unseen
    bool closing_ = false;
    EventPacer pacer_;
};

} // namespace quillonde
