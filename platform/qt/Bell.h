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
    ~Bell(); // a sound still playing is cut short
    Bell(const Bell&) = delete;
    Bell& operator=(const Bell&) = delete;

    // Returns at once. The bell sounds once the repaints the same event asked for are on the
    // screen: on a machine with few processors the bell's work would otherwise take a processor
    // from the paint of the wrong key it answers.
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

private:
    class Courier;
    // User-interface thread.
    void sound();
    bool startThread();
    void ringXBellInstead();
    void retryIfDue();
    // The bell's thread.
    void run();
    void missed();

    // Handed to the thread under the mutex.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_pending = 0;
    bool m_connect = false;
    bool m_stopping = false;
    // Set by the thread while no sound server answers: rings then go to the X bell at once.
    std::atomic<bool> m_serverMissing{false};
    // The names the sound server shows for the program, taken before the thread starts.
    std::string m_applicationName;
    std::string m_applicationId;

    // The user-interface thread's own.
    std::unique_ptr<QObject> m_courier;
    std::unique_ptr<QTimer> m_retry;
    std::chrono::steady_clock::time_point m_lastTry;
    bool m_retryWanted = false; // a ring went to the X bell since the last try
    bool m_noThread = false;
    std::thread m_thread;
};

} // namespace platform
