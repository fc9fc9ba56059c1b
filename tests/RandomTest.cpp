#include "drill/Random.h"

#include <gtest/gtest.h>

// Values worked out by hand from seed × 134775813 + 1 and the high half of seed × n.
TEST(Random, DrawsForAKnownSeed) {
    drill::Random random(0);
    struct Row {
        std::uint32_t n, draw, seedAfter;
    };
    for (Row r : {Row{48, 0, 1}, Row{48, 1, 134775814}, Row{48, 41, 3698175007}, Row{12, 2, 870078620},
                  Row{255, 69, 1172187917}}) {
        EXPECT_EQ(random.draw(r.n), r.draw);
        EXPECT_EQ(random.seed(), r.seedAfter);
    }
}

TEST(Random, SeedWrapsModulo2To32AndDrawsStayInRange) {
    drill::Random random(0xFFFFFFFFu);
    EXPECT_EQ(random.draw(10), 9u);
    EXPECT_EQ(random.seed(), 4160191484u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_LT(random.draw(255), 255u);
}
