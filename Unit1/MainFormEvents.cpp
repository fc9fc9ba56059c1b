// The main window's handlers: start-up and exit, preparing and running a drill, the timers and the
// result screens. Each turns its event into a call on the drill and shows the answer.

#include "Unit1/MainForm.h"

#include "Unit1/Speech.h"
#include "Unit2/AboutBox.h"
#include "common/CatPaw.h"
#include "drill/Modes.h"
#include "drill/Results.h"
#include "platform/Text.h"

#include <string>

using drill::Verdict;
using platform::Control;

namespace {

constexpr std::string_view ChooseModeMessage = "モードを選択してから\r\n\r\nＯＫをクリックしてね！";
constexpr std::string_view StartMessage = "開始するときは\r\n\r\nスペース・キー";
constexpr std::string_view EndMessage = "終了する時は\r\n\r\nスペース・キー";
constexpr std::string_view KeyboardMessage = "キーの位置と使う指を覚えてねッ！";

// The gap between the wrong character and the cat-paw picture beside it.
constexpr int MissPictureRight = 50;
constexpr int MissPictureDown = 70;
constexpr int TargetBoxHeight = 140;
constexpr int BarFull = 100; // ProgressBar1's maximum

struct ClickBinding {
    MainControl control;
    void (TMofuForm1::*handler)();
};
struct MouseBinding {
    MainControl control;
    void (TMofuForm1::*down)(platform::MouseButton);
    void (TMofuForm1::*up)(platform::MouseButton);
};

// clang-format off
constexpr ClickBinding Clicks[] = {
    {MainControl::OKButton1,   &TMofuForm1::ActOKExecute},
    {MainControl::ExitButton1, &TMofuForm1::ExitButton1Click},
    {MainControl::Panel4,      &TMofuForm1::Panel5Click},
    {MainControl::Panel5,      &TMofuForm1::Panel5Click},
    {MainControl::ShiftButton, &TMofuForm1::ShiftButtonClick},
    {MainControl::Owari,       &TMofuForm1::OwariClick},
};
constexpr MouseBinding MouseButtons[] = {
    {MainControl::ShiftButton, &TMofuForm1::ShiftButtonMouseDown, &TMofuForm1::ShiftButtonMouseUp},
    {MainControl::Label13,     &TMofuForm1::Label13MouseDown,     &TMofuForm1::Label13MouseUp},
};
// clang-format on

} // namespace

// A label shows a single "&" as an accelerator mark, so a typed "&" is written doubled.
std::string labelText(char32_t ch) {
    return ch == U'&' ? "&&" : platform::encode(ch);
}

TMofuForm1::TMofuForm1(platform::Clock& clock)
    : m_clock(clock), m_window(mainFormWindow()), Timer1([this] { Timer1Timer(); }),
      Timer2([this] { Timer2Timer(); }), Timer3([this] { Timer3Timer(); }) {
    buildControls();
    bindEvents();
    FormCreate();
}

TMofuForm1::~TMofuForm1() {
    FormDestroy();
}

void TMofuForm1::buildControls() {
    m_window.build(mainFormControls());
    m_window.build(keyPanelControls());
    m_window.finishBuilding();
    m_window.setIcon(catpaw::icon());
    for (MainControl picture : {MainControl::mofu, MainControl::NigateMofu, MainControl::TokuiMofu})
        c(picture).setPicture(catpaw::icon());
    // Design values of the non-visual components.
    Timer1.setInterval(1000);
    Timer1.setEnabled(true);
    Timer2.setEnabled(false);
    Timer3.setEnabled(false);
}

void TMofuForm1::bindEvents() {
    for (const ClickBinding& b : Clicks)
        m_window.onClick(static_cast<int>(b.control), [this, h = b.handler] { (this->*h)(); });
    for (const MouseBinding& b : MouseButtons) {
        m_window.onMouseDown(static_cast<int>(b.control),
                             [this, h = b.down](platform::MouseButton m) { (this->*h)(m); });
        m_window.onMouseUp(static_cast<int>(b.control),
                           [this, h = b.up](platform::MouseButton m) { (this->*h)(m); });
    }
    m_window.onCharacter([this](char32_t typed) { return FormKeyPress(typed); });
    m_window.onF1([this] { ActOKExecute(); });
    m_window.onScreenChanged([this] { FormResize(); });
}

