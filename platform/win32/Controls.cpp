// The self-drawn surfaces: flat panels, opaque self-sizing labels, pictures and the radio group, with
// the mouse, cursor and tool-tip handling every surface shares. Labels and pictures own no native
// window: their parent paints them and finds them under the mouse.

#include "platform/win32/Internal.h"

#include <commctrl.h>

#include <algorithm>

namespace platform {

namespace {

HDC measuringDc() {
    static HDC dc = CreateCompatibleDC(nullptr);
    return dc;
}

Measure measureIn(const ControlImpl& c) {
    return [&c](std::u32string_view text) { return static_cast<double>(textExtent(c, widen(encode(text)))); };
}

std::vector<LabelLine> labelLines(const ControlImpl& c) {
    return platform::labelLines(c.text, (c.style & WordWrap) != 0, c.designWidth, measureIn(c));
}

// The system underlines the character after a lone "&" and shows "&&" as one.
std::wstring withMarks(const LabelLine& line) {
    std::u32string marked;
    for (std::size_t i = 0; i < line.text.size(); ++i) {
        if (static_cast<int>(i) == line.underline || line.text[i] == U'&') marked += U'&';
        marked += line.text[i];
    }
    return widen(encode(marked));
}

void fill(HDC dc, const RECT& r, Colour colour) {
    SetDCBrushColor(dc, toColorRef(colour));
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// Runs draw on dc with the paint's scale set aside, so that it copies device pixels as they are,
// then puts the scale back.
template <class Draw> void inDevicePixels(HDC dc, Draw draw) {
    const int saved = SaveDC(dc);
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    draw();
    RestoreDC(dc, saved);
}

// One ring of a bevel, a design pixel wide; the bottom and right colour takes the two corners where
// the colours meet, as the system's bevels do.
void ring(HDC dc, const RECT& r, Colour topLeft, Colour bottomRight) {
    fill(dc, {r.left, r.top, r.right, r.top + 1}, topLeft);
    fill(dc, {r.left, r.top, r.left + 1, r.bottom}, topLeft);
    fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    fill(dc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

// The lowered outer and raised inner bevel of DrawEdge, drawn with fills: DrawEdge draws its lines
// with pens one device pixel wide whatever the scale.
void etchedEdge(HDC dc, RECT r) {
    const auto shadow = static_cast<Colour>(GetSysColor(COLOR_BTNSHADOW));
    const auto light = static_cast<Colour>(GetSysColor(COLOR_BTNHIGHLIGHT));
    ring(dc, r, shadow, light);
    InflateRect(&r, -1, -1);
    ring(dc, r, light, shadow);
}

void paintPanel(ControlImpl& c, HDC dc) {
    RECT r{0, 0, c.width, c.height};
    fill(dc, r, c.backgroundColour());
    if (c.style & Sunken) etchedEdge(dc, r);
    if (c.text.empty() || !c.parent) return;
    SelectObject(dc, c.hfont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, toColorRef(c.font.colour));
    const std::wstring caption = toDisplay(c.text);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// A line is as high as the font's character height; the baseline splits it as the font's own
// ascent and descent do.
void paintLabel(ControlImpl& c, HDC dc, int x, int y) {
    if (!(c.style & Transparent)) fill(dc, {x, y, x + c.width, y + c.height}, c.backgroundColour());
    SelectObject(dc, c.hfont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, toColorRef(c.font.colour));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int lineHeight = c.font.height;
    const int total = tm.tmAscent + tm.tmDescent;
    const int baseline = total > 0 ? lineHeight * tm.tmAscent / total : lineHeight;
    const auto lines = labelLines(c);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineTop = y + static_cast<int>(i) * lineHeight + baseline - tm.tmAscent;
        RECT r{x, lineTop, x + c.width, lineTop + tm.tmHeight};
        const std::wstring text = withMarks(lines[i]);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_SINGLELINE | DT_NOCLIP | DT_LEFT | DT_TOP);
    }
}

// A picture's pixels, those left out black, as a 32-bit bitmap for a device context like dc.
HBITMAP pictureBitmap(HDC dc, const Picture& p, const std::vector<bool>& clear) {
    void* bits = nullptr;
    HBITMAP bitmap = createDib(dc, p.width, p.height, &bits);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < p.pixels.size(); ++i) {
        const Colour v = p.pixels[i];
        out[i] = clear[i] ? 0 : (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
    }
    return bitmap;
}

// Icons are drawn at their own size at the top-left corner without the pixels their mask leaves out;
// a bitmap is drawn at its size or stretched to the box, its bottom-left colour left out when the
// box is transparent. The stretch is done in device pixels, nearest neighbour, so that at factor f
// each picture pixel is a whole f×f block however the driver would round a scaled copy.
void paintImage(ControlImpl& c, HDC dc, int x, int y) {
    const Picture& p = c.picture;
    if (p.width == 0) return;
    const int f = c.factor();
    const bool stretch = (c.style & Stretch) && !p.isIcon();
    const int w = (stretch ? c.width : p.width) * f, h = (stretch ? c.height : p.height) * f;
    std::vector<bool> clear(p.pixels.size(), false);
    if (p.isIcon()) {
        clear = p.mask;
    } else if (c.style & Transparent) {
        const Colour key = p.pixels[static_cast<std::size_t>((p.height - 1) * p.width)];
        for (std::size_t i = 0; i < clear.size(); ++i)
            clear[i] = p.pixels[i] == key;
    }
    const bool masked = std::find(clear.begin(), clear.end(), true) != clear.end();
    inDevicePixels(dc, [&] {
        SetStretchBltMode(dc, COLORONCOLOR);
        HDC source = CreateCompatibleDC(dc);
        if (masked) {
            // White where the picture is left out, black where it is drawn: what lies under the box
            // is kept there and cleared here, then the picture, black where left out, is laid over it.
            Picture mask = p;
            for (std::size_t i = 0; i < clear.size(); ++i)
                mask.pixels[i] = clear[i] ? 0xFFFFFF : 0;
            HBITMAP maskBitmap = pictureBitmap(dc, mask, std::vector<bool>(clear.size(), false));
            HGDIOBJ old = SelectObject(source, maskBitmap);
            StretchBlt(dc, x * f, y * f, w, h, source, 0, 0, p.width, p.height, SRCAND);
            SelectObject(source, old);
            DeleteObject(maskBitmap);
        }
        HBITMAP bitmap = pictureBitmap(dc, p, clear);
        HGDIOBJ old = SelectObject(source, bitmap);
        StretchBlt(dc, x * f, y * f, w, h, source, 0, 0, p.width, p.height, masked ? SRCPAINT : SRCCOPY);
        SelectObject(source, old);
        DeleteObject(bitmap);
        DeleteDC(source);
    });
}

// The classic smooth bar: a sunken well in the button face, filled from the left.
void paintProgress(ControlImpl& c, HDC dc) {
    const int r = c.width - 1, b = c.height - 1;
    fill(dc, {0, 0, c.width, c.height}, clBtnFace);
    const Colour shadow = 0x808080, light = 0xFFFFFF;
    fill(dc, {0, 0, r + 1, 1}, shadow);
    fill(dc, {0, 0, 1, b + 1}, shadow);
    fill(dc, {r, 1, r + 1, b + 1}, light);
    fill(dc, {1, b, r + 1, b + 1}, light);
    const int filled = (c.width - 2) * c.position / 100;
    fill(dc, {1, 1, 1 + filled, c.height - 1}, 0x800000);
}

constexpr int RadioMark = 13;
constexpr int RadioTextGap = 4;

// The system's own mark at the design's size, enlarged as a picture is: drawn at the factor's size,
// its rings would stay one device pixel thin.
void paintRadioMark(HDC dc, const RECT& mark, bool checked, Colour background, int f) {
    HDC own = CreateCompatibleDC(dc);
    void* bits = nullptr;
    HBITMAP bitmap = createDib(dc, RadioMark, RadioMark, &bits);
    HGDIOBJ old = SelectObject(own, bitmap);
    RECT r{0, 0, RadioMark, RadioMark};
    fill(own, r, background);
    DrawFrameControl(own, &r, DFC_BUTTON, DFCS_BUTTONRADIO | (checked ? DFCS_CHECKED : 0));
    inDevicePixels(dc, [&] {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, mark.left * f, mark.top * f, RadioMark * f, RadioMark * f, own, 0, 0, RadioMark,
                   RadioMark, SRCCOPY);
    });
    SelectObject(own, old);
    DeleteObject(bitmap);
    DeleteDC(own);
}

RECT itemTextRect(const ControlImpl& c, int index) {
    RECT r = c.itemRect(index);
    r.left += RadioMark + RadioTextGap;
    return r;
}

// The dotted frame of DrawFocusRect, inverting every other pixel of its edge, each dot a design
// pixel: the system's dots stay one device pixel under the paint's scale.
void focusFrame(HDC dc, const RECT& r) {
    const auto dot = [dc](int x, int y) {
        if ((x + y) % 2 == 0) PatBlt(dc, x, y, 1, 1, DSTINVERT);
    };
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        dot(r.right - 1, y);
    }
}

// The classic group box: an etched frame through the middle of the caption line, the caption on the
// group's colour over it, and one column of radio buttons.
void paintRadioGroup(ControlImpl& c, HDC dc) {
    RECT r{0, 0, c.width, c.height};
    const Colour background = c.backgroundColour();
    fill(dc, r, background);
    etchedEdge(dc, {0, c.font.height / 2, c.width, c.height});
    SelectObject(dc, c.hfont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, toColorRef(c.font.colour));
    const std::wstring caption = toDisplay(c.text);
    RECT captionRect{8, 0, 8 + textExtent(c, caption) + 4, c.font.height};
    fill(dc, captionRect, background);
    captionRect.left += 2;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &captionRect,
              DT_SINGLELINE | DT_NOPREFIX);
    for (int i = 0; i < static_cast<int>(c.items.size()); ++i) {
        const RECT item = c.itemRect(i);
        const int markTop = item.top + (item.bottom - item.top - RadioMark) / 2;
        RECT mark{item.left, markTop, item.left + RadioMark, markTop + RadioMark};
        paintRadioMark(dc, mark, i == c.itemIndex, background, c.factor());
        RECT text = itemTextRect(c, i);
        const std::wstring label = toDisplay(c.items[static_cast<std::size_t>(i)]);
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        if (i == c.itemIndex && GetFocus() == c.hwnd) {
            RECT focus{text.left - 1, text.top + 1, text.left + textExtent(c, label) + 1, text.bottom - 1};
            focusFrame(dc, focus);
        }
    }
}

MouseButton buttonOf(UINT message) {
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK: return MouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK: return MouseButton::Middle;
    default: return MouseButton::Left;
    }
}

