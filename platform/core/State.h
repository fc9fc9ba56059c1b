#pragma once

// What a control and a window hold whatever toolkit draws them, and the handle calls that only
// read or store it. Shared by the backends' sources only: each backend's ControlImpl and
// WindowImpl build on these parts and add what their toolkit needs.

#include "platform/Keys.h"
#include "platform/Platform.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class ControlImpl;
class WindowImpl;

struct ControlState {
    Kind kind{};
    int id = -1;
    ControlImpl* parent = nullptr; // null for the window's own direct children or surface
    WindowImpl* window = nullptr;
    int designWidth = 0;
    Colour colour = clInherit;
    Font font;
    std::string text;
    std::string hint;
    unsigned style = NoStyle;
    bool enabled = true;
    bool alignedBottom = false;
    bool checked = false;
    int position = 0;
    Picture picture;

    std::function<void()> clickHandler;
    std::function<void(MouseButton)> downHandler;
    std::function<void(MouseButton)> upHandler;
};

// The first window made is the main one: closing it ends the program, any other is only hidden.
bool takeMainWindowRole();
// Every window of the program, in the order made, the main one first; each backend's window enters
// itself when made (windowMade) and leaves when destroyed (windowGone).
std::vector<WindowImpl*>& allWindows();
void windowMade(WindowImpl& window);
void windowGone(WindowImpl& window);

struct WindowState {
    bool isMain = takeMainWindowRole();
    bool dialog = false;
    bool maximised = false;
    Colour colour = clBlack; // the client area's, which the controls that inherit end at
    std::map<int, std::unique_ptr<ControlImpl>> controls;
    std::vector<ControlImpl*> order; // table order: parents first, bottom first
    std::function<bool(char32_t)> characterHandler;
    std::function<void()> closeHandler;
    std::function<void()> screenChangedHandler;
    std::function<void()> f1Handler;
    // Runs once, during the first showing, when the window manager has put its frame round it.
    std::function<void()> framedHandler;
    int focusId = -1;

    ControlImpl* find(int id) const;
};

// Takes a row's design values that every backend keeps as they are. A control without a font of
// its own uses its parent's, which ends at the window's.
void describe(ControlState& control, const ControlRow& row, WindowImpl& window, ControlImpl* parent,
              const Font& parentFont);

// Each backend's own types, seen through their toolkit-free part.
ControlState& stateOf(ControlImpl& control);
WindowState& stateOf(WindowImpl& window);

// A character typed into the window, with the keys held as its desktop reports them: the key
// preview hears it before any control when it is an answer (Keys.h). Returns whether the preview
// consumed it.
bool characterTyped(WindowImpl& window, char32_t typed, HeldKeys held);

// F1 with no modifier, from whichever window of the program has the keyboard: the action of the
// window that asked for it, unless that window is disabled.
void f1Pressed();

// A request to close the window, from its close box, the desktop or the program: its handler runs,
// it hides, and closing the main window ends the program; any other window is only hidden.
void closeRequested(WindowImpl& window);
// The window has hidden: the activation passes on as rules::activationHeir says.
void windowHidden(WindowImpl& window, bool wasActive);

// The colour a control is filled with: its own, else that of the nearest control it lies in that
// has one, else the window's.
Colour backgroundOf(ControlImpl& control);

} // namespace platform
