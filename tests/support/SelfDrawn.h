#pragma once

// What the test drivers of the backends that keep every control's place themselves (the browser,
// the recording backend) read the same way: places in the window, the control a point reaches, and
// where text is drawn.

#include "platform/core/SelfDrawn.h"

#include <utility>

namespace platform::test {

// The control's left and top edges in its window's client area.
std::pair<int, int> clientPlace(ControlImpl& control);
// The control a person would reach at x, y of a surface: a windowed child lies above every label and
// picture, a later sibling above an earlier one; the surface itself where no child is there.
ControlImpl& topmostAt(ControlImpl& surface, int x, int y);

} // namespace platform::test
