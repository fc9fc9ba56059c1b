#include "drill/Modes.h"

#include <gtest/gtest.h>

#include <set>

TEST(DrillSets, RowsOfTheJisKeyboard) {
    struct Row {
        int mode;
        std::string_view set;
    };
    for (Row r :
         {Row{0, "1234567890-^\\"}, Row{1, "qwertyuiop@["}, Row{2, "asdfghjkl;:]"}, Row{3, "zxcvbnm,./\\"}})
        EXPECT_EQ(drill::drillSetFor(r.mode), r.set) << r.mode;
    EXPECT_EQ(drill::drillSetFor(4).size(), 48u);
    EXPECT_EQ(drill::drillSetFor(4), drill::drillSetFor(5));
}

TEST(DrillSets, NoDrillOutsideThePracticeAndTestModes) {
    for (int mode : {6, -1, 7, 1000})
        EXPECT_TRUE(drill::drillSetFor(mode).empty()) << mode;
}

// Targets must be printable, non-space single bytes, and a set needs two distinct characters so that
// a target can always be followed by another.
TEST(DrillSets, EveryCharacterIsATypableTarget) {
    for (int mode = 0; mode <= 5; ++mode) {
        const auto set = drill::drillSetFor(mode);
        std::set<char> distinct(set.begin(), set.end());
        EXPECT_GE(distinct.size(), 2u) << mode;
        for (char ch : set) {
            EXPECT_GE(ch, 33) << mode;
            EXPECT_LE(ch, 126) << mode;
        }
    }
    // The backslash stands for both the yen key and the ro key.
    const auto all = drill::drillSetFor(4);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\\'), 2);
}
