// Every call of a window and a control handle, for every backend: the core keeps what the handle
// holds and decides, and hands the toolkit's part to the driver.

#include "platform/core/Driver.h"
#include "platform/core/State.h"

#include <algorithm>
#include <utility>

namespace platform {

Window::Window(const WindowSpec& description) : m_impl(driver().makeWindow(description, *this)) {}
Window::~Window() {
    windowGone(*m_impl);
    driver().destroyWindow(*m_impl);
}

void Window::addControl(const ControlRow& row) {
    driver().makeControl(*m_impl, row);
}
void Window::finishBuilding() {
    driver().finishBuilding(*m_impl);
}

void Window::show() {
    driver().showWindow(*m_impl);
}
void Window::hide() {
    driver().hideWindow(*m_impl);
}
void Window::close() {
    closeRequested(*m_impl);
}
bool Window::visible() const {
    return driver().windowShown(*m_impl);
}
void Window::activate() {
    driver().activateWindow(*m_impl);
}
void Window::raise() {
    driver().raiseWindow(*m_impl);
}
void Window::repaint() {
    driver().repaintWindow(*m_impl);
}

void Window::setIcon(const Picture& picture) {
    driver().setIcon(*m_impl, picture);
}
void Window::setClientSize(int width, int height) {
    driver().resizeClient(*m_impl, width, height);
}
int Window::clientWidth() const {
    return driver().clientSize(*m_impl).width;
}
int Window::clientHeight() const {
    return driver().clientSize(*m_impl).height;
}
int Window::outerWidth() const {
    return driver().outerSize(*m_impl).width;
}
int Window::outerHeight() const {
    return driver().outerSize(*m_impl).height;
}
int Window::left() const {
    return driver().position(*m_impl).x;
}
int Window::top() const {
    return driver().position(*m_impl).y;
}
void Window::move(int left, int top) {
    driver().moveWindow(*m_impl, left, top);
}
void Window::onFramed(std::function<void()> handler) {
    stateOf(*m_impl).framedHandler = std::move(handler);
}
void Window::setMaximised() {
    stateOf(*m_impl).maximised = true;
    driver().maximisedChanged(*m_impl);
}
void Window::setCaptionBar(bool shown) {
    driver().showCaptionBar(*m_impl, shown);
}
void Window::disableInputMethod() {
    driver().disableInputMethod(*m_impl);
}

void Window::setFocusControl(int id) {
    WindowState& w = stateOf(*m_impl);
    w.focusId = id;
    if (ControlImpl* c = w.find(id)) driver().keepsFocus(*c);
}

void Control::alignBottom() {
    ControlState& c = stateOf(*m_impl);
    c.alignedBottom = true;
    driver().layOutDocked(*c.window);
}

void Window::onF1(std::function<void()> handler) {
    stateOf(*m_impl).f1Handler = std::move(handler);
    driver().f1Wanted(*m_impl);
}

Control Window::control(int id) const {
    return Control(stateOf(*m_impl).find(id));
}
bool Window::has(int id) const {
    return stateOf(*m_impl).find(id) != nullptr;
}

void Window::onClick(int id, std::function<void()> handler) {
    stateOf(*stateOf(*m_impl).find(id)).clickHandler = std::move(handler);
}
void Window::onMouseDown(int id, std::function<void(MouseButton)> handler) {
    stateOf(*stateOf(*m_impl).find(id)).downHandler = std::move(handler);
}
void Window::onMouseUp(int id, std::function<void(MouseButton)> handler) {
    stateOf(*stateOf(*m_impl).find(id)).upHandler = std::move(handler);
}
void Window::onCharacter(std::function<bool(char32_t)> handler) {
    stateOf(*m_impl).characterHandler = std::move(handler);
}
void Window::onScreenChanged(std::function<void()> handler) {
    stateOf(*m_impl).screenChangedHandler = std::move(handler);
}
void Window::onClose(std::function<void()> handler) {
    stateOf(*m_impl).closeHandler = std::move(handler);
}

std::string Control::text() const {
    return stateOf(*m_impl).text;
}
// A disabled control looks unchanged; it only stops taking clicks.
void Control::setEnabled(bool enabled) {
    ControlState& c = stateOf(*m_impl);
    if (c.enabled == enabled) return;
    c.enabled = enabled;
    driver().stateChanged(*m_impl);
}
bool Control::enabled() const {
    return stateOf(*m_impl).enabled;
}

void Control::setColour(Colour colour) {
    ControlState& c = stateOf(*m_impl);
    if (c.colour == colour) return;
    c.colour = colour;
    driver().redraw(*m_impl);
}
Colour Control::colour() const {
    return stateOf(*m_impl).colour;
}
void Control::setFontColour(Colour colour) {
    ControlState& c = stateOf(*m_impl);
    if (c.font.colour == colour) return;
    c.font.colour = colour;
    driver().redraw(*m_impl);
}
Colour Control::fontColour() const {
    return stateOf(*m_impl).font.colour;
}

void Control::setHint(std::string_view hint) {
    ControlState& c = stateOf(*m_impl);
    if (c.hint == hint) return;
    c.hint = std::string(hint);
    driver().hintChanged(*m_impl);
}
std::string Control::hint() const {
    return stateOf(*m_impl).hint;
}
void Control::setChecked(bool checked) {
    ControlState& c = stateOf(*m_impl);
    if (c.checked == checked) return;
    c.checked = checked;
    driver().stateChanged(*m_impl);
}
bool Control::checked() const {
    return stateOf(*m_impl).checked;
}
int Control::position() const {
    return stateOf(*m_impl).position;
}

void Control::setText(std::string_view text) {
    ControlState& c = stateOf(*m_impl);
    if (c.text == text) return;
    c.text = std::string(text);
    driver().textChanged(*m_impl);
}
int Control::left() const {
    return driver().placeOf(*m_impl).left;
}
int Control::top() const {
    return driver().placeOf(*m_impl).top;
}
int Control::width() const {
    return driver().placeOf(*m_impl).width;
}
int Control::height() const {
    return driver().placeOf(*m_impl).height;
}
void Control::setLeft(int left) {
    driver().moveControl(*m_impl, left, driver().placeOf(*m_impl).top);
}
void Control::setTop(int top) {
    driver().moveControl(*m_impl, driver().placeOf(*m_impl).left, top);
}
void Control::setVisible(bool visible) {
    driver().showControl(*m_impl, visible);
}
bool Control::visible() const {
    return driver().controlShown(*m_impl);
}
void Control::setPosition(int position) {
    ControlState& c = stateOf(*m_impl);
    position = std::clamp(position, 0, 100);
    if (position == c.position) return;
    driver().positionChanged(*m_impl, std::exchange(c.position, position));
}
void Control::setItemIndex(int index) {
    driver().selectItem(*m_impl, index);
}
int Control::itemIndex() const {
    return driver().selectedItem(*m_impl);
}
void Control::setPicture(const Picture& picture) {
    stateOf(*m_impl).picture = picture;
    driver().pictureChanged(*m_impl);
}

Clock& systemClock() {
    return driver().clock();
}

} // namespace platform
