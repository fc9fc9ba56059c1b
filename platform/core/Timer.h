#pragma once

// A periodic timer's schedule, kept once over standard types: each backend gives only a clock and a
// one-shot alarm, so the timers keep the same grid, catch-up and pausing everywhere. Shared by the
// backends' sources only.

#include "platform/Platform.h"

#include <functional>
#include <memory>

namespace platform {

// A backend's steady clock and one-shot alarm for one timer. When the alarm goes off the backend
// calls the timer's `due()`; setting the alarm again replaces the one pending.
class TimerAlarm {
public:
    virtual ~TimerAlarm() = default;
    virtual double nowMs() = 0;
    virtual void set(double delayMs) = 0;
    virtual void cancel() = 0;
};

// Each tick sets the alarm to the time left to the next deadline on the timer's grid of whole
// intervals, so the alarm's granularity delays single ticks but never adds up. A tick that comes
// after later deadlines passed unheard (a loop held up, a suspended machine, a hidden page) stands
// for all of them: one tick runs instead of the backlog, and the count of intervals still keeps to
// the clock.
struct Timer::Impl {
    std::function<void()> onTick;
    std::unique_ptr<TimerAlarm> alarm;
    int interval = 1000;
    bool enabled = false;
    bool paused = false; // enabled, with the alarm cancelled until it is enabled again
    double deadlineMs = 0;
    int intervals = 1;

    // An alarm may go off a little early; the tick then waits for its deadline.
    bool isDue(double now) const;
    void due();
    void restart(); // a fresh interval from now
};

// The standard library's steady clock: milliseconds for the tick, nanoseconds for the high-resolution
// reading. For a backend whose toolkit keeps no clock of its own.
Clock& steadyClock();

} // namespace platform
