#pragma once

// Rules that more than one backend follows, written once over standard types: each backend turns its
// toolkit's events into these functions' inputs and their answers into toolkit calls, so the
// backends cannot disagree on them.

#include <vector>

namespace platform::rules {

// Which of the program's windows takes the activation when one of them hides: none unless the one
// hiding was active (or no window is), else the first other one shown in the order they were made,
// the main window before its dialogs. The desktop would hand the activation to whatever window it
// stacks next, maybe another program's, or with no window manager on X to none at all: either way the
// keyboard would leave the program. `shown` tells a window's state as its toolkit has it.
template <class W, class Shown>
W* activationHeir(const std::vector<W*>& windows, const W* hiding, bool hidingWasActive, Shown shown) {
    if (!hidingWasActive) return nullptr;
    for (W* w : windows)
        if (w != hiding && shown(*w)) return w;
    return nullptr;
}

// The classic radio group's items, in the group's own pixels: one column below the caption line,
// whose height is the font's, the items dividing the room there evenly and half the remainder going
// above the first.
struct ItemRect {
    int left, top, width, height;
};
ItemRect radioItem(int index, int count, int width, int height, int textHeight);

} // namespace platform::rules
