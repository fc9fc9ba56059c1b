#pragma once

#include "drill/Random.h"

#include <array>
#include <cstdint>
#include <string>

namespace drill {

inline constexpr char32_t Space = U' ';

// Reaction times of one drill per character code 33..126, so every possible target has a slot.
class KeyStats {
public:
    static constexpr int First = 33;
    static constexpr int Last = 126;

    struct Entry {
        std::uint32_t totalMs = 0;
        std::uint32_t answers = 0;
    };

    void clear() { m_entries.fill({}); }
    void add(int code, std::uint32_t reactionMs);
    const Entry& operator[](int code) const { return m_entries[static_cast<std::size_t>(code - First)]; }
    std::uint32_t totalAnswers() const;

private:
    std::array<Entry, Last - First + 1> m_entries{};
};

// The drill state record, its fields named as the form's developers know them.
struct DrillState {
    std::string DrillSet;
    char Target = 0;
    bool Running = false;
    std::uint32_t StartTick = 0;
    std::uint32_t TestTicks = 0;
    KeyStats keyStats;
    std::int32_t Presses = 0;
    std::int32_t Misses = 0;
};

enum class Phase { Idle, Prepared, Running, Keyboard };

// What a typed character did to the drill.
enum class Verdict {
    Correct, // the target was typed: a new target is drawn
    Wrong,   // a miss, counted
    Ended,   // Space ended a practice drill
    Started, // Space started a prepared drill
    Passed,  // Space during a test: no count, and the key is left to the focused control
    Nothing, // no drill runs; the key is consumed all the same
};

// What the OK action prepared.
enum class Preparation { Drill, NoDrill, Keyboard };

// The life of one drill: preparing, starting, judging and timing keys, the test's one-minute
// clock. Time and chance come in from outside: ticks are parameters and the generator is reseeded
// with the value the caller reads from its clock, so a whole drill replays from a list of events.
class Session {
public:
    // The OK action (also F1, in any phase). A running drill keeps its target, its timing and its
    // test clock; only the counts and statistics start over.
    Preparation prepare(int mode);
    Verdict type(char32_t typed, std::uint32_t tickMs, std::uint32_t highResolution);
    // Seconds of the test clock (more than one where the ticks of a held-up program were skipped);
    // true when the sixtieth has passed, which ends the test.
    bool testTick(int seconds = 1);
    // The results have been shown: the next test gets its full minute.
    void resultsShown() { m_state.TestTicks = 0; }
    void leaveKeyboard();

    const DrillState& state() const { return m_state; }
    Phase phase() const { return m_phase; }
    int mode() const { return m_mode; }
    bool isTest() const;
    // The OK button takes clicks only while no drill is prepared or running.
    bool okEnabled() const { return m_phase != Phase::Prepared && m_phase != Phase::Running; }
    std::uint32_t seed() const { return m_random.seed(); }
    // One flash of the results' frames: the generator the targets come from is reseeded with the
    // clock's reading and draws red, green and blue over 255 values each, giving 0x00BBGGRR. There
    // is one generator, so a flash during a drill decides the targets that follow it.
    std::uint32_t flashColour(std::uint32_t highResolution);

private:
    void nextQuestion(std::uint32_t tickMs);

    DrillState m_state;
    Random m_random;
    Phase m_phase = Phase::Idle;
    int m_mode = 0;
};

} // namespace drill
