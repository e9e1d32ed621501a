#pragma once

#include "form/controls.h"
#include "form/send.h"
#include "form/state.h"
#include "plot/profile_plot.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QComboBox;
class QLabel;
class QTimer;

namespace quillonde {

class FileDialog;
class PlotView;

/// The Profile window: the loaded cast plotted against depth, one column or the export's three
/// side by side, optionally over a reference cast. Non-modal and resizable; its size and place are
/// kept across runs. It reads the table and the cast's column names where they stand; the reference
/// it loads with the load handler, chosen in the window's own file dialog. After every
/// load, also while it is hidden, it reads SOUND, Temp and SALIN ahead between events, so that it
/// opens at once.
class ProfileWindow : public QWidget {
    Q_OBJECT
public:
    ProfileWindow(Controls& controls, ProfileState& state, QWidget* parent);
    ~ProfileWindow() override;

    /// Shows the window, in front, plotting the column `name` (the list entry's bytes), the plot
    /// holding the keyboard focus.
    void show_column(const std::string& name);
    /// Reads the table anew and redraws: after every load, also a failed one.
    void table_changed();
    /// Draws and counts the profile as the export to the file tx_out names would write it, shaped
    /// as the echo sounder settings say: after either changed.
    void target_changed();

    /// Asks for a cast with the window's file dialog and draws it behind the plot in grey.
    void choose_reference();
    /// Loads `path` as the reference, its depths computed as those of the plotted cast; false, with
    /// the error shown, when the load fails (the reference then stays as it was).
    bool load_reference(const std::string& path);
    void remove_reference();
    /// Asks for a file name and saves the plot as it is shown: PNG, SVG or PDF by the extension.
    void save_picture();
    /// Puts the plot as it is shown on the clipboard, as an image and as SVG.
    void copy_picture();
    /// Asks where the profile goes (SendDialog) and hands the answer to the sender.
    void send_to_sounder();
    /// Who sends the loaded cast's profile once the dialog has said where.
    void set_sender(std::function<void(const SendRequest&)> sender) { sender_ = std::move(sender); }

    /// Who shows an error; a message box until a test replaces it.
    void set_error_presenter(std::function<void(const QString&)> presenter)
    {
        show_error_ = std::move(presenter);
    }
    /// The dialog that asks where a picture goes.
    FileDialog& picture_dialog()
    {
        build();
        return *picture_dialog_;
    }
    ProfilePlot& plot() { return plot_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    /// Makes the window's controls: at the first showing, so that a window never shown has none.
    void build();
    /// Reads SOUND, Temp and SALIN between events, as far as they are not read.
    void read_ahead_columns();
    void fill_chooser();
    /// Takes the steps as the controls show them, leaves out what they judge and redraws.
    void steps_changed();
    void chosen(int index);
    std::vector<std::string> column_names() const;
    /// The water and latitude the plotted cast's depths were computed for, else the window's.
    DepthBasis depth_basis() const;
    void fit_to_screen();
    void save_place() const;

    Controls& controls_;
    ProfileState& state_;
    ProfilePlot plot_;
    QTimer* read_ahead_;
    QComboBox* chooser_ = nullptr;
    QLabel* readout_ = nullptr;
    QComboBox* cast_choice_ = nullptr;
    QCheckBox* drop_soak_ = nullptr;
    QCheckBox* despike_ = nullptr;
    QDoubleSpinBox* bin_ = nullptr;
    QLineEdit* surface_sound_ = nullptr;
    QLineEdit* draft_ = nullptr;
    QLabel* steps_ = nullptr;
    PlotView* view_ = nullptr;
    FileDialog* picture_dialog_ = nullptr;
    QAction* remove_reference_ = nullptr;
    std::function<void(const QString&)> show_error_;
    std::function<void(const SendRequest&)> sender_;

    struct Reference;
    std::unique_ptr<Reference> reference_;
};

} // namespace quillonde
