// Test drivers over the Qt backend: events go through QApplication as a person's would.

#include "platform/qt/Internal.h"
#include "tests/support/Access.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBackingStore>
#include <QButtonGroup>
#include <QCursor>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <cctype>
#include <cmath>

namespace platform::test {

namespace {
std::unique_ptr<QApplication> g_app;
QPointer<QWidget> g_pressed;

// Counts the labels painted while their size is still that of a text they no longer hold.
class StaleLabelWatch final : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint || !object->isWidgetType()) return false;
        for (WindowImpl* w : allWindows())
            if (const ControlImpl* c = w->fromWidget(static_cast<QWidget*>(object)))
                if (c->kind == Kind::Label && c->isShown() && c->sizeStale) ++count;
        return false;
    }
};
StaleLabelWatch* g_staleLabels = nullptr;

QWidget* top(Window& window) {
    return implOf(window).top.get();
}

QWidget* receiverAt(Window& window, QPoint pos) {
    QWidget* w = top(window)->childAt(pos);
    return w ? w : top(window);
}

Qt::MouseButton toQt(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return Qt::LeftButton;
    case MouseButton::Right: return Qt::RightButton;
    case MouseButton::Middle: return Qt::MiddleButton;
    }
    return Qt::LeftButton;
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint windowPos, Qt::MouseButton button,
               Qt::MouseButtons held) {
    const QPoint local = target->mapFrom(target->window(), windowPos);
    QMouseEvent event(type, local, target->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

Qt::KeyboardModifiers toQt(unsigned modifiers) {
    Qt::KeyboardModifiers mods;
    if (modifiers & Shift) mods |= Qt::ShiftModifier;
    if (modifiers & Ctrl) mods |= Qt::ControlModifier;
    if (modifiers & Alt) mods |= Qt::AltModifier;
    return mods;
}

QWidget* keyTarget(Window& window) {
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == top(window) ? focus : top(window);
}
} // namespace

void initialise(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    recordDriverCalls();
    setUpScaling();
    g_app = std::make_unique<QApplication>(argc, argv);
    setUpApplication();
    g_staleLabels = new StaleLabelWatch;
    g_staleLabels->setParent(g_app.get());
    g_app->installEventFilter(g_staleLabels);
}

void processEvents() {
    QApplication::processEvents();
}

void deliverPosted() {
    QCoreApplication::sendPostedEvents();
}

void shutdown() {
    g_staleLabels = nullptr;
    g_app.reset();
}

void type(Window& window, std::string_view utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (char32_t ch : text.toUcs4()) {
        const QString one = QString::fromUcs4(&ch, 1);
        int key = Qt::Key_unknown;
        Qt::KeyboardModifiers held = Qt::NoModifier;
        if (ch == U' ')
            key = Qt::Key_Space;
        else if (ch == U'\r')
            key = Qt::Key_Return;
        else if (ch == U'\b')
            key = Qt::Key_Backspace;
        else if (ch == U'\x1b')
            key = Qt::Key_Escape;
        else if (ch == U'\t')
            key = Qt::Key_Tab;
        else if (ch < U' ') {
            // Other control characters are typed with Ctrl and the key 64 above them, as a keyboard
            // sends them: Ctrl+A types 0x01 and Ctrl+@ a NUL.
            key = static_cast<int>(ch) + '@';
            held = Qt::ControlModifier;
        } else if (ch < 128)
            key = static_cast<int>(QChar(static_cast<char16_t>(ch)).toUpper().unicode());
        QKeyEvent press(QEvent::KeyPress, key, held, one);
        QApplication::sendEvent(keyTarget(window), &press);
        QKeyEvent release(QEvent::KeyRelease, key, held, one);
        QApplication::sendEvent(keyTarget(window), &release);
    }
}

void typeChord(Window& window, char letter, unsigned modifiers) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const char typed = (modifiers & Ctrl)    ? static_cast<char>(upper & 0x1F)
                       : (modifiers & Shift) ? upper
                                             : letter;
    const QString text{QLatin1Char(typed)};
    QKeyEvent press(QEvent::KeyPress, upper, toQt(modifiers), text);
    QApplication::sendEvent(keyTarget(window), &press);
    QKeyEvent release(QEvent::KeyRelease, upper, toQt(modifiers), text);
    QApplication::sendEvent(keyTarget(window), &release);
}

void pressF1(Window& window, unsigned modifiers) {
    QTest::keyClick(keyTarget(window), Qt::Key_F1, toQt(modifiers));
}

