#include "plot/profile_plot.h"

#include "form/export.h"
#include "formats/registry.h"
#include "plot/text_codec.h"
#include "profile/profile_rows.h"
#include "runtime/cell.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace quillonde {

namespace {

constexpr auto separator = u" \u00b7 ";
constexpr auto depth_title = "Depth [m]";
constexpr auto sound_name = "SOUND";
constexpr auto no_such_column_text = "The cast has no such column";
constexpr auto no_numbers_text = "No numbers in %1 at these depths";
constexpr auto legend_downcast = "every stored row, downcast";
constexpr auto legend_upcast = "upcast";
constexpr auto legend_markers = "lines the export writes";
constexpr auto legend_bins = "bins, each held over its depths";
constexpr auto legend_added = "lines added for the echo sounder";
constexpr auto legend_left_out = "samples left out";
constexpr auto legend_reference = "reference %1";
constexpr auto readout_point = "%1 %2, %3, row %4, depth %5 m";
constexpr auto readout_downcast = "downcast";
constexpr auto readout_upcast = "upcast";
constexpr auto readout_left_out = "left out: %1";
constexpr auto readout_difference = "SOUND %1 m/s against the reference";
constexpr auto readout_no_sound = "the cast has no SOUND";
constexpr auto readout_no_reference_sound = "the reference has no SOUND";
constexpr auto readout_too_short = "the profile does not reach this depth";
constexpr auto readout_reference_too_short = "the reference does not reach this depth";
constexpr double value_padding = 0.04;   // of the value range, either side
constexpr double depth_padding = 0.02;   // of the depth range, below the deepest row
constexpr double extended_padding = 0.1; // where the profile goes on below the cast, so that it shows
constexpr auto extension_label = "to %1 m, %2 m/s";
constexpr double fewest_ticks = 4.0;
constexpr std::size_t most_cached_columns = 6; // a million rows cost about 25 MB a column

QString bytes_text(std::string_view bytes)
{
    return from_message(bytes);
}

QString text_of(const char* text)
{
    return QString::fromUtf8(text);
}

/// A count with its thousands grouped ("1,000,000"), whatever the user's locale.
QString grouped(std::int64_t count)
{
    QString digits = QString::number(count);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) {
        digits.insert(at, QLatin1Char(','));
    }
    return digits;
}

/// "1 row", "2 rows": `count` grouped before the noun.
QString counted(std::int64_t count, const char* one, const char* many)
{
    return grouped(count) + QLatin1Char(' ') + text_of(count == 1 ? one : many);
}

/// The unit as a surveyor writes it: the cast's "degC" is °C.
QString display_unit(std::string_view unit)
{
    const QString text = bytes_text(unit).trimmed();
    return text == QStringLiteral("degC") || text == QStringLiteral("deg C") ? QStringLiteral("\u00b0C")
                                                                             : text;
}

QString tick_text(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

/// Ticks at round steps (1, 2 or 5 times a power of ten); `label_every` says which carry a label.
struct Ticks {
    std::vector<double> values;
    int decimals = 0;
    long long label_every = 1;
    bool staggered = false; ///< the labels alternate between two rows
    double step = 0.0;

    bool labelled(double value) const { return std::llround(value / step) % label_every == 0; }
    /// The row of a labelled tick's label: 0, or 1 for every second one when staggered.
    int label_row(double value) const
    {
        return staggered && std::llabs(std::llround(value / step) / label_every) % 2 == 1 ? 1 : 0;
    }
};

/// The ticks from `low` to `high` on an axis of `px_per_unit`: never fewer than four, finer while
/// they stay `preferred_px` apart and their labels (`label_size` pixels along the axis, plus `gap`)
/// fit; when the labels of even the fewest do not fit, only every second, fifth or tenth is labelled,
/// or (where `may_stagger`) the labels alternate between two rows.
Ticks choose_ticks(double low, double high, double px_per_unit, double preferred_px,
                   const std::function<double(const QString&)>& label_size, double gap, bool may_stagger)
{
    Ticks ticks;
    const double range = high - low;
    if (!(range > 0.0) || !std::isfinite(range) || !(px_per_unit > 0.0)) {
        return ticks;
    }
    // Steps in falling order: mantissa 5, 2, 1 of each power of ten.
    constexpr double mantissas[] = {5.0, 2.0, 1.0};
    int exponent = static_cast<int>(std::ceil(std::log10(range)));
    int mantissa = 2; // 1 x 10^exponent: at most two ticks
    const auto step_of = [&] { return mantissas[mantissa] * std::pow(10.0, exponent); };
    const auto finer = [&] {
        if (++mantissa == 3) {
            mantissa = 0;
            --exponent;
        }
    };
    const auto count = [&](double step) {
        return std::floor(high / step + 1e-9) - std::ceil(low / step - 1e-9) + 1.0;
    };
    const auto make = [&](double step, long long every) {
        Ticks made;
        made.step = step;
        made.label_every = every;
        made.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
        for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k += 1.0) {
            made.values.push_back(std::abs(k) < 0.5 ? 0.0 : k * step);
        }
        return made;
    };
    const auto fits = [&](const Ticks& candidate) {
        double widest = 0.0;
        for (const double value : candidate.values) {
            if (candidate.labelled(value)) {
                widest = std::max(widest, label_size(tick_text(value, candidate.decimals)));
            }
        }
        return candidate.step * static_cast<double>(candidate.label_every) *
                   (candidate.staggered ? 2.0 : 1.0) * px_per_unit >=
               widest + gap;
    };
    while (count(step_of()) < fewest_ticks) {
        finer();
    }
    ticks = make(step_of(), 1);
    for (;;) {
        finer();
        if (step_of() * px_per_unit < preferred_px || count(step_of()) > 200) {
            break;
        }
        Ticks candidate = make(step_of(), 1);
        if (!fits(candidate)) {
            break;
        }
        ticks = std::move(candidate);
    }
    // Fewer labels as a last resort: a panel with one label cannot be read.
    const std::pair<long long, bool> choices[] = {{2, false}, {1, true},   {2, true}, {5, false},
                                                  {5, true},  {10, false}, {10, true}};
    for (const auto& [every, staggered] : choices) {
        if (fits(ticks)) {
            break;
        }
        if (staggered && !may_stagger) {
            continue;
        }
        ticks.label_every = every;
        ticks.staggered = staggered;
    }
    return ticks;
}

