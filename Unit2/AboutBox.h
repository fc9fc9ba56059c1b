#pragma once

#include "platform/Platform.h"

#include <span>

enum class AboutControl {
    AboutBox,
    Panel1,
    ProgramIcon,
    ProductName,
    Version,
    Copyright,
    Comments,
    OKButton
};

// The modeless About box: product name, version, the maker's notice and a motto. Created hidden at
// start-up and kept until exit; closing it only hides it.
class TAboutBox {
public:
    TAboutBox();

    // Shows a hidden box in front and gives it the focus; centred on the screen the first time only.
    // A box that is already shown is left where it is, in front or not, except in a page, which has
    // no window switcher to reach a covered one.
    void open();
    void OKButtonClick();

    platform::Window& window() { return m_window; }
    platform::Control c(AboutControl id) const { return m_window.control(static_cast<int>(id)); }
    // The close request's answer, kept as the design keeps it although the box is never modal.
    int modalResult() const { return m_modalResult; }

private:
    void centreOnScreen();

    platform::Window m_window;
    bool m_placed = false;
    int m_modalResult = 0;
};

std::span<const platform::ControlRow> aboutBoxControls();
