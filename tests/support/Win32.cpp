// Test drivers over the Win32 backend: keys and mouse buttons go through the same message handling
// as the event loop's, pictures are rendered from the control tree.

#include "platform/win32/Internal.h"
#include "tests/support/Access.h"

#include <commctrl.h>

#include <array>
#include <cctype>
#include <cstdio>

namespace platform::test {

namespace {

HWND top(Window& window) {
    return implOf(window).hwnd;
}

HWND keyTarget(Window& window) {
    HWND focus = GetFocus();
    return focus && GetAncestor(focus, GA_ROOT) == top(window) ? focus : top(window);
}

void send(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{target, message, wParam, lParam, GetTickCount(), {}};
    deliver(msg, false);
}

// The modifier keys as the keyboard state reports them while a key is pressed.
class HeldModifiers {
public:
    explicit HeldModifiers(unsigned modifiers) {
        GetKeyboardState(m_saved.data());
        std::array<BYTE, 256> state = m_saved;
        auto hold = [&state](int vk, bool down) { state[static_cast<std::size_t>(vk)] = down ? 0x80 : 0; };
        hold(VK_SHIFT, modifiers & Shift);
        hold(VK_LSHIFT, modifiers & Shift);
        hold(VK_CONTROL, modifiers & Ctrl);
        hold(VK_LCONTROL, modifiers & Ctrl);
        hold(VK_MENU, modifiers & Alt);
        hold(VK_LMENU, modifiers & Alt);
        SetKeyboardState(state.data());
    }
    ~HeldModifiers() { SetKeyboardState(m_saved.data()); }
    HeldModifiers(const HeldModifiers&) = delete;
    HeldModifiers& operator=(const HeldModifiers&) = delete;

private:
    std::array<BYTE, 256> m_saved{};
};

constexpr int NoCharacter = -1;

void pressKey(Window& window, WPARAM vk, unsigned modifiers, int typed) {
    HeldModifiers held(modifiers);
    const bool alt = modifiers & Alt;
    // The scan code, and with Alt held the context bit the system sets on such keys.
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16 |
                        (alt ? static_cast<LPARAM>(KF_ALTDOWN) << 16 : 0);
    send(keyTarget(window), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, scan | 1);
    if (typed != NoCharacter && !(modifiers & (Ctrl | Alt)))
        send(keyTarget(window), WM_CHAR, static_cast<WPARAM>(typed), scan | 1);
    send(keyTarget(window), alt ? WM_SYSKEYUP : WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
}

UINT downMessage(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return WM_LBUTTONDOWN;
    case MouseButton::Right: return WM_RBUTTONDOWN;
    case MouseButton::Middle: return WM_MBUTTONDOWN;
    }
    return WM_LBUTTONDOWN;
}
UINT upMessage(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return WM_LBUTTONUP;
    case MouseButton::Right: return WM_RBUTTONUP;
    case MouseButton::Middle: return WM_MBUTTONUP;
    }
    return WM_LBUTTONUP;
}
WPARAM heldFlag(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return MK_LBUTTON;
    case MouseButton::Right: return MK_RBUTTON;
    case MouseButton::Middle: return MK_MBUTTON;
    }
    return MK_LBUTTON;
}

LPARAM packPoint(POINT p) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(p.x)), static_cast<WORD>(static_cast<short>(p.y)));
}

// The points of tests are in program pixels; the messages carry device pixels.
void mouse(Window& window, int x, int y, UINT message, WPARAM held) {
    const int f = implOf(window).factor;
    POINT inSurface{};
    HWND target = surfaceAt(implOf(window), {x, y}, inSurface);
    inSurface = {inSurface.x * f, inSurface.y * f};
    // The control that took the press holds the mouse, so the release goes to it wherever it happens.
    if (HWND captured = GetCapture(); captured && GetAncestor(captured, GA_ROOT) == top(window)) {
        target = captured;
        inSurface = {x * f, y * f};
        MapWindowPoints(top(window), captured, &inSurface, 1);
    }
    send(target, message, held, packPoint(inSurface));
}

ControlImpl& controlOf(Window& window, int id) {
    return *implOf(window).find(id);
}

POINT windowPlace(Window& window, const ControlImpl& c) {
    const int f = c.factor();
    POINT p{0, 0};
    if (c.windowed()) {
        MapWindowPoints(c.hwnd, top(window), &p, 1);
    } else {
        p = {c.left * f, c.top * f};
        MapWindowPoints(c.parent->hwnd, top(window), &p, 1);
    }
    return {p.x / f, p.y / f};
}

} // namespace

void initialise(int&, char**) {
    recordDriverCalls();
    win32::ensureSetUp();
}

void processEvents() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        deliver(msg, true);
}

