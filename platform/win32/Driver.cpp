// The core's duties that take the Win32 API one call or none; the others are defined beside the
// native windows they work on.

#include "platform/win32/Internal.h"

namespace platform {

WindowImpl* Win32Driver::makeWindow(const WindowSpec& description, Window& owner) {
    return new WindowImpl(description, owner);
}
// The window's native windows go with it.
void Win32Driver::destroyWindow(WindowImpl& window) {
    delete &window;
}
void Win32Driver::hideWindow(WindowImpl& window) {
    window.hideAndPassActivation();
}
bool Win32Driver::windowShown(WindowImpl& window) {
    return IsWindowVisible(window.hwnd) != FALSE;
}
bool Win32Driver::windowEnabled(WindowImpl& window) {
    return IsWindowEnabled(window.hwnd) != FALSE;
}
// The accelerator table is tried for every window that asked for F1 (preTranslate).
void Win32Driver::f1Wanted(WindowImpl&) {}
void Win32Driver::layOutDocked(WindowImpl& window) {
    window.layoutAligned();
}
void Win32Driver::endProgram() {
    PostQuitMessage(0);
}

void Win32Driver::place(ControlImpl& control) {
    control.place();
}
void Win32Driver::redraw(ControlImpl& control) {
    control.invalidate();
}
void Win32Driver::itemChanged(ControlImpl& control) {
    control.invalidate();
    accessibleItemChanged(control);
}
// The focus target is found when the window is activated (focusTarget).
void Win32Driver::keepsFocus(ControlImpl&) {}
void Win32Driver::focus(ControlImpl& control) {
    if (control.hwnd) SetFocus(control.hwnd);
}
void Win32Driver::hintChanged(ControlImpl& control) {
    accessibleHintChanged(control);
}

std::unique_ptr<Driver> makeDriver() {
    return std::make_unique<Win32Driver>();
}

} // namespace platform