/// Groups parts of `widths` into lines of at most `room`, keeping each part whole; a part wider
/// than the room has a line of its own.
std::vector<std::vector<std::size_t>> flow(const std::vector<double>& widths, double spacing, double room)
{
    std::vector<std::vector<std::size_t>> lines;
    double used = 0.0;
    for (std::size_t k = 0; k < widths.size(); ++k) {
        if (lines.empty() || used + spacing + widths[k] > room) {
            lines.emplace_back();
            used = widths[k];
        } else {
            used += spacing + widths[k];
        }
        lines.back().push_back(k);
    }
    return lines;
}

/// The value at `depth_m` of a profile of ascending depths, linearly between its rows.
std::optional<double> interpolate(const std::vector<std::pair<double, double>>& profile, double depth_m)
{
    const auto above = std::lower_bound(profile.begin(), profile.end(), std::pair(depth_m, -HUGE_VAL));
    if (above == profile.end()) {
        return std::nullopt;
    }
    if (above->first == depth_m) {
        return above->second;
    }
    if (above == profile.begin()) {
        return std::nullopt;
    }
    const auto below = above - 1;
    return below->second +
           (above->second - below->second) * (depth_m - below->first) / (above->first - below->first);
}

QColor upcast_colour(QColor colour)
{
    colour.setAlpha(60);
    return colour;
}

QColor line_colour(QColor colour)
{
    colour.setAlpha(150);
    return colour;
}

const QColor reference_colour(0x80, 0x80, 0x80, 170);
const QColor left_out_colour(0xb0, 0x20, 0x20);
const Qt::PenStyle added_style = Qt::DashLine;

/// Where a value beyond a panel's scale is shown: on its edge.
double clamped(double value, double low, double high)
{
    return std::clamp(value, std::min(low, high), std::max(low, high));
}

/// The mark of a sample a rule leaves out.
void paint_cross(QPainter& painter, QPointF at, double radius)
{
    painter.setPen(QPen(left_out_colour, 1.0));
    painter.drawLine(at + QPointF(-radius, -radius), at + QPointF(radius, radius));
    painter.drawLine(at + QPointF(-radius, radius), at + QPointF(radius, -radius));
}

} // namespace

// ---- Reading the casts ----

