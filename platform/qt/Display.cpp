// Whether the display can be reached, asked before the toolkit starts: the toolkit itself aborts
// with a core dump and a page of advice when no platform it tries can reach its display.

#include "platform/Platform.h"

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// The platforms the toolkit will try, in its order. QT_QPA_PLATFORM names them, separated by ';',
// each with arguments after ':'. Without it the toolkit tries Wayland first in a Wayland session
// and then X, and X alone otherwise.
std::vector<std::string> platformsTried() {
    std::vector<std::string> names;
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen && *chosen) {
        std::string_view rest(chosen);
        while (!rest.empty()) {
            const std::string_view entry = rest.substr(0, rest.find(';'));
            rest.remove_prefix(std::min(rest.size(), entry.size() + 1));
            if (!entry.empty()) names.emplace_back(entry.substr(0, entry.find(':')));
        }
        return names;
    }
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((wayland && *wayland) || (session && std::string_view(session) == "wayland"))
        names.emplace_back("wayland");
    names.emplace_back("xcb");
    return names;
}

// A Wayland compositor listens on a socket named by WAYLAND_DISPLAY (wayland-0 without it), an
// absolute path or one in XDG_RUNTIME_DIR; a socket left behind by a compositor that died refuses
// the connection. WAYLAND_SOCKET hands the program a connection already open.
bool waylandReachable(std::string& why) {
    if (const char* socket = std::getenv("WAYLAND_SOCKET"); socket && *socket) return true;
    const char* named = std::getenv("WAYLAND_DISPLAY");
    const std::string display = named && *named ? named : "wayland-0";
    std::string path = display;
    if (display.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) {
            why = "cannot reach Wayland display " + display + ": XDG_RUNTIME_DIR is not set";
            return false;
        }
        path = std::string(runtime) + "/" + display;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        why = "cannot reach Wayland display " + display + ": its socket path is too long";
        return false;
    }
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (connected) return true;
    why = "cannot reach Wayland display " + display + ": " +
          (error == ENOENT || error == ECONNREFUSED ? std::string("no compositor answers there")
                                                    : std::string(std::strerror(error)));
    return false;
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

bool xReachable(std::string& why) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        why = "no X display to open: DISPLAY is not set";
        return false;
    }
    const Connection connection = tryConnecting();
    if (connection.error == 0) return true;
    why = "cannot open display " + std::string(display) + ": " +
          (connection.refusal.empty() ? std::string(reason(connection.error)) : connection.refusal);
    return false;
}

} // namespace

// Reachable when any platform the toolkit tries can be reached; platforms other than X and
// Wayland report for themselves. Otherwise every reason, in the toolkit's order, on one line.
bool displayReachable(std::string& why) {
    why.clear();
    for (const std::string& name : platformsTried()) {
        std::string reason;
        if (name == "xcb") {
            if (xReachable(reason)) return true;
        } else if (name.starts_with("wayland")) {
            if (waylandReachable(reason)) return true;
        } else {
            return true;
        }
        why += (why.empty() ? "" : "; ") + reason;
    }
    return why.empty();
}

} // namespace platform
