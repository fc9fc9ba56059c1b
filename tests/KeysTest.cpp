// Which presses are an answer, whatever desktop reported them.

#include "platform/Keys.h"

#include <gtest/gtest.h>

TEST(Keys, ChordsAltGrAndKeysThatTypeNothing) {
    using platform::HeldKeys;
    const HeldKeys none, ctrl{.ctrl = true}, alt{.alt = true}, logo{.logo = true},
        ctrlAlt{.ctrl = true, .alt = true}, altGr{.ctrl = true, .alt = true, .altGr = true};
    struct Row {
        char32_t typed;
        HeldKeys held;
        std::optional<char32_t> answer;
    };
    const Row rows[] = {
        {U'a', none, U'a'},
        {U'\r', none, U'\r'},
        {0x1B, none, 0x1B},
        {U'\\', none, U'\\'},
        {0xA5, none, U'\\'}, // the yen key
        {0x7F, none, std::nullopt},
        {0x85, none, std::nullopt},
        {U'w', ctrl, std::nullopt},
        {0x17, ctrl, std::nullopt}, // Ctrl+W as the desktop types it
        {U'w', alt, std::nullopt},
        {U'c', logo, std::nullopt}, // Cmd+C on a Mac
        {U'r', HeldKeys{.logo = true, .altGr = true}, std::nullopt},
        // Ctrl with Alt is a chord where AltGr is a level of its own (X, Wayland)...
        {U';', ctrlAlt, std::nullopt},
        {U'1', ctrlAlt, std::nullopt},
        {U'a', ctrlAlt, std::nullopt},
        // ...and AltGr's printable characters are answers where the desktop says it was AltGr.
        {U'@', altGr, U'@'},
        {0xA5, altGr, U'\\'},
        {0x1B, altGr, std::nullopt},
        {0x7F, altGr, std::nullopt},
    };
    for (const Row& r : rows)
        EXPECT_EQ(platform::answerOf(r.typed, r.held), r.answer)
            << std::hex << static_cast<unsigned>(r.typed) << " ctrl " << r.held.ctrl << " alt " << r.held.alt
            << " logo " << r.held.logo << " altGr " << r.held.altGr;
}
