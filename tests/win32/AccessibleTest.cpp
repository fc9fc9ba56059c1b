// What a Windows screen reader reads through Active Accessibility: the roles, names and states of
// the self-drawn controls, the default action of the panel-buttons, and the announcement.

#include "FormFixture.h"
#include "platform/win32/Internal.h"

#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Element {
    LONG role = 0;
    std::wstring name, description;
    LONG state = 0;
    IAccessible* owner = nullptr; // answers for the element under childId
    LONG childId = CHILDID_SELF;
    bool shown() const { return !(state & STATE_SYSTEM_INVISIBLE); }
};

std::wstring take(BSTR text) {
    std::wstring out = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return out;
}

Element describe(IAccessible* owner, LONG childId) {
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = childId;
    Element e;
    e.owner = owner;
    e.childId = childId;
    VARIANT v{};
    if (owner->get_accRole(id, &v) == S_OK) e.role = v.lVal;
    if (owner->get_accState(id, &v) == S_OK) e.state = v.lVal;
    BSTR text = nullptr;
    owner->get_accName(id, &text);
    e.name = take(text);
    text = nullptr;
    owner->get_accDescription(id, &text);
    e.description = take(text);
    return e;
}

// Every element of the tree, the objects kept alive by the test's list.
void collect(IAccessible* object, std::vector<Element>& out, std::vector<IAccessible*>& keep) {
    keep.push_back(object);
    out.push_back(describe(object, CHILDID_SELF));
    LONG count = 0;
    object->get_accChildCount(&count);
    for (LONG i = 1; i <= count; ++i) {
        VARIANT id{};
        id.vt = VT_I4;
        id.lVal = i;
        IDispatch* child = nullptr;
        if (object->get_accChild(id, &child) == S_OK && child) {
            IAccessible* inner = nullptr;
            child->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&inner));
            child->Release();
            if (inner) collect(inner, out, keep);
        } else {
            out.push_back(describe(object, i));
        }
    }
}

class AccessibleTest : public FormTest {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        FormTest::SetUp();
    }
    void TearDown() override {
        release();
        FormTest::TearDown();
    }
    void release() {
        for (IAccessible* a : keep)
            a->Release();
        keep.clear();
    }
    std::vector<Element> tree() {
        release();
        std::vector<Element> out;
        IAccessible* root = nullptr;
        // The object the window answers WM_GETOBJECT with. Wine's oleacc cannot hand it over to a
        // client (AccessibleObjectFromWindow fails with E_NOINTERFACE), so it is taken directly.
        if (platform::WindowImpl* window = platform::windowOf(FindWindowW(L"TapirunForm", L"Tapirun")))
            root = platform::createAccessible(window->root);
        if (root) collect(root, out, keep);
        return out;
    }
    static const Element* find(const std::vector<Element>& all, LONG role, const std::wstring& name) {
        for (const Element& e : all)
            if (e.role == role && e.name == name) return &e;
        return nullptr;
    }
    static void press(const Element& e) {
        VARIANT id{};
        id.vt = VT_I4;
        id.lVal = e.childId;
        e.owner->accDoDefaultAction(id);
    }
    std::vector<IAccessible*> keep;
};

