#include "platform/web/PageRules.h"

#include <algorithm>

namespace platform::rules {

int keptInside(int position, int extent, int containerExtent) {
    return std::clamp(position, 0, std::max(0, containerExtent - extent));
}

int spokenProgress(int position) {
    return std::clamp(position, 0, 100) / 25 * 25;
}

HeldKeys heldOf(unsigned modifiers) {
    return {(modifiers & ModCtrl) != 0, (modifiers & ModAlt) != 0, (modifiers & ModMeta) != 0,
            (modifiers & ModAltGraph) != 0};
}

KeyRoute routeOf(int code, unsigned modifiers) {
    if (code == KeyComposed) return KeyRoute::InputMethod;
    // F1 with a modifier is no shortcut of the program's, nor a character.
    if (code == KeyF1)
        return (modifiers & (ModShift | ModCtrl | ModAlt | ModMeta)) ? KeyRoute::Browser : KeyRoute::F1;
    if (code == KeyOther) return KeyRoute::Browser;
    return isChord(heldOf(modifiers)) ? KeyRoute::Chord : KeyRoute::Program;
}

namespace {
// Chords that close the tab or the window, quit the browser, open another or step back in history.
bool leavesPage(int code, unsigned modifiers) {
    const bool command = (modifiers & (ModCtrl | ModMeta)) != 0 && !(modifiers & ModAltGraph);
    if (command && code > 0 && code < 0x80) {
        switch (static_cast<char>(code | 0x20)) {
        case 'w':
        case 'q':
        case 'n':
        case 't':
        case 'r':
        case 'l': return true;
        default: break;
        }
    }
    if (command && (code == KeyF4 || code == KeyF5)) return true;
    if ((modifiers & ModAlt) && (code == KeyLeft || code == KeyRight || code == KeyHome || code == KeyF4))
        return true;
    if ((modifiers & ModMeta) && (code == KeyLeft || code == KeyRight || code == '[' || code == ']'))
        return true;
    return code == KeyF5 || code == KeyBrowserBack;
}
} // namespace

bool cancelsBrowserKey(int code, unsigned modifiers, bool consumed, bool covering) {
    if (consumed || code == KeyF1 || code == KeyTab) return true;
    return covering && leavesPage(code, modifiers);
}

std::string_view inputMethodHint() {
    return "日本語入力がオンです。半角英数に切り替えてください（半角/全角キー）。";
}

} // namespace platform::rules
