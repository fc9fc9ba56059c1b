#include "drill/Modes.h"

#include <array>

namespace drill {

namespace {
constexpr std::string_view AllRows = "1234567890-^\\qwertyuiop@[asdfghjkl;:]zxcvbnm,./\\";
// clang-format off
constexpr std::array<std::string_view, 7> Sets = {
    "1234567890-^\\",  // 最上段の練習
    "qwertyuiop@[",    // 上段の練習
    "asdfghjkl;:]",    // 中段の練習
    "zxcvbnm,./\\",    // 下段の練習
    AllRows,           // 総合練習
    AllRows,           // 検定試験
    "",                // キー位置確認
};
// clang-format on
} // namespace

std::string_view drillSetFor(int mode) {
    if (mode < 0 || mode >= static_cast<int>(Sets.size())) return {};
    return Sets[static_cast<std::size_t>(mode)];
}

} // namespace drill
