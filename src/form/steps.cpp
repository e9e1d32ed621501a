#include "form/steps.h"

#include "profile/profile_rows.h"
#include "runtime/convert.h"
#include "runtime/text.h"

#include <string_view>

namespace quillonde {

namespace {

constexpr std::string_view downcast_words = "the downcast";
constexpr std::string_view upcast_words = "the upcast";

std::string counted_rows(std::int32_t count, std::string_view what)
{
    return std::to_string(count) + " " + std::string(what) + (count == 1 ? " row" : " rows") + " left out";
}

} // namespace

ProfileColumns step_columns(const ProfileState& state)
{
    ProfileColumns columns;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        const std::int32_t found = state.cast.column_named(profile_fields[f].name);
        columns.fields[f] = found >= 0 && found <= state.ccolumns ? found : absent_field;
    }
    columns.pressure = state.last_load.press_col;
    const auto has = [&](std::size_t field) { return columns.fields[field] >= 0; };
    if (!has(sound_field) && columns.pressure >= 0 && has(temperature_field) &&
        (has(salinity_field) || has(conductivity_field))) {
        columns.fields[sound_field] = derived_field;
        if (!has(salinity_field)) {
            columns.fields[salinity_field] = derived_field;
        }
    }
    return columns;
}

void apply_steps(ProfileState& state)
{
    ProfileTable& table = state.g_table;
    if (!table.has_shape()) {
        return;
    }
    table.forget_rule(Rule::soak);
    table.forget_rule(Rule::spike);
    if (state.last_load.names_listed == 0) {
        return;
    }
    if (state.steps.drop_soak) {
        for (const std::int32_t row : soak_rows(table)) {
            table.leave_out_row(row, Rule::soak);
        }
    }
    if (state.steps.despike) {
        for (const std::int32_t row : spike_rows(table, step_columns(state))) {
            table.leave_out_row(row, Rule::spike);
        }
    }
}

StepsTaken steps_on_cast(const ProfileState& state)
{
    StepsTaken taken;
    if (state.steps.cast != CastChoice::by_rule) {
        taken.cast = state.steps.cast;
    }
    if (state.g_table.has_shape()) {
        const auto counts = state.g_table.rows_left_out();
        const auto count_of = [&](Rule rule) {
            const auto found = counts.find(rule);
            return found == counts.end() ? 0 : found->second;
        };
        taken.soak_rows = count_of(Rule::soak);
        taken.spike_rows = count_of(Rule::spike);
    }
    taken.bin_m = state.steps.bin_m;
    return taken;
}

std::vector<std::string> StepsTaken::words() const
{
    std::vector<std::string> words;
    if (cast) {
        words.emplace_back(*cast == CastChoice::up ? upcast_words : downcast_words);
    }
    if (soak_rows > 0) {
        words.push_back(counted_rows(soak_rows, "soak"));
    }
    if (spike_rows > 0) {
        words.push_back(counted_rows(spike_rows, "spike"));
    }
    if (bin_m) {
        words.push_back(value_text(*bin_m, fine_depth_decimals) + " m bins");
    }
    if (deepest_m) {
        words.push_back("ends at the deepest sample, " + value_text(*deepest_m, fine_depth_decimals) + " m");
    }
    if (surface && surface_profile_m_s) {
        const int decimals = profile_fields[sound_field].decimals;
        words.push_back("surface sound speed " + value_text(*surface_profile_m_s, decimals) + " m/s at " +
                        value_text(surface->draft_m, fine_depth_decimals) + " m against the sensor's " +
                        value_text(surface->sound_m_s, decimals));
    }
    if (sounder) {
        if (sounder->not_deeper_dropped > 0) {
            words.push_back(counted(static_cast<std::int64_t>(sounder->not_deeper_dropped), "line") +
                            " no deeper than the one before left out");
        }
        if (sounder->surface_speed_m_s) {
            words.emplace_back("a 0 m line added");
        }
        if (sounder->reduced) {
            words.push_back("reduced to " +
                            counted(static_cast<std::int64_t>(sounder->reduced->lines_after), "line"));
        }
        if (sounder->extended_below_m) {
            words.push_back("extended to " + value_text(extension_depth_m, 0) + " m");
        }
    }
    return words;
}

std::string steps_text(const StepsTaken& taken)
{
    std::string text;
    for (const std::string& words : taken.words()) {
        text += (text.empty() ? "" : ", ") + words;
    }
    return text;
}

} // namespace quillonde
