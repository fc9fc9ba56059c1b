#include "drill/Results.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using drill::KeyStats;

namespace {
std::string accuracyText(std::int32_t presses, std::int32_t misses, std::string_view separator = ".") {
    return drill::formatHundredths(drill::accuracyHundredths(presses, misses), separator);
}
} // namespace

// Exact ties go to the lower hundredth; several of these (9.375, 3.125, 91.875) round the other way
// when computed with binary doubles and round-half-up or round-half-even. No correct answer, or no
// press at all, is 0.
TEST(Accuracy, RoundedToHundredthsWithTiesDown) {
    struct Row {
        std::int32_t correct, presses;
        std::string_view text;
    };
    for (Row r : {Row{2, 3, "66.67"},       Row{3, 32, "9.37"},
                  Row{1, 32, "3.12"},       Row{147, 160, "91.87"},
                  Row{7, 8, "87.5"},        Row{5, 5, "100"},
                  Row{1, 3, "33.33"},       Row{1, 6, "16.67"},
                  Row{1, 200, "0.5"},       Row{1, 400, "0.25"},
                  Row{1, 800, "0.12"},      Row{1, 1600, "0.06"},
                  Row{999, 1000, "99.9"},   Row{19999, 20000, "99.99"},
                  Row{39999, 40000, "100"}, Row{1, 10, "10"},
                  Row{41, 80, "51.25"},     Row{83, 160, "51.87"},
                  Row{0, 0, "0"},           Row{0, 4, "0"},
                  Row{-1, -1, "0"}})
        EXPECT_EQ(accuracyText(r.presses, r.presses - r.correct), r.text) << r.correct << "/" << r.presses;
    EXPECT_EQ(accuracyText(3, 1, ","), "66,67") << "the locale's separator";
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

// The weak key has the largest average, the strong key the smallest below 5000 ms; averages
// truncate, the lower code wins a tie, and the space character stands for none.
TEST(WeakAndStrongKeys, ByAverageReactionTime) {
    struct Row {
        std::string_view why;
        std::vector<std::pair<char, std::uint32_t>> answers;
        char weak, strong;
    };
    const Row rows[] = {
        {"averages", {{'f', 200}, {'j', 400}, {'f', 400}}, 'j', 'f'},
        {"ties", {{'k', 700}, {'a', 700}, {'z', 700}, {';', 100}, {'d', 100}}, 'a', ';'},
        {"no answers", {}, ' ', ' '},
        {"0 ms is never the weak key", {{'a', 0}}, ' ', 'a'},
        {"just below 5000 ms", {{'a', 5000}, {'b', 9000}, {'c', 4999}}, 'b', 'c'},
        {"5000 ms or more is never strong", {{'a', 5000}}, 'a', ' '},
        {"1 ms over 2 answers is 0 ms", {{'b', 1}, {'b', 0}, {'c', 1}}, 'c', 'b'},
    };
    for (const Row& r : rows) {
        KeyStats stats;
        for (auto [ch, ms] : r.answers)
            stats.add(ch, ms);
        EXPECT_EQ(drill::weakKey(stats), r.weak) << r.why;
        EXPECT_EQ(drill::strongKey(stats), r.strong) << r.why;
    }
}
