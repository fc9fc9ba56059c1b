// Where the desktop puts a top-level window and its frame. On X the frame exists only once the window
// manager has framed the window, and it says so by setting _NET_FRAME_EXTENTS on the client. The
// toolkit refreshes its own idea of the frame only at later moves and resizes, so a window placed by
// its outer size right after the announcement would be placed by a stale frame: the announced
// extents themselves are kept and used instead. They are in the screen's device pixels, and are
// turned into the toolkit's logical pixels, in which every position of the program is given.
//
// Before a window is first shown the window manager is asked for the frame it will add
// (_NET_REQUEST_FRAME_EXTENTS), so that the window is centred by its outer size before it is mapped
// and never seen to jump. A window manager that does not answer within a moment leaves the
// re-centring during the first showing as the fallback.

#include "platform/qt/Internal.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace platform {

namespace {

xcb_connection_t* xConnection() {
    // The offscreen platform answers as an X application too, with no connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11) return nullptr;
    return x11->connection();
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// _NET_FRAME_EXTENTS: left, right, top and bottom, in that order; none while the window is unframed.
std::optional<QMargins> frameExtents(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t extents) {
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::optional<QMargins> margins;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        margins = QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                           static_cast<int>(v[3]));
    }
    std::free(reply);
    return margins;
}

// Device pixels into the window's logical pixels, rounded to the nearest.
QMargins toLogical(const QMargins& device, const QWidget& top) {
    const double ratio = top.devicePixelRatioF();
    if (ratio == 1.0) return device;
    return {qRound(device.left() / ratio), qRound(device.top() / ratio), qRound(device.right() / ratio),
            qRound(device.bottom() / ratio)};
}

// A window manager that follows the desktop standard names a window of its own on the root window,
// and that window names itself in the same property. A window manager that crashed leaves the
// root's property behind, naming a window that is gone or that names nothing: it is not trusted.
bool windowManagerRuns(xcb_connection_t* connection) {
    static const xcb_atom_t check = internAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (check == XCB_ATOM_NONE || !screen) return false;
    const auto named = [&](xcb_window_t window) -> std::optional<xcb_window_t> {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection, 0, window, check, XCB_ATOM_WINDOW, 0, 1);
        // A window that is gone answers with an error, taken here so that it is not reported.
        xcb_generic_error_t* error = nullptr;
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, &error);
        std::free(error);
        std::optional<xcb_window_t> found;
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
            found = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        std::free(reply);
        return found;
    };
    const std::optional<xcb_window_t> child = named(screen->root);
    return child && named(*child) == child;
}

// Sees the announcement before the toolkit does; the handler runs from the event loop, outside the
// toolkit's handling of X events.
class FrameWatch : public QAbstractNativeEventFilter {
public:
    FrameWatch(WindowImpl& window, xcb_atom_t extents) : m_window(window), m_extents(extents) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        if (notify->atom != m_extents || notify->window != m_window.top->internalWinId()) return false;
        xcb_connection_t* connection = xConnection();
        const std::optional<QMargins> margins =
            connection ? frameExtents(connection, notify->window, m_extents) : std::nullopt;
        // A window manager may announce an empty frame before it decorates the window.
        if (!margins || margins->isNull()) return false;
        QTimer::singleShot(
            0, m_window.top.get(),
            [window = &m_window, m = toLogical(*margins, *m_window.top)] { window->framed(m); });
        return false;
    }

private:
    WindowImpl& m_window;
    xcb_atom_t m_extents;
};

// The primary screen's top-left corner in desktop coordinates; (0, 0) when there is no screen.
QPoint primaryOrigin() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().topLeft() : QPoint();
}

} // namespace

// Only X frames a window after it is shown; elsewhere the frame is drawn by the program itself or
// placed by a compositor that tells the client nothing, so there is nothing to watch. The atom is
// looked up here, at the first showing, and not at start-up: it costs a round trip to the server.
void WindowImpl::watchFrame() {
    if (!framedHandler || announcedFrame) return;
    watchingFrame = true;
    xcb_connection_t* connection = xConnection();
    if (!connection) return;
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    if (extents == XCB_ATOM_NONE) return;
    frameWatch = std::make_unique<FrameWatch>(*this, extents);
    qGuiApp->installNativeEventFilter(frameWatch.get());
}

// When the first showing ends, however it ends: a window shown again while still shown (a double
// click on a button that shows it) is still in its first showing.
void WindowImpl::stopWatchingFrame() {
    watchingFrame = false;
    frameWatch.reset();
    framedHandler = nullptr;
}

// Once only, and only while the first showing lasts: afterwards the window stays where the user
// left it.
void WindowImpl::framed(QMargins margins) {
    if (!watchingFrame) return;
    announcedFrame = margins;
    const auto handler = std::move(framedHandler);
    stopWatchingFrame();
    if (handler && top->isVisible()) handler();
}

