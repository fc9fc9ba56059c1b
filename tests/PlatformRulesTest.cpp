// The rules every backend shares: how a timer catches up after a hold-up, which window takes the
// activation, and what a key is.

#include "platform/Rules.h"
#include "platform/core/Scale.h"
#include "platform/core/Timer.h"
#include "platform/web/PageRules.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>
#include <vector>

using namespace platform::rules;

TEST(PlatformRules, ATimerTicksOnItsGridAndOnceAfterAHoldUp) {
    struct Alarm : platform::TimerAlarm {
        double now = 0;
        double setTo = -1; // -1: not set
        double nowMs() override { return now; }
        void set(double delayMs) override { setTo = delayMs; }
        void cancel() override { setTo = -1; }
    };
    struct Row {
        const char* why;
        double deadline;
        int interval;
        double now;
        bool paused;
        int ticks;
        double next;
        int intervals;
    };
    for (const Row& r : {
             Row{"on time", 1000, 1000, 1000, false, 1, 2000, 1},
             Row{"a little early", 1000, 1000, 999.6, false, 1, 2000, 1},
             Row{"too early: waits for its deadline", 1000, 1000, 990, false, 0, 1000, 1},
             Row{"late within the interval", 1000, 1000, 1999, false, 1, 2000, 1},
             Row{"late by exactly one interval", 1000, 1000, 2000, false, 1, 3000, 2},
             Row{"an hour in a hidden tab", 1000, 30, 1000 + 3'600'000.5, false, 1, 1000 + 3'600'030,
                 120'001},
             Row{"a minute's test clock half hidden", 5000, 1000, 35'400, false, 1, 36'000, 31},
             Row{"no interval", 1000, 0, 1500, false, 1, 1500, 1},
             Row{"paused until enabled", 1000, 1000, 1500, true, 0, 1000, 1},
         }) {
        int ticks = 0;
        platform::Timer::Impl timer;
        auto alarm = std::make_unique<Alarm>();
        Alarm& a = *alarm;
        timer.alarm = std::move(alarm);
        timer.onTick = [&] { ++ticks; };
        timer.enabled = true;
        timer.paused = r.paused;
        timer.interval = r.interval;
        timer.deadlineMs = r.deadline;
        a.now = r.now;
        timer.due();
        EXPECT_EQ(ticks, r.ticks) << r.why;
        EXPECT_DOUBLE_EQ(timer.deadlineMs, r.next) << r.why;
        EXPECT_EQ(timer.intervals, r.intervals) << r.why;
        // The alarm is set for the next deadline, unless the timer is paused.
        EXPECT_DOUBLE_EQ(a.setTo, r.paused ? -1 : r.next - r.now) << r.why;
    }
}

TEST(PlatformRules, AWindowStaysInsideItsContainer) {
    struct Row {
        const char* why;
        int position, extent, container, kept;
    };
    for (const Row& r : {
             Row{"inside", 100, 279, 1024, 100},
             Row{"dragged past the left edge", -50, 279, 1024, 0},
             Row{"dragged past the right edge", 900, 279, 1024, 745},
             Row{"the container shrank", 600, 279, 640, 361},
             Row{"larger than the container", 30, 279, 200, 0},
         })
        EXPECT_EQ(keptInside(r.position, r.extent, r.container), r.kept) << r.why;
}

TEST(PlatformRules, AHidingWindowHandsTheActivationToTheProgramsFirstShownWindow) {
    struct Row {
        const char* why;
        std::vector<bool> shown; // in the order the windows were made, the main window first
        int hiding;
        bool wasActive;
        int heir; // -1: none
    };
    for (const Row& r : {
             Row{"the box closes over the main window", {true, true}, 1, true, 0},
             Row{"the main window hides with the box shown", {true, true}, 0, true, 1},
             Row{"the first shown in the order made", {false, true, true, true}, 3, true, 1},
             Row{"the hiding window, still reported shown, alone", {true}, 0, true, -1},
             Row{"no other window shown", {true, false}, 0, true, -1},
             Row{"a window hides that was not active", {true, true}, 1, false, -1},
         }) {
        struct W {
            bool shown;
        };
        std::vector<W> made;
        for (bool shown : r.shown)
            made.push_back({shown});
        std::vector<W*> windows;
        for (W& w : made)
            windows.push_back(&w);
        const W* heir =
            activationHeir(windows, windows[r.hiding], r.wasActive, [](const W& w) { return w.shown; });
        EXPECT_EQ(heir ? heir - made.data() : -1, r.heir) << r.why;
    }
}

TEST(PlatformRules, ARadioGroupsItemsShareTheRoomBelowItsCaption) {
    struct Row {
        const char* why;
        int index, count, width, height, textHeight;
        ItemRect item;
    };
    for (const Row& r : {
             Row{"the first of three", 0, 3, 200, 100, 16, {8, 17, 190, 26}},
             Row{"the last of three", 2, 3, 200, 100, 16, {8, 69, 190, 26}},
             Row{"half the remainder above the first", 0, 3, 200, 101, 16, {8, 18, 190, 26}},
             Row{"a group with no items yet", 0, 0, 200, 100, 16, {8, 17, 190, 79}},
         }) {
        const ItemRect item = radioItem(r.index, r.count, r.width, r.height, r.textHeight);
        EXPECT_EQ(std::tie(item.left, item.top, item.width, item.height),
                  std::tie(r.item.left, r.item.top, r.item.width, r.item.height))
            << r.why;
    }
}

// Every scale a desktop or a browser offers, and the ones nothing should offer, gives a whole factor
// from 1 to 3; the screen the program lays out on is what is left in whole design pixels.
TEST(PlatformRules, AnAskedScaleIsDrawnAtAWholeFactor) {
    struct Row {
        double asked;
        int factor;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    for (Row r : {Row{1, 1}, Row{1.1, 1}, Row{1.25, 1}, Row{1.5, 1}, Row{1.7499, 1}, Row{1.75, 2}, Row{2, 2},
                  Row{2.25, 2}, Row{2.5, 2}, Row{2.75, 3}, Row{3, 3}, Row{0.8, 1}, Row{0, 1}, Row{-2, 1},
                  Row{4, 3}, Row{inf, 3}, Row{-inf, 1}, Row{nan, 1}})
        EXPECT_EQ(platform::drawingFactor(r.asked), r.factor) << r.asked;
    struct Screen {
        platform::Size device;
        int factor;
        platform::Size program;
    };
    for (Screen s : {Screen{{1920, 1080}, 2, {960, 540}}, Screen{{2879, 1799}, 3, {959, 599}},
                     Screen{{1024, 768}, 1, {1024, 768}}, Screen{{1024, 768}, 0, {1024, 768}}}) {
        const platform::Size got = platform::programScreen(s.device, s.factor);
        EXPECT_EQ(std::tie(got.width, got.height), std::tie(s.program.width, s.program.height))
            << s.device.width << "x" << s.device.height << " at " << s.factor;
    }
}

TEST(PlatformRules, AProgressBarIsSpokenInQuarters) {
    struct Row {
        int position, spoken;
    };
    for (const Row& r :
         {Row{0, 0}, Row{24, 0}, Row{25, 25}, Row{99, 75}, Row{100, 100}, Row{-3, 0}, Row{130, 100}})
        EXPECT_EQ(spokenProgress(r.position), r.spoken) << r.position;
}

TEST(PlatformRules, KeysAreAnsweredOrLeftToTheBrowser) {
    struct Row {
        const char* why;
        int code;
        unsigned modifiers;
        KeyRoute route;
        bool consumed;
        bool cancelledInTab, cancelledCovering;
    };
    for (const Row& r : {
             Row{"a letter", 'c', 0, KeyRoute::Program, true, true, true},
             Row{"a shifted letter", 'C', ModShift, KeyRoute::Program, true, true, true},
             Row{"Cmd+C on a Mac", 'c', ModMeta, KeyRoute::Chord, false, false, false},
             Row{"Ctrl+plus zooms", '+', ModCtrl | ModShift, KeyRoute::Chord, false, false, false},
             Row{"Alt+Left goes back", KeyLeft, ModAlt, KeyRoute::Chord, false, false, true},
             Row{"AltGr types a character", '@', ModCtrl | ModAlt | ModAltGraph, KeyRoute::Program, true,
                 true, true},
             Row{"Meta with AltGr is still a chord", '@', ModAltGraph | ModMeta, KeyRoute::Chord, false,
                 false, false},
             Row{"F1 is the program's", KeyF1, 0, KeyRoute::F1, true, true, true},
             Row{"Ctrl+F1 is nobody's but keeps the help away", KeyF1, ModCtrl, KeyRoute::Browser, false,
                 true, true},
             Row{"Shift+F1 likewise", KeyF1, ModShift, KeyRoute::Browser, false, true, true},
             Row{"Esc is a typed character", 27, 0, KeyRoute::Program, true, true, true},
             Row{"a key the program passes on", ' ', 0, KeyRoute::Program, false, false, false},
             Row{"Tab would carry the keyboard away", '\t', 0, KeyRoute::Program, false, true, true},
             Row{"F5 reloads in a tab only", KeyF5, 0, KeyRoute::Program, false, false, true},
             Row{"an input method's key", KeyComposed, 0, KeyRoute::InputMethod, false, false, false},
             Row{"a key that types nothing", KeyOther, 0, KeyRoute::Browser, false, false, false},
         }) {
        EXPECT_EQ(routeOf(r.code, r.modifiers), r.route) << r.why;
        EXPECT_EQ(cancelsBrowserKey(r.code, r.modifiers, r.consumed, false), r.cancelledInTab) << r.why;
        EXPECT_EQ(cancelsBrowserKey(r.code, r.modifiers, r.consumed, true), r.cancelledCovering) << r.why;
    }
}

// Where the page covers the screen, every chord that would close or leave it is kept from the
// browser; in a tab the browser keeps each. Near misses stay the browser's everywhere.
TEST(PlatformRules, ACoveringPageKeepsEveryChordThatWouldLeaveIt) {
    struct Row {
        const char* why;
        int code;
        unsigned modifiers;
        bool leaves;
    };
    for (const Row& r : {
             Row{"Ctrl+W closes the tab", 'w', ModCtrl, true},
             Row{"Ctrl+Shift+W closes the window", 'W', ModCtrl | ModShift, true},
             Row{"Ctrl+Q quits", 'q', ModCtrl, true},
             Row{"Ctrl+N opens a window", 'n', ModCtrl, true},
             Row{"Ctrl+T opens a tab", 't', ModCtrl, true},
             Row{"Ctrl+Shift+T reopens a tab", 'T', ModCtrl | ModShift, true},
             Row{"Ctrl+R reloads", 'r', ModCtrl, true},
             Row{"Ctrl+L goes to the address bar", 'l', ModCtrl, true},
             Row{"Cmd+Q quits on a Mac", 'q', ModMeta, true},
             Row{"Ctrl+F4 closes the tab", KeyF4, ModCtrl, true},
             Row{"Ctrl+F5 reloads", KeyF5, ModCtrl, true},
             Row{"Alt+Left goes back", KeyLeft, ModAlt, true},
             Row{"Alt+Right goes forward", KeyRight, ModAlt, true},
             Row{"Alt+Home goes home", KeyHome, ModAlt, true},
             Row{"Alt+F4 closes the window", KeyF4, ModAlt, true},
             Row{"Cmd+Left goes back", KeyLeft, ModMeta, true},
             Row{"Cmd+Right goes forward", KeyRight, ModMeta, true},
             Row{"Cmd+[ goes back", '[', ModMeta, true},
             Row{"Cmd+] goes forward", ']', ModMeta, true},
             Row{"F5 reloads", KeyF5, 0, true},
             Row{"the Back key", KeyBrowserBack, 0, true},
             Row{"Ctrl+F stays", 'f', ModCtrl, false},
             Row{"AltGr+Q types a character", 'q', ModCtrl | ModAltGraph, false},
             Row{"F4 alone", KeyF4, 0, false},
             Row{"Left alone", KeyLeft, 0, false},
             Row{"Alt+Up", KeyUp, ModAlt, false},
             Row{"Ctrl+[ is no history key", '[', ModCtrl, false},
             Row{"Shift+Left", KeyLeft, ModShift, false},
         }) {
        EXPECT_EQ(cancelsBrowserKey(r.code, r.modifiers, false, true), r.leaves) << r.why;
        EXPECT_EQ(cancelsBrowserKey(r.code, r.modifiers, false, false), r.code == '\t') << r.why;
    }
}
