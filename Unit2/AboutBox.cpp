#include "Unit2/AboutBox.h"

#include "common/CatPaw.h"
#include "common/Centring.h"

#include <algorithm>

using namespace platform;

namespace {

constexpr Font BoxFont{"ＭＳ Ｐゴシック", 12, false, clWindowText};
constexpr int ModalResultOk = 1;

using Row = ControlRow;
constexpr auto Arrow = Cursor::Default;

// clang-format off
constexpr Row Controls[] = {
//   kind          name            parent       left  top  width height colour     font                                   caption                                               cursor hint visible style
    {Kind::Panel,  AboutControl::Panel1,      AboutControl::AboutBox,    7,   7,  258, 148, clInherit, {},                                    "",                                                   Arrow, "", true, Sunken},
    {Kind::Image,  AboutControl::ProgramIcon, AboutControl::Panel1,      7,   7,   66,  66, clInherit, {},                                    "",                                                   Arrow, "", true, Stretch | Transparent},
    {Kind::Label,  AboutControl::ProductName, AboutControl::Panel1,     97,  15,  117,  20, clInherit, {"ＭＳ Ｐゴシック", 20, true, clGreen},   "Tapirun",                                            Arrow, "", true},
    {Kind::Label,  AboutControl::Version,     AboutControl::Panel1,    113,  45,   48,  16, clInherit, {"ＭＳ Ｐゴシック", 16, false, clMaroon}, "Ver 1.5",                                            Arrow, "", true},
    {Kind::Label,  AboutControl::Copyright,   AboutControl::Panel1,     40,  78,  181,  12, clInherit, {"ＭＳ Ｐゴシック", 12, false, clBlue},   "Copyright (C) Zunobe  Freeware",                      Arrow, "", true},
    {Kind::Label,  AboutControl::Comments,    AboutControl::Panel1,     40, 100,  179,  30, clInherit, {"ＭＳ Ｐゴシック", 15, false, clWindowText}, "ブラインドタッチが出来るまで毎日練習に励みましょう！", Arrow, "", true, WordWrap},
    {Kind::Button, AboutControl::OKButton,    AboutControl::AboutBox,  102, 165,   69,  23, clBtnFace, {},                                    "OK",                                                 Arrow, "", true, DefaultButton},
};
// clang-format on

constexpr WindowSpec BoxWindow{"バージョン情報", 200, 108, 273, 195, clBtnFace, BoxFont, true};

} // namespace

std::span<const ControlRow> aboutBoxControls() {
    return Controls;
}

TAboutBox::TAboutBox() : m_window(BoxWindow) {
    m_window.build(aboutBoxControls());
    m_window.finishBuilding();
    c(AboutControl::ProgramIcon).setPicture(catpaw::bitmap());
    m_window.setFocusControl(static_cast<int>(AboutControl::OKButton));
    m_window.onClick(static_cast<int>(AboutControl::OKButton), [this] { OKButtonClick(); });
    m_window.disableInputMethod();
    // A window manager that frames the box only once it is shown makes the first centring miss by
    // the frame, so it is done again as soon as the outer size is known, during that first showing
    // only.
    m_window.onFramed([this] { centreOnScreen(); });
}

// A box that is shown already is left as it is, neither moved nor brought to the front, even when
// the full-screen main window covers it or the desktop has minimised it: the user reaches it with
// the window switcher. A page has none, so there it comes back in front where it is.
void TAboutBox::open() {
    if (m_window.visible()) {
        if (!platform::hasWindowSwitcher()) m_window.activate();
        return;
    }
    // Centred the first time only; afterwards it comes back where it was last hidden.
    if (!m_placed) {
        centreOnScreen();
        m_placed = true;
    }
    m_window.show();
    m_window.activate();
}

// By its outer size; a box larger than the screen keeps its caption bar on the screen.
void TAboutBox::centreOnScreen() {
    const Size screen = screenSize();
    m_window.move(std::max(0, centred(screen.width, m_window.outerWidth())),
                  std::max(0, centred(screen.height, m_window.outerHeight())));
}

void TAboutBox::OKButtonClick() {
    m_modalResult = ModalResultOk;
    m_window.close();
}
