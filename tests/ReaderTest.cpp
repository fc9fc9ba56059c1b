// What every backend tells a screen reader of a control.

#include "platform/core/ScreenReader.h"

#include <gtest/gtest.h>

using platform::ReaderRole;

TEST(Reader, RoleNameDescriptionAndStatesOfEachKindOfControl) {
    struct Row {
        platform::Kind kind;
        std::string_view text, hint;
        unsigned style;
        bool clickable, enabled, checked;
        ReaderRole role;
        std::string_view name, description;
        bool disabled, toggle, isChecked;
    };
    using enum platform::Kind;
    using enum platform::Style;
    const Row rows[] = {
        // A key of the keyboard picture: its legend and its finger, once; the panels under it only
        // arrange it.
        {Label, "1", "左小指", ShowHint | Transparent, false, true, false, ReaderRole::Text, "1 左小指", "",
         false, false, false},
        {Panel, "", "左小指", ShowHint, false, true, false, ReaderRole::Layout, "", "", false, false, false},
        {Label, "f", "左人差し指|ホーム", ShowHint, false, true, false, ReaderRole::Text, "f 左人差し指",
         "ホーム", false, false, false},
        {Label, "", "エン", ShowHint, false, true, false, ReaderRole::Text, "エン", "", false, false, false},
        {Label, "出題数\r\n1", "hint", NoStyle, false, false, false, ReaderRole::Text, "出題数 1", "", false,
         false, false},
        // A plain panel's caption lies under the labels on it and is never read.
        {Panel, "Panel9", "", NoStyle, false, false, false, ReaderRole::Layout, "", "", false, false, false},
        // Panel-buttons: spaced captions read as one word each, disabled reported.
        {Panel, "O  K", "開始|開始します。", ShowHint, true, false, false, ReaderRole::Button, "O K",
         "開始します。", true, false, false},
        {Panel, "戻\u3000る", "練習モード選択画面に戻る", ShowHint, true, true, false, ReaderRole::Button,
         "戻 る", "練習モード選択画面に戻る", false, false, false},
        {Panel, "Tapirun", "バージョン情報|バージョン情報を表示します。", ShowHint | NamedByHint, true, true,
         false, ReaderRole::Button, "バージョン情報", "バージョン情報を表示します。", false, false, false},
        {Panel, "Tapirun", "情報", NamedByHint, true, true, false, ReaderRole::Button, "情報", "", false,
         false, false},
        {Panel, "Shift", "大文字", ShowHint | Toggle, true, true, true, ReaderRole::Button, "Shift", "大文字",
         false, true, true},
        {Panel, "Shift", "", Toggle, true, true, false, ReaderRole::Button, "Shift", "", false, true, false},
        // Pictures alike everywhere: named by their hint, or not reported at all.
        {Image, "", "", NoStyle, false, true, false, ReaderRole::Layout, "", "", false, false, false},
        {Image, "", "猫の手|間違い", NoStyle, false, true, false, ReaderRole::Picture, "猫の手", "", false,
         false, false},
        {ProgressBar, "", "経過時間", NoStyle, false, true, false, ReaderRole::ProgressBar, "経過時間", "",
         false, false, false},
        {RadioGroup, "モード", "", NoStyle, false, false, false, ReaderRole::RadioGroup, "モード", "", false,
         false, false},
        {Button, "OK", "", NoStyle, false, true, false, ReaderRole::SystemButton, "OK", "", false, false,
         false},
    };
    for (const Row& r : rows) {
        platform::ControlState c;
        c.kind = r.kind;
        c.text = std::string(r.text);
        c.hint = std::string(r.hint);
        c.style = r.style;
        c.enabled = r.enabled;
        c.checked = r.checked;
        if (r.clickable) c.clickHandler = [] {};
        const platform::ReaderView v = platform::readerView(c);
        SCOPED_TRACE(std::string(r.text) + " / " + std::string(r.hint));
        EXPECT_EQ(v.role, r.role);
        EXPECT_EQ(v.name, r.name);
        EXPECT_EQ(v.description, r.description);
        EXPECT_EQ(v.disabled, r.disabled);
        EXPECT_EQ(v.toggle, r.toggle);
        EXPECT_EQ(v.checked, r.isChecked);
    }
}
