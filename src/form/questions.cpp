#include "form/questions.h"

#include "profile/cast_steps.h"
#include "profile/profile_rows.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>

namespace quillonde {

namespace {

constexpr std::string_view far_latitude_question = " Compute the depth for it anyway?";
constexpr std::int32_t pole_deg = 90;
constexpr int salinity_decimals = profile_fields[salinity_field].decimals;
constexpr std::size_t outside_water_named = 3;

/// "The ..." as "the ...", for a sentence that goes on.
std::string lower_first(std::string text)
{
    if (!text.empty() && text.front() >= 'A' && text.front() <= 'Z') {
        text.front() = static_cast<char>(text.front() - 'A' + 'a');
    }
    return text;
}

/// "the ..." as "The ...", to begin a sentence.
std::string upper_first(std::string text)
{
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z') {
        text.front() = static_cast<char>(text.front() - 'a' + 'A');
    }
    return text;
}

template <typename... Cases> struct Overloaded : Cases... {
    using Cases::operator()...;
};
// Clang 14, which builds the fuzzers, deduces an aggregate's arguments only with a guide.
template <typename... Cases> Overloaded(Cases...) -> Overloaded<Cases...>;

/// One doubt in a sentence or two, each ending in a full stop.
std::string doubt_text(const Doubt& doubt)
{
    return std::visit(
        Overloaded{
            [](const LoadFailed& failed) {
                return "The last load stopped at line " + std::to_string(failed.line) + " (" +
                       failed.failure + "). The table holds only the " + counted(failed.rows_read, "row") +
                       " read before that line.";
            },
            [](const CastShort& cast) {
                return "The cast declares " + counted(cast.declared, "row") + "; " +
                       std::to_string(cast.read) + (cast.read == 1 ? " was" : " were") + " read.";
            },
            [](const DepthsForOtherWater& water) {
                return "The depths were computed for " + water_text(water.loaded) +
                       (water.mixed ? " at first, then for other settings" : "") + "; the window shows " +
                       water.shown + ".";
            },
            [](const FieldsAbsent& absent) {
                std::string names;
                for (std::size_t k = 0; k < absent.fields.size(); ++k) {
                    names += k == 0 ? "" : k + 1 == absent.fields.size() ? " and " : ", ";
                    names += absent.fields[k];
                }
                return "The cast gives no values for " + names +
                       ", and the export cannot compute them: each line of the profile holds 0 "
                       "for them.";
            },
            [](const LatitudeFarFromCast& latitude) {
                return "The cast states latitude " + double_to_str(round_to(latitude.cast_deg, 2)) +
                       ", but its depths were computed for salt water at " +
                       std::to_string(latitude.computed_deg) + " degrees.";
            },
            [](const LastLineUnended& cut) {
                return "The last line of the cast (line " + std::to_string(cut.line) +
                       ") has no line end: the cast may have been cut while it was written.";
            },
            [](const SalinityAgainstWater& water) {
                return "The median salinity of the stored rows is " +
                       value_text(water.median_salinity, salinity_decimals) +
                       (water.loaded.salt_water ? ", as in fresh" : ", as in sea") +
                       " water, but the depths were computed for " + water_text(water.loaded) + ".";
            },
            [](const SamplesOutsideWater& outside) {
                std::string named;
                for (const OutsideWater& sample : outside.first) {
                    named += named.empty() ? "" : ", ";
                    named += outside_water_text(sample);
                }
                if (outside.samples > outside.first.size()) {
                    named += ", ...";
                }
                return count_text(static_cast<std::int64_t>(outside.samples), "sample") +
                       (outside.samples == 1 ? " lies" : " lie") + " outside what water can have (" + named +
                       "); the profile leaves " + (outside.samples == 1 ? "its row" : "their rows") + " out.";
            },
            [](const ReaderDoubt& reader) { return reader.text; },
            [](const ProfileEmpty&) {
                return std::string("The profile holds no line: no usable row of the cast lies deeper than ") +
                       double_to_str(thinning_step_m) + " m, so the file holds its header alone.";
            },
            [](const SurfaceSoundApart& surface) {
                const int decimals = profile_fields[sound_field].decimals;
                return "At the transducer's draft of " + value_text(surface.draft_m, fine_depth_decimals) +
                       " m the profile gives " + value_text(surface.profile_m_s, decimals) +
                       " m/s, but its sensor measures " + value_text(surface.sensor_m_s, decimals) +
                       " m/s: more than " + value_text(surface_tolerance_m_s, decimals) + " m/s apart.";
            },
        },
        doubt);
}

std::string doubts_text(const std::vector<Doubt>& doubts)
{
    std::string text;
    for (const Doubt& doubt : doubts) {
        text += text.empty() ? "" : " ";
        text += doubt_text(doubt);
    }
    return text;
}

} // namespace

