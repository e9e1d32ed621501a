#pragma once

#include "form/controls.h"
#include "form/state.h"
#include "runtime/error.h"

#include <cstdint>
#include <optional>

namespace quillonde {

/// How an export ended, when it raised no error.
struct ExportOutcome {
    bool written = false;           ///< false when no path was chosen
    std::int32_t profile_lines = 0; ///< data lines in the file
    bool stopped = false;           ///< a stop came before the file took the target's place
};

/// Click on "Browse ..." of the export: asks for a profile file with the file dialog, or takes the
/// path in tx_out, and writes the loaded cast's profile there in the format its extension names
/// (an ELAC sound velocity file, *.sva, for any other), thinned by depth as for_each_profile_row
/// thins it. Fails before any dialog when no cast is loaded or the cast lacks one of the columns
/// SOUND, Temp, SALIN and Cond; but where SOUND, SALIN or Cond is missing and a load named Press,
/// Temp, and SALIN or Cond are there, asks first (QuestionKind::compute_column, once for each) and,
/// on Yes, computes it for each row written. Fails naming the table row when a value is not a
/// number or the file cannot be written. Refuses the loaded cast as target. Asks
/// (QuestionKind::export_anyway) before the dialog when the last load failed part way, ended in a
/// line without a line end, read fewer rows than the cast declares or computed its depths for other
/// water than the window shows or than the cast's median salinity says; asks
/// (QuestionKind::replace_file) before it replaces an existing file that the dialog did not choose.
/// A No ends the export without a change. The file is written whole or not at all: on a failure,
/// or when the controls ask to stop before the file is in place, the path keeps what it held.
ExportOutcome export_profile(Controls& controls, const ProfileState& state);

/// Where an export of the loaded cast would stop, as its error ("... at table row 44: SOUND "x" is
/// not a number"): at the first profile row whose SOUND, Temp, SALIN or Cond holds no number.
/// Columns the cast lacks are not looked at. Nothing when no such row is written.
std::optional<Error> export_stop(const ProfileState& state);

} // namespace quillonde
