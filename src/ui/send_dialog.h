#pragma once

#include "form/export.h"
#include "form/send.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QSpinBox;

namespace quillonde {

/// How the window shapes a profile for SIS, in a *.asvp export and a send alike, as the settings
/// file remembers it: the 12000 m line on, 1,000 lines, unless the user set otherwise.
SounderSettings sounder_settings();

/// The small dialog of a send to the echo sounder: the acquisition software, its host and port
/// (the targets sent to before offered first), whether SIS applies the profile at once, and how a
/// profile is shaped for SIS. The shape is remembered as soon as it changes, a target once sent to.
class SendDialog : public QDialog {
    Q_OBJECT
public:
    explicit SendDialog(QWidget* parent);

    /// What the user chose; call after Send.
    SendRequest request() const;
    /// Puts the target of `request` first among those remembered.
    static void remember(const SendRequest& request);

private:
    void sounder_chosen();
    void check();

    QComboBox* sounder_;
    QComboBox* destination_;
    QCheckBox* apply_;
    QCheckBox* extend_;
    QSpinBox* most_lines_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
};

} // namespace quillonde
