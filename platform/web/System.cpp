// Application, colours, fonts, clocks, timers, the beep and the desktop calls of a page.

#include "platform/Rules.h"
#include "platform/web/Internal.h"

#include <emscripten/emscripten.h>

#include <cmath>
#include <map>

namespace platform {

namespace {
int g_beeps = 0;
bool g_ended = false;
} // namespace

int beepsSoFar() {
    return g_beeps;
}

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

const char* faceOf(const Font& font) {
    return font.face ? font.face : "ＭＳ Ｐゴシック";
}

// The page's faces map the design's names to the installed faces or the ones served with it.
double measure(const Font& font, std::string_view utf8) {
    const std::string text(utf8);
    return tr_measure(text.c_str(), faceOf(font), font.height > 0 ? font.height : 12, font.bold);
}

// The page's viewport stands for the screen.
Size screenSize() {
    return {tr_viewport_width(), tr_viewport_height()};
}

struct Application::Impl {};

Application::Application(int&, char**) : m_impl(std::make_unique<Impl>()) {
    tr_listen();
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

Clock& systemClock() {
    static PageClock clock;
    return clock;
}

// Read anew from the browser's language on every call.
std::string decimalSeparator() {
    const int c = tr_decimal_separator();
    if (c <= 0 || c >= 0x80) return c == 0x066B ? "\xD9\xAB" : ".";
    return std::string(1, static_cast<char>(c));
}

void beep() {
    ++g_beeps;
    tr_beep();
}

// A page has no taskbar, and the main window carries no caption bar to give back.
void hideTaskbar() {}
void showTaskbar() {}
void restoreWindowTitled(std::string_view) {}

// A window inside the page is reached again only through the page itself.
bool hasWindowSwitcher() {
    return false;
}

// Each tick re-arms the page's timer with the time left to the next deadline, so the page's
// granularity delays single ticks but never adds up.
struct Timer::Impl {
    int id = 0;
    int interval = 1000;
    bool enabled = false;
    bool paused = false;
    double deadlineMs = 0;
    int pending = 0;
    int intervals = 1;
    std::function<void()> onTick;

    static std::map<int, Impl*>& registry() {
        static std::map<int, Impl*> timers;
        return timers;
    }
    void cancel() {
        if (pending) tr_timer_clear(pending);
        pending = 0;
    }
    void arm(double now) {
        cancel();
        if (g_ended) return;
        pending = tr_timer_set(id, std::max(0.0, deadlineMs - now));
    }
    bool isDue(double now) const { return enabled && !paused && now + 0.5 >= deadlineMs; }
    void due() {
        pending = 0;
        if (!enabled || paused || g_ended) return;
        const double now = emscripten_get_now();
        // A timer may come a little early; the tick waits for its deadline.
        if (!isDue(now)) {
            arm(now);
            return;
        }
        // A page held up past later deadlines (a hidden tab) runs one tick for all of them.
        const rules::CatchUp next = rules::catchUp(deadlineMs, interval, now);
        deadlineMs = next.nextDeadline;
        arm(now);
        intervals = next.intervals;
        onTick();
    }
};

Timer::Timer(std::function<void()> onTick) : m_impl(std::make_unique<Impl>()) {
    static int nextId = 1;
    m_impl->id = nextId++;
    m_impl->onTick = std::move(onTick);
    Impl::registry()[m_impl->id] = m_impl.get();
}
Timer::~Timer() {
    m_impl->cancel();
    Impl::registry().erase(m_impl->id);
}
void Timer::setEnabled(bool enabled) {
    if (enabled == m_impl->enabled && !(enabled && m_impl->paused)) return;
    m_impl->enabled = enabled;
    m_impl->paused = false;
    if (enabled) {
        const double now = emscripten_get_now();
        m_impl->deadlineMs = now + m_impl->interval;
        m_impl->arm(now);
    } else {
        m_impl->cancel();
    }
}
bool Timer::enabled() const {
    return m_impl->enabled;
}
// A running timer starts its new interval from now, as the desktop's timers do.
void Timer::setInterval(int milliseconds) {
    m_impl->interval = milliseconds;
    if (m_impl->enabled && !m_impl->paused) {
        const double now = emscripten_get_now();
        m_impl->deadlineMs = now + milliseconds;
        m_impl->arm(now);
    }
}
int Timer::interval() const {
    return m_impl->interval;
}
void Timer::tick() {
    m_impl->intervals = 1;
    if (m_impl->enabled) m_impl->onTick();
}
void Timer::pauseUntilEnabled() {
    if (!m_impl->enabled || m_impl->paused) return;
    m_impl->paused = true;
    m_impl->cancel();
}
int Timer::intervalsElapsed() const {
    return m_impl->intervals;
}

namespace web {

void runDueTimers() {
    for (int round = 0; round < 100; ++round) {
        const double now = emscripten_get_now();
        Timer::Impl* due = nullptr;
        for (auto& [id, timer] : Timer::Impl::registry())
            if (timer->isDue(now)) {
                due = timer;
                break;
            }
        if (!due) return;
        due->due();
    }
}

void endProgram() {
    g_ended = true;
    for (auto& [id, timer] : Timer::Impl::registry())
        timer->cancel();
    tr_end();
}

} // namespace web

} // namespace platform

extern "C" EMSCRIPTEN_KEEPALIVE void tapirun_timer(int id) {
    auto& timers = platform::Timer::Impl::registry();
    if (auto it = timers.find(id); it != timers.end()) it->second->due();
}
