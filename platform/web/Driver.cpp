// The core's duties, carried out by the page.

#include "platform/core/Driver.h"
#include "platform/web/Internal.h"

namespace platform {

namespace {
class PageDriver final : public Driver {
public:
    void beep() override { tr_beep(); }
    void announce(WindowImpl& window, std::string_view utf8) override { announceOn(window, utf8); }
    // The page's key listener passes F1 on as it comes.
    void f1Wanted(WindowImpl&) override {}
    // The page has no window that takes no input.
    bool windowEnabled(WindowImpl&) override { return true; }
    bool windowShown(WindowImpl& window) override { return window.shown; }
    void hideWindow(WindowImpl& window) override { window.hideAndPassActivation(); }
    void activateWindow(WindowImpl& window) override { window.activate(); }
    void endProgram() override { web::endProgram(); }
    // The window's elements go with it.
    void windowGone(WindowImpl&) override {}
    // The focus target is found when the window is activated (focusTarget).
    void keepsFocus(ControlImpl&) override {}
    void layOutDocked(WindowImpl& window) override { window.layoutAligned(); }
    void place(ControlImpl& control) override { control.place(); }
    void redraw(ControlImpl& control) override { restyle(control); }
    void itemChanged(ControlImpl& control) override { control.showRadio(); }
    // The focus is drawn on the radio groups; the page's own focus stays with the window.
    void focus(ControlImpl& control) override { control.window->refreshFocus(); }
    void stateChanged(ControlImpl& control) override { platform::stateChanged(control); }
    void hintChanged(ControlImpl& control) override { platform::hintChanged(control); }
    // The page's viewport stands for the screen.
    Size screenSize() override { return viewportSize(); }
    std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl& timer) override { return makeAlarm(timer); }
};
} // namespace

std::unique_ptr<Driver> makeDriver() {
    return std::make_unique<PageDriver>();
}

} // namespace platform
