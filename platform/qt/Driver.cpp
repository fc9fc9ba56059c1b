// The core's duties, carried out with the toolkit.

#include "platform/core/Driver.h"
#include "platform/qt/Internal.h"

#include <QCoreApplication>

namespace platform {

namespace {
class QtDriver final : public Driver {
public:
    void beep() override { ring(); }
    void announce(WindowImpl& window, std::string_view utf8) override { announceOn(window, utf8); }
    void f1Wanted(WindowImpl& window) override { window.takeF1(); }
    bool windowEnabled(WindowImpl& window) override { return window.top->isEnabled(); }
    bool windowShown(WindowImpl& window) override { return window.top->isVisible(); }
    // The widget's hide event passes the activation on.
    void hideWindow(WindowImpl& window) override { window.top->hide(); }
    void activateWindow(WindowImpl& window) override { window.owner.activate(); }
    void endProgram() override { QCoreApplication::quit(); }
    // The window's widgets go with it.
    void windowGone(WindowImpl&) override {}
    void keepsFocus(ControlImpl& control) override { control.widget->setFocusPolicy(Qt::StrongFocus); }
    void layOutDocked(WindowImpl& window) override { window.layoutAligned(); }
    // The widgets keep their own places and radio buttons: the core asks these of the backends that
    // draw their controls themselves.
    void place(ControlImpl&) override {}
    void itemChanged(ControlImpl&) override {}
    void redraw(ControlImpl& control) override { platform::redraw(control); }
    void focus(ControlImpl& control) override { control.widget->setFocus(); }
    void stateChanged(ControlImpl& control) override { platform::stateChanged(control); }
    // The tool-tip is made from the hint each time it is about to show.
    void hintChanged(ControlImpl& control) override { accessibleHintChanged(control); }
    Size screenSize() override { return primaryScreenSize(); }
    std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl& timer) override { return makeAlarm(timer); }
};
} // namespace

std::unique_ptr<Driver> makeDriver() {
    return std::make_unique<QtDriver>();
}

} // namespace platform