const std::array<DerivedColumn, 3> derived_columns = {{
    {sound_field, "Temp, SALIN and Press",
     "The cast has no SOUND column. Compute the sound velocity from Temp, SALIN and Press after UNESCO 1983 "
     "(Chen and Millero) and write the profile?"},
    {salinity_field, "Cond, Temp and Press",
     "The cast has no SALIN column. Compute the salinity from Cond, Temp and Press after UNESCO 1983 "
     "(PSS-78) and write the profile?"},
    {conductivity_field, "SALIN, Temp and Press",
     "The cast has no Cond column. Compute the conductivity from SALIN, Temp and Press after UNESCO 1983 "
     "(PSS-78) and write the profile?"},
}};

SamplesOutsideWater outside_water_doubt(const std::vector<OutsideWater>& found)
{
    SamplesOutsideWater doubt{found.size(), {}};
    doubt.first.assign(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(
                                                          std::min(found.size(), outside_water_named)));
    return doubt;
}

bool salinity_fits(const DepthBasis& basis, double median_salinity)
{
    return basis.salt_water ? !(median_salinity < fresh_salinity_below)
                            : !(median_salinity > sea_salinity_above);
}

std::string far_latitude_text(std::string_view latitude)
{
    return "the latitude " + std::string(latitude) + " lies outside " + std::to_string(-pole_deg) + " to " +
           std::to_string(pole_deg) + " degrees";
}

bool latitude_on_earth(std::int32_t latitude_deg)
{
    return latitude_deg >= -pole_deg && latitude_deg <= pole_deg;
}

std::string water_text(const DepthBasis& basis)
{
    return basis.salt_water ? "salt water at " + std::to_string(basis.latitude_deg) + " degrees"
                            : "fresh water";
}

std::string count_text(std::int64_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string notes_text(const DerivedNotes& notes)
{
    std::string text;
    const auto add = [&](std::string sentence) {
        text += text.empty() ? "" : ". ";
        text += sentence;
    };
    for (std::size_t field = 0; field < profile_fields.size(); ++field) {
        if (const std::int32_t rows = notes.near_range[field]; rows > 0) {
            add(count_text(rows, "row") + " of " + std::string(profile_fields[field].name) +
                (rows == 1 ? " was" : " were") + " computed from values slightly outside the range of " +
                (field == sound_field ? "Chen and Millero's formula" : "PSS-78"));
        }
    }
    if (notes.conductivity_noise > 0) {
        add(count_text(notes.conductivity_noise, "row") +
            " of Cond between -0.1 and 0 mS/cm, a fresh-water " + "sensor's noise, " +
            (notes.conductivity_noise == 1 ? "was" : "were") + " read as SALIN 0");
    }
    return text;
}

std::string question_text(const Question& question)
{
    switch (question.kind) {
    case QuestionKind::computed_notes: return notes_text(question.notes) + ".";
    case QuestionKind::replace_file:
        return (question.found.empty() ? std::string()
                                       : quoted_path(question.target) + " holds " + question.found +
                                             ", to which no cast can be added. ") +
               "Replace " + quoted_path(question.target) + " with the profile of " +
               quoted_path(question.cast) + "?";
    case QuestionKind::compute_column: return std::string(derived_columns.at(question.derived).question);
    case QuestionKind::add_or_replace:
        return quoted_path(question.target) + " holds " +
               (question.casts_held == 0 ? std::string("no cast yet")
                                         : std::to_string(question.casts_held) +
                                               (question.casts_held == 1 ? " cast" : " casts") + " already") +
               ". Add the profile of " + quoted_path(question.cast) +
               " to it as a new section, or replace the file?";
    case QuestionKind::far_latitude:
        return upper_first(far_latitude_text(question.latitude)) + "." + std::string(far_latitude_question);
    case QuestionKind::export_anyway: break;
    }
    const bool depths_differ = std::ranges::any_of(question.doubts, [](const Doubt& doubt) {
        return std::holds_alternative<DepthsForOtherWater>(doubt);
    });
    const auto only = [&]<typename Kind>(Kind*) {
        return std::ranges::all_of(question.doubts,
                                   [](const Doubt& doubt) { return std::holds_alternative<Kind>(doubt); });
    };
    return doubts_text(question.doubts) + " " +
           std::string(depths_differ                                      ? export_as_loaded_question
                       : only(static_cast<FieldsAbsent*>(nullptr))        ? write_zeros_question
                       : only(static_cast<SamplesOutsideWater*>(nullptr)) ? write_without_question
                       : only(static_cast<ProfileEmpty*>(nullptr))        ? write_header_question
                                                                          : export_them_question);
}

std::vector<std::string_view> question_answers(const Question& question)
{
    if (question.kind != QuestionKind::add_or_replace) {
        return {};
    }
    return {"Add the cast as a new section", "Replace the file", "Cancel"};
}

std::string reasons_text(const std::vector<Doubt>& doubts)
{
    std::string reasons = doubts_text(doubts);
    while (!reasons.empty() && (reasons.back() == ' ' || reasons.back() == '.')) {
        reasons.pop_back();
    }
    return lower_first(std::move(reasons));
}

} // namespace quillonde
