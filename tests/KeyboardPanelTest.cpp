// The keyboard reference picture driven as a person would: the Shift toggle, the backslash/yen note,
// entering and leaving mode 6. Expected pictures are captured from the running window at start-up,
// so the tests hold the toggle to its promise (two clicks change nothing) without restating the key
// table; where the keys lie and what colour their frames have is read back from grabbed pixels.

#include "FormFixture.h"

#include "drill/Modes.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using platform::Colour;
using platform::MouseButton;
namespace pt = platform::test;

namespace {

constexpr MainControl RowPanels[] = {MainControl::saijyodan, MainControl::jyoudan, MainControl::chudan,
                                     MainControl::gedan};

// Everything a key shows; a round trip must give back every field.
struct KeyLook {
    std::string legend, legendHint, panelHint;
    int left, top, width;
    Colour fontColour;
    bool operator==(const KeyLook&) const = default;
};

struct PanelLook {
    std::vector<KeyLook> keys;
    bool noteVisible;
    std::string note;
    Colour noteColour;
    int noteLeft;
    Colour shiftColour;
    std::string shiftHint, shiftText;
    bool operator==(const PanelLook&) const = default;
};

struct Point {
    int x, y;
};

class KeyboardPanelTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        startUp = look();
    }

    void enterWithOk() {
        selectMode(drill::KeyboardMode);
        click(MainControl::OKButton1);
    }
    void shift() { click(MainControl::ShiftButton); }

    PanelLook look() {
        PanelLook p{{},
                    c(MainControl::Label13).visible(),
                    c(MainControl::Label13).text(),
                    c(MainControl::Label13).fontColour(),
                    c(MainControl::Label13).left(),
                    c(MainControl::ShiftButton).fontColour(),
                    c(MainControl::ShiftButton).hint(),
                    c(MainControl::ShiftButton).text()};
        for (const KeyRow& k : keyTable()) {
            platform::Control legend = c(keyLegend(k.key));
            p.keys.push_back({legend.text(), legend.hint(), c(keyPanel(k.key)).hint(), legend.left(),
                              legend.top(), legend.width(), legend.fontColour()});
        }
        return p;
    }

    static const KeyRow& key(int n) { return keyTable()[static_cast<std::size_t>(n - 1)]; }
    static int id(MainControl control) { return static_cast<int>(control); }

    // A key's frame lies 5 + 60 × i pixels from the left of its row panel and 5 from its top.
    Point frameAt(const KeyRow& k) {
        return {x(RowPanels[k.row]) + 5 + 60 * k.position, y(RowPanels[k.row]) + 5};
    }
    // Inside a key: the key panel one pixel in from the frame, below the legend; the legend, whose
    // corner sits at 16, 10 in the key panel (the wide backslash's at 11, 10).
    static Point keyPanelSpot(Point frame) { return {frame.x + 3, frame.y + 46}; }
    static Point legendSpot(const KeyRow& k, Point frame) {
        return {frame.x + 1 + (k.key == KeyCount ? 11 : 16) + 2, frame.y + 1 + 10 + 13};
    }
    // Whether a key's 50-pixel frame lies wholly on the screen: on small screens the panel is wider
    // than the screen and keys off its edges are skipped.
    bool onScreen(Point frame) {
        return frame.x >= 0 && frame.y >= 0 && frame.x + 50 <= screen().width &&
               frame.y + 50 <= screen().height;
    }
    std::string tipAt(Point p) { return pt::toolTipAt(w(), p.x, p.y); }
    Point centreOf(MainControl control) {
        return {pt::centreX(w(), id(control)), pt::centreY(w(), id(control))};
    }
    std::string tipOn(MainControl control) { return tipAt(centreOf(control)); }
    std::vector<Colour> pixels() { return pt::grab(w()).pixels; }

    PanelLook startUp;
};

