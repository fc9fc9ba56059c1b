// Windows and controls as elements of the page, placed at the design's pixels, with the page's key
// and mouse events turned into the program's.

#include "platform/Rules.h"
#include "platform/core/ScreenReader.h"
#include "platform/web/Internal.h"
#include "platform/web/PageRules.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace platform {

namespace {

WindowImpl* g_active = nullptr;

std::map<int, ControlImpl*>& elementMap() {
    static std::map<int, ControlImpl*> map;
    return map;
}

Measure measureIn(const Font& font) {
    return [&font](std::u32string_view text) { return measure(font, text); };
}

std::vector<LabelLine> labelLines(const ControlImpl& c) {
    return platform::labelLines(c.text, (c.style & WordWrap) != 0, c.designWidth, measureIn(c.font));
}

std::optional<MouseButton> buttonOf(int button) {
    switch (button) {
    case 0: return MouseButton::Left;
    case 1: return MouseButton::Middle;
    case 2: return MouseButton::Right;
    default: return std::nullopt;
    }
}

// The radio group's item under a point of the page, or -1.
int itemUnder(ControlImpl& c, double x, double y) {
    return c.kind == Kind::RadioGroup ? c.itemAt(tr_offset_x(c.element, x), tr_offset_y(c.element, y)) : -1;
}

bool modifierHeld(unsigned modifiers) {
    return (modifiers & (rules::ModShift | rules::ModCtrl | rules::ModAlt | rules::ModMeta)) != 0;
}

std::optional<DialogKey> dialogKeyOf(int code) {
    switch (code) {
    case rules::KeyEnter: return DialogKey::Enter;
    case rules::KeyEscape: return DialogKey::Escape;
    case ' ': return DialogKey::Space;
    default: return std::nullopt;
    }
}

std::optional<Arrow> arrowOf(int code) {
    switch (code) {
    case rules::KeyLeft: return Arrow::Left;
    case rules::KeyRight: return Arrow::Right;
    case rules::KeyUp: return Arrow::Up;
    case rules::KeyDown: return Arrow::Down;
    default: return std::nullopt;
    }
}

// A key of the program's: the dialog's and the radio group's keys first, then typed characters.
bool programKey(WindowImpl* window, int code, unsigned modifiers, bool chord) {
    if (!window || !window->shown) window = g_active;
    if (!window || !window->shown) return false;
    if (const auto key = dialogKeyOf(code);
        window->dialog && key && dialogKey(*window, *key, modifierHeld(modifiers)))
        return true;
    if (const auto arrow = arrowOf(code); arrow && radioKey(*window, *arrow)) return true;
    if (chord || code <= 0 || !window->characterHandler) return false;
    return characterTyped(*window, static_cast<char32_t>(code), rules::heldOf(modifiers));
}

bool g_hintShown = false;
void showInputMethodHint(bool shown) {
    if (shown == g_hintShown) return;
    g_hintShown = shown;
    tr_hint(shown ? std::string(rules::inputMethodHint()).c_str() : "");
}

} // namespace

WindowImpl* activeWindow() {
    return g_active;
}

ControlImpl* controlOfElement(int element) {
    const auto it = elementMap().find(element);
    return it == elementMap().end() ? nullptr : it->second;
}

WindowImpl* windowOfFrame(int frame) {
    for (WindowImpl* w : allWindows())
        if (w->frame == frame) return w;
    return nullptr;
}

ControlState& stateOf(ControlImpl& control) {
    return control;
}
WindowState& stateOf(WindowImpl& window) {
    return window;
}
void PageDriver::redraw(ControlImpl& control) {
    control.restyle();
}

Colour ControlImpl::backgroundColour() {
    return backgroundOf(*this);
}

std::string ControlImpl::shortHint() const {
    return std::string(platform::shortHint(hint));
}

void ControlImpl::place() {
    tr_place(element, left, top, width, height);
    if (kind == Kind::RadioGroup) showRadio();
    if (kind == Kind::ProgressBar) tr_fill(element, (width - 2) * position / 100, 0x800000);
}

// Colours, fonts and texts as the page shows them.
void ControlImpl::restyle() {
    const bool transparent = (kind == Kind::Label || kind == Kind::Image) && (style & Transparent);
    tr_background(element, transparent || kind == Kind::Image ? -1 : toCss(backgroundColour()));
    const int fontColour = toCss(resolve(font.colour));
    switch (kind) {
    case Kind::Label: {
        const auto lines = labelLines(*this);
        std::u32string all;
        int underlineLine = -1, underlineAt = -1;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i) all += U'\n';
            all += lines[i].text;
            if (lines[i].underline >= 0 && underlineLine < 0) {
                underlineLine = static_cast<int>(i);
                underlineAt = lines[i].underline;
            }
        }
        writeText({encode(all), fontOf(font), fontColour, underlineLine, underlineAt}, false);
        break;
    }
    case Kind::Panel:
    case Kind::Button:
        if (parent) writeText({displayText(text), fontOf(font), fontColour, -1, -1}, true);
        break;
    case Kind::RadioGroup: showRadio(); break;
    case Kind::Image:
    case Kind::ProgressBar: break;
    }
    for (ControlImpl* child : children)
        if (child->colour == clInherit) child->restyle();
}

