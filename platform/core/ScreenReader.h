#pragma once

// What a screen reader is told of a control, decided once over the toolkit-free state: each
// backend only maps the view onto its own accessibility interface.

#include "platform/core/State.h"

#include <string>

namespace platform {

enum class ReaderRole {
    // Only arranges or decorates: not reported at all, its contents in its place. A plain panel's
    // caption is never drawn where text lies over it, and an unnamed picture says nothing.
    Layout,
    Text,
    Picture,
    ProgressBar,
    Button, // a panel that takes clicks
    RadioGroup,
    SystemButton, // the toolkit's own push button
};

struct ReaderView {
    ReaderRole role = ReaderRole::Layout;
    std::string name;
    std::string description;
    bool disabled = false; // only a button stops taking presses; other controls never do
    bool toggle = false;   // a button that stays pressed in or out
    bool checked = false;
};

ReaderView readerView(const ControlState& control);

} // namespace platform
