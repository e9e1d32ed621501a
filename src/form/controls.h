#pragma once

#include "form/cast_fix.h"
#include "form/questions.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillonde {

// The window as the handlers see it. The Qt window implements this, the batch tool implements it
// without a window, and the tests implement it with a fake; the handlers (calculate, load, export)
// touch the window through nothing else. Texts are bytes: paths are UTF-8, column names are the
// data file's own bytes.

/// The four editable text boxes.
enum class TextBox { tx_lat, tx_press, tx_ss_file, tx_out };

/// The two option buttons of the water type; exactly one is selected.
enum class OptionButton { op_fresh, op_salt };

/// The labels whose captions the handlers write.
enum class Label { lb_depth, Label4, Label6 };

/// How the file dialog is shown.
enum class DialogMode { open = 1, save = 2 };

class Controls {
public:
    virtual ~Controls() = default;

    virtual std::string text(TextBox box) const = 0;
    virtual void set_text(TextBox box, std::string_view text) = 0;

    virtual bool selected(OptionButton option) const = 0;

    virtual void set_caption(Label label, std::string_view caption) = 0;

    // The column list List1, which shows the loaded cast's column names: entry k, counted from 0,
    // names column k of the profile table. The handlers write it; the names they work with are the
    // cast's own (ProfileState::cast).
    virtual void list_clear() = 0;
    virtual void list_add(std::string_view entry) = 0;

    // The file dialog CD: set its filter list ("description|patterns|...", as the registry of
    // formats makes it) and the filter selected in it, counted from 1; show the dialog modally; then
    // read the chosen name (the full path, or an empty text when nothing was chosen).
    virtual void dialog_set_filter(std::string_view filter_list, int index) = 0;
    virtual void dialog_show(DialogMode mode) = 0;
    virtual std::string dialog_file_name() const = 0;
    /// The filter selected when the dialog was last closed, counted from 1; the one set before it
    /// showed when it was cancelled.
    virtual int dialog_filter_index() const = 0;

    /// Asks the user a yes-or-no question: in the window a modal box titled "Quillonde" with Yes
    /// and No, No the default and Escape meaning No, in the words of question_text(). Returns true
    /// for Yes. Handlers decide when to ask; a No must leave everything as it was.
    virtual bool ask(const Question& question) = 0;

    /// Asks a question with more answers than Yes and No (question_answers()): in the window a modal
    /// box titled "Quillonde" with a button for each, the last one (Cancel) the default and
    /// Escape's. Returns the index of the answer; the last one must leave everything as it was.
    virtual std::size_t choose(const Question& question) = 0;

    /// Asks for the time (UTC) and position of a cast whose format needs them, showing first what
    /// `request` proposes: in the window one small dialog, which remembers the answer for the next
    /// export of the same cast. Nothing when the user cancels.
    virtual std::optional<CastFix> ask_time_and_position(const FixRequest& request) = 0;

    /// Lets the window process its pending events once: repaint, clicks, key presses; another
    /// handler may run meanwhile. Returns false when the window is being closed, so that a long
    /// operation stops and leaves nothing half done.
    virtual bool process_events() = 0;

    /// Whether the controls stay as they are while a file loads: no event round runs, no text or
    /// option changes. A load may then read the water the window shows once, not for every row.
    virtual bool steady_while_loading() const { return false; }

protected:
    Controls() = default;
    Controls(const Controls&) = default;
    Controls& operator=(const Controls&) = default;
};

} // namespace quillonde
