// The one picture test of scaling, run by every backend at every scale it is given: the frames of the
// panel-buttons, the info panel, the target box, a result panel and five keys spread over the keyboard
// picture must each be the same whole number of device pixels on all four sides, that number being
// the factor the scale is drawn at, and the cat paw's pixels whole square blocks of it. The test's
// scale comes from outside (a screen configuration, a browser's pixel ratio, a Wine prefix's DPI);
// TAPIRUN_FACTOR says the factor it must come out at, 1 when unset.

#include "common/CatPaw.h"
#include "drill/Modes.h"
#include "tests/FormFixture.h"

#include <cstdlib>
#include <string>

using platform::Colour;
using platform::test::Image;

namespace {

int expectedFactor() {
    const char* given = std::getenv("TAPIRUN_FACTOR");
    return given ? std::atoi(given) : 1;
}

class SharpnessTest : public FormTest {
protected:
    // The width of the frame's colour at each side, measured inward from the control's outer edge
    // three design pixels from its top-left corner, where no caption reaches; and that the colour
    // stops at the edge, so that the frame lies where the design puts it. A side off the picture
    // is left out.
    void expectFrame(const Image& image, MainControl id, const char* name) {
        const int f = factor;
        const int left = x(id) * f, top = y(id) * f;
        const int right = (x(id) + c(id).width()) * f - 1, bottom = (y(id) + c(id).height()) * f - 1;
        const int row = top + 3 * f, column = left + 3 * f;
        ASSERT_TRUE(left >= 0 && top >= 0 && row < image.height && column < image.width) << name;
        const Colour colour = image.at(left, row);
        ASSERT_NE(colour, platform::clBlack) << name << ": no frame at its left edge";
        const auto run = [&](int fromX, int fromY, int stepX, int stepY) {
            int n = 0;
            for (int px = fromX, py = fromY; px >= 0 && py >= 0 && px < image.width && py < image.height &&
                                             image.at(px, py) == colour && n <= 4 * f;
                 px += stepX, py += stepY)
                ++n;
            const int outX = fromX - stepX, outY = fromY - stepY;
            const bool inside = outX >= 0 && outY >= 0 && outX < image.width && outY < image.height;
            return inside && image.at(outX, outY) == colour ? -1 : n; // -1: the colour reaches past the edge
        };
        const std::string sides[] = {"top", "right", "bottom", "left"};
        const bool shown[] = {true, right < image.width, bottom < image.height, true};
        const int widths[] = {run(column, top, 0, 1), shown[1] ? run(right, row, -1, 0) : 0,
                              shown[2] ? run(column, bottom, 0, -1) : 0, run(left, row, 1, 0)};
        for (int side = 0; side < 4; ++side) {
            if (shown[side]) {
                EXPECT_EQ(widths[side], f) << name << ", " << sides[side] << " side";
            }
        }
    }

    const int factor = expectedFactor();
};

} // namespace

TEST_F(SharpnessTest, FramesAndPawAreWholeBlocksOfTheFactor) {
    Image image = platform::test::grab(w());
    shoot("idle");
    ASSERT_EQ(image.width, w().clientWidth() * factor) << "the picture is not drawn at the factor";
    expectFrame(image, MainControl::Panel1, "OK");
    expectFrame(image, MainControl::Panel2, "exit");
    expectFrame(image, MainControl::Panel3, "info");

    f1();
    type(" ");
    type(wrongKey());
    image = platform::test::grab(w());
    shoot("wrong-key");
    expectFrame(image, MainControl::Panel6, "target box");
    const platform::Picture& paw = catpaw::icon();
    const int pawLeft = x(MainControl::mofu) * factor, pawTop = y(MainControl::mofu) * factor;
    int wrong = 0;
    std::string where;
    for (int sy = 0; sy < paw.height; ++sy)
        for (int sx = 0; sx < paw.width; ++sx) {
            const auto i = static_cast<std::size_t>(sy * paw.width + sx);
            if (paw.mask[i]) continue;
            for (int dy = 0; dy < factor; ++dy)
                for (int dx = 0; dx < factor; ++dx)
                    if (image.at(pawLeft + sx * factor + dx, pawTop + sy * factor + dy) != paw.pixels[i] &&
                        wrong++ < 5)
                        where += " " + std::to_string(sx) + "," + std::to_string(sy);
        }
    EXPECT_EQ(wrong, 0) << "device pixels of the paw that are not their picture pixel's block:" << where;

    type(" ");
    image = platform::test::grab(w());
    shoot("results");
    expectFrame(image, MainControl::PanelNigate, "weak-key panel");

    selectMode(drill::KeyboardMode);
    f1();
    image = platform::test::grab(w());
    shoot("keyboard");
    for (int key : {1, 13, 20, 31, 48})
        expectFrame(image, keyFrame(key), ("key " + std::to_string(key)).c_str());
}
