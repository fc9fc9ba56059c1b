#include "Unit1/Speech.h"

#include "Unit1/MainForm.h"
#include "platform/Text.h"

namespace speech {

namespace {

// The results show a blank weak or strong key when no answer qualified; silence would sound like a
// reader that stopped.
constexpr std::string_view NoKey = "なし";

std::string resultKey(char ch) {
    return ch == ' ' ? std::string(NoKey) : key(static_cast<unsigned char>(ch));
}

} // namespace

// Readers say letters and digits well but skip or misname lone symbols, so a symbol comes with its
// name from the keyboard picture's hints, and the keys that type a control character with the
// key's name. Most readers say "A" and "a" alike, so a capital is named as one.
std::string key(char32_t ch) {
    switch (ch) {
    case U'\b': return "BackSpace";
    case U'\t': return "Tab";
    case U'\r': return "Enter";
    case 0x1B: return "Esc";
    default: break;
    }
    const std::string text = platform::encode(ch);
    if (ch >= U'A' && ch <= U'Z') return "大文字 " + text;
    if ((ch >= U'a' && ch <= U'z') || (ch >= U'0' && ch <= U'9')) return text;
    // The legends are label texts, "&" doubled.
    const std::string legend = labelText(ch);
    for (const KeyRow& k : keyTable()) {
        if (k.legend == legend) return text + " " + std::string(k.hint);
        if (k.shiftedLegend == legend && k.hintChanges) return text + " " + std::string(k.shiftedHint);
    }
    return text;
}

std::string target(char32_t ch) {
    return key(ch);
}

// The screen keeps the target above the wrong key; a listener has only this line, so it says both.
std::string miss(char32_t typed, char32_t target) {
    return "間違い " + key(typed) + "、正しくは " + key(target);
}

std::string practiceResults(std::int32_t presses, std::int32_t misses, std::string_view accuracy,
                            bool withKeys, char weakKey, char strongKey) {
    std::string line = "出題数 " + std::to_string(presses) + "、正解数 " + std::to_string(presses - misses) +
                       "、間違数 " + std::to_string(misses) + "、正解率 " + std::string(accuracy) + "％";
    if (withKeys) line += "、苦手キー " + resultKey(weakKey) + "、得意キー " + resultKey(strongKey);
    return line + "。";
}

std::string testResult(std::string_view grade, std::string_view count) {
    return "検定結果 " + std::string(grade) + "、" + std::string(count) + "。";
}

} // namespace speech
