// The frame the desktop puts round a top-level window. On X the frame exists only once the window
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
#include "platform/qt/WindowManager.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <optional>
#include <thread>

namespace platform {

namespace {

// Device pixels into the window's logical pixels, rounded to the nearest.
QMargins toLogical(const QMargins& device, const QWidget& top) {
    const double ratio = top.devicePixelRatioF();
    if (ratio == 1.0) return device;
    return {qRound(device.left() / ratio), qRound(device.top() / ratio), qRound(device.right() / ratio),
            qRound(device.bottom() / ratio)};
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

} // namespace platform
