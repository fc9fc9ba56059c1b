#pragma once

// Shared by the Qt backend's sources only.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QObject;
class QTimer;

namespace platform {

// The desktop's bell: the sound theme's window-system bell, played through libcanberra on a thread
// of its own, because playing blocks on round trips to the sound server and on decoding the sound
// file, and a wrong key must never wait for either. Where no sound server answers, the theme has no
// bell, or no thread can be made, the X bell rings instead. It does not count the rings; beep()
// does.
//
// The user-interface thread decides everything: when to connect, when to try a missing server
// again. The bell's thread only connects and plays what it is handed.
class Bell {
public:
    Bell();
    // A sound still playing is cut short. A sound server that stalls holds the bell's thread inside
    // the sound library: the program waits for it a moment only, and leaves it to end with the
    // process.
    ~Bell();
    Bell(const Bell&) = delete;
    Bell& operator=(const Bell&) = delete;

    // Returns at once. The bell sounds once the repaints the same event asked for are on the
    // screen: on a machine with few processors the bell's work would otherwise take a processor
    // from the paint of the wrong key it answers. At most one ring waits while the sound server
    // is busy: rings that came while it stalled would otherwise play in a burst long after their
    // keys.
    void ring();
    // Called once for every key the program hears; returns at once. The first key has the bell
    // connect to the sound server ahead of the first ring, and every key puts off a retry.
    void keyHeard();

    // How long the bell keeps to the X bell after the sound server did not answer, before it tries
    // the server again.
    static constexpr std::chrono::seconds retryAfter{3};
    // A retry also waits for a pause this long in the typing: trying loads a back end and reads its
    // configuration, and on a machine with few processors that work, started by a ring, took a
    // processor from the paint of the next key.
    static constexpr std::chrono::milliseconds retryQuiet{1000};
    // How long exit waits for the bell's thread.
    static constexpr std::chrono::milliseconds exitPatience{300};

private:
    class Courier;
    // What the bell's thread shares with the user-interface thread. The thread keeps it alive, so
    // that a thread left behind at exit still finds it.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable finishedSignal;
        bool pending = false;
        bool connect = false;
        bool stopping = false;
        bool finished = false;
        // Set by the thread while no sound server answers: rings then go to the X bell at once.
        std::atomic<bool> serverMissing{false};
        // The names the sound server shows for the program, taken before the thread starts.
        std::string applicationName;
        std::string applicationId;
        // Cleared when the bell goes: the thread then tells nobody of a missed ring.
        Bell* owner = nullptr;
    };
    // User-interface thread.
    void sound();
    bool startThread();
    void ringXBellInstead();
    void retryIfDue();
    // The bell's thread.
    static void run(const std::shared_ptr<Shared>& shared);
    static void missed(Shared& shared);

    std::shared_ptr<Shared> m_shared;

    // The user-interface thread's own.
    std::unique_ptr<QObject> m_courier;
    std::unique_ptr<QTimer> m_retry;
    std::chrono::steady_clock::time_point m_lastTry;
    bool m_retryWanted = false; // a ring went to the X bell since the last try
    bool m_noThread = false;
    std::thread m_thread;
};

} // namespace platform
