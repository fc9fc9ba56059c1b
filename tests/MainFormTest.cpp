#include "FormFixture.h"

#include <algorithm>
#include <set>

using platform::test::controlAt;
using platform::test::toolTipAt;

namespace {

constexpr std::string_view ChooseModeMessage = "モードを選択してから\r\n\r\nＯＫをクリックしてね！";
constexpr std::string_view StartMessage = "開始するときは\r\n\r\nスペース・キー";
constexpr std::string_view EndMessage = "終了する時は\r\n\r\nスペース・キー";

void checkStructure(std::span<const platform::ControlRow> rows, MainControl window) {
    std::set<int> seen{static_cast<int>(window)};
    for (const auto& row : rows) {
        EXPECT_TRUE(seen.count(row.parent.id)) << "parent after child: " << row.name.id;
        EXPECT_TRUE(seen.insert(row.name.id).second) << "name twice: " << row.name.id;
    }
}

} // namespace

// The tables: unique names, parents before children, and every name the handlers use is built.
TEST(MainFormTable, StructureHolds) {
    checkStructure(mainFormControls(), MainControl::MofuForm1);
    std::vector<platform::ControlRow> all(mainFormControls().begin(), mainFormControls().end());
    all.insert(all.end(), keyPanelControls().begin(), keyPanelControls().end());
    checkStructure(std::span<const platform::ControlRow>(all), MainControl::MofuForm1);
    EXPECT_EQ(all.size(), static_cast<std::size_t>(MainControl::FirstKey) - 1 + 3 * KeyCount);
    for (const auto& row : all)
        if (row.hint.find('|') != std::string_view::npos) {
            EXPECT_TRUE(row.style & platform::ShowHint);
        }
}

TEST_F(FormTest, StartsIdleCoveringTheScreen) {
    EXPECT_EQ(w().clientWidth(), screen().width);
    EXPECT_EQ(w().clientHeight(), screen().height);
    for (MainControl id : {MainControl::ModeSelect, MainControl::Panel1, MainControl::Panel2,
                           MainControl::Panel3, MainControl::Label3, MainControl::ProgressBar1})
        EXPECT_TRUE(c(id).visible()) << static_cast<int>(id);
    for (MainControl id : {MainControl::Panel6, MainControl::Panel8, MainControl::PanelNigate,
                           MainControl::PanelTokui, MainControl::KP, MainControl::KeyPanel,
                           MainControl::Label6, MainControl::mofu, MainControl::Label12})
        EXPECT_FALSE(c(id).visible()) << static_cast<int>(id);
    EXPECT_EQ(c(MainControl::ModeSelect).itemIndex(), 2);
    EXPECT_TRUE(c(MainControl::OKButton1).enabled());
    EXPECT_EQ(c(MainControl::Label3).text(), ChooseModeMessage);
    EXPECT_EQ(c(MainControl::Label3).left(), centred(screen().width, c(MainControl::Label3).width()));
    EXPECT_EQ(c(MainControl::Label3).height(), 3 * 27) << "three lines, the middle one empty";
    for (MainControl id : {MainControl::Label1, MainControl::Label2, MainControl::Label7, MainControl::Label8,
                           MainControl::Label9})
        EXPECT_EQ(c(id).text(), "");
    // The progress bar spans the bottom edge at its own height.
    EXPECT_EQ(c(MainControl::ProgressBar1).left(), 0);
    EXPECT_EQ(c(MainControl::ProgressBar1).width(), screen().width);
    EXPECT_EQ(c(MainControl::ProgressBar1).top() + c(MainControl::ProgressBar1).height(), screen().height);
    EXPECT_EQ(c(MainControl::ProgressBar1).position(), 0);
    EXPECT_FALSE(form->timer1().enabled());
    EXPECT_EQ(form->timer1().interval(), 30);
    EXPECT_FALSE(form->timer2().enabled());
    EXPECT_FALSE(form->timer3().enabled());
}

