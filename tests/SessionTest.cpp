#include "drill/Session.h"

#include <gtest/gtest.h>

using drill::Phase;
using drill::Preparation;
using drill::Session;
using drill::Verdict;

namespace {
constexpr int HomeRow = 2;

// A session prepared and started at the given tick.
Session started(int mode, std::uint32_t tick = 1000, std::uint32_t seed = 12345) {
    Session s;
    s.prepare(mode);
    EXPECT_EQ(s.type(U' ', tick, seed), Verdict::Started);
    return s;
}

char32_t target(const Session& s) {
    return static_cast<unsigned char>(s.state().Target);
}

char32_t notTarget(const Session& s) {
    return target(s) == U'x' ? U'y' : U'x';
}
} // namespace

TEST(Session, LifeOfAPracticeDrill) {
    Session s;
    EXPECT_TRUE(s.okEnabled());
    EXPECT_EQ(s.prepare(HomeRow), Preparation::Drill);
    EXPECT_EQ(s.phase(), Phase::Prepared);
    EXPECT_FALSE(s.okEnabled());
    EXPECT_EQ(s.type(U'a', 0, 0), Verdict::Nothing) << "only Space starts a prepared drill";
    EXPECT_EQ(s.type(U' ', 100, 7), Verdict::Started);
    EXPECT_TRUE(s.state().Running);
    EXPECT_NE(std::string_view("asdfghjkl;:]").find(s.state().Target), std::string_view::npos);

    EXPECT_EQ(s.type(target(s), 400, 0), Verdict::Correct);
    EXPECT_EQ(s.type(notTarget(s), 500, 0), Verdict::Wrong);
    EXPECT_EQ(s.type(U' ', 600, 0), Verdict::Ended);
    EXPECT_EQ(s.phase(), Phase::Idle);
    EXPECT_TRUE(s.okEnabled());
    // The closing Space counts, so presses are correct plus wrong answers.
    EXPECT_EQ(s.state().Presses, 2);
    EXPECT_EQ(s.state().Misses, 1);
    EXPECT_EQ(s.state().keyStats.totalAnswers(), 1u);
}

TEST(Session, ReactionTimesAccumulatePerCharacterAcrossATickWrap) {
    // Start just before the 32-bit tick counter wraps; the answer comes after it.
    Session s = started(HomeRow, 0xFFFFFF00u);
    const char32_t first = target(s);
    ASSERT_EQ(s.type(first, 0x00000010u, 0), Verdict::Correct);
    const auto& entry = s.state().keyStats[static_cast<int>(first)];
    EXPECT_EQ(entry.totalMs, 0x110u);
    EXPECT_EQ(entry.answers, 1u);
}

// Three answers on "k" after 300, 500 and 700 ms: the table keeps them all.
TEST(Session, EveryAnswerAddsToItsCharactersTotal) {
    drill::KeyStats stats;
    for (std::uint32_t ms : {300u, 500u, 700u})
        stats.add('k', ms);
    EXPECT_EQ(stats['k'].totalMs, 1500u);
    EXPECT_EQ(stats['k'].answers, 3u);
    EXPECT_EQ(stats.totalAnswers(), 3u);
}

TEST(Session, TargetsNeverRepeatEvenAcrossDrills) {
    for (std::uint32_t seed = 0; seed < 200; ++seed) {
        Session s = started(3, 0, seed);
        char32_t previous = target(s);
        for (int i = 0; i < 50; ++i) {
            ASSERT_EQ(s.type(previous, static_cast<std::uint32_t>(i), 0), Verdict::Correct);
            ASSERT_NE(target(s), previous) << "seed " << seed;
            previous = target(s);
        }
        // The next drill's first target differs from the last one of this drill, whatever the seed.
        s.type(U' ', 0, 0);
        s.prepare(3);
        s.type(U' ', 0, seed * 7919u);
        ASSERT_NE(target(s), previous);
    }
}

TEST(Session, UpperCaseAndControlCharactersAreMisses) {
    Session s = started(HomeRow);
    for (char32_t k : {U'A', U'\r', U'\b', U'\x1b', U'\t', U'ü', U'\u3042'})
        EXPECT_EQ(s.type(k, 2000, 0), Verdict::Wrong);
    EXPECT_EQ(s.state().Misses, 7);
}

// During a test Space is no answer at all: counting it would raise the grade with nothing typed.
TEST(Session, SpaceDuringATestChangesNothing) {
    Session s = started(5);
    const char32_t before = target(s);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(s.type(U' ', 2000, 0), Verdict::Passed);
    EXPECT_EQ(s.state().Presses, -1);
    EXPECT_EQ(s.state().Misses, 0);
    EXPECT_TRUE(s.state().Running);
    EXPECT_EQ(target(s), before);
}

TEST(Session, TestEndsOnItsSixtiethTickAndTheNextTestGetsAFullMinute) {
    Session s = started(5);
    for (int tick = 1; tick < 60; ++tick)
        ASSERT_FALSE(s.testTick()) << tick;
    EXPECT_TRUE(s.testTick());
    EXPECT_FALSE(s.state().Running);
    s.resultsShown();
    s.prepare(5);
    s.type(U' ', 0, 1);
    for (int tick = 1; tick < 60; ++tick)
        ASSERT_FALSE(s.testTick()) << tick;
    EXPECT_TRUE(s.testTick());
    // A page hidden for half the minute gets one tick for the thirty seconds it missed.
    s.resultsShown();
    s.prepare(5);
    s.type(U' ', 0, 1);
    ASSERT_FALSE(s.testTick(30));
    ASSERT_FALSE(s.testTick(29));
    EXPECT_TRUE(s.testTick());
}

// F1 while a drill runs starts the counts over but keeps the drill going on the same target.
TEST(Session, PreparingAgainWhileRunningKeepsTheTarget) {
    Session s = started(HomeRow, 1000);
    const char32_t current = target(s);
    s.type(notTarget(s), 1100, 0);
    EXPECT_EQ(s.prepare(HomeRow), Preparation::Drill);
    EXPECT_EQ(s.phase(), Phase::Running);
    EXPECT_EQ(s.state().Presses, -1);
    EXPECT_EQ(s.state().Misses, 0);
    EXPECT_EQ(target(s), current);
    EXPECT_EQ(s.type(current, 1500, 0), Verdict::Correct);
    EXPECT_EQ(s.state().keyStats[static_cast<int>(current)].totalMs, 500u);
}

TEST(Session, KeyboardModeAndEmptySetsStartNothing) {
    Session s;
    EXPECT_EQ(s.prepare(6), Preparation::Keyboard);
    EXPECT_EQ(s.phase(), Phase::Keyboard);
    EXPECT_TRUE(s.okEnabled());
    EXPECT_EQ(s.type(U' ', 0, 0), Verdict::Nothing);
    s.leaveKeyboard();
    EXPECT_EQ(s.phase(), Phase::Idle);
    EXPECT_EQ(s.prepare(-1), Preparation::NoDrill);
    EXPECT_TRUE(s.okEnabled());
    EXPECT_EQ(s.type(U' ', 0, 0), Verdict::Nothing);
}

// Both backslashes of the full set are drawn: over many draws it comes about twice as often as
// any other character.
TEST(Session, DoubledCharacterComesTwiceAsOften) {
    Session s = started(4, 0, 42);
    int backslash = 0, a = 0;
    for (int i = 0; i < 47000; ++i) {
        const char32_t t = target(s);
        backslash += t == U'\\';
        a += t == U'a';
        s.type(t, 0, 0);
    }
    EXPECT_NEAR(static_cast<double>(backslash) / a, 2.0, 0.25);
}
