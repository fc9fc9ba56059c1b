// The About box beside a main window: its table, what it keeps from the main window while it is
// active, and a picture of it. Where it opens, the ways it closes and which window is active the
// randomized driver checks after every event.

#include "FormFixture.h"

#include "drill/Modes.h"

#include <algorithm>
#include <set>
#include <string_view>

using platform::Colour;

namespace {

constexpr int HomeRowMode = 2; // a practice drill, which Space would end

int brightness(Colour colour) {
    return static_cast<int>((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF));
}

} // namespace

TEST(AboutBoxTable, StructureHolds) {
    std::set<int> seen{static_cast<int>(AboutControl::AboutBox)};
    int defaultButtons = 0;
    for (const auto& row : aboutBoxControls()) {
        EXPECT_TRUE(seen.contains(row.parent.id)) << row.name.id << " comes before its parent";
        EXPECT_TRUE(seen.insert(row.name.id).second) << row.name.id << " is listed twice";
        if (row.style & platform::DefaultButton) {
            ++defaultButtons;
            EXPECT_EQ(row.name.id, static_cast<int>(AboutControl::OKButton));
        }
    }
    EXPECT_EQ(defaultButtons, 1);
}

class AboutBoxTest : public FormTest {
protected:
    platform::Window& box() { return about->window(); }
    platform::Control b(AboutControl id) { return about->c(id); }
    void typeIntoBox(std::string_view text) { platform::test::type(box(), text); }
    // The info buttons keep their place on every screen; on a narrow one part of Panel5 lies past
    // the right edge, so the click goes to the middle of the part that shows.
    void clickInfo(MainControl info) {
        const int left = x(info), right = std::min(left + c(info).width(), w().clientWidth());
        platform::test::click(w(), (left + right) / 2, y(info) + c(info).height() / 2);
    }
    void startDrill(int mode) {
        selectMode(mode);
        f1();
        type(" ");
        ASSERT_EQ(form->session().phase(), drill::Phase::Running);
    }
};

TEST_F(AboutBoxTest, StartsHiddenAsAFixedDialogBox) {
    EXPECT_FALSE(box().visible());
    const platform::test::Frame frame = platform::test::frameOf(box());
    EXPECT_EQ(frame.caption, "バージョン情報");
    EXPECT_TRUE(frame.closeBox);
    EXPECT_FALSE(frame.minimiseBox);
    EXPECT_FALSE(frame.maximiseBox);
    EXPECT_FALSE(frame.resizable);
    // A top-level window at the main window's level, which a click on the main window covers.
    EXPECT_FALSE(platform::test::keptInFrontOfOthers(box()));
}

// Typed characters, Space included, belong to the box while it is active; the drill underneath
// keeps its target and its timers and takes keys again once the box is closed.
TEST_F(AboutBoxTest, DrillGoesOnUnderneathAndKeepsItsKeys) {
    for (int mode : {HomeRowMode, drill::TestMode}) {
        SCOPED_TRACE(mode);
        startDrill(mode);
        const char targetBefore = target();
        const auto pressesBefore = form->session().state().Presses;
        const int beepsBefore = platform::test::beepCount();

        clickInfo(MainControl::Panel4);
        typeIntoBox(targetText() + wrongKey() + "1");
        EXPECT_EQ(target(), targetBefore);
        EXPECT_EQ(form->session().state().Presses, pressesBefore);
        EXPECT_EQ(platform::test::beepCount(), beepsBefore);
        EXPECT_FALSE(c(MainControl::mofu).visible());
        EXPECT_TRUE(form->timer1().enabled());
        EXPECT_EQ(form->timer3().enabled(), mode == drill::TestMode);
        const int position = c(MainControl::ProgressBar1).position();
        platform::test::fire(form->timer1());
        EXPECT_EQ(c(MainControl::ProgressBar1).position(), position + 1);

        // Space closes the box; a practice drill would have ended had the main window seen it.
        typeIntoBox(" ");
        EXPECT_FALSE(box().visible());
        EXPECT_EQ(form->session().phase(), drill::Phase::Running);
        EXPECT_EQ(target(), targetBefore);
        EXPECT_TRUE(form->timer1().enabled());
        EXPECT_EQ(form->timer3().enabled(), mode == drill::TestMode);

        type(targetText());
        EXPECT_EQ(form->session().state().Presses, pressesBefore + 1);
        if (mode != drill::TestMode) type(" ");
    }
}

