// Application, the message loop, colours, fonts, clocks, timers, the beep and the desktop calls.

#include "platform/win32/Internal.h"

#include "platform/core/Scale.h"

#include <commctrl.h>

#include <atomic>
#include <exception>
#include <tuple>

namespace platform {

namespace {
std::atomic<bool> g_taskbarHidden{false};
HACCEL g_accelerators = nullptr;
constexpr WORD F1Command = 1;
} // namespace

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring toDisplay(std::string_view utf8) {
    return widen(displayText(utf8));
}

COLORREF toColorRef(Colour colour) {
    return static_cast<COLORREF>(resolve(colour) & 0xFFFFFF);
}

// The classic desktop's system colours, read from the desktop itself.
Colour resolve(Colour colour) {
    switch (colour) {
    case clBtnFace: return static_cast<Colour>(GetSysColor(COLOR_BTNFACE));
    case clWindowText: return static_cast<Colour>(GetSysColor(COLOR_WINDOWTEXT));
    default: return colour & 0xFFFFFF;
    }
}

// A negative height asks for the character (em) height, so a line is as high as the design says.
// Fonts live until the program ends: there are only a dozen of them.
HFONT fontFor(const Font& font, int factor) {
    static std::map<std::tuple<std::wstring, int, bool>, HFONT> fonts;
    const std::wstring face = widen(font.face ? font.face : "ＭＳ Ｐゴシック");
    const int height = (font.height > 0 ? font.height : 12) * factor;
    const auto key = std::make_tuple(face, height, font.bold);
    if (auto it = fonts.find(key); it != fonts.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = -height;
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT created = CreateFontIndirectW(&lf);
    fonts[key] = created;
    return created;
}

namespace {

// The calls that know a monitor's or a window's own DPI came with Windows 8.1 and 10, after the
// oldest Windows the program runs on; they are looked up when they are there.
template <class Function> Function systemCall(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (!module) module = LoadLibraryW(library);
    // Through the generic function type, which the compiler lets any function type be cast from.
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

using DpiForWindow = UINT(WINAPI*)(HWND);
using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
constexpr int EffectiveDpi = 0; // MDT_EFFECTIVE_DPI

} // namespace

int factorForDpi(UINT dpi) {
    return drawingFactor(static_cast<double>(dpi) / 96.0);
}

UINT dpiOf(HWND hwnd) {
    static const auto forWindow = systemCall<DpiForWindow>(L"user32.dll", "GetDpiForWindow");
    static const auto forMonitor = systemCall<DpiForMonitor>(L"shcore.dll", "GetDpiForMonitor");
    if (hwnd && forWindow)
        if (const UINT dpi = forWindow(hwnd)) return dpi;
    HMONITOR monitor = hwnd ? MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)
                            : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    UINT x = 0, y = 0;
    if (forMonitor && SUCCEEDED(forMonitor(monitor, EffectiveDpi, &x, &y)) && x) return x;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT outerRect(RECT client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto adjust = systemCall<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&client, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&client, style, FALSE, exStyle);
    return client;
}

RECT scaled(RECT r, int factor) {
    return {r.left * factor, r.top * factor, r.right * factor, r.bottom * factor};
}

void scaleDrawing(HDC dc, int factor) {
    SetGraphicsMode(dc, GM_ADVANCED);
    const auto f = static_cast<FLOAT>(factor);
    const XFORM scale{f, 0, 0, f, 0, 0};
    SetWorldTransform(dc, &scale);
}

// The primary monitor's, which the program's windows open on.
Size Win32Driver::screenSize() {
    return programScreen({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                         factorForDpi(dpiOf(nullptr)));
}

namespace {

// A program that dies of a fault or an unhandled exception never destroys its main window, so the
// taskbar it hid would stay hidden; both ways out give it back first. A killed process cannot.
LONG WINAPI onUnhandledException(EXCEPTION_POINTERS*) {
    if (g_taskbarHidden) showTaskbar();
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void onTerminate() {
    if (g_taskbarHidden) showTaskbar();
    std::abort();
}

void setUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    registerClasses();
    ACCEL f1{FVIRTKEY, VK_F1, F1Command};
    g_accelerators = CreateAcceleratorTableW(&f1, 1);
    SetUnhandledExceptionFilter(onUnhandledException);
    std::set_terminate(onTerminate);
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_KEYUP ||
           message == WM_SYSKEYUP || message == WM_CHAR || message == WM_SYSCHAR;
}

// Windows reports AltGr as Ctrl with the right Alt key, and holds the left Ctrl for it: the right
// Alt key's state tells AltGr from a Ctrl+Alt chord.
HeldKeys heldKeys() {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
    return {.ctrl = ctrl,
            .alt = alt,
            .logo = GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0,
            .altGr = ctrl && GetKeyState(VK_RMENU) < 0};
}

bool modifierHeld() {
    return (GetKeyState(VK_SHIFT) < 0) || (GetKeyState(VK_CONTROL) < 0) || (GetKeyState(VK_MENU) < 0);
}

// The dialog's keys as the core answers them. Space comes as a system key with Alt held, which
// then clicks the button too instead of opening the box's system menu, whose place is its icon.
bool dialogKey(WindowImpl& window, const MSG& msg) {
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_SPACE)
        return platform::dialogKey(window, DialogKey::Space, true);
    if (msg.message != WM_KEYDOWN) return false;
    switch (msg.wParam) {
    case VK_SPACE: return platform::dialogKey(window, DialogKey::Space, modifierHeld());
    case VK_ESCAPE: return platform::dialogKey(window, DialogKey::Escape, modifierHeld());
    case VK_RETURN: return platform::dialogKey(window, DialogKey::Enter, modifierHeld());
    default: return false;
    }
}

} // namespace

bool preTranslate(MSG& msg) {
    if (!isKeyMessage(msg.message) || !msg.hwnd) return false;
    WindowImpl* window = windowOf(GetAncestor(msg.hwnd, GA_ROOT));
    if (!window) return false;
    // F1 belongs to the main window's action wherever the keyboard is: the accelerator table is
    // tried for every window of the program, with the command sent to the window that owns F1.
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)
        for (WindowImpl* owner : allWindows())
            if (owner->f1Handler && TranslateAcceleratorW(owner->hwnd, g_accelerators, &msg)) return true;
    if (window->dialog && dialogKey(*window, msg)) return true;
    if (!window->characterHandler || !IsWindowEnabled(window->hwnd)) return false;
    // A key pressed with Ctrl or Alt is a chord, not a character: the key preview leaves it alone,
    // as the other backend does. An Alt chord is also kept from the default handling, which would
    // beep for the menu mnemonic the window has none of; Alt+Space still opens the system menu.
    if (msg.message == WM_SYSCHAR) return msg.wParam != L' ';
    if (msg.message == WM_CHAR) return window->previewCharacter(static_cast<wchar_t>(msg.wParam), heldKeys());
    return false;
}

void deliver(MSG& msg, bool translate) {
    if (preTranslate(msg)) return;
    if (translate) TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

struct Application::Impl {
    std::string title;
};

Application::Application(int&, char**) : m_impl(std::make_unique<Impl>()) {
    setUpOnce();
}
Application::~Application() = default;
// The main window carries the title itself; there is no separate application window here.
void Application::setTitle(std::string_view title) {
    m_impl->title = std::string(title);
}
// The program file itself carries its icon and names in its resources; there is no desktop entry.
void Application::setDesktopId(std::string_view) {}
int Application::run() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        deliver(msg, true);
    return static_cast<int>(msg.wParam);
}

// A Windows session always has its desktop to draw on.
bool displayReachable(std::string&) {
    return true;
}

namespace {
class WindowsClock : public Clock {
public:
    std::uint32_t tickMs() override { return GetTickCount(); }
    // Without a high-resolution counter the millisecond tick stands in.
    std::uint32_t highResolution() override {
        LARGE_INTEGER counter{};
        if (!QueryPerformanceCounter(&counter)) return GetTickCount();
        return static_cast<std::uint32_t>(counter.QuadPart & 0xFFFFFFFF);
    }
};
} // namespace

Clock& Win32Driver::clock() {
    static WindowsClock clock;
    return clock;
}

// Asked of the system rather than set into the C runtime's locale: the user's own choice in the
// regional settings counts, customised separators included, and the runtime's number formatting
// and parsing elsewhere in the process stay as they are.
std::string decimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) return ".";
    return narrow(separator);
}

