// The test drivers that are the same on every backend: they combine the backend's own, and a
// driver in front of the backend's that counts what the program asks of it before passing it on.

#include "tests/support/Access.h"

#include "dist/Png.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

// What a window and a timer hold is private to the backends. An explicit instantiation may name a
// private member, so these hand the members to the test drivers without the product declaring them
// a friend or offering a way in.
namespace platform {
namespace {
template <class Member> Member& member() {
    static Member m = nullptr;
    return m;
}
template <class Member, Member M> struct Taken {
    static inline const bool taken = (member<Member>() = M, true);
};
using WindowMember = WindowImpl* Window::*;
using TimerMember = std::unique_ptr<Timer::Impl> Timer::*;
template struct Taken<WindowMember, &Window::m_impl>;
template struct Taken<TimerMember, &Timer::m_impl>;
} // namespace
} // namespace platform

namespace platform::test {

WindowImpl& implOf(Window& window) {
    return *(window.*member<WindowMember>());
}
Timer::Impl& implOf(Timer& timer) {
    return *(timer.*member<TimerMember>());
}

namespace {

class RecordedAlarm;
// Every timer's alarm, known to the test so that it can run the ticks due.
std::vector<RecordedAlarm*> g_alarms;

class RecordedAlarm final : public TimerAlarm {
public:
    RecordedAlarm(Timer::Impl& timer, std::unique_ptr<TimerAlarm> backend)
        : m_timer(timer), m_backend(std::move(backend)) {
        g_alarms.push_back(this);
    }
    ~RecordedAlarm() override { std::erase(g_alarms, this); }
    double nowMs() override { return m_backend->nowMs(); }
    void set(double delayMs) override {
        m_pending = true;
        m_backend->set(delayMs);
    }
    void cancel() override {
        m_pending = false;
        m_backend->cancel();
    }
    bool due() const { return m_pending && m_timer.isDue(m_backend->nowMs()); }
    void goOff() {
        m_pending = false;
        m_timer.due();
    }

private:
    bool m_pending = false;
    Timer::Impl& m_timer;
    std::unique_ptr<TimerAlarm> m_backend;
};

class Recorder final : public Driver {
public:
    void passTo(std::unique_ptr<Driver> backend) { m_backend = std::move(backend); }