// A point on a surface in program pixels; one left of or above the surface stays outside it.
POINT toProgram(const ControlImpl& c, POINT device) {
    const int f = c.factor();
    const auto down = [f](LONG v) { return v >= 0 ? v / f : (v - f + 1) / f; };
    return {down(device.x), down(device.y)};
}

// The mouse's point of a message.
POINT pointOf(const ControlImpl& c, LPARAM lParam) {
    return toProgram(c, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
}

POINT cursorOn(const ControlImpl& c, HWND surface) {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(surface, &p);
    return toProgram(c, p);
}

RECT rectOnSurface(const ControlImpl& c) {
    return c.windowed() ? RECT{0, 0, c.width, c.height} : c.rectOnParent();
}

// The system counts the presses of a quick series as a press and a double-click press in turn; the
// pressed surface captures the mouse until every button is up.
void mouseDown(ControlImpl& surface, UINT message, POINT p) {
    ControlImpl* target = hitOnSurface(surface, p);
    const bool doubleClick =
        message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
    SetCapture(surface.hwnd);
    mousePressed(*target, buttonOf(message), doubleClick ? 2 : 1,
                 target->kind == Kind::RadioGroup ? target->itemAt(p) : -1);
}

void mouseUp(ControlImpl& surface, UINT message, WPARAM held, POINT p) {
    const bool stillHeld = (held & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    if (!stillHeld && GetCapture() == surface.hwnd) ReleaseCapture();
    ControlImpl* owner = mouseOwner();
    bool inside = false;
    int item = -1;
    if (owner) {
        const RECT r = rectOnSurface(*owner);
        inside = PtInRect(&r, p) != FALSE;
        if (owner->kind == Kind::RadioGroup) item = owner->itemAt(p);
    }
    mouseReleased(buttonOf(message), inside, item, stillHeld, hitOnSurface(surface, p));
}

void setCursorAt(ControlImpl& surface) {
    const ControlImpl* hit = hitOnSurface(surface, cursorOn(surface, surface.hwnd));
    SetCursor(LoadCursorW(nullptr, hit->cursor == Cursor::HandPoint ? IDC_HAND : IDC_ARROW));
}

// The tip names the control under the pointer when it is about to show.
void fillToolTip(WindowImpl& window, NMTTDISPINFOW& info) {
    static std::wstring text;
    text.clear();
    HWND tool = reinterpret_cast<HWND>(info.hdr.idFrom);
    if (ControlImpl* surface = window.fromHwnd(tool)) {
        const ControlImpl* hit = hitOnSurface(*surface, cursorOn(*surface, tool));
        if (hit->style & ShowHint) text = hit->shortHint();
    }
    info.lpszText = text.data();
}

// The window maximised covers the screen with its client area; its frame lies off the edges.
void fillMinMaxInfo(HWND hwnd, MINMAXINFO& info) {
    const RECT r = outerRect({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                             static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)),
                             static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)), dpiOf(hwnd));
    info.ptMaxPosition = {r.left, r.top};
    info.ptMaxSize = {r.right - r.left, r.bottom - r.top};
    info.ptMaxTrackSize.x = std::max(info.ptMaxTrackSize.x, info.ptMaxSize.x);
    info.ptMaxTrackSize.y = std::max(info.ptMaxTrackSize.y, info.ptMaxSize.y);
}

