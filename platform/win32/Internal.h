#pragma once

// Shared by the Win32 backend's sources only.

#include "platform/Keys.h"
#include "platform/Text.h"
#include "platform/core/SelfDrawn.h"
#include "platform/core/Timer.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct IAccessible;

namespace platform {

class WindowImpl;

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);
// A text as it is drawn (displayText), in the toolkit's own string type.
std::wstring toDisplay(std::string_view utf8);
COLORREF toColorRef(Colour colour);
// The font at the design's height times the factor, for the system's controls that draw their own text;
// the self-drawn surfaces take it at factor 1 and let the paint's scale enlarge it.
HFONT fontFor(const Font& font, int factor = 1);
// The factor the design is drawn at for a monitor's DPI, by the core's rule.
int factorForDpi(UINT dpi);
// The DPI of a window's monitor as the system knows it, or of the primary monitor for no window.
UINT dpiOf(HWND hwnd);
// The outer rectangle of a window of the given styles around a client area in device pixels, the
// frame as wide as the system draws it at the DPI.
RECT outerRect(RECT client, DWORD style, DWORD exStyle, UINT dpi);
RECT scaled(RECT r, int factor);
// Every GDI call after it draws a design pixel as factor × factor device pixels.
void scaleDrawing(HDC dc, int factor);
void registerClasses();
// The loop's work between fetching a message and dispatching it: the F1 accelerator, the dialog
// keys of a dialog window and the key preview. True when the message was used up.
bool preTranslate(MSG& msg);
// Runs one message as the event loop would; synthesised keys skip the translation to characters.
void deliver(MSG& msg, bool translate);

// One control. The window's client area is a control too (the root), so painting, hit testing and
// mouse handling are the same for every surface that owns a native window.
class ControlImpl : public DrawnState {
public:
    HWND hwnd = nullptr; // panels, radio groups, progress bars, buttons and the root
    RECT drawnAt{};      // where a control drawn on its parent was last drawn

    bool windowed() const { return hwnd != nullptr; }
    Colour backgroundColour();
    HFONT hfont() const { return fontFor(font); }
    // The device pixels per design pixel of the window the control lies in.
    int factor() const;
    // The surface this control is drawn on and the control's place there.
    ControlImpl* surface() { return windowed() ? this : parent; }
    RECT rectOnParent() const { return {left, top, left + width, top + height}; }
    void invalidate();
    void resizeToText();
    void place();
    std::wstring shortHint() const;
    int itemAt(POINT p) const { return DrawnState::itemAt(p.x, p.y); }
    RECT itemRect(int index) const {
        const ItemRect r = DrawnState::itemRect(index);
        return {r.left, r.top, r.left + r.width, r.top + r.height};
    }
};

class WindowImpl : public WindowState {
public:
    WindowImpl(const WindowSpec& description, Window& owner);
    ~WindowImpl();

    Window& owner;
    HWND hwnd = nullptr;
    HWND toolTip = nullptr;
    ControlImpl root;
    wchar_t pendingHighSurrogate = 0;
    std::string announcement; // the line last given to screen readers, UTF-8 as the handler wrote it
    ControlImpl* hovered = nullptr;
    int factor = 1; // the drawing factor of the monitor the window is on

    ControlImpl* fromHwnd(HWND h);
    void layoutAligned();
    // Draws the window again at another factor, its outer rectangle the suggested one or else its
    // client area the same number of program pixels.
    void rescale(int newFactor, const RECT* suggested);
    void addToolFor(HWND h);
    // The control that keeps the keyboard: the one named for it, else the first shown radio group
    // or button, else the window itself.
    HWND focusTarget();
    void hideAndPassActivation();
    bool previewCharacter(wchar_t unit, HeldKeys held);
};

