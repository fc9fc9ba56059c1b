#pragma once

// Shared by the Qt backend's sources only.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

    // Called on the user-interface thread; returns at once.
    void ring();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_pending = 0;
    bool m_stopping = false;
    // The names the sound server shows for the program, taken on the user-interface thread.
    std::string m_applicationName;
    std::string m_applicationId;
    std::thread m_thread;
};

} // namespace platform