void pressSilent(Window& window, SilentKey key) {
    Qt::Key k = Qt::Key_Left;
    switch (key) {
    case SilentKey::Left: k = Qt::Key_Left; break;
    case SilentKey::Right: k = Qt::Key_Right; break;
    case SilentKey::Up: k = Qt::Key_Up; break;
    case SilentKey::Down: k = Qt::Key_Down; break;
    case SilentKey::ShiftKey: k = Qt::Key_Shift; break;
    case SilentKey::F2: k = Qt::Key_F2; break;
    }
    QTest::keyClick(keyTarget(window), k);
}

void pressDialogKey(Window& window, DialogKey key, unsigned modifiers) {
    Qt::Key k = Qt::Key_Return;
    switch (key) {
    case DialogKey::Return: k = Qt::Key_Return; break;
    case DialogKey::Space: k = Qt::Key_Space; break;
    case DialogKey::Escape: k = Qt::Key_Escape; break;
    }
    QTest::keyClick(keyTarget(window), k, toQt(modifiers));
}

// The window system's own request, as the close box sends it; a window never shown has none.
void pressCloseBox(Window& window) {
    if (QWindow* handle = top(window)->windowHandle()) handle->close();
}

Frame frameOf(Window& window) {
    const QWidget* w = top(window);
    const Qt::WindowFlags flags = w->windowFlags();
    return {w->windowTitle().toStdString(), flags.testFlag(Qt::WindowCloseButtonHint),
            flags.testFlag(Qt::WindowMinimizeButtonHint), flags.testFlag(Qt::WindowMaximizeButtonHint),
            w->minimumSize() != w->maximumSize()};
}

void press(Window& window, int x, int y, MouseButton button) {
    QWidget* target = receiverAt(window, {x, y});
    g_pressed = target;
    sendMouse(target, QEvent::MouseButtonPress, {x, y}, toQt(button), toQt(button));
}

// The widget that took the press holds the mouse, so the release goes to it wherever it happens.
void release(Window& window, int x, int y, MouseButton button) {
    QWidget* target = g_pressed ? g_pressed.data() : receiverAt(window, {x, y});
    g_pressed = nullptr;
    sendMouse(target, QEvent::MouseButtonRelease, {x, y}, toQt(button), Qt::NoButton);
}

void press(Window& window, int x, int y, SideButton button) {
    const Qt::MouseButton qt = button == SideButton::Back ? Qt::BackButton : Qt::ForwardButton;
    QWidget* target = receiverAt(window, {x, y});
    g_pressed = target;
    sendMouse(target, QEvent::MouseButtonPress, {x, y}, qt, qt);
}
void release(Window& window, int x, int y, SideButton button) {
    const Qt::MouseButton qt = button == SideButton::Back ? Qt::BackButton : Qt::ForwardButton;
    QWidget* target = g_pressed ? g_pressed.data() : receiverAt(window, {x, y});
    g_pressed = nullptr;
    sendMouse(target, QEvent::MouseButtonRelease, {x, y}, qt, Qt::NoButton);
}

// As the toolkit delivers it: the second press arrives as a press followed by a double click.
void doubleClick(Window& window, int x, int y, MouseButton button) {
    press(window, x, y, button);
    release(window, x, y, button);
    QWidget* target = receiverAt(window, {x, y});
    g_pressed = target;
    sendMouse(target, QEvent::MouseButtonPress, {x, y}, toQt(button), toQt(button));
    sendMouse(target, QEvent::MouseButtonDblClick, {x, y}, toQt(button), toQt(button));
    release(window, x, y, button);
}

int windowX(Window& window, int id) {
    QWidget* w = implOf(window).find(id)->widget;
    return w->mapTo(w->window(), QPoint(0, 0)).x();
}
int windowY(Window& window, int id) {
    QWidget* w = implOf(window).find(id)->widget;
    return w->mapTo(w->window(), QPoint(0, 0)).y();
}

Rect itemRect(Window& window, int id, int index) {
    const QWidget* item = implOf(window).find(id)->radios->button(index);
    return {item->x(), item->y(), item->width(), item->height()};
}

int controlAt(Window& window, int x, int y) {
    QWidget* target = receiverAt(window, {x, y});
    // A radio button belongs to its group.
    for (QWidget* w = target; w && w != top(window); w = w->parentWidget())
        if (ControlImpl* c = implOf(window).fromWidget(w)) return c->id;
    return -1;
}

