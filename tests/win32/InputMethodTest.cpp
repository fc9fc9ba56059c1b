// The drill window takes keys as plain characters with a Japanese input method switched on: neither
// the window nor any control in it has an input context once it is built.

#include "FormFixture.h"

#include <windows.h>
// after windows.h, which it builds on
#include <imm.h>

namespace {

BOOL CALLBACK countContext(HWND hwnd, LPARAM counter) {
    if (HIMC context = ImmGetContext(hwnd)) {
        ++*reinterpret_cast<int*>(counter);
        ImmReleaseContext(hwnd, context);
    }
    return TRUE;
}

int windowsWithContext(HWND top) {
    int count = 0;
    countContext(top, reinterpret_cast<LPARAM>(&count));
    EnumChildWindows(top, countContext, reinterpret_cast<LPARAM>(&count));
    return count;
}

} // namespace

TEST(InputMethod, OffForTheDrillWindowAndEveryControlInIt) {
    FakeClock clock;
    TMofuForm1 form(clock);
    form.show();
    HWND top = FindWindowW(L"TapirunForm", L"Tapirun");
    ASSERT_NE(top, nullptr);
    int children = 0;
    EnumChildWindows(
        top, [](HWND, LPARAM n) -> BOOL { return ++*reinterpret_cast<int*>(n) > 0; },
        reinterpret_cast<LPARAM>(&children));
    EXPECT_GT(children, 100) << "panels, keys, the radio group and the bar";
    EXPECT_EQ(windowsWithContext(top), 0);
}