// The places start-up computes from the screen, written out for each screen the suites run on:
// integer centring truncates toward zero, so an odd width and a screen narrower than the keyboard
// picture each have their own row.
TEST_F(FormTest, ScreenDependentPlaces) {
    struct Row {
        int width, height;
        int kpLeft, kpTop, nigateLeft, tokuiLeft, keyPanelLeft, keyPanelTop;
    };
    const Row rows[] = {
        {1024, 768, 412, 309, 337, 537, 112, 219},
        {1023, 768, 411, 309, 336, 536, 111, 219},
        {640, 480, 220, 165, 145, 345, -80, 75},
    };
    const Row* r = nullptr;
    for (const Row& row : rows)
        if (row.width == screen().width && row.height == screen().height) r = &row;
    ASSERT_NE(r, nullptr) << "no row for a " << screen().width << "x" << screen().height << " screen";
    EXPECT_EQ(c(MainControl::KP).left(), r->kpLeft);
    EXPECT_EQ(c(MainControl::KP).top(), r->kpTop);
    EXPECT_EQ(c(MainControl::PanelNigate).left(), r->nigateLeft);
    EXPECT_EQ(c(MainControl::PanelTokui).left(), r->tokuiLeft);
    EXPECT_EQ(c(MainControl::KeyPanel).left(), r->keyPanelLeft);
    EXPECT_EQ(c(MainControl::KeyPanel).top(), r->keyPanelTop);
    // The top row reads OK, exit, info on every screen.
    EXPECT_EQ(c(MainControl::Panel1).left(), 50);
    EXPECT_EQ(c(MainControl::Panel2).left(), 200);
    EXPECT_EQ(c(MainControl::Panel3).left(), 370);
}

// A wrong key shows below the target box, centred in the window, with the picture beside it.
TEST_F(FormTest, WrongKeyShownBelowTheTargetWithABeep) {
    f1();
    type(" ");
    const char expected = target();
    const int beeps = platform::test::beepCount();
    for (std::string_view typed : {"x", "Q", "\r", "ü", "あ", "&"}) {
        if (typed == std::string_view(&expected, 1)) continue;
        type(typed);
        const auto miss = c(MainControl::Label2);
        EXPECT_TRUE(miss.visible());
        EXPECT_EQ(miss.text(), typed == "&" ? "&&" : std::string(typed)) << "shown as typed";
        EXPECT_EQ(miss.left(), centred(screen().width, miss.width()));
        EXPECT_EQ(miss.top(), c(MainControl::Panel6).top() + 140);
        EXPECT_TRUE(c(MainControl::mofu).visible());
        EXPECT_EQ(c(MainControl::mofu).left(), miss.left() + miss.width() + 50);
        EXPECT_EQ(c(MainControl::mofu).top(), miss.top() + 70);
    }
    EXPECT_EQ(platform::test::beepCount(), beeps + 6);
    EXPECT_EQ(target(), expected) << "the target stays after a miss";
    EXPECT_EQ(form->session().state().Misses, 6);
    shoot("drill-miss");
    // The next correct answer clears the miss.
    type(targetText());
    EXPECT_EQ(c(MainControl::Label2).text(), "");
    EXPECT_FALSE(c(MainControl::mofu).visible());
}

// Outside a drill a character rewrites the message where it stands: the idle message's place, not
// that of the new text centred. Keys that type nothing are no characters in a drill either.
TEST_F(FormTest, CharactersOutsideADrillRewriteTheMessageInPlace) {
    const int left = c(MainControl::Label3).left();
    type("a");
    EXPECT_EQ(c(MainControl::Label3).text(), EndMessage);
    EXPECT_EQ(c(MainControl::Label3).left(), left) << "centred again";
    f1();
    type(" ");
    const auto presses = form->session().state().Presses;
    platform::test::pressSilent(w(), platform::test::SilentKey::Left);
    platform::test::pressSilent(w(), platform::test::SilentKey::ShiftKey);
    platform::test::pressSilent(w(), platform::test::SilentKey::F2);
    EXPECT_EQ(form->session().state().Presses, presses);
}

