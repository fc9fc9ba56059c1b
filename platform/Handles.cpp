// The handle calls that are the same on every backend: they only read or store what a control or
// window holds, or hand the change on to the backend's redraw.

#include "platform/Handles.h"

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

ControlImpl* WindowState::find(int id) const {
    const auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second.get();
}

void describe(ControlState& c, const Window::RowData& row, WindowImpl& window, ControlImpl* parent,
              const Font& parentFont) {
    c.kind = row.kind;
    c.id = row.name;
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
    stateChanged(*m_impl);
}
bool Control::enabled() const {
    return stateOf(*m_impl).enabled;
}

void Control::setColour(Colour colour) {
    ControlState& c = stateOf(*m_impl);
    if (c.colour == colour) return;
    c.colour = colour;
    redraw(*m_impl);
}
Colour Control::colour() const {
    return stateOf(*m_impl).colour;
}
void Control::setFontColour(Colour colour) {
    ControlState& c = stateOf(*m_impl);
    if (c.font.colour == colour) return;
    c.font.colour = colour;
    redraw(*m_impl);
}
Colour Control::fontColour() const {
    return stateOf(*m_impl).font.colour;
}

void Control::setHint(std::string_view hint) {
    stateOf(*m_impl).hint = std::string(hint);
}
std::string Control::hint() const {
    return stateOf(*m_impl).hint;
}
void Control::setChecked(bool checked) {
    ControlState& c = stateOf(*m_impl);
    if (c.checked == checked) return;
    c.checked = checked;
    stateChanged(*m_impl);
}
bool Control::checked() const {
    return stateOf(*m_impl).checked;
}
int Control::position() const {
    return stateOf(*m_impl).position;
}

} // namespace platform
