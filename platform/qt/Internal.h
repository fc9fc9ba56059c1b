#pragma once

// Shared by the Qt backend's sources only.

#include "platform/Text.h"
#include "platform/core/Driver.h"
#include "platform/core/State.h"
#include "platform/core/Timer.h"

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QFont>
#include <QMargins>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QShortcut;

namespace platform {

QColor toQColor(Colour colour);
Colour fromQColor(const QColor& colour);
QFont toQFont(const Font& font);
// A text as it is drawn (displayText), in the toolkit's own string type.
QString toDisplay(std::string_view utf8);
QPixmap toPixmap(const Picture& picture, bool colourKeyed);
// Before the application is made: the toolkit then draws at the core's whole factor.
void setUpScaling();
void setUpApplication();
// Tells the bell of every key: the first has it ready before its first ring, and each one puts
// off the bell's work of trying the sound server again.
void bellKeyHeard();

class WindowImpl;

// Screen readers: the descriptions of the program's own widgets, installed once the application
// exists; the changes they are told of; and activation where no window manager hands it out.
void installAccessibility();
void accessibleShownChanged(ControlImpl& control);
void accessibleTextChanged(ControlImpl& control);
void accessibleHintChanged(ControlImpl& control);
// Activates a window itself where no window manager or compositor would.
void activateUnlessManaged(QWidget& top);

class ControlImpl : public ControlState {
public:
    QWidget* widget = nullptr;
    QPixmap pixmap;
    bool pixmapIsIcon = false;
    // Labels and pictures are drawn on their parent's surface: hiding one only stops drawing it
    // and lets clicks through, as it would on the original desktop. The widget itself stays
    // shown, because showing a widget makes the toolkit ask the X server where the pointer is,
    // a round trip on every wrong key.
    bool shown = true;
    bool drawnOnParent() const { return kind == Kind::Label || kind == Kind::Image; }
    bool opaqueLabel() const { return kind == Kind::Label && !(style & Transparent); }
    void setShown(bool visible);
    bool isShown() const;
    QButtonGroup* radios = nullptr;

    Colour backgroundColour();
    // Only a font's colour changes at run time, so the face, size and weight are resolved once.
    const QFont& qfont() const {
        if (!fontResolved) {
            resolvedFont = toQFont(font);
            fontResolved = true;
        }
        return resolvedFont;
    }
    mutable QFont resolvedFont;
    mutable bool fontResolved = false;
    // Labels take the size of their text. Measuring loads the label's face at its size, which
    // costs a processor for a while the first time, so a label nobody can see is measured only
    // once it is shown or its size is asked for.
    void resizeToText();
    void ensureSized();
    bool sizeStale = false;
    QString shortHint() const;
};

class WindowImpl : public WindowState {
public:
    WindowImpl(const WindowSpec& description, Window& owner);
    ~WindowImpl();

    Window& owner;
    std::unique_ptr<QWidget> top;
    bool captionBar = true;
    bool shownOnce = false;
    Font font;
    std::unique_ptr<QShortcut> f1;
    void takeF1();
    // Watches for the window manager announcing the frame during the first showing only.
    bool watchingFrame = false;
    std::unique_ptr<QAbstractNativeEventFilter> frameWatch;
    // The frame as the window manager announced it, once it has, in logical pixels.
    std::optional<QMargins> announcedFrame;
    bool frameRequested = false;

    ControlImpl* fromWidget(const QWidget* widget) const;
    void layoutAligned();
    void watchFrame();
    void stopWatchingFrame();
    // Keeps the announced frame and runs the framed handler, once.
    void framed(QMargins margins);
    // Asks an X window manager for the frame it will put round the window, before it is shown.
    void requestFrameExtents();
    // Left, top, right and bottom of the frame round the client area.
    QMargins frameMargins();
    // A Wayland compositor stacks the windows itself and may show nothing over a full-screen
    // window but that window's own children, so there this window is made a child of the main one.
    void stayOverMainOnWayland(const WindowImpl& main);
    // A fixed-size dialog window is never maximised nor full screen, whoever asks: on a desktop
    // where the toolkit draws the caption bar, its buttons include a maximise button.
    void keepNormalState();
    bool keepsNormalState = false;
    int normalStateTurnBacks = 0; // during this showing
    // True when the key event was typed into this window and its handler consumed it.
    bool previewKey(QObject* receiver, QEvent* event);
};

// The control's widget kinds that draw themselves.
class ControlWidget : public QWidget {
public:
    ControlWidget(ControlImpl& control, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintPanel(class QPainter& painter);
    void paintLabel(QPainter& painter);
    void paintImage(QPainter& painter);
    void paintProgress(QPainter& painter);

    ControlImpl& m_control;
    bool m_pressed = false;
};

// The core's duties, carried out with the toolkit's widgets, defined in the sources that hold the
// widgets they work on.
class QtDriver final : public Driver {
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

    Place placeOf(ControlImpl& control) override;
    void moveControl(ControlImpl& control, int left, int top) override;
    void place(ControlImpl& control) override;
    void showControl(ControlImpl& control, bool shown) override;
    bool controlShown(ControlImpl& control) override;
    void textChanged(ControlImpl& control) override;
    void redraw(ControlImpl& control) override;
    void positionChanged(ControlImpl& control, int before) override;
    void pictureChanged(ControlImpl& control) override;
    void selectItem(ControlImpl& control, int index) override;
    int selectedItem(ControlImpl& control) override;
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

// Tool-tips and mouse events shared by every control widget; true when the event was taken.
bool handleCommonEvent(ControlImpl& control, QWidget* widget, QEvent* event, bool& pressed);

} // namespace platform
