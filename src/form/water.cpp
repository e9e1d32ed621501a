#include "form/water.h"

#include "profile/profile_rows.h"
#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::string_view empty_latitude_message = "the latitude box is empty";

} // namespace

std::int32_t window_latitude(const Controls& controls)
{
    const std::string latitude = controls.text(TextBox::tx_lat);
    // An empty box is the user's to fill, not a text of the cast that fails to convert.
    if (trim_blanks(latitude).empty()) {
        throw Error(ErrorKind::type_mismatch, std::string(empty_latitude_message));
    }
    return with_subject("latitude", [&] { return str_to_long(latitude); });
}

std::optional<DepthBasis> window_basis(const Controls& controls)
{
    if (controls.selected(OptionButton::op_salt)) {
        return DepthBasis{true, window_latitude(controls)};
    }
    if (controls.selected(OptionButton::op_fresh)) {
        return DepthBasis{};
    }
    return std::nullopt;
}

const Water* WindowWater::now(const Controls& controls)
{
    if (controls.selected(OptionButton::op_salt)) {
        std::string text = controls.text(TextBox::tx_lat);
        // Compared by hand: a call for each of a million rows would show.
        const bool same = salt_ && text.size() == latitude_text_.size() &&
                          std::equal(text.begin(), text.end(), latitude_text_.begin(),
                                     [](char a, char b) { return a == b; });
        if (!same) {
            salt_.reset();
            const std::int32_t latitude = window_latitude(controls);
            salt_.emplace(DepthBasis{true, latitude});
            latitude_text_ = std::move(text);
        }
        return &*salt_;
    }
    if (controls.selected(OptionButton::op_fresh)) {
        return &fresh_;
    }
    return nullptr;
}

bool latitude_confirmed(Controls& controls)
{
    const std::optional<DepthBasis> basis = window_basis(controls);
    if (!basis || !basis->salt_water || latitude_on_earth(basis->latitude_deg)) {
        return true;
    }
    return controls.ask(Question::far_latitude(std::string(trim_blanks(controls.text(TextBox::tx_lat)))));
}

std::optional<SalinityAgainstWater> salinity_doubt(const ProfileState& state)
{
    const LoadRecord& load = state.last_load;
    if (!load.depth_basis || load.names_listed == 0 || !state.g_table.has_shape()) {
        return std::nullopt;
    }
    const std::int32_t column = state.cast.column_named(profile_fields[salinity_field].name);
    if (column < 0 || column > state.ccolumns) {
        return std::nullopt;
    }
    // Whether it fits needs no median of a million values, only the side of the limit it lies on.
    const bool salt = load.depth_basis->salt_water;
    const std::optional<bool> beyond =
        median_beyond(state.g_table, column, salt ? fresh_salinity_below : sea_salinity_above, salt);
    if (!beyond || !*beyond) {
        return std::nullopt;
    }
    const std::optional<double> median = column_median(state.g_table, column);
    if (!median || salinity_fits(*load.depth_basis, *median)) {
        return std::nullopt;
    }
    return SalinityAgainstWater{*load.depth_basis, *median};
}

} // namespace quillonde