// The toolkit's tip fades out on a timer and keeps its text meanwhile: a stand-in shown first tells a
// tip the window hid from one it showed.
std::string toolTipAt(Window& window, int x, int y) {
    static const QString StandIn = QStringLiteral("\u2063");
    QWidget* target = receiverAt(window, {x, y});
    const QPoint local = target->mapFrom(top(window), QPoint(x, y));
    QToolTip::showText(target->mapToGlobal(local), StandIn, target);
    QHelpEvent event(QEvent::ToolTip, local, target->mapToGlobal(local));
    QApplication::sendEvent(target, &event);
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return shown == StandIn ? std::string() : shown.toStdString();
}

Cursor cursorAt(Window& window, int x, int y) {
    return receiverAt(window, {x, y})->cursor().shape() == Qt::PointingHandCursor ? Cursor::HandPoint
                                                                                  : Cursor::Default;
}

int textWidth(Window& window, int id, std::string_view utf8) {
    const QFontMetricsF metrics(implOf(window).find(id)->qfont());
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(toDisplay(utf8))));
}

std::string drawnFace(Window& window, int id) {
    return QFontInfo(implOf(window).find(id)->qfont()).family().toStdString();
}

namespace {
Image toImage(const QImage& image) {
    Image out;
    out.width = image.width();
    out.height = image.height();
    out.pixels.reserve(static_cast<std::size_t>(out.width * out.height));
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.pixels.push_back(fromQColor(QColor(image.pixel(x, y))));
    return out;
}
} // namespace

Image grab(Window& window) {
    return toImage(top(window)->grab().toImage().convertToFormat(QImage::Format_RGB32));
}

void drawNow(Window& window) {
    grab(window);
}

Image painted(Window& window) {
    QBackingStore* store = top(window)->backingStore();
    const auto* image = store ? dynamic_cast<const QImage*>(store->paintDevice()) : nullptr;
    return image ? toImage(image->convertToFormat(QImage::Format_RGB32)) : Image{};
}

namespace {
QList<QScreen*> primaryFirst() {
    QList<QScreen*> all = QGuiApplication::screens();
    all.removeAll(QGuiApplication::primaryScreen());
    all.prepend(QGuiApplication::primaryScreen());
    return all;
}
} // namespace

std::vector<Screen> screens() {
    std::vector<Screen> out;
    for (const QScreen* screen : primaryFirst()) {
        const QRect g = screen->geometry();
        out.push_back({{g.x(), g.y(), g.width(), g.height()}, screen->devicePixelRatio()});
    }
    return out;
}

Rect desktopGeometry(Window& window) {
    const QRect g = top(window)->frameGeometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

void moveToScreen(Window& window, int screenIndex) {
    QScreen* screen = primaryFirst().at(screenIndex);
    QWidget* w = top(window);
    w->setScreen(screen);
    w->move(screen->geometry().topLeft());
    deliverPosted();
}

std::vector<Rect> textAreas(Window& window) {
    std::vector<Rect> out;
    for (const auto& [id, control] : implOf(window).controls) {
        const bool text =
            control->kind == Kind::RadioGroup || control->kind == Kind::Button ||
            ((control->kind == Kind::Label || control->kind == Kind::Panel) && !control->text.empty());
        if (!text || !control->isShown() || !control->widget->isVisibleTo(top(window))) continue;
        const QPoint at = control->widget->mapTo(top(window), QPoint(0, 0));
        control->ensureSized();
        out.push_back({at.x(), at.y(), control->widget->width(), control->widget->height()});
    }
    return out;
}

int labelsDrawnAtOldSize() {
    return g_staleLabels ? g_staleLabels->count : 0;
}
bool isActive(Window& window) {
    return top(window)->isActiveWindow();
}
// The X platform makes every dialog, tool window and sheet transient, for its parent or, without
// one, for the whole program.
bool keptInFrontOfOthers(Window& window) {
    const QWidget* w = top(window);
    const Qt::WindowType type = w->windowType();
    const bool transientType = type == Qt::Dialog || type == Qt::Sheet || type == Qt::Tool;
    return transientType || (w->windowHandle() && w->windowHandle()->transientParent());
}

void announceFrame(Window& window, int left, int top, int right, int bottom) {
    implOf(window).framed(QMargins(left, top, right, bottom));
}
void desktopMaximises(Window& window) {
    top(window)->setWindowState(Qt::WindowMaximized);
}
bool maximised(Window& window) {
    return top(window)->isMaximized();
}

bool drawsPictures() {
    return true;
}

} // namespace platform::test
