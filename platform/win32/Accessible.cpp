// What a Windows screen reader learns of the windows, through Active Accessibility: every surface
// with a native window answers WM_GETOBJECT with an object that names and describes it and the
// labels, pictures and radio items it paints itself, which have no window a reader could ask, as
// readerView describes them. Panels that only arrange and unnamed pictures are left out: what lies
// on them is reached from the nearest surface above. The panel-buttons and radio items take the
// reader's default action as a click would.
//
// Announcements go to one more element of each window, an alert whose name is the line to speak,
// raised with the system's alert event, which readers present without moving their focus.

#include "platform/core/ScreenReader.h"
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

bool isButton(const ControlImpl& c) {
    return c.parent && readerView(c).role == ReaderRole::Button;
}

// A panel that only arranges, or an unnamed picture: left out, what lies on it in its place.
bool isLayout(const ControlImpl& c) {
    return c.parent && readerView(c).role == ReaderRole::Layout;
}

bool showing(const ControlImpl& c) {
    return c.shownOnScreen() && IsWindowVisible(c.window->hwnd) != FALSE;
}

std::wstring nameOf(const ControlImpl& c) {
    if (!c.parent) {
        const int length = GetWindowTextLengthW(c.hwnd);
        std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(c.hwnd, title.data(), length + 1);
        title.resize(static_cast<std::size_t>(length));
        return title;
    }
    return widen(readerView(c).name);
}

LONG roleOf(const ControlImpl& c) {
    if (!c.parent) return c.window->dialog ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_WINDOW;
    switch (readerView(c).role) {
    case ReaderRole::Text: return ROLE_SYSTEM_STATICTEXT;
    case ReaderRole::Picture: return ROLE_SYSTEM_GRAPHIC;
    case ReaderRole::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case ReaderRole::RadioGroup: return ROLE_SYSTEM_GROUPING;
    case ReaderRole::Button:
    case ReaderRole::SystemButton: return ROLE_SYSTEM_PUSHBUTTON;
    case ReaderRole::Layout: return ROLE_SYSTEM_PANE;
    }
    return ROLE_SYSTEM_CLIENT;
}

LONG accessibleState(const ControlImpl& c) {
    const ReaderView view = readerView(c);
    LONG state = 0;
    if (!showing(c)) state |= STATE_SYSTEM_INVISIBLE;
    if (view.disabled) state |= STATE_SYSTEM_UNAVAILABLE;
    if (view.checked) state |= STATE_SYSTEM_CHECKED | STATE_SYSTEM_PRESSED;
    if (view.role == ReaderRole::Text) state |= STATE_SYSTEM_READONLY;
    return state;
}

// The parts of a surface a reader reaches by child id, 1 first: the controls on it in table order,
// those on a layout panel in the panel's place, then a radio group's items, then the window's
// announcement.
struct Part {
    ControlImpl* control = nullptr; // a control on the surface
    int item = -1;                  // a radio item
    bool announcement = false;
};

void addControls(ControlImpl& on, std::vector<Part>& parts) {
    for (ControlImpl* child : on.children) {
        if (isLayout(*child))
            addControls(*child, parts);
        else
            parts.push_back({child});
    }
}

std::vector<Part> partsOf(ControlImpl& surface) {
    std::vector<Part> parts;
    addControls(surface, parts);
    for (int i = 0; i < static_cast<int>(surface.items.size()); ++i)
        parts.push_back({nullptr, i});
    if (!surface.parent) parts.push_back({nullptr, -1, true});
    return parts;
}

// The surface a reader finds a control on: the nearest one above it that is not left out.
ControlImpl* readerParent(const ControlImpl& control) {
    ControlImpl* at = control.parent;
    while (at->parent && isLayout(*at))
        at = at->parent;
    return at;
}

// A control's child id among the parts of a surface, or CHILDID_SELF where it is none of them.
LONG childIdOn(ControlImpl& surface, const ControlImpl& control) {
    const auto parts = partsOf(surface);
    const auto at =
        std::find_if(parts.begin(), parts.end(), [&](const Part& p) { return p.control == &control; });
    return at == parts.end() ? CHILDID_SELF : static_cast<LONG>(at - parts.begin()) + 1;
}

// A radio item's child id on its group: after the controls on the group, in item order.
LONG itemIdOf(ControlImpl& group, int item) {
    return static_cast<LONG>(partsOf(group).size() - group.items.size()) + item + 1;
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
            ControlImpl* above = readerParent(*surface);
            if (!above->hwnd) return E_FAIL;
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
        return giveString(part.control && part.control->parent ? widen(readerView(*part.control).description)
                                                               : std::wstring(),
                          description);
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
        return giveString(part.control && isButton(*part.control) ? L"押す" : L"", action);
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
            // A painted control lies on its own parent, which may be a layout panel inside this surface.
            HWND on = part.control ? part.control->parent->hwnd : m_hwnd;
            if (part.control) r = part.control->rectOnParent();
            if (part.item >= 0) r = m_surface->itemRect(part.item);
            r = scaled(r, m_surface->factor());
            MapWindowPoints(on, nullptr, reinterpret_cast<POINT*>(&r), 2);
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
        ControlImpl* on = hitOnSurface(*surface, {p.x / surface->factor(), p.y / surface->factor()});
        hit->vt = VT_I4;
        hit->lVal = on == surface ? CHILDID_SELF : childIdOn(*surface, *on);
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
        if (!c || !isButton(*c)) return DISP_E_MEMBERNOTFOUND;
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

void notify(ControlImpl& control, DWORD event) {
    if (control.hwnd) {
        NotifyWinEvent(event, control.hwnd, OBJID_CLIENT, CHILDID_SELF);
        return;
    }
    ControlImpl* surface = readerParent(control);
    const LONG id = childIdOn(*surface, control);
    if (surface->hwnd && id != CHILDID_SELF) NotifyWinEvent(event, surface->hwnd, OBJID_CLIENT, id);
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
void Win32Driver::stateChanged(ControlImpl& control) {
    notify(control, EVENT_OBJECT_STATECHANGE);
}
// The tool-tip asks for the hint each time it is about to show; readers ask for the description.
void accessibleHintChanged(ControlImpl& control) {
    notify(control, EVENT_OBJECT_DESCRIPTIONCHANGE);
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

// The alert is named by the line, which the window keeps for readers that ask for it later.
void Win32Driver::announce(WindowImpl& window, std::string_view utf8) {
    window.announcement = std::string(utf8);
    const LONG id = static_cast<LONG>(partsOf(window.root).size());
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window.hwnd, OBJID_CLIENT, id);
    NotifyWinEvent(EVENT_SYSTEM_ALERT, window.hwnd, OBJID_CLIENT, id);
}

} // namespace platform
