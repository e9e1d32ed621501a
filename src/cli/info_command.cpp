#include "cli/info_command.h"

#include "cli/batch.h"
#include "form/loader.h"
#include "form/preview.h"
#include "form/state.h"
#include "formats/registry.h"
#include "runtime/convert.h"
#include "runtime/text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <exception>
#include <optional>

namespace quillonde::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view unknown_text = "unknown";
constexpr std::string_view interrupted_message = "interrupted; neither this nor what follows was read";

// Windows-1252's signs in 0x80 to 0x9F, as Unicode; 0 where it has none (read as Latin-1 then).
constexpr std::array<char16_t, 32> windows_1252_high = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool is_utf8(std::string_view bytes)
{
    for (std::size_t k = 0; k < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[k]);
        const std::size_t length = lead < 0x80            ? 1
                                   : (lead >> 5U) == 0x6  ? 2
                                   : (lead >> 4U) == 0xE  ? 3
                                   : (lead >> 3U) == 0x1E ? 4
                                                          : 0;
        if (length == 0 || lead == 0xC0 || lead == 0xC1 || k + length > bytes.size()) {
            return false;
        }
        for (std::size_t c = 1; c < length; ++c) {
            if ((static_cast<unsigned char>(bytes[k + c]) >> 6U) != 0x2) {
                return false;
            }
        }
        k += length;
    }
    return true;
}

void append_utf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6U));
        out += static_cast<char>(0x80 | (code & 0x3FU));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12U));
        out += static_cast<char>(0x80 | ((code >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (code & 0x3FU));
    }
}

/// A text, or null when it is empty.
Json text_or_null(std::string_view text)
{
    return text.empty() ? Json(nullptr) : Json(utf8_text(text));
}

Json number_or_null(const std::optional<double>& value)
{
    return value ? Json(*value) : Json(nullptr);
}

std::string shown(std::string_view text)
{
    return text.empty() ? std::string(unknown_text) : utf8_text(text);
}

std::string shown(const std::optional<double>& value)
{
    return value ? double_to_str(*value) : std::string(unknown_text);
}

/// The description of the format `id` names: "Sea-Bird *.cnv".
std::string_view format_filter(std::string_view id)
{
    const auto& readers = cast_readers();
    const auto found =
        std::ranges::find(readers, id, [](const CastReader* reader) { return reader->facts().id; });
    return found == readers.end() ? id : (*found)->facts().filter;
}

/// How many rows each rule leaves out of the profile, by the rule's reason.
Json json_left_out(const ProfileState& state)
{
    Json left_out = Json::object();
    if (state.g_table.has_shape()) {
        for (const auto& [rule, rows] : state.g_table.rows_left_out()) {
            left_out[std::string(reason_of(rule))] = rows;
        }
    }
    return left_out;
}

/// The scale of the cast's temperatures as the formulas take them; nothing without a Temp column.
std::optional<std::string_view> scale_text(const CastInfo& cast)
{
    const std::int32_t column = cast.column_named(profile_fields[temperature_field].name);
    if (column < 0) {
        return std::nullopt;
    }
    return temperature_scale_text(temperature_scale(cast.columns[static_cast<std::size_t>(column)]));
}

/// The part of the cast a profile takes, in words.
std::string_view order_words(RowOrder order)
{
    switch (order) {
    case RowOrder::upcast: return "upcast";
    case RowOrder::given: return "as given";
    case RowOrder::recorded: break;
    }
    return "downcast";
}

/// The part of the cast a profile takes, as the text of `info` says it: "the downcast", or "the file's
/// lines as given" for a profile file.
std::string profile_part_words(RowOrder order)
{
    return order == RowOrder::given ? "the file's lines as given" : "the " + std::string(order_words(order));
}

