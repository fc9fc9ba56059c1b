// The X server's connection, its atoms and the window manager's own properties: whether one runs,
// the frame it announces, and who hands out the activation.

#include "platform/qt/WindowManager.h"

#include "platform/qt/Internal.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace platform {

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

// Where a window manager or a compositor runs it hands out the activation, and a window it
// activates is announced by screen readers; one the program activates itself is not. Every Wayland
// session has a compositor. On X the window manager is looked for at every activation, as one may
// come or go while the program runs. Where none runs the program activates its window for the
// toolkit and gives it the server's keyboard focus, which the toolkit leaves to a window manager
// wherever one announced itself, even one that has crashed since.
void activateUnlessManaged(QWidget& top) {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
    xcb_connection_t* connection = xConnection();
    if (connection && windowManagerRuns(connection)) return;
    QApplication::setActiveWindow(&top);
    if (!connection) return;
    const xcb_void_cookie_t cookie = xcb_set_input_focus_checked(
        connection, XCB_INPUT_FOCUS_POINTER_ROOT, static_cast<xcb_window_t>(top.winId()), XCB_CURRENT_TIME);
    // A window that is not viewable yet cannot take the focus: its error is taken here, unreported.
    std::free(xcb_request_check(connection, cookie));
}

} // namespace platform
