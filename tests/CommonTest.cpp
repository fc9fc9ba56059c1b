#include "common/CatPaw.h"
#include "common/Centring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <utility>
#include <vector>

using platform::Colour;
using platform::Picture;

namespace {

constexpr int side = 32;

// Written from the familiar RGB triples rather than copied from the legend, so the check does not share
// a slip made while turning them into blue-high values. Fuchsia, the sixteenth, is left out: the
// bitmap's see-through colour would punch such a pixel out along with the background.
constexpr Colour fromRgb(unsigned r, unsigned g, unsigned b) {
    return b << 16 | g << 8 | r;
}

const std::array<Colour, 15> windowsPalette{
    fromRgb(0x00, 0x00, 0x00), fromRgb(0x80, 0x00, 0x00), fromRgb(0x00, 0x80, 0x00),
    fromRgb(0x80, 0x80, 0x00), fromRgb(0x00, 0x00, 0x80), fromRgb(0x80, 0x00, 0x80),
    fromRgb(0x00, 0x80, 0x80), fromRgb(0xC0, 0xC0, 0xC0), fromRgb(0x80, 0x80, 0x80),
    fromRgb(0xFF, 0x00, 0x00), fromRgb(0x00, 0xFF, 0x00), fromRgb(0xFF, 0xFF, 0x00),
    fromRgb(0x00, 0x00, 0xFF), fromRgb(0x00, 0xFF, 0xFF), fromRgb(0xFF, 0xFF, 0xFF),
};

std::size_t index(int x, int y) {
    return static_cast<std::size_t>(y * side + x);
}

bool clearAt(const Picture& picture, int x, int y) {
    return picture.mask[index(x, y)];
}

std::size_t count(const Picture& picture, Colour colour) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        if (!picture.mask[i] && picture.pixels[i] == colour) ++n;
    }
    return n;
}

} // namespace

// Read off the drawing by hand: the rim of the second toe starts at column 10 of row 1, that of the
// first toe at column 3 of row 4; the corners are clear. The drawing is not symmetric, so a picture read
// transposed or upside down differs here.
TEST(CatPaw, IconIsTheDrawingTheRightWayRound) {
    const Picture& icon = catpaw::icon();
    ASSERT_TRUE(icon.isIcon());
    ASSERT_EQ(icon.width, side);
    ASSERT_EQ(icon.height, side);
    ASSERT_EQ(icon.mask.size(), icon.pixels.size());
    EXPECT_TRUE(clearAt(icon, 9, 1));
    EXPECT_EQ(icon.pixels[index(10, 1)], platform::clMaroon);
    EXPECT_EQ(icon.pixels[index(10, 2)], platform::clYellow);
    EXPECT_EQ(icon.pixels[index(11, 3)], platform::clGreen);
    EXPECT_EQ(icon.pixels[index(3, 4)], platform::clMaroon);
    EXPECT_TRUE(clearAt(icon, 4, 3));
    for (int corner : {0, side - 1})
        EXPECT_TRUE(clearAt(icon, corner, 0) && clearAt(icon, corner, side - 1)) << "corners see through";
    // The fur, not the pads, has to dominate or it stops reading as a yellow paw.
    EXPECT_GT(count(icon, platform::clYellow), count(icon, platform::clGreen));
}

TEST(CatPaw, EachLetterOfTheGridIsItsOwnColour) {
    // Two letters sharing a colour means one legend entry was typed wrong, e.g. shading that came out
    // the same as the outline.
    const Picture& icon = catpaw::icon();
    const auto rows = catpaw::grid();
    std::map<char, Colour> colourOf;
    std::map<Colour, char> letterOf;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const char key = rows[y][x];
            if (key == '.') continue;
            const Colour colour = icon.pixels[index(x, y)];
            EXPECT_EQ(colourOf.try_emplace(key, colour).first->second, colour) << "'" << key << "'";
            EXPECT_EQ(letterOf.try_emplace(colour, key).first->second, key) << std::hex << colour;
        }
    }
}

TEST(CatPaw, IconUsesTheSixteenColourPaletteButFuchsia) {
    const Picture& icon = catpaw::icon();
    for (std::size_t i = 0; i < icon.pixels.size(); ++i) {
        if (icon.mask[i]) continue;
        EXPECT_NE(std::find(windowsPalette.begin(), windowsPalette.end(), icon.pixels[i]),
                  windowsPalette.end())
            << "pixel " << i << " is " << std::hex << icon.pixels[i];
    }
}

TEST(CatPaw, BitmapIsTheIconOnFuchsia) {
    const Picture& bitmap = catpaw::bitmap();
    EXPECT_FALSE(bitmap.isIcon());
    ASSERT_EQ(bitmap.width, side);
    ASSERT_EQ(bitmap.height, side);
    // The picture box takes its see-through colour from the bottom-left pixel.
    for (auto [x, y] : {std::pair{0, side - 1}, std::pair{0, 0}, std::pair{side - 1, 0}, std::pair{9, 1}})
        EXPECT_EQ(bitmap.pixels[index(x, y)], platform::clFuchsia) << x << "," << y;
    EXPECT_EQ(bitmap.pixels[index(10, 1)], platform::clMaroon);
    EXPECT_EQ(bitmap.pixels[index(11, 3)], platform::clGreen);
}

TEST(CatPaw, OutlineIsClosed) {
    // Without a maroon rim the yellow fades into light backgrounds and the shape goes ragged when scaled.
    const Picture& icon = catpaw::icon();
    const std::array<std::pair<int, int>, 4> steps{{{1, 0}, {-1, 0}, {0, 1}, {0, -1}}};
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (clearAt(icon, x, y) || icon.pixels[index(x, y)] == platform::clMaroon) continue;
            for (auto [dx, dy] : steps) {
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= side || ny >= side) continue;
                EXPECT_FALSE(clearAt(icon, nx, ny))
                    << "fill at " << x << "," << y << " touches the background";
            }
        }
    }
}

TEST(CatPaw, EverySeeThroughPixelIsOpenToTheEdge) {
    // A clear pocket enclosed by the drawing would show the window through the paw as a hole.
    const Picture& icon = catpaw::icon();
    std::vector<bool> reached(icon.mask.size(), false);
    std::vector<std::pair<int, int>> pending;
    for (int i = 0; i < side; ++i) {
        for (auto [x, y] : {std::pair{i, 0}, std::pair{i, side - 1}, std::pair{0, i}, std::pair{side - 1, i}})
            pending.emplace_back(x, y);
    }
    while (!pending.empty()) {
        const auto [x, y] = pending.back();
        pending.pop_back();
        if (x < 0 || y < 0 || x >= side || y >= side || reached[index(x, y)] || !clearAt(icon, x, y))
            continue;
        reached[index(x, y)] = true;
        pending.insert(pending.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            EXPECT_TRUE(!clearAt(icon, x, y) || reached[index(x, y)])
                << "enclosed clear pixel at " << x << "," << y;
        }
    }
}

// A control larger than its container by an odd amount: the keyboard picture, 800 wide, on a
// screen 639 wide lies at -80, not -81.
TEST(Centring, TruncatesTowardZero) {
    EXPECT_EQ(centred(1024, 140), 442);
    EXPECT_EQ(centred(1023, 140), 441);
    EXPECT_EQ(centred(639, 800), -80);
}
