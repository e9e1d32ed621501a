#pragma once

#include "form/state.h"
#include "plot/profile_plot.h"

#include <QWidget>

#include <string>

class QComboBox;
class QLabel;

namespace quillonde {

class PlotView;

/// The Profile window: the loaded cast plotted against depth, one column or the export's three
/// side by side. Non-modal and resizable; its size and place are kept across runs. It reads the
/// table and the cast's column names where they stand.
class ProfileWindow : public QWidget {
    Q_OBJECT
public:
    ProfileWindow(const ProfileState& state, QWidget* parent);
    ~ProfileWindow() override;

    /// Shows the window, in front, plotting the column `name` (the list entry's bytes).
    void show_column(const std::string& name);
    /// Reads the table anew and redraws: after every load, also a failed one.
    void table_changed();

    ProfilePlot& plot() { return plot_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void fill_chooser();
    void chosen(int index);
    void save_place() const;

    const ProfileState& state_;
    ProfilePlot plot_;
    QComboBox* chooser_;
    QLabel* readout_;
    PlotView* view_;
};

} // namespace quillonde
