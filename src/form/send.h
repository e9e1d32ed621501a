#pragma once

#include "form/controls.h"
#include "form/state.h"
#include "formats/sound_speed_datagram.h"
#include "profile/udp_send.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quillonde {

/// Where and how the loaded cast's profile is sent.
struct SendRequest {
    const SounderFacts* sounder = nullptr;
    std::string destination;    ///< "HOST", "HOST:PORT", as sounder_destination reads it
    bool apply = false;         ///< apply at once (S01); SIS only
    std::size_t most_lines = 0; ///< 0 for the sounder's own limit
    bool extend = true;         ///< SIS: the 12000 m line
};

/// What a send did.
struct SendOutcome {
    bool sent = false;              ///< false when an answer ended it before anything was sent
    std::string status;             ///< sent_status: "42 lines to 127.0.0.1:4001 (SIS, S12)"
    std::vector<std::string> notes; ///< how the profile was shaped and thinned (datagram_notes)
};

/// Sends the loaded cast's profile to `request.sounder` as one datagram, after the questions the
/// export asks of the same cast: the columns to compute, the doubts of the load, the computed
/// values' notes, and the time and position where the cast states none. The profile is the one
/// the export takes, in export_row_order. A No or Cancel sends nothing. Fails before any question
/// on a destination sound_speed_datagram's sounder cannot use, and with the cause the system gives
/// when the datagram is refused or finds no way (`resolver` turns the host into addresses). Label6
/// ends as the status of what was sent.
SendOutcome send_profile(Controls& controls, const ProfileState& state, const SendRequest& request,
                         const Resolver& resolver);

} // namespace quillonde
