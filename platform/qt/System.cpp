// Application, colours, fonts, clocks, timers, the beep and the desktop calls.

#include "platform/core/Scale.h"
#include "platform/core/Timer.h"
#include "platform/qt/Bell.h"
#include "platform/qt/Internal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPalette>
#include <QScreen>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

#include <fontconfig/fontconfig.h>

#include <clocale>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>

namespace platform {

namespace {
// The running application's bell; without an Application (as in the form tests) the toolkit's own
// bell rings.
Bell* g_bell = nullptr;
} // namespace

QColor toQColor(Colour c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

Colour fromQColor(const QColor& c) {
    return static_cast<Colour>(c.red()) | static_cast<Colour>(c.green()) << 8 |
           static_cast<Colour>(c.blue()) << 16;
}

// The classic desktop's system colours.
Colour resolve(Colour colour) {
    switch (colour) {
    case clBtnFace: return 0xC8D0D4;
    case clWindowText: return clBlack;
    default: return colour & 0xFFFFFF;
    }
}

QFont toQFont(const Font& font) {
    QFont f(QString::fromUtf8(font.face ? font.face : "ＭＳ Ｐゴシック"));
    // A font's pixel height is its character (em) height.
    f.setPixelSize(font.height > 0 ? font.height : 12);
    f.setBold(font.bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QString toDisplay(std::string_view utf8) {
    return QString::fromStdString(displayText(utf8));
}

QPixmap toPixmap(const Picture& picture, bool colourKeyed) {
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    const Colour key = picture.pixels.empty() ? 0 : picture.pixels[(picture.height - 1) * picture.width];
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const auto i = static_cast<std::size_t>(y * picture.width + x);
            const Colour c = picture.pixels[i];
            const bool clear = picture.isIcon() ? picture.mask[i] : (colourKeyed && c == key);
            const QColor q = toQColor(c);
            image.setPixel(x, y, clear ? 0u : qRgba(q.red(), q.green(), q.blue(), 255));
        }
    return QPixmap::fromImage(image);
}

// The toolkit rounds the desktop's own scale (Xft.dpi, GNOME's, a screen's pixel ratio) by the
// core's rule with its RoundPreferFloor; a scale in QT_SCALE_FACTOR it would apply as it stands, so
// that one goes through the rule here, before the toolkit reads it. A rounding policy of the user's
// own in the environment would override the program's and is set aside.
void setUpScaling() {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::RoundPreferFloor);
    qunsetenv("QT_SCALE_FACTOR_ROUNDING_POLICY");
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        bool isNumber = false;
        const double asked = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&isNumber);
        qputenv("QT_SCALE_FACTOR", QByteArray::number(drawingFactor(isNumber ? asked : 1.0)));
    }
}

void setUpApplication() {
    // The design's Japanese faces, served by Debian's IPA fonts.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    // The classic, unthemed look of the standard controls.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(style);
        QApplication::setPalette(style->standardPalette());
    }
    QApplication::setFont(toQFont(Font{"ＭＳ Ｐゴシック", 12, false, clWindowText}));
    QApplication::setQuitOnLastWindowClosed(false);
}

Size QtDriver::screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {0, 0};
    const QSize s = screen->size();
    return {s.width(), s.height()};
}

namespace {
int g_signalPipe[2] = {-1, -1};

void onTerminatingSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

// Reading the font configuration and the font caches takes milliseconds of a processor, and the
// toolkit does it on the user-interface thread at the first font it needs. Begun on a thread of its
// own before the toolkit connects to the display, it runs beside that work on a second processor,
// and the toolkit finds it done. The library guards its own start-up, so a toolkit that gets there
// first only repeats the work.
class FontConfigurationReader {
public:
    FontConfigurationReader() {
        try {
            m_thread = std::thread([] { FcInit(); });
        } catch (const std::system_error&) {
            // No thread: the toolkit reads it itself, as it always could.
        }
    }
    ~FontConfigurationReader() { waitUntilRead(); }
    FontConfigurationReader(const FontConfigurationReader&) = delete;
    FontConfigurationReader& operator=(const FontConfigurationReader&) = delete;
    void waitUntilRead() {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::thread m_thread;
};

struct Application::Impl {
    // The scaling is set up as the toolkit's first argument is passed: before the toolkit reads it.
    Impl(int& argc, char** argv) : app((setUpScaling(), argc), argv) { g_bell = &bell; }
    ~Impl() { g_bell = nullptr; }
    // Declared before the application, so that it starts first.
    FontConfigurationReader fontConfiguration;
    QApplication app;
    std::unique_ptr<QSocketNotifier> signalNotifier;
    // Declared after the application, so its thread has stopped before the application goes.
    Bell bell;
};

// SIGTERM and SIGINT end the event loop like the exit button does, so the windows are destroyed
// and the desktop gets back what the program changed. The handler only writes to a pipe; the loop
// reads it.
Application::Application(int& argc, char** argv) : m_impl(std::make_unique<Impl>(argc, argv)) {
    m_impl->fontConfiguration.waitUntilRead();
    setUpApplication();
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        m_impl->signalNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_impl->signalNotifier.get(), &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction action {};
        action.sa_handler = onTerminatingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
}
Application::~Application() = default;
void Application::setTitle(std::string_view title) {
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QString::fromUtf8(title));
}
void Application::setDesktopId(std::string_view id) {
    QGuiApplication::setDesktopFileName(QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size())));
}
int Application::run() {
    return QApplication::exec();
}

Clock& QtDriver::clock() {
    return steadyClock();
}

// The toolkit sets the C library's locale from the environment when it starts, so the C library
// already knows the user's separator.
std::string decimalSeparator() {
    const char* separator = std::localeconv()->decimal_point;
    return separator && *separator ? separator : ".";
}

void bellKeyHeard() {
    if (g_bell) g_bell->keyHeard();
}

void QtDriver::beep() {
    if (g_bell)
        g_bell->ring();
    else
        QApplication::beep();
}

// A full-screen window already keeps the desktop's panels off it on this desktop, and they come
// back when it goes, so there is no panel to hide or show by hand.
void hideTaskbar() {}
void showTaskbar() {}
// The program's title names no separate application window here: the main window itself is the
// one going away, so there is nothing to restore.
void restoreWindowTitled(std::string_view) {}

bool hasWindowSwitcher() {
    return true;
}

// The toolkit's steady clock and a precise single-shot timer.
class ToolkitAlarm final : public TimerAlarm {
public:
    explicit ToolkitAlarm(Timer::Impl& timer) {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [&timer] { timer.due(); });
    }
    double nowMs() override { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }
    void set(double delayMs) override { m_timer.start(static_cast<int>(std::ceil(std::max(0.0, delayMs)))); }
    void cancel() override { m_timer.stop(); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
};

std::unique_ptr<TimerAlarm> QtDriver::makeTimerAlarm(Timer::Impl& timer) {
    return std::make_unique<ToolkitAlarm>(timer);
}

} // namespace platform