// The core's duties, carried out with native windows and the controls drawn on them, defined in the
// sources that hold what they work on.
class Win32Driver final : public SelfDrawnDriver {
public:
    WindowImpl* makeWindow(const WindowSpec& description, Window& owner) override;
    void destroyWindow(WindowImpl& window) override;
    void makeControl(WindowImpl& window, const ControlRow& row) override;
    void finishBuilding(WindowImpl& window) override;
    void showWindow(WindowImpl& window) override;
    void hideWindow(WindowImpl& window) override;
    bool windowShown(WindowImpl& window) override;
    bool windowEnabled(WindowImpl& window) override;
    void activateWindow(WindowImpl& window) override;
    void raiseWindow(WindowImpl& window) override;
    void repaintWindow(WindowImpl& window) override;
    void setIcon(WindowImpl& window, const Picture& picture) override;
    void resizeClient(WindowImpl& window, int width, int height) override;
    Size clientSize(WindowImpl& window) override;
    Size outerSize(WindowImpl& window) override;
    Point position(WindowImpl& window) override;
    void moveWindow(WindowImpl& window, int left, int top) override;
    void maximisedChanged(WindowImpl& window) override;
    void showCaptionBar(WindowImpl& window, bool shown) override;
    void disableInputMethod(WindowImpl& window) override;
    void f1Wanted(WindowImpl& window) override;
    void layOutDocked(WindowImpl& window) override;
    void announce(WindowImpl& window, std::string_view utf8) override;
    void endProgram() override;

    void place(ControlImpl& control) override;
    void showControl(ControlImpl& control, bool shown) override;
    void textChanged(ControlImpl& control) override;
    void redraw(ControlImpl& control) override;
    void positionChanged(ControlImpl& control, int before) override;
    void pictureChanged(ControlImpl& control) override;
    void itemChanged(ControlImpl& control) override;
    void keepsFocus(ControlImpl& control) override;
    void focus(ControlImpl& control) override;
    void stateChanged(ControlImpl& control) override;
    void hintChanged(ControlImpl& control) override;

    void beep() override;
    Size screenSize() override;
    Clock& clock() override;
    std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl& timer) override;
};

// Screen readers: the object that answers WM_GETOBJECT for a surface, and the changes they are told of.
LRESULT accessibleObject(ControlImpl& surface, WPARAM wParam);
// The object itself, reference count 1, for the process's own use.
::IAccessible* createAccessible(ControlImpl& surface);
void accessibleShownChanged(ControlImpl& control);
void accessibleTextChanged(ControlImpl& control);
void accessibleHintChanged(ControlImpl& control);
// A radio group's selected item moved, or the group took the focus.
void accessibleItemChanged(ControlImpl& group);

WindowImpl* windowOf(HWND root);

// The topmost control at a point of a surface's client area: a label or picture drawn there, else
// the surface itself.
ControlImpl* hitOnSurface(ControlImpl& surface, POINT p);
// The deepest shown native window of the top-level window under a point of its client area; both
// points in program pixels.
HWND surfaceAt(WindowImpl& window, POINT clientPoint, POINT& pointInSurface);
// The control under a point of the window's client area.
ControlImpl* controlAtPoint(WindowImpl& window, POINT clientPoint);
// Draws a surface into a device context whose origin is the surface's top-left corner and whose
// units are design pixels (scaleDrawing).
void paintSurface(ControlImpl& surface, HDC dc);
// The same with everything above it, into a device context in device pixels; the pictures of tests
// use it for a whole window.
void renderTree(ControlImpl& surface, HDC dc);
LRESULT CALLBACK surfaceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
int textExtent(const ControlImpl& control, std::wstring_view text);
// A 32-bit top-down DIB section of the given size; its pixels at *bits.
HBITMAP createDib(HDC dc, int width, int height, void** bits);
// An icon from a picture with a mask, at the picture's own size.
HICON makeIcon(const Picture& picture);

namespace win32 {
bool isF1Command(WPARAM wParam);
// The Windows session ends: what the program changed on the desktop goes back.
void endOfSession();
void ensureSetUp();
} // namespace win32

} // namespace platform