void ControlImpl::writeText(Written next, bool centred) {
    if (next == written) return;
    written = std::move(next);
    tr_text(element, written.text.c_str(), written.font, written.colour, centred, written.underlineLine,
            written.underlineAt);
}

void ControlImpl::resizeToText() {
    if (kind != Kind::Label) return;
    const auto [w, h] =
        labelSize(labelLines(*this), (style & WordWrap) != 0, designWidth, font.height, measureIn(font));
    width = w;
    height = h;
    place();
    restyle();
}

void ControlImpl::showRadio() {
    std::string joined;
    std::vector<int> rects;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) joined += '\n';
        joined += displayText(items[i]);
        const ItemRect r = itemRect(static_cast<int>(i));
        rects.insert(rects.end(), {r.left, r.top, r.width, r.height});
    }
    const bool focused = focusTarget(*window) == this && activeWindow() == window;
    tr_radio(element, displayText(text).c_str(), joined.c_str(), static_cast<int>(items.size()), rects.data(),
             itemIndex, focused, fontOf(font), toCss(resolve(font.colour)), toCss(backgroundColour()));
}

WindowImpl::WindowImpl(const WindowSpec& description, Window& owner_) : owner(owner_) {
    describeWindow(*this, root, description);
    caption = std::string(description.caption);
    left = description.left;
    top = description.top;
    frame = tr_window_create(dialog, caption.c_str(), root.width, root.height);
    root.element = tr_window_client(frame);
    elementMap()[root.element] = &root;
    tr_background(root.element, toCss(resolve(root.colour)));
    tr_window_move(frame, left, top);
    windowMade(*this);
}

WindowImpl::~WindowImpl() {
    if (g_active == this) g_active = nullptr;
    windowDestroyed(*this);
    for (ControlImpl* c : order)
        elementMap().erase(c->element);
    elementMap().erase(root.element);
    tr_window_destroy(frame);
}

int WindowImpl::outerWidth() const {
    return root.width + (dialog ? 2 * FrameBorder : 0);
}
int WindowImpl::outerHeight() const {
    return root.height + (dialog ? 2 * FrameBorder + CaptionHeight : 0);
}

void WindowImpl::moveTo(int x, int y) {
    left = x;
    top = y;
    tr_window_move(frame, x, y);
}

void WindowImpl::moveInside(int x, int y) {
    const Size screen = screenSize();
    moveTo(rules::keptInside(x, outerWidth(), screen.width),
           rules::keptInside(y, outerHeight(), screen.height));
}

// A maximised window fills the page's viewport, and the controls aligned to its bottom follow.
void WindowImpl::layoutAligned() {
    if (maximised && !dialog) {
        const Size screen = screenSize();
        root.width = screen.width;
        root.height = screen.height;
        left = top = 0;
        tr_window_move(frame, 0, 0);
    }
    tr_place(root.element, 0, 0, root.width, root.height);
    dockAlongBottom(*this, root, root.width, root.height);
}

void WindowImpl::refreshFocus() {
    for (ControlImpl* c : order)
        if (c->kind == Kind::RadioGroup) c->showRadio();
}

// The page keeps the stacking itself: the window activated comes to the front.
void WindowImpl::activate() {
    if (!shown) return;
    tr_window_raise(frame);
    if (g_active == this) {
        giveKeyboardFocus();
        return;
    }
    WindowImpl* previous = g_active;
    g_active = this;
    if (previous) {
        tr_window_active(previous->frame, 0);
        previous->refreshFocus();
    }
    tr_window_active(frame, 1);
    refreshFocus();
    giveKeyboardFocus();
}

// The page's focus follows activation, so that a screen reader passes the keys to the program
// instead of taking them for its own browsing: the main window's application element, or the
// dialog's button.
void WindowImpl::giveKeyboardFocus() {
    ControlImpl* target = dialog ? focusTarget(*this) : nullptr;
    tr_focus(target ? target->element : frame);
}

void WindowImpl::hideAndPassActivation() {
    shown = false;
    tr_window_show(frame, 0);
    if (g_active != this) return;
    g_active = nullptr;
    tr_window_active(frame, 0);
    windowHidden(*this, true);
}

