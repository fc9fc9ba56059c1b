// The taskbar the program hides while its main window lives. It comes back when the window goes, at
// the end of the Windows session, and when the program dies of a fault or an unhandled exception;
// only a killed process leaves it hidden. Wine's explorer hides its docked tray by itself soon after
// any window goes away, so each test shows it first and looks at once, or watches it while a helper
// runs.

#include "FormFixture.h"

#include <windows.h>

#include <string>

namespace {

bool trayShown() {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    return tray && IsWindowVisible(tray);
}

// The crash helper lies beside the test program.
std::wstring crashHelper() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"win32_crash.exe";
}

void showTray() {
    ShowWindow(FindWindowW(L"Shell_TrayWnd", nullptr), SW_SHOWNA);
}

struct HelperRun {
    DWORD status = 0xFFFFFFFF;
    bool hidden = false;         // the helper hid the taskbar
    bool shownAfterward = false; // and it was shown again before the helper's end or just after
};

// Runs the helper to its end, or kills it once it has hidden the taskbar, watching the taskbar.
HelperRun runHelper(const std::wstring& how, bool kill) {
    HelperRun run;
    std::wstring commandLine = L"\"" + crashHelper() + L"\" " + how;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return run;
    const DWORD start = GetTickCount();
    DWORD ended = 0;
    while (GetTickCount() - start < 20000) {
        const bool shown = trayShown();
        run.hidden = run.hidden || !shown;
        run.shownAfterward = run.shownAfterward || (run.hidden && shown);
        if (kill && run.hidden && !ended) TerminateProcess(process.hProcess, 9);
        if (!ended && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) ended = GetTickCount();
        if (ended && (run.shownAfterward || GetTickCount() - ended > 300)) break;
        Sleep(1);
    }
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

} // namespace

TEST(Taskbar, HiddenWhileTheMainWindowLives) {
    showTray();
    ASSERT_TRUE(trayShown()) << "the session has no taskbar to hide";
    {
        FakeClock clock;
        TMofuForm1 form(clock);
        EXPECT_FALSE(trayShown());
    }
    EXPECT_TRUE(trayShown());
}

TEST(Taskbar, BackAtTheEndOfTheWindowsSession) {
    showTray();
    FakeClock clock;
    TMofuForm1 form(clock);
    form.show();
    ASSERT_FALSE(trayShown());
    SendMessageW(FindWindowW(L"TapirunForm", L"Tapirun"), WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(trayShown());
}

TEST(Taskbar, BackWhenTheProgramDiesButNotWhenItIsKilled) {
    struct Row {
        const wchar_t* how;
        bool kill;
        DWORD status;
        bool trayBack;
    };
    constexpr DWORD AbortStatus = 3;
    constexpr DWORD KilledStatus = 9;
    for (const Row& r : {Row{L"fault", false, EXCEPTION_ACCESS_VIOLATION, true},
                         Row{L"throw", false, AbortStatus, true}, Row{L"wait", true, KilledStatus, false}}) {
        SCOPED_TRACE(std::string(r.how, r.how + wcslen(r.how)));
        showTray();
        const HelperRun run = runHelper(r.how, r.kill);
        EXPECT_EQ(run.status, r.status);
        EXPECT_TRUE(run.hidden);
        EXPECT_EQ(run.shownAfterward, r.trayBack);
    }
    showTray();
}
