// The wrong-key sound through libcanberra, with the X bell where no sound server answers.

#include "platform/qt/Bell.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>

#include <canberra.h>

namespace platform {

namespace {

// The sound-theme event a window system plays for its bell; themes without it fall back to "bell".
constexpr const char* bellEvent = "bell-window-system";

// The X bell, rung on the user-interface thread where the toolkit lives.
void ringXBell() {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

// Reports from the sound server's own thread how a sound ended. A sound cut short because the
// context went away at exit is not a failure.
void onFinished(ca_context*, std::uint32_t, int error, void*) {
    if (error != CA_SUCCESS && error != CA_ERROR_CANCELED && error != CA_ERROR_DESTROYED) ringXBell();
}

// A context connected to the sound server, or null when none answers. Opening connects at once,
// so a missing server shows here rather than at the first sound.
ca_context* openContext(const std::string& name, const std::string& id) {
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS) return nullptr;
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, name.c_str(), CA_PROP_APPLICATION_ID,
                            id.c_str(), CA_PROP_APPLICATION_ICON_NAME, id.c_str(), nullptr);
    if (ca_context_open(context) != CA_SUCCESS) {
        ca_context_destroy(context);
        return nullptr;
    }
    return context;
}

} // namespace

// Carries a ring past the repaints: the toolkit posts its repaint requests at low priority, and an
// event posted at a lower one still is delivered after them.
class Bell::Courier : public QObject {
public:
    explicit Courier(Bell& bell) : m_bell(bell) {}
    static constexpr QEvent::Type type = QEvent::User;
    static constexpr int priority = Qt::LowEventPriority - 1;

protected:
    bool event(QEvent* event) override {
        if (event->type() != type) return QObject::event(event);
        m_bell.sound();
        return true;
    }

private:
    Bell& m_bell;
};

// The thread starts with the first key or the first ring: a program that is never typed at keeps
// no thread and no sound-server connection.
Bell::Bell() : m_courier(std::make_unique<Courier>(*this)) {}

Bell::~Bell() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) m_thread.join();
}

void Bell::ring() {
    QCoreApplication::postEvent(m_courier.get(), new QEvent(Courier::type), Courier::priority);
}

// While no sound server answers the X bell rings at once, and the thread tries the server again
// in the next pause of the typing.
void Bell::sound() {
    if (m_serverMissing.load()) {
        QApplication::beep();
        bool wake = false;
        {
            const std::lock_guard lock(m_mutex);
            wake = !m_retryWanted;
            m_retryWanted = true;
        }
        if (wake) m_wake.notify_one();
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        takeNames();
        ++m_pending;
    }
    if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
    m_wake.notify_one();
}

// Loading the sound back ends and connecting takes milliseconds of a processor; done at the first
// key rather than the first wrong one, it never competes with the paint of a miss.
void Bell::keyHeard() {
    m_lastKey.store(std::chrono::steady_clock::now().time_since_epoch().count());
    if (m_thread.joinable()) return;
    {
        const std::lock_guard lock(m_mutex);
        takeNames();
    }
    m_thread = std::thread([this] { run(); });
}

void Bell::takeNames() {
    if (!m_applicationName.empty()) return;
    m_applicationName = QCoreApplication::applicationName().toStdString();
    m_applicationId = QGuiApplication::desktopFileName().toStdString();
}

// A retry is due once the interval has passed since the last try and the keyboard has rested; a
// key during the wait moves the time on. Nothing wakes the thread while nobody types.
bool Bell::waitForWork(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point lastTry) {
    using std::chrono::steady_clock;
    for (;;) {
        if (m_stopping || m_pending > 0) return false;
        if (!m_retryWanted) {
            m_wake.wait(lock);
            continue;
        }
        const steady_clock::time_point lastKey{steady_clock::duration{m_lastKey.load()}};
        const auto due = std::max(lastTry + retryAfter, lastKey + retryQuiet);
        if (steady_clock::now() >= due) return true;
        m_wake.wait_until(lock, due);
    }
}

// A failed context is dropped and opened anew when a retry is due, so a sound server that starts (or
// restarts) while the program runs is found again. The first pass only connects.
void Bell::run() {
    ca_context* context = nullptr;
    std::uint32_t soundId = 0;
    std::chrono::steady_clock::time_point lastTry;
    for (bool first = true;; first = false) {
        std::string name, id;
        bool play = false;
        bool retry = first;
        {
            std::unique_lock lock(m_mutex);
            if (!first) retry = waitForWork(lock, lastTry);
            if (m_stopping) break;
            play = m_pending > 0;
            if (play) --m_pending;
            if (retry) m_retryWanted = false;
            name = m_applicationName;
            id = m_applicationId;
        }
        // A ring that was on its way when the server went missing keeps to the X bell until the
        // retry; it does not try at once.
        if (!context && (retry || !m_serverMissing.load())) {
            context = openContext(name, id);
            lastTry = std::chrono::steady_clock::now();
            m_serverMissing.store(!context);
        }
        if (!play) continue;
        if (!context) {
            missed();
            continue;
        }
        ca_proplist* properties = nullptr;
        ca_proplist_create(&properties);
        ca_proplist_sets(properties, CA_PROP_EVENT_ID, bellEvent);
        ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, "Wrong key");
        // The server keeps the decoded sound, so later bells skip reading the file.
        ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "permanent");
        const int played = ca_context_play_full(context, ++soundId, properties, onFinished, nullptr);
        ca_proplist_destroy(properties);
        if (played != CA_SUCCESS) {
            ca_context_destroy(context);
            context = nullptr;
            lastTry = std::chrono::steady_clock::now();
            m_serverMissing.store(true);
            missed();
        }
    }
    if (context) ca_context_destroy(context);
}

// A ring the sound server did not take: the X bell, and a retry later.
void Bell::missed() {
    ringXBell();
    const std::lock_guard lock(m_mutex);
    m_retryWanted = true;
}

} // namespace platform