Json json_profile(const ProfileState& state, const ProfilePreview& preview)
{
    const StepsTaken& steps = preview.steps;
    Json surface = nullptr;
    if (steps.surface) {
        surface = {{"draft_m", steps.surface->draft_m},
                   {"sensor_m_s", steps.surface->sound_m_s},
                   {"profile_m_s", number_or_null(steps.surface_profile_m_s)}};
    }
    Json sounder = nullptr;
    if (steps.sounder) {
        sounder = {{"not_deeper_left_out", steps.sounder->not_deeper_dropped},
                   {"surface_line_m_s", number_or_null(steps.sounder->surface_speed_m_s)},
                   {"reduced_to",
                    steps.sounder->reduced ? Json(steps.sounder->reduced->lines_after) : Json(nullptr)},
                   {"extended_below_m", number_or_null(steps.sounder->extended_below_m)}};
    }
    Json said = Json::array();
    for (const std::string& words : steps.words()) {
        said.push_back(utf8_text(words));
    }
    return {{"format", std::string(preview.writer->facts().id)},
            {"lines", preview.failure ? Json(nullptr) : Json(preview.profile.rows.size())},
            {"failure", preview.failure ? Json(utf8_text(*preview.failure)) : Json(nullptr)},
            {"cast", std::string(order_words(export_row_order(state)))},
            {"soak_rows", steps.soak_rows},
            {"spike_rows", steps.spike_rows},
            {"bin_m", number_or_null(steps.bin_m)},
            {"deepest_m", number_or_null(steps.deepest_m)},
            {"surface_check", surface},
            {"sounder", sounder},
            {"steps", said}};
}

Json json_info(const std::string& input, const ProfileState& state, const ProfilePreview& preview)
{
    const CastInfo& cast = state.cast;
    Json columns = Json::array();
    for (const CastColumn& column : cast.columns) {
        columns.push_back({{"name", utf8_text(column.name)},
                           {"source", utf8_text(column.source)},
                           {"unit", text_or_null(column.unit)},
                           {"conversion", text_or_null(column.conversion)}});
    }
    Json sections = Json::array();
    for (const CastPart& part : cast.parts) {
        sections.push_back({{"time", part.time ? Json(iso_time(*part.time)) : Json(nullptr)},
                            {"latitude", number_or_null(part.latitude_deg)},
                            {"longitude", number_or_null(part.longitude_deg)},
                            {"lines", part.lines}});
    }
    Json info = {
        {"file", utf8_text(input)},
        {"format", cast.format},
        {"instrument", text_or_null(cast.instrument)},
        {"serial", text_or_null(cast.serial)},
        {"time", cast.time ? Json(iso_time(*cast.time)) : Json(nullptr)},
        {"time_source", cast.time ? text_or_null(cast.time->source) : Json(nullptr)},
        {"time_zone",
         cast.time && cast.time->zone != TimeZone::unknown ? Json(zone_text(*cast.time)) : Json(nullptr)},
        {"latitude", number_or_null(cast.latitude_deg)},
        {"longitude", number_or_null(cast.longitude_deg)},
        {"rows", state.g_table.filled_rows()},
        {"rows_stated", state.last_load.rows_declared ? Json(*state.last_load.rows_declared) : Json(nullptr)},
        {"left_out", json_left_out(state)},
        {"temperature_scale", scale_text(cast) ? Json(std::string(*scale_text(cast))) : Json(nullptr)}};
    if (!cast.parts.empty()) {
        info["sections"] = std::move(sections);
        info["section"] = cast.part;
    }
    info["profile"] = json_profile(state, preview);
    info["columns"] = std::move(columns);
    return info;
}