TEST_F(KeyboardPanelTest, TwoShiftClicksGiveBackTheStartUpPicture) {
    enterWithOk();
    EXPECT_EQ(look(), startUp) << "entering changes nothing inside the panel";
    const std::vector<Colour> before = pixels();

    shift();
    const PanelLook shifted = look();
    for (const KeyRow& k : keyTable()) {
        const KeyLook& now = shifted.keys[k.key - 1];
        const KeyLook& then = startUp.keys[k.key - 1];
        EXPECT_EQ(now.legend, k.shiftedLegend) << "K" << k.key;
        const std::string hint = k.hintChanges ? std::string(k.shiftedHint) : then.panelHint;
        EXPECT_EQ(now.legendHint, hint) << "K" << k.key;
        EXPECT_EQ(now.panelHint, hint) << "K" << k.key;
        EXPECT_EQ(now.left, then.left) << "K" << k.key << " keeps its left edge";
        EXPECT_EQ(now.top, then.top) << "K" << k.key;
        EXPECT_EQ(now.fontColour, then.fontColour) << "K" << k.key;
    }
    EXPECT_EQ(shifted.shiftText, startUp.shiftText);

    shift();
    EXPECT_EQ(look(), startUp);
    EXPECT_TRUE(pixels() == before) << "the picture differs from the one before the toggle";
    EXPECT_FALSE(form->shifted());
}

TEST_F(KeyboardPanelTest, ShiftedPictureSpecialCases) {
    enterWithOk();
    shift();
    const KeyRow& zero = key(10);
    const KeyRow& ampersand = key(6);

    EXPECT_EQ(c(keyLegend(zero.key)).text(), "");
    const Point zeroFrame = frameAt(zero);
    ASSERT_TRUE(onScreen(zeroFrame));
    EXPECT_EQ(tipAt(keyPanelSpot(zeroFrame)), "") << "key panel";
    EXPECT_EQ(tipAt(legendSpot(zero, zeroFrame)), "") << "legend";
    // "&&" draws a single ampersand, and the label measures what it draws.
    EXPECT_EQ(c(keyLegend(ampersand.key)).width(), pt::textWidth(w(), id(keyLegend(ampersand.key)), "&"));

    EXPECT_FALSE(c(MainControl::Label13).visible());
    EXPECT_EQ(c(MainControl::ShiftButton).fontColour(), platform::clRed);
    EXPECT_EQ(c(MainControl::ShiftButton).hint(), "シフト状態を解除します");
    EXPECT_EQ(tipOn(MainControl::ShiftButton), "シフト状態を解除します");

    shift();
    EXPECT_EQ(c(keyLegend(zero.key)).text(), startUp.keys[zero.key - 1].legend);
    EXPECT_TRUE(c(MainControl::Label13).visible());
    EXPECT_EQ(c(MainControl::ShiftButton).fontColour(), platform::clAqua);
    EXPECT_EQ(tipOn(MainControl::ShiftButton), "シフト状態にします");
    EXPECT_EQ(tipAt(keyPanelSpot(zeroFrame)), "右小指");
}

// Resting on the key panel or on the legend shows the key's hint; its one-pixel frame shows none.
TEST_F(KeyboardPanelTest, ToolTipsInBothStates) {
    enterWithOk();
    for (bool shifted : {false, true}) {
        if (shifted) shift();
        int probed = 0;
        for (const KeyRow& k : keyTable()) {
            const Point f = frameAt(k);
            if (!onScreen(f)) continue;
            ++probed;
            const std::string hint = c(keyPanel(k.key)).hint();
            const std::string where = "K" + std::to_string(k.key) + (shifted ? " shifted" : "");
            EXPECT_EQ(tipAt({f.x, f.y + 25}), "") << where << " frame";
            EXPECT_EQ(tipAt({f.x + 25, f.y + 49}), "") << where << " frame";
            EXPECT_EQ(tipAt(keyPanelSpot(f)), hint) << where << " key panel";
            EXPECT_EQ(tipAt(legendSpot(k, f)), hint) << where << " legend";
        }
        EXPECT_GT(probed, 20);
        EXPECT_EQ(tipOn(MainControl::Label13), "") << "the note never shows a tip";
        EXPECT_EQ(tipOn(MainControl::Owari), "練習モード選択画面に戻る");
    }
    // Shifted, letters keep their finger (the home keys their suffix) and symbols name the character.
    EXPECT_EQ(c(keyPanel(14)).hint(), "左小指");
    EXPECT_EQ(c(keyPanel(29)).hint(), "左人差し指【ホームポジション】");
    EXPECT_EQ(c(keyPanel(1)).hint(), "イクスクラメーション");
}

