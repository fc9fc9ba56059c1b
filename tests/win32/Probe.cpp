// A console helper the Wine scripts run inside the session, where only a Windows program can look.
//
//   probe setup          the prefix's settings: no window manager, the design's faces mapped to
//                        Debian's IPA fonts
//   probe tray           prints "shown", "hidden" or "none" for the taskbar window Shell_TrayWnd
//   probe show-tray      shows the taskbar window, as a Windows desktop has it before the program
//   probe fresh-desktop  the taskbar shown and the decimal separator back to "."
//   probe watch-tray SECONDS  prints "watching", then waits for the taskbar window to be shown;
//                        prints "shown" when it is, "hidden" when the time runs out. Wine's
//                        explorer hides its docked tray by itself soon after any window goes
//                        away, so the moment is watched for.
//   probe window TITLE   prints the client area of the top-level window with that title, in screen
//                        coordinates, and whether its style word has the caption bits:
//                        "LEFT TOP WIDTH HEIGHT caption|nocaption", or "none"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool setString(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const bool ok = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// Without a window manager Wine would wait for one on every hide and destroy of a full-screen
// window. The program asks for the design's faces; the IPA fonts draw them here (IPAPGothic rather
// than IPAGothic, which loses "_" at some sizes under Wine).
int setup() {
    bool ok = setString(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed", L"N");
    const wchar_t* substitutes = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
    ok = setString(HKEY_LOCAL_MACHINE, substitutes, L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF",
                   L"IPAPGothic") &&
         ok;
    ok = setString(HKEY_LOCAL_MACHINE, substitutes, L"\uFF2D\uFF33 \uFF30\u660E\u671D", L"IPAPMincho") && ok;
    ok = setString(HKEY_LOCAL_MACHINE, substitutes, L"\uFF2D\uFF33 \u660E\u671D", L"IPAMincho") && ok;
    return ok ? 0 : 1;
}

// The desktop's first user starts Wine's explorer, which makes the taskbar window a moment later.
HWND findTray() {
    GetDesktopWindow();
    HWND hwnd = nullptr;
    for (int i = 0; i < 50 && !hwnd; ++i, Sleep(100))
        hwnd = FindWindowW(L"Shell_TrayWnd", nullptr);
    return hwnd;
}

int tray() {
    HWND hwnd = findTray();
    std::puts(!hwnd ? "none" : IsWindowVisible(hwnd) ? "shown" : "hidden");
    return 0;
}

int showTray() {
    HWND hwnd = findTray();
    if (!hwnd) return 1;
    ShowWindow(hwnd, SW_SHOWNA);
    return IsWindowVisible(hwnd) ? 0 : 1;
}

// A test killed half-way leaves what it changed in the prefix, which outlives the session: the
// locale test's decimal comma would fail every form test after it.
int freshDesktop() {
    const bool separator = SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L".");
    return showTray() == 0 && separator ? 0 : 1;
}

int watchTray(int seconds) {
    HWND hwnd = findTray();
    const DWORD until = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    std::puts("watching");
    std::fflush(stdout);
    while (hwnd && !IsWindowVisible(hwnd) && static_cast<int>(until - GetTickCount()) > 0)
        Sleep(2);
    std::puts(hwnd && IsWindowVisible(hwnd) ? "shown" : "hidden");
    return 0;
}

int window(const wchar_t* title) {
    HWND hwnd = FindWindowW(nullptr, title);
    if (!hwnd) {
        std::puts("none");
        return 0;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT corner{0, 0};
    ClientToScreen(hwnd, &corner);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    std::printf("%ld %ld %ld %ld %s\n", corner.x, corner.y, client.right, client.bottom,
                (style & WS_CAPTION) == WS_CAPTION ? "caption" : "nocaption");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"setup") return setup();
    if (command == L"tray") return tray();
    if (command == L"show-tray") return showTray();
    if (command == L"fresh-desktop") return freshDesktop();
    if (command == L"watch-tray" && argc > 2) return watchTray(_wtoi(argv[2]));
    if (command == L"window" && argc > 2) return window(argv[2]);
    std::fputs("usage: probe setup | tray | show-tray | fresh-desktop | watch-tray SECONDS | window TITLE\n",
               stderr);
    return 2;
}
