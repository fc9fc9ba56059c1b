// The timer calls that are the same on every backend: all but the alarm, and the standard clock for
// the backends that take it.

#include "platform/core/Timer.h"

#include "platform/core/Driver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace platform {

bool Timer::Impl::isDue(double now) const {
    return enabled && !paused && now + 0.5 >= deadlineMs;
}

void Timer::Impl::restart() {
    deadlineMs = alarm->nowMs() + interval;
    alarm->set(interval);
}

void Timer::Impl::due() {
    if (!enabled || paused) return;
    const double now = alarm->nowMs();
    const bool ticks = isDue(now);
    if (ticks) {
        // An early tick stands for its own deadline alone; the next deadline stays on the grid.
        const double behind = interval > 0 ? std::floor((now - deadlineMs) / interval) : 0;
        const double passed =
            std::clamp(behind + 1, 1.0, static_cast<double>(std::numeric_limits<int>::max()));
        deadlineMs = interval > 0 ? deadlineMs + passed * interval : now;
        intervals = static_cast<int>(passed);
    }
    alarm->set(deadlineMs - now);
    if (ticks) onTick();
}

Timer::Timer(std::function<void()> onTick) : m_impl(std::make_unique<Impl>()) {
    m_impl->onTick = std::move(onTick);
    m_impl->alarm = driver().makeTimerAlarm(*m_impl);
}
Timer::~Timer() = default;

void Timer::setEnabled(bool enabled) {
    if (enabled == m_impl->enabled && !(enabled && m_impl->paused)) return;
    m_impl->enabled = enabled;
    m_impl->paused = false;
    if (enabled)
        m_impl->restart();
    else
        m_impl->alarm->cancel();
}
bool Timer::enabled() const {
    return m_impl->enabled;
}
// A running timer starts its new interval from now, as the desktop's timers do.
void Timer::setInterval(int milliseconds) {
    m_impl->interval = milliseconds;
    if (m_impl->enabled && !m_impl->paused) m_impl->restart();
}
int Timer::interval() const {
    return m_impl->interval;
}
void Timer::pauseUntilEnabled() {
    if (!m_impl->enabled || m_impl->paused) return;
    m_impl->paused = true;
    m_impl->alarm->cancel();
}
int Timer::intervalsElapsed() const {
    return m_impl->intervals;
}

namespace {
class SteadyClock final : public Clock {
public:
    std::uint32_t tickMs() override { return count<std::chrono::milliseconds>(); }
    std::uint32_t highResolution() override { return count<std::chrono::nanoseconds>(); }

private:
    template <class Unit> static std::uint32_t count() {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(std::chrono::duration_cast<Unit>(now).count());
    }
};
} // namespace

Clock& steadyClock() {
    static SteadyClock clock;
    return clock;
}

} // namespace platform
