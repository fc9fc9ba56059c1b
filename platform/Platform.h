#pragma once

// The thin layer between the program and the windowing system. Everything above it (app/, Unit1/,
// Unit2/, drill/) sees only the small types of this header, so that another backend can sit behind
// it without the callers changing. Nothing here reports errors: where the desktop refuses a
// request, the backend takes its fallback quietly.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform {

// 0x00BBGGRR, blue in the high byte. Values with the top byte set name a system colour instead.
using Colour = std::uint32_t;

inline constexpr Colour clBlack = 0x000000;
inline constexpr Colour clMaroon = 0x000080;
inline constexpr Colour clGreen = 0x008000;
inline constexpr Colour clOlive = 0x008080;
inline constexpr Colour clRed = 0x0000FF;
inline constexpr Colour clLime = 0x00FF00;
inline constexpr Colour clYellow = 0x00FFFF;
inline constexpr Colour clBlue = 0xFF0000;
inline constexpr Colour clFuchsia = 0xFF00FF;
inline constexpr Colour clAqua = 0xFFFF00;
inline constexpr Colour clWhite = 0xFFFFFF;
inline constexpr Colour clBtnFace = 0xFF00000F;
inline constexpr Colour clWindowText = 0xFF000008;
// A control that inherits takes its parent's colour, read when it is drawn.
inline constexpr Colour clInherit = 0xFE000000;

// The colour a system colour stands for on this desktop; plain colours come back unchanged.
Colour resolve(Colour colour);

// Face and character (em) height in pixels; a null face means the parent's font.
struct Font {
    const char* face = nullptr;
    int height = 0;
    bool bold = false;
    Colour colour = clWindowText;
};

enum class Kind { Panel, Label, Image, RadioGroup, ProgressBar, Button };
enum class Cursor { Default, HandPoint };
enum class MouseButton { Left, Right, Middle };

// Per-control switches of the description tables.
enum Style : unsigned {
    NoStyle = 0,
    ShowHint = 1u << 0,    // the part of the hint before "|" is the control's tool-tip
    Transparent = 1u << 1, // label: no background fill; image: bottom-left colour not drawn
    Stretch = 1u << 2,     // image: a bitmap scaled to fill its box (icons never are)
    Sunken = 1u << 3,      // panel: lowered outer and raised inner bevel
    DefaultButton = 1u << 4,
    WordWrap = 1u << 5,     // label: lines break at the design width and the height follows
    CaptureMouse = 1u << 6, // receives mouse down/up events, holding the mouse in between
    // Screen readers: a panel-button that stays pressed in or out (Control::setChecked), and a
    // control named by the part of its hint before "|" rather than by its caption.
    Toggle = 1u << 7,
    NamedByHint = 1u << 8,
};

// A picture held as rows of colours, top row first. An icon has a mask (true = see-through);
// a bitmap has none and may instead treat its bottom-left colour as see-through.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;
    std::vector<bool> mask;
    bool isIcon() const { return !mask.empty(); }
};

// A control's name in a description table: an enumerator of the window's own enum class, so that
// a misspelt name does not compile, kept as its number.
struct ControlName {
    int id;
    template <class E>
    requires std::is_enum_v<E>
    constexpr ControlName(E name) : id(static_cast<int>(name)) {}
};

// One row of a window's description table. Rows come parents first, in stacking order, bottom
// first; the parent of the window's direct children is the window's own name.
struct ControlRow {
    Kind kind;
    ControlName name;
    ControlName parent;
    int left, top, width, height;
    Colour colour;
    Font font;
    std::string_view caption;
    Cursor cursor;
    std::string_view hint;
    bool visible;
    unsigned style = NoStyle;
    std::span<const std::string_view> items = {};
    int itemIndex = -1; // radio group: the item selected at start
};

struct WindowSpec {
    std::string_view caption;
    int left, top, clientWidth, clientHeight;
    Colour colour;
    Font font;
    bool dialog; // a fixed-size window whose caption bar has a close box only
};

struct Size {
    int width;
    int height;
};

// The primary screen, in logical pixels: the one the program appears on. Positions of top-level
// windows (Window::move, left, top) are measured from its top-left corner, wherever the desktop
// places it among other screens.
Size screenSize();

class ControlImpl;

// A handle to one control. It offers what handlers may change at run time and nothing more.
class Control {
public:
    explicit Control(ControlImpl* impl) : m_impl(impl) {}

    void setText(std::string_view text);
    std::string text() const;
    int left() const;
    int top() const;
    int width() const;
    int height() const;
    void setLeft(int left);
    void setTop(int top);
    void setVisible(bool visible);
    bool visible() const;
    void setEnabled(bool enabled);
    bool enabled() const;
    void setColour(Colour colour);
    Colour colour() const;
    void setFontColour(Colour colour);
    Colour fontColour() const;
    void setHint(std::string_view hint);
    std::string hint() const;
    // A Toggle panel-button: whether it is pressed in, as screen readers report it. Nothing on the
    // screen changes; the handler shows the state with its own colours.
    void setChecked(bool checked);
    bool checked() const;
    // Progress bar: the position, held within the range.
    void setPosition(int position);
    int position() const;
    // Radio group: the selected item, or -1.
    void setItemIndex(int index);
    int itemIndex() const;
    // Progress bar: span the parent's full width along its bottom edge, following its size.
    void alignBottom();
    void setPicture(const Picture& picture);

private:
    ControlImpl* m_impl;
};

