// The test driver calls that read a self-drawn control's place, alike for the browser and the
// recording backend.

#include "tests/support/SelfDrawn.h"

#include "tests/support/Access.h"

namespace platform::test {

namespace {
bool windowed(const DrawnState& c) {
    return c.kind != Kind::Label && c.kind != Kind::Image;
}
DrawnState& placeOf(Window& window, int id) {
    return drawnOf(*stateOf(implOf(window)).find(id));
}
} // namespace

std::pair<int, int> clientPlace(ControlImpl& control) {
    int x = 0, y = 0;
    for (ControlImpl* at = &control; at && drawnOf(*at).parent; at = drawnOf(*at).parent) {
        x += drawnOf(*at).left;
        y += drawnOf(*at).top;
    }
    return {x, y};
}

// Found from the controls' places rather than from what is drawn, so that a window partly off the
// screen, or behind another, is reached as on the desktop.
ControlImpl& topmostAt(ControlImpl& surface, int x, int y) {
    auto inside = [x, y](ControlImpl* at) {
        const DrawnState& c = drawnOf(*at);
        return c.shown && x >= c.left && x < c.left + c.width && y >= c.top && y < c.top + c.height;
    };
    const std::vector<ControlImpl*>& children = drawnOf(surface).children;
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (windowed(drawnOf(**it)) && inside(*it))
            return topmostAt(**it, x - drawnOf(**it).left, y - drawnOf(**it).top);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (!windowed(drawnOf(**it)) && inside(*it)) return **it;
    return surface;
}

int windowX(Window& window, int id) {
    return clientPlace(*stateOf(implOf(window)).find(id)).first;
}
int windowY(Window& window, int id) {
    return clientPlace(*stateOf(implOf(window)).find(id)).second;
}

Rect itemRect(Window& window, int id, int index) {
    const ItemRect r = placeOf(window, id).itemRect(index);
    return {r.left, r.top, r.width, r.height};
}

std::vector<Rect> textAreas(Window& window) {
    std::vector<Rect> out;
    for (ControlImpl* at : stateOf(implOf(window)).order) {
        const DrawnState& c = drawnOf(*at);
        if (!c.shownOnScreen()) continue;
        const bool text = c.kind == Kind::Label || c.kind == Kind::RadioGroup || c.kind == Kind::Button ||
                          (c.kind == Kind::Panel && !c.text.empty());
        if (!text) continue;
        const auto [x, y] = clientPlace(*at);
        out.push_back({x, y, c.width, c.height});
    }
    return out;
}

} // namespace platform::test
