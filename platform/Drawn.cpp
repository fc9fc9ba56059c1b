// The handle calls that read what a backend drawing its own controls keeps of them.

#include "platform/Drawn.h"

namespace platform {

namespace {
const DrawnState& drawn(ControlImpl* control) {
    return static_cast<const DrawnState&>(stateOf(*control));
}
} // namespace

void DrawnState::takePlace(const Window::RowData& row) {
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

int Control::left() const {
    return drawn(m_impl).left;
}
int Control::top() const {
    return drawn(m_impl).top;
}
int Control::width() const {
    return drawn(m_impl).width;
}
int Control::height() const {
    return drawn(m_impl).height;
}
bool Control::visible() const {
    return drawn(m_impl).shown;
}
int Control::itemIndex() const {
    return drawn(m_impl).itemIndex;
}

} // namespace platform
