// Writes the program file's icon from the cat-paw drawing: one 32×32 image with 16 colours (4 bits
// per pixel, the standard palette) and a 1-bit mask, 744 bytes of image data. Runs on the build
// machine while the Windows program is cross-built.
//
//   MakeIcon OUTPUT.ico

#include "common/CatPaw.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// The standard 16-colour palette, in its order, as 0x00BBGGRR.
constexpr std::array<platform::Colour, 16> Palette = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

void put16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
}
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

int paletteIndex(platform::Colour colour) {
    for (std::size_t i = 0; i < Palette.size(); ++i)
        if (Palette[i] == colour) return static_cast<int>(i);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeIcon OUTPUT.ico\n");
        return 2;
    }
    const platform::Picture& icon = catpaw::icon();
    const int side = icon.width;
    // Rows are stored bottom first; each row is padded to four bytes.
    const int colourRow = (side * 4 + 31) / 32 * 4, maskRow = (side + 31) / 32 * 4;
    std::vector<unsigned char> image;
    put32(image, 40);
    put32(image, static_cast<std::uint32_t>(side));
    put32(image, static_cast<std::uint32_t>(2 * side)); // colour part and mask together
    put16(image, 1);
    put16(image, 4);
    put32(image, 0);
    put32(image, static_cast<std::uint32_t>((colourRow + maskRow) * side));
    put32(image, 0);
    put32(image, 0);
    put32(image, 16);
    put32(image, 0);
    for (platform::Colour c : Palette)
        put32(image, (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
    std::vector<unsigned char> colours(static_cast<std::size_t>(colourRow * side), 0);
    std::vector<unsigned char> mask(static_cast<std::size_t>(maskRow * side), 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const auto i = static_cast<std::size_t>(y * side + x);
            const int index = paletteIndex(icon.pixels[i]);
            if (index < 0) {
                std::fprintf(stderr, "MakeIcon: pixel %d,%d is not one of the 16 colours\n", x, y);
                return 1;
            }
            const int row = side - 1 - y;
            colours[static_cast<std::size_t>(row * colourRow + x / 2)] |=
                static_cast<unsigned char>(x % 2 == 0 ? index << 4 : index);
            if (icon.mask[i])
                mask[static_cast<std::size_t>(row * maskRow + x / 8)] |=
                    static_cast<unsigned char>(0x80 >> (x % 8));
        }
    image.insert(image.end(), colours.begin(), colours.end());
    image.insert(image.end(), mask.begin(), mask.end());

    std::vector<unsigned char> file;
    put16(file, 0);
    put16(file, 1); // an icon
    put16(file, 1); // one image
    file.push_back(static_cast<unsigned char>(side));
    file.push_back(static_cast<unsigned char>(side));
    file.push_back(16);
    file.push_back(0);
    put16(file, 1);
    put16(file, 4);
    put32(file, static_cast<std::uint32_t>(image.size()));
    put32(file, 6 + 16);
    file.insert(file.end(), image.begin(), image.end());

    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size()) {
        std::fprintf(stderr, "MakeIcon: cannot write %s\n", argv[1]);
        return 1;
    }
    std::fclose(out);
    return 0;
}
