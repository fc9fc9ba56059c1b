// The handle calls that are the same on every backend: they only read or store what a control or
// window holds, or hand the change on to the backend's redraw.

#include "platform/core/State.h"

#include "platform/Rules.h"
#include "platform/core/Driver.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace platform {

bool takeMainWindowRole() {
    static bool taken = false;
    return !std::exchange(taken, true);
}

std::vector<WindowImpl*>& allWindows() {
    static std::vector<WindowImpl*> windows;
    return windows;
}

Colour backgroundOf(ControlImpl& control) {
    for (ControlImpl* at = &control; at; at = stateOf(*at).parent)
        if (stateOf(*at).colour != clInherit) return resolve(stateOf(*at).colour);
    return resolve(stateOf(*stateOf(control).window).colour);
}

bool characterTyped(WindowImpl& window, char32_t typed, HeldKeys held) {
    const WindowState& w = stateOf(window);
    const std::optional<char32_t> answer = answerOf(typed, held);
    return answer && w.characterHandler && w.characterHandler(*answer);
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

void f1Pressed() {
    for (WindowImpl* w : allWindows())
        if (stateOf(*w).f1Handler) {
            if (driver().windowEnabled(*w)) stateOf(*w).f1Handler();
            return;
        }
}

void closeRequested(WindowImpl& window) {
    if (stateOf(window).closeHandler) stateOf(window).closeHandler();
    driver().hideWindow(window);
    if (stateOf(window).isMain) driver().endProgram();
}

void windowHidden(WindowImpl& window, bool wasActive) {
    const auto shown = [](WindowImpl& w) { return driver().windowShown(w); };
    if (WindowImpl* heir = rules::activationHeir(allWindows(), &window, wasActive, shown))
        driver().activateWindow(*heir);
}

void windowMade(WindowImpl& window) {
    allWindows().push_back(&window);
}

void windowGone(WindowImpl& window) {
    std::erase(allWindows(), &window);
    driver().windowGone(window);
}

ControlImpl* WindowState::find(int id) const {
    const auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second.get();
}

void describe(ControlState& c, const ControlRow& row, WindowImpl& window, ControlImpl* parent,
              const Font& parentFont) {
    c.kind = row.kind;
    c.id = row.name.id;
    c.window = &window;
    c.parent = parent;
    c.colour = row.colour;
    c.designWidth = row.width;
    c.text = std::string(row.caption);
    c.hint = std::string(row.hint);
    c.style = row.style;
    c.font = row.font.face ? row.font : parentFont;
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

} // namespace platform
