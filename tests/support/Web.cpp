// Test drivers over the browser backend: keys and mouse buttons are dispatched as the page's own
// events, at the elements under the point, and reach the program through the same listeners as a
// person's; pictures are the browser's own screenshots, which the test's driver takes.

#include "platform/core/Scale.h"
#include "platform/web/Internal.h"
#include "tests/support/Access.h"
#include "tests/support/SelfDrawn.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

extern "C" {
std::uint32_t* tr_grab(int frame, int client, int width, int height);
int tr_test_key(int frame, const char* key, int modifiers);
void tr_test_mouse(int client, int down, int x, int y, int button, int element, int detail);
void tr_test_close_box(int frame);
char* tr_test_title(int element);
}

namespace platform::test {

namespace {

// The key window: the page sends keys to the window whose frame holds the focus, a test to the
// window it names.
int g_keyFrame = 0;
class KeysTo {
public:
    explicit KeysTo(Window& window) { g_keyFrame = implOf(window).frame; }
    ~KeysTo() { g_keyFrame = 0; }
    KeysTo(const KeysTo&) = delete;
    KeysTo& operator=(const KeysTo&) = delete;
};

// A keydown and keyup with the page's key name, as the browser makes them.
void sendKey(const std::string& key, unsigned modifiers) {
    tr_test_key(g_keyFrame, key.c_str(), static_cast<int>(modifiers));
}

ControlImpl& controlOf(Window& window, int id) {
    return *implOf(window).find(id);
}

int elementAt(Window& window, int x, int y) {
    WindowImpl& w = implOf(window);
    if (x < 0 || y < 0 || x >= w.root.width || y >= w.root.height) return 0;
    return topmostAt(w.root, x, y).element;
}

ControlImpl* controlAtPoint(Window& window, int x, int y) {
    return controlOfElement(elementAt(window, x, y));
}

void mouseEvent(Window& window, bool down, int x, int y, int button, int detail) {
    tr_test_mouse(implOf(window).root.element, down, x, y, button, elementAt(window, x, y), detail);
}

int buttonNumber(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return 0;
    case MouseButton::Middle: return 1;
    case MouseButton::Right: return 2;
    }
    return 0;
}

} // namespace

void initialise(int&, char**) {
    recordDriverCalls();
    web::listen();
}

// The page's events are delivered as they are dispatched; what is left are the timers' ticks.
void processEvents() {
    runDueTimers();
}
void deliverPosted() {}
void shutdown() {}

void type(Window& window, std::string_view utf8) {
    KeysTo to(window);
    for (char32_t c : decode(utf8)) {
        switch (c) {
        case U'\r': sendKey("Enter", NoModifier); continue;
        case U'\b': sendKey("Backspace", NoModifier); continue;
        case U'\t': sendKey("Tab", NoModifier); continue;
        case 0x1B: sendKey("Escape", NoModifier); continue;
        case 0x7F: sendKey("Delete", NoModifier); continue;
        default: break;
        }
        // Other control characters are typed with Ctrl held, as a keyboard sends them.
        if (c < 0x20)
            sendKey(std::string(1, static_cast<char>(c + 0x60)), Ctrl);
        else
            sendKey(encode(std::u32string(1, c)), NoModifier);
    }
}

// The page's key names the letter itself whatever is held.
void typeChord(Window& window, char letter, unsigned modifiers) {
    KeysTo to(window);
    const auto shown =
        static_cast<char>((modifiers & Shift) ? std::toupper(static_cast<unsigned char>(letter)) : letter);
    sendKey(std::string(1, shown), modifiers);
}

void pressF1(Window& window, unsigned modifiers) {
    KeysTo to(window);
    sendKey("F1", modifiers);
}

void pressSilent(Window& window, SilentKey key) {
    KeysTo to(window);
    switch (key) {
    case SilentKey::Left: sendKey("ArrowLeft", NoModifier); break;
    case SilentKey::Right: sendKey("ArrowRight", NoModifier); break;
    case SilentKey::Up: sendKey("ArrowUp", NoModifier); break;
    case SilentKey::Down: sendKey("ArrowDown", NoModifier); break;
    case SilentKey::ShiftKey: sendKey("Shift", Shift); break;
    case SilentKey::F2: sendKey("F2", NoModifier); break;
    }
}

