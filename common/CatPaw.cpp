#include "common/CatPaw.h"

#include <array>
#include <cstddef>

namespace catpaw {
namespace {

using platform::Colour;

constexpr int pictureSize = 32;
constexpr char clearKey = '.';

struct Ink {
    char key;
    Colour colour;
};

// Only the sixteen colours every display of the era could show, so the icon looks the same on a 16-colour
// desktop as in a 24-bit picture box. Colour is blue-high, hence navy and teal look "backwards" here.
// Fuchsia is missing on purpose: bitmap() paints the background with it and the picture box drops that
// colour, so a fuchsia pixel in the drawing would come out as a hole.
constexpr std::array<Ink, 15> legend{{
    {'K', platform::clBlack},
    {'M', platform::clMaroon},
    {'G', platform::clGreen},
    {'O', platform::clOlive},
    {'N', 0x800000}, // navy
    {'P', 0x800080}, // purple
    {'T', 0x808000}, // teal
    {'S', 0xC0C0C0}, // silver
    {'D', 0x808080}, // grey
    {'R', platform::clRed},
    {'L', platform::clLime},
    {'Y', platform::clYellow},
    {'B', platform::clBlue},
    {'A', platform::clAqua},
    {'W', platform::clWhite},
}};

// Light falls from the top left: olive is the shaded right flank, lime the gloss on the pads. Maroon is
// both the outline and the tabby stripes; the stripes stop short of the middle so the forearm reads as
// fur rather than as a striped sleeve. The forearm runs off the bottom edge, so it has no bottom outline.
// clang-format off
constexpr std::array<std::string_view, pictureSize> pawRows{{
    "................................",
    "..........MMMM...MMMM...........",
    ".........MYYYYM.MYYYYM..........",
    "........MYYGGYOMYYGGYOM.........",
    "...MMMM.MYGLGGOMYGLGGOM.MMMM....",
    "..MYYYYMMYGGGGOMYGGGGOMMYYYYM...",
    ".MYYGGYOMYGGGGOMYGGGGOMYYGGYOM..",
    ".MYGLGGOMYYGGYOMYYGGYOMYGLGGOM..",
    ".MYGGGGOMYYYYYOMYYYYYOMYGGGGOM..",
    ".MYGGGGOMYYYYYYYYYYYYOMYGGGGOM..",
    ".MYYGGYYOMYYYYYYYYYYYMYYYGGYOM..",
    ".MYYYYYYYYYYYYYYYYYYYYYYYYYYOM..",
    ".MYYYYYYYYYYYGGGGGYYYYYYYYYYOM..",
    ".MYYYYYYYYYGGLLGGGGGYYYYYYYYOM..",
    ".MYYYYYYYYGGLGGGGGGGGYYYYYYYOM..",
    "..MYYYYYYGGGGGGGGGGGGGYYYYYOM...",
    "..MYYYYYYGGGGGGGGGGGGGYYYYYOM...",
    "...MYYYYYGGGGGGGGGGGGGYYYYOM....",
    "....MYYYYGGGYGGGGGYGGGYYYOM.....",
    ".....MYYYYGGYYGGGGGYYGGYOM......",
    "......MYYYYYYYYYGGGYYYYOM.......",
    ".......MYYYYYYYYYYYYYYOM........",
    ".......MYYYYYYYYYYYYYYOM........",
    ".......MMMMYYYYYYYYYMMMM........",
    ".......MYYMMMYYYYYMMMYOM........",
    ".......MYYYYYMYYYMYYYYOM........",
    ".......MYYYYYYYYYYYYYYOM........",
    ".......MMMMYYYYYYYYYMMMM........",
    ".......MYYMMMYYYYYMMMYOM........",
    ".......MYYYYYMYYYMYYYYOM........",
    ".......MYYYYYYYYYYYYYYOM........",
    ".......MYYYYYYYYYYYYYYOM........",
}};
// clang-format on

constexpr const Ink* findInk(char key) {
    for (const Ink& ink : legend) {
        if (ink.key == key) return &ink;
    }
    return nullptr;
}

// A slip while retouching the drawing (a short row, a stray letter) should stop the build rather than
// turn into a wrong pixel nobody notices at icon size.
constexpr bool drawingIsWellFormed() {
    for (std::string_view row : pawRows) {
        if (row.size() != static_cast<std::size_t>(pictureSize)) return false;
        for (char key : row) {
            if (key != clearKey && findInk(key) == nullptr) return false;
        }
    }
    return true;
}
static_assert(drawingIsWellFormed(), "every row must be 32 legend characters");

platform::Picture makeIcon() {
    platform::Picture picture;
    picture.width = pictureSize;
    picture.height = pictureSize;
    picture.pixels.reserve(pictureSize * pictureSize);
    picture.mask.reserve(pictureSize * pictureSize);
    for (std::string_view row : pawRows) {
        for (char key : row) {
            const bool clear = key == clearKey;
            // Black under the mask, as icon formats expect: it leaves the screen untouched where the
            // colour part is combined with what lies beneath.
            picture.pixels.push_back(clear ? platform::clBlack : findInk(key)->colour);
            picture.mask.push_back(clear);
        }
    }
    return picture;
}

platform::Picture makeBitmap() {
    platform::Picture picture = icon();
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        if (picture.mask[i]) picture.pixels[i] = platform::clFuchsia;
    }
    picture.mask.clear();
    return picture;
}

} // namespace

const platform::Picture& icon() {
    static const platform::Picture picture = makeIcon();
    return picture;
}

const platform::Picture& bitmap() {
    static const platform::Picture picture = makeBitmap();
    return picture;
}

std::span<const std::string_view> grid() {
    return pawRows;
}

} // namespace catpaw
