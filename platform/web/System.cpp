// Application, colours, fonts, clocks, timers, the beep and the desktop calls of a page.

#include "platform/core/Scale.h"
#include "platform/web/Internal.h"
#include "platform/web/PageRules.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {
bool g_ended = false;
} // namespace

int toCss(Colour colour) {
    return static_cast<int>(resolve(colour) & 0xFFFFFF);
}

// The classic desktop's system colours.
Colour resolve(Colour colour) {
    switch (colour) {
    case clBtnFace: return 0xC8D0D4;
    case clWindowText: return clBlack;
    default: return colour & 0xFFFFFF;
    }
}

// The page's faces map the design's names to the installed faces or the ones served with it. A
// font is named to the page once, and each character's advance in it is asked for once: a key's
// new text is then measured here, with no call into the page and no text passed.
int fontOf(const Font& font) {
    struct Known {
        std::string face;
        int height;
        bool bold;
    };
    static std::vector<Known> known;
    const Known wanted{font.face ? font.face : "ＭＳ Ｐゴシック", font.height > 0 ? font.height : 12,
                       font.bold};
    for (std::size_t i = 0; i < known.size(); ++i)
        if (known[i].face == wanted.face && known[i].height == wanted.height && known[i].bold == wanted.bold)
            return static_cast<int>(i);
    known.push_back(wanted);
    const int id = static_cast<int>(known.size() - 1);
    tr_font(id, wanted.face.c_str(), wanted.height, wanted.bold);
    return id;
}

// Whole pixels: each character as wide as its advance rounded, as the page places them.
double measure(const Font& font, std::u32string_view text) {
    static std::unordered_map<std::uint64_t, int> advances;
    const auto id = static_cast<std::uint64_t>(fontOf(font));
    int width = 0;
    for (const char32_t ch : text) {
        const auto [it, added] = advances.try_emplace(id << 32 | ch, 0);
        if (added) it->second = tr_advance(static_cast<int>(id), static_cast<int>(ch));
        width += it->second;
    }
    return width;
}

// The page's viewport stands for the screen, in the program's pixels at the core's factor for the
// page's pixel ratio (the screen's scale times the browser's zoom). The page is drawn at that factor
// from the first time the screen is asked for, and again whenever the ratio or the viewport has
// changed since: a zoom or a move to another monitor is then drawn at its new scale at once, while
// nothing of the drill notices.
Size PageDriver::screenSize() {
    static double applied = 0;
    static Size appliedScreen{};
    const double ratio = tr_device_pixel_ratio();
    const int factor = drawingFactor(ratio);
    const Size device{static_cast<int>(std::lround(tr_viewport_width() * ratio)),
                      static_cast<int>(std::lround(tr_viewport_height() * ratio))};
    const Size screen = programScreen(device, factor);
    if (ratio != applied || screen.width != appliedScreen.width || screen.height != appliedScreen.height) {
        applied = ratio;
        appliedScreen = screen;
        tr_scale(factor, screen.width, screen.height);
    }
    return screen;
}

struct Application::Impl {};

Application::Application(int&, char**) : m_impl(std::make_unique<Impl>()) {
    web::listen();
}
Application::~Application() = default;
// The page's title is its own.
void Application::setTitle(std::string_view) {}
void Application::setDesktopId(std::string_view) {}
// The page runs the loop: main's frame stays as it is while the program answers its events.
int Application::run() {
    emscripten_exit_with_live_runtime();
    return 0;
}

bool displayReachable(std::string&) {
    return true;
}

namespace {
class PageClock : public Clock {
public:
    std::uint32_t tickMs() override {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now()));
    }
    std::uint32_t highResolution() override {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now() * 1000.0));
    }
};
} // namespace

Clock& PageDriver::clock() {
    static PageClock clock;
    return clock;
}

// Read anew from the browser's language on every call.
std::string decimalSeparator() {
    const int c = tr_decimal_separator();
    if (c <= 0 || c >= 0x80) return c == 0x066B ? "\xD9\xAB" : ".";
    return std::string(1, static_cast<char>(c));
}

// A page has no taskbar, and the main window carries no caption bar to give back.
void hideTaskbar() {}
void showTaskbar() {}
void restoreWindowTitled(std::string_view) {}

// A window inside the page is reached again only through the page itself.
bool hasWindowSwitcher() {
    return false;
}

namespace {
// The page's clock and its timeouts, which call back `tapirun_timer` with the alarm's id.
class PageAlarm final : public TimerAlarm {
public:
    explicit PageAlarm(Timer::Impl& timer) : timer(timer) { all()[m_id] = this; }
    ~PageAlarm() override {
        cancel();
        all().erase(m_id);
    }
    double nowMs() override { return emscripten_get_now(); }
    void set(double delayMs) override {
        cancel();
        if (!g_ended) m_pending = tr_timer_set(m_id, std::max(0.0, delayMs));
    }
    void cancel() override {
        if (m_pending) tr_timer_clear(m_pending);
        m_pending = 0;
    }
    void goneOff() {
        m_pending = 0;
        if (!g_ended) timer.due();
    }

    static std::map<int, PageAlarm*>& all() {
        static std::map<int, PageAlarm*> alarms;
        return alarms;
    }
    Timer::Impl& timer;

private:
    static inline int s_nextId = 1;
    int m_id = s_nextId++;
    int m_pending = 0;
};
} // namespace

std::unique_ptr<TimerAlarm> PageDriver::makeTimerAlarm(Timer::Impl& timer) {
    return std::make_unique<PageAlarm>(timer);
}

namespace web {

void listen() {
    std::string names;
    std::vector<int> codes;
    for (const rules::NamedKey& key : rules::NamedKeys) {
        names.append(key.name).push_back('\n');
        codes.push_back(key.code);
    }
    tr_listen(names.c_str(), codes.data(), static_cast<int>(codes.size()), rules::KeyComposed,
              rules::KeyOther);
}

void endProgram() {
    g_ended = true;
    // Through the timer's own alarm, which may stand in front of the page's.
    for (auto& [id, alarm] : PageAlarm::all())
        alarm->timer.alarm->cancel();
    tr_end();
}

} // namespace web

} // namespace platform

extern "C" EMSCRIPTEN_KEEPALIVE void tapirun_timer(int id) {
    auto& alarms = platform::PageAlarm::all();
    if (auto it = alarms.find(id); it != alarms.end()) it->second->goneOff();
}