    void beep() override {
        ++beeps;
        m_backend->beep();
    }
    void announce(WindowImpl& window, std::string_view utf8) override {
        announcements[&window] = std::string(utf8);
        m_backend->announce(window, utf8);
    }
    void destroyWindow(WindowImpl& window) override {
        announcements.erase(&window);
        m_backend->destroyWindow(window);
    }
    WindowImpl* makeWindow(const WindowSpec& description, Window& owner) override {
        return m_backend->makeWindow(description, owner);
    }
    void makeControl(WindowImpl& window, const ControlRow& row) override {
        m_backend->makeControl(window, row);
    }
    void finishBuilding(WindowImpl& window) override { m_backend->finishBuilding(window); }
    void showWindow(WindowImpl& window) override { m_backend->showWindow(window); }
    void hideWindow(WindowImpl& window) override { m_backend->hideWindow(window); }
    bool windowShown(WindowImpl& window) override { return m_backend->windowShown(window); }
    bool windowEnabled(WindowImpl& window) override { return m_backend->windowEnabled(window); }
    void activateWindow(WindowImpl& window) override { m_backend->activateWindow(window); }
    void raiseWindow(WindowImpl& window) override { m_backend->raiseWindow(window); }
    void repaintWindow(WindowImpl& window) override { m_backend->repaintWindow(window); }
    void setIcon(WindowImpl& window, const Picture& picture) override { m_backend->setIcon(window, picture); }
    void resizeClient(WindowImpl& window, int width, int height) override {
        m_backend->resizeClient(window, width, height);
    }
    Size clientSize(WindowImpl& window) override { return m_backend->clientSize(window); }
    Size outerSize(WindowImpl& window) override { return m_backend->outerSize(window); }
    Point position(WindowImpl& window) override { return m_backend->position(window); }
    void moveWindow(WindowImpl& window, int left, int top) override {
        m_backend->moveWindow(window, left, top);
    }
    void maximisedChanged(WindowImpl& window) override { m_backend->maximisedChanged(window); }
    void showCaptionBar(WindowImpl& window, bool shown) override { m_backend->showCaptionBar(window, shown); }
    void disableInputMethod(WindowImpl& window) override { m_backend->disableInputMethod(window); }
    void f1Wanted(WindowImpl& window) override { m_backend->f1Wanted(window); }
    void layOutDocked(WindowImpl& window) override { m_backend->layOutDocked(window); }
    void endProgram() override { m_backend->endProgram(); }
    Place placeOf(ControlImpl& control) override { return m_backend->placeOf(control); }
    void moveControl(ControlImpl& control, int left, int top) override {
        m_backend->moveControl(control, left, top);
    }
    void place(ControlImpl& control) override { m_backend->place(control); }
    void showControl(ControlImpl& control, bool shown) override { m_backend->showControl(control, shown); }
    bool controlShown(ControlImpl& control) override { return m_backend->controlShown(control); }
    void textChanged(ControlImpl& control) override { m_backend->textChanged(control); }
    void redraw(ControlImpl& control) override { m_backend->redraw(control); }
    void positionChanged(ControlImpl& control, int before) override {
        m_backend->positionChanged(control, before);
    }
    void pictureChanged(ControlImpl& control) override { m_backend->pictureChanged(control); }
    void selectItem(ControlImpl& control, int index) override { m_backend->selectItem(control, index); }
    int selectedItem(ControlImpl& control) override { return m_backend->selectedItem(control); }
    void itemChanged(ControlImpl& control) override { m_backend->itemChanged(control); }
    void keepsFocus(ControlImpl& control) override { m_backend->keepsFocus(control); }
    void focus(ControlImpl& control) override { m_backend->focus(control); }
    void stateChanged(ControlImpl& control) override { m_backend->stateChanged(control); }
    void hintChanged(ControlImpl& control) override { m_backend->hintChanged(control); }
    Size screenSize() override { return m_backend->screenSize(); }
    Clock& clock() override { return m_backend->clock(); }
    std::unique_ptr<TimerAlarm> makeTimerAlarm(Timer::Impl& timer) override {
        return std::make_unique<RecordedAlarm>(timer, m_backend->makeTimerAlarm(timer));
    }

    int beeps = 0;
    std::map<const WindowImpl*, std::string> announcements;

private:
    std::unique_ptr<Driver> m_backend;
};

Recorder* g_recorder = nullptr;

} // namespace

void recordDriverCalls() {
    if (g_recorder) return;
    auto recorder = std::make_unique<Recorder>();
    Recorder& r = *recorder;
    r.passTo(replaceDriver(std::move(recorder)));
    g_recorder = &r;
}

// A bounded number of rounds, so that a timer whose interval is shorter than its own work cannot
// hold the test.
void runDueTimers() {
    for (int round = 0; round < 100; ++round) {
        const auto due =
            std::find_if(g_alarms.begin(), g_alarms.end(), [](RecordedAlarm* a) { return a->due(); });
        if (due == g_alarms.end()) return;
        (*due)->goOff();
    }
}

void click(Window& window, int x, int y) {
    press(window, x, y);
    release(window, x, y);
}

int centreX(Window& window, int id) {
    return windowX(window, id) + window.control(id).width() / 2;
}
int centreY(Window& window, int id) {
    return windowY(window, id) + window.control(id).height() / 2;
}
void clickControl(Window& window, int id) {
    click(window, centreX(window, id), centreY(window, id));
}

void fire(Timer& timer) {
    Timer::Impl& t = implOf(timer);
    t.intervals = 1;
    if (t.enabled) t.onTick();
}

// The deadline is put where the alarm would have found it after the hold-up, and the alarm's own
// handler runs: the timer's catch-up decides what the tick stands for, as on a real late tick.
bool fireTimer(Timer& timer, int intervals) {
    Timer::Impl& t = implOf(timer);
    if (!t.enabled || t.paused) return false;
    t.deadlineMs = t.alarm->nowMs() - static_cast<double>(intervals - 1) * t.interval;
    t.due();
    return true;
}

std::string lastAnnouncement(Window& window) {
    const auto it = g_recorder->announcements.find(&implOf(window));
    return it == g_recorder->announcements.end() ? std::string() : it->second;
}

int beepCount() {
    return g_recorder->beeps;
}

bool savePng(const Image& image, const std::string& path) {
    return png::write({image.width, image.height, image.pixels, {}}, path);
}

} // namespace platform::test
