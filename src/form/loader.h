#pragma once

#include "form/controls.h"
#include "form/state.h"
#include "profile/system_calls.h"

#include <string>
#include <string_view>

namespace quillonde {

/// Status texts of Label6.
inline constexpr std::string_view status_working = "Please wait ...";
inline constexpr std::string_view status_idle = "-";

/// How a load ended, when it raised no error.
enum class LoadOutcome {
    nothing_chosen, ///< no path (the dialog was cancelled and tx_ss_file is empty), or a No to the
                    ///< question on the latitude
    loaded,         ///< the whole file has been read
    stopped,        ///< the window closed in the middle; the file is closed, the table half filled
};

/// Click on "Browes ...": asks for a Sea & Sun cast (*.TOB) with the file dialog, or takes the path
/// in tx_ss_file, and reads it line by line into the profile table, the column names into List1
/// and every stored row's depth, for the water type and latitude the window shows as the line is
/// read, into the depth column. Lets the window process its events before every line. A failure
/// stops the load where it happens, with the line number in its message; what was stored stays,
/// but a header line that fails leaves List1 empty. For salt water the latitude is checked before
/// the dialog shows: a latitude that is not a number fails, one beyond the poles is asked about
/// (QuestionKind::far_latitude). A last line without a line end is read and noted in the load record.
/// The file is opened, read and closed by `calls`.
LoadOutcome load_data_file(Controls& controls, ProfileState& state, SystemCalls& calls = real_system_calls());

} // namespace quillonde
