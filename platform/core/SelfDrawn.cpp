// The handle calls that read what a backend drawing its own controls keeps of them, and what those
// controls do with the mouse and the keys.

#include "platform/core/SelfDrawn.h"

#include "platform/core/Driver.h"

#include <algorithm>

namespace platform {

namespace {
const DrawnState& drawn(ControlImpl* control) {
    return static_cast<const DrawnState&>(stateOf(*control));
}

// The control holding the mouse between a press and its release.
ControlImpl* g_mouseOwner = nullptr;

void clickIfEnabled(ControlImpl& control) {
    ControlState& c = stateOf(control);
    if (c.enabled && c.clickHandler) c.clickHandler();
}

void chooseItem(ControlImpl& group, int index) {
    drawnOf(group).itemIndex = index;
    driver().itemChanged(group);
}
} // namespace

void describeWindow(WindowImpl& window, DrawnState& root, const WindowSpec& description) {
    WindowState& w = stateOf(window);
    w.dialog = description.dialog;
    w.colour = description.colour;
    root.kind = Kind::Panel;
    root.window = &window;
    root.colour = description.colour;
    root.font = description.font;
    root.width = description.clientWidth;
    root.height = description.clientHeight;
}

DrawnState& drawnOf(ControlImpl& control) {
    return static_cast<DrawnState&>(stateOf(control));
}

// The presses of a quick series alternate between a click's first press and a double click's
// second, as the desktop counts them: the second press of a double click is no click, the third is.
// Mouse down and up handlers hear every button.
void mousePressed(ControlImpl& target, MouseButton button, int pressCount, int item) {
    DrawnState& c = drawnOf(target);
    g_mouseOwner = &target;
    if (button == MouseButton::Left) {
        c.pressed = c.enabled && (pressCount <= 1 || pressCount % 2 == 1);
        if (c.kind == Kind::RadioGroup) {
            c.pressedItem = c.pressed ? item : -1;
            stateOf(*c.window).focusId = c.id;
            driver().focus(target);
        }
    }
    if (c.downHandler && c.enabled) c.downHandler(button);
}

// A click is a left press and release both inside the control, which is still shown when the button
// goes up; on a radio group, both on the same item, which becomes the selected one.
void mouseReleased(MouseButton button, bool inside, int item, bool stillHeld, ControlImpl* under) {
    ControlImpl* target = g_mouseOwner;
    if (!target) {
        if (under && stateOf(*under).upHandler && stateOf(*under).enabled) stateOf(*under).upHandler(button);
        return;
    }
    if (!stillHeld) g_mouseOwner = nullptr;
    DrawnState& c = drawnOf(*target);
    const bool wasPressed = c.pressed && button == MouseButton::Left;
    if (button == MouseButton::Left) c.pressed = false;
    if (c.upHandler && c.enabled) c.upHandler(button);
    if (!wasPressed || !c.enabled || !c.shownOnScreen() || !inside) return;
    if (c.kind == Kind::RadioGroup && c.pressedItem >= 0 && item == c.pressedItem) chooseItem(*target, item);
    if (c.clickHandler) c.clickHandler();
}

ControlImpl* mouseOwner() {
    return g_mouseOwner;
}

void controlHidden(ControlImpl& control) {
    if (!g_mouseOwner || drawnOf(*g_mouseOwner).shownOnScreen()) return;
    for (ControlImpl* at = g_mouseOwner; at; at = stateOf(*at).parent)
        if (at == &control) drawnOf(*g_mouseOwner).pressed = false;
}

void windowDestroyed(WindowImpl& window) {
    if (g_mouseOwner && stateOf(*g_mouseOwner).window == &window) g_mouseOwner = nullptr;
}

ControlImpl* focusTarget(WindowImpl& window) {
    WindowState& w = stateOf(window);
    if (ControlImpl* c = w.find(w.focusId); c && drawnOf(*c).shownOnScreen()) return c;
    for (ControlImpl* c : w.order)
        if ((stateOf(*c).kind == Kind::RadioGroup || stateOf(*c).kind == Kind::Button) &&
            drawnOf(*c).shownOnScreen())
            return c;
    return nullptr;
}

bool dialogKey(WindowImpl& window, DialogKey key, bool modifierHeld) {
    switch (key) {
    case DialogKey::Space:
        if (ControlImpl* c = focusTarget(window); c && stateOf(*c).kind == Kind::Button) clickIfEnabled(*c);
        return true;
    case DialogKey::Escape: return true;
    case DialogKey::Enter:
        if (modifierHeld) return true;
        for (ControlImpl* c : stateOf(window).order)
            if (stateOf(*c).kind == Kind::Button && (stateOf(*c).style & DefaultButton) &&
                drawnOf(*c).shownOnScreen()) {
                clickIfEnabled(*c);
                break;
            }
        return true;
    }
    return false;
}

bool radioKey(WindowImpl& window, Arrow arrow) {
    ControlImpl* group = focusTarget(window);
    if (!group || stateOf(*group).kind != Kind::RadioGroup) return false;
    const DrawnState& c = drawnOf(*group);
    const int last = static_cast<int>(c.items.size()) - 1;
    const bool back = arrow == Arrow::Left || arrow == Arrow::Up;
    const int next = back ? std::max(0, c.itemIndex - 1) : std::min(last, c.itemIndex + 1);
    if (next != c.itemIndex && next >= 0) chooseItem(*group, next);
    return true;
}

void dockAlongBottom(WindowImpl& window, ControlImpl& root, int clientWidth, int clientHeight) {
    for (ControlImpl* control : stateOf(window).order) {
        DrawnState& c = drawnOf(*control);
        if (!c.alignedBottom || c.parent != &root) continue;
        c.left = 0;
        c.top = clientHeight - c.height;
        c.width = clientWidth;
        driver().place(*control);
    }
}

void DrawnState::takePlace(const ControlRow& row) {
    left = row.left;
    top = row.top;
    width = row.width;
    height = row.height;
    cursor = row.cursor;
    shown = row.visible;
    items.assign(row.items.begin(), row.items.end());
    itemIndex = row.itemIndex;
}

ItemRect DrawnState::itemRect(int index) const {
    return rules::radioItem(index, static_cast<int>(items.size()), width, height, font.height);
}

int DrawnState::itemAt(int x, int y) const {
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const ItemRect r = itemRect(i);
        if (x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height) return i;
    }
    return -1;
}

bool DrawnState::shownOnScreen() const {
    return shown && (!parent || drawn(parent).shownOnScreen());
}

Place SelfDrawnDriver::placeOf(ControlImpl& control) {
    const DrawnState& c = drawnOf(control);
    return {c.left, c.top, c.width, c.height};
}
void SelfDrawnDriver::moveControl(ControlImpl& control, int left, int top) {
    DrawnState& c = drawnOf(control);
    if (left == c.left && top == c.top) return;
    c.left = left;
    c.top = top;
    place(control);
}
bool SelfDrawnDriver::controlShown(ControlImpl& control) {
    return drawnOf(control).shown;
}
int SelfDrawnDriver::selectedItem(ControlImpl& control) {
    return drawnOf(control).itemIndex;
}
void SelfDrawnDriver::selectItem(ControlImpl& control, int index) {
    const DrawnState& c = drawnOf(control);
    if (index < 0 || index >= static_cast<int>(c.items.size()) || index == c.itemIndex) return;
    chooseItem(control, index);
}

} // namespace platform
