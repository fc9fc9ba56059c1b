#pragma once

// What a backend does for the core, each duty in one sentence. The core keeps what a window and its
// controls hold and decides what happens; a backend only turns its toolkit's events into calls on
// the core and carries out these duties with its toolkit. Each backend's driver is a final class
// made by its makeDriver(), so a backend that leaves a duty out does not compile.

#include "platform/Platform.h"
#include "platform/core/Timer.h"

#include <memory>
#include <string_view>

namespace platform {

class ControlImpl;
class WindowImpl;

class Driver {
public:
    virtual ~Driver() = default;

    // Rings the desktop's bell and returns at once: the sound plays while the program goes on.
    virtual void beep() = 0;
    // Hands a line of text (UTF-8) to screen readers, which speak it without moving their focus.
    virtual void announce(WindowImpl& window, std::string_view utf8) = 0;
    // The window asked for F1 (Window::onF1): where the toolkit hands out shortcuts the program takes
    // F1 now; elsewhere the backend passes each F1 to the core (f1Pressed) as it comes.
    virtual void f1Wanted(WindowImpl& window) = 0;
    // Whether the window takes input, as its toolkit has it.
    virtual bool windowEnabled(WindowImpl& window) = 0;
    // Whether the window is shown on the desktop, as its toolkit has it.
    virtual bool windowShown(WindowImpl& window) = 0;
    // Hides the window; the backend then tells the core (windowHidden) whether it was the active one.
    virtual void hideWindow(WindowImpl& window) = 0;
    // Brings the window to the front with the keyboard, as Window::activate does.
    virtual void activateWindow(WindowImpl& window) = 0;
    // Ends the event loop: the program exits once the call that asked for it returns.
    virtual void endProgram() = 0;
    // The window is being destroyed: the driver lets go of whatever it keeps for it.
    virtual void windowGone(WindowImpl& window) = 0;
    // The control is named to hold the keyboard whenever its window is activated.
    virtual void keepsFocus(ControlImpl& control) = 0;
    // Lays the controls docked along the bottom of the window's client area out again.
    virtual void layOutDocked(WindowImpl& window) = 0;
    // Moves and sizes the control's toolkit object to the place the core holds for it.
    virtual void place(ControlImpl& control) = 0;
    // Draws a control again after its colours changed.
    virtual void redraw(ControlImpl& control) = 0;
    // The radio group's selected item changed: it is drawn again and screen readers are told.
    virtual void itemChanged(ControlImpl& control) = 0;
    // Gives the control the keyboard focus within its window.
    virtual void focus(ControlImpl& control) = 0;
    // Tells screen readers that the control's enabled or checked state changed.
    virtual void stateChanged(ControlImpl& control) = 0;
    // The control's hint changed: its tool-tip and the description screen readers give follow now.
    virtual void hintChanged(ControlImpl& control) = 0;
    // The primary screen's size in logical pixels, the one the program appears on.
    virtual Size screenSize() = 0;
    // A steady clock and a one-shot alarm for one timer, which calls the timer's due() when it goes
    // off.
    virtual std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl& timer) = 0;
};

// The driver in use: the backend's own unless another was put in its place.
Driver& driver();
// Puts another driver in place of the one in use and returns that one. A test program puts in one
// that records what the program asks and passes each request on to the backend's.
std::unique_ptr<Driver> replaceDriver(std::unique_ptr<Driver> next);
// Made by each backend, once, when the core first needs it.
std::unique_ptr<Driver> makeDriver();

} // namespace platform
