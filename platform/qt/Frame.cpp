// Where the desktop puts a top-level window and its frame. On X the frame exists only once the window
// manager has framed the mapped window, and it says so by setting _NET_FRAME_EXTENTS on the
// client. The toolkit's own idea of the frame is refreshed only by later moves and resizes, so a
// window placed by its outer size right after the announcement would be placed by a stale frame:
// the announced extents themselves are kept and used instead.

#include "platform/qt/Internal.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

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
        QTimer::singleShot(0, m_window.top.get(), [window = &m_window, m = *margins] { window->framed(m); });
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
    xcb_connection_t* connection = framedHandler ? xConnection() : nullptr;
    if (!connection) return;
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    if (extents == XCB_ATOM_NONE) return;
    frameWatch = std::make_unique<FrameWatch>(*this, extents);
    qGuiApp->installNativeEventFilter(frameWatch.get());
}

void WindowImpl::stopWatchingFrame() {
    frameWatch.reset();
    framedHandler = nullptr;
}

// Once only, and only while the first showing lasts: afterwards the window stays where the user
// left it.
void WindowImpl::framed(QMargins margins) {
    if (!frameWatch) return;
    announcedFrame = margins;
    const auto handler = std::move(framedHandler);
    stopWatchingFrame();
    if (handler && top->isVisible()) handler();
}

QMargins WindowImpl::frameMargins() const {
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

// A child of the main window is in front of it already.
void WindowImpl::comeToFrontOnWayland() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
    if (top->windowHandle() && top->windowHandle()->transientParent()) return;
    constexpr int activationWaitMs = 300;
    QTimer::singleShot(activationWaitMs, top.get(), [this] {
        if (!top->isVisible() || QGuiApplication::focusWindow() == top->windowHandle()) return;
        top->hide();
        owner.show();
        owner.activate();
    });
}

void WindowImpl::keepNormalState() {
    top->winId();
    QWindow* window = top->windowHandle();
    if (keepsNormalState || !window) return;
    keepsNormalState = true;
    QObject::connect(window, &QWindow::windowStateChanged, top.get(), [this](Qt::WindowState state) {
        if (state == Qt::WindowMaximized || state == Qt::WindowFullScreen)
            QTimer::singleShot(0, top.get(), [this] { top->showNormal(); });
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

// A window manager that follows the desktop standard names itself on the root window. Where one
// runs it hands out the activation, and a window it activates is announced by screen readers; one
// the program activates itself is not. The atom is looked up once: it stays the same for the
// connection's life, while the window manager may come or go.
bool windowManagerActivates() {
    xcb_connection_t* connection = xConnection();
    if (!connection) return false;
    static const xcb_atom_t check = internAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (check == XCB_ATOM_NONE || !screen) return false;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, screen->root, check, XCB_ATOM_WINDOW, 0, 1);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    const bool found = reply && xcb_get_property_value_length(reply) == 4;
    std::free(reply);
    return found;
}

} // namespace platform
