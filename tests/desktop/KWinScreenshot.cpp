// A picture of KWin's screen, for the KDE desktop test: KWin hands its screenshots out over D-Bus
// only, written into a pipe the caller passes along, and no packaged tool here asks for one.
//
//   kwin-screenshot WIDTH HEIGHT OUT.ppm
//
// KWin lets only clients it trusts take pictures; the test runs it with its permission checks off.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QImage>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: kwin-screenshot WIDTH HEIGHT OUT.ppm\n");
        return 2;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return 1;
    // KWin answers first and writes the picture after; the request holds a copy of the pipe's
    // writing end, so it is let go of before the reading waits for the end of the data.
    QVariantMap m;
    {
        QDBusInterface screenshot("org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2");
        const QDBusReply<QVariantMap> reply = screenshot.call(
            "CaptureArea", 0, 0, static_cast<uint>(std::atoi(argv[1])), static_cast<uint>(std::atoi(argv[2])),
            QVariantMap{{"native-resolution", true}}, QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])));
        close(fds[1]);
        if (!reply.isValid()) {
            std::fprintf(stderr, "kwin-screenshot: %s\n", qPrintable(reply.error().message()));
            return 1;
        }
        m = reply.value();
    }
    QByteArray data;
    char buffer[65536];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;)
        data.append(buffer, got);
    close(fds[0]);
    const int width = m.value("width").toInt(), height = m.value("height").toInt();
    const int stride = m.value("stride").toInt();
    if (data.size() < static_cast<qsizetype>(stride) * height) {
        std::fprintf(stderr, "kwin-screenshot: %lld bytes for a %dx%d picture\n",
                     static_cast<long long>(data.size()), width, height);
        return 1;
    }
    const QImage image(reinterpret_cast<const uchar*>(data.constData()), width, height, stride,
                       static_cast<QImage::Format>(m.value("format").toInt()));
    return image.convertToFormat(QImage::Format_RGB888).save(argv[3], "PPM") ? 0 : 1;
}
