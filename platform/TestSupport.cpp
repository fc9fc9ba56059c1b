// The test drivers that are the same on every backend: they only combine the backend's own.

#include "platform/TestSupport.h"

#include "platform/Handles.h"

namespace platform::test {

void click(Window& window, int x, int y) {
    press(window, x, y);
    release(window, x, y);
}

int centreX(Window& window, int id) {
    return windowX(window, id) + window.control(id).width() / 2;
}
int centreY(Window& window, int id) {
    return windowY(window, id) + window.control(id).height() / 2;
}
void clickControl(Window& window, int id) {
    click(window, centreX(window, id), centreY(window, id));
}

std::string lastAnnouncement(Window& window) {
    return stateOf(window.impl()).announcement;
}

} // namespace platform::test
