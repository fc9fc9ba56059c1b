// The faces the design names are served by Debian's IPA fonts. A missing font or substitution
// leaves the toolkit to fall back on its default face, which still draws every character, so only
// the face actually chosen shows the fault.

#include "FormFixture.h"

#include <map>
#include <string>

TEST_F(FormTest, EveryTextIsDrawnInTheFaceItsDesignNames) {
    const std::map<std::string, std::string> served = {
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"ＭＳ 明朝", "IPAMincho"}};
    int checked = 0;
    auto check = [&](platform::Window& window, const auto& table) {
        for (const auto& row : table) {
            if (!row.font.face || row.kind == platform::Kind::Image) continue;
            EXPECT_EQ(platform::test::drawnFace(window, row.name.id), served.at(row.font.face))
                << "control " << row.name.id << " asks for " << row.font.face;
            ++checked;
        }
    };
    check(w(), mainFormControls());
    check(w(), keyPanelControls());
    check(about->window(), aboutBoxControls());
    EXPECT_GT(checked, 70) << "every text-bearing control of both windows";
    // The target and the wrong key above all: the learner reads them from across the room.
    EXPECT_EQ(platform::test::drawnFace(w(), static_cast<int>(MainControl::Label1)), "IPAPGothic");
    EXPECT_EQ(platform::test::drawnFace(w(), static_cast<int>(MainControl::Label2)), "IPAPGothic");
}
