// A backend of the tests' own, with no toolkit and nothing drawn: the core's duties are carried out
// on plain records (places, what is shown, the tool-tip as it was last written, paints), so that the
// form suites run on any machine in a few seconds. What only a toolkit can show (pictures, its own
// events, its tool-tips and readers) is the toolkits' suites'.
//
// Text is measured by a fixed rule, half the font's height for a narrow character and the whole
// height for a wide one, so places that follow a text's size differ from a toolkit's.

#include "platform/Text.h"
#include "platform/core/SelfDrawn.h"
#include "tests/support/Access.h"
#include "tests/support/SelfDrawn.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {

class ControlImpl : public DrawnState {
public:
    // What the desktop shows when the pointer rests on the control: written when the control is made
    // and whenever the core says its hint changed, so that a hint change the core never passes on
    // leaves the old tip, as it would on a toolkit.
    std::string toolTip;
    int paints = 0;
};

class WindowImpl : public WindowState {
public:
    ControlImpl root;
    std::string caption;
    int left = 0, top = 0;
    bool shown = false;
    bool captionBar = true;
    ControlImpl* focused = nullptr;
};

namespace {

WindowImpl* g_active = nullptr;

// The frame a dialog gets: the classic desktop's border and caption bar.
constexpr int Border = 3, Caption = 18;

double measured(const Font& font, std::u32string_view text) {
    double width = 0;
    for (char32_t c : text)
        width += c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) ? font.height / 2.0 : font.height;
    return width;
}

void resizeToText(ControlImpl& c) {
    if (c.kind != Kind::Label) return;
    const bool wrap = (c.style & WordWrap) != 0;
    const Measure measure = [&c](std::u32string_view text) { return measured(c.font, text); };
    const auto [w, h] = labelSize(labelLines(c.text, wrap, c.designWidth, measure), wrap, c.designWidth,
                                  c.font.height, measure);
    c.width = w;
    c.height = h;
}

void writeToolTip(ControlImpl& c) {
    c.toolTip = (c.style & ShowHint) ? std::string(shortHint(c.hint)) : std::string();
}

void layOut(WindowImpl& w) {
    if (w.maximised && !w.dialog) {
        const Size s = driver().screenSize();
        w.root.width = s.width;
        w.root.height = s.height;
        w.left = w.top = 0;
    }
    dockAlongBottom(w, w.root, w.root.width, w.root.height);
}

class SteadyAlarm final : public TimerAlarm {
public:
    double nowMs() override {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    // The test runs the ticks that are due (runDueTimers); nothing goes off by itself.
    void set(double) override {}
    void cancel() override {}
};

class RecordingDriver final : public SelfDrawnDriver {
public:
    WindowImpl* makeWindow(const WindowSpec& d, Window&) override {
        auto* w = new WindowImpl;
        describeWindow(*w, w->root, d);
        w->caption = std::string(d.caption);
        w->left = d.left;
        w->top = d.top;
        windowMade(*w);
        return w;
    }
    void destroyWindow(WindowImpl& window) override {
        if (g_active == &window) g_active = nullptr;
        windowDestroyed(window);
        delete &window;
    }
    void makeControl(WindowImpl& window, const ControlRow& row) override {
        ControlImpl& c = adoptControl(window, window.root, row);
        writeToolTip(c);
        resizeToText(c);
    }
    void finishBuilding(WindowImpl&) override {}
    void showWindow(WindowImpl& window) override {
        window.shown = true;
        layOut(window);
    }
    void hideWindow(WindowImpl& window) override {
        window.shown = false;
        const bool wasActive = g_active == &window;
        if (wasActive) g_active = nullptr;
        windowHidden(window, wasActive);
    }
    bool windowShown(WindowImpl& window) override { return window.shown; }
    bool windowEnabled(WindowImpl&) override { return true; }
    void activateWindow(WindowImpl& window) override {
        if (!window.shown) return;
        g_active = &window;
        window.focused = focusTarget(window);
    }
    void raiseWindow(WindowImpl&) override {}
    void repaintWindow(WindowImpl& window) override { ++window.root.paints; }
    void setIcon(WindowImpl&, const Picture&) override {}
    void resizeClient(WindowImpl& window, int width, int height) override {
        window.root.width = width;
        window.root.height = height;
        layOut(window);
    }
    Size clientSize(WindowImpl& window) override { return {window.root.width, window.root.height}; }
    Size outerSize(WindowImpl& window) override {
        const bool framed = window.dialog || window.captionBar;
        return {window.root.width + (framed ? 2 * Border : 0),
                window.root.height + (framed ? 2 * Border + Caption : 0)};
    }
    Point position(WindowImpl& window) override { return {window.left, window.top}; }
    void moveWindow(WindowImpl& window, int left, int top) override {
        window.left = left;
        window.top = top;
    }
    void maximisedChanged(WindowImpl& window) override { layOut(window); }
    void showCaptionBar(WindowImpl& window, bool shown) override { window.captionBar = shown; }
    void disableInputMethod(WindowImpl&) override {}
    void f1Wanted(WindowImpl&) override {}
    void layOutDocked(WindowImpl& window) override { layOut(window); }
    void announce(WindowImpl&, std::string_view) override {}
    void endProgram() override {}