// Everything queued but the timers' ticks, so a test that fires them by hand replays exactly.
void deliverPosted() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
           PeekMessageW(&msg, nullptr, WM_TIMER + 1, 0xFFFFFFFF, PM_REMOVE))
        deliver(msg, true);
}

void shutdown() {}

void type(Window& window, std::string_view utf8) {
    for (wchar_t unit : widen(utf8)) {
        const SHORT scan = unit < 0x80 ? VkKeyScanW(unit) : -1;
        const WPARAM vk = scan == -1 ? 0 : static_cast<WPARAM>(scan & 0xFF);
        // Control characters other than these four are typed with Ctrl held, as a keyboard sends them.
        const bool ownKey = unit >= 0x20 || unit == L'\r' || unit == L'\b' || unit == 0x1B || unit == L'\t';
        if (ownKey) {
            pressKey(window, vk, NoModifier, unit);
            continue;
        }
        HeldModifiers held(Ctrl);
        send(keyTarget(window), WM_KEYDOWN, vk, 1);
        send(keyTarget(window), WM_CHAR, unit, 1);
        send(keyTarget(window), WM_KEYUP, vk, 1 | (1LL << 30) | (1LL << 31));
    }
}

// Alt alone makes the system's keys and characters; with Ctrl held too the keys are plain ones, and
// this keyboard's layout has no character for them.
void typeChord(Window& window, char letter, unsigned modifiers) {
    HeldModifiers held(modifiers);
    const auto upper = static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(letter)));
    const auto vk = static_cast<WPARAM>(upper);
    const bool ctrl = modifiers & Ctrl, alt = modifiers & Alt;
    const bool system = alt && !ctrl;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16 |
                        (alt ? static_cast<LPARAM>(KF_ALTDOWN) << 16 : 0);
    const wchar_t plain = (modifiers & Shift) ? upper : static_cast<wchar_t>(letter);
    send(keyTarget(window), system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, scan | 1);
    if (system)
        send(keyTarget(window), WM_SYSCHAR, plain, scan | 1);
    else if (ctrl)
        send(keyTarget(window), WM_CHAR, upper & 0x1F, scan | 1);
    else
        send(keyTarget(window), WM_CHAR, plain, scan | 1);
    send(keyTarget(window), system ? WM_SYSKEYUP : WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
}

void pressF1(Window& window, unsigned modifiers) {
    pressKey(window, VK_F1, modifiers, NoCharacter);
}

void pressSilent(Window& window, SilentKey key) {
    WPARAM vk = VK_LEFT;
    switch (key) {
    case SilentKey::Left: vk = VK_LEFT; break;
    case SilentKey::Right: vk = VK_RIGHT; break;
    case SilentKey::Up: vk = VK_UP; break;
    case SilentKey::Down: vk = VK_DOWN; break;
    case SilentKey::ShiftKey: vk = VK_SHIFT; break;
    case SilentKey::F2: vk = VK_F2; break;
    }
    pressKey(window, vk, NoModifier, NoCharacter);
}

void pressDialogKey(Window& window, DialogKey key, unsigned modifiers) {
    switch (key) {
    case DialogKey::Return: pressKey(window, VK_RETURN, modifiers, L'\r'); break;
    case DialogKey::Space: pressKey(window, VK_SPACE, modifiers, L' '); break;
    case DialogKey::Escape: pressKey(window, VK_ESCAPE, modifiers, 0x1B); break;
    }
}

// The window system's own request, as the close box sends it.
void pressCloseBox(Window& window) {
    SendMessageW(top(window), WM_SYSCOMMAND, SC_CLOSE, 0);
}

Frame frameOf(Window& window) {
    HWND hwnd = top(window);
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    return {narrow(title), (style & WS_SYSMENU) != 0, (style & WS_MINIMIZEBOX) != 0,
            (style & WS_MAXIMIZEBOX) != 0, (style & WS_THICKFRAME) != 0};
}

void press(Window& window, int x, int y, MouseButton button) {
    mouse(window, x, y, downMessage(button), heldFlag(button));
}

void release(Window& window, int x, int y, MouseButton button) {
    mouse(window, x, y, upMessage(button), 0);
}

void press(Window& window, int x, int y, SideButton button) {
    const bool back = button == SideButton::Back;
    mouse(window, x, y, WM_XBUTTONDOWN,
          MAKEWPARAM(back ? MK_XBUTTON1 : MK_XBUTTON2, back ? XBUTTON1 : XBUTTON2));
}
void release(Window& window, int x, int y, SideButton button) {
    mouse(window, x, y, WM_XBUTTONUP, MAKEWPARAM(0, button == SideButton::Back ? XBUTTON1 : XBUTTON2));
}

