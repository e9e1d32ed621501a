#pragma once

#include "form/state.h"
#include "form/water.h"

#include <QFont>
#include <QString>

#include <cstdint>

class QLabel;

namespace quillonde {

/// Narrows a caption that would be cut off at the edge of its label just enough to show whole. The
/// toolkit's sans-serif is wider than the face the window's layout was drawn for, and how much
/// depends on the fonts installed, so the caption is measured, not guessed; a trailing blank need
/// not show. The font is narrowed to `narrowest_stretch` percent at most.
void fit_caption(QLabel* label, int narrowest_stretch = 70);

/// The line at the bottom of the window, Label7: what the last action did ("Loaded 250 of 250 rows
/// from cast.TOB (salt water, 54°)", "Wrote 44 profile lines to out.sva", the first line of an
/// error), and before any, how the selected water's depth is computed. A text too long for the
/// line is narrowed a little, then the file name it quotes is shortened in its middle, then the
/// text at its end; the whole text is the line's tooltip.
class StatusLine {
public:
    explicit StatusLine(QLabel* label);

    /// The water selected in the window; shown only while no action has been reported.
    void water_chosen(bool salt);
    void depth_calculated(const WaterDepth& depth, const QString& pressure);
    /// A load that read its file to the end.
    void loaded(const ProfileState& state);
    /// A load that failed with `error`: its first line, and the rows kept when the table is the
    /// failed load's.
    void load_failed(const QString& error, const ProfileState& state);
    /// An export that wrote its file; `note` tells what its computed values met, when they met any.
    void written(std::int32_t profile_lines, const QString& path, const QString& note = {});
    /// A profile sent to the echo sounder: what was sent (sent_status), and how it was shaped.
    void sent(const QString& status, const QString& note = {});
    /// Any other handler that failed with `error`.
    void failed(const QString& error);

    /// The whole text shown last, before it was shortened to fit.
    const QString& text() const { return text_; }

private:
    /// Shows `text`; `name`, a part of it, is what gives way first when it is too long.
    void show(const QString& text, const QString& name = {});

    QLabel* label_;
    QFont font_; // the label's own, before a text was narrowed
    QString text_;
    bool reported_ = false;
};

} // namespace quillonde
