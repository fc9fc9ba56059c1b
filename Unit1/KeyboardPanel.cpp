// The keyboard reference picture: 48 keys in four staggered rows, framed in the colour of the finger
// that types them, with the Shift toggle and the backslash/yen note. Key controls come from the key
// table through one loop; the handlers of the whole family are told apart by table data.

#include "Unit1/MainForm.h"

#include <vector>

using namespace platform;

namespace {

constexpr Font Legend{"ＭＳ Ｐゴシック", 27, true, clWhite};
constexpr Font ButtonFont{"ＭＳ Ｐ明朝", 21, true, clAqua};
constexpr Font BackFont{"ＭＳ Ｐ明朝", 21, true, clFuchsia};
constexpr Font NoteFont{"ＭＳ Ｐゴシック", 19, true, clAqua};

constexpr std::string_view NoteText = "下段の [ ＼ ] は Windows では [ \\ ] になります。";
constexpr std::string_view NoteHeldText = "Windows の場合";
constexpr std::string_view ShiftOnHint = "シフト状態にします";
constexpr std::string_view ShiftOffHint = "シフト状態を解除します";

using Row = ControlRow;
constexpr auto P = Kind::Panel;
constexpr auto Hand = Cursor::HandPoint;
constexpr auto Arrow = Cursor::Default;

// clang-format off
constexpr Row PanelControls[] = {
//   kind     name             parent           left  top  width height colour     font        caption      cursor hint                       visible style
    {P,       MainControl::KeyBoadPanel, MainControl::KeyPanel,        1,   1,  798, 328, clBlack,   {},         "",          Arrow, "",                        true},
    {P,       MainControl::saijyodan,    MainControl::KeyBoadPanel,   10,  10,  780,  60, clBlack,   {},         "",          Arrow, "",                        true},
    {P,       MainControl::jyoudan,      MainControl::KeyBoadPanel,   40,  70,  720,  60, clBlack,   {},         "",          Arrow, "",                        true},
    {P,       MainControl::chudan,       MainControl::KeyBoadPanel,   55, 130,  720,  60, clBlack,   {},         "",          Arrow, "",                        true},
    {P,       MainControl::gedan,        MainControl::KeyBoadPanel,   75, 190,  660,  60, clBlack,   {},         "",          Arrow, "",                        true},
    {P,       MainControl::Panel10,      MainControl::KeyBoadPanel,   72, 272,  100,  40, clBlue,    {},         "",          Arrow, "",                        true},
    {P,       MainControl::ShiftButton,  MainControl::Panel10,         1,   1,   98,  38, clBlack,   ButtonFont, "Shift",     Hand,  ShiftOnHint,               true, ShowHint | CaptureMouse | Toggle},
    {P,       MainControl::Owari_1,      MainControl::KeyBoadPanel,  200, 272,  100,  40, clWhite,   {},         "",          Arrow, "",                        true},
    {P,       MainControl::Owari,        MainControl::Owari_1,         1,   1,   98,  38, clBlack,   BackFont,   "戻　る",    Hand,  "練習モード選択画面に戻る", true, ShowHint},
    {Kind::Label,
              MainControl::Label13,      MainControl::KeyBoadPanel,  330, 280,  425,  19, clBlack,   NoteFont,   NoteText,    Hand,  "",                        true, CaptureMouse},
};

constexpr int Top = 0, Upper = 1, Home = 2, Lower = 3;
constexpr bool Writes = true, Keeps = false;

constexpr KeyRow Keys[KeyCount] = {
//   key row    pos frame      colour     legend  hint                              shifted  shifted hint                       toggle
    { 1, Top,    0, "BKP1",    clRed,     "1",    "左小指",                          "!",     "イクスクラメーション",              Writes},
    { 2, Top,    1, "BKP2",    clYellow,  "2",    "左薬指",                          "\"",    "ダブルクォーテーション",            Writes},
    { 3, Top,    2, "BKP3",    clLime,    "3",    "左中指",                          "#",     "シャープ",                          Writes},
    { 4, Top,    3, "BKP4",    clAqua,    "4",    "左人差し指",                      "$",     "ドル（ダラー）",                    Writes},
    { 5, Top,    4, "BKP5",    clAqua,    "5",    "左人差し指",                      "%",     "パーセント",                        Writes},
    { 6, Top,    5, "BKP6",    clFuchsia, "6",    "右人差し指",                      "&&",    "アンパサンド",                      Writes},
    { 7, Top,    6, "BKP7",    clFuchsia, "7",    "右人差し指",                      "'",     "シングルクォーテーション",          Writes},
    { 8, Top,    7, "BKP8",    clLime,    "8",    "右中指",                          "(",     "パーレン左",                        Writes},
    { 9, Top,    8, "BKP9",    clYellow,  "9",    "右薬指",                          ")",     "パーレン右",                        Writes},
    {10, Top,    9, "BKP10",   clRed,     "0",    "右小指",                          "",      "",                                  Writes},
    {11, Top,   10, "BKP11",   clRed,     "-",    "ハイフン",                        "=",     "イコール",                          Writes},
    {12, Top,   11, "BKP12",   clRed,     "^",    "キャレット",                      "~",     "チルダ",                            Writes},
    {13, Top,   12, "BKP13",   clRed,     "\\",   "エン",                            "|",     "パイプ",                            Writes},
    {14, Upper,  0, "Panel12", clRed,     "q",    "左小指",                          "Q",     "",                                  Keeps},
    {15, Upper,  1, "Panel15", clYellow,  "w",    "左薬指",                          "W",     "",                                  Keeps},
    {16, Upper,  2, "Panel17", clLime,    "e",    "左中指",                          "E",     "",                                  Keeps},
    {17, Upper,  3, "Panel19", clAqua,    "r",    "左人差し指",                      "R",     "",                                  Keeps},
    {18, Upper,  4, "Panel21", clAqua,    "t",    "左人差し指",                      "T",     "",                                  Keeps},
    {19, Upper,  5, "Panel23", clFuchsia, "y",    "右人差し指",                      "Y",     "",                                  Keeps},
    {20, Upper,  6, "Panel25", clFuchsia, "u",    "右人差し指",                      "U",     "",                                  Keeps},
    {21, Upper,  7, "Panel27", clLime,    "i",    "右中指",                          "I",     "",                                  Keeps},
    {22, Upper,  8, "Panel29", clYellow,  "o",    "右薬指",                          "O",     "",                                  Keeps},
    {23, Upper,  9, "Panel31", clRed,     "p",    "右小指",                          "P",     "",                                  Keeps},
    {24, Upper, 10, "Panel33", clRed,     "@",    "アットマーク",                    "`",     "バッククォート",                    Writes},
    {25, Upper, 11, "Panel35", clRed,     "[",    "ブラケット左",                    "{",     "ブレース左",                        Writes},
    {26, Home,   0, "Panel40", clRed,     "a",    "左小指",                          "A",     "",                                  Keeps},
    {27, Home,   1, "Panel42", clYellow,  "s",    "左薬指",                          "S",     "",                                  Keeps},
    {28, Home,   2, "Panel44", clLime,    "d",    "左中指",                          "D",     "",                                  Keeps},
    {29, Home,   3, "Panel46", clAqua,    "f",    "左人差し指【ホームポジション】",  "F",     "",                                  Keeps},
    {30, Home,   4, "Panel48", clAqua,    "g",    "左人差し指",                      "G",     "",                                  Keeps},
    {31, Home,   5, "Panel50", clFuchsia, "h",    "右人差し指",                      "H",     "",                                  Keeps},
    {32, Home,   6, "Panel52", clFuchsia, "j",    "右人差し指【ホームポジション】",  "J",     "",                                  Keeps},
    {33, Home,   7, "Panel54", clLime,    "k",    "右中指",                          "K",     "",                                  Keeps},
    {34, Home,   8, "Panel56", clYellow,  "l",    "右薬指",                          "L",     "",                                  Keeps},
    {35, Home,   9, "Panel58", clRed,     ";",    "セミコロン",                      "+",     "プラス",                            Writes},
    {36, Home,  10, "Panel60", clRed,     ":",    "コロン",                          "*",     "アスタリスク",                      Writes},
    {37, Home,  11, "Panel62", clRed,     "]",    "ブラケット右",                    "}",     "ブレース右",                        Writes},
    {38, Lower,  0, "Panel67", clRed,     "z",    "左小指",                          "Z",     "",                                  Keeps},
    {39, Lower,  1, "Panel69", clYellow,  "x",    "左薬指",                          "X",     "",                                  Keeps},
    {40, Lower,  2, "Panel71", clLime,    "c",    "左中指",                          "C",     "",                                  Keeps},
    {41, Lower,  3, "Panel73", clAqua,    "v",    "左人差し指",                      "V",     "",                                  Keeps},
    {42, Lower,  4, "Panel75", clAqua,    "b",    "左人差し指",                      "B",     "",                                  Keeps},
    {43, Lower,  5, "Panel77", clFuchsia, "n",    "右人差し指",                      "N",     "",                                  Keeps},
    {44, Lower,  6, "Panel79", clFuchsia, "m",    "右人差し指",                      "M",     "",                                  Keeps},
    {45, Lower,  7, "Panel81", clLime,    ",",    "カンマ",                          "<",     "ギュメ左",                          Writes},
    {46, Lower,  8, "Panel83", clYellow,  ".",    "ピリオド（ドット）",              ">",     "ギュメ右",                          Writes},
    {47, Lower,  9, "Panel85", clRed,     "/",    "スラッシュ",                      "?",     "クェッション（クェスチョン）",      Writes},
    {48, Lower, 10, "Panel87", clRed,     "＼",   "バックスラッシュ（エン）",        "_",     "アンダーバー",                      Writes},
};
// clang-format on

constexpr MainControl RowPanels[] = {MainControl::saijyodan, MainControl::jyoudan, MainControl::chudan,
                                     MainControl::gedan};

// Where the key's parts go: frames 60 pixels apart in their row, the key panel one pixel inside,
// the legend at 16, 10 (the wide backslash of the last key at 11, 10).
constexpr int KeyPitch = 60;
constexpr int KeyMargin = 5;
constexpr int FrameSize = 50;
constexpr int LegendLeft = 16;
constexpr int WideLegendLeft = 11;
constexpr int LegendTop = 10;
constexpr int NoteHeldLegendLeft = 16;

bool isHomeKey(int key) {
    return key == 29 || key == 32;
}

std::vector<Row> buildPanelRows() {
    std::vector<Row> rows(std::begin(PanelControls), std::end(PanelControls));
    for (const KeyRow& k : Keys) {
        const Colour keyColour = isHomeKey(k.key) ? clOlive : clBlack;
        const int legendLeft = k.key == KeyCount ? WideLegendLeft : LegendLeft;
        rows.push_back({P,
                        keyFrame(k.key),
                        RowPanels[k.row],
                        KeyMargin + KeyPitch * k.position,
                        KeyMargin,
                        FrameSize,
                        FrameSize,
                        k.frameColour,
                        {},
                        "",
                        Arrow,
                        "",
                        true});
        rows.push_back({P,
                        keyPanel(k.key),
                        keyFrame(k.key),
                        1,
                        1,
                        FrameSize - 2,
                        FrameSize - 2,
                        keyColour,
                        {},
                        "",
                        Arrow,
                        k.hint,
                        true,
                        ShowHint});
        rows.push_back({Kind::Label, keyLegend(k.key), keyPanel(k.key), legendLeft, LegendTop, 0,
                        Legend.height, keyColour, Legend, k.legend, Arrow, k.hint, true,
                        ShowHint | Transparent});
    }
    return rows;
}

} // namespace