    void place(ControlImpl& control) override { ++control.paints; }
    void showControl(ControlImpl& control, bool shown) override {
        if (control.shown == shown) return;
        control.shown = shown;
        if (!shown) controlHidden(control);
        ++control.paints;
    }
    void textChanged(ControlImpl& control) override {
        resizeToText(control);
        ++control.paints;
    }
    void redraw(ControlImpl& control) override { ++control.paints; }
    void positionChanged(ControlImpl& control, int) override { ++control.paints; }
    void pictureChanged(ControlImpl& control) override { ++control.paints; }
    void itemChanged(ControlImpl& control) override { ++control.paints; }
    void keepsFocus(ControlImpl&) override {}
    void focus(ControlImpl& control) override { control.window->focused = &control; }
    void stateChanged(ControlImpl&) override {}
    void hintChanged(ControlImpl& control) override { writeToolTip(control); }

    void beep() override {}
    Size screenSize() override { return screen; }
    Clock& clock() override { return steadyClock(); }
    std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl&) override {
        return std::make_unique<SteadyAlarm>();
    }

    Size screen{1024, 768};
};

RecordingDriver* g_driver = nullptr;

} // namespace

ControlState& stateOf(ControlImpl& control) {
    return control;
}
WindowState& stateOf(WindowImpl& window) {
    return window;
}

std::unique_ptr<Driver> makeDriver() {
    auto made = std::make_unique<RecordingDriver>();
    g_driver = made.get();
    return made;
}

Colour resolve(Colour colour) {
    switch (colour) {
    case clBtnFace: return 0xC8D0D4;
    case clWindowText: return clBlack;
    default: return colour & 0xFFFFFF;
    }
}

std::string decimalSeparator() {
    return ".";
}
bool displayReachable(std::string&) {
    return true;
}
void hideTaskbar() {}
void showTaskbar() {}
void restoreWindowTitled(std::string_view) {}
bool hasWindowSwitcher() {
    return true;
}

struct Application::Impl {};
Application::Application(int&, char**) : m_impl(std::make_unique<Impl>()) {}
Application::~Application() = default;
void Application::setTitle(std::string_view) {}
void Application::setDesktopId(std::string_view) {}
int Application::run() {
    return 0;
}

} // namespace platform

