// The randomized driver on every run: a short slice from a fixed seed, and the rows that keep what it
// found. TAPIRUN_SEED and TAPIRUN_EVENTS choose another seed and a longer run (the soak).

#include "RandomEvents.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

using namespace soak;
using platform::test::DialogKey;
using platform::test::SilentKey;

namespace {

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 0) : fallback;
}

// Each sequence starts a new program, so that a failure replays, and shrinks, from a short list.
constexpr std::size_t SequenceLength = 2000;

std::string listed(std::span<const Event> events) {
    std::string out;
    for (const Event& e : events)
        out += "            " + describe(e) + ",\n";
    return out;
}

} // namespace

TEST(RandomEvents, LongSequencesKeepTheRules) {
    const auto seed = static_cast<std::uint32_t>(fromEnvironment("TAPIRUN_SEED", 7));
    const std::uint64_t total = fromEnvironment("TAPIRUN_EVENTS", 6000);
    const auto began = std::chrono::steady_clock::now();
    std::cout << "random events: seed " << seed << ", " << total << " events\n";
    Coverage covered;
    for (std::uint64_t done = 0, n = 0; done < total; done += SequenceLength, ++n) {
        const std::uint32_t sequenceSeed = seed + static_cast<std::uint32_t>(n) * 0x9E3779B9u;
        const Exploration run = explore(
            sequenceSeed, static_cast<std::size_t>(std::min<std::uint64_t>(SequenceLength, total - done)));
        covered += run.coverage;
        if (!run.failure) continue;
        const Failure& failure = *run.failure;
        const std::vector<Event> shrunk = shrink(run.events, failure, run.startTick);
        const auto again = play(shrunk, run.startTick);
        const platform::Size screen = platform::screenSize();
        FAIL() << "rule \"" << failure.rule << "\" broke after event " << failure.index << " on a "
               << screen.width << "x" << screen.height << " screen: " << failure.detail
               << "\nTAPIRUN_SEED=" << sequenceSeed << " replays the sequence (TAPIRUN_TRACE=1 lists it); "
               << "shrunk to " << shrunk.size() << " events (" << (again ? again->detail : "passing")
               << "):\n"
               << "        {\"" << failure.rule << "\", " << run.startTick << "u, {\n"
               << listed(shrunk) << "        }},";
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::cout << "random events: " << total << " events in " << seconds << " s: " << covered.practiceDrills
              << " practice drills and " << covered.tests << " tests finished, " << covered.misses
              << " misses, the keyboard picture entered " << covered.keyboardVisits
              << " times, the About box opened " << covered.boxOpenings << " times, " << covered.restarts
              << " exits\n";
}

// Each fault the driver found, as it shrank it, the symptom named.
TEST(RandomEvents, FoundFaultsStayMended) {
    struct Row {
        std::string_view symptom;
        std::uint32_t startTick;
        std::vector<Event> events;
    };
    // The third item of the mode selector, and the exit button, where they lie on every screen.
    const Row rows[] = {
        {"an item pressed before F1 hid the selector and released after it changed the mode",
         1000u,
         {press(C::ModeSelect, 78, 96), f1(), release(C::ModeSelect, 78, 96)}},
        {"the exit button pressed before F1 hid it and released after it closed the program",
         1000u,
         {selectMode(6), press(C::ExitButton1, 50, 17), f1(), release(C::ExitButton1, 50, 17)}},
    };
    for (const Row& r : rows) {
        const auto failure = play(r.events, r.startTick);
        EXPECT_FALSE(failure) << r.symptom << ": rule \"" << failure->rule << "\" broke after event "
                              << failure->index << ": " << failure->detail;
    }
}
