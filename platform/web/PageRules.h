#pragma once

// The browser's own rules, written over standard types so that their table tests run on every
// machine: which keys the program hears and which the browser keeps, where a dragged window may go,
// and how much of the progress bar a screen reader is told.

#include "platform/Keys.h"

#include <string_view>

namespace platform::rules {

// A window's left (or top) kept inside its container, so that its caption bar stays within reach
// whatever the container's size: at 0 where the window is larger than the container.
int keptInside(int position, int extent, int containerExtent);

// The value a progress bar (range 0..100) tells screen readers: whole quarters, so that a bar
// advancing every few milliseconds is not read out at every step.
int spokenProgress(int position);

// Keys as the browser reports them: a typed character as its code point, keys that type nothing as
// the negative codes below, and the modifiers held.
enum KeyCode : int {
    KeyBackspace = 0x08,
    KeyTab = 0x09,
    KeyEnter = 0x0D,
    KeyEscape = 0x1B,
    KeyF1 = -1,
    KeyF4 = -4,
    KeyF5 = -5,
    KeyLeft = -10,
    KeyRight = -11,
    KeyUp = -12,
    KeyDown = -13,
    KeyHome = -14,
    KeyBrowserBack = -15,
    // Taken by an input method, which composes it into something else.
    KeyComposed = -20,
    KeyOther = -99,
};
// The keys that type nothing, by the name the browser gives them: the page reports each as its code.
struct NamedKey {
    std::string_view name;
    int code;
};
inline constexpr NamedKey NamedKeys[] = {
    {"Enter", KeyEnter},
    {"Backspace", KeyBackspace},
    {"Escape", KeyEscape},
    {"Tab", KeyTab},
    {"F1", KeyF1},
    {"F4", KeyF4},
    {"F5", KeyF5},
    {"Home", KeyHome},
    {"BrowserBack", KeyBrowserBack},
    {"ArrowLeft", KeyLeft},
    {"ArrowRight", KeyRight},
    {"ArrowUp", KeyUp},
    {"ArrowDown", KeyDown},
};
enum KeyModifiers : unsigned { ModShift = 1, ModCtrl = 2, ModAlt = 4, ModAltGraph = 8, ModMeta = 16 };

// The keys a page reports held, as the shared rule of answers (Keys.h) reads them.
HeldKeys heldOf(unsigned modifiers);

// How the program takes a key: which part of it hears the key, or none.
enum class KeyRoute {
    Program,     // the windows' own keys and typed characters
    Chord,       // the windows' own keys (a dialog's Space) but no typed character
    F1,          // the main window's shortcut, from whichever window has the keyboard
    InputMethod, // swallowed by an input method: the learner is told how to switch it off
    Browser,     // a key the program has no use for
};
KeyRoute routeOf(int code, unsigned modifiers);

// Whether the page cancels the browser's own handling of a key. In an ordinary tab the browser
// keeps its shortcuts (zoom, reload, find, back): only what the program consumed, F1 (the
// browser's help) and Tab (which would carry the keyboard out of the program) are cancelled. Where
// the page covers the screen (full screen, a kiosk, an installed app) nothing outside it can take
// the learner back, so the chords that would close or leave the page are cancelled too.
bool cancelsBrowserKey(int code, unsigned modifiers, bool consumed, bool covering);

// The one line shown while an input method swallows the keys.
std::string_view inputMethodHint();

} // namespace platform::rules
