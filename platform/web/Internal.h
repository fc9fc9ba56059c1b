#pragma once

// Shared by the browser backend's sources only. Every control is an element of the page; the
// functions tr_* are the page side, in Dom.js.

#include "platform/Text.h"
#include "platform/core/SelfDrawn.h"
#include "platform/core/Timer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
int tr_window_create(int dialog, const char* caption, int width, int height);
void tr_window_destroy(int frame);
int tr_window_client(int frame);
void tr_window_show(int frame, int shown);
void tr_window_move(int frame, int left, int top);
void tr_window_raise(int frame);
void tr_window_active(int frame, int active);
int tr_element_create(int parent, int kind, int windowed);
void tr_place(int element, int left, int top, int width, int height);
void tr_show(int element, int shown);
void tr_background(int element, int colour);
void tr_font(int font, const char* face, int height, int bold);
int tr_advance(int font, int character);
void tr_text(int element, const char* text, int font, int colour, int centred, int underlineLine,
             int underlineAt);
void tr_cursor(int element, int hand);
void tr_tooltip(int element, const char* text);
void tr_bevel(int element, int kind);
void tr_fill(int element, int width, int colour);
void tr_value(int element, int value);
void tr_describe(int element, const char* role, const char* name, const char* description);
void tr_state(int element, int enabled, int pressed);
void tr_announce(int frame, const char* text);
void tr_hint(const char* text);
void tr_focus(int element);
void tr_picture(int element, int width, int height, const std::uint32_t* pixels, const unsigned char* clear,
                int stretch);
void tr_radio(int element, const char* caption, const char* items, int count, const int* rects, int selected,
              int focused, int font, int colour, int background);
int tr_contains(int element, double x, double y);
int tr_offset_x(int element, double x);
int tr_offset_y(int element, double y);
int tr_viewport_width();
int tr_viewport_height();
void tr_scale(int factor, int width, int height);
void tr_listen(const char* names, const int* codes, int count, int composed, int other);
int tr_timer_set(int id, double delay);
void tr_timer_clear(int handle);
void tr_beep();
int tr_decimal_separator();
void tr_end();
double tr_device_pixel_ratio();
}

namespace platform {

class WindowImpl;

int toCss(Colour colour);
// The page's number for a face, height and weight, told to it the first time it is asked for.
int fontOf(const Font& font);
double measure(const Font& font, std::u32string_view text);

// Bevels the page draws round an element.
enum Bevel { NoBevel = 0, SunkenBevel = 1, WellBevel = 2, RaisedBevel = 3, DefaultBevel = 4 };

class ControlImpl : public DrawnState {
public:
    int element = 0;

    // Panels, radio groups, progress bars and buttons lie above their parent's labels and pictures.
    bool windowed() const { return kind != Kind::Label && kind != Kind::Image; }
    Colour backgroundColour();
    void place();
    // What a screen reader is told of the control: its role, name and description.
    void describe();
    void restyle();
    void resizeToText();
    void showRadio();
    std::string shortHint() const;

private:
    // What the page was last given to draw the text with; a restyle that changes none of it is
    // not passed on.
    struct Written {
        std::string text;
        int font = -1, colour = -1, underlineLine = -1, underlineAt = -1;
        bool operator==(const Written&) const = default;
    };
    Written written;
    void writeText(Written next, bool centred);
};

class WindowImpl : public WindowState {
public:
    WindowImpl(const WindowSpec& description, Window& owner);
    ~WindowImpl();

    Window& owner;
    int frame = 0;
    ControlImpl root;
    std::string caption;
    int left = 0, top = 0;
    bool shown = false;

    int outerWidth() const;
    int outerHeight() const;
    void layoutAligned();
    void moveTo(int x, int y);
    // Moved as a person drags it, with the whole window kept inside the page.
    void moveInside(int x, int y);
    void hideAndPassActivation();
    void activate();
    void refreshFocus();
    void giveKeyboardFocus();
    void describeForAssistiveTechnology();
    bool described = false;
};

// Dialog frames: a caption bar and a border round the client area.
constexpr int FrameBorder = 3;
constexpr int CaptionHeight = 18;

WindowImpl* activeWindow();
ControlImpl* controlOfElement(int element);
WindowImpl* windowOfFrame(int frame);

// Tells screen readers whether the control takes clicks and, for a toggle, whether it is pressed in.
void writeState(ControlImpl& control);

// The core's duties, carried out by the page, defined in the sources that hold what they work on.
class PageDriver final : public SelfDrawnDriver {
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

namespace web {
// The page starts passing its events on, its key names told what code each key has.
void listen();
// A key as the page reports it, to the window whose frame holds the element it came to (the one
// with the keyboard focus), else to the active window; the answer's bit 1 asks the page to cancel
// the browser's own handling of it. Covering: the page covers the screen (full screen, a kiosk, an
// installed app).
int key(int code, unsigned modifiers, bool covering, WindowImpl* to);
// The viewport's size changed.
void screenChanged();
// The main window closed: every timer stops and the page says the program has ended.
void endProgram();
void mouse(int type, int element, int button, int detail, double x, double y);
} // namespace web

} // namespace platform