std::span<const KeyRow> keyTable() {
    return Keys;
}

std::span<const ControlRow> keyPanelControls() {
    static const std::vector<Row> rows = buildPanelRows();
    return rows;
}

void TMofuForm1::showLegends() {
    for (const KeyRow& k : Keys) {
        c(keyLegend(k.key)).setText(Shifted ? k.shiftedLegend : k.legend);
        if (!k.hintChanges) continue;
        const std::string_view hint = Shifted ? k.shiftedHint : k.hint;
        c(keyLegend(k.key)).setHint(hint);
        c(keyPanel(k.key)).setHint(hint);
    }
}

// Two clicks give back exactly the start-up picture: the unshifted values written here are the
// table's own.
void TMofuForm1::ShiftButtonClick() {
    Shifted = !Shifted;
    c(MainControl::Label13).setVisible(!Shifted);
    c(MainControl::ShiftButton).setFontColour(Shifted ? clRed : clAqua);
    c(MainControl::ShiftButton).setHint(Shifted ? ShiftOffHint : ShiftOnHint);
    c(MainControl::ShiftButton).setChecked(Shifted);
    showLegends();
}

// While the left button is held on the note, the last key shows how the other desktop draws it.
void TMofuForm1::Label13MouseDown(MouseButton button) {
    if (button != MouseButton::Left) return;
    Control key = c(keyLegend(KeyCount));
    key.setLeft(NoteHeldLegendLeft);
    key.setText("\\");
    key.setFontColour(clFuchsia);
    c(MainControl::Label13).setText(NoteHeldText);
    c(MainControl::Label13).setFontColour(clFuchsia);
}

void TMofuForm1::Label13MouseUp(MouseButton button) {
    if (button != MouseButton::Left) return;
    Control key = c(keyLegend(KeyCount));
    key.setLeft(WideLegendLeft);
    key.setText(Keys[KeyCount - 1].legend);
    key.setFontColour(clWhite);
    c(MainControl::Label13).setText(NoteText);
    c(MainControl::Label13).setFontColour(clAqua);
}
