#include "form/preview.h"

#include "form/headless_controls.h"
#include "profile/sounder_shaping.h"
#include "runtime/convert.h"
#include "runtime/text.h"

#include <exception>

namespace quillonde {

namespace {

constexpr std::string_view unknown_words = "unknown";

std::string shown(const std::optional<double>& value)
{
    return value ? double_to_str(*value) : std::string(unknown_words);
}

} // namespace

std::string section_line(const CastPart& part, std::size_t number)
{
    return std::to_string(number) + "  " + (part.time ? iso_time(*part.time) : std::string(unknown_words)) +
           "  " + shown(part.latitude_deg) + " " + shown(part.longitude_deg) + "  " +
           counted(static_cast<std::int64_t>(part.lines), "line");
}

ProfilePreview preview_profile(const ProfileState& state, const ProfileWriter& writer,
                               const SounderSettings& sounder)
{
    ProfilePreview preview;
    preview.writer = &writer;
    HeadlessControls yes;
    yes.set_answerer([](const Question&) { return true; });
    try {
        if (!state.g_table.has_shape()) {
            return preview;
        }
        const ProfileColumns columns = profile_columns(yes, state);
        std::optional<Profile> made = profile_to_write(
            yes, state, columns, export_row_order(state),
            ProfileEnd{writer.ends_where_thinned(), writer.writes_header_alone()}, preview.steps, {});
        if (!made) {
            return preview;
        }
        preview.profile = std::move(*made);
        if (!preview.profile.rows.empty()) {
            const SounderShaping shaping = shape_for_writer(preview.profile, writer, sounder);
            if (writer.shaped_for_sounder()) {
                preview.steps.sounder = shaping;
            }
        }
    } catch (const std::exception& error) {
        preview.profile = Profile{};
        preview.failure = error.what();
    }
    return preview;
}

} // namespace quillonde
