// Kept alone in its file, so that a test can link a program whose announcements are silent and
// show that the screen reader then hears none of them.

#include "platform/Handles.h"

namespace platform {

// The line is kept as the handler wrote it, for the tests, before the backend hands it on.
void Window::announce(std::string_view utf8) {
    stateOf(*m_impl).announcement = std::string(utf8);
    announceOn(*m_impl, utf8);
}

} // namespace platform
