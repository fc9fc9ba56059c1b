// The text rules every backend shares.

#include "platform/Text.h"

#include <gtest/gtest.h>

TEST(Text, Utf8RoundTripAndBrokenInput) {
    for (char32_t ch : {U'a', U'\u00A5', U'\u30ED', U'\uFF3C', U'\U0001F43E'})
        EXPECT_EQ(platform::decode(platform::encode(ch)), std::u32string(1, ch)) << static_cast<unsigned>(ch);
    struct Row {
        std::string_view bytes;
        std::u32string decoded;
    };
    // A broken sequence costs one replacement character and no more: the next character survives.
    for (const Row& r : {Row{"\xE3\x83", U"\uFFFD"},
                         Row{"\xE3"
                             "a",
                             U"\uFFFDa"},
                         Row{"\x80"
                             "b",
                             U"\uFFFDb"},
                         Row{"\xC2\xA5"
                             "\\",
                             U"\u00A5\\"},
                         Row{"", U""}})
        EXPECT_EQ(platform::decode(r.bytes), r.decoded);
}

TEST(Text, BackslashIsShownAsYenAndHintsAreCutAtTheBar) {
    EXPECT_EQ(platform::displayText("a\\b＼"), "a\u00A5b＼");
    EXPECT_EQ(platform::shortHint("バージョン情報|Tapirun"), "バージョン情報");
    EXPECT_EQ(platform::shortHint("no bar"), "no bar");
    EXPECT_EQ(platform::shortHint("|long only"), "");
}

// Qt trimmed both ends, Windows the end, the browser neither: now every reader hears the same.
TEST(Text, SpokenTextJoinsLinesResolvesMarksAndTrims) {
    struct Row {
        std::string_view text;
        bool accelerators;
        std::string_view spoken;
    };
    for (const Row& r : {Row{"開始するときは\r\n\r\nスペース・キー", true, "開始するときは スペース・キー"},
                         Row{"&&", true, "&"}, Row{"&OK", true, "OK"}, Row{"a & b", false, "a & b"},
                         Row{" \\ ", true, "\u00A5"}, Row{"\r\nend\r\n", true, "end"}, Row{"", true, ""}})
        EXPECT_EQ(platform::spokenText(r.text, r.accelerators), r.spoken) << r.text;
}
