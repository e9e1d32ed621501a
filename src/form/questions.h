#pragma once

#include "depth/formulas.h"
#include "profile/profile_rows.h"
#include "profile/water_ranges.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quillonde {

// The questions a handler asks before it goes on, as values: the window words them and shows them,
// the batch tool answers them from its options and words only what it warns of.

/// The last load stopped with an error part way through the cast.
struct LoadFailed {
    std::uint64_t line = 0;
    std::string failure; ///< the error's message
    std::int32_t rows_read = 0;
};

/// The cast declares more rows than were read.
struct CastShort {
    std::int32_t declared = 0;
    std::int32_t read = 0;
};

/// The depths were computed for other water than the window shows now.
struct DepthsForOtherWater {
    DepthBasis loaded;  ///< what the first depth was computed for
    bool mixed = false; ///< later depths were computed for something else
    std::string shown;  ///< the water the window shows, in words
};

/// The cast gives no values for these profile fields, and none can be computed: the profile holds 0
/// for them, as echo-sounder software writes for a sound-velocity probe.
struct FieldsAbsent {
    std::vector<std::string> fields; ///< their names, in the order of profile_fields
};

/// The sea-water depths were computed for a latitude more than a degree away from the cast's own.
struct LatitudeFarFromCast {
    double cast_deg = 0.0;         ///< the latitude the cast states
    std::int32_t computed_deg = 0; ///< the latitude its depths were computed for
};

/// The cast's last line has no line end: the file may have been cut while it was written.
struct LastLineUnended {
    std::uint64_t line = 0;
};

/// The cast's own salinity says other water than the depths were computed for.
struct SalinityAgainstWater {
    DepthBasis loaded;            ///< what the depths were computed for
    double median_salinity = 0.0; ///< of the stored rows
};

/// Samples of the cast lie outside what water can have: their rows are left out of the profile.
struct SamplesOutsideWater {
    std::size_t samples = 0;
    std::vector<OutsideWater> first; ///< the first few, to name them
};

/// The reader doubts what the file states (an atmospheric pressure far from the air's).
struct ReaderDoubt {
    std::string text; ///< a sentence
};

/// The profile holds no line: the file would hold its header alone.
struct ProfileEmpty {};

/// The profile's sound speed at the transducer's draft lies far from its own sensor's.
struct SurfaceSoundApart {
    double draft_m = 0.0;
    double profile_m_s = 0.0;
    double sensor_m_s = 0.0;
};

/// Why the table may not hold what the user expects to export.
using Doubt = std::variant<LoadFailed, CastShort, DepthsForOtherWater, FieldsAbsent, LatitudeFarFromCast,
                           LastLineUnended, SalinityAgainstWater, SamplesOutsideWater, ReaderDoubt,
                           ProfileEmpty, SurfaceSoundApart>;

/// The doubt of the samples `found` outside what water can have, naming the first few.
SamplesOutsideWater outside_water_doubt(const std::vector<OutsideWater>& found);

/// A column the export computes when the cast lacks it: its place in profile_fields, the columns it
/// is computed from, and the words of the question the export asks before.
struct DerivedColumn {
    std::size_t field;
    std::string_view inputs;
    std::string_view question;
};

/// The columns the export can compute, after UNESCO 1983.
extern const std::array<DerivedColumn, 3> derived_columns;

enum class QuestionKind {
    replace_file,   ///< a file is about to be replaced that nobody chose in a dialog
    export_anyway,  ///< the table may not hold what the user expects to export
    compute_column, ///< a column the profile needs is to be computed from others
    computed_notes, ///< computed values met inputs the user should hear of; the window tells, asks not
    add_or_replace, ///< the target holds casts: add this one to them, or replace the file (choose())
    far_latitude,   ///< a depth is to be computed for a latitude beyond the poles
};

