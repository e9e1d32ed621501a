#include "ui/event_pacer.h"

#include <algorithm>

namespace quillonde {

namespace {

// An event round costs more than a line of a cast, so the window gets one after about this much work.
constexpr qint64 round_ns = 10'000'000;
constexpr qint64 clock_read_ns = 500'000;
constexpr unsigned most_calls_between_clock_reads = 1024;

} // namespace

void EventPacer::start()
{
    *this = EventPacer();
    since_events_.start();
}

bool EventPacer::due()
{
    if (++calls_since_check_ < calls_between_clock_reads_) {
        return false;
    }
    const qint64 work_ns = since_events_.nsecsElapsed();
    const qint64 per_call_ns = std::max<qint64>(1, (work_ns - work_ns_at_clock_read_) / calls_since_check_);
    calls_between_clock_reads_ = static_cast<unsigned>(
        std::clamp<qint64>(clock_read_ns / per_call_ns, 1, most_calls_between_clock_reads));
    calls_since_check_ = 0;
    work_ns_at_clock_read_ = work_ns;
    if (work_ns < round_ns) {
        return false;
    }
    longest_gap_ms_ = std::max(longest_gap_ms_, static_cast<double>(work_ns) / 1e6);
    ++rounds_;
    since_events_.restart();
    work_ns_at_clock_read_ = 0;
    return true;
}

} // namespace quillonde