std::optional<std::int32_t> ProfilePlot::Source::column_of(const std::string& name) const
{
    // After several header lines the names are those of each; the table has the last ones.
    const auto columns = static_cast<std::size_t>(state->ccolumns) + 1;
    const std::size_t first = names.size() > columns ? names.size() - columns : 0;
    const auto found = std::find(names.begin() + static_cast<std::ptrdiff_t>(first), names.end(), name);
    if (found == names.end()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(found - names.begin() - static_cast<std::ptrdiff_t>(first));
}

std::map<std::string, std::shared_ptr<const CastSeries>>
ProfilePlot::Source::read_columns(const std::vector<std::string>& wanted)
{
    std::vector<std::int32_t> unread;
    for (const std::string& name : wanted) {
        const std::optional<std::int32_t> column = column_of(name);
        if (column && !series.contains(*column) &&
            std::find(unread.begin(), unread.end(), *column) == unread.end()) {
            unread.push_back(*column);
        }
    }
    if (!unread.empty() && ahead) {
        // Finish what is read ahead where that costs less than reading the wanted columns afresh.
        const auto ahead_columns = static_cast<std::int64_t>(ahead->columns().size());
        const auto fresh_columns = static_cast<std::int64_t>(unread.size());
        if (ahead->rows_unread() * ahead_columns <= std::int64_t{state->g_table.last_row()} * fresh_columns) {
            take_ahead();
            return read_columns(wanted);
        }
        ahead.reset();
    }
    if (!unread.empty()) {
        if (series.size() + unread.size() > most_cached_columns) {
            series.clear(); // the shown ones live on in their panels
        }
        std::vector<CastSeries> read = CastSeries::read(state->g_table, unread, state->ccolumns + 1);
        for (std::size_t k = 0; k < unread.size(); ++k) {
            series.emplace(unread[k], std::make_shared<const CastSeries>(std::move(read[k])));
        }
    }
    std::map<std::string, std::shared_ptr<const CastSeries>> found;
    for (const std::string& name : wanted) {
        if (const std::optional<std::int32_t> column = column_of(name)) {
            found.emplace(name, series.at(*column));
        }
    }
    return found;
}

void ProfilePlot::Source::take_ahead()
{
    const std::unique_ptr<SeriesReader> reader = std::move(ahead);
    reader->read_rest();
    std::vector<CastSeries> read = reader->finish();
    if (series.size() + read.size() > most_cached_columns) {
        series.clear();
    }
    for (std::size_t k = 0; k < read.size(); ++k) {
        series.emplace(reader->columns()[k], std::make_shared<const CastSeries>(std::move(read[k])));
    }
}

void ProfilePlot::Source::read()
{
    series.clear();
    ahead.reset();
    profile_rows.clear();
    sound_profile.clear();
    has_depths = false;
    rows_without_depth = 0;
    const ProfileTable& table = state->g_table;
    if (!table.has_shape()) {
        return;
    }
    const std::int32_t depth_column = state->ccolumns + 1;
    const std::int32_t last_row = table.last_row();
    for (std::int32_t row = 1; row <= last_row; ++row) {
        const std::optional<double> depth = table.depth_m(row);
        if (!depth) {
            rows_without_depth += table.cell(0, row).is_empty() ? 0 : 1;
            continue;
        }
        const double depth_m = *depth;
        shallowest_m = has_depths ? std::min(shallowest_m, depth_m) : depth_m;
        deepest_m = has_depths ? std::max(deepest_m, depth_m) : depth_m;
        has_depths = true;
    }
    // The rows the export takes, in its order: an upcast's from its deepest row up.
    for_each_profile_row(table, depth_column, export_row_order(*state),
                         [this](std::int32_t row, double depth_m, const std::string&) {
                             profile_rows.emplace_back(row, depth_m);
                         });
    if (const std::optional<std::int32_t> sound = column_of(sound_name)) {
        for (const auto& [row, depth_m] : profile_rows) {
            if (const Sample sample = table.sample(*sound, row); sample.good()) {
                sound_profile.emplace_back(depth_m, sample.value);
            }
        }
    }
}

ProfilePlot::ProfilePlot(const ProfileState& state) : writer_(profile_writers().front())
{
    main_.state = &state;
}

ProfilePlot::~ProfilePlot() = default;

void ProfilePlot::set_columns(std::vector<std::string> names, std::vector<std::string> shown)
{
    take_names(std::move(names));
    requested_ = std::move(shown);
    read_table();
}

void ProfilePlot::prepare(std::vector<std::string> names, const std::vector<std::string>& wanted)
{
    take_names(std::move(names));
    read_depths();
    std::vector<std::int32_t> unread;
    for (const std::string& name : wanted) {
        const std::optional<std::int32_t> column =
            main_.state->g_table.has_shape() ? main_.column_of(name) : std::nullopt;
        if (column && !main_.series.contains(*column)) {
            unread.push_back(*column);
        }
    }
    if (main_.ahead && main_.ahead->columns() == unread) {
        return; // goes on where it is
    }
    main_.ahead.reset();
    if (!unread.empty()) {
        main_.ahead = std::make_unique<SeriesReader>(main_.state->g_table, std::move(unread),
                                                     main_.state->ccolumns + 1);
    }
}

bool ProfilePlot::prepare_more(std::int32_t rows)
{
    if (!main_.ahead) {
        return false;
    }
    if (table_replaced()) {
        main_.ahead.reset();
        return false;
    }
    if (!main_.ahead->read_more(rows)) {
        main_.take_ahead();
        return false;
    }
    return true;
}

void ProfilePlot::prepare_preview()
{
    // Not made with the depths: on a cast of a million rows it takes as long as a column's reading,
    // which the window does between events after every load.
    read_depths();
    if (!previewed_) {
        preview_ = preview_profile(*main_.state, *writer_, sounder_);
        previewed_ = true;
    }
}

void ProfilePlot::take_names(std::vector<std::string> names)
{
    if (names != main_.names) {
        main_.names = std::move(names);
        read_ = false; // the profile's SOUND may be another column now
    }
}

void ProfilePlot::refresh()
{
    forget_table();
    read_table();
}

void ProfilePlot::forget_table()
{
    read_ = false;
    main_.ahead.reset();
}

void ProfilePlot::set_reference(const ProfileState* reference, std::vector<std::string> names)
{
    reference_.reset();
    if (reference != nullptr) {
        reference_ = std::make_unique<Source>();
        reference_->state = reference;
        reference_->names = std::move(names);
        reference_->read();
    }
    read_ = false;
    read_table();
}

ProfilePlot::ReadKey ProfilePlot::key_of(const ProfileState& state)
{
    const ProfileTable& table = state.g_table;
    const LoadRecord& load = state.last_load;
    return {table.has_shape() ? table.last_column() : -1,
            table.has_shape() ? table.last_row() : 0,
            table.filled_rows(),
            load.cast_path,
            load.depth_basis,
            load.mixed_basis,
            load.failed_line,
            load.stopped};
}

bool ProfilePlot::table_replaced() const
{
    return !(key_of(*main_.state) == read_key_);
}

void ProfilePlot::read_depths()
{
    if (!read_ || table_replaced()) {
        main_.read();
        export_stop_ = export_stop(*main_.state);
        previewed_ = false;
        read_key_ = key_of(*main_.state);
        read_ = true;
    }
}

void ProfilePlot::read_table()
{
    read_depths();
    prepare_preview();
    panels_.clear();
    shown_.clear();
    missing_.clear();
    if (!main_.state->g_table.has_shape()) {
        fit();
        return;
    }
    const auto& described = main_.state->cast.columns;
    const auto columns = main_.read_columns(requested_);
    const auto references = reference_ ? reference_->read_columns(requested_)
                                       : std::map<std::string, std::shared_ptr<const CastSeries>>();
    for (const std::string& name : requested_) {
        const std::optional<std::int32_t> column = main_.column_of(name);
        if (!column) {
            missing_.push_back(name);
            continue;
        }
        Panel panel;
        panel.name = name;
        panel.short_title = bytes_text(name);
        panel.title = panel.short_title;
        const auto index = static_cast<std::size_t>(*column);
        if (index < described.size() && !described[index].unit.empty()) {
            panel.unit = display_unit(described[index].unit);
            panel.title += QStringLiteral(" [") + panel.unit + QStringLiteral("]");
        }
        panel.series = columns.at(name);
        if (const auto other = references.find(name); other != references.end()) {
            panel.reference = other->second;
        }
        panel.drawing = drawing_of(panel);
        panels_.push_back(std::move(panel));
        shown_.push_back(name);
    }
    fit();
}

void ProfilePlot::set_target(const ProfileWriter* writer, const SounderSettings& sounder)
{
    const ProfileWriter* chosen = writer != nullptr ? writer : profile_writers().front();
    if (chosen == writer_ && sounder.extend == sounder_.extend && sounder.most_lines == sounder_.most_lines) {
        return;
    }
    writer_ = chosen;
    sounder_ = sounder;
    previewed_ = previewed_ && !table_replaced();
    if (previewed_) {
        preview_ = preview_profile(*main_.state, *writer_, sounder_);
        for (Panel& panel : panels_) {
            panel.drawing = drawing_of(panel);
        }
        fit(); // a profile that goes on below the cast shows it
    }
}

std::int32_t ProfilePlot::profile_lines() const
{
    return static_cast<std::int32_t>(preview_.failure ? main_.profile_rows.size()
                                                      : preview_.profile.rows.size());
}

ProfileDrawing ProfilePlot::drawing_of(const Panel& panel) const
{
    ProfileDrawing drawing;
    const auto at_row = [&](std::int32_t row, double depth_m) {
        if (const std::optional<std::size_t> point = panel.series->point_of_row(row)) {
            drawing.markers.push_back({depth_m, panel.series->value(*point)});
        }
    };
    if (preview_.failure) { // no export: the rows the thinning takes
        for (const auto& [row, depth_m] : main_.profile_rows) {
            at_row(row, depth_m);
        }
        return drawing;
    }
    const std::vector<ProfileRow>& rows = preview_.profile.rows;
    const std::size_t first = preview_.surface_line() ? 1 : 0;
    const std::size_t end = rows.size() - (preview_.extended() ? 1 : 0);
    if (first >= end) {
        return drawing;
    }
    const auto field = static_cast<std::size_t>(
        std::find_if(profile_fields.begin(), profile_fields.end(),
                     [&](const ProfileField& known) { return known.name == panel.name; }) -
        profile_fields.begin());
    if (field == profile_fields.size()) {
        // A column no profile line holds: its values at the rows taken, where a line is one row.
        for (std::size_t k = first; k < end && !preview_.steps.bin_m; ++k) {
            at_row(rows[k].table_row, rows[k].depth_m);
        }
        return drawing;
    }
    if (!preview_.profile.given[field]) {
        return drawing;
    }
    const auto at = [&](const ProfileRow& line) { return DepthValue{line.depth_m, line.values[field]}; };
    for (std::size_t k = first; k < end; ++k) {
        drawing.markers.push_back(at(rows[k]));
    }
    if (const std::optional<double> bin_m = preview_.steps.bin_m) {
        const double half = *bin_m / 2;
        for (std::size_t k = first; k < end; ++k) {
            const DepthValue top{rows[k].depth_m - half, rows[k].values[field]};
            // Neighbouring bins meet in a riser; a bin that held no row leaves a gap.
            if (k > first && std::abs(drawing.steps.back().second.depth_m - top.depth_m) < half * 1e-6) {
                drawing.steps.emplace_back(drawing.steps.back().second, top);
            }
            drawing.steps.emplace_back(top, DepthValue{rows[k].depth_m + half, rows[k].values[field]});
        }
    }
    if (preview_.surface_line()) {
        drawing.added.push_back(at(rows.front()));
        drawing.dashed.emplace_back(at(rows.front()), at(rows[first]));
    }
    if (preview_.extended() && std::isfinite(rows.back().values[field])) {
        drawing.added.push_back(at(rows.back()));
        drawing.dashed.emplace_back(at(rows[end - 1]), at(rows.back()));
    }
    return drawing;
}

void ProfilePlot::zoom(double top_m, double bottom_m)
{
    zoom_ = std::minmax(top_m, bottom_m);
    fit();
}

void ProfilePlot::show_all()
{
    zoom_.reset();
    fit();
}

void ProfilePlot::fit()
{
    if (zoom_) {
        top_m_ = zoom_->first;
        bottom_m_ = zoom_->second > zoom_->first ? zoom_->second : zoom_->first + 1.0;
    } else if (main_.has_depths) {
        double shallowest_m = main_.shallowest_m;
        double deepest_m = main_.deepest_m;
        if (reference_ && reference_->has_depths) {
            shallowest_m = std::min(shallowest_m, reference_->shallowest_m);
            deepest_m = std::max(deepest_m, reference_->deepest_m);
        }
        top_m_ = std::min(0.0, shallowest_m);
        const double span = deepest_m - top_m_;
        bottom_m_ = span > 0.0 ? deepest_m + span * (preview_.extended() ? extended_padding : depth_padding)
                               : top_m_ + 1.0;
    } else {
        top_m_ = 0.0;
        bottom_m_ = 1.0;
    }
    for (Panel& panel : panels_) {
        std::optional<std::pair<double, double>> range = panel.series->value_range(top_m_, bottom_m_);
        if (panel.reference) {
            if (const auto other = panel.reference->value_range(top_m_, bottom_m_)) {
                range = range ? std::pair(std::min(range->first, other->first),
                                          std::max(range->second, other->second))
                              : other;
            }
        }
        panel.has_values = range.has_value();
        if (!range) {
            continue;
        }
        const double span = range->second - range->first;
        const double pad = span > 0.0 ? span * value_padding : std::max(std::abs(range->first) * 0.01, 0.5);
        panel.low = range->first - pad;
        panel.high = range->second + pad;
    }
}

// ---- What the plot says ----

std::int32_t ProfilePlot::rows_without_number(std::size_t panel) const
{
    return panels_.at(panel).series->rows_without_number();
}

QColor ProfilePlot::colour(std::size_t panel) const
{
    const std::string& name = panels_.at(panel).name;
    if (name == "SOUND") {
        return {0x1f, 0x4e, 0x9c};
    }
    if (name == "Temp") {
        return {0xc0, 0x39, 0x2b};
    }
    if (name == "SALIN") {
        return {0x1e, 0x84, 0x49};
    }
    return {0x5b, 0x2c, 0x83};
}

QStringList ProfilePlot::summary_parts() const
{
    const ProfileTable& table = main_.state->g_table;
    if (!table.has_shape()) {
        return {QString::fromUtf8(no_cast_text.data(), static_cast<qsizetype>(no_cast_text.size()))};
    }
    const LoadRecord& load = main_.state->last_load;
    QStringList parts;
    parts << QFileInfo(bytes_text(load.cast_path)).fileName();
    parts << QStringLiteral("%1 of %2 stored")
                 .arg(grouped(table.filled_rows()), counted(table.last_row(), "row", "rows"));
    parts << (main_.has_depths ? QStringLiteral("depth %1 to %2 m")
                                     .arg(QString::number(main_.shallowest_m, 'f', 2),
                                          QString::number(main_.deepest_m, 'f', 2))
                               : QStringLiteral("no depths"));
    if (load.depth_basis) {
        parts << (load.depth_basis->salt_water
                      ? QStringLiteral("salt water, latitude %1\u00b0").arg(load.depth_basis->latitude_deg)
                      : QStringLiteral("fresh water"));
        if (load.mixed_basis) {
            parts << QStringLiteral("later rows computed for other water or latitude");
        }
    }
    parts << counted(profile_lines(), "profile line", "profile lines") + QStringLiteral(" for ") +
                 bytes_text(writer_->facts().filter);
    // Each step taken; the rows the steps leave out are counted below with the other rules'.
    StepsTaken steps = preview_.failure ? steps_on_cast(*main_.state) : preview_.steps;
    steps.soak_rows = 0;
    steps.spike_rows = 0;
    for (const std::string& words : steps.words()) {
        parts << bytes_text(words);
    }
    if (preview_.failure && !export_stop_) { // export_stop_ says it below
        parts << QStringLiteral("no export: %1").arg(bytes_text(*preview_.failure));
    }
    for (const Panel& panel : panels_) {
        parts << QStringLiteral("%1: %2").arg(
            bytes_text(panel.name),
            counted(panel.series->rows_without_number(), "row without a number", "rows without a number"));
    }
    for (const std::string& name : missing_) {
        parts << QStringLiteral("no column %1").arg(bytes_text(name));
    }
    if (main_.rows_without_depth > 0) {
        parts << counted(main_.rows_without_depth, "row without a depth", "rows without a depth");
    }
    for (const auto& [rule, rows] : table.rows_left_out()) {
        parts << QStringLiteral("%1 left out: %2")
                     .arg(counted(rows, "row", "rows"), bytes_text(reason_of(rule)));
    }
    if (export_stop_) {
        parts << QStringLiteral("the export would stop at %1: %2")
                     .arg(bytes_text(export_stop_->where()), bytes_text(export_stop_->detail()));
    }
    if (load.failed_line > 0) {
        parts << QStringLiteral("the load stopped at line %1").arg(load.failed_line);
    } else if (load.stopped) {
        parts << QStringLiteral("the load was stopped");
    }
    return parts;
}

QString ProfilePlot::summary() const
{
    return summary_parts().join(QString::fromUtf16(separator));
}

QString ProfilePlot::readout(const PlotPoint& point, std::size_t panel) const
{
    const Panel& shown = panels_.at(panel);
    QString value = QString::number(point.value, 'g', QLocale::FloatingPointShortest);
    if (!shown.unit.isEmpty()) {
        value += QLatin1Char(' ') + shown.unit;
    }
    QString text =
        text_of(readout_point)
            .arg(shown.short_title, value, text_of(point.upcast ? readout_upcast : readout_downcast))
            .arg(point.row)
            .arg(QString::number(point.depth_m, 'f', 2));
    if (point.left_out) {
        text += QString::fromUtf16(separator) +
                text_of(readout_left_out).arg(bytes_text(reason_of(*point.left_out)));
    }
    if (!reference_) {
        return text;
    }
    const std::optional<double> own = interpolate(main_.sound_profile, point.depth_m);
    const std::optional<double> other = interpolate(reference_->sound_profile, point.depth_m);
    text += QString::fromUtf16(separator);
    if (main_.sound_profile.empty()) {
        return text + text_of(readout_no_sound);
    }
    if (reference_->sound_profile.empty()) {
        return text + text_of(readout_no_reference_sound);
    }
    if (!own) {
        return text + text_of(readout_too_short);
    }
    if (!other) {
        return text + text_of(readout_reference_too_short);
    }
    const double difference = *own - *other;
    return text + text_of(readout_difference)
                      .arg((difference >= 0.005 ? QStringLiteral("+") : QString()) +
                           QString::number(std::abs(difference) < 0.005 ? 0.0 : difference, 'f', 2));
}

// ---- Where things land ----

double ProfilePlot::map_x(const Panel& panel, double value) const
{
    return panel.frame.left() + (value - panel.low) / (panel.high - panel.low) * panel.frame.width();
}

double ProfilePlot::map_y(double depth_m) const
{
    const QRectF& frame = panels_.front().frame;
    return frame.top() + (depth_m - top_m_) / (bottom_m_ - top_m_) * frame.height();
}

QPointF ProfilePlot::position(std::size_t panel, double depth_m, double value) const
{
    return {map_x(panels_.at(panel), value), map_y(depth_m)};
}

std::optional<double> ProfilePlot::depth_at(double y) const
{
    if (panels_.empty()) {
        return std::nullopt;
    }
    const QRectF& frame = panels_.front().frame;
    if (y < frame.top() || y > frame.bottom() || frame.height() <= 0.0) {
        return std::nullopt;
    }
    return top_m_ + (y - frame.top()) / frame.height() * (bottom_m_ - top_m_);
}

std::optional<std::pair<PlotPoint, std::size_t>> ProfilePlot::nearest(QPointF at, double reach) const
{
    std::optional<std::pair<PlotPoint, std::size_t>> best;
    double best_distance = reach * reach;
    for (std::size_t p = 0; p < panels_.size(); ++p) {
        const Panel& panel = panels_[p];
        if (!panel.has_values || !panel.frame.adjusted(-reach, -reach, reach, reach).contains(at)) {
            continue;
        }
        const CastSeries& series = *panel.series;
        series.walk(
            0, series.size(),
            [&](const SeriesExtent& extent, std::size_t, std::size_t) {
                if (extent.depth_high < top_m_ || extent.depth_low > bottom_m_) {
                    return WalkStep::skip;
                }
                const double dx = std::max(
                    {0.0, map_x(panel, extent.value_low) - at.x(), at.x() - map_x(panel, extent.value_high)});
                const double dy =
                    std::max({0.0, map_y(extent.depth_low) - at.y(), at.y() - map_y(extent.depth_high)});
                return dx * dx + dy * dy > best_distance ? WalkStep::skip : WalkStep::split;
            },
            [&](std::size_t i) {
                const double depth_m = series.depth_m(i);
                if (depth_m < top_m_ || depth_m > bottom_m_) {
                    return;
                }
                const QPointF offset = QPointF(map_x(panel, series.value(i)), map_y(depth_m)) - at;
                const double distance = QPointF::dotProduct(offset, offset);
                if (distance <= best_distance) {
                    best_distance = distance;
                    best = {{series.row(i), depth_m, series.value(i), i >= series.downcast_end(), {}}, p};
                }
            });
        // A sample left out is found where its cross stands.
        // Rows from the upcast's first on are the upcast's; none without an upcast.
        const std::int32_t upcast_from = series.downcast_end() < series.size()
                                             ? series.row(series.downcast_end())
                                             : std::numeric_limits<std::int32_t>::max();
        for (const LeftOutPoint& sample : series.left_out()) {
            if (sample.depth_m < top_m_ || sample.depth_m > bottom_m_) {
                continue;
            }
            const QPointF offset =
                QPointF(map_x(panel, clamped(sample.value, panel.low, panel.high)), map_y(sample.depth_m)) -
                at;
            const double distance = QPointF::dotProduct(offset, offset);
            if (distance <= best_distance) {
                best_distance = distance;
                best = {{sample.row, sample.depth_m, sample.value, sample.row >= upcast_from, sample.rule},
                        p};
            }
        }
    }
    return best;
}

// ---- Painting ----

struct ProfilePlot::Layout {
    QRectF area;
    double line = 0.0;
    double pad = 0.0;
    double tick_length = 0.0;
    QStringList summary;
    double summary_top = 0.0;
    /// The legend's entries, line by line: what each sample shows, and its text.
    enum class Key { downcast, upcast, marker, bins, added, left_out, reference };
    std::vector<std::vector<std::pair<Key, QString>>> legend;
    double legend_top = 0.0;
    double left = 0.0; ///< of the first panel
    double gap = 0.0;  ///< between panels
    double top = 0.0;
    double bottom = 0.0;
    bool fits = false;     ///< the panels have room
    double label_rows = 1; ///< of the value labels
    Ticks depth_ticks;
    std::vector<Ticks> value_ticks; ///< by panel
    std::vector<QString> titles;    ///< by panel, as they fit
};

ProfilePlot::Layout ProfilePlot::lay_out(const QFontMetricsF& metrics, const QRectF& area)
{
    Layout layout;
    layout.area = area;
    layout.line = metrics.height();
    layout.pad = layout.line * 0.6;
    layout.tick_length = layout.line * 0.3;
    const double line = layout.line;
    const double pad = layout.pad;
    const double room = area.width() - 2 * pad;

    // The summary below, wrapped between its parts.
    const QStringList parts = summary_parts();
    std::vector<double> widths;
    for (const QString& part : parts) {
        widths.push_back(metrics.horizontalAdvance(part));
    }
    const QString joint = QString::fromUtf16(separator);
    for (const auto& indices : flow(widths, metrics.horizontalAdvance(joint), room)) {
        QStringList words;
        for (const std::size_t k : indices) {
            words << parts[static_cast<qsizetype>(k)];
        }
        layout.summary << words.join(joint);
    }
    layout.summary_top = area.bottom() - pad - line * static_cast<double>(layout.summary.size());

    // The legend above it.
    using Key = Layout::Key;
    std::vector<std::pair<Key, QString>> entries = {{Key::downcast, text_of(legend_downcast)}};
    if (std::any_of(panels_.begin(), panels_.end(),
                    [](const Panel& panel) { return panel.series->downcast_end() < panel.series->size(); })) {
        entries.emplace_back(Key::upcast, text_of(legend_upcast));
    }
    entries.emplace_back(Key::marker, text_of(legend_markers));
    if (std::any_of(panels_.begin(), panels_.end(),
                    [](const Panel& panel) { return !panel.drawing.steps.empty(); })) {
        entries.emplace_back(Key::bins, text_of(legend_bins));
    }
    if (std::any_of(panels_.begin(), panels_.end(),
                    [](const Panel& panel) { return !panel.drawing.dashed.empty(); })) {
        entries.emplace_back(Key::added, text_of(legend_added));
    }
    if (std::any_of(panels_.begin(), panels_.end(),
                    [](const Panel& panel) { return !panel.series->left_out().empty(); })) {
        entries.emplace_back(Key::left_out, text_of(legend_left_out));
    }
    if (reference_) {
        entries.emplace_back(
            Key::reference,
            text_of(legend_reference)
                .arg(QFileInfo(bytes_text(reference_->state->last_load.cast_path)).fileName()));
    }
    widths.clear();
    for (const auto& entry : entries) {
        widths.push_back(line * 2.0 + metrics.horizontalAdvance(entry.second));
    }
    for (const auto& indices : flow(widths, line * 1.2, room)) {
        layout.legend.emplace_back();
        for (const std::size_t k : indices) {
            layout.legend.back().push_back(entries[k]);
        }
    }
    layout.legend_top = layout.summary_top - pad * 0.5 - line * static_cast<double>(layout.legend.size());

    // The panels: titles and value labels above (in two rows where they alternate), the depth
    // labels left.
    if (panels_.empty()) {
        return layout;
    }
    const double value_label = metrics.horizontalAdvance(QStringLiteral("00000.00"));
    layout.gap = value_label;
    const auto count = static_cast<double>(panels_.size());
    for (double label_rows = 1; label_rows <= 2; ++label_rows) {
        layout.top = area.top() + pad + (1 + label_rows) * line + layout.tick_length;
        layout.bottom = layout.legend_top - pad;
        const double height = layout.bottom - layout.top;
        if (height < line) {
            return layout;
        }
        layout.depth_ticks = choose_ticks(
            top_m_, bottom_m_, height / (bottom_m_ - top_m_), line * 2.5,
            [line](const QString&) { return line; }, line * 0.4, false);
        double widest_depth = metrics.horizontalAdvance(QStringLiteral("0"));
        for (const double depth : layout.depth_ticks.values) {
            widest_depth = std::max(widest_depth,
                                    metrics.horizontalAdvance(tick_text(depth, layout.depth_ticks.decimals)));
        }
        layout.left = area.left() + pad + line + pad * 0.5 + widest_depth + layout.tick_length;
        const double right = area.right() - pad - value_label / 2;
        const double width = (right - layout.left - layout.gap * (count - 1)) / count;
        if (width < line) {
            return layout;
        }
        layout.value_ticks.clear();
        bool staggered = false;
        for (std::size_t p = 0; p < panels_.size(); ++p) {
            Panel& panel = panels_[p];
            panel.frame = QRectF(layout.left + static_cast<double>(p) * (width + layout.gap), layout.top,
                                 width, height);
            layout.value_ticks.push_back(
                panel.has_values
                    ? choose_ticks(
                          panel.low, panel.high, width / (panel.high - panel.low), line * 3.0,
                          [&metrics](const QString& text) { return metrics.horizontalAdvance(text); },
                          line * 0.8, true)
                    : Ticks{});
            staggered = staggered || layout.value_ticks.back().staggered;
        }
        layout.fits = true;
        layout.label_rows = label_rows;
        if (!staggered) {
            break;
        }
    }
    return layout;
}

void ProfilePlot::paint_depth_axis(QPainter& painter, const Layout& layout) const
{
    const QPen grid(QColor(0xe3, 0xe3, 0xe3), 0);
    const QPen axis(QColor(0x44, 0x44, 0x44), 0);
    const Ticks& ticks = layout.depth_ticks;
    for (const double depth : ticks.values) {
        const double y = map_y(depth);
        painter.setPen(grid);
        for (const Panel& panel : panels_) {
            painter.drawLine(QPointF(panel.frame.left(), y), QPointF(panel.frame.right(), y));
        }
        painter.setPen(axis);
        painter.drawLine(QPointF(layout.left - layout.tick_length, y), QPointF(layout.left, y));
        if (ticks.labelled(depth)) {
            painter.drawText(QRectF(layout.area.left(), y - layout.line / 2,
                                    layout.left - layout.tick_length - layout.pad * 0.3 - layout.area.left(),
                                    layout.line),
                             Qt::AlignRight | Qt::AlignVCenter, tick_text(depth, ticks.decimals));
        }
    }
    painter.save();
    painter.translate(layout.area.left() + layout.pad, (layout.top + layout.bottom) / 2);
    painter.rotate(-90);
    const double height = layout.bottom - layout.top;
    painter.drawText(QRectF(-height / 2, 0, height, layout.line), Qt::AlignCenter, text_of(depth_title));
    painter.restore();
}

void ProfilePlot::paint_value_axis(QPainter& painter, const Layout& layout, const Panel& panel,
                                   std::size_t index) const
{
    const QPen grid(QColor(0xe3, 0xe3, 0xe3), 0);
    const QPen axis(QColor(0x44, 0x44, 0x44), 0);
    const QRectF& frame = panel.frame;
    const Ticks& ticks = layout.value_ticks[index];
    const QFontMetricsF metrics(painter.font());
    for (const double value : ticks.values) {
        const double x = map_x(panel, value);
        painter.setPen(grid);
        painter.drawLine(QPointF(x, frame.top()), QPointF(x, frame.bottom()));
        painter.setPen(axis);
        painter.drawLine(QPointF(x, frame.top() - layout.tick_length), QPointF(x, frame.top()));
        if (ticks.labelled(value)) {
            const QString label = tick_text(value, ticks.decimals);
            const double half = metrics.horizontalAdvance(label) / 2 + 1;
            const double row = ticks.label_row(value);
            painter.drawText(QRectF(x - half, frame.top() - layout.tick_length - layout.line * (1 + row),
                                    2 * half, layout.line),
                             Qt::AlignCenter, label);
        }
    }
    // The title: with its unit where that fits above the panel, else the name, shortened if need be.
    QFont bold = painter.font();
    bold.setBold(true);
    const QFontMetricsF bold_metrics(bold);
    const double room = frame.width() + layout.gap * 0.8;
    QString title = panel.title;
    if (bold_metrics.horizontalAdvance(title) > room) {
        title = bold_metrics.elidedText(panel.short_title, Qt::ElideRight, room);
    }
    painter.save();
    painter.setFont(bold);
    painter.setPen(colour(index).darker(130));
    painter.drawText(QRectF(frame.center().x() - room / 2, layout.area.top() + layout.pad, room, layout.line),
                     Qt::AlignCenter, title);
    painter.restore();
}

std::optional<QPointF> ProfilePlot::trace(const CastSeries& series, const Panel& panel, std::size_t begin,
                                          std::size_t end, std::optional<QPointF> previous,
                                          std::vector<QLineF>& lines) const
{
    // Rows a little beyond the shown depths still draw, so that the line runs to the frame.
    const double span = bottom_m_ - top_m_;
    const double upper = top_m_ - span;
    const double lower = bottom_m_ + span;
    const auto at = [&](std::size_t i) {
        return QPointF(map_x(panel, series.value(i)), map_y(series.depth_m(i)));
    };
    const auto join = [&](std::size_t i) {
        const QPointF point = at(i);
        if (previous && !series.starts_run(i)) {
            lines.emplace_back(*previous, point);
        }
        return point;
    };
    // A run of rows within one pixel row (or column) draws as the line a path through them leaves
    // there: from its smallest to its largest value (or depth), whatever the order of its rows.
    series.walk(
        begin, end,
        [&](const SeriesExtent& extent, std::size_t first, std::size_t last) {
            if (extent.depth_high < upper || extent.depth_low > lower) {
                previous.reset();
                return WalkStep::skip;
            }
            if (!extent.joined || extent.depth_low < upper || extent.depth_high > lower) {
                return WalkStep::split;
            }
            const double y0 = map_y(extent.depth_low);
            const double y1 = map_y(extent.depth_high);
            const double x0 = map_x(panel, extent.value_low);
            const double x1 = map_x(panel, extent.value_high);
            if (y1 - y0 > 1.0 && x1 - x0 > 1.0) {
                return WalkStep::split;
            }
            join(first);
            if (y1 - y0 <= 1.0) {
                lines.emplace_back(QPointF(x0, (y0 + y1) / 2), QPointF(x1, (y0 + y1) / 2));
            } else {
                lines.emplace_back(QPointF((x0 + x1) / 2, y0), QPointF((x0 + x1) / 2, y1));
            }
            previous = at(last - 1);
            return WalkStep::take;
        },
        [&](std::size_t i) {
            const double depth_m = series.depth_m(i);
            if (depth_m < upper || depth_m > lower) {
                previous.reset();
                return;
            }
            previous = join(i);
        });
    return previous;
}

void ProfilePlot::paint_data(QPainter& painter, const Panel& panel, std::size_t index) const
{
    painter.save();
    painter.setClipRect(panel.frame);
    std::vector<QLineF> lines;
    if (panel.reference) {
        trace(*panel.reference, panel, 0, panel.reference->size(), std::nullopt, lines);
        painter.setPen(QPen(reference_colour, 1.2));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    const CastSeries& series = *panel.series;
    const QColor colour = this->colour(index);
    std::vector<QLineF> down;
    const std::optional<QPointF> last = trace(series, panel, 0, series.downcast_end(), std::nullopt, down);
    lines.clear();
    trace(series, panel, series.downcast_end(), series.size(), last, lines);
    painter.setPen(QPen(upcast_colour(colour), 1.0));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    painter.setPen(QPen(line_colour(colour), 1.0));
    painter.drawLines(down.data(), static_cast<int>(down.size()));

    const double radius = std::max(2.0, QFontMetricsF(painter.font()).height() * 0.17);
    painter.setPen(QPen(colour.darker(140), 0.8));
    painter.setBrush(colour);
    const ProfileDrawing& drawing = panel.drawing;
    const auto point = [&](const DepthValue& at) {
        return QPointF(map_x(panel, at.value), map_y(at.depth_m));
    };
    std::vector<QLineF> segments;
    for (const auto& [from, to] : drawing.steps) {
        segments.emplace_back(point(from), point(to));
    }
    painter.save();
    painter.setPen(QPen(colour.darker(110), 1.6));
    painter.drawLines(segments.data(), static_cast<int>(segments.size()));
    segments.clear();
    // Cut at the depths shown: a line drawn thousands of frames long comes out without its dashes.
    const auto within = [&](const DepthValue& from, const DepthValue& to) {
        const double depth_m = std::clamp(to.depth_m, top_m_, bottom_m_);
        const double share =
            to.depth_m == from.depth_m ? 1.0 : (depth_m - from.depth_m) / (to.depth_m - from.depth_m);
        return DepthValue{depth_m, from.value + (to.value - from.value) * share};
    };
    for (const auto& [from, to] : drawing.dashed) {
        segments.emplace_back(point(within(to, from)), point(within(from, to)));
    }
    painter.setPen(QPen(colour.darker(110), 1.2, added_style));
    painter.drawLines(segments.data(), static_cast<int>(segments.size()));
    // A line that runs on below the frame says where it ends.
    for (const auto& [from, to] : drawing.dashed) {
        if (from.depth_m < bottom_m_ && to.depth_m > bottom_m_) {
            const double x = map_x(panel, from.value + (to.value - from.value) * (bottom_m_ - from.depth_m) /
                                                           (to.depth_m - from.depth_m));
            const QFontMetricsF metrics(painter.font());
            const QString label =
                text_of(extension_label)
                    .arg(QString::number(to.depth_m, 'f', 0), QString::number(to.value, 'f', 1));
            const double width = metrics.horizontalAdvance(label) + metrics.height() * 0.4;
            // Beside the line, on the side where it fits.
            const double left = x + width + 6 <= panel.frame.right()
                                    ? x + 4
                                    : std::max(panel.frame.left() + 2, x - width - 4);
            painter.drawText(
                QRectF(left, panel.frame.bottom() - metrics.height() * 1.2, width, metrics.height()),
                Qt::AlignLeft | Qt::AlignVCenter, label);
        }
    }
    painter.restore();
    for (const DepthValue& at : drawing.markers) {
        if (at.depth_m >= top_m_ && at.depth_m <= bottom_m_) {
            painter.drawEllipse(point(at), radius, radius);
        }
    }
    // Added lines are no samples of the cast: hollow.
    painter.setBrush(Qt::white);
    for (const DepthValue& at : drawing.added) {
        if (at.depth_m >= top_m_ && at.depth_m <= bottom_m_) {
            painter.drawEllipse(point(at), radius, radius);
        }
    }
    // The samples a rule leaves out: a cross each, no part of the line; one far beyond the scale
    // (9082 m/s, 1E+308) on the frame's edge, where it still shows.
    for (const LeftOutPoint& sample : series.left_out()) {
        if (sample.depth_m >= top_m_ && sample.depth_m <= bottom_m_) {
            paint_cross(
                painter,
                QPointF(map_x(panel, clamped(sample.value, panel.low, panel.high)), map_y(sample.depth_m)),
                radius);
        }
    }
    painter.restore();
}

void ProfilePlot::paint_legend(QPainter& painter, const Layout& layout) const
{
    const QColor colour = this->colour(0);
    const double line = layout.line;
    const double radius = std::max(2.0, line * 0.17);
    double y = layout.legend_top + line / 2;
    for (const auto& entries : layout.legend) {
        double x = layout.area.left() + layout.pad;
        for (const auto& [sample, text] : entries) {
            const QLineF stroke(x, y, x + line * 1.5, y);
            painter.save();
            switch (sample) {
            case Layout::Key::downcast: painter.setPen(QPen(line_colour(colour), 1.5)); break;
            case Layout::Key::upcast: painter.setPen(QPen(upcast_colour(colour), 1.5)); break;
            case Layout::Key::reference: painter.setPen(QPen(reference_colour, 1.5)); break;
            case Layout::Key::bins: painter.setPen(QPen(colour.darker(110), 1.6)); break;
            case Layout::Key::added: painter.setPen(QPen(colour.darker(110), 1.2, added_style)); break;
            case Layout::Key::marker:
                painter.setPen(QPen(colour.darker(140), 0.8));
                painter.setBrush(colour);
                painter.drawEllipse(stroke.center(), radius, radius);
                break;
            case Layout::Key::left_out: paint_cross(painter, stroke.center(), radius); break;
            }
            if (sample != Layout::Key::marker && sample != Layout::Key::left_out) {
                painter.drawLine(stroke);
            }
            painter.restore();
            const double width = QFontMetricsF(painter.font()).horizontalAdvance(text);
            painter.drawText(QRectF(x + line * 2.0, y - line / 2, width + 1, line),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            x += line * 2.0 + width + line * 1.2;
        }
        y += line;
    }
}

void ProfilePlot::paint(QPainter& painter, const QRectF& area)
{
    if (!read_ || table_replaced()) {
        refresh();
    }
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    for (Panel& panel : panels_) {
        panel.frame = {};
    }
    if (!main_.state->g_table.has_shape()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(area, Qt::AlignCenter, summary());
        painter.restore();
        return;
    }
    const Layout layout = lay_out(QFontMetricsF(painter.font()), area);
    painter.setPen(Qt::black);
    for (qsizetype k = 0; k < layout.summary.size(); ++k) {
        painter.drawText(QRectF(area.left() + layout.pad,
                                layout.summary_top + static_cast<double>(k) * layout.line,
                                area.width() - 2 * layout.pad, layout.line),
                         Qt::AlignLeft | Qt::AlignVCenter, layout.summary[k]);
    }
    if (panels_.empty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(QRectF(area.left(), area.top(), area.width(), layout.summary_top - area.top()),
                         Qt::AlignCenter, text_of(no_such_column_text));
        painter.restore();
        return;
    }
    if (!layout.fits) {
        painter.restore();
        return;
    }
    paint_legend(painter, layout);
    paint_depth_axis(painter, layout);
    const QPen axis(QColor(0x44, 0x44, 0x44), 0);
    for (std::size_t p = 0; p < panels_.size(); ++p) {
        const Panel& panel = panels_[p];
        paint_value_axis(painter, layout, panel, p);
        if (panel.has_values) {
            paint_data(painter, panel, p);
        } else {
            painter.setPen(Qt::darkGray);
            painter.drawText(panel.frame, Qt::AlignCenter | Qt::TextWordWrap,
                             text_of(no_numbers_text).arg(bytes_text(panel.name)));
        }
        painter.setPen(axis);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(panel.frame);
    }
    painter.restore();
}

} // namespace quillonde