TEST_F(KeyboardPanelTest, ShiftTakesOnlyWholeLeftClicks) {
    struct Gesture {
        const char* name;
        std::function<void(Point shiftButton, Point elsewhere)> act;
        bool toggles;
    };
    const Gesture gestures[] = {
        {"double click", [this](Point s, Point) { pt::doubleClick(w(), s.x, s.y); }, true},
        {"released outside",
         [this](Point s, Point o) {
             pt::press(w(), s.x, s.y);
             pt::release(w(), o.x, o.y);
         },
         false},
        {"right button",
         [this](Point s, Point) {
             pt::press(w(), s.x, s.y, MouseButton::Right);
             pt::release(w(), s.x, s.y, MouseButton::Right);
         },
         false},
    };
    enterWithOk();
    for (const Gesture& g : gestures) {
        const bool before = form->shifted();
        g.act(centreOf(MainControl::ShiftButton), centreOf(MainControl::Label13));
        EXPECT_EQ(form->shifted(), g.toggles ? !before : before) << g.name;
        EXPECT_EQ(c(MainControl::Label13).visible(), !form->shifted()) << g.name;
        EXPECT_TRUE(c(MainControl::KeyPanel).visible()) << g.name;
    }
}

// Holding the left button on the note shows the last key as the other desktop draws it; the
// release puts everything back wherever it happens, the note holding the mouse until then.
TEST_F(KeyboardPanelTest, HoldingTheNoteShowsTheWindowsForm) {
    enterWithOk();
    const platform::Control lastKey = c(keyLegend(KeyCount));
    const struct {
        const char* name;
        std::function<Point()> releaseAt;
    } rows[] = {
        {"on the note", [this] { return centreOf(MainControl::Label13); }},
        {"on the Shift button", [this] { return centreOf(MainControl::ShiftButton); }},
        {"off the keyboard",
         [] {
             return Point{2, 2};
         }},
    };
    for (const auto& r : rows) {
        const Point note = centreOf(MainControl::Label13);
        pt::press(w(), note.x, note.y);
        EXPECT_EQ(lastKey.text(), "\\") << r.name;
        EXPECT_EQ(lastKey.left(), 16) << r.name;
        EXPECT_EQ(lastKey.fontColour(), platform::clFuchsia) << r.name;
        EXPECT_EQ(c(MainControl::Label13).text(), "Windows の場合") << r.name;
        EXPECT_EQ(c(MainControl::Label13).fontColour(), platform::clFuchsia) << r.name;
        EXPECT_EQ(c(MainControl::Label13).left(), startUp.noteLeft) << r.name;
        EXPECT_EQ(lastKey.hint(), startUp.keys[KeyCount - 1].legendHint) << r.name;
        EXPECT_EQ(c(keyPanel(KeyCount)).hint(), startUp.keys[KeyCount - 1].panelHint) << r.name;
        const Point at = r.releaseAt();
        pt::release(w(), at.x, at.y);
        EXPECT_EQ(look(), startUp) << r.name;
        EXPECT_FALSE(form->shifted()) << r.name;
    }
}

// The ink of a legend in a box at its own top-left corner, by red channel (white and fuchsia share
// it). Its slant is how far the ink of the bottom third lies right of that of the top third: a
// backslash runs from top left to bottom right, a yen sign stands upright.
struct Glyph {
    std::vector<int> red;
    double slant = 0;
};
Glyph glyphAt(const pt::Image& image, Point corner, int height) {
    constexpr int Width = 32;
    Glyph g;
    double sum[2] = {0, 0}, weight[2] = {0, 0};
    for (int dy = 0; dy < height; ++dy)
        for (int dx = 0; dx < Width; ++dx) {
            const int red = static_cast<int>(image.at(corner.x + dx, corner.y + dy) & 0xFF);
            g.red.push_back(red);
            const int third = 3 * dy / height;
            if (third == 1) continue;
            sum[third / 2] += red * dx;
            weight[third / 2] += red;
        }
    if (weight[0] > 0 && weight[1] > 0) g.slant = sum[1] / weight[1] - sum[0] / weight[0];
    return g;
}

// The same character, whatever its colour: a browser smooths the edges of text differently in each
// colour, so that a pixel inked in one colour may be only touched in another, but never left blank.
bool sameShape(const Glyph& a, const Glyph& b) {
    if (a.red.size() != b.red.size()) return false;
    for (std::size_t i = 0; i < a.red.size(); ++i)
        if ((a.red[i] >= 128 && b.red[i] == 0) || (b.red[i] >= 128 && a.red[i] == 0)) return false;
    return true;
}