// The bar restarts for each target, holds when full and stops when the drill ends. It repaints only
// the columns a tick changes; what the repaints leave must be the bar a full repaint draws, filled
// from the left to its position and button face beyond.
TEST_F(FormTest, ProgressBarRepaintsLeaveTheWholeBar) {
    f1();
    type(" ");
    platform::test::deliverPosted();
    const int left = platform::test::windowX(w(), static_cast<int>(MainControl::ProgressBar1)) + 1;
    const int row = platform::test::windowY(w(), static_cast<int>(MainControl::ProgressBar1)) + 2;
    const int inner = c(MainControl::ProgressBar1).width() - 2;
    auto checkBar = [&](const char* when) {
        const platform::test::Image image = platform::test::painted(w());
        ASSERT_GT(image.width, left + inner) << when;
        const int filled = inner * c(MainControl::ProgressBar1).position() / 100;
        int wrong = -1;
        for (int x = 0; x < inner && wrong < 0; ++x)
            if (image.at(left + x, row) != (x < filled ? 0x800000u : platform::resolve(platform::clBtnFace)))
                wrong = x;
        EXPECT_EQ(wrong, -1) << when << ": column " << wrong << " of the bar at "
                             << c(MainControl::ProgressBar1).position();
    };
    for (int i = 0; i < 100; ++i) {
        platform::test::fireTimer(form->timer1());
        platform::test::deliverPosted();
        if (i % 7 == 0 || i >= 98) checkBar("filling");
    }
    EXPECT_EQ(c(MainControl::ProgressBar1).position(), 100);
    EXPECT_FALSE(platform::test::fireTimer(form->timer1())) << "a full bar still wakes the program";
    type(targetText());
    platform::test::deliverPosted();
    EXPECT_EQ(c(MainControl::ProgressBar1).position(), 0) << "each target restarts the bar";
    checkBar("restarted");
    platform::test::fireTimer(form->timer1());
    platform::test::deliverPosted();
    EXPECT_EQ(c(MainControl::ProgressBar1).position(), 1);
    checkBar("one tick after the restart");
    type(" ");
    EXPECT_FALSE(platform::test::fireTimer(form->timer1())) << "the bar's timer runs on after the drill";
    EXPECT_EQ(c(MainControl::ProgressBar1).position(), 1) << "stops where it was when the drill ends";
}

// A learner who brushes Ctrl or Alt has typed no answer: the key is neither judged nor shown,
// right letter or wrong, and outside a drill it is not taken as a character either.
TEST_F(FormTest, KeysWithCtrlOrAltHeldAreNoAnswers) {
    namespace pt = platform::test;
    const unsigned chords[] = {pt::Ctrl, pt::Alt, pt::Ctrl | pt::Shift, pt::Alt | pt::Shift,
                               pt::Ctrl | pt::Alt};
    const std::string idleMessage = c(MainControl::Label3).text();
    for (unsigned held : chords)
        pt::typeChord(w(), 'w', held);
    EXPECT_EQ(c(MainControl::Label3).text(), idleMessage);

    selectMode(1); // the upper row: every target is a letter but "@" and "["
    f1();
    type(" ");
    const auto& s = form->session().state();
    const auto presses = s.Presses;
    const int beeps = pt::beepCount();
    const char expected = target();
    for (unsigned held : chords)
        for (char letter : {'q', 'w', expected})
            if (letter >= 'a' && letter <= 'z') pt::typeChord(w(), letter, held);
    EXPECT_EQ(s.Presses, presses);
    EXPECT_EQ(s.Misses, 0);
    EXPECT_EQ(pt::beepCount(), beeps);
    EXPECT_EQ(target(), expected);
    EXPECT_EQ(c(MainControl::Label2).text(), "");
    EXPECT_FALSE(c(MainControl::mofu).visible());
    // The plain key right after is judged as usual.
    type(targetText());
    EXPECT_EQ(s.Presses, presses + 1);
    EXPECT_EQ(s.Misses, 0);
}

