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
    std::cout << "random events: " << total << " events in " << seconds << " s:";
    // Every way between the phases, and each thing the driver can do besides, taken often enough that
    // a route a font or a screen size changes still leaves each of them a few times.
    const long least = static_cast<long>(total / SequenceLength);
    for (const auto& [what, count] : covered.counts()) {
        std::cout << " " << what << " " << count << ";";
        EXPECT_GE(count, least) << what << ": the driver's sequences no longer reach it";
    }
    std::cout << "\n";
}

std::vector<Event> times(int n, std::initializer_list<Event> events) {
    std::vector<Event> out;
    for (int i = 0; i < n; ++i)
        out.insert(out.end(), events);
    return out;
}
std::vector<Event> joined(std::initializer_list<std::vector<Event>> parts) {
    std::vector<Event> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Each fault found, by the driver as it shrank it or by a case of its own, as a short sequence held
// against the driver's rules after every event; the symptom named. Pointer events stand at offsets
// inside their controls; where a control lies off a small screen the click lands at the edge.
TEST(RandomEvents, FoundFaultsStayMended) {
    struct Row {
        std::string_view symptom;
        std::uint32_t startTick;
        std::vector<Event> events;
    };
    const Row rows[] = {
        {"an item pressed before F1 hid the selector and released after it changed the mode",
         1000u,
         {press(MainControl::ModeSelect, 78, 96), f1(), release(MainControl::ModeSelect, 78, 96)}},
        {"the exit button pressed before F1 hid it and released after it closed the program",
         1000u,
         {selectMode(6), press(MainControl::ExitButton1, 50, 17), f1(),
          release(MainControl::ExitButton1, 50, 17)}},
        {"F1 lost while the About box is active, or the box closed by it",
         1000u,
         {click(MainControl::Panel5, 10, 10), f1(), type(" "), f1()}},
        {"a running drill reset to prepared by F1, or its target or counts kept",
         1000u,
         {f1(), f1(), type(" "), type("x"), f1(), typeTarget(), type("x"), f1(), type(" ")}},
        {"the results left shown by the next drill, or the flashing stopped", 1000u,
         joined(
             {{f1(), type(" ")}, times(3, {wait(100), typeTarget()}), {type(" "), tick(2), f1(), tick(2)}})},
        {"the first opening not centred, from either info button",
         1000u,
         {click(MainControl::Panel4, 10, 10), boxOk(), click(MainControl::Panel5, 10, 10)}},
        {"a later opening not where the box was last hidden, dragged or not",
         1000u,
         {click(MainControl::Panel5, 10, 10), boxOk(), click(MainControl::Panel4, 10, 10), boxMove(40, 50),
          boxCloseBox(), click(MainControl::Panel5, 10, 10)}},
        {"an info button moving a shown box or bringing it in front",
         1000u,
         {click(MainControl::Panel5, 10, 10), boxMove(5, 6), click(MainControl::Panel4, 10, 10),
          click(MainControl::Panel5, 10, 10), frontMain(), click(MainControl::Panel4, 10, 10),
          click(MainControl::Panel5, 10, 10)}},
        {"the exit button closing nothing", 1000u, {click(MainControl::ExitButton1, 50, 17), f1()}},
        {"a box closed by Escape or a modified Enter, or left open by OK, Enter, Space or its close box",
         1000u,
         {click(MainControl::Panel5, 10, 10), dialogKey(DialogKey::Escape),
          dialogKey(DialogKey::Return, platform::test::Shift),
          dialogKey(DialogKey::Return, platform::test::Ctrl), type("\x1b"), dialogKey(DialogKey::Return),
          click(MainControl::Panel5, 10, 10), dialogKey(DialogKey::Space), click(MainControl::Panel5, 10, 10),
          type("\r"), click(MainControl::Panel5, 10, 10), boxCloseBox(), click(MainControl::Panel5, 10, 10),
          boxOk()}},
        {"a practice drill's target centred in the frame, its timer left on or the wrong message after it",
         1000u,
         joined({{selectMode(2), click(MainControl::OKButton1, 50, 17), type(" ")},
                 times(20, {wait(250), typeTarget()}),
                 {tick(1), type(" "), tick(1)}})},
        {"the yen key taken as itself rather than the backslash", 1000u,
         joined({{selectMode(3), f1(), type(" ")}, times(12, {type("¥"), typeTarget()})})},
        {"the next test not given its full minute, or a late tick not counted in full", 1000u,
         joined({{selectMode(5), f1(), type(" "), typeTarget()},
                 times(60, {tick(3)}),
                 {f1(), type(" ")},
                 times(29, {tick(3)}),
                 {tick(3, 30), typeTarget(), tick(3)}})},
        {"Space starting a drill that was never prepared, or not starting a prepared one",
         1000u,
         {type("a"), type(" "), selectMode(1), type(" "), f1(), type(" "), typeTarget()}},
    };
    for (const Row& r : rows) {
        const auto failure = play(r.events, r.startTick);
        EXPECT_FALSE(failure) << r.symptom << ": rule \"" << failure->rule << "\" broke after event "
                              << failure->index << ": " << failure->detail;
    }
}
