// The wrong-key sound through libcanberra, with the X bell where no sound server answers.

#include "platform/qt/Bell.h"

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

std::chrono::steady_clock::rep steadyNow() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

void noServerFor(std::atomic<std::chrono::steady_clock::rep>& retryAt) {
    const auto until = std::chrono::steady_clock::now() + Bell::retryAfter;
    retryAt.store(until.time_since_epoch().count());
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

// While the sound server is known to be missing the X bell rings at once, without waking the
// thread for a try that would fail.
void Bell::sound() {
    if (steadyNow() < m_retryAt.load()) {
        QApplication::beep();
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
void Bell::prepare() {
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

// A failed context is dropped and opened anew at the first ring after the retry interval, so a sound
// server that starts (or restarts) while the program runs is found again.
void Bell::run() {
    ca_context* context = nullptr;
    std::uint32_t soundId = 0;
    // The first pass only connects, unless a ring is already waiting.
    for (bool first = true;; first = false) {
        std::string name, id;
        bool play = false;
        {
            std::unique_lock lock(m_mutex);
            if (!first) m_wake.wait(lock, [this] { return m_stopping || m_pending > 0; });
            if (m_stopping) break;
            play = m_pending > 0;
            if (play) --m_pending;
            name = m_applicationName;
            id = m_applicationId;
        }
        if (!context) context = openContext(name, id);
        if (!context) {
            noServerFor(m_retryAt);
            if (play) ringXBell();
            continue;
        }
        if (!play) continue;
        ca_proplist* properties = nullptr;
        ca_proplist_create(&properties);
        ca_proplist_sets(properties, CA_PROP_EVENT_ID, bellEvent);
        ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, "Wrong key");
        // The server keeps the decoded sound, so later bells skip reading the file.
        ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "permanent");
        const int played = ca_context_play_full(context, ++soundId, properties, onFinished, nullptr);
        ca_proplist_destroy(properties);
        if (played != CA_SUCCESS) {
            noServerFor(m_retryAt);
            ringXBell();
            ca_context_destroy(context);
            context = nullptr;
        }
    }
    if (context) ca_context_destroy(context);
}

} // namespace platform