LRESULT rootMessage(ControlImpl& root, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    WindowImpl& window = *root.window;
    handled = true;
    switch (message) {
    case WM_CLOSE: closeRequested(window); return 0;
    case WM_SIZE: window.layoutAligned(); return 0;
    case WM_DPICHANGED:
        window.rescale(factorForDpi(HIWORD(wParam)), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_GETMINMAXINFO: fillMinMaxInfo(root.hwnd, *reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(window.focusTarget());
        return 0;
    case WM_ENDSESSION:
        if (wParam) win32::endOfSession();
        return 0;
    case WM_COMMAND:
        if (win32::isF1Command(wParam)) {
            f1Pressed();
        } else if (HIWORD(wParam) == BN_CLICKED) {
            ControlImpl* c = window.find(LOWORD(wParam));
            if (c && c->enabled && c->clickHandler) c->clickHandler();
        }
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW) fillToolTip(window, *reinterpret_cast<NMTTDISPINFOW*>(lParam));
        return 0;
    }
    default: handled = false; return 0;
    }
}

void radioKey(ControlImpl& c, WPARAM key) {
    switch (key) {
    case VK_LEFT: platform::radioKey(*c.window, Arrow::Left); break;
    case VK_RIGHT: platform::radioKey(*c.window, Arrow::Right); break;
    case VK_UP: platform::radioKey(*c.window, Arrow::Up); break;
    case VK_DOWN: platform::radioKey(*c.window, Arrow::Down); break;
    default: break;
    }
}

} // namespace