class Window;

// Runs a callback every interval on the user-interface thread, each tick scheduled against its
// deadline so that sixty 1000 ms ticks last sixty seconds.
class Timer {
public:
    explicit Timer(std::function<void()> onTick);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setEnabled(bool enabled);
    bool enabled() const;
    void setInterval(int milliseconds);
    int interval() const;
    // Inside the callback: how many intervals this tick stands for. It is 1 unless the program was
    // held up past later deadlines (a hidden page, a suspended machine), whose ticks are skipped, not
    // replayed; a count that must keep to the clock adds them up.
    int intervalsElapsed() const;
    // Called from the callback when its work is done until the timer is next enabled: the ticks
    // stop, so the program no longer wakes for nothing, while the timer stays enabled. Enabling it
    // again starts a fresh interval.
    void pauseUntilEnabled();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

class WindowImpl;

// A top-level window built from its description table; handlers never create controls.
class Window {
public:
    explicit Window(const WindowSpec& description);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void build(std::span<const ControlRow> rows) {
        for (const ControlRow& row : rows)
            addControl(row);
    }
    // Labels and pictures are drawn on their parent's surface, below every windowed sibling.
    void finishBuilding();

    Control control(int id) const;
    bool has(int id) const;

    void onClick(int id, std::function<void()> handler);
    void onMouseDown(int id, std::function<void(MouseButton)> handler);
    void onMouseUp(int id, std::function<void(MouseButton)> handler);
    // Key preview: sees every typed character before any control; returns whether it consumed it.
    void onCharacter(std::function<bool(char32_t)> handler);
    // F1 with no modifier, while this window or any other window of the program is active.
    void onF1(std::function<void()> handler);
    void onClose(std::function<void()> handler);
    // The screen's size changed while the program runs (a page's viewport resized, full screen
    // entered or left, a tablet turned): whatever was placed from the screen's size is placed
    // again. Backends whose screen keeps its size never send it.
    void onScreenChanged(std::function<void()> handler);

    void show();
    void hide();
    void close();
    bool visible() const;
    void activate();
    void raise();
    void repaint();

    void setIcon(const Picture& picture);
    void setClientSize(int width, int height);
    int clientWidth() const;
    int clientHeight() const;
    // Outer frame size, caption bar included.
    int outerWidth() const;
    int outerHeight() const;
    int left() const;
    int top() const;
    void move(int left, int top);
    // Runs once, during the first showing, when the window manager has put its frame round the
    // window and the outer size has become known. Where the frame is there from creation, or the
    // window manager tells it before the window is shown, the outer size is right before the first
    // showing and this never runs; nor does it run once the first showing has ended, by a hide or
    // a close, however often the window is shown in between.
    void onFramed(std::function<void()> handler);
    void setMaximised();
    void setCaptionBar(bool shown);
    // Keys must reach the window as plain characters even while an input method is switched on.
    void disableInputMethod();
    // The control that holds the keyboard focus when the window is activated.
    void setFocusControl(int id);
    // Has the desktop's screen reader speak one line of text (UTF-8) now, without moving the focus
    // or changing anything on the screen; a newer line may cut off an older one still being spoken.
    // With no screen reader running nothing happens, and the call costs next to nothing.
    void announce(std::string_view utf8);

private:
    void addControl(const ControlRow& row);

    WindowImpl* m_impl; // made and destroyed by the backend

};

// The whole program's event loop and title.
class Application {
public:
    Application(int& argc, char** argv);
    ~Application();
    void setTitle(std::string_view title);
    // The reverse-DNS name of the program's desktop entry, through which the desktop finds the
    // menu entry and the icon that belong to the program's windows.
    void setDesktopId(std::string_view id);
    int run();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Millisecond tick (wraps modulo 2^32) and the low 32 bits of the high-resolution clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t tickMs() = 0;
    virtual std::uint32_t highResolution() = 0;
};
Clock& systemClock();

// The decimal separator the user's regional settings give, read anew on every call so that a
// change made while the program runs shows in the next result.
std::string decimalSeparator();

// Rings the desktop's bell and returns at once: the sound plays while the program goes on.
void beep();

// Whether the display the windowing system will use can be reached. Asked before the Application
// is created, so that a program started with no display says so in one line (put into `why`) and
// ends, instead of aborting inside the toolkit.
bool displayReachable(std::string& why);

// The desktop panel that would cover a full-screen window, and a window found by its title.
void hideTaskbar();
void showTaskbar();
void restoreWindowTitled(std::string_view title);

// Whether the user has a window switcher (a taskbar, Alt+Tab, an overview) through which a window
// covered by another, or minimised, is reached again. Every desktop has one; a page in a browser
// has none.
bool hasWindowSwitcher();

} // namespace platform