/// A question of a handler, asked with Controls::ask (Yes or No) or, for add_or_replace, with
/// Controls::choose. No, or Cancel, leaves everything as it was.
struct Question {
    QuestionKind kind = QuestionKind::export_anyway;
    std::vector<Doubt> doubts;  ///< export_anyway: why it is asked
    std::size_t derived = 0;    ///< compute_column: the column, in derived_columns
    std::string target;         ///< replace_file, add_or_replace: the file to replace
    std::string cast;           ///< replace_file, add_or_replace: the cast whose profile replaces it
    DerivedNotes notes;         ///< computed_notes: what the computed values met
    std::size_t casts_held = 0; ///< add_or_replace: the casts the target holds
    std::string latitude;       ///< far_latitude: the latitude as the user gave it
    std::string found;          ///< replace_file: what the target holds, where it is no file of the
                                ///< format that the profile could be added to; else empty

    static Question export_anyway(std::vector<Doubt> doubts)
    {
        Question question;
        question.doubts = std::move(doubts);
        return question;
    }
    static Question compute_column(std::size_t derived)
    {
        Question question;
        question.kind = QuestionKind::compute_column;
        question.derived = derived;
        return question;
    }
    static Question computed_notes(const DerivedNotes& notes)
    {
        Question question;
        question.kind = QuestionKind::computed_notes;
        question.notes = notes;
        return question;
    }
    static Question replace_file(std::string target, std::string cast)
    {
        Question question;
        question.kind = QuestionKind::replace_file;
        question.target = std::move(target);
        question.cast = std::move(cast);
        return question;
    }
    static Question add_or_replace(std::string target, std::string cast, std::size_t casts_held)
    {
        Question question = replace_file(std::move(target), std::move(cast));
        question.kind = QuestionKind::add_or_replace;
        question.casts_held = casts_held;
        return question;
    }
    static Question far_latitude(std::string latitude)
    {
        Question question;
        question.kind = QuestionKind::far_latitude;
        question.latitude = std::move(latitude);
        return question;
    }
};

/// The answers of an add_or_replace question, as Controls::choose() returns them.
inline constexpr std::size_t add_section_answer = 0;
inline constexpr std::size_t replace_file_answer = 1;
inline constexpr std::size_t cancel_answer = 2;

/// The answers of a question asked with Controls::choose(), in the order the window offers them;
/// the last one, Cancel, leaves everything as it was. Empty for a yes-or-no question.
std::vector<std::string_view> question_answers(const Question& question);

/// The closing questions of an export_anyway question; the sentences before them say why it is asked.
inline constexpr std::string_view export_them_question = "Export them?";
inline constexpr std::string_view export_as_loaded_question =
    "Export the depths as loaded? (Load the cast again to use the window's settings.)";
inline constexpr std::string_view write_zeros_question = "Write the profile?";
inline constexpr std::string_view write_without_question = "Write the profile without them?";
inline constexpr std::string_view write_header_question = "Write the file anyway?";

/// The words of a question, as the window asks it.
std::string question_text(const Question& question);

/// The doubts of an export_anyway question as the reasons of a warning, without the closing
/// question: "the cast declares 250 rows; 122 were read".
std::string reasons_text(const std::vector<Doubt>& doubts);

/// What computed values met, in a sentence for each kind of row, without a full stop at the end:
/// "2 rows of SOUND were computed from values slightly outside the range of Chen and Millero's
/// formula".
std::string notes_text(const DerivedNotes& notes);

/// "1 row", "2 rows": a count and its noun.
std::string count_text(std::int64_t count, std::string_view noun);

/// Whether a latitude lies within -90 to 90 degrees.
bool latitude_on_earth(std::int32_t latitude_deg);

/// Why a latitude is doubtful: "the latitude 540 lies outside -90 to 90 degrees".
std::string far_latitude_text(std::string_view latitude);

/// The salinity below which water counts as fresh, and above which as sea water, for the doubt
/// SalinityAgainstWater; brackish water between them fits either.
inline constexpr double fresh_salinity_below = 0.5;
inline constexpr double sea_salinity_above = 5.0;

/// Whether a cast's median salinity suits the water its depths were computed for: not above 5 for
/// fresh water, not below 0.5 for salt water.
bool salinity_fits(const DepthBasis& basis, double median_salinity);

/// A water type and latitude in words: "salt water at 54 degrees", "fresh water".
std::string water_text(const DepthBasis& basis);

} // namespace quillonde
