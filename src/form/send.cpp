#include "form/send.h"

#include "form/export.h"
#include "form/loader.h"
#include "profile/profile_rows.h"
#include "runtime/error.h"

#include <optional>
#include <utility>

namespace quillonde {

namespace {

constexpr std::string_view no_profile_message = "No data file has been loaded";
constexpr std::string_view datagram_word = " datagram";

} // namespace

SendOutcome send_profile(Controls& controls, const ProfileState& state, const SendRequest& request,
                         const Resolver& resolver)
{
    if (!state.g_table.has_shape()) {
        throw Error(ErrorKind::no_profile, std::string(no_profile_message));
    }
    const SounderFacts& sounder = *request.sounder;
    const Destination destination = sounder_destination(sounder, request.destination);
    const ProfileColumns columns = profile_columns(controls, state);
    if (std::vector<Doubt> doubts = export_doubts(controls, state); !doubts.empty()) {
        if (!controls.ask(Question::export_anyway(std::move(doubts)))) {
            return {};
        }
    }
    const std::string target = std::string(sounder.name) + std::string(datagram_word);
    const std::optional<CastInfo> described = cast_with_fix(controls, state, target);
    if (!described) {
        return {};
    }
    controls.set_caption(Label::Label6, status_working);
    try {
        StepsTaken steps;
        std::optional<Profile> made_profile =
            profile_to_write(controls, state, columns, export_row_order(state), ProfileEnd{}, steps,
                             [&controls] { return controls.process_events(); });
        if (!made_profile) {
            controls.set_caption(Label::Label6, status_idle);
            return {};
        }
        Profile& profile = *made_profile;
        DatagramRequest made;
        made.sounder = &sounder;
        made.apply = request.apply;
        made.most_lines = request.most_lines;
        made.extend = request.extend;
        made.source = described->instrument;
        const SoundSpeedDatagram datagram =
            sound_speed_datagram(std::move(profile), stated_fix(*described, target), made);
        const NetAddress to = send_datagram(destination, datagram.bytes, resolver);
        SendOutcome outcome{true, sent_status(datagram, to, sounder), datagram_notes(datagram)};
        controls.set_caption(Label::Label6, outcome.status);
        return outcome;
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
}

} // namespace quillonde
