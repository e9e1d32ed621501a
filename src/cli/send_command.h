#pragma once

#include "cli/commands.h"
#include "form/send.h"
#include "profile/udp_send.h"

#include <string>

namespace quillonde::cli {

/// What send's options ask.
struct SendOptions {
    SendRequest request;
    ProfileOptions fix;  ///< --position and --time, for a cast that states none
    bool derive = false; ///< --derive
    bool strict = false; ///< --strict
};

/// Loads the cast `input` as convert does and sends its profile as send_profile sends it, the
/// questions answered as convert answers them: what the window would ask about is a warning on
/// `err` (with `strict`, the failure instead, and nothing is sent), a column is computed only with
/// `derive`, the time and position come from the cast or else from `options.fix`. Prints the
/// status ("42 lines to 127.0.0.1:4001 (SIS, S12)") on `out` and how the profile was shaped on
/// `err`; a failure prints "INPUT: MESSAGE" on `err`, naming the cause.
RunResult send_cast(const Water& water, const std::string& input, const SendOptions& options, Console console,
                    const Resolver& resolver);

} // namespace quillonde::cli
