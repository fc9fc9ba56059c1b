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

// A control's place on its parent's surface, and a window's on the screen.
struct Place {
    int left, top, width, height;
};
struct Point {
    int x, y;
};

class Driver {
public:
    virtual ~Driver() = default;

    // Windows.

    // Makes the window's toolkit object from its description, not yet shown, and enters it in the
    // core's list of windows (windowMade).
    virtual WindowImpl* makeWindow(const WindowSpec& description, Window& owner) = 0;
    // Destroys the window with its controls, once the core has let go of it (windowGone).
    virtual void destroyWindow(WindowImpl& window) = 0;
    // Makes one row's control, on its parent or on the window's surface, and enters it in the
    // window's table (adoptControl, or the toolkit's own widget with describe).
    virtual void makeControl(WindowImpl& window, const ControlRow& row) = 0;
    // Every row is made: labels and pictures go below their windowed siblings.
    virtual void finishBuilding(WindowImpl& window) = 0;
    // Shows the window, full screen when the core holds it maximised.
    virtual void showWindow(WindowImpl& window) = 0;
    // Hides the window; the backend then tells the core (windowHidden) whether it was the active one.
    virtual void hideWindow(WindowImpl& window) = 0;
    // Whether the window is shown on the desktop, as its toolkit has it.
    virtual bool windowShown(WindowImpl& window) = 0;
    // Whether the window takes input, as its toolkit has it.
    virtual bool windowEnabled(WindowImpl& window) = 0;
    // Brings the window to the front with the keyboard on its focus target.
    virtual void activateWindow(WindowImpl& window) = 0;
    // Brings the window to the front without the keyboard.
    virtual void raiseWindow(WindowImpl& window) = 0;
    // Draws the whole window again.
    virtual void repaintWindow(WindowImpl& window) = 0;
    // Gives the window the icon its caption bar and the window switcher show.
    virtual void setIcon(WindowImpl& window, const Picture& picture) = 0;
    // Gives the client area a new size, the frame following.
    virtual void resizeClient(WindowImpl& window, int width, int height) = 0;
    // The client area's size, and the outer size with the frame and caption bar.
    virtual Size clientSize(WindowImpl& window) = 0;
    virtual Size outerSize(WindowImpl& window) = 0;
    // The frame's top-left corner, from the primary screen's top-left corner.
    virtual Point position(WindowImpl& window) = 0;
    virtual void moveWindow(WindowImpl& window, int left, int top) = 0;
    // The core now holds the window maximised: a shown window covers the screen at once.
    virtual void maximisedChanged(WindowImpl& window) = 0;
    // Puts the caption bar and frame on the window, or takes them away.
    virtual void showCaptionBar(WindowImpl& window, bool shown) = 0;
    // Keys reach the window as plain characters even while an input method is on.
    virtual void disableInputMethod(WindowImpl& window) = 0;
    // The window asked for F1 (Window::onF1): where the toolkit hands out shortcuts the program takes
    // F1 now; elsewhere the backend passes each F1 to the core (f1Pressed) as it comes.
    virtual void f1Wanted(WindowImpl& window) = 0;
    // Lays the controls docked along the bottom of the window's client area out again.
    virtual void layOutDocked(WindowImpl& window) = 0;
    // Hands a line of text (UTF-8) to screen readers, which speak it without moving their focus.
    virtual void announce(WindowImpl& window, std::string_view utf8) = 0;
    // Ends the event loop: the program exits once the call that asked for it returns.
    virtual void endProgram() = 0;

    // Controls.

    // The control's place on its parent, labels measured to their text.
    virtual Place placeOf(ControlImpl& control) = 0;
    // Moves the control on its parent, keeping its size.
    virtual void moveControl(ControlImpl& control, int left, int top) = 0;
    // Moves and sizes the control's toolkit object to the place the core holds for it, where the
    // core holds one (the backends that draw their controls themselves).
    virtual void place(ControlImpl& control) = 0;
    // Shows or hides the control; a hidden one keeps neither the keyboard nor the mouse.
    virtual void showControl(ControlImpl& control, bool shown) = 0;
    // Whether the control itself is shown, whatever its parents are.
    virtual bool controlShown(ControlImpl& control) = 0;
    // The control's text changed: a label takes its text's size, and screen readers are told.
    virtual void textChanged(ControlImpl& control) = 0;
    // Draws a control again after its colours changed.
    virtual void redraw(ControlImpl& control) = 0;
    // The progress bar's position changed from `before`: the part that changed is drawn again.
    virtual void positionChanged(ControlImpl& control, int before) = 0;
    // The control's picture changed: it is drawn from the core's copy.
    virtual void pictureChanged(ControlImpl& control) = 0;
    // Selects a radio group's item, as a click on it would; an index out of range changes nothing.
    virtual void selectItem(ControlImpl& control, int index) = 0;
    // The radio group's selected item, or -1.
    virtual int selectedItem(ControlImpl& control) = 0;
    // The radio group's selected item changed: it is drawn again and screen readers are told.
    virtual void itemChanged(ControlImpl& control) = 0;
    // The control is named to hold the keyboard whenever its window is activated.
    virtual void keepsFocus(ControlImpl& control) = 0;
    // Gives the control the keyboard focus within its window.
    virtual void focus(ControlImpl& control) = 0;
    // Tells screen readers that the control's enabled or checked state changed.
    virtual void stateChanged(ControlImpl& control) = 0;
    // The control's hint changed: its tool-tip and the description screen readers give follow now.
    virtual void hintChanged(ControlImpl& control) = 0;

    // The rest of the desktop.

    // Rings the desktop's bell and returns at once: the sound plays while the program goes on.
    virtual void beep() = 0;
    // The primary screen's size in logical pixels, the one the program appears on.
    virtual Size screenSize() = 0;
    // The millisecond tick and the high-resolution clock the drills time keys with.
    virtual Clock& clock() = 0;
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