void PageDriver::makeControl(WindowImpl& window, const ControlRow& row) {
    ControlImpl& c = adoptControl(window, window.root, row);
    c.element = tr_element_create(c.parent->element, static_cast<int>(row.kind), c.windowed());
    elementMap()[c.element] = &c;
    if (row.kind == Kind::Panel && (row.style & Sunken)) tr_bevel(c.element, SunkenBevel);
    if (row.kind == Kind::ProgressBar) tr_bevel(c.element, WellBevel);
    if (row.kind == Kind::Button)
        tr_bevel(c.element, (row.style & DefaultButton) ? DefaultBevel : RaisedBevel);
    tr_cursor(c.element, c.cursor == Cursor::HandPoint);
    if (c.style & ShowHint) tr_tooltip(c.element, c.shortHint().c_str());
    tr_show(c.element, c.shown);
    if (row.kind == Kind::Label) {
        c.resizeToText();
    } else {
        c.place();
        c.restyle();
    }
}

void PageDriver::finishBuilding(WindowImpl&) {}

// What a screen reader is told of each control, once its handlers are bound: a control that takes
// clicks is a push button named by its caption, a picture with no hint is decoration, the progress
// bar tells its value; labels are their text. A hint is the control's description.
// Roles and names as readerView gives them. A label's own text is read from the page, so its hint
// stays a description here: the finger of a key is said once, after the legend.
void WindowImpl::describeForAssistiveTechnology() {
    for (ControlImpl* c : order)
        c->describe();
    described = true;
}

void ControlImpl::describe() {
    const ReaderView view = readerView(*this);
    const char* role = "";
    switch (view.role) {
    case ReaderRole::Button:
    case ReaderRole::SystemButton: role = "button"; break;
    case ReaderRole::ProgressBar: role = "progressbar"; break;
    case ReaderRole::Picture: role = "img"; break;
    case ReaderRole::Layout: role = kind == Kind::Image ? "presentation" : ""; break;
    case ReaderRole::Text:
    case ReaderRole::RadioGroup: break;
    }
    std::string description = view.description;
    if (view.role == ReaderRole::Text && (style & ShowHint) && !shortHint().empty())
        description = shortHint() + (description.empty() ? "" : " " + description);
    const bool named = view.role != ReaderRole::Text && view.role != ReaderRole::Layout;
    tr_describe(element, role, named ? view.name.c_str() : "", description.c_str());
    if (view.role == ReaderRole::Button) writeState(*this);
}

// The page's tool-tip and the readers' description are written from the hint, so a new hint
// reaches both at once.
void PageDriver::hintChanged(ControlImpl& control) {
    if (control.style & ShowHint) tr_tooltip(control.element, control.shortHint().c_str());
    if (control.window->described) control.describe();
}

void PageDriver::stateChanged(ControlImpl& control) {
    writeState(control);
}
void writeState(ControlImpl& control) {
    tr_state(control.element, control.enabled ? 1 : 0,
             (control.style & Toggle) ? (control.checked ? 1 : 0) : -1);
}

void PageDriver::announce(WindowImpl& window, std::string_view utf8) {
    tr_announce(window.frame, spokenText(utf8, false).c_str());
}

void PageDriver::showWindow(WindowImpl& window) {
    if (!window.described) window.describeForAssistiveTechnology();
    window.shown = true;
    window.layoutAligned();
    tr_window_show(window.frame, 1);
    tr_window_raise(window.frame);
}
void PageDriver::raiseWindow(WindowImpl& window) {
    tr_window_raise(window.frame);
}
// The page draws every change as it is made.
void PageDriver::repaintWindow(WindowImpl&) {}

// The page's icons are the manifest's.
void PageDriver::setIcon(WindowImpl&, const Picture&) {}
void PageDriver::resizeClient(WindowImpl& window, int width, int height) {
    window.root.width = width;
    window.root.height = height;
    window.layoutAligned();
}
Size PageDriver::clientSize(WindowImpl& window) {
    return {window.root.width, window.root.height};
}
Size PageDriver::outerSize(WindowImpl& window) {
    return {window.outerWidth(), window.outerHeight()};
}
Point PageDriver::position(WindowImpl& window) {
    return {window.left, window.top};
}
void PageDriver::moveWindow(WindowImpl& window, int left, int top) {
    if (window.maximised && !window.dialog) return;
    window.moveTo(left, top);
}
void PageDriver::maximisedChanged(WindowImpl& window) {
    window.layoutAligned();
}
// The page has no caption bar to take away from the main window.
void PageDriver::showCaptionBar(WindowImpl&, bool) {}
// Keys reach the page as keydown events, which no input method composes: no element is editable.
void PageDriver::disableInputMethod(WindowImpl&) {}

void PageDriver::textChanged(ControlImpl& control) {
    if (control.kind == Kind::Label)
        control.resizeToText();
    else
        control.restyle();
}