// The yen key shows the byte 0x5C as a yen sign, the last key the full-width backslash as a
// backslash; while the note is held the last key shows the byte 0x5C, exactly like the yen key.
TEST_F(KeyboardPanelTest, YenAndBackslashLegends) {
    enterWithOk();
    const KeyRow& yen = key(13);
    const KeyRow& last = key(KeyCount);
    ASSERT_TRUE(onScreen(frameAt(yen)) && onScreen(frameAt(last))) << "keys off the screen";
    auto glyphOf = [this](const KeyRow& k) {
        const MainControl legend = keyLegend(k.key);
        return glyphAt(pt::grab(w()), {x(legend), y(legend)}, c(legend).height());
    };
    const Glyph yenSign = glyphOf(yen);
    EXPECT_LT(std::abs(yenSign.slant), 2.0) << "the yen key's legend leans";
    const Glyph backslash = glyphOf(last);
    EXPECT_GT(backslash.slant, 8.0) << "the last key's legend is no backslash";
    EXPECT_FALSE(sameShape(backslash, yenSign));

    const Point note = centreOf(MainControl::Label13);
    pt::press(w(), note.x, note.y);
    EXPECT_TRUE(sameShape(glyphOf(last), yenSign)) << "the held note's legend is no yen sign";
    pt::release(w(), note.x, note.y);
    EXPECT_EQ(glyphOf(last).red, backslash.red);
}

TEST_F(KeyboardPanelTest, OtherButtonsOnTheNoteChangeNothing) {
    enterWithOk();
    const Point note = centreOf(MainControl::Label13);
    for (MouseButton button : {MouseButton::Right, MouseButton::Middle}) {
        pt::press(w(), note.x, note.y, button);
        EXPECT_EQ(look(), startUp) << "pressed";
        pt::release(w(), note.x, note.y, button);
        EXPECT_EQ(look(), startUp) << "released";
    }
    // Nor do the side buttons of a five-button mouse, which are no left button either.
    for (pt::SideButton button : {pt::SideButton::Back, pt::SideButton::Forward}) {
        pt::press(w(), note.x, note.y, button);
        EXPECT_EQ(look(), startUp) << "side button pressed";
        pt::release(w(), note.x, note.y, button);
        EXPECT_EQ(look(), startUp) << "side button released";
    }
}

// Both ways in run the same OK action; Owari is the only way back and leaves the idle window.
TEST_F(KeyboardPanelTest, EnteringAndLeaving) {
    const struct {
        const char* name;
        std::function<void()> enter;
    } ways[] = {
        {"OK click", [this] { click(MainControl::OKButton1); }},
        {"F1", [this] { f1(); }},
    };
    for (const auto& way : ways) {
        selectMode(drill::KeyboardMode);
        way.enter();
        EXPECT_TRUE(c(MainControl::KeyPanel).visible()) << way.name;
        for (MainControl hidden : {MainControl::ModeSelect, MainControl::Label3, MainControl::Label6,
                                   MainControl::Panel1, MainControl::Panel2, MainControl::Panel6})
            EXPECT_FALSE(c(hidden).visible()) << way.name << " control " << id(hidden);
        EXPECT_TRUE(c(MainControl::Label12).visible()) << way.name;
        EXPECT_EQ(c(MainControl::Label12).left(), centred(screen().width, c(MainControl::Label12).width()))
            << way.name;
        EXPECT_EQ(form->session().phase(), drill::Phase::Keyboard) << way.name;
        EXPECT_TRUE(form->session().state().DrillSet.empty()) << way.name;
        EXPECT_TRUE(c(MainControl::OKButton1).enabled()) << way.name;

        click(MainControl::Owari);
        EXPECT_FALSE(c(MainControl::KeyPanel).visible()) << way.name;
        for (MainControl shown :
             {MainControl::ModeSelect, MainControl::Panel1, MainControl::Panel2, MainControl::Label6})
            EXPECT_TRUE(c(shown).visible()) << way.name << " control " << id(shown);
        for (MainControl hidden : {MainControl::Label2, MainControl::Label3, MainControl::Label12,
                                   MainControl::mofu, MainControl::Panel6})
            EXPECT_FALSE(c(hidden).visible()) << way.name << " control " << id(hidden);
        EXPECT_EQ(c(MainControl::Label6).left(), centred(screen().width, c(MainControl::Label6).width()))
            << way.name;
        EXPECT_TRUE(c(MainControl::OKButton1).enabled()) << way.name;
        EXPECT_EQ(form->session().phase(), drill::Phase::Idle) << way.name;
        EXPECT_FALSE(form->session().state().Running) << way.name;
        EXPECT_EQ(look(), startUp) << way.name;
    }
}

