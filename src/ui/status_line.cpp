#include "ui/status_line.h"

#include "runtime/convert.h"
#include "runtime/text.h"
#include "ui/text_codec.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>
#include <string>

namespace quillonde {

namespace {

constexpr auto credit_line = "Sea water depth after UNESCO 1983 (Fofonoff and Millard)";
constexpr auto fresh_line = "Fresh water depth: %1 m per dbar";
constexpr auto calculated_text = "Calculated %1 m for %2 dbar (%3)";
constexpr auto loaded_text = "Loaded %1 of %2 from %3";
constexpr auto stated_words = " stated";
constexpr auto unended_text = "; its last line has no line end";
constexpr auto part_text = "; section %1 of %2";
constexpr auto kept_text = " (%1 of %2 kept)";
constexpr auto written_text = "Wrote %1 to %2";
constexpr auto fresh_words = "fresh water";
constexpr auto salt_words = "salt water, %1\u00b0";
constexpr auto mixed_words = ", later rows for other settings";
constexpr auto file_depths_words = "depths from the file";

QString utf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString water_words(const DepthBasis& basis)
{
    return basis.salt_water ? QString::fromUtf8(salt_words).arg(basis.latitude_deg)
                            : QString::fromUtf8(fresh_words);
}

QString first_line(const QString& message)
{
    return message.section(QLatin1Char('\n'), 0, 0);
}

QString file_name(const std::string& path)
{
    return QFileInfo(from_message(path)).fileName();
}

/// The first quoted part of an error's line, mostly a path, or an empty text.
QString quoted_part(const QString& line)
{
    const qsizetype open = line.indexOf(QLatin1Char('"'));
    const qsizetype close = open < 0 ? -1 : line.indexOf(QLatin1Char('"'), open + 1);
    return close < 0 ? QString() : line.mid(open + 1, close - open - 1);
}

} // namespace

void fit_caption(QLabel* label, int narrowest_stretch)
{
    constexpr int stretch_step = 2;
    const QString text = label->text().trimmed();
    const int room = label->contentsRect().width();
    QFont font = label->font();
    const auto fits = [&] { return QFontMetrics(font).horizontalAdvance(text) <= room; };
    if (fits()) {
        return;
    }
    for (int stretch = QFont::Unstretched - stretch_step; !fits() && stretch >= narrowest_stretch;
         stretch -= stretch_step) {
        font.setStretch(stretch);
    }
    label->setFont(font);
}

StatusLine::StatusLine(QLabel* label) : label_(label), font_(label->font()) {}

void StatusLine::show(const QString& text, const QString& name)
{
    // Narrowed only a little: a line of small condensed print is no longer read at a glance.
    constexpr int narrowest_stretch = 85;
    text_ = text;
    label_->setFont(font_);
    label_->setText(text);
    fit_caption(label_, narrowest_stretch);
    const QFontMetrics metrics(label_->font());
    const int room = label_->contentsRect().width();
    const bool too_long = metrics.horizontalAdvance(text) > room;
    QString shortened = text;
    // The file's name gives way first, in its middle, so that what was done and for which water
    // stay whole; what is still too long loses its end, which the tooltip shows.
    if (const qsizetype at = name.isEmpty() ? -1 : text.indexOf(name); too_long && at >= 0) {
        // Never shorter than a quarter of the line: a name cut to its dots says nothing.
        const int name_room =
            std::max(room - metrics.horizontalAdvance(QString(text).remove(at, name.size())), room / 4);
        shortened.replace(at, name.size(), metrics.elidedText(name, Qt::ElideMiddle, name_room));
    }
    label_->setText(metrics.elidedText(shortened, Qt::ElideRight, room));
    label_->setToolTip(too_long ? text : QString());
}

void StatusLine::water_chosen(bool salt)
{
    if (!reported_) {
        show(salt ? QString::fromUtf8(credit_line)
                  : QString::fromUtf8(fresh_line).arg(utf8(double_to_str(fresh_metres_per_dbar))));
    }
}

void StatusLine::depth_calculated(const WaterDepth& depth, const QString& pressure)
{
    reported_ = true;
    show(QString::fromUtf8(calculated_text)
             .arg(utf8(double_to_str(depth.depth_m)), pressure.trimmed(), water_words(depth.basis)));
}

void StatusLine::loaded(const ProfileState& state)
{
    reported_ = true;
    const ProfileTable& table = state.g_table;
    const LoadRecord& load = state.last_load;
    const QString name = file_name(load.cast_path);
    const std::optional<std::int32_t> declared = rows_missing_of(load, table.last_row());
    QString text = QString::fromUtf8(loaded_text)
                       .arg(table.filled_rows())
                       .arg(declared ? utf8(counted(*declared, "row")) + QString::fromUtf8(stated_words)
                                     : utf8(counted(table.last_row(), "row")),
                            name);
    if (load.depth_basis) {
        text += QStringLiteral(" (") + water_words(*load.depth_basis) +
                (load.mixed_basis ? QString::fromUtf8(mixed_words) : QString()) + QLatin1Char(')');
    } else if (load.depth_col >= 0) {
        text += QStringLiteral(" (") + QString::fromUtf8(file_depths_words) + QLatin1Char(')');
    }
    if (!state.cast.parts.empty()) {
        text += QString::fromUtf8(part_text).arg(state.cast.part).arg(state.cast.parts.size());
    }
    if (load.unended_line != 0) {
        text += QString::fromUtf8(unended_text);
    }
    show(text, name);
}

void StatusLine::load_failed(const QString& error, const ProfileState& state)
{
    reported_ = true;
    const LoadRecord& load = state.last_load;
    QString text = first_line(error);
    // Only when the table is this load's: a load that failed before its header left the old one.
    if (load.failed_line != 0 && from_message(load.failure) == error && state.g_table.has_shape()) {
        text += QString::fromUtf8(kept_text)
                    .arg(load.rows_before_failure)
                    .arg(utf8(counted(state.g_table.last_row(), "row")));
    }
    show(text, quoted_part(text));
}

void StatusLine::written(std::int32_t profile_lines, const QString& path, const QString& note)
{
    reported_ = true;
    const QString name = QFileInfo(path).fileName();
    const QString text =
        QString::fromUtf8(written_text).arg(utf8(counted(profile_lines, "profile line")), name);
    show(note.isEmpty() ? text : text + QStringLiteral("; ") + note, name);
}

void StatusLine::sent(const QString& status, const QString& note)
{
    reported_ = true;
    const QString text = QStringLiteral("Sent ") + status;
    show(note.isEmpty() ? text : text + QStringLiteral("; ") + note);
}

void StatusLine::failed(const QString& error)
{
    reported_ = true;
    const QString line = first_line(error);
    show(line, quoted_part(line));
}

} // namespace quillonde
