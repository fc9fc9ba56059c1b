#pragma once

// What the backends that draw their controls themselves (Windows, the browser) keep of each control
// beyond the toolkit-free state, the handle calls that only read it, and what such a control does
// with the mouse and the keys, decided here once for both. A toolkit with widgets of its own keeps
// these in its widgets.

#include "platform/Rules.h"
#include "platform/core/Driver.h"
#include "platform/core/State.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {

using rules::ItemRect;

struct DrawnState : ControlState {
    int left = 0, top = 0, width = 0, height = 0; // on the parent's surface
    bool shown = true;
    Cursor cursor = Cursor::Default;
    std::vector<std::string> items;
    int itemIndex = -1;
    int pressedItem = -1;
    std::vector<ControlImpl*> children; // table order: bottom first
    bool pressed = false;

    // Takes the row's place, cursor, visibility and items as they are.
    void takePlace(const ControlRow& row);
    // A radio group's item, in the group's pixels; the item under a point of the group, or -1.
    ItemRect itemRect(int index) const;
    int itemAt(int x, int y) const;
    // Shown, and so is every control it lies in.
    bool shownOnScreen() const;
};

DrawnState& drawnOf(ControlImpl& control);

// Takes a window's description: whether it is a dialog and its colour, and its client area as the
// root control, a panel of the window's colour, font and client size that its direct children lie on.
void describeWindow(WindowImpl& window, DrawnState& root, const WindowSpec& description);

// Makes the row's control in the window, on its parent or, for the window's own children, on the
// window's surface, and enters it in the window's table order; the backend then makes its toolkit's
// object for it.
template <class Impl> Impl& adoptControl(WindowImpl& window, Impl& surface, const ControlRow& row) {
    WindowState& w = stateOf(window);
    auto made = std::make_unique<Impl>();
    Impl& c = *made;
    Impl* parent = w.find(row.parent.id);
    if (!parent) parent = &surface;
    describe(c, row, window, parent, parent->font);
    c.takePlace(row);
    parent->children.push_back(&c);
    w.order.push_back(&c);
    w.controls[row.name.id] = std::move(made);
    return c;
}

// A press of a mouse button on a control, which holds the mouse until the button goes up.
// pressCount counts the presses of one quick series, 1 for a press alone; item is the radio group's
// item under the pointer, or -1.
void mousePressed(ControlImpl& target, MouseButton button, int pressCount, int item);
// The release of a button, heard by the control holding the mouse wherever the pointer is: inside
// tells whether it is over that control, item which of a radio group's items it is over (or -1),
// and stillHeld whether another button keeps the mouse held. With no control holding the mouse,
// the control under the pointer (if any) hears the release alone.
void mouseReleased(MouseButton button, bool inside, int item, bool stillHeld, ControlImpl* under);
// The control holding the mouse, or null.
ControlImpl* mouseOwner();
// The control holding the mouse lets it go when it or a control it lies in is hidden, and when its
// window goes.
void controlHidden(ControlImpl& control);
void windowDestroyed(WindowImpl& window);

// The control that keeps the keyboard in a window: the one named for it, else the first shown radio
// group or button, else none.
ControlImpl* focusTarget(WindowImpl& window);

// The keys a dialog with a default push button and no cancel button answers: Enter with no Shift,
// Ctrl or Alt clicks the default button, Space clicks the focused push button whatever is held, and
// Escape does nothing. Returns whether the key was the dialog's.
enum class DialogKey { Enter, Space, Escape };
bool dialogKey(WindowImpl& window, DialogKey key, bool modifierHeld);
// The arrow keys move a radio group's selection by one item, stopping at either end. Returns whether
// the focused control is a radio group that took the key.
enum class Arrow { Left, Right, Up, Down };
bool radioKey(WindowImpl& window, Arrow arrow);

// The controls docked along the bottom of the window's client area span its width there.
void dockAlongBottom(WindowImpl& window, ControlImpl& root, int clientWidth, int clientHeight);

// The duties that only read or store what a self-drawn control holds, alike for both backends; each
// backend's driver derives from this one and carries out the rest.
class SelfDrawnDriver : public Driver {
public:
    Place placeOf(ControlImpl& control) override;
    void moveControl(ControlImpl& control, int left, int top) override;
    bool controlShown(ControlImpl& control) override;
    void selectItem(ControlImpl& control, int index) override;
    int selectedItem(ControlImpl& control) override;
};

} // namespace platform
