#include "platform/Keys.h"

namespace platform {

namespace {

constexpr char32_t Delete = 0x7F;
constexpr char32_t Yen = 0xA5;

bool printable(char32_t ch) {
    return ch >= U' ' && ch != Delete && !(ch >= 0x80 && ch < 0xA0);
}

} // namespace

bool isChord(HeldKeys held) {
    return held.logo || (!held.altGr && (held.ctrl || held.alt));
}

std::optional<char32_t> answerOf(char32_t typed, HeldKeys held) {
    if (isChord(held)) return std::nullopt;
    if (held.altGr && !printable(typed)) return std::nullopt;
    if (typed == Delete || (typed >= 0x80 && typed < 0xA0)) return std::nullopt;
    return typed == Yen ? U'\\' : typed;
}

} // namespace platform
