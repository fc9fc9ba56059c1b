#pragma once

// What only the test drivers reach: the backend's own types behind a window or a timer, and the
// driver that records what the program asks of the backend.

#include "tests/support/TestSupport.h"

#include "platform/core/Driver.h"
#include "platform/core/State.h"
#include "platform/core/Timer.h"

namespace platform::test {

WindowImpl& implOf(Window& window);
Timer::Impl& implOf(Timer& timer);

// Puts the recording driver in front of the backend's, once per test program; each backend's
// initialise calls it before any window is made.
void recordDriverCalls();
// Runs the ticks of the timers whose deadlines have passed, as the toolkit's own alarms would: for
// the backends whose alarms go off only when the test hands the loop back.
void runDueTimers();

} // namespace platform::test
