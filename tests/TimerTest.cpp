// A timer paused from its own callback stays enabled but ticks no more, through the real event loop
// and on real time, until it is enabled again.

#include "FormFixture.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {
// Runs the event loop, timers included, until the condition holds or the time is up.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        platform::test::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}
} // namespace

TEST(Timer, PausedTimerStaysEnabledAndTicksAgainOnceEnabled) {
    int ticks = 0;
    bool pause = true;
    platform::Timer* self = nullptr;
    platform::Timer timer([&] {
        ++ticks;
        if (pause) self->pauseUntilEnabled();
    });
    self = &timer;
    timer.setInterval(10);
    timer.setEnabled(true);
    ASSERT_TRUE(runUntil([&] { return ticks == 1; }, std::chrono::seconds(5)));
    runUntil([] { return false; }, std::chrono::milliseconds(150));
    EXPECT_EQ(ticks, 1) << "a paused timer went on ticking";
    EXPECT_TRUE(timer.enabled());
    platform::test::fire(timer);
    EXPECT_EQ(ticks, 2) << "a paused timer is still enabled, so a tick by hand runs";

    pause = false;
    timer.setEnabled(true);
    EXPECT_TRUE(runUntil([&] { return ticks >= 4; }, std::chrono::seconds(5)))
        << "enabling again did not resume";
    timer.setEnabled(false);
    EXPECT_FALSE(timer.enabled());
    const int stopped = ticks;
    runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(ticks, stopped);
}

// The progress bar pauses its timer when full; the next target must start it again, although the
// timer never stopped being enabled, or a real bar would stay at 0 from then on.
TEST_F(FormTest, FullBarStartsAgainOnRealTicksAtTheNextTarget) {
    f1();
    type(" ");
    platform::Timer& timer1 = form->timer1();
    for (int i = 0; i < 100; ++i)
        platform::test::fireTimer(timer1);
    ASSERT_EQ(c(MainControl::ProgressBar1).position(), 100);
    type(targetText());
    EXPECT_EQ(c(MainControl::ProgressBar1).position(), 0);
    EXPECT_TRUE(
        runUntil([&] { return c(MainControl::ProgressBar1).position() >= 2; }, std::chrono::seconds(5)))
        << "the bar did not advance on the timer's own ticks";
}