// While the panel shows, F1 repeats the entry and typed characters start nothing: the screen stays
// exactly as it was.
TEST_F(KeyboardPanelTest, F1AndTypingWhileShownChangeNothing) {
    enterWithOk();
    shift();
    const PanelLook before = look();
    const std::vector<Colour> picture = pixels();
    const int beeps = pt::beepCount();

    f1();
    type(" a\\&1Q");
    pt::processEvents();
    EXPECT_EQ(look(), before);
    EXPECT_TRUE(pixels() == picture) << "the screen changed";
    EXPECT_EQ(form->session().phase(), drill::Phase::Keyboard);
    EXPECT_FALSE(form->session().state().Running);
    EXPECT_FALSE(form->timer1().enabled());
    EXPECT_EQ(pt::beepCount(), beeps);
}

TEST_F(KeyboardPanelTest, ShiftedSurvivesLeavingAndReentering) {
    enterWithOk();
    shift();
    const PanelLook shifted = look();
    click(MainControl::Owari);
    EXPECT_TRUE(form->shifted());
    f1();
    EXPECT_TRUE(c(MainControl::KeyPanel).visible());
    EXPECT_EQ(look(), shifted);
    EXPECT_EQ(tipOn(MainControl::ShiftButton), "シフト状態を解除します");
    shift();
    EXPECT_EQ(look(), startUp);
}

// Every key's frame shows its finger's colour on all four sides around a black key (olive for the
// home keys f and j) that carries a white legend, wherever the key lies on the screen. The places
// come from the panel's corner and the rows' design places, the colours from the fingers: R red
// (little), Y yellow (ring), L lime (middle), A aqua (left index), F fuchsia (right index).
TEST_F(KeyboardPanelTest, PictureShowsEveryKeyInItsFingersColour) {
    enterWithOk();
    shoot("keyboard");
    const int panelX = (screen().width - 800) / 2, panelY = (screen().height - 330) / 2;
    EXPECT_EQ(x(MainControl::KeyPanel), panelX);
    EXPECT_EQ(y(MainControl::KeyPanel), panelY);
    struct Row {
        int left, top;
        std::string_view fingers;
    };
    const Row rows[] = {{10, 10, "RYLAAFFLYRRRR"},
                        {40, 70, "RYLAAFFLYRRR"},
                        {55, 130, "RYLAAFFLYRRR"},
                        {75, 190, "RYLAAFFLYRR"}};
    const auto colourOf = [](char finger) {
        switch (finger) {
        case 'R': return platform::clRed;
        case 'Y': return platform::clYellow;
        case 'L': return platform::clLime;
        case 'A': return platform::clAqua;
        default: return platform::clFuchsia;
        }
    };
    const pt::Image image = pt::grab(w());
    int checked = 0;
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < static_cast<int>(rows[row].fingers.size()); ++i) {
            const Point f{panelX + 1 + rows[row].left + 5 + 60 * i, panelY + 1 + rows[row].top + 5};
            if (!onScreen(f)) continue; // the picture is wider than a small screen
            ++checked;
            const std::string key = "row " + std::to_string(row) + " key " + std::to_string(i);
            const Colour frame = colourOf(rows[row].fingers[static_cast<std::size_t>(i)]);
            for (Point edge : {Point{0, 25}, Point{49, 25}, Point{25, 0}, Point{25, 49}})
                EXPECT_EQ(image.at(f.x + edge.x, f.y + edge.y), frame) << key << " frame";
            const bool home = row == 2 && (i == 3 || i == 6);
            const Point inside = keyPanelSpot(f);
            EXPECT_EQ(image.at(inside.x, inside.y), home ? platform::clOlive : platform::clBlack) << key;
            bool white = false;
            for (int dy = 11; dy < 11 + 27 && !white; ++dy)
                for (int dx = 12; dx < 49 && !white; ++dx)
                    white = image.at(f.x + dx, f.y + dy) == platform::clWhite;
            EXPECT_TRUE(white) << key << " legend";
        }
    EXPECT_GE(checked, 36) << "three keys in four lie on every screen the suites use";
    shift();
    shoot("keyboard-shifted");
}

} // namespace
