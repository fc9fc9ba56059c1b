// Dies with the taskbar hidden, as a program with a fault or an unhandled exception would, so a
// test can see whether the taskbar comes back.
//
//   crash fault|throw|wait    (wait: hides the taskbar and waits to be killed)

#include "platform/Platform.h"

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    platform::hideTaskbar();
    const char* how = argc > 1 ? argv[1] : "fault";
    // Runs a moment with the taskbar hidden, long enough for a watcher to see it so.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (std::strcmp(how, "throw") == 0) throw std::runtime_error("unhandled");
    if (std::strcmp(how, "wait") == 0)
        while (true)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
