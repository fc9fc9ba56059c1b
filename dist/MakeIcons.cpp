// Build tool: writes the cat-paw icon as PNG files for the desktop's icon theme.
//
//   tapirun-icons OUTPUT-DIR NAME SIZE...
//
// writes OUTPUT-DIR/SIZExSIZE/apps/NAME.png for each size. The icon is drawn once, as text, in
// Unit1/CatPaw.cpp; these files are made from it at build time, so no picture that could drift
// from the drawing is kept in the source tree.

#include "Unit1/CatPaw.h"
#include "dist/PixelArt.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

// Colours are 0x00BBGGRR; masked pixels become fully transparent.
QImage toImage(const platform::Picture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const auto i = static_cast<std::size_t>(y * picture.width + x);
            const platform::Colour c = picture.pixels[i];
            image.setPixel(x, y,
                           picture.mask[i] ? qRgba(0, 0, 0, 0)
                                           : qRgba(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 255));
        }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: tapirun-icons OUTPUT-DIR NAME SIZE...\n");
        return 2;
    }
    const QString outputDir = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "tapirun-icons: not a size: %s\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outputDir).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
        if (!QDir().mkpath(dir) || !toImage(pixelart::resized(catpaw::icon(), size)).save(file, "PNG")) {
            std::fprintf(stderr, "tapirun-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
