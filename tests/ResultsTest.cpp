#include "drill/Results.h"

#include <gtest/gtest.h>

using drill::KeyStats;

namespace {
std::string accuracyText(std::int32_t presses, std::int32_t misses, std::string_view separator = ".") {
    return drill::formatHundredths(drill::accuracyHundredths(presses, misses), separator);
}
} // namespace

// Exact ties go to the lower hundredth; several of these (9.375, 3.125, 91.875) round the other way
// when computed with binary doubles and round-half-up or round-half-even.
TEST(Accuracy, RoundedToHundredthsWithTiesDown) {
    struct Row {
        std::int32_t correct, presses;
        std::string_view text;
    };
    for (Row r : {Row{2, 3, "66.67"}, Row{3, 32, "9.37"}, Row{1, 32, "3.12"}, Row{147, 160, "91.87"},
                  Row{7, 8, "87.5"}, Row{5, 5, "100"}, Row{1, 3, "33.33"}, Row{1, 6, "16.67"},
                  Row{1, 200, "0.5"}, Row{1, 400, "0.25"}, Row{1, 800, "0.12"}, Row{1, 1600, "0.06"},
                  Row{999, 1000, "99.9"}, Row{19999, 20000, "99.99"}, Row{39999, 40000, "100"},
                  Row{1, 10, "10"}, Row{41, 80, "51.25"}, Row{83, 160, "51.87"}})
        EXPECT_EQ(accuracyText(r.presses, r.presses - r.correct), r.text) << r.correct << "/" << r.presses;
}

TEST(Accuracy, ZeroWithoutCorrectAnswers) {
    EXPECT_EQ(accuracyText(0, 0), "0");
    EXPECT_EQ(accuracyText(4, 4), "0");
    EXPECT_EQ(accuracyText(-1, 0), "0");
}

TEST(Accuracy, UsesTheLocaleSeparator) {
    EXPECT_EQ(accuracyText(3, 1, ","), "66,67");
}

TEST(Grading, EachBoundary) {
    struct Row {
        std::int32_t correct;
        std::string_view grade;
    };
    for (Row r : {Row{-1, "級外"}, Row{0, "級外"}, Row{33, "級外"}, Row{34, "七級"}, Row{44, "七級"},
                  Row{45, "六級"}, Row{55, "六級"}, Row{56, "五級"}, Row{66, "五級"}, Row{67, "四級"},
                  Row{77, "四級"}, Row{78, "三級"}, Row{88, "三級"}, Row{89, "二級"}, Row{100, "二級"},
                  Row{101, "一級"}, Row{5000, "一級"}})
        EXPECT_EQ(drill::gradeFor(r.correct), r.grade) << r.correct;
}

TEST(WeakAndStrongKeys, ByAverageReactionTime) {
    KeyStats stats;
    stats.add('f', 200);
    stats.add('j', 400);
    stats.add('f', 400);
    EXPECT_EQ(drill::weakKey(stats), 'j');
    EXPECT_EQ(drill::strongKey(stats), 'f');
}

TEST(WeakAndStrongKeys, LowerCodeWinsATie) {
    KeyStats stats;
    for (char ch : {'k', 'a', 'z'})
        stats.add(ch, 700);
    stats.add(';', 100);
    stats.add('d', 100);
    EXPECT_EQ(drill::weakKey(stats), 'a');
    EXPECT_EQ(drill::strongKey(stats), ';');
}

TEST(WeakAndStrongKeys, SpaceWhenNoneQualifies) {
    KeyStats empty;
    EXPECT_EQ(drill::weakKey(empty), ' ');
    EXPECT_EQ(drill::strongKey(empty), ' ');

    KeyStats instant;
    instant.add('a', 0);
    EXPECT_EQ(drill::weakKey(instant), ' ') << "an average of 0 ms is never the weak key";
    EXPECT_EQ(drill::strongKey(instant), 'a');

    KeyStats slow;
    slow.add('a', 5000);
    slow.add('b', 9000);
    slow.add('c', 4999);
    EXPECT_EQ(drill::strongKey(slow), 'c');
    KeyStats tooSlow;
    tooSlow.add('a', 5000);
    EXPECT_EQ(drill::strongKey(tooSlow), ' ') << "5000 ms or more never counts as strong";
    EXPECT_EQ(drill::weakKey(tooSlow), 'a');
}

// Averages truncate: 1 ms over 2 answers is 0 ms, so it does not beat a true 0.
TEST(WeakAndStrongKeys, AveragesTruncate) {
    KeyStats stats;
    stats.add('b', 1);
    stats.add('b', 0);
    stats.add('c', 1);
    EXPECT_EQ(drill::weakKey(stats), 'c');
    EXPECT_EQ(drill::strongKey(stats), 'b');
}
