// A timer of the page keeps its deadlines: sixty 1000 ms ticks must end the test's minute within
// 20 ms, while each of the page's timeouts is late by a little and the program's own work in a
// tick takes time too. Checked on a shorter scale with the same margin: twenty ticks of 50 ms, each
// busy for 20 ms, through the page's real event loop, so this is a program of its own that returns
// to the page between ticks and reports its status when the last one has run.

#include "platform/Platform.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Interval = 50, Ticks = 20, Busy = 20;

std::unique_ptr<platform::Timer> g_timer;
std::vector<double> g_at;
// The last deadline each tick stands for: a tick held up past the next deadline stands for both.
std::vector<int> g_deadline;
int g_deadlines = 0;
double g_start = 0;

void finish() {
    int failures = 0;
    double lastOnTime = 1e9;
    const std::size_t n = g_at.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double late = g_at[i] - g_deadline[i] * Interval;
        std::printf("tick %2zu at %8.2f ms, %+6.2f ms from deadline %d\n", i + 1, g_at[i], late,
                    g_deadline[i]);
        if (late < -1.0) {
            std::printf("FAIL: tick %zu came early\n", i + 1);
            ++failures;
        }
        if (i + 5 >= n) lastOnTime = std::min(lastOnTime, late);
    }
    // A busy machine may hold up any single tick; delays that add up hold up all the last ones.
    if (lastOnTime >= 20.0) {
        std::printf("FAIL: the ticks drift from their deadlines (the last five at least %.2f ms late)\n",
                    lastOnTime);
        ++failures;
    }
    std::printf(failures ? "FAILED\n" : "PASSED\n");
    emscripten_force_exit(failures ? 1 : 0);
}

void tick() {
    g_at.push_back(emscripten_get_now() - g_start);
    g_deadlines += g_timer->intervalsElapsed();
    g_deadline.push_back(g_deadlines);
    const double until = emscripten_get_now() + Busy;
    while (emscripten_get_now() < until) {
    }
    if (g_deadlines >= Ticks) {
        g_timer->setEnabled(false);
        finish();
    }
}

} // namespace

int main() {
    g_timer = std::make_unique<platform::Timer>(tick);
    g_timer->setInterval(Interval);
    g_start = emscripten_get_now();
    g_timer->setEnabled(true);
    emscripten_exit_with_live_runtime();
}
