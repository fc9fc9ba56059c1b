// Hours of drilling on the hand-turned clock: practice drills and one-minute tests one after another, a
// key every few hundred milliseconds, the keyboard picture and the About box now and then. The three
// timers fire when their intervals come due on that clock, as a desktop's would. Memory stays flat and
// every test lasts exactly sixty Timer3 ticks, sixty seconds. TAPIRUN_LONG_RUN_MINUTES sets the drilling
// time (480 for a working day; a short run by default).

#include "FormFixture.h"

#include "drill/Modes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <limits>
#include <random>

#include <unistd.h>

namespace {

constexpr std::uint64_t Never = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t MinuteMs = 60000;
constexpr int TestTicks = 60;

// The resident set in KiB, or 0 where the system does not tell.
long residentKiB() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class LongRunTest : public FormTest {
protected:
    std::array<platform::Timer*, 3> timers() { return {&form->timer1(), &form->timer2(), &form->timer3()}; }

    // A timer comes due one interval after it is enabled and every interval after that.
    void schedule(std::uint64_t now) {
        for (std::size_t i = 0; i < 3; ++i) {
            platform::Timer& timer = *timers()[i];
            if (!timer.enabled())
                due[i] = Never;
            else if (due[i] == Never)
                due[i] = now + static_cast<std::uint64_t>(timer.interval());
        }
    }

    // What the typist does next: answer, miss now and then, end a practice drill after a while, start
    // the next drill, look at the keyboard picture or the About box between drills.
    void act(std::uint64_t now) {
        switch (form->session().phase()) {
        case drill::Phase::Running:
            if (!form->session().isTest() && now >= drillEnds)
                type(" ");
            else
                type(random() % 10 == 0 ? wrongKey() : targetText());
            break;
        case drill::Phase::Keyboard:
            click(random() % 3 == 0 ? MainControl::Owari : MainControl::ShiftButton);
            break;
        case drill::Phase::Prepared: type(" "); break;
        case drill::Phase::Idle: {
            const auto r = random() % 20;
            if (r == 0) {
                click(MainControl::Panel4);
                platform::test::pressDialogKey(about->window(), platform::test::DialogKey::Return);
            }
            const int mode = r == 1  ? drill::KeyboardMode
                             : r < 8 ? drill::TestMode
                                     : static_cast<int>(random() % 5);
            selectMode(mode);
            click(MainControl::OKButton1);
            drillEnds = now + MinuteMs + random() % (4 * MinuteMs);
            break;
        }
        }
    }

    std::mt19937 random{2024};
    std::array<std::uint64_t, 3> due{Never, Never, Never};
    std::uint64_t drillEnds = 0;
};

} // namespace

TEST_F(LongRunTest, MemoryStaysFlatAndEveryTestLastsAMinute) {
    const char* setting = std::getenv("TAPIRUN_LONG_RUN_MINUTES");
    const std::uint64_t minutes = setting ? std::strtoull(setting, nullptr, 10) : 20;
    const std::uint64_t end = minutes * MinuteMs, sampleEvery = std::max<std::uint64_t>(MinuteMs, end / 48);
    const std::uint32_t firstTick = clock.tick;
    std::vector<long> samples;
    std::uint64_t nextKey = 0, nextSample = 0, ticks1 = 0, testStart = 0;
    int tests = 0, testTicks = 0;

    for (std::uint64_t now = 0; now < end;) {
        now = std::min({due[0], due[1], due[2], nextKey, nextSample});
        clock.tick = firstTick + static_cast<std::uint32_t>(now);
        if (now == nextSample) {
            samples.push_back(residentKiB());
            nextSample += sampleEvery;
        }
        for (std::size_t i = 0; i < 3; ++i) {
            if (due[i] != now) continue;
            const bool wasRunning = form->session().phase() == drill::Phase::Running;
            platform::test::fire(*timers()[i]);
            due[i] += static_cast<std::uint64_t>(timers()[i]->interval());
            ticks1 += i == 0;
            if (i != 2) continue;
            ++testTicks;
            if (wasRunning && form->session().phase() != drill::Phase::Running) {
                ++tests;
                ASSERT_EQ(testTicks, TestTicks) << "test " << tests;
                ASSERT_EQ(now - testStart, TestTicks * 1000u) << "test " << tests;
            }
        }
        if (now == nextKey) {
            act(now);
            nextKey = now + 150 + random() % 600;
        }
        if (due[2] == Never && form->timer3().enabled()) {
            testStart = now;
            testTicks = 0;
        }
        schedule(now);
        platform::test::deliverPosted();
    }
    samples.push_back(residentKiB());

    // The first quarter covers the fonts, caches and pictures of the first drills; after that any
    // growth beyond the allocator's noise is a leak.
    const auto quarter = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 4 + 1);
    const long settled = *std::max_element(samples.begin(), quarter);
    const long latest = *std::max_element(quarter, samples.end());
    std::cout << "long run: " << minutes << " minutes, " << ticks1 << " Timer1 ticks, " << tests
              << " tests; resident KiB " << samples.front() << " at the start, " << settled << " settled, "
              << latest << " at most after that\n";
    EXPECT_GT(tests, 0);
#ifndef __SANITIZE_ADDRESS__ // whose quarantine holds freed memory on purpose
    constexpr long NoiseKiB = 512;
    if (samples.front() > 0) {
        EXPECT_LE(latest, settled + NoiseKiB);
    }
#endif
}