TEST_F(FormTest, F1OnlyWithoutModifiers) {
    for (unsigned held : {platform::test::Shift, platform::test::Ctrl, platform::test::Alt}) {
        platform::test::pressF1(w(), held);
        EXPECT_TRUE(c(MainControl::ModeSelect).visible()) << held;
    }
    platform::test::pressF1(w());
    EXPECT_FALSE(c(MainControl::ModeSelect).visible());
}

// A click is a left press and release inside the inner panel; a disabled button ignores it but
// F1 still prepares.
TEST_F(FormTest, PanelButtonClickRules) {
    const int frameX = x(MainControl::Panel1), frameY = y(MainControl::Panel1);
    platform::test::click(w(), frameX, frameY + 10);
    EXPECT_TRUE(c(MainControl::ModeSelect).visible()) << "a click on the frame runs nothing";
    platform::test::press(w(), x(MainControl::OKButton1) + 10, y(MainControl::OKButton1) + 10);
    platform::test::release(w(), 600, 600);
    EXPECT_TRUE(c(MainControl::ModeSelect).visible()) << "released outside runs nothing";
    platform::test::press(w(), x(MainControl::OKButton1) + 10, y(MainControl::OKButton1) + 10,
                          platform::MouseButton::Right);
    platform::test::release(w(), x(MainControl::OKButton1) + 10, y(MainControl::OKButton1) + 10,
                            platform::MouseButton::Right);
    EXPECT_TRUE(c(MainControl::ModeSelect).visible()) << "only the left button clicks";

    const auto enabledLook = platform::test::grab(w());
    click(MainControl::OKButton1);
    EXPECT_FALSE(c(MainControl::ModeSelect).visible());
    type(" ");
    ASSERT_FALSE(c(MainControl::OKButton1).enabled());
    click(MainControl::OKButton1);
    EXPECT_EQ(c(MainControl::Label3).text(), EndMessage) << "a disabled OK button ignores clicks";
    f1();
    EXPECT_EQ(c(MainControl::Label3).text(), StartMessage);
    // Disabled, it looks as it did enabled: its caption in aqua on black, nothing greyed.
    const auto disabledLook = platform::test::grab(w());
    for (int yy = y(MainControl::OKButton1); yy < y(MainControl::OKButton1) + 34; ++yy)
        for (int xx = x(MainControl::OKButton1); xx < x(MainControl::OKButton1) + 100; ++xx)
            ASSERT_EQ(disabledLook.at(xx, yy), enabledLook.at(xx, yy)) << xx << "," << yy;
}

TEST_F(FormTest, ToolTipsAndCursorsOnThePanelButtonsOnly) {
    struct Row {
        MainControl control;
        std::string tip;
    };
    for (const Row& r :
         {Row{MainControl::OKButton1, "開始"}, Row{MainControl::ExitButton1, "終了"},
          Row{MainControl::Panel4, "バージョン情報"}, Row{MainControl::Panel5, "バージョン情報"}}) {
        // The info buttons keep their place off a narrow screen: the part on it is tried there.
        const int cx =
            std::min(platform::test::centreX(w(), static_cast<int>(r.control)), screen().width - 5);
        const int cy = platform::test::centreY(w(), static_cast<int>(r.control));
        EXPECT_EQ(toolTipAt(w(), cx, cy), r.tip);
        EXPECT_EQ(platform::test::cursorAt(w(), cx, cy), platform::Cursor::HandPoint);
    }
    for (MainControl frame : {MainControl::Panel1, MainControl::Panel2, MainControl::Panel3}) {
        EXPECT_EQ(toolTipAt(w(), x(frame), y(frame)), "");
        EXPECT_EQ(platform::test::cursorAt(w(), x(frame), y(frame)), platform::Cursor::Default);
    }
    EXPECT_EQ(toolTipAt(w(), x(MainControl::Label3) + 5, y(MainControl::Label3) + 5), "");
    EXPECT_EQ(toolTipAt(w(), 700, 500), "");
}

