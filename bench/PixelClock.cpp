// Times a long wait on a real X server from the outside: sends one key through XTest and reports
// how long it takes until one screen pixel shows a given colour. The benchmark uses it for the
// one-minute test: the key is the Space that starts the test and the pixel is the frame of the
// result box. Without --key the clock starts at once (waiting for a first paint). A screenshot tool takes far
// too long per picture for this, so the pixel is read alone; polling is coarse at first and every few
// milliseconds near the expected end, so the end is caught closely without loading the machine for the whole
// minute.
//
//   PixelClock [--key space] --at X,Y --colour RRGGBB [--fine-after-ms 55000] [--poll-ms 5]
//              [--timeout-ms 75000]
//
// Prints "elapsed_ms=… polls=…" (the time from the key's release reaching the server to the first
// poll that saw the colour) and exits 0, or prints "elapsed_ms=n/a" and exits 1.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The low bit of a channel mask tells how far the channel is shifted.
unsigned long channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1UL) == 0)
        ++shift;
    const unsigned long value = (pixel & mask) >> shift;
    const unsigned long maximum = mask >> shift;
    return value * 255 / maximum;
}

// The root window's pixel at x, y as 0xRRGGBB, or a value above 0xFFFFFF when it cannot be read.
unsigned long rootPixel(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0x1000000;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    const unsigned long rgb = channel(pixel, image->red_mask) << 16 | channel(pixel, image->green_mask) << 8 |
                              channel(pixel, image->blue_mask);
    XDestroyImage(image);
    return rgb;
}

int usage() {
    std::fputs(
        "usage: PixelClock [--key KEYSYM] --at X,Y --colour RRGGBB [--fine-after-ms 55000] [--poll-ms 5] "
        "[--timeout-ms 75000]\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string key;
    int x = -1, y = -1;
    unsigned long colour = 0x1000000;
    double fineAfterMs = 55000, pollMs = 5, timeoutMs = 75000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--key") {
            key = value;
        } else if (option == "--at") {
            if (std::sscanf(value, "%d,%d", &x, &y) != 2) return usage();
        } else if (option == "--colour") {
            colour = std::strtoul(value, nullptr, 16);
        } else if (option == "--fine-after-ms") {
            fineAfterMs = std::atof(value);
        } else if (option == "--poll-ms") {
            pollMs = std::atof(value);
        } else if (option == "--timeout-ms") {
            timeoutMs = std::atof(value);
        } else {
            return usage();
        }
    }
    if (x < 0 || y < 0 || colour > 0xFFFFFF) return usage();

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("PixelClock: cannot open the display\n", stderr);
        return 2;
    }
    if (!key.empty()) {
        const KeySym keysym = XStringToKeysym(key.c_str());
        const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
        if (keycode == 0) {
            std::fprintf(stderr, "PixelClock: no key types %s\n", key.c_str());
            return 2;
        }
        if (rootPixel(display, x, y) == colour) {
            std::fputs("PixelClock: the pixel already has that colour before the key\n", stderr);
            return 2;
        }
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        XSync(display, False);
    }
    const Clock::time_point start = Clock::now();

    long polls = 0;
    for (;;) {
        const double elapsed = msSince(start);
        ++polls;
        if (rootPixel(display, x, y) == colour) {
            std::printf("elapsed_ms=%.1f polls=%ld\n", msSince(start), polls);
            break;
        }
        if (elapsed > timeoutMs) {
            std::printf("elapsed_ms=n/a polls=%ld\n", polls);
            XCloseDisplay(display);
            return 1;
        }
        const double pause = elapsed < fineAfterMs ? 100 : pollMs;
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(pause));
    }
    XCloseDisplay(display);
    return 0;
}