// The labels stay inside the panel's two-pixel sunken frame; the motto breaks into two lines.
TEST_F(AboutBoxTest, TextsFitThePanel) {
    constexpr int FrameWidth = 2;
    const platform::Control panel = b(AboutControl::Panel1);
    for (AboutControl label : {AboutControl::ProductName, AboutControl::Version, AboutControl::Copyright,
                               AboutControl::Comments}) {
        SCOPED_TRACE(static_cast<int>(label));
        EXPECT_GE(b(label).left(), FrameWidth);
        EXPECT_LE(b(label).left() + b(label).width(), panel.width() - FrameWidth);
        EXPECT_LE(b(label).top() + b(label).height(), panel.height() - FrameWidth);
    }
    platform::Control motto = b(AboutControl::Comments);
    const std::string text = motto.text();
    const int twoLines = motto.height();
    motto.setText("ブ");
    EXPECT_EQ(twoLines, 2 * motto.height());
    motto.setText(text);
}

TEST_F(AboutBoxTest, Screenshot) {
    clickInfo(MainControl::Panel5);
    platform::test::processEvents();
    shoot("about-box", &box());
    const platform::test::Image image = platform::test::grab(box());
    const Colour face = platform::resolve(platform::clBtnFace);
    EXPECT_EQ(image.at(1, 1), face);
    EXPECT_EQ(image.at(image.width - 2, image.height - 2), face);

    // Sunken frame: dark above and left, light below and right, with a raised edge inside it.
    // The right edge is probed on the notice's line, where a notice too wide would cover it.
    using platform::test::windowX, platform::test::windowY;
    const int px = windowX(box(), static_cast<int>(AboutControl::Panel1)),
              py = windowY(box(), static_cast<int>(AboutControl::Panel1));
    const int right = px + b(AboutControl::Panel1).width() - 1,
              bottom = py + b(AboutControl::Panel1).height() - 1;
    const int midX = px + b(AboutControl::Panel1).width() / 2;
    const int midY = platform::test::centreY(box(), static_cast<int>(AboutControl::Copyright));
    struct Probe {
        std::string_view where;
        int x, y;
        bool darker;
    };
    for (Probe p :
         {Probe{"outer top", midX, py, true}, Probe{"outer left", px, midY, true},
          Probe{"outer bottom", midX, bottom, false}, Probe{"outer right", right, midY, false},
          Probe{"inner top", midX, py + 1, false}, Probe{"inner left", px + 1, midY, false},
          Probe{"inner bottom", midX, bottom - 1, true}, Probe{"inner right", right - 1, midY, true}}) {
        SCOPED_TRACE(p.where);
        if (p.darker)
            EXPECT_LT(brightness(image.at(p.x, p.y)), brightness(face));
        else
            EXPECT_GT(brightness(image.at(p.x, p.y)), brightness(face));
    }

    // The picture: stretched past its stored 32 pixels, its fuchsia background left undrawn.
    const int ix = windowX(box(), static_cast<int>(AboutControl::ProgramIcon)),
              iy = windowY(box(), static_cast<int>(AboutControl::ProgramIcon));
    const int iw = b(AboutControl::ProgramIcon).width(), ih = b(AboutControl::ProgramIcon).height();
    int fuchsia = 0, drawnLeft = iw, drawnRight = -1;
    for (int y = iy; y < iy + ih; ++y)
        for (int x = ix; x < ix + iw; ++x) {
            const Colour pixel = image.at(x, y);
            fuchsia += pixel == platform::clFuchsia;
            if (pixel != face) {
                drawnLeft = std::min(drawnLeft, x - ix);
                drawnRight = std::max(drawnRight, x - ix);
            }
        }
    EXPECT_EQ(fuchsia, 0);
    EXPECT_EQ(image.at(ix, iy + ih - 1), face);
    EXPECT_GT(drawnRight - drawnLeft + 1, 32);
}