// As the system delivers it: the second press of a double click arrives as a double-click message.
void doubleClick(Window& window, int x, int y, MouseButton button) {
    press(window, x, y, button);
    release(window, x, y, button);
    const UINT second = button == MouseButton::Left    ? WM_LBUTTONDBLCLK
                        : button == MouseButton::Right ? WM_RBUTTONDBLCLK
                                                       : WM_MBUTTONDBLCLK;
    mouse(window, x, y, second, heldFlag(button));
    release(window, x, y, button);
}

int windowX(Window& window, int id) {
    return windowPlace(window, controlOf(window, id)).x;
}
int windowY(Window& window, int id) {
    return windowPlace(window, controlOf(window, id)).y;
}

Rect itemRect(Window& window, int id, int index) {
    const RECT r = controlOf(window, id).itemRect(index);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
int itemCentreX(Window& window, int id, int index) {
    const Rect r = itemRect(window, id, index);
    return windowX(window, id) + r.left + r.width / 2;
}
int itemCentreY(Window& window, int id, int index) {
    const Rect r = itemRect(window, id, index);
    return windowY(window, id) + r.top + r.height / 2;
}

int controlAt(Window& window, int x, int y) {
    ControlImpl* c = controlAtPoint(implOf(window), {x, y});
    return c && c->parent ? c->id : -1;
}

// Asked of the window as the tool-tip control asks when it is about to show, with the pointer there.
std::string toolTipAt(Window& window, int x, int y) {
    WindowImpl& w = implOf(window);
    POINT inSurface{};
    HWND surface = surfaceAt(w, {x, y}, inSurface);
    POINT onScreen{inSurface.x * w.factor, inSurface.y * w.factor};
    ClientToScreen(surface, &onScreen);
    POINT saved{};
    GetCursorPos(&saved);
    SetCursorPos(onScreen.x, onScreen.y);
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = w.toolTip;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(surface);
    info.hdr.code = TTN_GETDISPINFOW;
    SendMessageW(w.hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    SetCursorPos(saved.x, saved.y);
    return info.lpszText ? narrow(info.lpszText) : std::string();
}

Cursor cursorAt(Window& window, int x, int y) {
    const ControlImpl* c = controlAtPoint(implOf(window), {x, y});
    return c ? c->cursor : Cursor::Default;
}

int textWidth(Window& window, int id, std::string_view utf8) {
    return textExtent(controlOf(window, id), toDisplay(utf8));
}

namespace {
Image capture(Window& window, bool fromScreen) {
    ControlImpl& root = implOf(window).root;
    RECT client{};
    GetClientRect(top(window), &client);
    Image out;
    out.width = client.right;
    out.height = client.bottom;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = createDib(dc, out.width, out.height, &bits);
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (fromScreen) {
        // What the window's own paints have left on the screen, copied as it stands.
        HDC windowDc = GetDC(top(window));
        BitBlt(dc, 0, 0, out.width, out.height, windowDc, 0, 0, SRCCOPY);
        ReleaseDC(top(window), windowDc);
    } else {
        renderTree(root, dc);
    }
    GdiFlush();
    const auto* in = static_cast<const std::uint32_t*>(bits);
    out.pixels.reserve(static_cast<std::size_t>(out.width * out.height));
    for (int i = 0; i < out.width * out.height; ++i) {
        const std::uint32_t v = in[i];
        out.pixels.push_back((v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return out;
}
} // namespace

Image grab(Window& window) {
    return capture(window, false);
}
void drawNow(Window& window) {
    grab(window);
}
Image painted(Window& window) {
    processEvents();
    return capture(window, true);
}

std::vector<Screen> screens() {
    std::vector<Screen> out;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof(info);
            GetMonitorInfoW(monitor, &info);
            const RECT& r = info.rcMonitor;
            auto& list = *reinterpret_cast<std::vector<Screen>*>(data);
            const Screen screen{{r.left, r.top, r.right - r.left, r.bottom - r.top}, 1.0};
            if (info.dwFlags & MONITORINFOF_PRIMARY)
                list.insert(list.begin(), screen);
            else
                list.push_back(screen);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

Rect desktopGeometry(Window& window) {
    RECT r{};
    GetWindowRect(top(window), &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void moveToScreen(Window& window, int screenIndex) {
    const auto all = screens();
    if (screenIndex < 0 || screenIndex >= static_cast<int>(all.size())) return;
    const Rect& g = all[static_cast<std::size_t>(screenIndex)].geometry;
    SetWindowPos(top(window), nullptr, g.left, g.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A label here takes its new text's size as the text is set, before anything can paint it.
int labelsDrawnAtOldSize() {
    return 0;
}
bool isActive(Window& window) {
    return GetActiveWindow() == top(window);
}
bool keptInFrontOfOthers(Window& window) {
    return GetWindow(top(window), GW_OWNER) != nullptr;
}

bool drawsPictures() {
    return true;
}

} // namespace platform::test
