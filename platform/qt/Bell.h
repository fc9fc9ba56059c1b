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
    // Called on the user-interface thread when the program hears its first key: connects to the
    // sound server ahead of the first ring. Returns at once.
    void prepare();

    // How long the bell keeps to the X bell after the sound server did not answer, before it tries
    // the server again.
    static constexpr std::chrono::seconds retryAfter{3};

private:
    class Courier;
    void sound();     // user-interface thread, after the repaint
    void takeNames(); // with the mutex held
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_pending = 0;
    bool m_stopping = false;
    // The names the sound server shows for the program, taken on the user-interface thread.
    std::string m_applicationName;
    std::string m_applicationId;
    // Until this steady-clock time no sound server is tried: connecting to none loads a back end
    // and reads its configuration on every try, and a wrong key may come several times a second.
    std::atomic<std::chrono::steady_clock::rep> m_retryAt{0};
    std::unique_ptr<QObject> m_courier;
    std::thread m_thread;
};

} // namespace platform