void PageDriver::showControl(ControlImpl& control, bool visible) {
    ControlImpl& c = control;
    if (c.shown == visible) return;
    c.shown = visible;
    tr_show(c.element, visible);
    if (!visible) controlHidden(c);
    c.window->refreshFocus();
}
void PageDriver::positionChanged(ControlImpl& control, int before) {
    tr_fill(control.element, (control.width - 2) * control.position / 100, 0x800000);
    if (rules::spokenProgress(control.position) != rules::spokenProgress(before))
        tr_value(control.element, rules::spokenProgress(control.position));
}
void PageDriver::pictureChanged(ControlImpl& control) {
    ControlImpl& c = control;
    const Picture& picture = c.picture;
    if (picture.width <= 0 || picture.height <= 0) return;
    const auto n = static_cast<std::size_t>(picture.width * picture.height);
    std::vector<unsigned char> clear(n, 0);
    const Colour key = picture.pixels[static_cast<std::size_t>((picture.height - 1) * picture.width)];
    for (std::size_t i = 0; i < n; ++i)
        clear[i] = picture.isIcon() ? picture.mask[i] : ((c.style & Transparent) && picture.pixels[i] == key);
    // Icons are drawn at their own size at the top-left corner; a stretched bitmap fills the box.
    tr_picture(c.element, picture.width, picture.height, picture.pixels.data(), clear.data(),
               !picture.isIcon() && (c.style & Stretch));
}

namespace web {

// F1 belongs to the main window's action wherever the keyboard is. Which keys the program hears,
// and which the browser keeps, is the shared rule's; the page only reports and carries out.
int key(int code, unsigned modifiers, bool covering, WindowImpl* to) {
    bool consumed = false;
    switch (rules::routeOf(code, modifiers)) {
    case rules::KeyRoute::F1:
        f1Pressed();
        consumed = true;
        break;
    case rules::KeyRoute::InputMethod: showInputMethodHint(true); break;
    case rules::KeyRoute::Program: consumed = programKey(to, code, modifiers, false); break;
    case rules::KeyRoute::Chord: consumed = programKey(to, code, modifiers, true); break;
    case rules::KeyRoute::Browser: break;
    }
    // A key that reached the program unchanged: the input method is off.
    if (consumed) showInputMethodHint(false);
    return rules::cancelsBrowserKey(code, modifiers, consumed, covering) ? 1 : 0;
}

void screenChanged() {
    const std::vector<WindowImpl*> windows = allWindows();
    for (WindowImpl* w : windows) {
        w->layoutAligned();
        if (w->dialog) w->moveInside(w->left, w->top);
    }
    for (WindowImpl* w : windows)
        if (w->screenChangedHandler) w->screenChangedHandler();
}

void mouse(int type, int element, int button, int detail, double x, double y) {
    const auto b = buttonOf(button);
    if (!b) return;
    ControlImpl* under = controlOfElement(element);
    if (type == 0) {
        if (under) mousePressed(*under, *b, detail, itemUnder(*under, x, y));
        return;
    }
    ControlImpl* owner = mouseOwner();
    const bool inside = owner && owner->window->shown && tr_contains(owner->element, x, y);
    mouseReleased(*b, inside, owner ? itemUnder(*owner, x, y) : -1, false, under);
}

} // namespace web

} // namespace platform

extern "C" {

EMSCRIPTEN_KEEPALIVE int tapirun_key(int code, int modifiers, int covering, int frame) {
    return platform::web::key(code, static_cast<unsigned>(modifiers), covering != 0,
                              platform::windowOfFrame(frame));
}

EMSCRIPTEN_KEEPALIVE void tapirun_mouse(int type, int element, int button, int detail, double x, double y) {
    platform::web::mouse(type, element, button, detail, x, y);
}

EMSCRIPTEN_KEEPALIVE void tapirun_activate(int frame) {
    if (platform::WindowImpl* w = platform::windowOfFrame(frame)) w->activate();
}

EMSCRIPTEN_KEEPALIVE void tapirun_drag(int frame, int left, int top) {
    if (platform::WindowImpl* w = platform::windowOfFrame(frame)) w->moveInside(left, top);
}

// A screen reader's press of a push button: the click a person's press and release would make.
EMSCRIPTEN_KEEPALIVE void tapirun_press(int element) {
    platform::ControlImpl* c = platform::controlOfElement(element);
    if (c && c->enabled && c->shownOnScreen() && c->window->shown && c->clickHandler) c->clickHandler();
}

EMSCRIPTEN_KEEPALIVE void tapirun_close(int frame) {
    if (platform::WindowImpl* w = platform::windowOfFrame(frame)) platform::closeRequested(*w);
}

// The viewport stands for the screen: a new size is the platform's screen change, which the main
// window's handler answers; a dialog keeps its caption bar inside the page.
EMSCRIPTEN_KEEPALIVE void tapirun_resized() {
    platform::web::screenChanged();
}
}
