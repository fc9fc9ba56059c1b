#pragma once

// A randomized driver for the main window and the About box. It plays long sequences of what a person
// can do on the real windows: characters of every kind, F1 with and without modifiers, clicks and
// double clicks anywhere with any button, presses released elsewhere, the About box opened, dragged
// and closed every way, modes chosen by clicking, the program closed, and the ticks of the three
// timers while the clock moves on. After every event it holds the windows against a small model of
// the drill's state table. A failing sequence is shrunk to a short one, printed as the C++ of a
// regression row.

#include "Unit1/MainForm.h"
#include "tests/support/TestSupport.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace soak {

enum class Op {
    Type,       // text typed into the active window, one key per character
    TypeTarget, // the character the drill waits for, typed into the active window
    F1,
    Silent,
    DialogKey, // a key the About box answers to, when it is active
    Click,
    DoubleClick,
    Press,
    Release,
    SelectMode, // a click where an item of the mode selector lies
    Tick,       // Timer1, Timer2 or Timer3, when enabled, late by some intervals or on time
    Wait,       // the clock moves on
    BoxOk,      // a click on the About box's OK button
    BoxCloseBox,
    BoxMove,   // the user drags the About box
    FrontMain, // the user brings the main window to the front
    CloseMain, // the system's close command on the main window
};

// One thing a person does. Pointer events name a control and an offset from its top-left corner, so
// that a sequence keeps its meaning on every screen and after controls move.
struct Event {
    Op op;
    std::string text;
    int a = 0, b = 0; // offset; key and modifiers; item; timer; milliseconds; place
    MainControl anchor = MainControl::MofuForm1;
    platform::MouseButton button = platform::MouseButton::Left;
};

using platform::MouseButton;
Event type(std::string text);
Event typeTarget();
Event f1(unsigned modifiers = platform::test::NoModifier);
Event silent(platform::test::SilentKey key);
Event dialogKey(platform::test::DialogKey key, unsigned modifiers = platform::test::NoModifier);
Event click(MainControl anchor, int dx, int dy, MouseButton button = MouseButton::Left);
Event doubleClick(MainControl anchor, int dx, int dy, MouseButton button = MouseButton::Left);
Event press(MainControl anchor, int dx, int dy, MouseButton button = MouseButton::Left);
Event release(MainControl anchor, int dx, int dy, MouseButton button = MouseButton::Left);
Event selectMode(int item);
Event tick(int timer, int intervals = 1);
Event wait(int milliseconds);
Event boxOk();
Event boxCloseBox();
Event boxMove(int left, int top);
Event frontMain();
Event closeMain();

// The C++ that builds the event, for a regression row.
std::string describe(const Event& event);

struct Failure {
    std::size_t index; // the event after which the rule broke
    std::string rule;
    std::string detail;
};

// Plays the events on new windows whose clock starts at startTick.
std::optional<Failure> play(std::span<const Event> events, std::uint32_t startTick);

// How far a run went: each way between the drill's phases it took, and what else it reached.
struct Coverage {
    long prepared = 0;        // Idle to Prepared
    long preparedAgain = 0;   // F1 in Prepared, which stays there
    long started = 0;         // Prepared to Running
    long restartedCounts = 0; // F1 in Running, which keeps the target and starts the counts over
    long practiceDrills = 0;  // Running to Idle by Space
    long tests = 0;           // Running to Idle by the test clock
    long keyboardVisits = 0;  // Idle to Keyboard
    long keyboardLeft = 0;    // Keyboard to Idle
    long boxOpenings = 0, restarts = 0, misses = 0, lateTicks = 0;
    Coverage& operator+=(const Coverage& other);
    // Each count with its name, for the run's report and its floor.
    std::vector<std::pair<std::string_view, long>> counts() const;
};

struct Exploration {
    std::uint32_t startTick;
    std::vector<Event> events;
    std::optional<Failure> failure;
    Coverage coverage;
};
// Chooses count events from the seed, each for the state the windows are in, and plays them.
Exploration explore(std::uint32_t seed, std::size_t count);

// Drops chunks of a failing sequence while the same rule still breaks (delta debugging).
std::vector<Event> shrink(std::vector<Event> events, const Failure& failure, std::uint32_t startTick);

} // namespace soak
