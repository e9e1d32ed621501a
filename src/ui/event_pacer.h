#pragma once

#include <QElapsedTimer>

namespace quillonde {

/// Shares a long operation's time with the window: asked between small steps of work (the lines of a
/// cast), it says when the window's events are due, about every round_ns of work. Reading the clock
/// costs about as much as a short step, so it is read about every clock_read_ns of work, however
/// long the steps are.
class EventPacer {
public:
    /// Starts a new operation.
    void start();
    /// Whether the window should process its events now; then the next stretch begins.
    bool due();

    /// The longest stretch without an event round so far, in milliseconds, and how many rounds there were.
    double longest_gap_ms() const { return longest_gap_ms_; }
    int rounds() const { return rounds_; }

private:
    QElapsedTimer since_events_;
    unsigned calls_since_check_ = 0;
    unsigned calls_between_clock_reads_ = 1;
    qint64 work_ns_at_clock_read_ = 0;
    double longest_gap_ms_ = 0.0;
    int rounds_ = 0;
};

} // namespace quillonde
