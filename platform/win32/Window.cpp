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

SIZE outerFor(HWND hwnd, int clientWidth, int clientHeight) {
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
    return {r.right - r.left, r.bottom - r.top};
}

} // namespace

ControlImpl::~ControlImpl() {
    if (icon) DestroyIcon(icon);
}

WindowImpl::WindowImpl(const WindowSpec& description, Window& owner_) : owner(owner_) {
    win32::ensureSetUp();
    dialog = description.dialog;
    root.kind = Kind::Panel;
    root.window = this;
    colour = description.colour;
    root.colour = description.colour;
    root.font = description.font;
    root.width = description.clientWidth;
    root.height = description.clientHeight;
    RECT r{0, 0, description.clientWidth, description.clientHeight};
    AdjustWindowRectEx(&r, frameStyle(dialog), FALSE, frameExStyle(dialog));
    hwnd = CreateWindowExW(frameExStyle(dialog), L"TapirunForm", widen(description.caption).c_str(),
                           frameStyle(dialog), description.left, description.top, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), &root);
    root.hwnd = hwnd;
    windowMade(*this);
    toolTip = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    addToolFor(hwnd);
}

WindowImpl::~WindowImpl() {
    windowGone(*this);
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
    root.width = client.right;
    root.height = client.bottom;
    dockAlongBottom(*this, root, client.right, client.bottom);
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

Window::Window(const WindowSpec& description) : m_impl(std::make_unique<WindowImpl>(description, *this)) {}
Window::~Window() = default;

void Window::addControl(const ControlRow& row) {
    ControlImpl& c = adoptControl(*m_impl, m_impl->root, row);
    c.drawnAt = c.rectOnParent();

    HWND parentHwnd = c.parent->hwnd;
    const DWORD visible = row.visible ? WS_VISIBLE : 0;
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | visible;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    switch (row.kind) {
    case Kind::Panel:
        c.hwnd = CreateWindowExW(0, L"TapirunPanel", L"", child | WS_CLIPCHILDREN, c.left, c.top, c.width,
                                 c.height, parentHwnd, nullptr, instance, &c);
        break;
    case Kind::RadioGroup:
        c.hwnd = CreateWindowExW(0, L"TapirunRadioGroup", L"", child | WS_CLIPCHILDREN, c.left, c.top,
                                 c.width, c.height, parentHwnd, nullptr, instance, &c);
        break;
    case Kind::ProgressBar:
        c.hwnd = CreateWindowExW(0, L"TapirunProgress", L"", child, c.left, c.top, c.width, c.height,
                                 parentHwnd, nullptr, instance, &c);
        break;
    case Kind::Button:
        c.hwnd = CreateWindowExW(
            0, L"BUTTON", widen(row.caption).c_str(),
            child | WS_TABSTOP | ((row.style & DefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), c.left,
            c.top, c.width, c.height, parentHwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.name.id)),
            instance, nullptr);
        SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.hfont()), FALSE);
        break;
    case Kind::Label:
    case Kind::Image: break;
    }
    if (c.hwnd) {
        // A later windowed sibling lies above an earlier one.
        SetWindowPos(c.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        m_impl->addToolFor(c.hwnd);
    }
    if (row.kind == Kind::Label) c.resizeToText();
}

// Labels and pictures are painted by their parent's surface before its windowed children, which
// clip them: there is nothing left to arrange.
void Window::finishBuilding() {
    InvalidateRect(m_impl->hwnd, nullptr, FALSE);
}

void Window::show() {
    ShowWindow(m_impl->hwnd, m_impl->maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    m_impl->layoutAligned();
    UpdateWindow(m_impl->hwnd);
}
void Window::hide() {
    m_impl->hideAndPassActivation();
}
void Window::close() {
    SendMessageW(m_impl->hwnd, WM_CLOSE, 0, 0);
}
bool Window::visible() const {
    return IsWindowVisible(m_impl->hwnd) != FALSE;
}

void Window::activate() {
    HWND hwnd = m_impl->hwnd;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd);
    // The system refuses the foreground to a program that is not in front; the window still becomes
    // the active one among the program's own, so the keyboard reaches it once the program is.
    SetActiveWindow(hwnd);
    SetFocus(m_impl->focusTarget());
}

