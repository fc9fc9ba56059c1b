// The text rules every backend shares.

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <vector>

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

// The three backends parsed and wrapped labels each their own way: the browser kept the marks of a
// wrapped label as text and underlined past the end of a line ending in "&".
TEST(Text, LabelLinesResolveMarksWrapAndSizeTheLabel) {
    // Ten pixels a character, so that a width tells how many fit.
    const platform::Measure measure = [](std::u32string_view text) {
        return 10.0 * static_cast<double>(text.size());
    };
    struct Row {
        std::string_view text;
        bool wrap;
        std::vector<platform::LabelLine> lines;
        platform::LabelSize size; // with lines 16 high, and 25 wide where wrapped
    };
    for (const Row& r : {
             Row{"開始\r\n\r\nキー", false, {{U"開始"}, {U""}, {U"キー"}}, {20, 48}},
             Row{"&Open && close", false, {{U"Open & close", 0}}, {120, 16}},
             Row{"end&", false, {{U"end"}}, {30, 16}},
             Row{"a\\b", false, {{U"a\u00A5b"}}, {30, 16}},
             Row{"", false, {{U""}}, {10, 16}},
             Row{"abcde", true, {{U"ab"}, {U"cd"}, {U"e"}}, {25, 48}},
             Row{"&a&&b", true, {{U"a&"}, {U"b"}}, {25, 32}},
         }) {
        const auto lines = platform::labelLines(r.text, r.wrap, 25, measure);
        ASSERT_EQ(lines.size(), r.lines.size()) << r.text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].text, r.lines[i].text) << r.text << " line " << i;
            EXPECT_EQ(lines[i].underline, r.lines[i].underline) << r.text << " line " << i;
        }
        const platform::LabelSize size = platform::labelSize(lines, r.wrap, 25, 16, measure);
        EXPECT_EQ(size.width, r.size.width) << r.text;
        EXPECT_EQ(size.height, r.size.height) << r.text;
    }
}