void TMofuForm1::show() {
    m_window.show();
    m_window.activate();
}

void TMofuForm1::centreOnScreen(MainControl id) {
    Control control = c(id);
    const platform::Size screen = platform::screenSize();
    control.setLeft(centred(screen.width, control.width()));
    control.setTop(centred(screen.height, control.height()));
}

void TMofuForm1::centreOnScreenX(MainControl id) {
    Control control = c(id);
    control.setLeft(centred(platform::screenSize().width, control.width()));
}

void TMofuForm1::centreInParent(MainControl id, MainControl parent, bool vertically) {
    Control control = c(id);
    control.setLeft(centred(c(parent).width(), control.width()));
    if (vertically) control.setTop(centred(c(parent).height(), control.height()));
}

void TMofuForm1::FormCreate() {
    platform::hideTaskbar();
    m_window.setCaptionBar(false);
    m_window.repaint();

    placeOnScreen();
    c(MainControl::ModeSelect).setLeft(50);
    c(MainControl::ModeSelect).setTop(110);
    c(MainControl::Panel8).setLeft(50);
    c(MainControl::Panel8).setTop(350);
    for (MainControl id : {MainControl::Panel6, MainControl::PanelNigate, MainControl::PanelTokui})
        c(id).setVisible(false);
    c(MainControl::KP).setVisible(false);
    c(MainControl::Panel1).setLeft(50);
    c(MainControl::Panel2).setLeft(200);
    c(MainControl::PanelNigate).setTop(350);
    c(MainControl::PanelTokui).setTop(350);

    c(MainControl::Label1).setText("");
    c(MainControl::Label2).setText("");
    c(MainControl::Label3).setText(ChooseModeMessage);
    centreOnScreenX(MainControl::Label3);
    m_label3Centred = true;
    c(MainControl::Label3).setVisible(true);
    c(MainControl::Label6).setVisible(false);
    c(MainControl::mofu).setVisible(false);
    for (MainControl id : {MainControl::Label7, MainControl::Label8, MainControl::Label9})
        c(id).setText("");
    c(MainControl::Panel8).setVisible(false);

    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Timer1.setInterval(30);

    c(MainControl::ProgressBar1).alignBottom();
    Shifted = false;
    m_window.disableInputMethod();
}

// The window fills the screen, and whatever stands in a place the screen's size gives is placed
// from it: at start-up, and again at every later size, so that each control stands exactly where
// it would have stood had the program started at that size.
void TMofuForm1::placeOnScreen() {
    const platform::Size screen = platform::screenSize();
    m_window.setClientSize(screen.width, screen.height);
    m_window.setMaximised();
    centreOnScreen(MainControl::KP);
    centreOnScreen(MainControl::KeyPanel);
    c(MainControl::PanelNigate).setLeft(centred(screen.width, c(MainControl::PanelNigate).width()) - 100);
    c(MainControl::PanelTokui).setLeft(centred(screen.width, c(MainControl::PanelTokui).width()) + 100);
}

// A later screen size. The controls a handler centres as it shows them are centred again while
// they show; hidden, they are centred when next shown. Label3 only while it is centred for its
// present text: the text a typed character gives it stands where the label stood.
void TMofuForm1::FormResize() {
    placeOnScreen();
    if (c(MainControl::Panel6).visible()) centreOnScreen(MainControl::Panel6);
    if (c(MainControl::Label3).visible() && m_label3Centred) centreOnScreenX(MainControl::Label3);
    for (MainControl id : {MainControl::Label6, MainControl::Label12})
        if (c(id).visible()) centreOnScreenX(id);
    if (c(MainControl::Label5).visible())
        c(MainControl::Label5).setLeft(centred(m_window.clientWidth(), c(MainControl::Label5).width()));
    if (c(MainControl::mofu).visible()) placeMiss();
}

void TMofuForm1::FormDestroy() {
    platform::showTaskbar();
    m_window.setCaptionBar(true);
    platform::restoreWindowTitled("Tapirun");
    m_window.repaint();
}

void TMofuForm1::ExitButton1Click() {
    m_window.close();
}

void TMofuForm1::Panel5Click() {
    if (m_aboutBox) m_aboutBox->open();
}

