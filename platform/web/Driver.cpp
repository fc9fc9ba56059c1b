// The core's duties that take the page one call or none; the others are defined beside the elements
// they work on.

#include "platform/web/Internal.h"

namespace platform {

WindowImpl* PageDriver::makeWindow(const WindowSpec& description, Window& owner) {
    return new WindowImpl(description, owner);
}
// The window's elements go with it.
void PageDriver::destroyWindow(WindowImpl& window) {
    delete &window;
}
void PageDriver::hideWindow(WindowImpl& window) {
    window.hideAndPassActivation();
}
bool PageDriver::windowShown(WindowImpl& window) {
    return window.shown;
}
// The page has no window that takes no input.
bool PageDriver::windowEnabled(WindowImpl&) {
    return true;
}
void PageDriver::activateWindow(WindowImpl& window) {
    window.activate();
}
// The page's key listener passes F1 on as it comes.
void PageDriver::f1Wanted(WindowImpl&) {}
void PageDriver::layOutDocked(WindowImpl& window) {
    window.layoutAligned();
}
void PageDriver::endProgram() {
    web::endProgram();
}

void PageDriver::place(ControlImpl& control) {
    control.place();
}
void PageDriver::itemChanged(ControlImpl& control) {
    control.showRadio();
}
// The focus target is found when the window is activated (focusTarget).
void PageDriver::keepsFocus(ControlImpl&) {}
// The focus is drawn on the radio groups; the page's own focus stays with the window.
void PageDriver::focus(ControlImpl& control) {
    control.window->refreshFocus();
}
void PageDriver::beep() {
    tr_beep();
}

std::unique_ptr<Driver> makeDriver() {
    return std::make_unique<PageDriver>();
}

} // namespace platform
