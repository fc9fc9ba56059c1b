#include "RandomEvents.h"

#include "FormFixture.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>

namespace soak {

namespace pt = platform::test;
using drill::Phase;
using platform::Control;
using pt::DialogKey;
using pt::SilentKey;

Event type(std::string text) {
    return {Op::Type, std::move(text)};
}
Event typeTarget() {
    return {Op::TypeTarget, {}};
}
Event f1(unsigned modifiers) {
    return {Op::F1, {}, static_cast<int>(modifiers)};
}
Event silent(SilentKey key) {
    return {Op::Silent, {}, static_cast<int>(key)};
}
Event dialogKey(DialogKey key, unsigned modifiers) {
    return {Op::DialogKey, {}, static_cast<int>(key), static_cast<int>(modifiers)};
}
Event click(MainControl anchor, int dx, int dy, MouseButton button) {
    return {Op::Click, {}, dx, dy, anchor, button};
}
Event doubleClick(MainControl anchor, int dx, int dy, MouseButton button) {
    return {Op::DoubleClick, {}, dx, dy, anchor, button};
}
Event press(MainControl anchor, int dx, int dy, MouseButton button) {
    return {Op::Press, {}, dx, dy, anchor, button};
}
Event release(MainControl anchor, int dx, int dy, MouseButton button) {
    return {Op::Release, {}, dx, dy, anchor, button};
}
Event selectMode(int item) {
    return {Op::SelectMode, {}, item};
}
Event tick(int timer, int intervals) {
    return {Op::Tick, {}, timer, intervals};
}
Event wait(int milliseconds) {
    return {Op::Wait, {}, milliseconds};
}
Event boxOk() {
    return {Op::BoxOk, {}};
}
Event boxCloseBox() {
    return {Op::BoxCloseBox, {}};
}
Event boxMove(int left, int top) {
    return {Op::BoxMove, {}, left, top};
}
Event frontMain() {
    return {Op::FrontMain, {}};
}
Event closeMain() {
    return {Op::CloseMain, {}};
}

namespace {

// clang-format off
constexpr std::string_view ControlNames[] = {
    "MofuForm1", "Label2", "Label3", "Label5", "Label6", "mofu", "Label12", "ProgressBar1", "Panel1",
    "OKButton1", "Panel2", "ExitButton1", "ModeSelect", "Panel3", "Panel4", "Panel5", "Panel6", "Panel7",
    "Label1", "Panel8", "Panel9", "Label7", "Label9", "Label8", "PanelNigate", "Panel11", "Label4", "Nigate",
    "NigateMofu", "PanelTokui", "Panel13", "Label10", "Tokui", "TokuiMofu", "KP", "kentei", "Label11", "kyu",
    "mojisuu", "KeyPanel", "KeyBoadPanel", "saijyodan", "jyoudan", "chudan", "gedan", "Panel10",
    "ShiftButton", "Owari_1", "Owari", "Label13"};
// Characters beyond the printable ASCII ones: control characters, Delete, a NUL, non-ASCII letters, the
// yen sign, the full-width backslash, a character outside the basic plane and the accelerator mark.
constexpr std::string_view OddCharacters[] = {
    " ", "\r", "\b", "\x1b", "\t", "\x7f", "\x01", std::string_view("\0", 1), "ü", "あ", "¥", "＼", "😀",
    "&", "Ａ", "ｱ"};
// clang-format on
static_assert(std::size(ControlNames) == static_cast<std::size_t>(MainControl::FirstKey));
constexpr int ControlCount = static_cast<int>(MainControl::FirstKey) + 3 * KeyCount;

// What the design gives, written out here so that no expectation comes from the program's own tables:
// each mode's characters, and the keyboard picture's legends, unshifted and shifted, K1 to K48.
constexpr std::string_view DrillSets[] = {"1234567890-^\\",
                                          "qwertyuiop@[",
                                          "asdfghjkl;:]",
                                          "zxcvbnm,./\\",
                                          "1234567890-^\\qwertyuiop@[asdfghjkl;:]zxcvbnm,./\\",
                                          "1234567890-^\\qwertyuiop@[asdfghjkl;:]zxcvbnm,./\\",
                                          ""};
constexpr int TestMode = 5, KeyboardMode = 6;
constexpr std::string_view Legends[] = {"1",  "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "^",
                                        "\\", "q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "@",
                                        "[",  "a", "s", "d", "f", "g", "h", "j", "k", "l", ";", ":",
                                        "]",  "z", "x", "c", "v", "b", "n", "m", ",", ".", "/", "＼"};
constexpr std::string_view ShiftedLegends[] = {"!", "\"", "#", "$", "%", "&&", "'", "(", ")", "",  "=", "~",
                                               "|", "Q",  "W", "E", "R", "T",  "Y", "U", "I", "O", "P", "`",
                                               "{", "A",  "S", "D", "F", "G",  "H", "J", "K", "L", "+", "*",
                                               "}", "Z",  "X", "C", "V", "B",  "N", "M", "<", ">", "?", "_"};
static_assert(std::size(Legends) == KeyCount && std::size(ShiftedLegends) == KeyCount);

// The centring rule: integer division truncates toward zero, also where the control is the larger.
int half(int container, int extent) {
    return (container - extent) / 2;
}

constexpr std::string_view ChooseModeMessage = "モードを選択してから\r\n\r\nＯＫをクリックしてね！";
constexpr std::string_view StartMessage = "開始するときは\r\n\r\nスペース・キー";
constexpr std::string_view EndMessage = "終了する時は\r\n\r\nスペース・キー";
constexpr int TestMinuteTicks = 60;
constexpr int BarMaximum = 100;
// Where a wrong character goes: below the 140-pixel target box, the cat-paw picture beside it.
constexpr int TargetBoxHeight = 140, PawRight = 50, PawDown = 70;

std::string controlName(MainControl id) {
    const int n = static_cast<int>(id);
    if (id < MainControl::FirstKey) return "MainControl::" + std::string(ControlNames[n]);
    const int key = (n - static_cast<int>(MainControl::FirstKey)) / 3 + 1;
    constexpr std::string_view Families[] = {"keyFrame(", "keyPanel(", "keyLegend("};
    return std::string(Families[(n - static_cast<int>(MainControl::FirstKey)) % 3]) + std::to_string(key) +
           ")";
}

std::string literal(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr char Hex[] = "0123456789abcdef";
            out += "\\x";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// A label shows a single "&" as an accelerator mark, so the program writes a typed "&" doubled.
std::string asLabel(std::string_view character) {
    return character == "&" ? "&&" : std::string(character);
}

int id(MainControl control) {
    return static_cast<int>(control);
}

MainControl parentOf(MainControl control) {
    static const std::vector<MainControl> parents = [] {
        std::vector<MainControl> out(ControlCount, MainControl::MofuForm1);
        for (auto table : {mainFormControls(), keyPanelControls()})
            for (const auto& row : table)
                out[static_cast<std::size_t>(row.name.id)] = static_cast<MainControl>(row.parent.id);
        return out;
    }();
    return parents[static_cast<std::size_t>(control)];
}

enum class Results { None, Practice, Test };

// What the drill's state table and its counting convention say the windows must show. It follows the
// events on its own and is compared with the windows after each one.
struct Model {
    Phase phase = Phase::Idle;
    int mode = 0;
    std::int32_t presses = 0, misses = 0;
    std::uint32_t correct = 0;
    std::array<drill::KeyStats::Entry, drill::KeyStats::Last - drill::KeyStats::First + 1> stats{};
    std::uint32_t shownAt = 0; // tick at which the current target appeared
    char target = 0;
    bool newTarget = false; // the last event drew a target, which must differ from the one before
    int bar = 0;
    int testTicks = 0;
    std::string miss; // the wrong character on show
    bool targetBlank = false;
    std::string_view label3 = ChooseModeMessage;
    bool startScreen = true, preparedOnce = false;
    Results results = Results::None;
    bool flashing = false, flashedPractice = false;
    bool shifted = false, noteHeld = false;
    bool boxShown = false, boxActive = false, boxPlaced = false;
    int boxLeft = 0, boxTop = 0;
    bool exited = false;
    int beeps = 0;
};

struct Held {
    int control;
    MouseButton button;
    bool enabled;
};

// The program under the driver: a main window and an About box on a hand-turned clock. Closing the
// main window ends this program and starts the next, as a person would start it again.
class Player {
public:
    explicit Player(std::uint32_t startTick) {
        m_clock.tick = startTick;
        start();
    }
    ~Player() { stop(); }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void apply(const Event& event);
    std::optional<Failure> check(std::size_t index);
    Event propose(std::mt19937& random);
    Coverage coverage;

private:
    void start();
    void stop();
    platform::Window& main() { return m_form->window(); }
    platform::Window& box() { return m_box->window(); }
    Control c(MainControl id) const { return m_form->c(id); }
    Control c(int id) const { return m_form->c(static_cast<MainControl>(id)); }
    bool boxActive() { return pt::isActive(box()); }
    platform::Window& activeWindow() { return boxActive() ? box() : main(); }
    bool contains(int control, int x, int y);
    bool showing(int control);

    void typeText(std::string_view text);
    void typeIntoMain(std::string_view character);
    void prepare();
    void showTarget();
    void ended(Results results);
    void pointer(const Event& event);
    void pressAt(int x, int y, MouseButton button);
    void releaseAt(int x, int y, MouseButton button);
    void clicked(int control);
    void timerTick(int timer, int intervals);
    void hideBox();
    void probeScreen(const std::function<void(bool, std::string_view)>& expect);

    FakeClock m_clock;
    std::unique_ptr<TMofuForm1> m_form;
    std::unique_ptr<TAboutBox> m_box;
    Model m;
    std::optional<Held> m_held;
    int m_beepsBefore = 0;
    bool m_selectorWasVisible = true;
    std::size_t m_checks = 0;
};

void Player::start() {
    m_form = std::make_unique<TMofuForm1>(m_clock);
    m_box = std::make_unique<TAboutBox>();
    m_form->setAboutBox(*m_box);
    m_form->show();
    pt::deliverPosted();
    m = Model{};
    m.mode = c(MainControl::ModeSelect).itemIndex();
    m_held.reset();
}

// In the order the program ends: the main window first, the About box with the application.
void Player::stop() {
    m_form.reset();
    m_box.reset();
    pt::deliverPosted();
}

void Player::apply(const Event& e) {
    m_beepsBefore = pt::beepCount();
    m.beeps = 0;
    m_selectorWasVisible = c(MainControl::ModeSelect).visible();
    switch (e.op) {
    case Op::Type: typeText(e.text); break;
    case Op::TypeTarget:
        if (const char target = m_form->session().state().Target) typeText(std::string(1, target));
        break;
    case Op::F1:
        pt::pressF1(activeWindow(), static_cast<unsigned>(e.a));
        if (e.a == pt::NoModifier) prepare();
        break;
    case Op::Silent: pt::pressSilent(activeWindow(), static_cast<SilentKey>(e.a)); break;
    case Op::DialogKey:
        if (!boxActive()) break;
        pt::pressDialogKey(box(), static_cast<DialogKey>(e.a), static_cast<unsigned>(e.b));
        // The focused button takes Space whatever is held and, being the default button, Enter only
        // without modifiers; there is no cancel button.
        if (static_cast<DialogKey>(e.a) == DialogKey::Space ||
            (static_cast<DialogKey>(e.a) == DialogKey::Return && e.b == pt::NoModifier))
            hideBox();
        break;
    case Op::Click:
    case Op::DoubleClick:
    case Op::Press:
    case Op::Release:
    case Op::SelectMode: pointer(e); break;
    case Op::Tick: timerTick(e.a, std::max(1, e.b)); break;
    case Op::Wait: m_clock.tick += static_cast<std::uint32_t>(e.a); break;
    case Op::BoxOk:
        if (!box().visible() || m_held) break;
        box().activate();
        m.boxActive = true;
        pt::clickControl(box(), static_cast<int>(AboutControl::OKButton));
        hideBox();
        break;
    case Op::BoxCloseBox:
        if (!box().visible()) break;
        pt::pressCloseBox(box());
        hideBox();
        break;
    case Op::BoxMove:
        if (!box().visible()) break;
        box().move(e.a, e.b);
        m.boxLeft = e.a;
        m.boxTop = e.b;
        break;
    case Op::FrontMain:
        if (!boxActive()) break;
        main().activate();
        m.boxActive = false;
        break;
    case Op::CloseMain:
        pt::pressCloseBox(main());
        m.exited = true;
        break;
    }
    pt::deliverPosted();
}

// One key per character, to whichever window is active.
void Player::typeText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view character = text.substr(i, length);
        i += length;
        if (!boxActive()) {
            typeIntoMain(character);
            continue;
        }
        pt::type(box(), character);
        if (character == "\r" || character == " ") hideBox();
    }
}

void Player::typeIntoMain(std::string_view character) {
    pt::type(main(), character);
    if (character == "\x7f") return; // Delete types nothing here
    // The other control characters are typed with Ctrl held: chords, which are no answers.
    const bool withCtrl = character.size() == 1 && static_cast<unsigned char>(character[0]) < 0x20 &&
                          character != "\r" && character != "\b" && character != "\x1b" && character != "\t";
    if (withCtrl) return;
    // The yen key types the drill's backslash.
    const std::string typed = character == "¥" ? "\\" : std::string(character);
    if (m.phase == Phase::Running) {
        if (typed == " " && m.mode == TestMode) return;
        m.presses += 1;
        if (typed.size() == 1 && typed[0] == m.target) {
            auto& entry = m.stats[static_cast<std::size_t>(static_cast<unsigned char>(m.target) - 33)];
            entry.totalMs += m_clock.tick - m.shownAt;
            entry.answers += 1;
            m.correct += 1;
            showTarget();
        } else if (typed == " ") {
            ended(Results::Practice);
        } else {
            m.misses += 1;
            ++coverage.misses;
            m.miss = asLabel(typed);
            m.beeps += 1;
        }
    } else if (m.phase == Phase::Prepared && typed == " ") {
        ++coverage.started;
        m.phase = Phase::Running;
        m.testTicks = 0;
        showTarget();
    }
    m.label3 = EndMessage;
}

void Player::showTarget() {
    m.shownAt = m_clock.tick;
    m.bar = 0;
    m.miss.clear();
    m.targetBlank = false;
    m.newTarget = true;
}

void Player::ended(Results results) {
    m.phase = Phase::Idle;
    m.results = results;
    m.startScreen = false;
    m.miss.clear();
    if (results == Results::Test || m.correct > 2) m.flashing = true;
    ++(results == Results::Test ? coverage.tests : coverage.practiceDrills);
}

// The OK action: a running drill keeps going on its target; the counts start over.
void Player::prepare() {
    m.results = Results::None;
    m.preparedOnce = true;
    if (c(MainControl::ModeSelect).itemIndex() == KeyboardMode) {
        coverage.keyboardVisits += m.phase != Phase::Keyboard;
        m.phase = Phase::Keyboard;
        return;
    }
    ++(m.phase == Phase::Running    ? coverage.restartedCounts
       : m.phase == Phase::Prepared ? coverage.preparedAgain
                                    : coverage.prepared);
    m.presses = -1;
    m.misses = 0;
    m.correct = 0;
    m.stats = {};
    m.label3 = StartMessage;
    if (m.phase == Phase::Running)
        m.targetBlank = true;
    else
        m.phase = Phase::Prepared;
}

// A late tick stands for every interval the program was held up; the test clock counts them all.
void Player::timerTick(int timer, int intervals) {
    platform::Timer& t = timer == 1 ? m_form->timer1() : timer == 2 ? m_form->timer2() : m_form->timer3();
    if (!t.enabled()) return;
    coverage.lateTicks += intervals > 1;
    if (timer == 1 && m.phase == Phase::Running) m.bar = std::min(m.bar + 1, BarMaximum);
    if (timer == 2 && c(MainControl::ModeSelect).itemIndex() != TestMode) m.flashedPractice = true;
    if (timer == 3 && m.phase == Phase::Running) {
        m.testTicks += intervals;
        if (m.testTicks >= TestMinuteTicks) ended(Results::Test);
    }
    pt::fireTimer(t, intervals);
}

void Player::hideBox() {
    m.boxShown = false;
    m.boxActive = false;
}

// The control and every panel around it are shown: only then can a person click it.
bool Player::showing(int control) {
    for (MainControl at = static_cast<MainControl>(control); at != MainControl::MofuForm1; at = parentOf(at))
        if (!c(at).visible()) return false;
    return true;
}

bool Player::contains(int control, int x, int y) {
    const int left = pt::windowX(main(), control), top = pt::windowY(main(), control);
    return x >= left && y >= top && x < left + c(control).width() && y < top + c(control).height();
}

// A held button keeps the mouse, so nothing else is clicked until it is released; a click on the main
// window brings it to the front.
void Player::pointer(const Event& e) {
    if (m_held ? e.op != Op::Release || e.button != m_held->button : e.op == Op::Release) return;
    if (e.op != Op::Release && boxActive()) {
        main().activate();
        m.boxActive = false;
    }
    int x = e.a, y = e.b;
    if (e.op == Op::SelectMode) {
        const pt::Rect item = pt::itemRect(main(), id(MainControl::ModeSelect), std::clamp(e.a, 0, 6));
        x = pt::windowX(main(), id(MainControl::ModeSelect)) + item.left + item.width / 2;
        y = pt::windowY(main(), id(MainControl::ModeSelect)) + item.top + item.height / 2;
    } else if (e.anchor != MainControl::MofuForm1) {
        x += pt::windowX(main(), id(e.anchor));
        y += pt::windowY(main(), id(e.anchor));
    }
    x = std::clamp(x, 0, main().clientWidth() - 1);
    y = std::clamp(y, 0, main().clientHeight() - 1);
    switch (e.op) {
    case Op::Press: pressAt(x, y, e.button); break;
    case Op::Release: releaseAt(x, y, e.button); break;
    case Op::DoubleClick: {
        // The second press of a double click is no click; the note goes back when it is released.
        const int at = pt::controlAt(main(), x, y);
        const bool clicks = e.button == MouseButton::Left && at >= 0 && c(at).enabled();
        pt::doubleClick(main(), x, y, e.button);
        if (clicks) clicked(at);
        break;
    }
    default:
        pressAt(x, y, e.button);
        releaseAt(x, y, e.button);
        break;
    }
}

void Player::pressAt(int x, int y, MouseButton button) {
    const int at = pt::controlAt(main(), x, y);
    const bool enabled = at >= 0 && c(at).enabled();
    m_held = Held{at, button, enabled};
    if (at == id(MainControl::Label13) && button == MouseButton::Left) m.noteHeld = true;
    pt::press(main(), x, y, button);
}

// The pressed control hears the release wherever it happens; it is a click when the left button
// goes up inside it, and the control is still there.
void Player::releaseAt(int x, int y, MouseButton button) {
    const Held held = *m_held;
    m_held.reset();
    const bool clicks = button == MouseButton::Left && held.enabled && held.control >= 0 &&
                        c(held.control).enabled() && showing(held.control) && contains(held.control, x, y);
    if (held.control == id(MainControl::Label13) && button == MouseButton::Left) m.noteHeld = false;
    pt::release(main(), x, y, button);
    if (clicks) clicked(held.control);
}

void Player::clicked(int control) {
    switch (static_cast<MainControl>(control)) {
    case MainControl::OKButton1: prepare(); break;
    case MainControl::ExitButton1: m.exited = true; break;
    case MainControl::Panel4:
    case MainControl::Panel5:
        coverage.boxOpenings += !m.boxShown;
        // A hidden box opens in front; a shown one is left as it is, but where there is no window
        // switcher to reach it, which brings it in front where it is.
        if (!m.boxShown || !platform::hasWindowSwitcher()) m.boxActive = true;
        m.boxShown = true;
        break;
    case MainControl::ShiftButton: m.shifted = !m.shifted; break;
    case MainControl::Owari:
        coverage.keyboardLeft += m.phase == Phase::Keyboard;
        m.phase = Phase::Idle;
        m.startScreen = false;
        m.miss.clear();
        break;
    default: break;
    }
}

std::optional<Failure> Player::check(std::size_t index) {
    std::optional<Failure> broken;
    auto expect = [&](bool holds, std::string_view rule, const auto&... detail) {
        if (holds || broken) return;
        std::ostringstream out;
        ((out << detail), ...);
        broken = Failure{index, std::string(rule), out.str()};
    };
    if (m.exited) {
        expect(!main().visible(), "exit", "the window stayed after the exit");
        if (!broken) {
            stop();
            start();
            ++coverage.restarts;
        }
        return broken;
    }
    expect(main().visible(), "exit", "the window closed by itself");

    const drill::DrillState& s = m_form->session().state();
    const Phase phase = m_form->session().phase();
    const bool idle = phase == Phase::Idle, running = phase == Phase::Running;
    const bool drilling = running || phase == Phase::Prepared, keyboard = phase == Phase::Keyboard;
    expect(phase == m.phase, "phase", "expected ", static_cast<int>(m.phase), ", is ",
           static_cast<int>(phase));
    expect(s.Running == running, "phase", "Running is ", s.Running, " in phase ", static_cast<int>(phase));
    const int mode = c(MainControl::ModeSelect).itemIndex();
    if (m_selectorWasVisible || c(MainControl::ModeSelect).visible()) m.mode = mode;
    expect(mode == m.mode, "mode", "changed from ", m.mode, " to ", mode, " behind the hidden selector");
    expect(m_form->timer1().enabled() == running, "timers", "Timer1 enabled ", m_form->timer1().enabled());
    expect(m_form->timer3().enabled() == (running && m.mode == TestMode), "timers", "Timer3");
    expect(m_form->timer2().enabled() == m.flashing, "timers", "Timer2 enabled ", m_form->timer2().enabled());
    expect(c(MainControl::OKButton1).enabled() == !drilling, "OK button", "enabled ",
           c(MainControl::OKButton1).enabled());

    // What each phase shows.
    struct Shown {
        MainControl control;
        bool visible;
    };
    const bool practiceResults = idle && m.results == Results::Practice;
    for (Shown v :
         {Shown{MainControl::ProgressBar1, true}, Shown{MainControl::Panel3, true},
          Shown{MainControl::ModeSelect, idle}, Shown{MainControl::Panel6, drilling},
          Shown{MainControl::KeyPanel, keyboard}, Shown{MainControl::Label12, keyboard},
          Shown{MainControl::Panel1, !keyboard}, Shown{MainControl::Panel2, !keyboard},
          Shown{MainControl::Label3, drilling || (idle && m.startScreen)},
          Shown{MainControl::Label6, idle && !m.startScreen}, Shown{MainControl::mofu, !m.miss.empty()},
          Shown{MainControl::Panel8, practiceResults}, Shown{MainControl::PanelNigate, practiceResults},
          Shown{MainControl::PanelTokui, practiceResults},
          Shown{MainControl::Label5, practiceResults || (idle && !m.preparedOnce)},
          Shown{MainControl::KP, idle && m.results == Results::Test}})
        expect(c(v.control).visible() == v.visible, "visible", controlName(v.control), " should be ",
               v.visible ? "shown" : "hidden", " in phase ", static_cast<int>(phase));

    // The counting convention: Presses starts at -1 with every character of a running drill counted,
    // the Space that ends a practice drill too, so the misses pass the presses by one at most.
    expect(s.Presses == m.presses && s.Misses == m.misses, "counts", "Presses ", s.Presses, " Misses ",
           s.Misses, ", expected ", m.presses, " and ", m.misses);
    expect(s.Misses >= 0 && s.Misses <= s.Presses + 1, "counts", "Misses ", s.Misses, " Presses ", s.Presses);
    std::uint32_t answers = 0;
    for (int code = drill::KeyStats::First; code <= drill::KeyStats::Last; ++code) {
        const auto& got = s.keyStats[code];
        const auto& want = m.stats[static_cast<std::size_t>(code - drill::KeyStats::First)];
        expect(got.totalMs == want.totalMs && got.answers == want.answers, "KeyStats",
               static_cast<char>(code), ": ", got.totalMs, " ms over ", got.answers, ", expected ",
               want.totalMs, " over ", want.answers);
        answers += got.answers;
    }
    expect(answers == m.correct, "KeyStats", answers, " answers for ", m.correct, " correct keys");

    if (m.newTarget) {
        expect(s.Target != m.target, "target", "repeated ", s.Target);
        m.target = s.Target;
        m.newTarget = false;
    }
    expect(s.Target == m.target, "target", "changed to ", s.Target, " without an answer");
    if (running)
        expect(DrillSets[m.mode].find(s.Target) != std::string_view::npos, "target", s.Target,
               " is not in the set of mode ", m.mode);
    const platform::Size screen = platform::screenSize();
    if (drilling) {
        const std::string shown = running && !m.targetBlank ? asLabel(std::string(1, s.Target)) : "";
        const Control target = c(MainControl::Label1), targetBox = c(MainControl::Panel6);
        expect(target.text() == shown, "Label1", "shows '", target.text(), "', expected '", shown, "'");
        if (!shown.empty())
            expect(target.left() == half(c(MainControl::Panel7).width(), target.width()) &&
                       target.top() == half(c(MainControl::Panel7).height(), target.height()),
                   "centring", "Label1");
        expect(targetBox.left() == half(screen.width, targetBox.width()) &&
                   targetBox.top() == half(screen.height, targetBox.height()),
               "centring", "Panel6");
        if (m.label3 == StartMessage)
            expect(c(MainControl::Label3).left() == half(screen.width, c(MainControl::Label3).width()),
                   "centring", "Label3");
    }
    expect(c(MainControl::Label3).text() == m.label3, "Label3", "reads ",
           literal(c(MainControl::Label3).text()));
    expect(!c(MainControl::Label6).visible() || c(MainControl::Label6).text() == ChooseModeMessage, "Label6",
           "reads ", literal(c(MainControl::Label6).text()));
    for (MainControl message : {MainControl::Label6, MainControl::Label12})
        if (c(message).visible())
            expect(c(message).left() == half(screen.width, c(message).width()), "centring",
                   controlName(message));
    const int bar = c(MainControl::ProgressBar1).position();
    expect(bar == m.bar && bar >= 0 && bar <= BarMaximum, "progress bar", bar, ", expected ", m.bar);

    if (running)
        expect(c(MainControl::Label2).text() == m.miss, "Label2", literal(c(MainControl::Label2).text()),
               " for ", literal(m.miss));
    if (c(MainControl::mofu).visible()) {
        const Control miss = c(MainControl::Label2), paw = c(MainControl::mofu);
        expect(miss.visible() && miss.left() == half(main().clientWidth(), miss.width()) &&
                   miss.top() == c(MainControl::Panel6).top() + TargetBoxHeight &&
                   paw.left() == miss.left() + miss.width() + PawRight && paw.top() == miss.top() + PawDown,
               "miss placement", miss.left(), ",", miss.top(), " paw ", paw.left(), ",", paw.top());
    }
    expect(pt::beepCount() - m_beepsBefore == m.beeps, "beeps", pt::beepCount() - m_beepsBefore, " for ",
           m.beeps, " misses");

    // The results show the counts the drill made.
    if (c(MainControl::Panel8).visible()) {
        expect(c(MainControl::Label7).text() == "出題数　" + std::to_string(m.presses) &&
                   c(MainControl::Label8).text() == "正解数　" + std::to_string(m.correct) &&
                   c(MainControl::Label9).text() == "間違数　" + std::to_string(m.misses),
               "results", c(MainControl::Label7).text(), " ", c(MainControl::Label8).text(), " ",
               c(MainControl::Label9).text());
        expect(c(MainControl::Nigate).visible() == (m.correct > 2) &&
                   c(MainControl::Tokui).visible() == (m.correct > 2),
               "results", "weak and strong key shown for ", m.correct, " correct");
    }
    if (c(MainControl::KP).visible())
        expect(c(MainControl::mojisuu).text() == "１分間 " + std::to_string(m.correct) + " 文字", "results",
               c(MainControl::mojisuu).text(), " for ", m.correct, " correct");
    if (m.flashedPractice) {
        const platform::Colour weak = c(MainControl::PanelNigate).colour(),
                               strong = c(MainControl::PanelTokui).colour();
        const bool drawnBelow255 =
            weak <= 0xFFFFFF && (weak & 0xFF) < 0xFF && (weak >> 8 & 0xFF) < 0xFF && (weak >> 16) < 0xFF;
        expect(strong == (weak ^ 0xFFFFFF) && drawnBelow255, "flash", std::hex, weak, " and ", strong);
    }

    // The keyboard picture follows the Shift toggle and the note, shown or not.
    expect(m_form->shifted() == m.shifted && c(MainControl::Label13).visible() == !m.shifted &&
               c(MainControl::ShiftButton).fontColour() == (m.shifted ? platform::clRed : platform::clAqua),
           "Shift", "shifted ", m_form->shifted(), ", expected ", m.shifted);
    for (int key = 1; key <= KeyCount; ++key) {
        const auto i = static_cast<std::size_t>(key - 1);
        const std::string_view legend = key == KeyCount && m.noteHeld ? "\\"
                                        : m.shifted                   ? ShiftedLegends[i]
                                                                      : Legends[i];
        expect(c(keyLegend(key)).text() == legend, "legends", "K", key, " shows ", c(keyLegend(key)).text());
    }

    // The About box: placed once, then where it was left; the keyboard always reaches one window.
    expect(box().visible() == m.boxShown, "About box", "shown ", box().visible(), ", expected ", m.boxShown);
    if (m.boxShown && !m.boxPlaced) {
        m.boxLeft = std::max(0, half(screen.width, box().outerWidth()));
        m.boxTop = std::max(0, half(screen.height, box().outerHeight()));
        m.boxPlaced = true;
    }
    if (m.boxShown)
        expect(box().left() == m.boxLeft && box().top() == m.boxTop, "About box", "at ", box().left(), ",",
               box().top(), ", expected ", m.boxLeft, ",", m.boxTop);
    const bool boxFront = m.boxShown && m.boxActive;
    expect(pt::isActive(box()) == boxFront && pt::isActive(main()) == !boxFront, "activation", "box active ",
           pt::isActive(box()), ", main active ", pt::isActive(main()));

    if (++m_checks % 500 == 0 && pt::drawsPictures()) probeScreen(expect);
    return broken;
}

// What the drawing shows: the bar's fill, the target box's frame and the OK button's frame.
void Player::probeScreen(const std::function<void(bool, std::string_view)>& expect) {
    const pt::Image image = pt::grab(main());
    const Control bar = c(MainControl::ProgressBar1);
    const int filled = (bar.width() - 2) * bar.position() / BarMaximum, barY = bar.top() + bar.height() / 2;
    const platform::Colour face = platform::resolve(platform::clBtnFace);
    if (filled > 0) expect(image.at(bar.left() + filled, barY) != face, "drawing: the bar's fill is missing");
    expect(image.at(bar.left() + filled + 1, barY) == face, "drawing: the bar is filled too far");
    for (MainControl frame : {MainControl::Panel6, MainControl::Panel1}) {
        const int x = pt::windowX(main(), id(frame)), y = pt::windowY(main(), id(frame));
        if (c(frame).visible())
            expect(image.at(x, y) == c(frame).colour(), "drawing: a frame has the wrong colour");
    }
}

} // namespace

