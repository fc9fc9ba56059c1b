// Test helper: waits for the X server's bell. Prints "ready" once it listens, then exits with 0
// when the bell rings within the seconds given, 1 when it does not, 2 when it cannot listen.
//
//   bell-watch SECONDS

#include <X11/XKBlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    int opcode = 0, xkbEvent = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &xkbEvent, &error, &major, &minor)) return 2;
    XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(display, False);
    std::puts("ready");
    std::fflush(stdout);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == xkbEvent &&
                reinterpret_cast<XkbEvent*>(&event)->any.xkb_type == XkbBellNotify) {
                std::puts("bell");
                return 0;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return 1;
        pollfd watched{ConnectionNumber(display), POLLIN, 0};
        ::poll(&watched, 1, static_cast<int>(left.count()));
    }
}
