#pragma once

#include "form/controls.h"
#include "form/state.h"
#include "profile/sva.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillonde {

/// The closing questions of an export_anyway question; the sentences before them say why it is asked.
inline constexpr std::string_view export_them_question = "Export them?";
inline constexpr std::string_view export_as_loaded_question =
    "Export the depths as loaded? (Load the cast again to use the window's settings.)";

/// How an export ended, when it raised no error.
struct ExportOutcome {
    bool written = false;           ///< false when no path was chosen
    std::int32_t profile_lines = 0; ///< data lines in the file
    bool stopped = false;           ///< a stop came before the file took the target's place
};

/// A column the export computes when the cast lacks it: its place in profile_fields, the columns it
/// is computed from, and the question the export asks before.
struct DerivedColumn {
    std::size_t field;
    std::string_view inputs;
    std::string_view question;
};

/// The columns the export can compute, after UNESCO 1983.
extern const std::array<DerivedColumn, 3> derived_columns;

/// Click on "Browse ..." of the export: asks for an ELAC sound velocity file (*.sva) with the file
/// dialog, or takes the path in tx_out, and writes the loaded profile there, thinned by depth:
/// a row is written when it lies more than 0.5 m below the row written last and its depth, as
/// written, reads deeper than that row's (which only fails from 1E+15 m on). Fails before any
/// dialog when no cast is loaded or the cast lacks one of the columns SOUND, Temp, SALIN and
/// Cond; but where SOUND, SALIN or Cond is missing and a load named Press, Temp, and SALIN or Cond
/// are there, asks first (Question::compute_column, once for each) and, on Yes, computes it for
/// each row written. Fails naming the table row when a value is not a number or the file cannot
/// be written. Refuses the loaded cast as target. Asks (Question::export_anyway) before the dialog
/// when the last load failed part way, read fewer rows than the cast declares or computed its
/// depths for other water than the window shows; asks (Question::replace_file) before it replaces
/// an existing file that the dialog did not choose. A No ends the export without a change.
/// The file is written whole or not at all: on a failure, or when the controls ask to stop before
/// the file is in place, the path keeps what it held.
ExportOutcome export_profile(Controls& controls, const ProfileState& state);

} // namespace quillonde
