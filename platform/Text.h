#pragma once

// Text rules every backend and the forms share, over standard types only, so that each is written
// once and a backend only hands its toolkit's strings in and out.

#include <string>
#include <string_view>

namespace platform {

// UTF-8 and code points. A broken sequence is cut short rather than refused: the text comes from
// the program's own tables and from single typed keys, and a stray byte must never stop a drill.
std::string encode(char32_t ch);
std::string encode(std::u32string_view text);
std::u32string decode(std::string_view utf8);

// The byte "\" is drawn as a yen sign, as the Japanese faces the program was written for draw it;
// written as the yen sign itself it stays one in any face a desktop may substitute. The full-width
// backslash is left alone: every face draws it as a backslash.
std::string displayText(std::string_view utf8);

// A text as a screen reader should say it: lines joined by one space, the byte "\" as the yen sign
// it is drawn as, in a label's text the accelerator marks resolved ("&&" is one "&", a lone "&" is
// dropped), and no space at either end, which some readers pause on.
std::string spokenText(std::string_view utf8, bool accelerators);

// The part of a hint before "|": what a tool-tip shows and what names a control for a reader.
std::string_view shortHint(std::string_view hint);

} // namespace platform
