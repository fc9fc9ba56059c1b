// What the core keeps of every window and control, and the decisions made on it for every backend.

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

} // namespace platform
