// The rules every backend shares: how a timer catches up after a hold-up, and what a key is.

#include "platform/Rules.h"

#include <gtest/gtest.h>

using namespace platform::rules;

TEST(PlatformRules, ATimerHeldUpRunsOneTickAndKeepsItsGrid) {
    struct Row {
        const char* why;
        double deadline;
        int interval;
        double now;
        double next;
        int intervals;
    };
    for (const Row& r : {
             Row{"on time", 1000, 1000, 1000, 2000, 1},
             Row{"a little early", 1000, 1000, 999.6, 2000, 1},
             Row{"late within the interval", 1000, 1000, 1999, 2000, 1},
             Row{"late by exactly one interval", 1000, 1000, 2000, 3000, 2},
             Row{"an hour in a hidden tab", 1000, 30, 1000 + 3'600'000.5, 1000 + 3'600'030, 120'001},
             Row{"a minute's test clock half hidden", 5000, 1000, 35'400, 36'000, 31},
             Row{"no interval", 1000, 0, 1500, 1500, 1},
         }) {
        const CatchUp c = catchUp(r.deadline, r.interval, r.now);
        EXPECT_DOUBLE_EQ(c.nextDeadline, r.next) << r.why;
        EXPECT_EQ(c.intervals, r.intervals) << r.why;
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
    const auto W = static_cast<int>('w');
    for (const Row& r : {
             Row{"a letter", 'c', 0, KeyRoute::Program, true, true, true},
             Row{"a shifted letter", 'C', ModShift, KeyRoute::Program, true, true, true},
             Row{"Cmd+C on a Mac", 'c', ModMeta, KeyRoute::Chord, false, false, false},
             Row{"Cmd+R reloads in a tab", 'r', ModMeta, KeyRoute::Chord, false, false, true},
             Row{"Ctrl+plus zooms", '+', ModCtrl | ModShift, KeyRoute::Chord, false, false, false},
             Row{"Ctrl+F finds", 'f', ModCtrl, KeyRoute::Chord, false, false, false},
             Row{"Ctrl+W closes the tab", W, ModCtrl, KeyRoute::Chord, false, false, true},
             Row{"Alt+Left goes back", KeyLeft, ModAlt, KeyRoute::Chord, false, false, true},
             Row{"AltGr types a character", '@', ModCtrl | ModAlt | ModAltGraph, KeyRoute::Program, true,
                 true, true},
             Row{"Meta with AltGr is still a chord", '@', ModAltGraph | ModMeta, KeyRoute::Chord, false,
                 false, false},
             Row{"F1 is the program's", KeyF1, 0, KeyRoute::F1, true, true, true},
             Row{"Ctrl+F1 is nobody's but keeps the help away", KeyF1, ModCtrl, KeyRoute::Browser, false,
                 true, true},
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
