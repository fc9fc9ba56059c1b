// Top-level windows built from description tables, and the control handles over their controls.

#include "platform/win32/Internal.h"

#include "platform/Rules.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>

namespace platform {

WindowImpl* windowOf(HWND root) {
    for (WindowImpl* w : allWindows())
        if (w->hwnd == root) return w;
    return nullptr;
}

namespace {

DWORD frameStyle(bool dialog) {
    return dialog ? (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN)
                  : (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
}
DWORD frameExStyle(bool dialog) {
    return dialog ? WS_EX_DLGMODALFRAME : 0;
}

// In device pixels, for a client area given in program pixels.
SIZE outerFor(HWND hwnd, int factor, int clientWidth, int clientHeight) {
    const RECT r = outerRect({0, 0, clientWidth * factor, clientHeight * factor},
                             static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)),
                             static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)), dpiOf(hwnd));
    return {r.right - r.left, r.bottom - r.top};
}

} // namespace

WindowImpl::WindowImpl(const WindowSpec& description, Window& owner_) : owner(owner_) {
    win32::ensureSetUp();
    describeWindow(*this, root, description);
    // Made at the primary monitor's factor, where it opens; a window placed on another monitor is
    // drawn again at that one's.
    const UINT dpi = dpiOf(nullptr);
    factor = factorForDpi(dpi);
    const int f = factor;
    const RECT r = outerRect({0, 0, description.clientWidth * f, description.clientHeight * f},
                             frameStyle(dialog), frameExStyle(dialog), dpi);
    hwnd = CreateWindowExW(frameExStyle(dialog), L"TapirunForm", widen(description.caption).c_str(),
                           frameStyle(dialog), description.left * f, description.top * f, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), &root);
    root.hwnd = hwnd;
    if (const int own = factorForDpi(dpiOf(hwnd)); own != factor) rescale(own, nullptr);
    windowMade(*this);
    toolTip = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    addToolFor(hwnd);
}

WindowImpl::~WindowImpl() {
    windowDestroyed(*this);
    if (toolTip) DestroyWindow(toolTip);
    DestroyWindow(hwnd);
}

ControlState& stateOf(ControlImpl& control) {
    return control;
}
WindowState& stateOf(WindowImpl& window) {
    return window;
}
ControlImpl* WindowImpl::fromHwnd(HWND h) {
    if (h == hwnd) return &root;
    for (ControlImpl* c : order)
        if (c->hwnd == h) return c;
    return nullptr;
}

void WindowImpl::layoutAligned() {
    RECT client{};
    GetClientRect(hwnd, &client);
    root.width = client.right / factor;
    root.height = client.bottom / factor;
    dockAlongBottom(*this, root, root.width, root.height);
}

// Only the native windows change: every place and size in the tables stays in program pixels, and
// nothing the forms or the drill keep is told.
void WindowImpl::rescale(int newFactor, const RECT* suggested) {
    const int programWidth = root.width, programHeight = root.height;
    factor = newFactor;
    if (suggested) {
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        const SIZE outer = outerFor(hwnd, factor, programWidth, programHeight);
        SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (ControlImpl* c : order) {
        c->resizeToText(); // a label's text measures differently at another factor
        if (!c->hwnd) continue;
        c->place();
        if (c->kind == Kind::Button)
            SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(c->font, factor)), FALSE);
    }
    layoutAligned();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

// Every native window gets one tool whose text is asked for when it is about to show, so it always
// names the control under the pointer at that moment.
void WindowImpl::addToolFor(HWND h) {
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(h);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

HWND WindowImpl::focusTarget() {
    ControlImpl* c = platform::focusTarget(*this);
    return c && c->hwnd && IsWindowVisible(c->hwnd) ? c->hwnd : hwnd;
}

void WindowImpl::hideAndPassActivation() {
    const bool wasActive = GetActiveWindow() == hwnd;
    ShowWindow(hwnd, SW_HIDE);
    windowHidden(*this, wasActive);
}

// Characters outside the basic plane arrive as two units; the handler sees the whole character.
bool WindowImpl::previewCharacter(wchar_t unit, HeldKeys held) {
    char32_t ch = unit;
    if (unit >= 0xD800 && unit < 0xDC00) {
        pendingHighSurrogate = unit;
        return true;
    }
    if (unit >= 0xDC00 && unit < 0xE000 && pendingHighSurrogate) {
        ch = 0x10000 + ((static_cast<char32_t>(pendingHighSurrogate) - 0xD800) << 10) + (unit - 0xDC00);
        pendingHighSurrogate = 0;
    }
    return characterTyped(*this, ch, held);
}

void Win32Driver::makeControl(WindowImpl& window, const ControlRow& row) {
    ControlImpl& c = adoptControl(window, window.root, row);
    c.drawnAt = c.rectOnParent();
    const int f = window.factor;
    const int left = c.left * f, top = c.top * f, width = c.width * f, height = c.height * f;

    HWND parentHwnd = c.parent->hwnd;
    const DWORD visible = row.visible ? WS_VISIBLE : 0;
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | visible;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    switch (row.kind) {
    case Kind::Panel:
        c.hwnd = CreateWindowExW(0, L"TapirunPanel", L"", child | WS_CLIPCHILDREN, left, top, width, height,
                                 parentHwnd, nullptr, instance, &c);
        break;
    case Kind::RadioGroup:
        c.hwnd = CreateWindowExW(0, L"TapirunRadioGroup", L"", child | WS_CLIPCHILDREN, left, top, width,
                                 height, parentHwnd, nullptr, instance, &c);
        break;
    case Kind::ProgressBar:
        c.hwnd = CreateWindowExW(0, L"TapirunProgress", L"", child, left, top, width, height, parentHwnd,
                                 nullptr, instance, &c);
        break;
    case Kind::Button:
        c.hwnd = CreateWindowExW(
            0, L"BUTTON", widen(row.caption).c_str(),
            child | WS_TABSTOP | ((row.style & DefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), left, top,
            width, height, parentHwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.name.id)), instance,
            nullptr);
        SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(c.font, f)), FALSE);
        break;
    case Kind::Label:
    case Kind::Image: break;
    }
    if (c.hwnd) {
        // A later windowed sibling lies above an earlier one.
        SetWindowPos(c.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        window.addToolFor(c.hwnd);
    }
    if (row.kind == Kind::Label) c.resizeToText();
}