void Win32Driver::beep() {
    MessageBeep(MB_OK);
}

// Shown without activation and then hidden, as the taskbar of the original desktop had to be.
// With no taskbar the calls address no window and do nothing.
void hideTaskbar() {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    ShowWindow(tray, SW_SHOWNOACTIVATE);
    ShowWindow(tray, SW_HIDE);
    g_taskbarHidden = true;
}

void showTaskbar() {
    ShowWindow(FindWindowW(L"Shell_TrayWnd", nullptr), SW_SHOWNA);
    g_taskbarHidden = false;
}

// The main window carries the program's title itself and is already hidden when this runs at exit;
// restoring it would bring it back on the screen just before it goes, so a hidden window is left.
void restoreWindowTitled(std::string_view title) {
    HWND found = FindWindowW(nullptr, widen(title).c_str());
    if (found && IsWindowVisible(found)) ShowWindow(found, SW_RESTORE);
}

bool hasWindowSwitcher() {
    return true;
}

namespace {
// The performance counter and a system timer on a message-only window of the program's own.
class SystemAlarm final : public TimerAlarm {
public:
    explicit SystemAlarm(Timer::Impl& timer) : m_timer(timer) { alarms()[m_id] = this; }
    ~SystemAlarm() override {
        cancel();
        alarms().erase(m_id);
    }
    double nowMs() override {
        static const double perMs = [] {
            LARGE_INTEGER f{};
            QueryPerformanceFrequency(&f);
            return static_cast<double>(f.QuadPart) / 1000.0;
        }();
        LARGE_INTEGER c{};
        QueryPerformanceCounter(&c);
        return static_cast<double>(c.QuadPart) / perMs;
    }
    void set(double delayMs) override {
        const UINT delay =
            delayMs < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : static_cast<UINT>(delayMs + 0.999);
        SetTimer(sink(), m_id, delay, nullptr);
    }
    void cancel() override { KillTimer(sink(), m_id); }

private:
    static std::map<UINT_PTR, SystemAlarm*>& alarms() {
        static std::map<UINT_PTR, SystemAlarm*> all;
        return all;
    }
    static LRESULT CALLBACK sinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_TIMER) return DefWindowProcW(hwnd, message, wParam, lParam);
        if (auto it = alarms().find(wParam); it != alarms().end()) it->second->m_timer.due();
        return 0;
    }
    static HWND sink() {
        static HWND window = [] {
            setUpOnce();
            WNDCLASSW wc{};
            wc.lpfnWndProc = sinkProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TapirunTimers";
            RegisterClassW(&wc);
            return CreateWindowExW(0, L"TapirunTimers", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        }();
        return window;
    }

    static inline UINT_PTR s_nextId = 1;
    Timer::Impl& m_timer;
    UINT_PTR m_id = s_nextId++;
};
} // namespace

std::unique_ptr<TimerAlarm> Win32Driver::makeTimerAlarm(Timer::Impl& timer) {
    return std::make_unique<SystemAlarm>(timer);
}

// Exposed for the window procedure: the accelerator's command and the session's end.
namespace win32 {
bool isF1Command(WPARAM wParam) {
    return HIWORD(wParam) == 1 && LOWORD(wParam) == F1Command;
}
void endOfSession() {
    if (g_taskbarHidden) showTaskbar();
}
void ensureSetUp() {
    setUpOnce();
}
} // namespace win32

} // namespace platform
