// The core's duties, carried out with the Win32 API.

#include "platform/core/Driver.h"
#include "platform/win32/Internal.h"

namespace platform {

namespace {
class Win32Driver final : public Driver {
public:
    void beep() override { ring(); }
    void announce(WindowImpl& window, std::string_view utf8) override { announceOn(window, utf8); }
    // The accelerator table is tried for every window that asked for F1 (preTranslate).
    void f1Wanted(WindowImpl&) override {}
    bool windowEnabled(WindowImpl& window) override { return IsWindowEnabled(window.hwnd) != FALSE; }
    bool windowShown(WindowImpl& window) override { return IsWindowVisible(window.hwnd) != FALSE; }
    void hideWindow(WindowImpl& window) override { window.hideAndPassActivation(); }
    void activateWindow(WindowImpl& window) override { window.owner.activate(); }
    void endProgram() override { PostQuitMessage(0); }
    // The window's native windows go with it.
    void windowGone(WindowImpl&) override {}
    // The focus target is found when the window is activated (focusTarget).
    void keepsFocus(ControlImpl&) override {}
    void layOutDocked(WindowImpl& window) override { window.layoutAligned(); }
    void place(ControlImpl& control) override { control.place(); }
    void redraw(ControlImpl& control) override { control.invalidate(); }
    void itemChanged(ControlImpl& control) override {
        control.invalidate();
        accessibleItemChanged(control);
    }
    void focus(ControlImpl& control) override {
        if (control.hwnd) SetFocus(control.hwnd);
    }
    void stateChanged(ControlImpl& control) override { platform::stateChanged(control); }
    void hintChanged(ControlImpl& control) override { accessibleHintChanged(control); }
    Size screenSize() override { return primaryScreenSize(); }
    std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl& timer) override { return makeAlarm(timer); }
};
} // namespace

std::unique_ptr<Driver> makeDriver() {
    return std::make_unique<Win32Driver>();
}

} // namespace platform
