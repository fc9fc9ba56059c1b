// What the handlers give the screen reader to speak, and when: the same on every backend.

#include "FormFixture.h"

namespace {

class AnnouncementTest : public FormTest {
protected:
    std::string heard() { return platform::test::lastAnnouncement(w()); }
    // A target as the reader is told it: the home row's symbols with their names.
    static std::string spoken(char ch) {
        switch (ch) {
        case ';': return "; セミコロン";
        case ':': return ": コロン";
        case ']': return "] ブラケット右";
        default: return (ch >= 'A' && ch <= 'Z' ? "大文字 " : "") + std::string(1, ch);
        }
    }
    // Answers the current target after the given reaction time; the next one must be announced.
    void answer(std::uint32_t reactionMs) {
        clock.tick += reactionMs;
        type(targetText());
        EXPECT_EQ(heard(), spoken(target())) << "each new target is spoken";
    }
    // The accuracy as the results label shows it, with this desktop's decimal separator.
    std::string accuracy() {
        const std::string label = c(MainControl::Label5).text();
        return label.substr(label.find_first_not_of(' ', std::string("正解率").size()));
    }
};

} // namespace

TEST_F(AnnouncementTest, PracticeDrillFromStartMessageToResults) {
    EXPECT_EQ(heard(), "");
    selectMode(2);
    f1();
    EXPECT_EQ(heard(), "開始するときは\r\n\r\nスペース・キー");
    type(" ");
    EXPECT_EQ(heard(), spoken(target())) << "the first target";
    answer(200);
    answer(400);
    answer(400);
    const char missed = target();
    const std::string wrong = wrongKey();
    type(wrong);
    EXPECT_EQ(heard(), "間違い " + wrong + "、正しくは " + spoken(missed))
        << "a listener hears the target again";
    type(" ");
    auto keyName = [&](MainControl id) { return spoken(c(id).text() == "&&" ? '&' : c(id).text()[0]); };
    EXPECT_EQ(heard(), "出題数 4、正解数 3、間違数 1、正解率 " + accuracy() + "、苦手キー " +
                           keyName(MainControl::Nigate) + "、得意キー " + keyName(MainControl::Tokui) + "。");
}

// The keys that type a control character are named, symbols come with their names, capitals are
// said to be capitals. None of these is a target of the home row.
TEST_F(AnnouncementTest, MissesNameTheKeyTyped) {
    selectMode(2);
    f1();
    type(" ");
    struct Row {
        std::string_view typed, said;
    };
    for (Row r : {Row{"\t", "間違い Tab"}, Row{"\r", "間違い Enter"}, Row{"\b", "間違い BackSpace"},
                  Row{"\x1b", "間違い Esc"}, Row{"Q", "間違い 大文字 Q"}, Row{"&", "間違い & アンパサンド"},
                  Row{"\\", "間違い \\ エン"}, Row{"_", "間違い _ アンダーバー"}}) {
        type(r.typed);
        EXPECT_EQ(heard(), std::string(r.said) + "、正しくは " + spoken(target())) << r.said;
    }
}

TEST_F(AnnouncementTest, FewAnswersLeaveTheKeysOut) {
    selectMode(1);
    f1();
    type(" ");
    answer(300);
    answer(300);
    type(wrongKey());
    type(" ");
    EXPECT_EQ(heard(), "出題数 3、正解数 2、間違数 1、正解率 " + accuracy() + "。");
}

// Answers all slower than five seconds leave the strong key blank on the screen; a listener is told
// there is none rather than hearing a pause.
TEST_F(AnnouncementTest, ABlankStrongKeyIsSaidToBeNone) {
    selectMode(1);
    f1();
    type(" ");
    for (int i = 0; i < 3; ++i)
        answer(6000);
    type(" ");
    ASSERT_EQ(c(MainControl::Tokui).text(), " ");
    const std::string line = heard();
    EXPECT_EQ(line.substr(line.find("、得意キー ")), "、得意キー なし。");
}

TEST_F(AnnouncementTest, TestResultAndKeyboardPicture) {
    selectMode(5);
    f1();
    type(" ");
    answer(100);
    for (int i = 0; i < 60; ++i)
        platform::test::fire(form->timer3());
    EXPECT_EQ(heard(), "検定結果 級外、１分間 1 文字。");

    selectMode(6);
    f1();
    EXPECT_EQ(heard(), "キーの位置と使う指を覚えてねッ！");
    click(MainControl::Owari);
    EXPECT_EQ(heard(), "モードを選択してから\r\n\r\nＯＫをクリックしてね！");
}