Coverage& Coverage::operator+=(const Coverage& other) {
    for (auto [mine, theirs] : {std::pair{&prepared, other.prepared},
                                {&preparedAgain, other.preparedAgain},
                                {&started, other.started},
                                {&restartedCounts, other.restartedCounts},
                                {&practiceDrills, other.practiceDrills},
                                {&tests, other.tests},
                                {&keyboardVisits, other.keyboardVisits},
                                {&keyboardLeft, other.keyboardLeft},
                                {&boxOpenings, other.boxOpenings},
                                {&restarts, other.restarts},
                                {&misses, other.misses},
                                {&lateTicks, other.lateTicks}})
        *mine += theirs;
    return *this;
}

std::vector<std::pair<std::string_view, long>> Coverage::counts() const {
    return {{"drills prepared", prepared},
            {"prepared drills prepared again", preparedAgain},
            {"drills started", started},
            {"running drills' counts started over", restartedCounts},
            {"practice drills finished", practiceDrills},
            {"tests finished", tests},
            {"keyboard picture entered", keyboardVisits},
            {"keyboard picture left", keyboardLeft},
            {"About box opened", boxOpenings},
            {"exits", restarts},
            {"misses", misses},
            {"late ticks", lateTicks}};
}

std::string describe(const Event& e) {
    constexpr std::string_view SilentNames[] = {"Left", "Right", "Up", "Down", "ShiftKey", "F2"};
    constexpr std::string_view DialogNames[] = {"Return", "Space", "Escape"};
    constexpr std::string_view ButtonNames[] = {"", ", MouseButton::Right", ", MouseButton::Middle"};
    constexpr std::string_view PointerNames[] = {"click(", "doubleClick(", "press(", "release("};
    const auto n = [](int value) { return std::to_string(value); };
    switch (e.op) {
    case Op::Type: return "type(" + literal(e.text) + ")";
    case Op::TypeTarget: return "typeTarget()";
    case Op::F1: return "f1(" + n(e.a) + ")";
    case Op::Silent: return "silent(SilentKey::" + std::string(SilentNames[e.a]) + ")";
    case Op::DialogKey: return "dialogKey(DialogKey::" + std::string(DialogNames[e.a]) + ", " + n(e.b) + ")";
    case Op::Click:
    case Op::DoubleClick:
    case Op::Press:
    case Op::Release:
        return std::string(PointerNames[static_cast<int>(e.op) - static_cast<int>(Op::Click)]) +
               controlName(e.anchor) + ", " + n(e.a) + ", " + n(e.b) +
               std::string(ButtonNames[static_cast<int>(e.button)]) + ")";
    case Op::SelectMode: return "selectMode(" + n(e.a) + ")";
    case Op::Tick: return "tick(" + n(e.a) + (e.b > 1 ? ", " + n(e.b) : "") + ")";
    case Op::Wait: return "wait(" + n(e.a) + ")";
    case Op::BoxOk: return "boxOk()";
    case Op::BoxCloseBox: return "boxCloseBox()";
    case Op::BoxMove: return "boxMove(" + n(e.a) + ", " + n(e.b) + ")";
    case Op::FrontMain: return "frontMain()";
    case Op::CloseMain: return "closeMain()";
    }
    return {};
}

