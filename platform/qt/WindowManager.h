#pragma once

// The X window manager as the Qt backend's sources see it, for the windows' frames and activation.

#include <QMargins>

#include <xcb/xcb.h>

#include <optional>

namespace platform {

// None on any other platform than X.
xcb_connection_t* xConnection();
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name);
// _NET_FRAME_EXTENTS: left, right, top and bottom, in that order; none while the window is unframed.
std::optional<QMargins> frameExtents(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t extents);
// True when a window manager that follows the desktop standard runs on the display.
bool windowManagerRuns(xcb_connection_t* connection);

} // namespace platform