// The OK button and F1: prepare a drill for the selected mode, or show the keyboard picture.
void TMofuForm1::ActOKExecute() {
    for (MainControl id :
         {MainControl::ModeSelect, MainControl::Panel8, MainControl::PanelNigate, MainControl::PanelTokui,
          MainControl::KP, MainControl::Label5, MainControl::Label6})
        c(id).setVisible(false);
    switch (m_session.prepare(c(MainControl::ModeSelect).itemIndex())) {
    case drill::Preparation::Keyboard: enterKeyboard(); return;
    case drill::Preparation::Drill:
    case drill::Preparation::NoDrill: break;
    }
    c(MainControl::OKButton1).setEnabled(m_session.okEnabled());
    centreOnScreen(MainControl::Panel6);
    c(MainControl::Panel6).setVisible(true);
    c(MainControl::Label1).setText("");
    c(MainControl::Label1).setVisible(true);
    c(MainControl::Label12).setVisible(false);
    c(MainControl::Label3).setText(StartMessage);
    centreOnScreenX(MainControl::Label3);
    m_label3Centred = true;
    c(MainControl::Label3).setVisible(true);
    m_window.announce(StartMessage);
}

bool TMofuForm1::FormKeyPress(char32_t typed) {
    switch (m_session.type(typed, m_clock.tickMs(), m_clock.highResolution())) {
    case Verdict::Passed: return false;
    case Verdict::Correct: NextQuestion(); break;
    case Verdict::Wrong:
        showMiss(typed);
        platform::beep();
        break;
    case Verdict::Ended:
        endDrill();
        ShowResults();
        break;
    case Verdict::Started:
        if (m_session.isTest()) Timer3.setEnabled(true);
        NextQuestion();
        break;
    case Verdict::Nothing: break;
    }
    c(MainControl::Label3).setText(EndMessage);
    m_label3Centred = false;
    return true;
}

void TMofuForm1::NextQuestion() {
    Control target = c(MainControl::Label1);
    target.setText(labelText(static_cast<unsigned char>(m_session.state().Target)));
    centreInParent(MainControl::Label1, MainControl::Panel7, true);
    c(MainControl::Label2).setText("");
    c(MainControl::mofu).setVisible(false);
    c(MainControl::ProgressBar1).setPosition(0);
    Timer1.setEnabled(true);
    m_window.announce(speech::target(static_cast<unsigned char>(m_session.state().Target)));
}

// The wrong character goes centred below the target box, the cat-paw picture beside it.
void TMofuForm1::showMiss(char32_t typed) {
    c(MainControl::Label2).setText(labelText(typed));
    placeMiss();
    c(MainControl::Label2).setVisible(true);
    c(MainControl::mofu).setVisible(true);
    m_window.announce(speech::miss(typed, static_cast<unsigned char>(m_session.state().Target)));
}

void TMofuForm1::placeMiss() {
    Control miss = c(MainControl::Label2);
    miss.setLeft(centred(m_window.clientWidth(), miss.width()));
    miss.setTop(c(MainControl::Panel6).top() + TargetBoxHeight);
    Control paw = c(MainControl::mofu);
    paw.setLeft(miss.left() + miss.width() + MissPictureRight);
    paw.setTop(miss.top() + MissPictureDown);
}

void TMofuForm1::endDrill() {
    Timer1.setEnabled(false);
    c(MainControl::OKButton1).setEnabled(true);
    c(MainControl::ModeSelect).setVisible(true);
    for (MainControl id : {MainControl::Panel6, MainControl::Label2, MainControl::Label3,
                           MainControl::Label12, MainControl::mofu})
        c(id).setVisible(false);
    c(MainControl::Label6).setText(ChooseModeMessage);
    centreOnScreenX(MainControl::Label6);
    c(MainControl::Label6).setVisible(true);
}

void TMofuForm1::Timer1Timer() {
    Control bar = c(MainControl::ProgressBar1);
    bar.setPosition(bar.position() + 1);
    // A full bar holds until the next target enables the timer again; until then a tick would only
    // wake the program to change nothing.
    if (bar.position() >= BarFull) Timer1.pauseUntilEnabled();
}

void TMofuForm1::Timer3Timer() {
    if (!m_session.testTick(Timer3.intervalsElapsed())) return;
    Timer2.setEnabled(true);
    endDrill();
    ShowResults();
    Timer3.setEnabled(false);
}