// Asked once, before a dialog window's first showing, of a window manager that runs; mutter, KWin and xfwm4
// answer at once, and a window manager that does not is waited for a bounded moment only.
void WindowImpl::requestFrameExtents() {
    if (frameRequested || shownOnce || !dialog) return;
    frameRequested = true;
    xcb_connection_t* connection = xConnection();
    if (!connection || !windowManagerRuns(connection)) return;
    const xcb_atom_t request = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE || !screen) return;
    const auto window = static_cast<xcb_window_t>(top->winId());
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    // Each look is a round trip, which lets the window manager answer in between.
    constexpr auto patience = std::chrono::milliseconds(150), pause = std::chrono::milliseconds(5);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    do {
        const std::optional<QMargins> margins = frameExtents(connection, window, extents);
        if (margins && !margins->isNull()) {
            announcedFrame = toLogical(*margins, *top);
            return;
        }
        std::this_thread::sleep_for(pause);
    } while (std::chrono::steady_clock::now() < deadline);
}

QMargins WindowImpl::frameMargins() {
    requestFrameExtents();
    if (announcedFrame) return *announcedFrame;
    top->winId();
    const QRect outer = top->frameGeometry(), inner = top->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// The child is kept in front of its parent, so a click on the main window no longer covers it;
// but without the link sway never shows it over the full-screen main window at all. KWin and GNOME
// Shell show an ordinary window over a full-screen one once it is active, and there the box stays
// an ordinary window, which a click on the main window covers as it does on X. A compositor not
// known to do so gets the link: a box that cannot go behind is better than one never seen.
void WindowImpl::stayOverMainOnWayland(const WindowImpl& main) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) || &main == this) return;
    const QList<QByteArray> desktops = qgetenv("XDG_CURRENT_DESKTOP").split(':');
    if (desktops.contains("KDE") || desktops.contains("GNOME")) return;
    top->winId();
    if (top->windowHandle() && main.top->windowHandle())
        top->windowHandle()->setTransientParent(main.top->windowHandle());
}

// A compositor that insists on maximising (a phone shell, a kiosk) is turned back a bounded number
// of times per showing and then left to have its way, so that the request and the answer do not
// bounce for ever; and a window closed in the meantime stays closed. A maximise button drawn by the
// toolkit reports the state twice, for its own request and for the compositor's answer to it.
void WindowImpl::keepNormalState() {
    normalStateTurnBacks = 0;
    top->winId();
    QWindow* window = top->windowHandle();
    if (keepsNormalState || !window) return;
    keepsNormalState = true;
    QObject::connect(window, &QWindow::windowStateChanged, top.get(), [this](Qt::WindowState state) {
        constexpr int turnBacksPerShowing = 2;
        if (state != Qt::WindowMaximized && state != Qt::WindowFullScreen) return;
        if (normalStateTurnBacks == turnBacksPerShowing) return;
        ++normalStateTurnBacks;
        QTimer::singleShot(0, top.get(), [this] {
            if (top->isVisible()) top->showNormal();
        });
    });
}

void Window::onFramed(std::function<void()> handler) {
    m_impl->framedHandler = std::move(handler);
}

// A window that was never shown is created first, so that a frame the windowing system adds at
// creation is counted. A window manager that adds its frame only when the window is mapped
// reports none until then, and the client size stands in.
int Window::outerWidth() const {
    const QMargins m = m_impl->frameMargins();
    return m_impl->top->width() + m.left() + m.right();
}
int Window::outerHeight() const {
    const QMargins m = m_impl->frameMargins();
    return m_impl->top->height() + m.top() + m.bottom();
}
int Window::left() const {
    return m_impl->top->geometry().left() - m_impl->frameMargins().left() - primaryOrigin().x();
}
int Window::top() const {
    return m_impl->top->geometry().top() - m_impl->frameMargins().top() - primaryOrigin().y();
}
// Once the window manager has announced its frame, the client area is placed inside that frame,
// by the widget's geometry, which excludes the frame: the toolkit's own idea of the frame may be
// out of date then, and its frame position with it.
void Window::move(int left, int top) {
    const QPoint frame = QPoint(left, top) + primaryOrigin();
    if (!m_impl->announcedFrame) {
        m_impl->top->move(frame);
        return;
    }
    const QMargins m = *m_impl->announcedFrame;
    m_impl->top->setGeometry(QRect(frame + QPoint(m.left(), m.top()), m_impl->top->size()));
}

// Where a window manager or a compositor runs it hands out the activation, and a window it
// activates is announced by screen readers; one the program activates itself is not. Every Wayland
// session has a compositor. On X the window manager is looked for at every activation, as one may
// come or go while the program runs.
bool windowManagerActivates() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return true;
    xcb_connection_t* connection = xConnection();
    return connection && windowManagerRuns(connection);
}

} // namespace platform
