// The icon theme's pictures made from the cat-paw drawing: whole-pixel enlargement, reductions that
// keep outlines and see-through parts, and no colour the drawing does not have.

#include "dist/PixelArt.h"
#include "common/CatPaw.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string_view>

using platform::Colour;
using platform::Picture;

namespace {

constexpr Colour maroon = platform::clMaroon, yellow = platform::clYellow, green = platform::clGreen;

// A picture from rows of letters: M maroon, Y yellow, G green, '.' see-through.
Picture drawn(std::initializer_list<std::string_view> rows) {
    Picture p;
    p.height = static_cast<int>(rows.size());
    p.width = static_cast<int>(rows.begin()->size());
    for (std::string_view row : rows)
        for (char key : row) {
            p.pixels.push_back(key == 'M'   ? maroon
                               : key == 'Y' ? yellow
                               : key == 'G' ? green
                                            : platform::clBlack);
            p.mask.push_back(key == '.');
        }
    return p;
}

char letterAt(const Picture& p, int x, int y) {
    const auto i = static_cast<std::size_t>(y * p.width + x);
    if (p.mask[i]) return '.';
    return p.pixels[i] == maroon ? 'M' : p.pixels[i] == yellow ? 'Y' : p.pixels[i] == green ? 'G' : '?';
}

} // namespace

// Every size the icon theme gets holds only the drawing's own colours: nothing is blended.
TEST(PixelArt, EveryIconSizeUsesOnlyTheDrawingsColours) {
    const Picture& paw = catpaw::icon();
    std::set<Colour> inks;
    for (std::size_t i = 0; i < paw.pixels.size(); ++i)
        if (!paw.mask[i]) inks.insert(paw.pixels[i]);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const Picture icon = pixelart::resized(paw, size);
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        ASSERT_EQ(icon.pixels.size(), static_cast<std::size_t>(size * size));
        ASSERT_EQ(icon.mask.size(), icon.pixels.size());
        int opaque = 0;
        for (std::size_t i = 0; i < icon.pixels.size(); ++i) {
            if (icon.mask[i]) continue;
            ++opaque;
            EXPECT_TRUE(inks.contains(icon.pixels[i])) << size << " px: a colour not in the drawing at " << i;
        }
        EXPECT_GT(opaque, size * size / 4) << size << " px: the paw fills a good part of the square";
        EXPECT_LT(opaque, size * size) << size << " px: the corners stay see-through";
    }
}

// At least as large as the drawing, each pixel becomes a solid square of the largest whole size
// that fits, and the drawing sits in the middle of a see-through margin.
TEST(PixelArt, EnlargementRepeatsWholePixelsAroundTheCentre) {
    const Picture& paw = catpaw::icon();
    struct Row {
        int size, factor, margin;
    };
    for (Row r : {Row{32, 1, 0}, Row{48, 1, 8}, Row{64, 2, 0}, Row{128, 4, 0}, Row{256, 8, 0}}) {
        const Picture icon = pixelart::resized(paw, r.size);
        int wrong = 0;
        for (int y = 0; y < r.size; ++y)
            for (int x = 0; x < r.size; ++x) {
                const auto i = static_cast<std::size_t>(y * r.size + x);
                const int sx = x - r.margin, sy = y - r.margin;
                const bool inside = sx >= 0 && sy >= 0 && sx < 32 * r.factor && sy < 32 * r.factor;
                if (!inside) {
                    wrong += !icon.mask[i];
                    continue;
                }
                const auto from = static_cast<std::size_t>((sy / r.factor) * 32 + sx / r.factor);
                wrong +=
                    icon.mask[i] != paw.mask[from] || (!paw.mask[from] && icon.pixels[i] != paw.pixels[from]);
            }
        EXPECT_EQ(wrong, 0) << r.size << " px";
    }
}

// Halving: each 2x2 area becomes the colour covering most of it, the darkest counting double and
// winning ties, and see-through when half of it or more is.
TEST(PixelArt, HalvingDecidesEachAreaByItsInk) {
    struct Row {
        std::string_view top, bottom;
        char expected;
        const char* why;
    };
    const Row rows[] = {
        {"YY", "YY", 'Y', "a fill stays"},
        {"MY", "YY", 'Y', "one dark pixel of four gives way to the fill"},
        {"MY", "MY", 'M', "an outline half the area survives"},
        {"MM", "MY", 'M', "the outline's corner survives"},
        {"GY", "YY", 'Y', "a lone pad pixel gives way"},
        {"GG", "YY", 'G', "half pad, half fur: the darker wins"},
        {"..", "YY", '.', "half see-through becomes see-through"},
        {".M", "..", '.', "a lone pixel on the edge disappears"},
        {".Y", "YY", 'Y', "a quarter see-through stays ink"},
    };
    for (const Row& r : rows) {
        const Picture half = pixelart::resized(drawn({r.top, r.bottom}), 1);
        EXPECT_EQ(letterAt(half, 0, 0), r.expected) << r.top << "/" << r.bottom << ": " << r.why;
    }
}

// A one-pixel outline around a fill stays a closed outline when the picture is halved, where a
// plain majority would leave gaps at every tie.
TEST(PixelArt, ThinOutlineStaysClosedAtHalfSize) {
    const Picture ring = drawn(
        {"MMMMMMMM", "MYYYYYYM", "MYYYYYYM", "MYYYYYYM", "MYYYYYYM", "MYYYYYYM", "MYYYYYYM", "MMMMMMMM"});
    const Picture half = pixelart::resized(ring, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool edge = x == 0 || y == 0 || x == 3 || y == 3;
            EXPECT_EQ(letterAt(half, x, y), edge ? 'M' : 'Y') << x << "," << y;
        }
}

// Three quarters: every target pixel spans one to two source pixels each way; the outline of the
// paw still reaches both sides of every row that has ink.
TEST(PixelArt, ThreeQuartersKeepsThePawsOutlineOnBothSides) {
    const Picture& paw = catpaw::icon();
    const Picture icon = pixelart::resized(paw, 24);
    const Colour outline = paw.pixels[static_cast<std::size_t>(1 * 32 + 10)]; // the top of a toe
    for (int y = 0; y < 24; ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < 24; ++x)
            if (!icon.mask[static_cast<std::size_t>(y * 24 + x)]) {
                if (first < 0) first = x;
                last = x;
            }
        if (first < 0) continue;
        EXPECT_EQ(icon.pixels[static_cast<std::size_t>(y * 24 + first)], outline) << "row " << y << " left";
        EXPECT_NE(icon.pixels[static_cast<std::size_t>(y * 24 + last)], yellow) << "row " << y << " right";
    }
}