void TMofuForm1::ShowResults() {
    const drill::DrillState& s = m_session.state();
    const std::int32_t correct = s.Presses - s.Misses;
    if (m_session.isTest()) {
        m_session.resultsShown();
        centreInParent(MainControl::Label11, MainControl::kentei, false);
        c(MainControl::mojisuu)
            .setText("１分間 " + std::to_string(static_cast<std::int64_t>(correct) + 1) + " 文字");
        centreInParent(MainControl::mojisuu, MainControl::kentei, false);
        c(MainControl::kyu).setText(drill::gradeFor(correct));
        centreInParent(MainControl::kyu, MainControl::kentei, false);
        c(MainControl::KP).setVisible(true);
        m_window.announce(speech::testResult(drill::gradeFor(correct), c(MainControl::mojisuu).text()));
        return;
    }
    const std::string accuracy =
        drill::formatHundredths(drill::accuracyHundredths(s.Presses, s.Misses), platform::decimalSeparator());
    c(MainControl::Label5).setText("正解率    " + accuracy + "％");
    c(MainControl::Label5).setLeft(centred(m_window.clientWidth(), c(MainControl::Label5).width()));
    c(MainControl::Label5).setVisible(true);
    c(MainControl::Label7).setText("出題数　" + std::to_string(s.Presses));
    c(MainControl::Label8).setText("正解数　" + std::to_string(correct));
    c(MainControl::Label9).setText("間違数　" + std::to_string(s.Misses));
    c(MainControl::Panel8).setVisible(true);
    c(MainControl::PanelNigate).setVisible(true);
    c(MainControl::PanelTokui).setVisible(true);
    c(MainControl::Nigate).setText(labelText(static_cast<unsigned char>(drill::weakKey(s.keyStats))));
    c(MainControl::Tokui).setText(labelText(static_cast<unsigned char>(drill::strongKey(s.keyStats))));
    const bool enoughAnswers = correct > 2;
    c(MainControl::Nigate).setVisible(enoughAnswers);
    c(MainControl::Tokui).setVisible(enoughAnswers);
    if (enoughAnswers) Timer2.setEnabled(true);
    m_window.announce(speech::practiceResults(s.Presses, s.Misses, accuracy, enoughAnswers,
                                              drill::weakKey(s.keyStats), drill::strongKey(s.keyStats)));
}

// Only the one-pixel frames show the colour: each panel holds a black panel one pixel smaller.
void TMofuForm1::Timer2Timer() {
    const platform::Colour colour = m_session.flashColour(m_clock.highResolution());
    if (c(MainControl::ModeSelect).itemIndex() == drill::TestMode) {
        c(MainControl::KP).setColour(colour);
    } else {
        c(MainControl::PanelNigate).setColour(colour);
        c(MainControl::PanelTokui).setColour(c(MainControl::PanelNigate).colour() ^ 0xFFFFFF);
    }
}

void TMofuForm1::enterKeyboard() {
    c(MainControl::KeyPanel).setVisible(true);
    for (MainControl id : {MainControl::Label3, MainControl::Panel1, MainControl::Panel2})
        c(id).setVisible(false);
    c(MainControl::Label12).setText(KeyboardMessage);
    centreOnScreenX(MainControl::Label12);
    c(MainControl::Label12).setVisible(true);
    m_window.announce(KeyboardMessage);
}

void TMofuForm1::OwariClick() {
    c(MainControl::KeyPanel).setVisible(false);
    m_session.leaveKeyboard();
    Timer1.setEnabled(false);
    c(MainControl::OKButton1).setEnabled(true);
    c(MainControl::ModeSelect).setVisible(true);
    c(MainControl::Panel6).setVisible(false);
    c(MainControl::Panel1).setVisible(true);
    c(MainControl::Panel2).setVisible(true);
    for (MainControl id : {MainControl::Label2, MainControl::Label3, MainControl::Label12, MainControl::mofu})
        c(id).setVisible(false);
    c(MainControl::Label6).setText(ChooseModeMessage);
    centreOnScreenX(MainControl::Label6);
    c(MainControl::Label6).setVisible(true);
    m_window.announce(ChooseModeMessage);
}
