// The core's duties that take the toolkit one call or none; the others are defined beside the
// widgets they work on.

#include "platform/qt/Internal.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCoreApplication>

namespace platform {

WindowImpl* QtDriver::makeWindow(const WindowSpec& description, Window& owner) {
    return new WindowImpl(description, owner);
}
// The window's widgets go with it.
void QtDriver::destroyWindow(WindowImpl& window) {
    delete &window;
}
// The widget's hide event passes the activation on.
void QtDriver::hideWindow(WindowImpl& window) {
    window.top->hide();
}
bool QtDriver::windowShown(WindowImpl& window) {
    return window.top->isVisible();
}
bool QtDriver::windowEnabled(WindowImpl& window) {
    return window.top->isEnabled();
}
void QtDriver::raiseWindow(WindowImpl& window) {
    window.top->raise();
}
void QtDriver::repaintWindow(WindowImpl& window) {
    window.top->update();
}
void QtDriver::resizeClient(WindowImpl& window, int width, int height) {
    window.top->resize(width, height);
}
Size QtDriver::clientSize(WindowImpl& window) {
    return {window.top->width(), window.top->height()};
}
// The state is read when the window is next shown.
void QtDriver::maximisedChanged(WindowImpl&) {}
void QtDriver::f1Wanted(WindowImpl& window) {
    window.takeF1();
}
void QtDriver::layOutDocked(WindowImpl& window) {
    window.layoutAligned();
}
void QtDriver::endProgram() {
    QCoreApplication::quit();
}

Place QtDriver::placeOf(ControlImpl& control) {
    control.ensureSized();
    const QRect r = control.widget->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}
void QtDriver::moveControl(ControlImpl& control, int left, int top) {
    control.widget->move(left, top);
}
// The widgets keep their own places and radio buttons: the core asks these of the backends that
// draw their controls themselves.
void QtDriver::place(ControlImpl&) {}
void QtDriver::itemChanged(ControlImpl&) {}
bool QtDriver::controlShown(ControlImpl& control) {
    return control.isShown();
}
void QtDriver::selectItem(ControlImpl& control, int index) {
    if (QAbstractButton* b = control.radios ? control.radios->button(index) : nullptr) b->setChecked(true);
}
int QtDriver::selectedItem(ControlImpl& control) {
    return control.radios ? control.radios->checkedId() : -1;
}
void QtDriver::keepsFocus(ControlImpl& control) {
    control.widget->setFocusPolicy(Qt::StrongFocus);
}
void QtDriver::focus(ControlImpl& control) {
    control.widget->setFocus();
}
// The tool-tip is made from the hint each time it is about to show.
void QtDriver::hintChanged(ControlImpl& control) {
    accessibleHintChanged(control);
}

std::unique_ptr<Driver> makeDriver() {
    return std::make_unique<QtDriver>();
}

} // namespace platform
