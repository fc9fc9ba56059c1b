// Where the desktop puts a top-level window and its frame. On X the frame exists only once the window
// manager has framed the mapped window, and it says so by setting _NET_FRAME_EXTENTS on the
// client; until then the toolkit knows no frame and reports the client size as the outer size.

#include "platform/qt/Internal.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// Sees the property change before the toolkit does, so the check is queued behind it: only then
// has the toolkit dropped the frame it had cached.
class FrameWatch : public QAbstractNativeEventFilter {
public:
    FrameWatch(WindowImpl& window, xcb_atom_t extents) : m_window(window), m_extents(extents) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        if (notify->atom != m_extents || notify->window != m_window.top->internalWinId()) return false;
        QTimer::singleShot(0, m_window.top.get(), [window = &m_window] { window->checkFramed(); });
        return false;
    }

private:
    WindowImpl& m_window;
    xcb_atom_t m_extents;
};

} // namespace

void WindowImpl::checkFramed() {
    if (!framedHandler || top->frameGeometry().size() == top->size()) return;
    frameWatch.reset();
    const auto handler = std::move(framedHandler);
    framedHandler = nullptr;
    handler();
}

// The child is kept in front of its parent, so a click on the main window no longer covers it;
// but without the link sway never shows it over the full-screen main window at all.
void WindowImpl::stayOverMainOnWayland(const WindowImpl& main) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) || &main == this) return;
    top->winId();
    if (top->windowHandle() && main.top->windowHandle())
        top->windowHandle()->setTransientParent(main.top->windowHandle());
}

// Only X frames a window after it is shown; elsewhere the frame is drawn by the program itself or
// placed by a compositor that tells the client nothing, so the handler is never due.
void Window::onFramed(std::function<void()> handler) {
    // The offscreen platform answers as an X application too, with no connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection()) return;
    const xcb_atom_t extents = internAtom(x11->connection(), "_NET_FRAME_EXTENTS");
    if (extents == XCB_ATOM_NONE) return;
    m_impl->framedHandler = std::move(handler);
    m_impl->frameWatch = std::make_unique<FrameWatch>(*m_impl, extents);
    qGuiApp->installNativeEventFilter(m_impl->frameWatch.get());
}

} // namespace platform