// The two info buttons share one pixel column; the later one lies above and takes the click there.
TEST_F(FormTest, InfoButtonsOverlapByOneColumn) {
    const int overlap = x(MainControl::Panel3) + 200;
    EXPECT_EQ(controlAt(w(), overlap, 48), static_cast<int>(MainControl::Panel5));
    EXPECT_EQ(controlAt(w(), overlap - 1, 48), static_cast<int>(MainControl::Panel4));
    // The frame's right edge; on a narrow screen the last column shown is still the later button's.
    const int right = x(MainControl::Panel3) + 349;
    if (right < screen().width)
        EXPECT_EQ(controlAt(w(), right, 48), static_cast<int>(MainControl::Panel3))
            << "the frame's right edge";
    else
        EXPECT_EQ(controlAt(w(), screen().width - 1, 48), static_cast<int>(MainControl::Panel5));
}

// Label sizing: an empty label keeps one space's width and one line; "&" is an accelerator mark.
TEST_F(FormTest, LabelsSizeToTheirText) {
    auto label = c(MainControl::Label6);
    label.setText("");
    const int emptyWidth = label.width();
    EXPECT_GT(emptyWidth, 0);
    EXPECT_EQ(label.height(), 27);
    label.setText(" ");
    EXPECT_EQ(label.width(), emptyWidth);
    label.setText("&");
    EXPECT_EQ(label.width(), emptyWidth) << "a lone accelerator mark draws nothing";
    label.setText("&&");
    const int ampersand = label.width();
    label.setText("&&&&");
    EXPECT_EQ(label.width(), 2 * ampersand);
    label.setText("a\r\nb");
    EXPECT_EQ(label.height(), 2 * 27);
    label.setText("a\rb");
    EXPECT_EQ(label.height(), 27) << "only CR LF breaks a line";
}

// A label whose text changes while its panel is hidden takes the new text's size by the time the
// panel is shown again, with nobody asking for its size in between: a longer text is drawn whole,
// not cut at the width of the old one.
TEST_F(FormTest, LabelChangedWhileHiddenIsDrawnWhole) {
    const int id = static_cast<int>(MainControl::mojisuu);
    const std::string text = "WWWWWWW";
    c(MainControl::KP).setVisible(false);
    c(MainControl::mojisuu).setText(text);
    c(MainControl::KP).setVisible(true);
    platform::test::deliverPosted();
    const int wide = platform::test::textWidth(w(), id, text);
    ASSERT_GT(wide, platform::test::textWidth(w(), id, "mojisuu") + 20);
    const platform::test::Image image = platform::test::painted(w());
    const int left = platform::test::windowX(w(), id), top = platform::test::windowY(w(), id);
    int inked = 0;
    for (int y = top; y < top + 20; ++y)
        for (int x = left + wide - wide / 5; x < left + wide; ++x)
            if (image.at(x, y) == platform::clWhite) ++inked;
    EXPECT_GT(inked, 0) << "nothing drawn of the last fifth of the new text";
    EXPECT_EQ(c(MainControl::mojisuu).width(), wide);
}

// The byte 0x5C is drawn as a yen sign and the full-width backslash as a backslash, whatever the font.
TEST_F(FormTest, BackslashDrawnAsYen) {
    auto label = c(MainControl::Label6);
    label.setVisible(true);
    // The same area for every text, wider than any of the three glyphs, so that only the drawing
    // can tell them apart.
    auto pixelsOf = [&](std::string_view text) {
        label.setText(text);
        const auto image = platform::test::grab(w());
        std::vector<platform::Colour> pixels;
        for (int yy = label.top(); yy < label.top() + 27; ++yy)
            for (int xx = label.left(); xx < label.left() + 40; ++xx)
                pixels.push_back(image.at(xx, yy));
        return pixels;
    };
    EXPECT_EQ(pixelsOf("\\"), pixelsOf("¥"));
    EXPECT_NE(pixelsOf("\\"), pixelsOf("＼"));
}

