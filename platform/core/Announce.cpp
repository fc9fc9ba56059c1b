// Kept alone in its file, so that a test can link a program whose announcements are silent and
// show that the screen reader then hears none of them.

#include "platform/core/Driver.h"

namespace platform {

void Window::announce(std::string_view utf8) {
    driver().announce(*m_impl, utf8);
}

} // namespace platform
