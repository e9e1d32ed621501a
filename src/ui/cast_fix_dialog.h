#pragma once

#include "form/cast_fix.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QDateTimeEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace quillonde {

/// The small dialog in which the user gives a cast's position and time (UTC), when the format of an
/// export needs them and the cast does not state them: latitude and longitude in decimal degrees,
/// date and time, shown first as the request proposes, with where they come from. OK takes only a
/// position that is one, and a time the user gave, changed or confirmed as UTC where the cast named
/// no zone.
class CastFixDialog : public QDialog {
    Q_OBJECT
public:
    CastFixDialog(const FixRequest& request, QWidget* parent);

    /// What the user gave; call after OK.
    CastFix fix() const;

private:
    /// Enables OK, and says what is wrong when it is not.
    void check();
    /// The position typed, when it is one; else `problem` says why not.
    std::optional<CastFix> typed(QString& problem) const;

    QLineEdit* latitude_;
    QLineEdit* longitude_;
    QDateTimeEdit* time_;
    QCheckBox* confirmed_; ///< the time shown is in UTC: asked where the cast names no zone
    bool time_changed_ = false;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
};

} // namespace quillonde