int ControlImpl::factor() const {
    return window ? window->factor : 1;
}

Colour ControlImpl::backgroundColour() {
    return backgroundOf(*this);
}

std::wstring ControlImpl::shortHint() const {
    return widen(platform::shortHint(hint));
}

void ControlImpl::invalidate() {
    if (hwnd) {
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if (parent && parent->hwnd) {
        drawnAt = rectOnParent();
        const RECT r = scaled(drawnAt, factor());
        InvalidateRect(parent->hwnd, &r, FALSE);
    }
}

// A control drawn on its parent leaves its old place to be drawn again as well as its new one.
void ControlImpl::place() {
    const int f = factor();
    if (hwnd) {
        SetWindowPos(hwnd, nullptr, left * f, top * f, width * f, height * f, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    const RECT before = scaled(drawnAt, f);
    if (parent && parent->hwnd) InvalidateRect(parent->hwnd, &before, FALSE);
    invalidate();
}

// Measured with the font the text is drawn with, f times the design's height: its glyphs' hinting
// makes it a device pixel or two wider than f times the design font's width, which a label sized at
// the design's would cut off.
int textExtent(const ControlImpl& control, std::wstring_view text) {
    const int f = control.factor();
    HDC dc = measuringDc();
    SelectObject(dc, fontFor(control.font, f));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return (size.cx + f - 1) / f;
}

void ControlImpl::resizeToText() {
    if (kind != Kind::Label) return;
    const auto [w, h] =
        labelSize(labelLines(*this), (style & WordWrap) != 0, designWidth, font.height, measureIn(*this));
    width = w;
    height = h;
    place();
}

HBITMAP createDib(HDC dc, int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first, as Picture and the test images hold them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

HICON makeIcon(const Picture& picture) {
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour = createDib(screen, picture.width, picture.height, &bits);
    ReleaseDC(nullptr, screen);
    auto* out = static_cast<std::uint32_t*>(bits);
    const int rowBytes = (picture.width + 15) / 16 * 2;
    std::vector<BYTE> mask(static_cast<std::size_t>(rowBytes * picture.height), 0);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const auto i = static_cast<std::size_t>(y * picture.width + x);
            const Colour v = picture.pixels[i];
            const bool clear = picture.isIcon() && picture.mask[i];
            out[i] = clear ? 0 : ((v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF));
            if (clear)
                mask[static_cast<std::size_t>(y * rowBytes + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    HBITMAP maskBitmap = CreateBitmap(picture.width, picture.height, 1, 1, mask.data());
    ICONINFO icon{TRUE, 0, 0, maskBitmap, colour};
    HICON result = CreateIconIndirect(&icon);
    DeleteObject(maskBitmap);
    DeleteObject(colour);
    return result;
}

ControlImpl* hitOnSurface(ControlImpl& surface, POINT p) {
    for (auto it = surface.children.rbegin(); it != surface.children.rend(); ++it) {
        ControlImpl* c = *it;
        const RECT r = c->rectOnParent();
        if (!c->windowed() && c->shown && PtInRect(&r, p)) return c;
    }
    return &surface;
}

HWND surfaceAt(WindowImpl& window, POINT clientPoint, POINT& pointInSurface) {
    const int f = window.factor;
    HWND current = window.hwnd;
    POINT p{clientPoint.x * f, clientPoint.y * f};
    while (true) {
        HWND child = ChildWindowFromPointEx(current, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == current) break;
        MapWindowPoints(current, child, &p, 1);
        current = child;
    }
    pointInSurface = {p.x / f, p.y / f};
    return current;
}

ControlImpl* controlAtPoint(WindowImpl& window, POINT clientPoint) {
    POINT p{};
    HWND h = surfaceAt(window, clientPoint, p);
    ControlImpl* surface = window.fromHwnd(h);
    return surface ? hitOnSurface(*surface, p) : nullptr;
}

void paintSurface(ControlImpl& surface, HDC dc) {
    switch (surface.kind) {
    case Kind::RadioGroup: paintRadioGroup(surface, dc); break;
    case Kind::ProgressBar: paintProgress(surface, dc); break;
    case Kind::Panel:
    case Kind::Label:
    case Kind::Image:
    case Kind::Button: paintPanel(surface, dc); break;
    }
    for (ControlImpl* c : surface.children) {
        if (c->windowed() || !c->shown) continue;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, c->left, c->top, c->left + c->width, c->top + c->height);
        if (c->kind == Kind::Label)
            paintLabel(*c, dc, c->left, c->top);
        else
            paintImage(*c, dc, c->left, c->top);
        RestoreDC(dc, saved);
    }
}

namespace {
// A system control clips its drawing to its client rectangle taken as device coordinates, so it
// draws into a device context of its own, copied into place afterwards. It draws in device pixels,
// at the size of the font it was given.
void printNative(const ControlImpl& c, HDC dc) {
    const int width = c.width * c.factor(), height = c.height * c.factor();
    HDC own = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(own, bitmap);
    SendMessageW(c.hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(own), PRF_CLIENT | PRF_ERASEBKGND);
    inDevicePixels(dc, [&] { BitBlt(dc, 0, 0, width, height, own, 0, 0, SRCCOPY); });
    SelectObject(own, old);
    DeleteObject(bitmap);
    DeleteDC(own);
}

// The viewport's origin moves in device pixels.
void renderScaled(ControlImpl& surface, HDC dc) {
    paintSurface(surface, dc);
    const int f = surface.factor();
    for (ControlImpl* c : surface.children) {
        if (!c->windowed() || !c->shown) continue;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, c->left, c->top, c->left + c->width, c->top + c->height);
        OffsetViewportOrgEx(dc, c->left * f, c->top * f, nullptr);
        if (c->kind != Kind::Button)
            renderScaled(*c, dc);
        else
            printNative(*c, dc);
        RestoreDC(dc, saved);
    }
}
} // namespace

void renderTree(ControlImpl& surface, HDC dc) {
    const int saved = SaveDC(dc);
    scaleDrawing(dc, surface.factor());
    renderScaled(surface, dc);
    RestoreDC(dc, saved);
}

LRESULT CALLBACK surfaceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* c = reinterpret_cast<ControlImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (!c->parent) {
        bool handled = false;
        const LRESULT result = rootMessage(*c, message, wParam, lParam, handled);
        if (handled) return result;
    }
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        // Drawn off the screen first, so a large character never flickers.
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        const RECT& r = ps.rcPaint;
        if (r.right > r.left && r.bottom > r.top) {
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, r.right - r.left, r.bottom - r.top);
            HGDIOBJ old = SelectObject(memory, bitmap);
            // The device pixels right and below the last whole program pixel stay black.
            PatBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, BLACKNESS);
            const int saved = SaveDC(memory);
            SetViewportOrgEx(memory, -r.left, -r.top, nullptr);
            scaleDrawing(memory, c->factor());
            paintSurface(*c, memory);
            RestoreDC(memory, saved);
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const int saved = SaveDC(dc);
        scaleDrawing(dc, c->factor());
        paintSurface(*c, dc);
        RestoreDC(dc, saved);
        return 0;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) != hwnd || LOWORD(lParam) != HTCLIENT) return FALSE;
        setCursorAt(*c);
        return TRUE;
    case WM_MOUSEMOVE: {
        ControlImpl* hit = hitOnSurface(*c, pointOf(*c, lParam));
        if (hit != c->window->hovered) {
            c->window->hovered = hit;
            SendMessageW(c->window->toolTip, TTM_POP, 0, 0);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: mouseDown(*c, message, pointOf(*c, lParam)); return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: mouseUp(*c, message, wParam, pointOf(*c, lParam)); return 0;
    // The side buttons of a five-button mouse reach no handler; taken here, they make no
    // application command either.
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK: return TRUE;
    case WM_SETFOCUS:
        if (c->kind == Kind::RadioGroup) {
            c->invalidate();
            accessibleItemChanged(*c);
        }
        return 0;
    case WM_KILLFOCUS:
        if (c->kind == Kind::RadioGroup) c->invalidate();
        return 0;
    case WM_KEYDOWN:
        if (c->kind == Kind::RadioGroup) radioKey(*c, wParam);
        return 0;
    case WM_GETOBJECT:
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT))
            return accessibleObject(*c, wParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void registerClasses() {
    for (const wchar_t* name : {L"TapirunForm", L"TapirunPanel", L"TapirunRadioGroup", L"TapirunProgress"}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = surfaceProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        // The program file's own icon, made from the cat-paw drawing.
        wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }
}

} // namespace platform
