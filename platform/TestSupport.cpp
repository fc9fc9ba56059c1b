// The test drivers that are the same on every backend: they only combine the backend's own.

#include "platform/TestSupport.h"

#include "platform/Handles.h"
#include "platform/Timer.h"

#include <memory>

namespace platform {
namespace {
// The timer's schedule is private to the backends. An explicit instantiation may name a private
// member, so this one hands the schedule to the test driver without the product declaring it a
// friend.
using ScheduleOf = std::unique_ptr<Timer::Impl> Timer::*;
ScheduleOf& schedule() {
    static ScheduleOf member = nullptr;
    return member;
}
template <ScheduleOf Member> struct ScheduleAccess {
    static inline const bool taken = (schedule() = Member, true);
};
template struct ScheduleAccess<&Timer::m_impl>;
} // namespace
} // namespace platform

namespace platform::test {

// The deadline is put where the alarm would have found it after the hold-up, and the alarm's own
// handler runs: the timer's catch-up decides what the tick stands for, as on a real late tick.
bool fireTimer(Timer& timer, int intervals) {
    Timer::Impl& impl = *(timer.*schedule());
    if (!impl.enabled || impl.paused) return false;
    impl.deadlineMs = impl.alarm->nowMs() - static_cast<double>(intervals - 1) * impl.interval;
    impl.due();
    return true;
}

void click(Window& window, int x, int y) {
    press(window, x, y);
    release(window, x, y);
}

int centreX(Window& window, int id) {
    return windowX(window, id) + window.control(id).width() / 2;
}
int centreY(Window& window, int id) {
    return windowY(window, id) + window.control(id).height() / 2;
}
void clickControl(Window& window, int id) {
    click(window, centreX(window, id), centreY(window, id));
}

std::string lastAnnouncement(Window& window) {
    return stateOf(window.impl()).announcement;
}

} // namespace platform::test