// Labels and pictures are painted by their parent's surface before its windowed children, which
// clip them: there is nothing left to arrange.
void Win32Driver::finishBuilding(WindowImpl& window) {
    InvalidateRect(window.hwnd, nullptr, FALSE);
}

void Win32Driver::showWindow(WindowImpl& window) {
    ShowWindow(window.hwnd, window.maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    window.layoutAligned();
    UpdateWindow(window.hwnd);
}

void Win32Driver::activateWindow(WindowImpl& window) {
    HWND hwnd = window.hwnd;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd);
    // The system refuses the foreground to a program that is not in front; the window still becomes
    // the active one among the program's own, so the keyboard reaches it once the program is.
    SetActiveWindow(hwnd);
    SetFocus(window.focusTarget());
}

void Win32Driver::raiseWindow(WindowImpl& window) {
    SetWindowPos(window.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
void Win32Driver::repaintWindow(WindowImpl& window) {
    RedrawWindow(window.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Win32Driver::setIcon(WindowImpl& window, const Picture& picture) {
    HICON icon = makeIcon(picture);
    SendMessageW(window.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}
// The core reads and sets the window's places and sizes in program pixels.
void Win32Driver::resizeClient(WindowImpl& window, int width, int height) {
    const SIZE outer = outerFor(window.hwnd, window.factor, width, height);
    SetWindowPos(window.hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    window.layoutAligned();
}
Size Win32Driver::clientSize(WindowImpl& window) {
    RECT r{};
    GetClientRect(window.hwnd, &r);
    return {r.right / window.factor, r.bottom / window.factor};
}
Size Win32Driver::outerSize(WindowImpl& window) {
    RECT r{};
    GetWindowRect(window.hwnd, &r);
    return {(r.right - r.left) / window.factor, (r.bottom - r.top) / window.factor};
}
Point Win32Driver::position(WindowImpl& window) {
    RECT r{};
    GetWindowRect(window.hwnd, &r);
    return {r.left / window.factor, r.top / window.factor};
}
void Win32Driver::moveWindow(WindowImpl& window, int left, int top) {
    SetWindowPos(window.hwnd, nullptr, left * window.factor, top * window.factor, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void Win32Driver::maximisedChanged(WindowImpl& window) {
    if (IsWindowVisible(window.hwnd)) ShowWindow(window.hwnd, SW_SHOWMAXIMIZED);
}

// The style word's two caption bits: border and dialog frame.
void Win32Driver::showCaptionBar(WindowImpl& window, bool shown) {
    constexpr LONG CaptionBits = 0x00C00000;
    constexpr LONG AllButCaption = static_cast<LONG>(0xFF3FFFFF);
    HWND hwnd = window.hwnd;
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    SetWindowLongW(hwnd, GWL_STYLE, shown ? (style | CaptionBits) : (style & AllButCaption));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Without an input context the keys reach the window as plain characters, the IME switched on or not.
void Win32Driver::disableInputMethod(WindowImpl& window) {
    // The window itself, and separately every control inside it.
    ImmAssociateContextEx(window.hwnd, nullptr, 0);
    ImmAssociateContextEx(window.hwnd, nullptr, IACE_CHILDREN);
}

// Control handles.

void Win32Driver::textChanged(ControlImpl& control) {
    if (control.kind == Kind::Label)
        control.resizeToText();
    else if (control.kind == Kind::Button)
        SetWindowTextW(control.hwnd, widen(control.text).c_str());
    else
        control.invalidate();
    accessibleTextChanged(control);
}

// A hidden control must not keep the keyboard focus: a key the main window leaves alone would
// otherwise reach it. A radio group shown again takes the focus back when the window itself holds it.
void Win32Driver::showControl(ControlImpl& control, bool visible) {
    ControlImpl& c = control;
    if (c.shown == visible) return;
    c.shown = visible;
    if (!visible) controlHidden(c);
    if (!c.hwnd) {
        c.invalidate();
        accessibleShownChanged(c);
        return;
    }
    HWND top = c.window->hwnd;
    HWND focus = GetFocus();
    if (!visible && focus && (focus == c.hwnd || IsChild(c.hwnd, focus))) SetFocus(top);
    ShowWindow(c.hwnd, visible ? SW_SHOWNA : SW_HIDE);
    if (visible && c.kind == Kind::RadioGroup && GetFocus() == top) SetFocus(c.hwnd);
}
// Only the columns that changed are repainted: the bar spans the screen and moves every 30 ms.
void Win32Driver::positionChanged(ControlImpl& control, int before) {
    const int inner = control.width - 2;
    const int from = 1 + inner * before / 100, to = 1 + inner * control.position / 100;
    const RECT changed =
        scaled({std::min(from, to), 1, std::max(from, to) + 1, control.height - 1}, control.factor());
    if (control.hwnd) InvalidateRect(control.hwnd, &changed, FALSE);
}

void Win32Driver::pictureChanged(ControlImpl& control) {
    control.invalidate();
}

} // namespace platform
