// Test drivers over the browser backend: keys and mouse buttons are dispatched as the page's own
// events, at the elements under the point, and reach the program through the same listeners as a
// person's; pictures are drawn from the window's elements.

#include "platform/TestSupport.h"
#include "platform/web/Internal.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace platform::test {

namespace {

// The key window: the page sends keys to its active window, a test to the window it names.
class KeysTo {
public:
    explicit KeysTo(Window& window) { web::setKeyWindow(&window.impl()); }
    ~KeysTo() { web::setKeyWindow(nullptr); }
    KeysTo(const KeysTo&) = delete;
    KeysTo& operator=(const KeysTo&) = delete;
};

// A keydown and keyup with the page's key name, as the browser makes them.
void sendKey(const std::string& key, unsigned modifiers) {
    tr_test_key(key.c_str(), static_cast<int>(modifiers));
}

std::string utf8Of(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::u32string codePoints(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < n && i + static_cast<std::size_t>(k) < s.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
        out += c;
        i += static_cast<std::size_t>(n);
    }
    return out;
}

ControlImpl& controlOf(Window& window, int id) {
    return *window.impl().find(id);
}

// The control's place in its window's client area.
std::pair<int, int> clientPlace(const ControlImpl& c) {
    int x = 0, y = 0;
    for (const ControlImpl* at = &c; at && at->parent; at = at->parent) {
        x += at->left;
        y += at->top;
    }
    return {x, y};
}

// The control a person would reach at x, y of a surface: a windowed child lies above every label and
// picture, a later sibling above an earlier one. Found from the controls' places rather than from the
// page, so that a window partly off the viewport, or behind another, is reached as on the desktop.
ControlImpl* hit(ControlImpl& surface, int x, int y) {
    auto inside = [x, y](const ControlImpl& c) {
        return c.shown && x >= c.left && x < c.left + c.width && y >= c.top && y < c.top + c.height;
    };
    for (auto it = surface.children.rbegin(); it != surface.children.rend(); ++it)
        if ((*it)->windowed() && inside(**it)) return hit(**it, x - (*it)->left, y - (*it)->top);
    for (auto it = surface.children.rbegin(); it != surface.children.rend(); ++it)
        if (!(*it)->windowed() && inside(**it)) return *it;
    return &surface;
}

int elementAt(Window& window, int x, int y) {
    WindowImpl& w = window.impl();
    if (x < 0 || y < 0 || x >= w.root.width || y >= w.root.height) return 0;
    return hit(w.root, x, y)->element;
}

ControlImpl* controlAtPoint(Window& window, int x, int y) {
    return controlOfElement(elementAt(window, x, y));
}

void mouseEvent(Window& window, bool down, int x, int y, int button, int detail) {
    tr_test_mouse(window.impl().root.element, down, x, y, button, elementAt(window, x, y), detail);
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
    tr_listen();
}

// The page's events are delivered as they are dispatched; what is left are the timers' ticks.
void processEvents() {
    web::runDueTimers();
}
void deliverPosted() {}
void shutdown() {}

void type(Window& window, std::string_view utf8) {
    KeysTo to(window);
    for (char32_t c : codePoints(utf8)) {
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
            sendKey(utf8Of(c), NoModifier);
    }
}

// The page's key names the letter itself whatever is held.
void typeChord(Window& window, char letter, unsigned modifiers) {
    KeysTo to(window);
    const auto shown =
        static_cast<char>((modifiers & Shift) ? std::toupper(static_cast<unsigned char>(letter)) : letter);
    sendKey(std::string(1, shown), modifiers);
}

// The browser adds its own AltGr state to the Ctrl and Alt that Windows reports.
void typeAltGr(Window& window, char typed) {
    KeysTo to(window);
    constexpr unsigned altGraph = 8;
    sendKey(std::string(1, typed), Ctrl | Alt | altGraph);
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
    WindowImpl& w = window.impl();
    if (!w.dialog) {
        w.closeRequested();
        return;
    }
    tr_test_close_box(w.frame);
}

Frame frameOf(Window& window) {
    const WindowImpl& w = window.impl();
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

int windowX(Window& window, int id) {
    return clientPlace(controlOf(window, id)).first;
}
int windowY(Window& window, int id) {
    return clientPlace(controlOf(window, id)).second;
}

Rect itemRect(Window& window, int id, int index) {
    const ItemRect r = controlOf(window, id).itemRect(index);
    return {r.left, r.top, r.width, r.height};
}

int controlAt(Window& window, int x, int y) {
    ControlImpl* c = controlAtPoint(window, x, y);
    return c && c->parent ? c->id : -1;
}

std::string toolTipAt(Window& window, int x, int y) {
    const ControlImpl* c = controlAtPoint(window, x, y);
    return c && (c->style & ShowHint) ? c->shortHint() : std::string();
}

Cursor cursorAt(Window& window, int x, int y) {
    const ControlImpl* c = controlAtPoint(window, x, y);
    return c ? c->cursor : Cursor::Default;
}

int textWidth(Window& window, int id, std::string_view utf8) {
    return static_cast<int>(measure(controlOf(window, id).font, toDisplay(utf8)) + 0.5);
}

Image grab(Window& window) {
    const WindowImpl& w = window.impl();
    Image out;
    out.width = w.root.width;
    out.height = w.root.height;
    std::uint32_t* pixels = tr_grab(w.root.element, out.width, out.height);
    out.pixels.assign(pixels, pixels + static_cast<std::size_t>(out.width * out.height));
    std::free(pixels);
    return out;
}
// The page draws every change when it is made: nothing is left for a later repaint.
Image painted(Window& window) {
    return grab(window);
}

namespace {
std::uint32_t crc32(const std::vector<unsigned char>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0})
        out.push_back(static_cast<unsigned char>(v >> shift));
}
void chunk(std::vector<unsigned char>& file, const char* type, const std::vector<unsigned char>& data) {
    put32(file, static_cast<std::uint32_t>(data.size()));
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    file.insert(file.end(), body.begin(), body.end());
    put32(file, crc32(body));
}
} // namespace

