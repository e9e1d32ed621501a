#pragma once

#include "formats/profile_text.h"
#include "profile/profile_reduction.h"
#include "profile/profile_rows.h"
#include "profile/sounder_shaping.h"
#include "profile/udp_send.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

// Kongsberg's sound speed profile datagram, which SIS, the K-Controller, QINSy and PDS2000 take
// over UDP: "$MVS01,00000,NNNN,HHMMSS,DD,MM,YYYY," then one "depth,speed,temperature,salinity,"
// line for each point, ended by CR LF, then "DDMM.mm,N,DDDMM.mm,E,0.0,,source,*hh\" and CR LF.

/// The acquisition software a profile is sent to.
enum class Sounder { sis4, sis5, qinsy, pds };

/// What the program knows of each: how it is named, where it listens, what it takes.
struct SounderFacts {
    Sounder sounder;
    std::string_view id;        ///< the batch tool's --to: "sis", "sis5", "qinsy", "pds"
    std::string_view name;      ///< in messages: "SIS", "SIS 5", "QINSy", "PDS2000"
    std::uint16_t default_port; ///< the UDP port it listens on unless set otherwise; 0 for none
    std::string_view port_hint; ///< where the port is set, for a destination that names none
    bool applies_at_once;       ///< takes the datagram that replaces the profile in use (S01)
    bool shaped_for_sis;        ///< wants the 0 m and 12000 m lines and 1,000 lines at most
};

/// Every sounder the program sends to, in the order of the batch tool's help.
std::span<const SounderFacts> sounders();

/// The sounder of `id` (as --to names it); nothing for any other text.
const SounderFacts* sounder_named(std::string_view id);

/// The datagram identifier that applies the profile at once, and the one that opens SIS's sound
/// speed editor with it first (the only one QINSy and PDS2000 take).
inline constexpr std::string_view apply_identifier = "S01";
inline constexpr std::string_view edit_identifier = "S12";

/// The most points the datagram's count field holds.
inline constexpr std::size_t datagram_most_lines = 9999;
/// The most bytes of one datagram: a UDP payload over IPv4 (65,535 less the IP and UDP headers).
inline constexpr std::size_t datagram_most_bytes = 65507;

/// What a profile is sent as.
struct DatagramRequest {
    const SounderFacts* sounder = nullptr;
    bool apply = false;         ///< apply at once (S01) rather than open the editor (S12); SIS only
    std::size_t most_lines = 0; ///< at most this many lines; 0 for the sounder's own limit
    bool extend = true;         ///< for SIS: the 12000 m line where the profile stops above it
    std::string source;         ///< what the datagram names as the profile's source: the probe
};

/// A datagram ready to send, and what was done to the profile to make it.
struct SoundSpeedDatagram {
    std::string bytes;
    std::string_view identifier; ///< apply_identifier or edit_identifier
    std::size_t lines = 0;       ///< the points it holds
    SounderShaping shaping;      ///< shape_for_sounder's steps
    /// Thinned harder than `most_lines` asked, so that the datagram fits datagram_most_bytes: the
    /// counts and the tolerance against the shaped profile.
    std::optional<Reduction> fitted;
};

/// The datagram of `profile` for `request.sounder`, at the UTC time and position of `fix`. The
/// profile is shaped by shape_for_sounder first: for SIS with the 0 m line, the 12000 m line unless
/// `request.extend` is false, and at most 1,000 lines unless `request.most_lines` says otherwise;
/// for QINSy and PDS2000 neither line is added. A datagram larger than datagram_most_bytes is
/// made again from the shaped profile reduced to fewer lines (a larger Douglas-Peucker tolerance),
/// the first and last lines kept, until it fits. Depths are written with 2 decimals, sound speeds
/// with 1, temperatures and salinities with 2, or empty where the profile does not give them (or
/// the line is the 12000 m one). Fails when `apply` is asked of QINSy or PDS2000, on more than
/// datagram_most_lines lines, on a time or position the datagram cannot state, on a value too large
/// to write in decimals, and when even the profile's first and last lines do not fit.
SoundSpeedDatagram sound_speed_datagram(Profile profile, const StatedFix& fix,
                                        const DatagramRequest& request);

/// The checksum of a datagram: the exclusive or of its characters after the "$" up to the "*", as
/// two upper-case hexadecimal digits.
std::string datagram_checksum(std::string_view between);

/// Where the datagram for `sounder` goes: `text` as parse_destination reads it, the sounder's own
/// port where it names none. Fails as parse_destination does, and, saying where the sounder's port
/// is set, where neither the text nor the sounder gives a port.
Destination sounder_destination(const SounderFacts& sounder, std::string_view text);

/// What a send says it did: "42 lines to 127.0.0.1:4001 (SIS, S12)".
std::string sent_status(const SoundSpeedDatagram& datagram, const NetAddress& to,
                        const SounderFacts& sounder);

/// The notes of how the datagram's profile was made: shaping_notes, then the thinning that made it
/// fit one datagram.
std::vector<std::string> datagram_notes(const SoundSpeedDatagram& datagram);

} // namespace quillonde
