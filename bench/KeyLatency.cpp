// How long the program itself takes to answer a key, without the X server in the way: the main
// window runs on the offscreen platform, keys go in through the test drivers, and each sample is
// the time from sending the key to the end of the repaint it caused (the toolkit paints into its
// backing store when the queued update is processed). The same is measured for a tick of the
// progress bar, which repaints every 30 ms while a target is shown.
//
//   tapirun_keylatency [SAMPLES]      (QT_QPA_PLATFORM defaults to offscreen)
//
// Prints one "name p50_us=… p95_us=… max_us=…" line per kind of event.

#include "Unit1/MainForm.h"
#include "Unit2/AboutBox.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Nearest-rank percentiles, as xbench reports them, so both sets of figures read alike.
double percentile(std::vector<double> sorted, double fraction) {
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size()) + 0.999999);
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

void report(const char* name, const std::vector<double>& microseconds) {
    std::printf("%-12s n=%zu p50_us=%.1f p95_us=%.1f max_us=%.1f\n", name, microseconds.size(),
                percentile(microseconds, 0.5), percentile(microseconds, 0.95),
                *std::max_element(microseconds.begin(), microseconds.end()));
}

// One sample: the event, then every event it queued (the repaint among them).
double timed(const std::function<void()>& event) {
    const Clock::time_point start = Clock::now();
    event();
    platform::test::processEvents();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    platform::test::initialise(argc, argv);
    {
        auto form = std::make_unique<TMofuForm1>(platform::systemClock());
        auto about = std::make_unique<TAboutBox>();
        form->setAboutBox(*about);
        form->show();
        platform::test::processEvents();
        platform::Window& window = form->window();
        platform::test::pressF1(window); // the home row, selected at start
        platform::test::type(window, " ");
        platform::test::processEvents();

        // Characters outside the home row are always wrong; taking turns makes each one redraw.
        const std::string wrongKeys = "qwertyuiop";
        std::vector<double> correct, wrong, barTick;
        for (int i = 0; i < samples; ++i) {
            const std::string miss(1, wrongKeys[static_cast<std::size_t>(i) % wrongKeys.size()]);
            wrong.push_back(timed([&] { platform::test::type(window, miss); }));
            const std::string hit(1, form->session().state().Target);
            correct.push_back(timed([&] { platform::test::type(window, hit); }));
            barTick.push_back(timed([&] { platform::test::fire(form->timer1()); }));
        }
        report("correct_key", correct);
        report("wrong_key", wrong);
        report("bar_tick", barTick);
        about.reset();
        form.reset();
        platform::test::processEvents();
    }
    platform::test::shutdown();
    return 0;
}
