#include "FormFixture.h"
#include "drill/Random.h"

namespace {

constexpr std::string_view Percent = "％";

class ResultsTest : public FormTest {
protected:
    // Starts a drill of the mode with the clock at a known tick.
    void start(int mode) {
        selectMode(mode);
        f1();
        type(" ");
        ASSERT_TRUE(form->session().state().Running);
    }
    // Answers the current target after the given reaction time.
    char answer(std::uint32_t reactionMs) {
        const char answered = target();
        clock.tick += reactionMs;
        type(targetText());
        return answered;
    }
    std::string accuracyLine() { return c(MainControl::Label5).text(); }
    bool centredIn(MainControl id, MainControl parent) {
        return c(id).left() == centred(c(parent).width(), c(id).width());
    }
};

} // namespace

TEST_F(ResultsTest, PracticeDrillShowsAccuracyCountsAndKeys) {
    start(2);
    // Answers after 100, 900 and 500 ms. A target never follows itself, so only the first and the
    // third may be the same character; either way the first is the fastest and the second the
    // slowest on average.
    const char first = answer(100);
    const char second = answer(900);
    answer(500);
    type(wrongKey());
    type(" ");

    EXPECT_EQ(accuracyLine(), std::string("正解率    75") + std::string(Percent));
    EXPECT_TRUE(c(MainControl::Label5).visible());
    EXPECT_EQ(c(MainControl::Label5).left(), centred(w().clientWidth(), c(MainControl::Label5).width()));
    EXPECT_EQ(c(MainControl::Label7).text(), "出題数　4");
    EXPECT_EQ(c(MainControl::Label8).text(), "正解数　3");
    EXPECT_EQ(c(MainControl::Label9).text(), "間違数　1");
    EXPECT_TRUE(c(MainControl::Panel8).visible());
    EXPECT_TRUE(c(MainControl::PanelNigate).visible());
    EXPECT_TRUE(c(MainControl::PanelTokui).visible());
    EXPECT_TRUE(c(MainControl::Nigate).visible());
    EXPECT_TRUE(c(MainControl::Tokui).visible());
    EXPECT_FALSE(c(MainControl::KP).visible());
    EXPECT_TRUE(form->timer2().enabled());
    auto shown = [](char key) { return key == '&' ? std::string("&&") : std::string(1, key); };
    EXPECT_EQ(c(MainControl::Nigate).text(), shown(second));
    EXPECT_EQ(c(MainControl::Tokui).text(), shown(first));
    platform::test::fire(form->timer2());
    shoot("results-practice");
}

TEST_F(ResultsTest, DrillStoppedAtOnceShowsZeroesAndNoKeys) {
    start(0);
    type(" ");
    EXPECT_EQ(accuracyLine(), std::string("正解率    0") + std::string(Percent));
    EXPECT_EQ(c(MainControl::Label7).text(), "出題数　0");
    EXPECT_EQ(c(MainControl::Label8).text(), "正解数　0");
    EXPECT_EQ(c(MainControl::Label9).text(), "間違数　0");
    EXPECT_TRUE(c(MainControl::PanelNigate).visible());
    EXPECT_FALSE(c(MainControl::Nigate).visible());
    EXPECT_FALSE(c(MainControl::Tokui).visible());
    EXPECT_FALSE(form->timer2().enabled());
}

TEST_F(ResultsTest, TwoOfThreeGivesTwoDecimalsAndHidesTheKeys) {
    start(1);
    answer(300);
    answer(300);
    type(wrongKey());
    type(" ");
    EXPECT_EQ(accuracyLine(), std::string("正解率    66.67") + std::string(Percent));
    EXPECT_FALSE(c(MainControl::Nigate).visible());
    EXPECT_FALSE(c(MainControl::Tokui).visible());
    EXPECT_FALSE(form->timer2().enabled());
}