// Each choice leans toward what moves the drill on in the state the windows are in, so that long
// sequences reach every phase, finish tests and visit the keyboard picture.
Event Player::propose(std::mt19937& random) {
    const auto pick = [&](int n) {
        return static_cast<int>(random() % static_cast<std::uint32_t>(std::max(n, 1)));
    };
    const auto chance = [&](int percent) { return pick(100) < percent; };
    const Phase phase = m_form->session().phase();
    const int mode = m_form->session().mode();
    const std::string_view set = mode >= 0 && mode <= KeyboardMode ? DrillSets[mode] : "";
    const auto anyKey = [&]() -> Event {
        if (phase == Phase::Running && chance(55)) return typeTarget();
        if (phase == Phase::Running && !set.empty() && chance(40))
            return type(std::string(1, set[static_cast<std::size_t>(pick(static_cast<int>(set.size())))]));
        if (chance(60)) return type(std::string(1, static_cast<char>(33 + pick(94))));
        return type(std::string(OddCharacters[static_cast<std::size_t>(pick(std::size(OddCharacters)))]));
    };
    const auto anyButton = [&] {
        const int r = pick(20);
        return r < 15 ? MouseButton::Left : r < 18 ? MouseButton::Right : MouseButton::Middle;
    };
    const auto anyModifiers = [&] { return chance(70) ? 0u : static_cast<unsigned>(pick(8)); };
    const auto middleOf = [&](MainControl control) {
        return click(control, c(control).width() / 2, c(control).height() / 2);
    };
    // Arguments are drawn one statement at a time: their order of evaluation is the compiler's.
    const auto somewhere = [&]() -> Event {
        const int r = pick(100), x = pick(main().clientWidth()), y = pick(main().clientHeight());
        Event e = click(MainControl::MofuForm1, x, y, anyButton());
        if (r < 55) {
            e.anchor = static_cast<MainControl>(1 + pick(ControlCount - 1));
            const int w = c(e.anchor).width(), h = c(e.anchor).height();
            const int corner = pick(4); // middle, anywhere inside, left edge (a frame's), bottom-right pixel
            e.a = corner == 0 ? w / 2 : corner == 1 ? pick(w) : corner == 2 ? 0 : w - 1;
            e.b = corner == 0 ? h / 2 : corner == 3 ? h - 1 : pick(h);
        } else if (r < 70) {
            // The column where the two info buttons overlap, and the columns beside it.
            e.anchor = MainControl::Panel3;
            e.a = 199 + pick(3);
            e.b = pick(36);
        }
        const int how = pick(20);
        e.op = how < 12 ? Op::Click : how < 15 ? Op::DoubleClick : Op::Press;
        return e;
    };
    // One tick in ten comes late, as after a hidden page or a stopped program.
    const auto late = [&] { return chance(10) ? 2 + pick(30) : 1; };
    const auto anyTick = [&]() -> Event {
        if (m_form->timer3().enabled() && chance(70)) return tick(3, late());
        if (m_form->timer2().enabled() && chance(25)) return tick(2);
        if (m_form->timer1().enabled()) return tick(1, late());
        return wait(pick(2000));
    };
    const auto anyWait = [&] {
        return wait(chance(80) ? pick(1500) : chance(80) ? pick(20000) : pick(600000));
    };

    if (m_held) {
        if (chance(40)) {
            Event e = somewhere();
            e.op = Op::Release;
            e.button = m_held->button;
            return e;
        }
        return chance(50) ? anyTick() : chance(50) ? anyKey() : f1(anyModifiers());
    }
    if (boxActive()) {
        switch (pick(14)) {
        case 0:
        case 1:
        case 2:
            return chance(50) ? anyKey()
                              : type(std::string(OddCharacters[static_cast<std::size_t>(pick(6))]));
        case 3: {
            const auto key = static_cast<DialogKey>(pick(3));
            return dialogKey(key, anyModifiers());
        }
        case 4: return boxOk();
        case 5: return boxCloseBox();
        case 6: {
            const int left = pick(main().clientWidth()) - 50;
            return boxMove(left, pick(main().clientHeight()) - 50);
        }
        case 7: return frontMain();
        case 8: return f1(anyModifiers());
        case 9: return somewhere();
        default: return chance(50) ? anyTick() : anyWait();
        }
    }
    const int r = pick(1000);
    if (r < 1) return closeMain();
    if (r < 80) return anyWait();
    if (r < 200) return anyTick();
    if (r < 230) return f1(anyModifiers());
    if (r < 250) return silent(static_cast<SilentKey>(pick(6)));
    if (r < 265) return middleOf(chance(50) ? MainControl::Panel4 : MainControl::Panel5);
    if (r < 280 && box().visible())
        return chance(50) ? boxOk() : chance(50) ? boxCloseBox() : boxMove(pick(300), 100);
    switch (phase) {
    case Phase::Idle:
        if (r < 450) return selectMode(pick(7));
        if (r < 550) return middleOf(MainControl::OKButton1);
        if (r < 700) return anyKey();
        if (r < 703) return middleOf(MainControl::ExitButton1);
        return somewhere();
    case Phase::Prepared:
        if (r < 600) return type(" ");
        if (r < 800) return anyKey();
        return somewhere();
    case Phase::Running:
        if (r < 330 && !m_form->session().isTest()) return type(" ");
        if (r < 900) return anyKey();
        return somewhere();
    case Phase::Keyboard:
        if (r < 400) return middleOf(MainControl::ShiftButton);
        if (r < 450) return middleOf(MainControl::Owari);
        if (r < 600) {
            Event e = middleOf(MainControl::Label13);
            e.op = chance(70) ? Op::Press : Op::DoubleClick;
            e.button = anyButton();
            return e;
        }
        if (r < 750) return anyKey();
        return somewhere();
    }
    return anyWait();
}

