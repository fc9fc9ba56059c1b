// Build tool: writes the cat-paw icon as PNG files for the desktop's icon theme.
//
//   tapirun-icons OUTPUT-DIR NAME SIZE...
//
// writes OUTPUT-DIR/SIZExSIZE/apps/NAME.png for each size. The icon is drawn once, as text, in
// common/CatPaw.cpp; these files are made from it at build time, so no picture that could drift
// from the drawing is kept in the source tree.

#include "common/CatPaw.h"
#include "dist/PixelArt.h"
#include "dist/Png.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: tapirun-icons OUTPUT-DIR NAME SIZE...\n");
        return 2;
    }
    const std::string outputDir = argv[1];
    const std::string name = argv[2];
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "tapirun-icons: not a size: %s\n", argv[i]);
            return 2;
        }
        const std::string side = std::to_string(size);
        const std::string dir = outputDir + "/" + side + "x" + side + "/apps";
        const std::string file = dir + "/" + name + ".png";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        if (error || !png::write(pixelart::resized(catpaw::icon(), size), file)) {
            std::fprintf(stderr, "tapirun-icons: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
