// Where a top-level window stands on the desktop and how it stays there: its outer size and position
// by its frame, over the main window on Wayland, and out of the maximised state.

#include "platform/qt/Internal.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace platform {

namespace {

// The primary screen's top-left corner in desktop coordinates; (0, 0) when there is no screen.
QPoint primaryOrigin() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().topLeft() : QPoint();
}

} // namespace

// A window that was never shown is created first, so that a frame the windowing system adds at
// creation is counted. A window manager that adds its frame only when the window is mapped
// reports none until then, and the client size stands in.
Size QtDriver::outerSize(WindowImpl& window) {
    const QMargins m = window.frameMargins();
    return {window.top->width() + m.left() + m.right(), window.top->height() + m.top() + m.bottom()};
}
Point QtDriver::position(WindowImpl& window) {
    const QPoint corner = window.top->geometry().topLeft() - primaryOrigin();
    const QMargins m = window.frameMargins();
    return {corner.x() - m.left(), corner.y() - m.top()};
}
// Once the window manager has announced its frame, the client area is placed inside that frame,
// by the widget's geometry, which excludes the frame: the toolkit's own idea of the frame may be
// out of date then, and its frame position with it.
void QtDriver::moveWindow(WindowImpl& window, int left, int top) {
    const QPoint frame = QPoint(left, top) + primaryOrigin();
    if (!window.announcedFrame) {
        window.top->move(frame);
        return;
    }
    const QMargins m = *window.announcedFrame;
    window.top->setGeometry(QRect(frame + QPoint(m.left(), m.top()), window.top->size()));
}

// The child is kept in front of its parent, so a click on the main window no longer covers it;
// but without the link sway never shows it over the full-screen main window at all. KWin and GNOME
// Shell show an ordinary window over a full-screen one once it is active, and there the box stays
// an ordinary window, which a click on the main window covers as it does on X. A compositor not
// known to do so gets the link: a box that cannot go behind is better than one never seen.
void WindowImpl::stayOverMainOnWayland(const WindowImpl& main) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")) || &main == this) return;
    const QList<QByteArray> desktops = qgetenv("XDG_CURRENT_DESKTOP").split(':');
    if (desktops.contains("KDE") || desktops.contains("GNOME")) return;
    top->winId();
    if (top->windowHandle() && main.top->windowHandle())
        top->windowHandle()->setTransientParent(main.top->windowHandle());
}

// A compositor that insists on maximising (a phone shell, a kiosk) is turned back a bounded number
// of times per showing and then left to have its way, so that the request and the answer do not
// bounce for ever; and a window closed in the meantime stays closed. A maximise button drawn by the
// toolkit reports the state twice, for its own request and for the compositor's answer to it.
void WindowImpl::keepNormalState() {
    normalStateTurnBacks = 0;
    top->winId();
    QWindow* window = top->windowHandle();
    if (keepsNormalState || !window) return;
    keepsNormalState = true;
    QObject::connect(window, &QWindow::windowStateChanged, top.get(), [this](Qt::WindowState state) {
        constexpr int turnBacksPerShowing = 2;
        if (state != Qt::WindowMaximized && state != Qt::WindowFullScreen) return;
        if (normalStateTurnBacks == turnBacksPerShowing) return;
        ++normalStateTurnBacks;
        QTimer::singleShot(0, top.get(), [this] {
            if (top->isVisible()) top->showNormal();
        });
    });
}

} // namespace platform