std::string text_info(const std::string& input, const ProfileState& state, const ProfilePreview& preview)
{
    const CastInfo& cast = state.cast;
    std::string text = utf8_text(input) + "\n";
    const auto line = [&](std::string_view key, const std::string& value) {
        text.append("  ").append(key).append(":");
        text.append(std::max<std::size_t>(12 - key.size(), 1), ' ').append(value).append("\n");
    };
    line("format", std::string(format_filter(cast.format)));
    line("instrument", shown(cast.instrument));
    line("serial", shown(cast.serial));
    line("time", cast.time
                     ? iso_time(*cast.time) + " (" + cast.time->source + ", " + zone_text(*cast.time) + ")"
                     : std::string(unknown_text));
    line("latitude", shown(cast.latitude_deg));
    line("longitude", shown(cast.longitude_deg));
    const std::int32_t held = state.g_table.filled_rows();
    const std::optional<std::int32_t> declared = rows_missing_of(state.last_load, held);
    line("rows", std::to_string(held) + (declared ? " of " + std::to_string(*declared) + " stated" : ""));
    if (state.g_table.has_shape()) {
        for (const auto& [rule, rows] : state.g_table.rows_left_out()) {
            line("left out", counted(rows, "row") + ", " + std::string(reason_of(rule)));
        }
    }
    if (const auto scale = scale_text(cast)) {
        line("temperature", std::string(*scale));
    }
    if (!cast.parts.empty()) {
        line("sections",
             std::to_string(cast.parts.size()) + ", section " + std::to_string(cast.part) + " loaded");
        for (std::size_t k = 0; k < cast.parts.size(); ++k) {
            text += "    " + section_line(cast.parts[k], k + 1) + "\n";
        }
    }
    line("profile", preview.failure
                        ? "none: " + utf8_text(*preview.failure)
                        : counted(static_cast<std::int64_t>(preview.profile.rows.size()), "line") + " for " +
                              std::string(preview.writer->facts().filter) + ", " +
                              profile_part_words(export_row_order(state)));
    std::string steps;
    for (const std::string& words : preview.steps.words()) {
        steps += (steps.empty() ? "" : "; ") + utf8_text(words);
    }
    if (!steps.empty()) {
        line("steps", steps);
    }
    text += "  columns (name, source, unit, conversion):\n";
    // Widths in characters, so that "°C" takes one place.
    const auto characters = [](const std::string& cell) {
        return static_cast<std::size_t>(std::ranges::count_if(
            cell, [](char c) { return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U; }));
    };
    std::array<std::size_t, 3> widths{};
    for (const CastColumn& column : cast.columns) {
        widths = {std::max(widths[0], characters(utf8_text(column.name))),
                  std::max(widths[1], characters(utf8_text(column.source))),
                  std::max(widths[2], characters(utf8_text(column.unit)))};
    }
    for (const CastColumn& column : cast.columns) {
        std::string row = "    ";
        const std::array<std::string, 3> cells = {utf8_text(column.name), utf8_text(column.source),
                                                  utf8_text(column.unit)};
        for (std::size_t k = 0; k < cells.size(); ++k) {
            row += cells[k] + std::string(widths[k] - characters(cells[k]) + 2, ' ');
        }
        row += utf8_text(column.conversion);
        row.erase(row.find_last_not_of(' ') + 1);
        text += row + "\n";
    }
    return text;
}

} // namespace

std::string utf8_text(std::string_view bytes)
{
    if (is_utf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t high = byte >= 0x80 && byte < 0xA0 ? windows_1252_high[byte - 0x80U] : 0;
        append_utf8(out, high != 0 ? high : byte);
    }
    return out;
}

RunResult print_cast_info(const Water& water, const std::vector<std::string>& inputs, bool json,
                          Console console, const ProfileOptions& profile)
{
    HeadlessControls controls = controls_for(water, console.stop);
    ProfileState state;
    state.part_wanted = profile.section;
    state.steps = profile.steps;
    const ProfileWriter& writer = profile.format != nullptr ? *profile.format : *profile_writers().front();
    bool failed = false;
    for (const std::string& input : inputs) {
        if (console.stop.load()) {
            report(console, input, interrupted_message);
            return RunResult::interrupted;
        }
        if (input.empty()) {
            report(console, input, no_file_name_message);
            failed = true;
            continue;
        }
        try {
            controls.set_text(TextBox::tx_ss_file, input);
            if (load_data_file(controls, state) == LoadOutcome::stopped) {
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            const ProfilePreview preview = preview_profile(state, writer, profile.sounder);
            console.out << (json ? json_info(input, state, preview).dump() + "\n"
                                 : text_info(input, state, preview));
        } catch (const std::exception& error) {
            if (console.stop.load()) { // a wait on a pipe that the signal cut short
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            report(console, input, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

} // namespace quillonde::cli