void Window::raise() {
    SetWindowPos(m_impl->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
void Window::repaint() {
    RedrawWindow(m_impl->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Window::setIcon(const Picture& picture) {
    HICON icon = makeIcon(picture);
    SendMessageW(m_impl->hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(m_impl->hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}
void Window::setClientSize(int width, int height) {
    const SIZE outer = outerFor(m_impl->hwnd, width, height);
    SetWindowPos(m_impl->hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_impl->layoutAligned();
}
int Window::clientWidth() const {
    RECT r{};
    GetClientRect(m_impl->hwnd, &r);
    return r.right;
}
int Window::clientHeight() const {
    RECT r{};
    GetClientRect(m_impl->hwnd, &r);
    return r.bottom;
}
int Window::outerWidth() const {
    RECT r{};
    GetWindowRect(m_impl->hwnd, &r);
    return r.right - r.left;
}
int Window::outerHeight() const {
    RECT r{};
    GetWindowRect(m_impl->hwnd, &r);
    return r.bottom - r.top;
}
int Window::left() const {
    RECT r{};
    GetWindowRect(m_impl->hwnd, &r);
    return r.left;
}
int Window::top() const {
    RECT r{};
    GetWindowRect(m_impl->hwnd, &r);
    return r.top;
}
void Window::move(int left, int top) {
    SetWindowPos(m_impl->hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
// The frame is part of the window from its creation here, so the outer size is right before the
// first showing and nothing waits for it.
void Window::onFramed(std::function<void()>) {}
void Window::setMaximised() {
    m_impl->maximised = true;
    if (IsWindowVisible(m_impl->hwnd)) ShowWindow(m_impl->hwnd, SW_SHOWMAXIMIZED);
}

// The style word's two caption bits: border and dialog frame.
void Window::setCaptionBar(bool shown) {
    constexpr LONG CaptionBits = 0x00C00000;
    constexpr LONG AllButCaption = static_cast<LONG>(0xFF3FFFFF);
    HWND hwnd = m_impl->hwnd;
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    SetWindowLongW(hwnd, GWL_STYLE, shown ? (style | CaptionBits) : (style & AllButCaption));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Without an input context the keys reach the window as plain characters, the IME switched on or not.
void Window::disableInputMethod() {
    // The window itself, and separately every control inside it.
    ImmAssociateContextEx(m_impl->hwnd, nullptr, 0);
    ImmAssociateContextEx(m_impl->hwnd, nullptr, IACE_CHILDREN);
}

// Control handles.

void Control::setText(std::string_view text) {
    if (m_impl->text == text) return;
    m_impl->text = std::string(text);
    if (m_impl->kind == Kind::Label)
        m_impl->resizeToText();
    else if (m_impl->kind == Kind::Button)
        SetWindowTextW(m_impl->hwnd, widen(text).c_str());
    else
        m_impl->invalidate();
    accessibleTextChanged(*m_impl);
}

// A hidden control must not keep the keyboard focus: a key the main window leaves alone would
// otherwise reach it. A radio group shown again takes the focus back when the window itself holds it.
void Control::setVisible(bool visible) {
    ControlImpl& c = *m_impl;
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
void Control::setPosition(int position) {
    position = std::clamp(position, 0, 100);
    if (position == m_impl->position) return;
    const int inner = m_impl->width - 2;
    const int before = 1 + inner * m_impl->position / 100, after = 1 + inner * position / 100;
    m_impl->position = position;
    const RECT changed{std::min(before, after), 1, std::max(before, after) + 1, m_impl->height - 1};
    if (m_impl->hwnd) InvalidateRect(m_impl->hwnd, &changed, FALSE);
}

void Control::setPicture(const Picture& picture) {
    m_impl->picture = picture;
    if (m_impl->icon) DestroyIcon(m_impl->icon);
    m_impl->icon = picture.isIcon() ? makeIcon(picture) : nullptr;
    m_impl->invalidate();
}

} // namespace platform
