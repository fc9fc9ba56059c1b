// What a Windows screen reader learns of the windows, through Active Accessibility: every surface
// with a native window answers WM_GETOBJECT with an object that names and describes it and the
// labels, pictures and radio items it paints itself, which have no window a reader could ask. The
// panel-buttons and radio items take the reader's default action as a click would.
//
// Announcements go to one more element of each window, an alert whose name is the line to speak,
// raised with the system's alert event, which readers present without moving their focus.

#include "platform/win32/Internal.h"

#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

namespace platform {

namespace {

std::wstring spoken(std::string_view utf8, bool accelerators) {
    return widen(spokenText(utf8, accelerators));
}

// Runs of spaces inside a caption are read as one.
std::wstring simplified(std::wstring text) {
    std::wstring out;
    for (wchar_t ch : text) {
        const bool space = ch == L' ' || ch == 0x3000;
        if (space && (out.empty() || out.back() == L' ')) continue;
        out += space ? L' ' : ch;
    }
    if (!out.empty() && out.back() == L' ') out.pop_back();
    return out;
}

std::wstring hintPart(const std::string& hint, bool beforeBar) {
    const auto bar = hint.find('|');
    if (beforeBar) return widen(std::string_view(hint).substr(0, bar));
    return widen(bar == std::string::npos ? std::string_view(hint) : std::string_view(hint).substr(bar + 1));
}

bool isPanelButton(const ControlImpl& c) {
    return c.kind == Kind::Panel && c.parent && c.clickHandler != nullptr;
}

bool showing(const ControlImpl& c) {
    for (const ControlImpl* at = &c; at; at = at->parent)
        if (!at->shown) return false;
    return IsWindowVisible(c.window->hwnd) != FALSE;
}

std::wstring nameOf(const ControlImpl& c) {
    if (!c.parent) {
        const int length = GetWindowTextLengthW(c.hwnd);
        std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(c.hwnd, title.data(), length + 1);
        title.resize(static_cast<std::size_t>(length));
        return title;
    }
    switch (c.kind) {
    case Kind::Label: {
        const std::wstring text = spoken(c.text, true), hint = hintPart(c.hint, true);
        if (!(c.style & ShowHint) || hint.empty()) return text;
        return text.empty() ? hint : text + L' ' + hint;
    }
    case Kind::RadioGroup: return spoken(c.text, true);
    case Kind::Panel:
        if (!isPanelButton(c)) return {};
        return (c.style & NamedByHint) ? hintPart(c.hint, true) : simplified(spoken(c.text, true));
    case Kind::Image:
    case Kind::ProgressBar:
    case Kind::Button: return {};
    }
    return {};
}

LONG roleOf(const ControlImpl& c) {
    if (!c.parent) return c.window->dialog ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_WINDOW;
    switch (c.kind) {
    case Kind::Label: return ROLE_SYSTEM_STATICTEXT;
    case Kind::Image: return ROLE_SYSTEM_GRAPHIC;
    case Kind::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case Kind::RadioGroup: return ROLE_SYSTEM_GROUPING;
    case Kind::Panel: return isPanelButton(c) ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_PANE;
    case Kind::Button: return ROLE_SYSTEM_PUSHBUTTON;
    }
    return ROLE_SYSTEM_CLIENT;
}

LONG accessibleState(const ControlImpl& c) {
    LONG state = 0;
    if (!showing(c)) state |= STATE_SYSTEM_INVISIBLE;
    if (isPanelButton(c) && !c.enabled) state |= STATE_SYSTEM_UNAVAILABLE;
    if ((c.style & Toggle) && c.checked) state |= STATE_SYSTEM_CHECKED | STATE_SYSTEM_PRESSED;
    if (c.kind == Kind::Label) state |= STATE_SYSTEM_READONLY;
    return state;
}

// The parts of a surface a reader reaches by child id, 1 first: the controls on it in table order,
// then a radio group's items, then the window's announcement.
struct Part {
    ControlImpl* control = nullptr; // a control on the surface
    int item = -1;                  // a radio item
    bool announcement = false;
};

std::vector<Part> partsOf(ControlImpl& surface) {
    std::vector<Part> parts;
    for (ControlImpl* child : surface.children)
        parts.push_back({child});
    for (int i = 0; i < static_cast<int>(surface.items.size()); ++i)
        parts.push_back({nullptr, i});
    if (!surface.parent) parts.push_back({nullptr, -1, true});
    return parts;
}

LONG childIdOf(const ControlImpl& control) {
    if (!control.parent) return CHILDID_SELF;
    const auto& siblings = control.parent->children;
    const auto at = std::find(siblings.begin(), siblings.end(), &control);
    return static_cast<LONG>(at - siblings.begin()) + 1;
}

// A radio item's child id on its group: after the controls on the group, in item order.
LONG itemIdOf(const ControlImpl& group, int item) {
    return static_cast<LONG>(group.children.size()) + item + 1;
}

bool hasFocus(const ControlImpl& surface) {
    return surface.hwnd && GetFocus() == surface.hwnd;
}

HRESULT giveString(const std::wstring& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class SurfaceAccessible final : public IAccessible {
public:
    SurfaceAccessible(ControlImpl& surface) : m_hwnd(surface.hwnd), m_surface(&surface) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&m_references));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: readers call the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        ControlImpl* surface = alive();
        if (!surface) return E_FAIL;
        if (surface->parent) {
            ControlImpl* above = surface->parent->hwnd ? surface->parent : nullptr;
            if (!above) return E_FAIL;
            *parent = new SurfaceAccessible(*above);
            return S_OK;
        }
        return AccessibleObjectFromWindow(m_hwnd, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        ControlImpl* surface = alive();
        *count = surface ? static_cast<LONG>(partsOf(*surface).size()) : 0;
        return surface ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        if (!part.control || !part.control->hwnd) return S_FALSE; // an element this object answers for
        // The program's own surfaces are answered in the process; the system's button by the system.
        if (part.control->kind != Kind::Button) {
            *out = new SurfaceAccessible(*part.control);
            return S_OK;
        }
        return AccessibleObjectFromWindow(part.control->hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IDispatch,
                                          reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        if (part.announcement) return giveString(spoken(m_surface->window->announcement, false), name);
        if (part.item >= 0)
            return giveString(spoken(m_surface->items[static_cast<std::size_t>(part.item)], true), name);
        return giveString(nameOf(*part.control), name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        if (!part.control || part.control->kind != Kind::ProgressBar) return giveString({}, value);
        return giveString(std::to_wstring(part.control->position) + L"%", value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        const ControlImpl* c = part.control;
        const bool described = c && (isPanelButton(*c) || (c->style & ShowHint));
        return giveString(described ? hintPart(c->hint, false) : std::wstring(), description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = part.announcement ? ROLE_SYSTEM_ALERT
                     : part.item >= 0  ? ROLE_SYSTEM_RADIOBUTTON
                                       : roleOf(*part.control);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        state->vt = VT_I4;
        if (part.announcement)
            state->lVal = STATE_SYSTEM_READONLY |
                          (m_surface->window->announcement.empty() ? STATE_SYSTEM_INVISIBLE : 0);
        else if (part.item >= 0)
            state->lVal =
                accessibleState(*m_surface) | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE |
                (part.item == m_surface->itemIndex ? STATE_SYSTEM_CHECKED | STATE_SYSTEM_SELECTED : 0) |
                (part.item == m_surface->itemIndex && hasFocus(*m_surface) ? STATE_SYSTEM_FOCUSED : 0);
        else
            state->lVal = accessibleState(*part.control);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return giveString({}, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override {
        return giveString({}, shortcut);
    }
    // A focused radio group answers with its selected item, which is what the arrow keys move.
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        focus->vt = VT_EMPTY;
        ControlImpl* surface = alive();
        if (!surface || !hasFocus(*surface)) return S_FALSE;
        focus->vt = VT_I4;
        focus->lVal = surface->itemIndex >= 0 ? itemIdOf(*surface, surface->itemIndex) : CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        selection->vt = VT_EMPTY;
        ControlImpl* surface = alive();
        if (!surface || surface->items.empty() || surface->itemIndex < 0) return S_FALSE;
        selection->vt = VT_I4;
        selection->lVal = itemIdOf(*surface, surface->itemIndex);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        if (part.item >= 0) return giveString(L"選択", action);
        return giveString(part.control && isPanelButton(*part.control) ? L"押す" : L"", action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        RECT r{};
        if (part.control && part.control->hwnd) {
            GetWindowRect(part.control->hwnd, &r);
        } else {
            if (part.control) r = part.control->rectOnParent();
            if (part.item >= 0) r = m_surface->itemRect(part.item);
            MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        }
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override {
        if (end) end->vt = VT_EMPTY;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        hit->vt = VT_EMPTY;
        ControlImpl* surface = alive();
        if (!surface) return E_FAIL;
        POINT p{x, y};
        ScreenToClient(m_hwnd, &p);
        RECT client{};
        GetClientRect(m_hwnd, &client);
        if (!PtInRect(&client, p)) return S_FALSE;
        ControlImpl* on = hitOnSurface(*surface, p);
        hit->vt = VT_I4;
        hit->lVal = on == surface ? CHILDID_SELF : childIdOf(*on);
        return S_OK;
    }
    // A press is a click: it runs only on a shown, enabled button, as the click would.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        Part part;
        if (!find(child, part)) return E_INVALIDARG;
        if (part.item >= 0) {
            if (!showing(*m_surface)) return S_FALSE;
            m_surface->itemIndex = part.item;
            m_surface->invalidate();
            accessibleItemChanged(*m_surface);
            return S_OK;
        }
        ControlImpl* c = part.control;
        if (!c || !isPanelButton(*c)) return DISP_E_MEMBERNOTFOUND;
        if (c->enabled && showing(*c)) c->clickHandler();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // The surface, while its window still belongs to it: a reader may hold this object longer.
    ControlImpl* alive() const {
        if (!IsWindow(m_hwnd)) return nullptr;
        return reinterpret_cast<ControlImpl*>(GetWindowLongPtrW(m_hwnd, GWLP_USERDATA)) == m_surface
                   ? m_surface
                   : nullptr;
    }
    bool find(const VARIANT& child, Part& part) const {
        ControlImpl* surface = alive();
        if (!surface || child.vt != VT_I4) return false;
        if (child.lVal == CHILDID_SELF) {
            part = {surface};
            return true;
        }
        const auto parts = partsOf(*surface);
        if (child.lVal < 1 || child.lVal > static_cast<LONG>(parts.size())) return false;
        part = parts[static_cast<std::size_t>(child.lVal - 1)];
        return true;
    }

    LONG m_references = 1;
    HWND m_hwnd;
    ControlImpl* m_surface;
};

void notify(const ControlImpl& control, DWORD event) {
    const ControlImpl* surface = control.hwnd ? &control : control.parent;
    if (!surface || !surface->hwnd) return;
    NotifyWinEvent(event, surface->hwnd, OBJID_CLIENT, control.hwnd ? CHILDID_SELF : childIdOf(control));
}

} // namespace

IAccessible* createAccessible(ControlImpl& surface) {
    return new SurfaceAccessible(surface);
}

LRESULT accessibleObject(ControlImpl& surface, WPARAM wParam) {
    // The object is handed over through the component system, which the thread must have joined;
    // a second call only counts up.
    static const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)joined;
    IAccessible* object = createAccessible(surface);
    const LRESULT result = LresultFromObject(IID_IAccessible, wParam, object);
    object->Release();
    return result;
}

void accessibleShownChanged(ControlImpl& control) {
    notify(control, control.shown ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE);
}
void accessibleTextChanged(ControlImpl& control) {
    notify(control, EVENT_OBJECT_NAMECHANGE);
}
void stateChanged(ControlImpl& control) {
    notify(control, EVENT_OBJECT_STATECHANGE);
}

// The group draws its own items, so the system raises no event for them: a reader hears the item
// the arrow keys reach only from these.
void accessibleItemChanged(ControlImpl& group) {
    if (!group.hwnd || group.itemIndex < 0) return;
    const LONG item = itemIdOf(group, group.itemIndex);
    NotifyWinEvent(EVENT_OBJECT_SELECTION, group.hwnd, OBJID_CLIENT, item);
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, group.hwnd, OBJID_CLIENT, item);
    if (hasFocus(group)) NotifyWinEvent(EVENT_OBJECT_FOCUS, group.hwnd, OBJID_CLIENT, item);
}

void Window::announce(std::string_view utf8) {
    WindowImpl& window = impl();
    window.announcement = std::string(utf8);
    const LONG id = static_cast<LONG>(partsOf(window.root).size());
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window.hwnd, OBJID_CLIENT, id);
    NotifyWinEvent(EVENT_SYSTEM_ALERT, window.hwnd, OBJID_CLIENT, id);
}

} // namespace platform
