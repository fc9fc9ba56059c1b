// The main window as designed: one row per control, parents before children, in stacking order,
// bottom first. Values only; start-up moves the controls whose place depends on the screen.

#include "Unit1/MainForm.h"

#include <array>

using namespace platform;

namespace {

constexpr Font Inherit{};
constexpr Font Window12{"ＭＳ Ｐゴシック", 12, false, clWindowText};

constexpr std::array<std::string_view, 7> ModeItems = {
    "最上段の練習", "上段の練習", "中段の練習", "下段の練習", "総合練習", "検定試験", "キー位置確認",
};

using Row = ControlRow;
constexpr auto P = Kind::Panel;
constexpr auto L = Kind::Label;
constexpr auto I = Kind::Image;
constexpr auto Hand = Cursor::HandPoint;
constexpr auto Arrow = Cursor::Default;

// clang-format off
constexpr Row MainControls[] = {
//   kind  name            parent          left  top  width height colour        font                                      caption          cursor hint                                         visible style
    {L,    MainControl::Label2,      MainControl::MofuForm1,    572, 310,   72, 133, clBlack,   {"ＭＳ Ｐゴシック", 133, false, clOlive},    "L",             Arrow, "",                                          true},
    {L,    MainControl::Label3,      MainControl::MofuForm1,    200, 120,    8,  27, clInherit, {"ＭＳ Ｐ明朝", 27, false, clAqua},          "",              Arrow, "",                                          true},
    {L,    MainControl::Label5,      MainControl::MofuForm1,     50, 250,   12,  40, clInherit, {"ＭＳ Ｐ明朝", 40, false, clYellow},        "",              Arrow, "",                                          true},
    {L,    MainControl::Label6,      MainControl::MofuForm1,    270, 120,   14,  27, clInherit, {"ＭＳ 明朝", 27, false, clAqua},            "",              Arrow, "",                                          true},
    {I,    MainControl::mofu,        MainControl::MofuForm1,    400, 296,   33,  41, clInherit, Inherit,                                   "",              Arrow, "",                                          true,  Stretch | Transparent},
    {L,    MainControl::Label12,     MainControl::MofuForm1,    736,  90,    9,  27, clInherit, {"ＭＳ Ｐ明朝", 27, true, clLime},           "",              Arrow, "",                                          false},
    {Kind::ProgressBar,
           MainControl::ProgressBar1,MainControl::MofuForm1,     32, 400,  150,  17, clBtnFace, Inherit,                                   "",              Arrow, "経過時間",                                  true},
    {P,    MainControl::Panel1,      MainControl::MofuForm1,     30,  30,  102,  36, clLime,    Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::OKButton1,   MainControl::Panel1,         1,   1,  100,  34, clBlack,   {"ＭＳ Ｐゴシック", 20, true, clAqua},      "O  K",          Hand,  "開始|開始します。",                         true,  ShowHint},
    {P,    MainControl::Panel2,      MainControl::MofuForm1,    168,  30,  102,  36, clLime,    {"ＭＳ Ｐゴシック", 12, false, clBlack},     "",              Arrow, "",                                          true},
    {P,    MainControl::ExitButton1, MainControl::Panel2,         1,   1,  100,  34, clBlack,   {"ＭＳ Ｐゴシック", 20, true, clRed},       "終  了",        Hand,  "終了|終了します。",                         true,  ShowHint},
    {Kind::RadioGroup,
           MainControl::ModeSelect,  MainControl::MofuForm1,     32,  96,  150, 180, clInherit, {"ＭＳ Ｐゴシック", 16, true, clWhite},     "モード",        Arrow, "",                                          true,  NoStyle, ModeItems, 2},
    {P,    MainControl::Panel3,      MainControl::MofuForm1,    370,  30,  350,  36, clBlue,    Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::Panel4,      MainControl::Panel3,         1,   1,  200,  34, clBlack,   {"ＭＳ Ｐゴシック", 20, false, clYellow},   "Tapirun",       Hand,  "バージョン情報|バージョン情報を表示します。", true, ShowHint | NamedByHint},
    {P,    MainControl::Panel5,      MainControl::Panel3,       200,   1,  149,  34, clBlack,   {"ＭＳ Ｐゴシック", 20, false, clAqua},     "Zunobe",        Hand,  "バージョン情報|バージョン情報を表示します。", true, ShowHint | NamedByHint},
    {P,    MainControl::Panel6,      MainControl::MofuForm1,    328,  88,  140, 140, clFuchsia, Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::Panel7,      MainControl::Panel6,         1,   1,  138, 138, clBlack,   Inherit,                                   "",              Arrow, "",                                          true},
    {L,    MainControl::Label1,      MainControl::Panel7,        30,   2,   79, 133, clBlack,   {"ＭＳ Ｐゴシック", 133, false, clWhite},    "K",             Arrow, "",                                          true},
    {P,    MainControl::Panel8,      MainControl::MofuForm1,     40, 300,  150, 100, clYellow,  Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::Panel9,      MainControl::Panel8,         1,   1,  148,  98, clBlack,   Window12,                                  "Panel9",        Arrow, "",                                          true},
    {L,    MainControl::Label7,      MainControl::Panel9,        10,  10,  118,  20, clBlack,   {"ＭＳ 明朝", 20, true, clLime},            "出題数 9999",   Arrow, "",                                          true},
    {L,    MainControl::Label9,      MainControl::Panel9,        10,  70,  118,  20, clInherit, {"ＭＳ 明朝", 20, true, clRed},             "間違数 9999",   Arrow, "",                                          true},
    {L,    MainControl::Label8,      MainControl::Panel9,        10,  40,  118,  20, clInherit, {"ＭＳ 明朝", 20, true, clAqua},            "正解数 9999",   Arrow, "",                                          true},
    {P,    MainControl::PanelNigate, MainControl::MofuForm1,    240, 272,  150, 125, clRed,     Inherit,                                   "",              Arrow, "",                                          false},
    {P,    MainControl::Panel11,     MainControl::PanelNigate,    1,   1,  148, 123, clBlack,   Inherit,                                   "",              Arrow, "",                                          true},
    {L,    MainControl::Label4,      MainControl::Panel11,       16,  10,  105,  20, clInherit, {"ＭＳ 明朝", 20, true, clFuchsia},         "苦手・キー",    Arrow, "",                                          true},
    {L,    MainControl::Nigate,      MainControl::Panel11,       16,  35,   48,  80, clInherit, {"ＭＳ Ｐゴシック", 80, false, clWhite},     "K",             Arrow, "",                                          true},
    {I,    MainControl::NigateMofu,  MainControl::Panel11,       95,  70,   35,  40, clInherit, Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::PanelTokui,  MainControl::MofuForm1,    700, 270,  150, 125, clAqua,    Inherit,                                   "",              Arrow, "",                                          false},
    {P,    MainControl::Panel13,     MainControl::PanelTokui,     1,   1,  148, 123, clBlack,   Inherit,                                   "",              Arrow, "",                                          true},
    {L,    MainControl::Label10,     MainControl::Panel13,       16,  10,  105,  20, clInherit, {"ＭＳ 明朝", 20, true, clAqua},            "得意・キー",    Arrow, "",                                          true},
    {L,    MainControl::Tokui,       MainControl::Panel13,       16,  35,   48,  80, clInherit, {"ＭＳ Ｐゴシック", 80, false, clWhite},     "K",             Arrow, "",                                          true},
    {I,    MainControl::TokuiMofu,   MainControl::Panel13,      103,  70,   35,  40, clInherit, Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::KP,          MainControl::MofuForm1,    528,  80,  200, 150, clLime,    Inherit,                                   "",              Arrow, "",                                          true},
    {P,    MainControl::kentei,      MainControl::KP,             1,   1,  198, 148, clBlack,   Inherit,                                   "",              Arrow, "",                                          true},
    {L,    MainControl::Label11,     MainControl::kentei,        30,  15,  133,  23, clInherit, {"ＭＳ Ｐ明朝", 23, true, clFuchsia},       "Tapirun検定",   Arrow, "",                                          true},
    {L,    MainControl::kyu,         MainControl::kentei,        60,  56,   70,  29, clInherit, {"ＭＳ Ｐ明朝", 29, true, clYellow},        "七 級",         Arrow, "",                                          true},
    {L,    MainControl::mojisuu,     MainControl::kentei,        24, 104,   62,  20, clInherit, {"ＭＳ Ｐゴシック", 20, false, clWhite},     "mojisuu",       Arrow, "",                                          true},
    {P,    MainControl::KeyPanel,    MainControl::MofuForm1,     10,  80,  800, 330, clWhite,   Inherit,                                   "",              Arrow, "",                                          false},
};
// clang-format on

constexpr WindowSpec MainWindow{"Tapirun", 153, 164, 804, 493, clBlack, Window12, false};

} // namespace

std::span<const ControlRow> mainFormControls() {
    return MainControls;
}
const WindowSpec& mainFormWindow() {
    return MainWindow;
}
