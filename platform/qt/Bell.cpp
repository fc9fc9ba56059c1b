// The wrong-key sound through libcanberra, with the X bell where no sound server answers.

#include "platform/qt/Bell.h"

#include <system_error>
#include <utility>

#include <QApplication>
#include <QEvent>
#include <QTimer>

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
Bell::Bell()
    : m_shared(std::make_shared<Shared>()), m_courier(std::make_unique<Courier>(*this)),
      m_retry(std::make_unique<QTimer>()) {
    m_shared->owner = this;
    m_retry->setSingleShot(true);
    QObject::connect(m_retry.get(), &QTimer::timeout, [this] { retryIfDue(); });
}

Bell::~Bell() {
    m_retry->stop();
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->owner = nullptr;
    m_shared->wake.notify_one();
    if (!m_thread.joinable()) return;
    const bool ended =
        m_shared->finishedSignal.wait_for(lock, exitPatience, [this] { return m_shared->finished; });
    lock.unlock();
    if (ended)
        m_thread.join();
    else
        m_thread.detach();
}

void Bell::ring() {
    QCoreApplication::postEvent(m_courier.get(), new QEvent(Courier::type), Courier::priority);
}

// Loading the sound back ends and connecting takes milliseconds of a processor; done at the first
// key rather than the first wrong one, it never competes with the paint of a miss. While a retry is
// wanted, each key moves it on to the next pause.
void Bell::keyHeard() {
    if (!startThread()) return;
    if (m_retryWanted) m_retry->start(retryQuiet);
}

void Bell::sound() {
    if (!startThread() || m_shared->serverMissing.load()) {
        ringXBellInstead();
        return;
    }
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->pending = true;
    }
    m_shared->wake.notify_one();
}

// The first start asks the thread to connect. A process that can make no more threads keeps to the
// X bell for good.
bool Bell::startThread() {
    if (m_thread.joinable()) return true;
    if (m_noThread) return false;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->applicationName = QCoreApplication::applicationName().toStdString();
        m_shared->applicationId = QGuiApplication::desktopFileName().toStdString();
        m_shared->connect = true;
    }
    m_lastTry = std::chrono::steady_clock::now();
    try {
        m_thread = std::thread([shared = m_shared] { run(shared); });
    } catch (const std::system_error&) {
        m_noThread = true;
        return false;
    }
    return true;
}

void Bell::ringXBellInstead() {
    QApplication::beep();
    if (m_noThread) return;
    m_retryWanted = true;
    if (!m_retry->isActive()) m_retry->start(retryQuiet);
}

// Runs in a pause of the typing: the server is tried again once the interval since the last try has
// passed too.
void Bell::retryIfDue() {
    if (!m_shared->serverMissing.load()) {
        m_retryWanted = false;
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_lastTry + retryAfter) {
        m_retry->start(std::chrono::duration_cast<std::chrono::milliseconds>(m_lastTry + retryAfter - now) +
                       std::chrono::milliseconds(1));
        return;
    }
    m_retryWanted = false;
    m_lastTry = now;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->connect = true;
    }
    m_shared->wake.notify_one();
}

// A failed context is dropped, and opened anew only when the user-interface thread asks: a sound
// server that starts (or restarts) while the program runs is found again at a retry.
void Bell::run(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    ca_context* context = nullptr;
    std::uint32_t soundId = 0;
    for (;;) {
        bool connect = false, play = false;
        std::string name, id;
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&s] { return s.stopping || s.connect || s.pending; });
            if (s.stopping) break;
            connect = std::exchange(s.connect, false);
            play = !connect && std::exchange(s.pending, false);
            name = s.applicationName;
            id = s.applicationId;
        }
        if (connect) {
            if (!context) context = openContext(name, id);
            s.serverMissing.store(!context);
            continue;
        }
        if (!play) continue;
        if (!context) {
            missed(s);
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
            missed(s);
        }
    }
    if (context) ca_context_destroy(context);
    const std::lock_guard lock(s.mutex);
    s.finished = true;
    s.finishedSignal.notify_all();
}

// A ring the sound server did not take: the X bell instead, and a retry in a later pause. The
// courier goes with the bell, so a call still on its way at exit is dropped with it; once the bell
// has gone nobody is told.
void Bell::missed(Shared& shared) {
    shared.serverMissing.store(true);
    const std::lock_guard lock(shared.mutex);
    Bell* bell = shared.owner;
    if (!bell) return;
    QMetaObject::invokeMethod(
        bell->m_courier.get(),
        [bell] {
            bell->m_lastTry = std::chrono::steady_clock::now();
            bell->ringXBellInstead();
        },
        Qt::QueuedConnection);
}

} // namespace platform