// 50 correct, 5 wrong and 10 Spaces: Spaces count for nothing, so C = 49 and the display shows C + 1.
TEST_F(ResultsTest, TestGradesCorrectKeysOnly) {
    start(5);
    EXPECT_TRUE(form->timer3().enabled());
    for (int i = 0; i < 50; ++i) {
        answer(100);
        if (i % 10 == 0) type(wrongKey());
        if (i % 5 == 0) type(" ");
    }
    EXPECT_EQ(form->session().state().Presses, 54);
    EXPECT_EQ(form->session().state().Misses, 5);
    // Nineteen seconds on time, then the program is held up for forty: the clock still counts 59.
    for (int i = 0; i < 19; ++i)
        platform::test::fireTimer(form->timer3());
    platform::test::fireTimer(form->timer3(), 40);
    EXPECT_TRUE(form->session().state().Running) << "59 seconds are not a minute";
    platform::test::fireTimer(form->timer3());
    EXPECT_FALSE(form->session().state().Running) << "a test held up ran past its minute";
    EXPECT_FALSE(form->timer3().enabled());
    EXPECT_TRUE(form->timer2().enabled());
    EXPECT_TRUE(c(MainControl::KP).visible());
    EXPECT_EQ(c(MainControl::kyu).text(), "六級");
    EXPECT_EQ(c(MainControl::mojisuu).text(), "１分間 50 文字");
    for (MainControl id : {MainControl::Label11, MainControl::kyu, MainControl::mojisuu})
        EXPECT_TRUE(centredIn(id, MainControl::kentei)) << static_cast<int>(id);
    for (MainControl id :
         {MainControl::Label5, MainControl::Panel8, MainControl::PanelNigate, MainControl::PanelTokui})
        EXPECT_FALSE(c(id).visible()) << static_cast<int>(id);
    EXPECT_TRUE(c(MainControl::ModeSelect).visible());
    EXPECT_EQ(c(MainControl::ModeSelect).itemIndex(), 5)
        << "Spaces left to the hidden mode selector changed the mode";
    EXPECT_TRUE(c(MainControl::Label6).visible());
    platform::test::fire(form->timer2());
    shoot("results-test");
}

// The frames flash: the strong-key frame is always the complement of the weak-key frame, and the
// mode selected at each tick decides which frames change.
TEST_F(ResultsTest, FramesFlashInComplementaryColours) {
    start(2);
    for (int i = 0; i < 3; ++i)
        answer(100);
    type(" ");
    for (int i = 0; i < 20; ++i) {
        clock.highRes = 0x9E3779B9u * static_cast<std::uint32_t>(i + 1);
        platform::test::fire(form->timer2());
        const auto weak = c(MainControl::PanelNigate).colour();
        EXPECT_EQ(c(MainControl::PanelTokui).colour(), weak ^ 0xFFFFFFu);
        for (int shift : {0, 8, 16})
            EXPECT_LT((weak >> shift) & 0xFF, 255u) << "each channel is drawn over 255 values";
    }
    const auto image = platform::test::grab(w());
    const int nx = x(MainControl::PanelNigate), ny = y(MainControl::PanelNigate);
    const int tx = x(MainControl::PanelTokui), ty = y(MainControl::PanelTokui);
    EXPECT_EQ(image.at(nx, ny), c(MainControl::PanelNigate).colour());
    EXPECT_EQ(image.at(nx + 149, ny + 124), c(MainControl::PanelNigate).colour());
    EXPECT_EQ(image.at(nx + 1, ny + 1), platform::clBlack) << "only the one-pixel frame flashes";
    EXPECT_EQ(image.at(tx, ty), c(MainControl::PanelTokui).colour());
    EXPECT_EQ(image.at(tx + 149, ty + 124), c(MainControl::PanelTokui).colour());

    // Seed 1 draws 8, 219 and 51 over 255 values (over 256 the second would be 220).
    clock.highRes = 1;
    platform::test::fire(form->timer2());
    EXPECT_EQ(c(MainControl::PanelNigate).colour(), 8u + 219u * 256u + 51u * 65536u);

    const auto kpBefore = c(MainControl::KP).colour();
    const auto weakBefore = c(MainControl::PanelNigate).colour();
    selectMode(5);
    clock.highRes = 777;
    platform::test::fire(form->timer2());
    EXPECT_NE(c(MainControl::KP).colour(), kpBefore)
        << "the test's frame flashes when the test mode is selected";
    EXPECT_EQ(c(MainControl::PanelNigate).colour(), weakBefore);
}

// The flashing goes on through the next drill and shares its generator: a flash tick reseeds it
// from the high-resolution clock, so the targets after the tick follow from that reading alone.
TEST_F(ResultsTest, FlashTickReseedsTheGeneratorOfTheNextTargets) {
    start(2);
    for (int i = 0; i < 3; ++i)
        answer(100);
    type(" ");
    start(4);
    ASSERT_TRUE(form->timer2().enabled());
    constexpr std::uint32_t Reading = 0xC0FFEEu;
    clock.highRes = Reading;
    platform::test::fire(form->timer2());

    drill::Random expected(Reading);
    for (int channel = 0; channel < 3; ++channel)
        expected.draw(255);
    const std::string set = form->session().state().DrillSet;
    for (int i = 0; i < 5; ++i) {
        const char answered = answer(100);
        char next = answered;
        while (next == answered)
            next = set[expected.draw(static_cast<std::uint32_t>(set.size()))];
        EXPECT_EQ(target(), next) << "target " << i << " after the flash tick";
    }
}