namespace platform::test {

namespace {

ControlImpl& controlOf(Window& window, int id) {
    return *implOf(window).find(id);
}

ControlImpl* under(Window& window, int x, int y) {
    WindowImpl& w = implOf(window);
    if (!w.shown || x < 0 || y < 0 || x >= w.root.width || y >= w.root.height) return nullptr;
    return &topmostAt(w.root, x, y);
}

int itemAt(ControlImpl& c, int x, int y) {
    if (c.kind != Kind::RadioGroup) return -1;
    const auto [cx, cy] = clientPlace(c);
    return c.itemAt(x - cx, y - cy);
}

int g_pressCount = 1;

void mouse(Window& window, bool down, int x, int y, MouseButton button) {
    ControlImpl* at = under(window, x, y);
    if (down) {
        if (at) mousePressed(*at, button, g_pressCount, itemAt(*at, x, y));
        return;
    }
    ControlImpl* owner = mouseOwner();
    bool inside = false;
    if (owner && owner->window == &implOf(window) && owner->window->shown) {
        const auto [ox, oy] = clientPlace(*owner);
        inside = x >= ox && x < ox + owner->width && y >= oy && y < oy + owner->height;
    }
    mouseReleased(button, inside, owner ? itemAt(*owner, x, y) : -1, false, at);
}

HeldKeys heldOf(unsigned modifiers) {
    return {.ctrl = (modifiers & Ctrl) != 0, .alt = (modifiers & Alt) != 0, .logo = false};
}

// A key of a window as the backends pass it on: a dialog's keys first, then the typed character.
void key(Window& window, char32_t typed, unsigned modifiers) {
    WindowImpl& w = implOf(window);
    if (!w.shown) return;
    const bool held = (modifiers & (Shift | Ctrl | Alt)) != 0;
    if (w.dialog) {
        if (typed == U'\r' && dialogKey(w, platform::DialogKey::Enter, held)) return;
        if (typed == U' ' && dialogKey(w, platform::DialogKey::Space, held)) return;
        if (typed == 0x1B && dialogKey(w, platform::DialogKey::Escape, held)) return;
    }
    characterTyped(w, typed, heldOf(modifiers));
}

} // namespace

// The screen's size comes from TAPIRUN_SCREEN ("640x480"), 1024 × 768 without it.
void initialise(int&, char**) {
    recordDriverCalls();
    driver();
    if (const char* screen = std::getenv("TAPIRUN_SCREEN"))
        std::sscanf(screen, "%dx%d", &g_driver->screen.width, &g_driver->screen.height);
}
void processEvents() {
    runDueTimers();
}
void deliverPosted() {}
void shutdown() {}

// Control characters other than those of Enter, Backspace, Tab and Esc come from Ctrl chords, as a
// keyboard types them.
void type(Window& window, std::string_view utf8) {
    for (char32_t c : decode(utf8)) {
        const bool named = c == U'\r' || c == U'\b' || c == U'\t' || c == 0x1B;
        key(window, c, c < 0x20 && !named ? Ctrl : NoModifier);
    }
}
void typeChord(Window& window, char letter, unsigned modifiers) {
    const auto upper = static_cast<char32_t>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
    char32_t typed = (modifiers & Shift) ? upper : static_cast<char32_t>(letter);
    if (modifiers & Ctrl) typed = upper & 0x1F;
    key(window, typed, modifiers);
}
void pressF1(Window&, unsigned modifiers) {
    if (modifiers == NoModifier) f1Pressed();
}
void pressSilent(Window& window, SilentKey silent) {
    WindowImpl& w = implOf(window);
    switch (silent) {
    case SilentKey::Left: radioKey(w, Arrow::Left); break;
    case SilentKey::Right: radioKey(w, Arrow::Right); break;
    case SilentKey::Up: radioKey(w, Arrow::Up); break;
    case SilentKey::Down: radioKey(w, Arrow::Down); break;
    case SilentKey::ShiftKey:
    case SilentKey::F2: break;
    }
}
void pressDialogKey(Window& window, DialogKey dialog, unsigned modifiers) {
    switch (dialog) {
    case DialogKey::Return: key(window, U'\r', modifiers); break;
    case DialogKey::Space: key(window, U' ', modifiers); break;
    case DialogKey::Escape: key(window, 0x1B, modifiers); break;
    }
}
void pressCloseBox(Window& window) {
    closeRequested(implOf(window));
}
Frame frameOf(Window& window) {
    const WindowImpl& w = implOf(window);
    return {w.caption, w.dialog || w.captionBar, false, false, false};
}

void press(Window& window, int x, int y, MouseButton button) {
    mouse(window, true, x, y, button);
}
void release(Window& window, int x, int y, MouseButton button) {
    mouse(window, false, x, y, button);
}
// No handler knows the side buttons, and no backend passes them on.
void press(Window&, int, int, SideButton) {}
void release(Window&, int, int, SideButton) {}
void doubleClick(Window& window, int x, int y, MouseButton button) {
    press(window, x, y, button);
    release(window, x, y, button);
    g_pressCount = 2;
    press(window, x, y, button);
    g_pressCount = 1;
    release(window, x, y, button);
}

int controlAt(Window& window, int x, int y) {
    const ControlImpl* c = under(window, x, y);
    return c && c->parent ? c->id : -1;
}

// A control with no tip of its own shows the one of the control it lies in, as toolkits and the page
// do.
std::string toolTipAt(Window& window, int x, int y) {
    for (const ControlImpl* c = under(window, x, y); c; c = c->parent)
        if (!c->toolTip.empty()) return c->toolTip;
    return {};
}
Cursor cursorAt(Window& window, int x, int y) {
    const ControlImpl* c = under(window, x, y);
    return c ? c->cursor : Cursor::Default;
}
int textWidth(Window& window, int id, std::string_view utf8) {
    return static_cast<int>(measured(controlOf(window, id).font, decode(displayText(utf8))) + 0.5);
}

// Nothing is drawn here: a suite that looks at pictures runs on a toolkit.
bool drawsPictures() {
    return false;
}
Image grab(Window&) {
    std::fprintf(stderr, "grab: the recording driver draws nothing\n");
    std::abort();
}
Image painted(Window& window) {
    return grab(window);
}
void drawNow(Window&) {}

std::vector<Screen> screens() {
    const Size s = screenSize();
    return {Screen{{0, 0, s.width, s.height}, 1.0}};
}
Rect desktopGeometry(Window& window) {
    const Size outer{window.outerWidth(), window.outerHeight()};
    return {window.left(), window.top(), outer.width, outer.height};
}
void moveToScreen(Window& window, int screenIndex) {
    if (screenIndex == 0) window.move(0, 0);
}
// A label takes its new text's size as the text is set.
int labelsDrawnAtOldSize() {
    return 0;
}
bool isActive(Window& window) {
    return g_active == &implOf(window);
}
bool keptInFrontOfOthers(Window&) {
    return false;
}

} // namespace platform::test