TEST_F(AccessibleTest, StartScreenDrillAndKeyboardAsAReaderSeesThem) {
    auto all = tree();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].role, ROLE_SYSTEM_WINDOW);
    EXPECT_EQ(all[0].name, L"Tapirun");
    const Element* ok = find(all, ROLE_SYSTEM_PUSHBUTTON, L"O K");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->description, L"開始します。");
    EXPECT_TRUE(ok->shown());
    for (const wchar_t* name : {L"終 了", L"バージョン情報"})
        EXPECT_NE(find(all, ROLE_SYSTEM_PUSHBUTTON, name), nullptr) << name;
    const Element* mode = find(all, ROLE_SYSTEM_RADIOBUTTON, L"中段の練習");
    ASSERT_NE(mode, nullptr);
    EXPECT_TRUE(mode->state & STATE_SYSTEM_CHECKED);
    EXPECT_NE(find(all, ROLE_SYSTEM_GROUPING, L"モード"), nullptr);
    const Element* message =
        find(all, ROLE_SYSTEM_STATICTEXT, L"モードを選択してから ＯＫをクリックしてね！");
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->shown());
    EXPECT_NE(find(all, ROLE_SYSTEM_PROGRESSBAR, L"経過時間"), nullptr);
    // Nothing unnamed that only arranges or decorates stands between the window and what it holds.
    EXPECT_TRUE(std::none_of(all.begin(), all.end(), [](const Element& e) {
        return (e.role == ROLE_SYSTEM_PANE || e.role == ROLE_SYSTEM_GRAPHIC) && e.name.empty();
    }));
    // A key is one element, its finger said once.
    EXPECT_EQ(find(all, ROLE_SYSTEM_STATICTEXT, L"a 左小指")->description, L"");
    for (const wchar_t* hidden : {L"苦手・キー", L"a 左小指"}) {
        const Element* e = find(all, ROLE_SYSTEM_STATICTEXT, hidden);
        ASSERT_NE(e, nullptr) << hidden;
        EXPECT_FALSE(e->shown()) << hidden;
    }

    // OK pressed by the reader prepares a drill, which is announced.
    press(*ok);
    all = tree();
    EXPECT_TRUE(find(all, ROLE_SYSTEM_STATICTEXT, L"開始するときは スペース・キー")->shown());
    EXPECT_TRUE(find(all, ROLE_SYSTEM_PUSHBUTTON, L"O K")->state & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_NE(find(all, ROLE_SYSTEM_ALERT, L"開始するときは スペース・キー"), nullptr);
    type(" ");
    // The home row's symbols are said with their names.
    const char t = target();
    const std::string named = t == ';'   ? "; セミコロン"
                              : t == ':' ? ": コロン"
                              : t == ']' ? "] ブラケット右"
                                         : std::string(1, t);
    const std::string missed = "間違い " + wrongKey() + "、正しくは " + named;
    type(wrongKey());
    all = tree();
    EXPECT_NE(find(all, ROLE_SYSTEM_ALERT, platform::widen(missed)), nullptr) << missed;

    // The keyboard picture, and the Shift toggle pressed by the reader.
    type(" ");
    selectMode(6);
    f1();
    all = tree();
    EXPECT_TRUE(find(all, ROLE_SYSTEM_STATICTEXT, L"f 左人差し指【ホームポジション】")->shown());
    const Element* shift = find(all, ROLE_SYSTEM_PUSHBUTTON, L"Shift");
    ASSERT_NE(shift, nullptr);
    EXPECT_FALSE(shift->state & STATE_SYSTEM_CHECKED);
    press(*shift);
    all = tree();
    EXPECT_TRUE(find(all, ROLE_SYSTEM_PUSHBUTTON, L"Shift")->state & STATE_SYSTEM_CHECKED);
    EXPECT_TRUE(find(all, ROLE_SYSTEM_STATICTEXT, L"F 左人差し指【ホームポジション】")->shown());
}

} // namespace

namespace {

std::vector<std::pair<DWORD, LONG>> g_events; // event, child id, as a reader's hook hears them

void CALLBACK heard(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) g_events.emplace_back(event, child);
}

// A reader arrowing through the self-drawn mode list follows the focus and selection events to the
// item now selected, and asks the group which item holds the focus.
TEST_F(AccessibleTest, ArrowingThroughTheModeListMovesTheReadersFocus) {
    const HWND group =
        FindWindowExW(FindWindowW(L"TapirunForm", L"Tapirun"), nullptr, L"TapirunRadioGroup", nullptr);
    ASSERT_NE(group, nullptr);
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_SELECTION, nullptr, heard,
                                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    g_events.clear();
    SetFocus(group);
    const int before = c(MainControl::ModeSelect).itemIndex();
    SendMessageW(group, WM_KEYDOWN, VK_DOWN, 0);
    for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
        DispatchMessageW(&m);
    UnhookWinEvent(hook);
    ASSERT_EQ(c(MainControl::ModeSelect).itemIndex(), before + 1);

    const std::vector<Element> all = tree();
    const auto item = std::find_if(all.begin(), all.end(), [&](const Element& e) {
        return e.role == ROLE_SYSTEM_RADIOBUTTON && (e.state & STATE_SYSTEM_CHECKED);
    });
    ASSERT_NE(item, all.end());
    EXPECT_TRUE(item->state & STATE_SYSTEM_FOCUSED);
    VARIANT focus{};
    ASSERT_EQ(item->owner->get_accFocus(&focus), S_OK);
    EXPECT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(focus.lVal, item->childId);
    EXPECT_NE(
        std::find(g_events.begin(), g_events.end(), std::make_pair(DWORD{EVENT_OBJECT_FOCUS}, item->childId)),
        g_events.end());
    EXPECT_NE(std::find(g_events.begin(), g_events.end(),
                        std::make_pair(DWORD{EVENT_OBJECT_SELECTION}, item->childId)),
              g_events.end());
}

} // namespace
