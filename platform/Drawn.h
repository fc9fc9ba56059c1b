#pragma once

// What the backends that draw their controls themselves (Windows, the browser) keep of each control
// beyond the toolkit-free state, and the handle calls that only read it. A toolkit with widgets of
// its own keeps these in its widgets.

#include "platform/Handles.h"
#include "platform/Rules.h"

#include <string>
#include <vector>

namespace platform {

using rules::ItemRect;

struct DrawnState : ControlState {
    int left = 0, top = 0, width = 0, height = 0; // on the parent's surface
    bool shown = true;
    Cursor cursor = Cursor::Default;
    std::vector<std::string> items;
    int itemIndex = -1;
    int pressedItem = -1;
    std::vector<ControlImpl*> children; // table order: bottom first
    bool pressed = false;
    Picture picture;

    // Takes the row's place, cursor, visibility and items as they are.
    void takePlace(const Window::RowData& row);
    // A radio group's item, in the group's pixels; the item under a point of the group, or -1.
    ItemRect itemRect(int index) const;
    int itemAt(int x, int y) const;
    // Shown, and so is every control it lies in.
    bool shownOnScreen() const;
};

} // namespace platform
