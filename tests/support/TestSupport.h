#pragma once

// Drives windows the way a person would, for tests: real key and mouse events delivered through the
// toolkit, timers fired by hand, pictures grabbed. Form tests use only this header and Platform.h,
// so they run unchanged on every backend; what only one backend can tell says so.

#include "platform/Platform.h"

#include <string>
#include <string_view>

namespace platform::test {

// Started once per test program; the backend chooses its headless display itself.
void initialise(int& argc, char** argv);
void processEvents();
// Delivers what the windows have queued, repaints included, without running the event loop: the
// timers' real deadlines pass unheard, so a test that fires them by hand replays exactly.
void deliverPosted();
// Ends the toolkit before static destruction begins.
void shutdown();
// Runs the timer's callback now, as a tick due after one interval would; nothing when it is disabled.
void fire(Timer& timer);
// The timer's alarm going off as if the program had been held up until its latest deadline was
// `intervals` intervals past: the tick the timer sees after a hidden page or a stopped process.
// False, and nothing runs, where no alarm was pending: the timer is disabled or paused.
bool fireTimer(Timer& timer, int intervals = 1);

// A key press and release per character of the UTF-8 text, sent to the window's focused control.
void type(Window& window, std::string_view utf8);
// F1, with or without Shift, Ctrl or Alt held.
enum Modifier : unsigned { NoModifier = 0, Shift = 1, Ctrl = 2, Alt = 4 };
void pressF1(Window& window, unsigned modifiers = NoModifier);
// A letter key pressed with Shift, Ctrl or Alt held, delivered as this desktop's keyboard sends it:
// with Ctrl (Alt held or not) the letter's control character, with Alt alone the letter itself.
void typeChord(Window& window, char letter, unsigned modifiers);
// Keys that type nothing.
enum class SilentKey { Left, Right, Up, Down, ShiftKey, F2 };
void pressSilent(Window& window, SilentKey key);
// The keys a dialog answers to, with or without Shift, Ctrl or Alt held.
enum class DialogKey { Return, Space, Escape };
void pressDialogKey(Window& window, DialogKey key, unsigned modifiers = NoModifier);
// The close box of the caption bar: the close request the windowing system sends.
void pressCloseBox(Window& window);
// What the window's frame offers the user.
struct Frame {
    std::string caption;
    bool closeBox, minimiseBox, maximiseBox, resizable;
};
Frame frameOf(Window& window);

// Mouse events at window coordinates; the pressed control keeps the mouse until release.
void press(Window& window, int x, int y, MouseButton button = MouseButton::Left);
void release(Window& window, int x, int y, MouseButton button = MouseButton::Left);
// The side buttons of a five-button mouse, which no handler knows.
enum class SideButton { Back, Forward };
void press(Window& window, int x, int y, SideButton button);
void release(Window& window, int x, int y, SideButton button);
void click(Window& window, int x, int y);
void doubleClick(Window& window, int x, int y, MouseButton button = MouseButton::Left);
// The middle of a control, in window coordinates.
int centreX(Window& window, int id);
int centreY(Window& window, int id);
int windowX(Window& window, int id); // the control's left edge in window coordinates
int windowY(Window& window, int id);
void clickControl(Window& window, int id);

// A radio group item's place inside its group: left, top, width, height.
struct Rect {
    int left, top, width, height;
};
Rect itemRect(Window& window, int id, int index);

// The control a click at x, y reaches, or -1 for the window itself.
int controlAt(Window& window, int x, int y);

// The tool-tip the window shows when the pointer rests at x, y; empty when none shows.
std::string toolTipAt(Window& window, int x, int y);
// The cursor shape over x, y.
Cursor cursorAt(Window& window, int x, int y);
// The width the control's font gives the text drawn as written, accelerator marks included.
int textWidth(Window& window, int id, std::string_view utf8);
// The family of the face the control's text is drawn in, after the desktop's substitutions and
// fallbacks: what a person sees, not the name the design asks for. The desktop backend only.
std::string drawnFace(Window& window, int id);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels; // 0x00BBGGRR
    Colour at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};
// Whether the backend draws at all: the tests' recording driver draws nothing and grabs no picture.
bool drawsPictures();
// In device pixels: on a screen with a pixel ratio of 2 the picture has twice the window's width.
Image grab(Window& window);
// What the window's repaints have left in its backing store so far, without drawing it anew: shows
// a part that a repaint missed.
Image painted(Window& window);
bool savePng(const Image& image, const std::string& path);

// The desktop's screens, the primary one first; places and sizes in logical pixels of the desktop.
struct Screen {
    Rect geometry;
    double pixelRatio;
};
std::vector<Screen> screens();
// The window's frame in desktop coordinates, which Window::left and top measure from the primary
// screen instead.
Rect desktopGeometry(Window& window);
// Puts a shown window on another screen at that screen's top-left corner, keeping its size, as
// a user dragging it there would; it is drawn at that screen's pixel ratio from then on. Like
// deliverPosted, it lets no timer fire.
void moveToScreen(Window& window, int screenIndex);
// Where the window's shown controls draw text, in window coordinates: labels and captioned panels
// whole, and the toolkit's own radio groups and buttons, whose look belongs to its style.
std::vector<Rect> textAreas(Window& window);

// The line the window last gave to screen readers; empty before the first.
std::string lastAnnouncement(Window& window);

// Beeps sounded since the program started.
int beepCount();
// Labels drawn since the program started at the size of a text they no longer hold.
int labelsDrawnAtOldSize();
// Draws the window as it stands, where the backend draws a change only at a later repaint: what
// labelsDrawnAtOldSize counts then covers the window's present state.
void drawNow(Window& window);
bool isActive(Window& window);
// Whether the desktop keeps the window in front of another window of the program, whatever is
// clicked: an owned window on Windows, a transient one on X (toolkit dialogs are made transient).
bool keptInFrontOfOthers(Window& window);

// What an X window manager and a compositor do to the program's windows, on the Qt backend only:
// announce the frame they put round a shown window (left, top, right and bottom, in the window's
// logical pixels), and maximise a window.
void announceFrame(Window& window, int left, int top, int right, int bottom);
void desktopMaximises(Window& window);
bool maximised(Window& window);

} // namespace platform::test
