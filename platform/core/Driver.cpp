// The driver in use, and the calls of Platform.h that are nothing but a duty of it.

#include "platform/core/Driver.h"

#include <utility>

namespace platform {

namespace {
std::unique_ptr<Driver>& slot() {
    static std::unique_ptr<Driver> driver;
    return driver;
}
} // namespace

Driver& driver() {
    if (!slot()) slot() = makeDriver();
    return *slot();
}

std::unique_ptr<Driver> replaceDriver(std::unique_ptr<Driver> next) {
    std::unique_ptr<Driver> previous = slot() ? std::move(slot()) : makeDriver();
    slot() = std::move(next);
    return previous;
}

void beep() {
    driver().beep();
}

Size screenSize() {
    return driver().screenSize();
}

} // namespace platform
