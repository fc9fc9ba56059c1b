#pragma once

#include "common/Centring.h"
#include "drill/Session.h"
#include "platform/Platform.h"

#include <span>
#include <string_view>

class TAboutBox;

// Every control of the main window by its design name. The keyboard panel's 48 keys follow as
// three numbered families (frame, key panel, legend), reached through keyFrame/keyPanel/keyLegend.
enum class MainControl {
    MofuForm1,
    Label2,
    Label3,
    Label5,
    Label6,
    mofu,
    Label12,
    ProgressBar1,
    Panel1,
    OKButton1,
    Panel2,
    ExitButton1,
    ModeSelect,
    Panel3,
    Panel4,
    Panel5,
    Panel6,
    Panel7,
    Label1,
    Panel8,
    Panel9,
    Label7,
    Label9,
    Label8,
    PanelNigate,
    Panel11,
    Label4,
    Nigate,
    NigateMofu,
    PanelTokui,
    Panel13,
    Label10,
    Tokui,
    TokuiMofu,
    KP,
    kentei,
    Label11,
    kyu,
    mojisuu,
    KeyPanel,
    KeyBoadPanel,
    saijyodan,
    jyoudan,
    chudan,
    gedan,
    Panel10,
    ShiftButton,
    Owari_1,
    Owari,
    Label13,
    FirstKey, // 48 keys × (frame, key panel, legend) from here on
};

inline constexpr int KeyCount = 48;
constexpr MainControl keyFrame(int n) {
    return static_cast<MainControl>(static_cast<int>(MainControl::FirstKey) + 3 * (n - 1));
}
constexpr MainControl keyPanel(int n) {
    return static_cast<MainControl>(static_cast<int>(MainControl::FirstKey) + 3 * (n - 1) + 1);
}
constexpr MainControl keyLegend(int n) {
    return static_cast<MainControl>(static_cast<int>(MainControl::FirstKey) + 3 * (n - 1) + 2);
}

// The main window: its controls, built from the description table, and the handlers that turn
// events into calls on the drill and show the answers. It stores no state in its controls.
class TMofuForm1 {
public:
    explicit TMofuForm1(platform::Clock& clock);
    ~TMofuForm1();
    TMofuForm1(const TMofuForm1&) = delete;
    TMofuForm1& operator=(const TMofuForm1&) = delete;

    void setAboutBox(TAboutBox& aboutBox) { m_aboutBox = &aboutBox; }
    void show();

    platform::Window& window() { return m_window; }
    platform::Control c(MainControl id) const { return m_window.control(static_cast<int>(id)); }
    const drill::Session& session() const { return m_session; }
    bool shifted() const { return Shifted; }
    platform::Timer& timer1() { return Timer1; }
    platform::Timer& timer2() { return Timer2; }
    platform::Timer& timer3() { return Timer3; }

    // Handlers, bound to their events in one place.
    void FormCreate();
    void FormResize();
    void FormDestroy();
    bool FormKeyPress(char32_t typed);
    void ActOKExecute();
    void ExitButton1Click();
    void Panel5Click();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void OwariClick();
    void ShiftButtonClick();
    void ShiftButtonMouseDown(platform::MouseButton) {}
    void ShiftButtonMouseUp(platform::MouseButton) {}
    void Label13MouseDown(platform::MouseButton button);
    void Label13MouseUp(platform::MouseButton button);

private:
    void buildControls();
    void bindEvents();
    void NextQuestion();
    void ShowResults();
    void showMiss(char32_t typed);
    void endDrill();
    void enterKeyboard();
    void showLegends();
    void placeOnScreen();
    void placeMiss();
    void centreOnScreen(MainControl id);
    void centreOnScreenX(MainControl id);
    void centreInParent(MainControl id, MainControl parent, bool vertically);

    platform::Clock& m_clock;
    platform::Window m_window;
    platform::Timer Timer1;
    platform::Timer Timer2;
    platform::Timer Timer3;
    drill::Session m_session;
    bool Shifted = false;
    // Whether Label3 stands centred for its present text: a typed character changes the text and
    // leaves the label where it stood, so a later screen size centres it again only while this holds.
    bool m_label3Centred = false;
    TAboutBox* m_aboutBox = nullptr;
};

// The description tables, kept apart from the handlers.
std::span<const platform::ControlRow> mainFormControls();
std::span<const platform::ControlRow> keyPanelControls();
const platform::WindowSpec& mainFormWindow();

// The 48 keys of the reference picture, as the key table lists them.
struct KeyRow {
    int key;      // n of Kn
    int row;      // 0 top … 3 lower
    int position; // place in its row, from 0 at the left
    std::string_view frameName;
    platform::Colour frameColour;
    std::string_view legend;
    std::string_view hint;
    std::string_view shiftedLegend;
    std::string_view shiftedHint; // empty with hintChanges false: the toggle leaves the hint alone
    bool hintChanges;
};
std::span<const KeyRow> keyTable();

// A character as a label shows it: a single "&" would be an accelerator mark, so it is doubled.
std::string labelText(char32_t ch);
