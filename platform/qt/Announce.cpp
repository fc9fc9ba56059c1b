// Kept alone in its file, so that a test can link a program whose announcements are silent and
// show that the screen reader then hears none of them.

#include "platform/qt/Internal.h"

namespace platform {

void Window::announce(std::string_view utf8) {
    impl().announcement = std::string(utf8);
    announceOn(impl(), utf8);
}

} // namespace platform
