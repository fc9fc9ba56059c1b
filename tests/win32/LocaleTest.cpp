// The accuracy is written with the decimal separator of the user's regional settings, here a comma
// as in much of Europe, and follows a change made while the program runs.

#include "FormFixture.h"

#include <windows.h>

#include <string>

namespace {

std::wstring userSeparator() {
    wchar_t separator[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return separator;
}

class LocaleTest : public FormTest {
protected:
    void SetUp() override {
        saved = userSeparator();
        FormTest::SetUp();
    }
    void TearDown() override {
        FormTest::TearDown();
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved.c_str());
    }
    // Two right answers and one wrong one: 66.67 percent.
    std::string twoOfThree() {
        f1();
        type(" ");
        type(targetText());
        type(targetText());
        type(wrongKey());
        type(" ");
        return c(MainControl::Label5).text();
    }
    std::wstring saved;
};

} // namespace

TEST_F(LocaleTest, AccuracyUsesTheUsersSeparator) {
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L","));
    EXPECT_EQ(twoOfThree(), "正解率    66,67％");
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"."));
    EXPECT_EQ(twoOfThree(), "正解率    66.67％");
}