void pressDialogKey(Window& window, DialogKey key, unsigned modifiers) {
    KeysTo to(window);
    switch (key) {
    case DialogKey::Return: sendKey("Enter", modifiers); break;
    case DialogKey::Space: sendKey(" ", modifiers); break;
    case DialogKey::Escape: sendKey("Escape", modifiers); break;
    }
}

// The close box of the page's window frame, clicked; the main window has none, and its close
// request is the program's own.
void pressCloseBox(Window& window) {
    WindowImpl& w = implOf(window);
    if (!w.dialog) {
        closeRequested(w);
        return;
    }
    tr_test_close_box(w.frame);
}

Frame frameOf(Window& window) {
    const WindowImpl& w = implOf(window);
    return {w.caption, w.dialog, false, false, false};
}

void press(Window& window, int x, int y, MouseButton button) {
    mouseEvent(window, true, x, y, buttonNumber(button), 1);
}
void release(Window& window, int x, int y, MouseButton button) {
    mouseEvent(window, false, x, y, buttonNumber(button), 1);
}
void press(Window& window, int x, int y, SideButton button) {
    mouseEvent(window, true, x, y, button == SideButton::Back ? 3 : 4, 1);
}
void release(Window& window, int x, int y, SideButton button) {
    mouseEvent(window, false, x, y, button == SideButton::Back ? 3 : 4, 1);
}

// The second press of a double click comes with a count of two.
void doubleClick(Window& window, int x, int y, MouseButton button) {
    press(window, x, y, button);
    release(window, x, y, button);
    mouseEvent(window, true, x, y, buttonNumber(button), 2);
    mouseEvent(window, false, x, y, buttonNumber(button), 2);
}

int controlAt(Window& window, int x, int y) {
    ControlImpl* c = controlAtPoint(window, x, y);
    return c && c->parent ? c->id : -1;
}

// Read from the page, which shows an element's title as its tool-tip.
std::string toolTipAt(Window& window, int x, int y) {
    const ControlImpl* c = controlAtPoint(window, x, y);
    if (!c) return {};
    char* title = tr_test_title(c->element);
    std::string tip(title);
    std::free(title);
    return tip;
}

Cursor cursorAt(Window& window, int x, int y) {
    const ControlImpl* c = controlAtPoint(window, x, y);
    return c ? c->cursor : Cursor::Default;
}

int textWidth(Window& window, int id, std::string_view utf8) {
    return static_cast<int>(measure(controlOf(window, id).font, decode(displayText(utf8))) + 0.5);
}

// The test waits while the page draws and its driver takes the browser's screenshot of the window:
// the test programs are linked with Asyncify, which lets the call return to the browser meanwhile.
Image grab(Window& window) {
    const WindowImpl& w = implOf(window);
    Image out;
    // In device pixels, as the desktop backends grab: the page draws at the core's factor.
    const int factor = drawingFactor(tr_device_pixel_ratio());
    out.width = w.root.width * factor;
    out.height = w.root.height * factor;
    std::uint32_t* pixels = tr_grab(w.frame, w.root.element, out.width, out.height);
    if (!pixels) {
        std::fprintf(stderr, "grab: the browser gave no picture of the window\n");
        std::abort();
    }
    out.pixels.assign(pixels, pixels + static_cast<std::size_t>(out.width * out.height));
    std::free(pixels);
    return out;
}
// The page draws every change as it is made; the browser shows it at its next frame.
void drawNow(Window&) {}
// The page has no backing store of its own: what the browser shows is what its repaints left.
Image painted(Window& window) {
    return grab(window);
}

// The viewport is the page's one screen.
std::vector<Screen> screens() {
    const Size s = screenSize();
    const double ratio = tr_device_pixel_ratio();
    return {Screen{{0, 0, s.width, s.height}, ratio}};
}

Rect desktopGeometry(Window& window) {
    const WindowImpl& w = implOf(window);
    return {w.left, w.top, w.outerWidth(), w.outerHeight()};
}

void moveToScreen(Window& window, int screenIndex) {
    if (screenIndex == 0) window.move(0, 0);
}

// A label here takes its new text's size as the text is set, before the page can draw it.
int labelsDrawnAtOldSize() {
    return 0;
}
bool isActive(Window& window) {
    return activeWindow() == &implOf(window);
}
// A click on the main window brings it in front of the About box.
bool keptInFrontOfOthers(Window&) {
    return false;
}

bool drawsPictures() {
    return true;
}

} // namespace platform::test
