#pragma once

// Which key presses are an answer: one rule for every backend, which only reports what its
// keyboard held while the key typed its character.

#include <optional>

namespace platform {

struct HeldKeys {
    bool ctrl = false;
    bool alt = false;
    bool logo = false; // the Windows key, Cmd on a Mac, Search on a Chromebook
    // The desktop says AltGr typed the character. Windows reports AltGr as Ctrl with the right Alt
    // key, a browser names it; on X and Wayland AltGr is a level of its own, the way Shift is, and
    // Ctrl with Alt is always a chord there.
    bool altGr = false;
};

// Ctrl, Alt or the logo key held make a press a chord, unless the desktop says AltGr typed it; the
// logo key makes a chord even then.
bool isChord(HeldKeys held);

// The character a press answers with, or none. A key pressed with Ctrl, Alt or the logo key held is
// a chord, not a character: a learner who brushes a modifier is not judged for it, and a browser or
// desktop keeps its shortcut. AltGr types the layout's third characters, printable ones only.
// Delete is no character; the yen key types the same character as the backslash key.
std::optional<char32_t> answerOf(char32_t typed, HeldKeys held);

} // namespace platform
