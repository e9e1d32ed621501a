#pragma once

#include "form/controls.h"
#include "form/state.h"
#include "form/steps.h"
#include "formats/format.h"
#include "profile/profile_reduction.h"
#include "profile/profile_rows.h"
#include "profile/sounder_shaping.h"
#include "profile/system_calls.h"
#include "runtime/error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

/// How an export ended, when it raised no error.
struct ExportOutcome {
    bool written = false;                  ///< false when no path was chosen
    std::int32_t profile_lines = 0;        ///< data lines in the file
    bool stopped = false;                  ///< a stop came before the file took the target's place
    bool from_upcast = false;              ///< the rows came from a cast recorded on the way up
    std::optional<Reduction> reduced;      ///< the profile had more lines than the format takes
    std::vector<std::string> notes;        ///< how the profile was shaped for the echo sounder
    bool added = false;                    ///< the cast went into the target as one more of its casts
    const ProfileWriter* writer = nullptr; ///< the format written
    StepsTaken steps;                      ///< what shaped the profile beyond the thinning
};

/// How a profile is shaped for the echo sounder where its format is read by one: the window's
/// setting, or the batch tool's --no-extend and --most-lines.
struct SounderSettings {
    bool extend = true;         ///< the line at 12000 m below the deepest water
    std::size_t most_lines = 0; ///< at most this many lines; 0 for the format's own limit
};

/// Label6 after the export of a cast recorded on the way up.
inline constexpr std::string_view status_upcast = "Written from the upcast";

/// The decimals of a reduction's tolerance [m/s] in messages.
inline constexpr int reduction_decimals = 2; // as sound speeds are written

/// Label6 after an export that had to reduce the profile: "Reduced: 1000 (0.01 m/s)".
std::string reduced_status(const Reduction& reduction);

/// The order in which the export takes the rows of the loaded cast: every row of a profile file
/// (RowOrder::given); the part the user chose in state.steps; else by its format's rule: for a format whose
/// casts may be recorded on the way up, RowOrder::upcast for one recorded on the way up only
/// (recorded_upward), so that its rows are taken from the deepest one up; else as recorded.
RowOrder export_row_order(const ProfileState& state);

/// Click on "Browse ..." of the export: asks for a profile file with the file dialog, or takes the
/// path in tx_out, and writes the loaded cast's profile there, thinned by depth as
/// for_each_profile_row thins it (a profile file's every line, as the file writes its depths and
/// sound speeds), in export_row_order, in the format of the filter chosen (whose
/// extension the name then gets), else of the extension, else as an ELAC sound velocity file
/// (*.sva). Fails before any dialog when no cast is loaded, or when the cast has no SOUND column
/// and lacks Press, Temp, or both SALIN and Cond, to compute it from. Where SOUND, SALIN or Cond is
/// missing and Press, Temp, and SALIN or Cond are there, asks first (QuestionKind::compute_column,
/// once for each) and, on Yes, computes it for each row written. Where Temp, SALIN or Cond is
/// missing and cannot be computed, asks once the target's format is known and holds such a field
/// (QuestionKind::export_anyway with FieldsAbsent), and writes 0 for it. Fails naming the table row
/// when a value is not a number or the file cannot be written. Refuses the loaded cast as target.
/// Asks (QuestionKind::export_anyway) before the dialog when the last load failed part way, ended
/// in a line without a line end, read fewer rows than the cast declares, or computed its depths for
/// other water than the window shows, than the cast's median salinity says or for a latitude far
/// from the cast's own; asks (QuestionKind::replace_file) before it replaces an existing file that
/// the dialog did not choose; asks (QuestionKind::add_or_replace, Controls::choose) whether to add
/// the cast to a target that holds casts of a format that takes many, or replace it; asks for the
/// time and position a format needs where the cast does not state them (in UTC). A No or Cancel
/// ends the export without a change. A profile of more lines than the format takes is reduced
/// (ExportOutcome::reduced, and Label6 says so); a format read by echo-sounder software
/// (ProfileWriter::shaped_for_sounder) has its profile shaped by shape_for_sounder after `sounder`
/// instead, the steps taken in ExportOutcome::notes. The file is written whole or not at all: on a
/// failure, or when the controls ask to stop before the file is in place, the path keeps what it
/// held. Label6 ends as status_upcast after a profile taken from an upcast. The steps of state.steps
/// shape the profile: bins in place of the thinning; a downcast ends with the cast's deepest sample
/// unless the format ends where the thinning does; where the profile's sound speed at the
/// transducer's draft lies more than surface_tolerance_m_s from its sensor's, asks
/// (QuestionKind::export_anyway with SurfaceSoundApart) before the file is written. A profile for
/// an echo sounder's software is shaped as `sounder` says. Files are read and written by `calls`.
ExportOutcome export_profile(Controls& controls, const ProfileState& state,
                             const SounderSettings& sounder = {}, SystemCalls& calls = real_system_calls());

/// The columns a profile of the loaded cast is made of; asks, as export_profile does, whether to
/// compute a field the cast lacks, and fails where it cannot give a sound speed.
ProfileColumns profile_columns(Controls& controls, const ProfileState& state);

/// What export_profile asks about before it writes the loaded cast: a load that failed part way,
/// a last line without a line end, fewer rows than declared, depths for other water.
std::vector<Doubt> export_doubts(const Controls& controls, const ProfileState& state);

/// The loaded cast with the time and position that a target named `format` needs: the cast's
/// own, else asked for (Controls::ask_time_and_position); nothing when the user cancels.
std::optional<CastInfo> cast_with_fix(Controls& controls, const ProfileState& state, std::string_view format);

/// Where a profile ends and whether it may hold no line, as its target takes it.
struct ProfileEnd {
    bool where_thinned = false; ///< a downcast ends where the thinning does, not at its deepest sample
    bool header_alone = false;  ///< a profile of no line is asked about rather than refused
};

/// The profile of the loaded cast as export_profile and a send write it: the steps of state.steps
/// taken (bins or the thinning, the deepest sample, the surface check) and said in `steps`, the
/// questions of computed values, an empty profile and the surface check asked. Nothing when an
/// answer is No; fails where the profile may hold no line.
std::optional<Profile> profile_to_write(Controls& controls, const ProfileState& state,
                                        const ProfileColumns& columns, RowOrder order, ProfileEnd end,
                                        StepsTaken& steps, const std::function<bool()>& keep_going);

/// Shapes `profile` as `writer`'s files take it: by shape_for_sounder after `sounder` for a format
/// read by an echo sounder's software, else reduced to the format's most lines (SounderShaping::reduced).
SounderShaping shape_for_writer(Profile& profile, const ProfileWriter& writer,
                                const SounderSettings& sounder);

/// Where an export of the loaded cast would stop, as its error ("... at table row 44: SOUND "x" is
/// not a number"): at the first profile row whose SOUND, Temp, SALIN or Cond holds no number.
/// Columns the cast lacks are not looked at. Nothing when no such row is written.
std::optional<Error> export_stop(const ProfileState& state);

} // namespace quillonde