// A PNG without compression: its image data is a zlib stream of stored blocks.
bool savePng(const Image& image, const std::string& path) {
    std::vector<unsigned char> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            const Colour c = image.at(x, y);
            raw.insert(raw.end(),
                       {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>(c >> 8 & 0xFF),
                        static_cast<unsigned char>(c >> 16 & 0xFF)});
        }
    }
    std::vector<unsigned char> zlib{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size(); at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        zlib.push_back(at + n >= raw.size() ? 1 : 0);
        zlib.insert(zlib.end(),
                    {static_cast<unsigned char>(n & 0xFF), static_cast<unsigned char>(n >> 8),
                     static_cast<unsigned char>(~n & 0xFF), static_cast<unsigned char>(~n >> 8 & 0xFF)});
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    put32(zlib, b << 16 | a);
    std::vector<unsigned char> header;
    put32(header, static_cast<std::uint32_t>(image.width));
    put32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    std::vector<unsigned char> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(file, "IHDR", header);
    chunk(file, "IDAT", zlib);
    chunk(file, "IEND", {});
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    std::fclose(f);
    return ok;
}

// The viewport is the page's one screen.
std::vector<Screen> screens() {
    const Size s = screenSize();
    const double ratio = tr_device_pixel_ratio();
    return {Screen{{0, 0, s.width, s.height}, ratio}};
}

Rect desktopGeometry(Window& window) {
    const WindowImpl& w = window.impl();
    return {w.left, w.top, w.outerWidth(), w.outerHeight()};
}

void moveToScreen(Window& window, int screenIndex) {
    if (screenIndex == 0) window.move(0, 0);
}

std::vector<Rect> textAreas(Window& window) {
    std::vector<Rect> out;
    for (ControlImpl* c : window.impl().order) {
        if (!c->shownOnScreen()) continue;
        const bool text = c->kind == Kind::Label || c->kind == Kind::RadioGroup || c->kind == Kind::Button ||
                          (c->kind == Kind::Panel && !c->text.empty());
        if (!text) continue;
        const auto [x, y] = clientPlace(*c);
        out.push_back({x, y, c->width, c->height});
    }
    return out;
}

int beepCount() {
    return beepsSoFar();
}
// A label here takes its new text's size as the text is set, before the page can draw it.
int labelsDrawnAtOldSize() {
    return 0;
}
bool isActive(Window& window) {
    return activeWindow() == &window.impl();
}
// A click on the main window brings it in front of the About box.
bool keptInFrontOfOthers(Window&) {
    return false;
}

} // namespace platform::test