std::optional<Failure> play(std::span<const Event> events, std::uint32_t startTick) {
    Player player(startTick);
    for (std::size_t i = 0; i < events.size(); ++i) {
        player.apply(events[i]);
        if (auto failure = player.check(i)) return failure;
    }
    return std::nullopt;
}

Exploration explore(std::uint32_t seed, std::size_t count) {
    std::mt19937 random(seed);
    // A quarter of the runs start just before the millisecond counter wraps.
    const auto startTick = static_cast<std::uint32_t>(random() % 4 == 0 ? 0xFFFFFFFFu - random() % 200000
                                                                        : 1000 + random() % 1000000);
    Exploration run{startTick, {}, std::nullopt, {}};
    Player player(startTick);
    // A crash found by a sanitizer ends the process before any list is printed, so the list can be
    // written as it is played.
    const bool trace = std::getenv("TAPIRUN_TRACE") != nullptr;
    if (trace) std::cerr << "sequence from seed " << seed << ", start tick " << startTick << "u\n";
    for (std::size_t i = 0; i < count && !run.failure; ++i) {
        run.events.push_back(player.propose(random));
        if (trace) std::cerr << "    " << describe(run.events.back()) << ",\n";
        player.apply(run.events.back());
        run.failure = player.check(i);
    }
    run.coverage = player.coverage;
    return run;
}

std::vector<Event> shrink(std::vector<Event> events, const Failure& failure, std::uint32_t startTick) {
    events.resize(std::min(events.size(), failure.index + 1));
    std::size_t chunks = 2;
    while (events.size() >= 2) {
        const std::size_t size = (events.size() + chunks - 1) / chunks;
        bool reduced = false;
        for (std::size_t start = 0; start < events.size() && !reduced; start += size) {
            std::vector<Event> candidate(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(start));
            candidate.insert(candidate.end(),
                             events.begin() +
                                 static_cast<std::ptrdiff_t>(std::min(start + size, events.size())),
                             events.end());
            const auto again = play(candidate, startTick);
            if (!again || again->rule != failure.rule) continue;
            candidate.resize(again->index + 1);
            events = std::move(candidate);
            chunks = std::max<std::size_t>(chunks - 1, 2);
            reduced = true;
        }
        if (reduced) continue;
        if (chunks >= events.size()) break;
        chunks = std::min(events.size(), chunks * 2);
    }
    return events;
}

} // namespace soak
