// Whether the display can be reached, asked before the toolkit starts: the toolkit itself aborts
// with a core dump and a page of advice when its display is missing.

#include "platform/Platform.h"

#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

// Whether the toolkit will open an X display. QT_QPA_PLATFORM names the platform, with arguments
// after ':' and fallbacks after ';'. Without it the toolkit tries Wayland first in a Wayland
// session, and X otherwise; only the X connection is checked here, the other platforms report
// for themselves.
bool usesX() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen && *chosen) {
        const std::string_view platform(chosen);
        return platform.substr(0, platform.find_first_of(":;")) == "xcb";
    }
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland =
        std::getenv("WAYLAND_DISPLAY") || (session && std::string_view(session) == "wayland");
    return !wayland;
}

// libxcb writes the server's reason for turning a client away ("Authorization required, ...")
// straight to standard error, over several lines. It is caught in a file instead, to become part
// of the program's one line.
struct Connection {
    int error = 0;
    std::string refusal;
};

Connection tryConnecting() {
    Connection result;
    std::FILE* caught = std::tmpfile();
    const int savedStderr = caught ? ::dup(STDERR_FILENO) : -1;
    if (savedStderr >= 0) ::dup2(::fileno(caught), STDERR_FILENO);
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    result.error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (savedStderr >= 0) {
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
    }
    if (caught) {
        std::rewind(caught);
        for (int c; (c = std::fgetc(caught)) != EOF;)
            if (c == '\n' || c == '\r') {
                if (!result.refusal.empty() && result.refusal.back() != ' ') result.refusal += ' ';
            } else {
                result.refusal += static_cast<char>(c);
            }
        std::fclose(caught);
        while (!result.refusal.empty() && result.refusal.back() == ' ')
            result.refusal.pop_back();
    }
    return result;
}

std::string_view reason(int error) {
    switch (error) {
    case XCB_CONN_CLOSED_PARSE_ERR: return "the display name is not valid";
    case XCB_CONN_CLOSED_INVALID_SCREEN: return "the display has no such screen";
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED: return "the display lacks an extension";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT: return "out of memory";
    default: return "no X server answers there";
    }
}

} // namespace

bool displayReachable(std::string& why) {
    if (!usesX()) return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        why = "no display to open: DISPLAY is not set";
        return false;
    }
    const Connection connection = tryConnecting();
    if (connection.error == 0) return true;
    why = "cannot open display " + std::string(display) + ": " +
          (connection.refusal.empty() ? std::string(reason(connection.error)) : connection.refusal);
    return false;
}

} // namespace platform