TEST_F(FormTest, ModeSelectorItemGeometry) {
    for (int i = 0; i < 7; ++i) {
        const auto item = platform::test::itemRect(w(), static_cast<int>(MainControl::ModeSelect), i);
        EXPECT_EQ(item.left, 8);
        EXPECT_EQ(item.width, 140);
        EXPECT_EQ(item.height, 22);
        EXPECT_EQ(item.top, 19 + 22 * i);
    }
}

namespace {

// A one-pixel frame in its colour on every side, with the black inner panel right inside it.
void expectFrame(const platform::test::Image& image, int left, int top, int width, int height,
                 platform::Colour colour, const char* name) {
    const int right = left + width - 1, bottom = top + height - 1;
    for (int xx = left; xx <= right; ++xx) {
        if (xx < 0 || xx >= image.width) continue;
        ASSERT_EQ(image.at(xx, top), colour) << name << " top edge at " << xx;
        ASSERT_EQ(image.at(xx, bottom), colour) << name << " bottom edge at " << xx;
    }
    for (int yy = top; yy <= bottom; ++yy) {
        ASSERT_EQ(image.at(left, yy), colour) << name << " left edge at " << yy;
        if (right < image.width) {
            ASSERT_EQ(image.at(right, yy), colour) << name << " right edge at " << yy;
        }
    }
    EXPECT_EQ(image.at(left + 1, top + 1), platform::clBlack) << name;
    EXPECT_EQ(image.at(left + 1, bottom - 1), platform::clBlack) << name;
}

} // namespace

// The pictures of the idle screen, a prepared drill, a running drill and a wrong key, probed where
// start-up and the drill put the frames.
TEST_F(FormTest, ScreenshotsShowTheFramesWhereTheyBelong) {
    auto image = platform::test::grab(w());
    shoot("idle");
    expectFrame(image, 50, 30, 102, 36, platform::clLime, "OK");
    expectFrame(image, 200, 30, 102, 36, platform::clLime, "exit");
    expectFrame(image, 370, 30, 350, 36, platform::clBlue, "info");
    EXPECT_EQ(image.at(370 + 200, 31), platform::clBlack) << "no frame between the info buttons";
    // The docked bar: its well is drawn in the button face along the whole bottom edge.
    const platform::Colour face = platform::resolve(platform::clBtnFace);
    EXPECT_EQ(image.at(screen().width / 2, screen().height - 9), face);
    EXPECT_EQ(image.at(screen().width / 2, screen().height - 18), platform::clBlack);

    f1();
    image = platform::test::grab(w());
    shoot("prepared");
    const int boxLeft = centred(screen().width, 140), boxTop = centred(screen().height, 140);
    expectFrame(image, boxLeft, boxTop, 140, 140, platform::clFuchsia, "target box");

    type(" ");
    image = platform::test::grab(w());
    shoot("running");
    expectFrame(image, boxLeft, boxTop, 140, 140, platform::clFuchsia, "target box");
    bool white = false;
    for (int yy = boxTop + 1; yy < boxTop + 139 && !white; ++yy)
        for (int xx = boxLeft + 1; xx < boxLeft + 139 && !white; ++xx)
            white = image.at(xx, yy) == platform::clWhite;
    EXPECT_TRUE(white) << "the target is drawn in white";

    type(wrongKey());
    image = platform::test::grab(w());
    shoot("wrong-key");
    // The picture sits at the top-left of its 33x41 box; the last column and rows show the window.
    const int pawLeft = x(MainControl::mofu), pawTop = y(MainControl::mofu);
    bool yellow = false;
    for (int yy = pawTop; yy < pawTop + 32; ++yy)
        for (int xx = pawLeft; xx < pawLeft + 32; ++xx)
            yellow = yellow || image.at(xx, yy) == platform::clYellow;
    EXPECT_TRUE(yellow) << "the cat paw is yellow";
    for (int yy = pawTop; yy < pawTop + 41; ++yy)
        EXPECT_EQ(image.at(pawLeft + 32, yy), platform::clBlack);
    for (int xx = pawLeft; xx < pawLeft + 33; ++xx)
        EXPECT_EQ(image.at(xx, pawTop + 32), platform::clBlack);
}
