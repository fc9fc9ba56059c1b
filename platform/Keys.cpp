#include "platform/Keys.h"

namespace platform {

namespace {

constexpr char32_t Delete = 0x7F;
constexpr char32_t Yen = 0xA5;

bool printable(char32_t ch) {
    return ch >= U' ' && ch != Delete && !(ch >= 0x80 && ch < 0xA0);
}

} // namespace

std::optional<char32_t> answerOf(char32_t typed, HeldKeys held) {
    if (held.logo) return std::nullopt;
    if (held.altGr) {
        if (!printable(typed)) return std::nullopt;
    } else if (held.ctrl || held.alt) {
        return std::nullopt;
    }
    if (typed == Delete || (typed >= 0x80 && typed < 0xA0)) return std::nullopt;
    return typed == Yen ? U'\\' : typed;
}

} // namespace platform
