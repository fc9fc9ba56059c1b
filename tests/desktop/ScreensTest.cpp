// The program on a desktop of two screens, as the offscreen platform is configured for this test:
// the primary screen on the right at a pixel ratio of 1, and a second screen to its left, at the
// desktop's origin, with a pixel ratio of 2 (200 % scaling). Both are 1024x768 logical pixels.

#include "tests/FormFixture.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using platform::Colour;
using platform::test::Image;

namespace {

constexpr int SecondScreen = 1;

// Where a picture at twice the pixel ratio differs from the one at 1 enlarged pixel by pixel: every
// fill, frame and picture must come out as solid 2x2 blocks of the same colour. Text is drawn anew
// at twice the resolution, sharper, so the places where text is drawn are left out, with a pixel to
// spare around them.
struct Comparison {
    int compared = 0;
    int different = 0;
    std::string where;
};

Comparison compareScaled(const Image& once, const Image& twice,
                         const std::vector<platform::test::Rect>& text) {
    std::vector<bool> skip(once.pixels.size(), false);
    for (const auto& r : text)
        for (int y = std::max(0, r.top - 1); y < std::min(once.height, r.top + r.height + 1); ++y)
            for (int x = std::max(0, r.left - 1); x < std::min(once.width, r.left + r.width + 1); ++x)
                skip[static_cast<std::size_t>(y * once.width + x)] = true;
    Comparison result;
    for (int y = 0; y < once.height; ++y)
        for (int x = 0; x < once.width; ++x) {
            if (skip[static_cast<std::size_t>(y * once.width + x)]) continue;
            ++result.compared;
            const Colour want = once.at(x, y);
            const bool same = twice.at(2 * x, 2 * y) == want && twice.at(2 * x + 1, 2 * y) == want &&
                              twice.at(2 * x, 2 * y + 1) == want && twice.at(2 * x + 1, 2 * y + 1) == want;
            if (!same && result.different++ < 10)
                result.where += " " + std::to_string(x) + "," + std::to_string(y);
        }
    return result;
}

class ScreensTest : public FormTest {
protected:
    void SetUp() override {
        const auto all = platform::test::screens();
        ASSERT_EQ(all.size(), 2u) << "the test's screen configuration is not loaded";
        primary = all[0].geometry;
        ASSERT_NE(primary.left, 0) << "the primary screen must lie away from the desktop's origin";
        ASSERT_EQ(all[0].pixelRatio, 1.0);
        ASSERT_EQ(all[SecondScreen].pixelRatio, 2.0);
        FormTest::SetUp();
    }
    platform::test::Rect primary{};
};

} // namespace

TEST_F(ScreensTest, MainWindowCoversThePrimaryScreen) {
    const auto frame = platform::test::desktopGeometry(w());
    EXPECT_EQ(frame.left, primary.left);
    EXPECT_EQ(frame.top, primary.top);
    EXPECT_EQ(frame.width, primary.width);
    EXPECT_EQ(frame.height, primary.height);
    EXPECT_EQ(w().left(), 0) << "window places are measured from the primary screen";
    EXPECT_EQ(w().top(), 0);
}

TEST_F(ScreensTest, AboutBoxOpensCentredOnThePrimaryScreen) {
    about->open();
    platform::test::processEvents();
    platform::Window& box = about->window();
    const auto frame = platform::test::desktopGeometry(box);
    EXPECT_EQ(frame.left, primary.left + centred(primary.width, box.outerWidth()));
    EXPECT_EQ(frame.top, primary.top + centred(primary.height, box.outerHeight()));
}

// An X window manager that does not tell the frame beforehand frames the box after it is shown and
// announces the frame then: during the first showing the box is centred again by its outer size,
// and the window shown once more in the meantime is still in its first showing. Once the box has
// been closed, a late announcement moves nothing.
TEST_F(ScreensTest, AFrameAnnouncedDuringTheFirstShowingCentresTheBoxAgain) {
    constexpr int Side = 4, Caption = 30;
    struct Row {
        const char* situation;
        bool shownTwice, closedFirst;
    };
    for (Row r : {Row{"shown once", false, false}, Row{"shown twice", true, false},
                  Row{"closed first", false, true}}) {
        SCOPED_TRACE(r.situation);
        about = std::make_unique<TAboutBox>();
        form->setAboutBox(*about);
        platform::Window& box = about->window();
        about->open();
        if (r.shownTwice) box.show();
        if (r.closedFirst) box.close();
        const int left = box.left(), top = box.top();
        platform::test::announceFrame(box, Side, Caption, Side, Side);
        platform::test::processEvents();
        if (r.closedFirst) {
            about->open();
            EXPECT_EQ(box.left(), left);
            EXPECT_EQ(box.top(), top);
            continue;
        }
        ASSERT_EQ(box.outerHeight(), box.clientHeight() + Caption + Side);
        EXPECT_EQ(box.left(), centred(primary.width, box.outerWidth()));
        EXPECT_EQ(box.top(), centred(primary.height, box.outerHeight()));
    }
}

// A compositor that maximises every window (a phone shell, a kiosk) is turned back twice per
// showing (a maximise button reports its request and the compositor's answer) and then has its
// way, so that the request and the answer do not bounce for ever; a box closed before the answer
// stays closed.
TEST_F(ScreensTest, AMaximisedBoxIsTurnedBackOncePerShowing) {
    using platform::test::desktopMaximises, platform::test::maximised, platform::test::processEvents;
    platform::Window& box = about->window();
    for (int showing = 1; showing <= 2; ++showing) {
        SCOPED_TRACE(showing);
        about->open();
        for (int request = 1; request <= 2; ++request) {
            desktopMaximises(box);
            processEvents();
            EXPECT_FALSE(maximised(box)) << request;
        }
        desktopMaximises(box);
        processEvents();
        EXPECT_TRUE(maximised(box));
        EXPECT_TRUE(box.visible());
        box.close();
        processEvents();
    }
    about->open();
    desktopMaximises(box);
    box.close();
    processEvents();
    EXPECT_FALSE(box.visible());
}

// 200 % scaling draws each screen as 100 % does, twice as large.
TEST_F(ScreensTest, TwiceThePixelRatioLooksLikeTheSameScreenScaledUp) {
    struct Row {
        const char* name;
        std::function<void()> reach;
    };
    constexpr int KeyboardMode = 6;
    const Row rows[] = {
        {"idle", [] {}},
        {"drill-miss",
         [this] {
             f1();
             type(" ");
             type(wrongKey());
         }},
        {"results",
         [this] {
             f1();
             type(" ");
             for (int i = 0; i < 3; ++i)
                 type(targetText());
             type(wrongKey());
             type(" ");
         }},
        {"keyboard",
         [this] {
             selectMode(KeyboardMode);
             f1();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        FormTest::SetUp();
        row.reach();
        platform::test::deliverPosted();
        const Image once = platform::test::grab(w());
        platform::test::moveToScreen(w(), SecondScreen);
        const Image twice = platform::test::grab(w());
        shoot(std::string(row.name) + "-at-200-percent");
        ASSERT_EQ(twice.width, 2 * once.width);
        ASSERT_EQ(twice.height, 2 * once.height);
        const Comparison c = compareScaled(once, twice, platform::test::textAreas(w()));
        EXPECT_EQ(c.different, 0) << "of " << c.compared << " pixels compared; at" << c.where;
    }
}
