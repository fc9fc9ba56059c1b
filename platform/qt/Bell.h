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

namespace platform {

// The desktop's bell: the sound theme's window-system bell, played through libcanberra on a thread
// of its own, because playing blocks on round trips to the sound server and on decoding the sound
// file, and a wrong key must never wait for either. Where no sound server answers, or the theme has
// no bell, the X bell rings instead. It does not count the rings; beep() does.
class Bell {
public:
    Bell();
    ~Bell(); // a sound still playing is cut short
    Bell(const Bell&) = delete;
    Bell& operator=(const Bell&) = delete;

    // Called on the user-interface thread; returns at once. The bell sounds once the repaints the
    // same event asked for are on the screen: on a machine with few processors the bell's work
    // would otherwise take a processor from the paint of the wrong key it answers.
    void ring();
    // Called on the user-interface thread for every key the program hears; returns at once. The
    // first key has the bell connect to the sound server ahead of the first ring, and every key
    // puts off a retry.
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
    void sound();     // user-interface thread, after the repaint
    void takeNames(); // with the mutex held
    void missed();    // bell thread, without the mutex
    void run();
    // With the mutex held: waits for a ring, the end, or a retry that is due (then true).
    bool waitForWork(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point lastTry);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_pending = 0;
    bool m_stopping = false;
    // The names the sound server shows for the program, taken on the user-interface thread.
    std::string m_applicationName;
    std::string m_applicationId;
    // A ring went to the X bell because no sound server answered: the server is tried again once
    // the retry is due.
    bool m_retryWanted = false;
    // Set by the bell's thread while no sound server answers; rings then go to the X bell at once.
    std::atomic<bool> m_serverMissing{false};
    std::atomic<std::chrono::steady_clock::rep> m_lastKey{0};
    std::unique_ptr<QObject> m_courier;
    std::thread m_thread;
};

} // namespace platform
