// Font files stay mapped for the program's whole life, but after the first screen is drawn only a
// few of their pages are read again: the toolkit keeps every glyph it has drawn.
#include "platform/qt/Internal.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

namespace {

bool isFontFile(std::string_view path) {
    for (std::string_view suffix : {".ttf", ".otf", ".ttc", ".TTF", ".OTF", ".TTC"})
        if (path.size() > suffix.size() && path.substr(path.size() - suffix.size()) == suffix) return true;
    return false;
}

} // namespace

// The kernel reads a mapped file ahead and maps whole neighbourhoods of pages around each one that
// is touched, so a CJK font of some megabytes is mostly resident after drawing a few lines. The
// pages read so far are let go (they stay in the shared page cache) and later reads fault in only
// the page they need; nothing of the files' contents changes.
void releaseFontPages() {
#if defined(__linux__)
    std::FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps) return;
    char line[4096];
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long start = 0, end = 0;
        char perms[5] = {};
        int pathAt = 0;
        if (std::sscanf(line, "%lx-%lx %4s %*s %*s %*s %n", &start, &end, perms, &pathAt) < 3 || pathAt <= 0)
            continue;
        std::string_view path(line + pathAt);
        while (!path.empty() && (path.back() == '\n' || path.back() == ' '))
            path.remove_suffix(1);
        // Only private read-only views qualify: dropping their pages cannot lose a write.
        if (std::strcmp(perms, "r--p") != 0 || !isFontFile(path) || end <= start) continue;
        void* at = reinterpret_cast<void*>(start);
        const std::size_t length = end - start;
        if (::madvise(at, length, MADV_RANDOM) == 0) ::madvise(at, length, MADV_DONTNEED);
    }
    std::fclose(maps);
#endif
}

// A pass that draws new text reads the files again, and the pages it read stay mapped; they are let
// go once the program has drawn nothing for a while, so typing never pays for it. A pass only notes
// its time: the progress bar paints every 30 ms, and the timer is not re-armed for each tick.
void releaseFontPagesWhenIdle() {
    using Steady = std::chrono::steady_clock;
    static Steady::time_point lastPass;
    static QTimer* idle = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, [timer] {
            const auto quiet =
                std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - lastPass);
            if (quiet < fontPagesIdle)
                timer->start(fontPagesIdle - quiet);
            else
                releaseFontPages();
        });
        return timer;
    }();
    lastPass = Steady::now();
    if (!idle->isActive()) idle->start(fontPagesIdle);
}

} // namespace platform
